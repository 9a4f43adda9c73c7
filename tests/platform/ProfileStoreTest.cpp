#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "ProfileTestSupport.h"
#include "platform/ProfileStore.h"

namespace {

TEST(ProfileStore, LivesUnderXdgConfigHomeAndNowhereElse)
{
    CIsolatedProfile profile;
    EXPECT_EQ(ProfileStorePath(), profile.StoreFile());
    ASSERT_TRUE(ProfileWriteInt("Settings", "MaxBufferSize", 5));
    ASSERT_TRUE(std::filesystem::exists(profile.StoreFile()));
    EXPECT_NE(profile.StoreText().find("[Settings]\nMaxBufferSize=5"), std::string::npos) << profile.StoreText();
    EXPECT_FALSE(std::filesystem::exists(profile.HomeFolder()));

    // A second store in another folder sees nothing of the first.
    {
        CIsolatedProfile other;
        EXPECT_EQ(ProfileGetInt("Settings", "MaxBufferSize", -7), -7);
        ASSERT_TRUE(ProfileWriteInt("Settings", "MaxBufferSize", 6));
    }
    EXPECT_EQ(ProfileGetInt("Settings", "MaxBufferSize", -7), 5);
}

TEST(ProfileStore, WithoutXdgConfigHomeUsesTheHomeConfigFolder)
{
    CIsolatedProfile profile;
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ProfileStorePath(), profile.HomeFolder() + "/.config/Orvano/Release 2.1.conf");
}

struct SStoredInt {
    const char* storedText;
    int32_t expected;
};

void PrintTo(const SStoredInt& c, std::ostream* out)
{
    *out << '"' << c.storedText << '"';
}

class StoredInteger : public ::testing::TestWithParam<SStoredInt> {};

TEST_P(StoredInteger, ReadsAsSigned32BitOrTheDefault)
{
    CIsolatedProfile profile;
    profile.WriteStoreText(std::string("[Settings]\nValue=") + GetParam().storedText + "\n");
    EXPECT_EQ(ProfileGetInt("Settings", "Value", -99), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ProfileStore, StoredInteger,
                         ::testing::Values(SStoredInt{"42", 42}, SStoredInt{"-2", -2}, SStoredInt{"0", 0},
                                           SStoredInt{"2147483647", 2147483647},
                                           SStoredInt{"-2147483648", INT32_MIN},
                                           SStoredInt{"4294967295", -1}, SStoredInt{"4294967296", -99},
                                           SStoredInt{"-2147483649", -99}, SStoredInt{"abc", -99},
                                           SStoredInt{"12abc", -99}, SStoredInt{"0x10", -99}, SStoredInt{"", -99},
                                           SStoredInt{"1, 2", -99}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(ProfileStore, MissingValuesGiveTheDefault)
{
    CIsolatedProfile profile;
    EXPECT_EQ(ProfileGetInt("Settings", "Nothing", 17), 17);
    EXPECT_EQ(ProfileGetString("Selection", "Nothing", "fallback"), "fallback");
    EXPECT_FALSE(std::filesystem::exists(profile.StoreFile())) << "reading creates nothing";
}

TEST(ProfileStore, StringsKeepEveryByte)
{
    CIsolatedProfile profile;
    const std::string texts[] = {"", "/home/user/Music", "a, b, c", "Grüße/Ñandú", "  spaces  ", "x=y;#z",
                                 std::string("/data/\xff\xfe-latin1-\xe9", 18), "\"quoted\""};
    int index = 0;
    for (const std::string& text : texts) {
        const std::string key = "Text" + std::to_string(index++);
        ASSERT_TRUE(ProfileWriteString("Selection", key, text));
        EXPECT_EQ(ProfileGetString("Selection", key, "default"), text);
    }
}

TEST(ProfileStore, IntegersRoundTrip)
{
    CIsolatedProfile profile;
    for (const int32_t value : {0, 1, -1, 262144, INT32_MAX, INT32_MIN}) {
        ASSERT_TRUE(ProfileWriteInt("Layout", "Value", value));
        EXPECT_EQ(ProfileGetInt("Layout", "Value", 3), value);
    }
}

TEST(ProfileStore, BinaryValuesRoundTripUnderAnyName)
{
    CIsolatedProfile profile;
    std::vector<uint8_t> allBytes(256);
    for (std::size_t i = 0; i < allBytes.size(); ++i) {
        allBytes[i] = static_cast<uint8_t>(i);
    }
    const std::vector<std::string> names = {"MP3 128 kBit/s", "C:\\odd\\name", "100% PCM", "[x] = y; #z",
                                            "plain", "Ünïcode"};
    for (const std::string& name : names) {
        ASSERT_TRUE(ProfileSetBinary("SavedFormats", name, allBytes)) << name;
    }
    ASSERT_TRUE(ProfileWriteInt("Settings", "NotAFormat", 1));

    const std::vector<std::string> listed = ProfileListValueNames("SavedFormats");
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), std::set<std::string>(names.begin(), names.end()));
    for (const std::string& name : names) {
        std::vector<uint8_t> value;
        ASSERT_EQ(ProfileGetBinary("SavedFormats", name, value), EProfileValueState::Found) << name;
        EXPECT_EQ(value, allBytes) << name;
    }
}

TEST(ProfileStore, BinaryValueStates)
{
    CIsolatedProfile profile;
    const uint8_t head[] = {1, 0, 2, 0};
    ASSERT_TRUE(ProfileSetBinary("SavedFormats", "Good", head));
    ASSERT_TRUE(ProfileWriteString("SavedFormats", "Text", "not bytes"));
    ASSERT_TRUE(ProfileWriteInt("SavedFormats", "Number", 21));

    std::vector<uint8_t> value = {9};
    EXPECT_EQ(ProfileGetBinary("SavedFormats", "Good", value), EProfileValueState::Found);
    EXPECT_EQ(value, std::vector<uint8_t>(std::begin(head), std::end(head)));
    value = {9};
    EXPECT_EQ(ProfileGetBinary("SavedFormats", "Text", value), EProfileValueState::WrongType);
    EXPECT_EQ(ProfileGetBinary("SavedFormats", "Number", value), EProfileValueState::WrongType);
    EXPECT_EQ(ProfileGetBinary("SavedFormats", "Absent", value), EProfileValueState::Missing);
    EXPECT_EQ(value, std::vector<uint8_t>{9}) << "a failed read leaves the output alone";

    EXPECT_FALSE(ProfileSetBinary("SavedFormats", "", head));
    EXPECT_FALSE(ProfileDeleteValue("SavedFormats", ""));
    EXPECT_EQ(ProfileListValueNames("SavedFormats").size(), 3u) << "the empty name deleted nothing";

    ASSERT_TRUE(ProfileDeleteValue("SavedFormats", "Good"));
    EXPECT_EQ(ProfileGetBinary("SavedFormats", "Good", value), EProfileValueState::Missing);
    EXPECT_TRUE(ProfileDeleteValue("SavedFormats", "Good")) << "deleting what is gone succeeds";
    EXPECT_EQ(ProfileListValueNames("SavedFormats").size(), 2u);
    EXPECT_TRUE(ProfileListValueNames("Nothing").empty());
}

TEST(ProfileStore, UnwritableStoreReportsFailure)
{
    CIsolatedProfile profile;
    // A file where the store's folder belongs cannot be written through.
    std::filesystem::create_directories(std::filesystem::path(profile.StoreFile()).parent_path().parent_path());
    testsupport::WriteText(std::filesystem::path(profile.StoreFile()).parent_path().string(), "in the way");
    EXPECT_FALSE(ProfileWriteInt("Settings", "Value", 1));
    EXPECT_EQ(ProfileGetInt("Settings", "Value", 4), 4);
}

} // namespace
