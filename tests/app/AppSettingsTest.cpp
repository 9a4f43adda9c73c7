#include <gtest/gtest.h>

#include "../platform/ProfileTestSupport.h"
#include "app/AppSettings.h"
#include "platform/ProfileStore.h"

namespace {

constexpr int32_t kAbsent = INT32_MIN;

int32_t Stored(const char* section, const char* key)
{
    return ProfileGetInt(section, key, kAbsent);
}

TEST(AppSettings, RunSettingsDefaultsAreWrittenBack)
{
    CIsolatedProfile profile;
    const SRunSettings run = ReadRunSettings();
    EXPECT_EQ(run.maxBufferSize, 262144);
    EXPECT_EQ(run.bufferOverhead, 10);
    EXPECT_EQ(run.lengthIncrement, 50);
    EXPECT_FALSE(run.deleteAfterConversion);
    EXPECT_EQ(Stored(kSettingsSection, kMaxBufferSizeKey), 262144);
    EXPECT_EQ(Stored(kSettingsSection, kBufferOverheadKey), 10);
    EXPECT_EQ(Stored(kSettingsSection, kLengthIncrementKey), 50);
    EXPECT_EQ(Stored(kSettingsSection, kDeleteAfterConversionKey), 0);
}

TEST(AppSettings, StoredRunSettingsAreUsedAndSetDeleteFlagIsLeftAlone)
{
    CIsolatedProfile profile;
    profile.WriteStoreText("[Settings]\nMaxBufferSize=8192\nBufferOverhead=0\nLengthIncrement=7\n"
                           "DeleteAfterConversion=5\n");
    const SRunSettings run = ReadRunSettings();
    EXPECT_EQ(run.maxBufferSize, 8192);
    EXPECT_EQ(run.bufferOverhead, 0);
    EXPECT_EQ(run.lengthIncrement, 7);
    EXPECT_TRUE(run.deleteAfterConversion);
    EXPECT_EQ(Stored(kSettingsSection, kDeleteAfterConversionKey), 5);
}

struct SCorrection {
    const char* name;
    const char* section;
    const char* key;
    int32_t stored;
    int32_t expected; // read and written back
    int32_t (*read)();
};

void PrintTo(const SCorrection& c, std::ostream* out)
{
    *out << c.name;
}

int32_t RunMaxBufferSize() { return ReadRunSettings().maxBufferSize; }
int32_t RunBufferOverhead() { return ReadRunSettings().bufferOverhead; }
int32_t RunLengthIncrement() { return ReadRunSettings().lengthIncrement; }
int32_t TerminationTimeout() { return ReadTerminationSettings().timeout; }
int32_t TerminationSlice() { return ReadTerminationSettings().slice; }

const SCorrection kCorrections[] = {
    {"PriorityClassInvalid", kSettingsSection, kPriorityClassKey, 100, 32, ReadPriorityClass},
    {"PriorityClassIdle", kSettingsSection, kPriorityClassKey, 64, 64, ReadPriorityClass},
    {"PriorityClassRealtime", kSettingsSection, kPriorityClassKey, 256, 256, ReadPriorityClass},
    {"PriorityTooHigh", kSettingsSection, kPriorityKey, 5, 0, ReadPriority},
    {"PriorityTooLow", kSettingsSection, kPriorityKey, -3, 0, ReadPriority},
    {"PriorityLowest", kSettingsSection, kPriorityKey, -2, -2, ReadPriority},
    {"SelectionBufferZero", kSelectionSection, kSelectionBufferSizeKey, 0, 16384, ReadSelectionBufferSize},
    {"SelectionBufferNegative", kSelectionSection, kSelectionBufferSizeKey, -5, 16384, ReadSelectionBufferSize},
    {"SelectionBufferSmall", kSelectionSection, kSelectionBufferSizeKey, 1, 1, ReadSelectionBufferSize},
    {"MaxBufferSizeZero", kSettingsSection, kMaxBufferSizeKey, 0, 262144, RunMaxBufferSize},
    {"MaxBufferSizeNegative", kSettingsSection, kMaxBufferSizeKey, -1, 262144, RunMaxBufferSize},
    {"BufferOverheadNegative", kSettingsSection, kBufferOverheadKey, -100, 10, RunBufferOverhead},
    {"BufferOverheadHuge", kSettingsSection, kBufferOverheadKey, 1000, 10, RunBufferOverhead},
    {"BufferOverheadTop", kSettingsSection, kBufferOverheadKey, 100, 100, RunBufferOverhead},
    {"LengthIncrementZero", kSettingsSection, kLengthIncrementKey, 0, 50, RunLengthIncrement},
    {"TerminationSliceKept", kSettingsSection, kTerminationTimeoutSliceKey, 250, 250, TerminationSlice},
    {"TerminationSliceZero", kSettingsSection, kTerminationTimeoutSliceKey, 0, 100, TerminationSlice},
    {"TerminationTimeoutKept", kSettingsSection, kTerminationTimeoutKey, -1, -1, TerminationTimeout},
};

class SettingCorrection : public ::testing::TestWithParam<SCorrection> {};

TEST_P(SettingCorrection, IsReadAndWrittenBack)
{
    const SCorrection& c = GetParam();
    CIsolatedProfile profile;
    ASSERT_TRUE(ProfileWriteInt(c.section, c.key, c.stored));
    EXPECT_EQ(c.read(), c.expected);
    EXPECT_EQ(Stored(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(AppSettings, SettingCorrection, ::testing::ValuesIn(kCorrections),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppSettings, ValidOrMissingValuesAreNotWrittenByCorrectingReaders)
{
    CIsolatedProfile profile;
    EXPECT_EQ(ReadPriorityClass(), 32);
    EXPECT_EQ(ReadPriority(), 0);
    EXPECT_TRUE(ReadActivateLogging());
    EXPECT_EQ(Stored(kSettingsSection, kPriorityClassKey), kAbsent);
    EXPECT_EQ(Stored(kSettingsSection, kPriorityKey), kAbsent);
    EXPECT_EQ(Stored(kSettingsSection, kActivateLoggingKey), kAbsent);

    ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kActivateLoggingKey, 0));
    EXPECT_FALSE(ReadActivateLogging());

    const STerminationSettings termination = ReadTerminationSettings();
    EXPECT_EQ(termination.timeout, 10000);
    EXPECT_EQ(termination.slice, 100);
    EXPECT_EQ(Stored(kSettingsSection, kTerminationTimeoutKey), 10000);
    EXPECT_EQ(Stored(kSettingsSection, kTerminationTimeoutSliceKey), 100);
}

TEST(AppSettings, DirectoriesRoundTrip)
{
    CIsolatedProfile profile;
    EXPECT_EQ(ReadLastSourceDirectory(), "");
    ASSERT_TRUE(WriteLastSourceDirectory("/home/user/In, Out"));
    ASSERT_TRUE(WriteLastDestDirectory(std::string("/data/\xe9t\xe9", 9)));
    EXPECT_EQ(ReadLastSourceDirectory(), "/home/user/In, Out");
    EXPECT_EQ(ReadLastDestDirectory(), std::string("/data/\xe9t\xe9", 9));
}

struct SFieldCase {
    const char* field;
    int32_t conversionBytes;
    int32_t selectionBytes;
};

void PrintTo(const SFieldCase& c, std::ostream* out)
{
    *out << '"' << c.field << '"';
}

class BufferField : public ::testing::TestWithParam<SFieldCase> {};

TEST_P(BufferField, GivesTheStoredByteCount)
{
    EXPECT_EQ(ConversionBufferBytesFromField(GetParam().field), GetParam().conversionBytes);
    EXPECT_EQ(SelectionBufferBytesFromField(GetParam().field), GetParam().selectionBytes);
}

INSTANTIATE_TEST_SUITE_P(SettingsDialog, BufferField,
                         ::testing::Values(SFieldCase{"", 262144, 16384}, SFieldCase{"0", 262144, 16384},
                                           SFieldCase{"5", 16384, 5120}, SFieldCase{"16", 16384, 16384},
                                           SFieldCase{" 300 ", 307200, 307200}, SFieldCase{"abc", 262144, 16384},
                                           SFieldCase{"-5", 262144, 16384}, SFieldCase{"12k", 262144, 16384},
                                           SFieldCase{"32767", 33553408, 33553408},
                                           SFieldCase{"32768", 33553408, 33553408},
                                           SFieldCase{"4194304", 33553408, 33553408},
                                           SFieldCase{"99999999999999999999", 33553408, 33553408}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(SettingsDialog, SmallConversionBufferShowsAndSavesAsSixteenKilobytes)
{
    CIsolatedProfile profile;
    profile.WriteStoreText("[Settings]\nMaxBufferSize=8192\nPriorityClass=100\nPriority=1\n"
                           "ActivateLogging=0\nDeleteAfterConversion=1\n[Selection]\nBufferSize=5120\n");
    const SSettingsDialogValues shown = LoadSettingsDialogValues();
    EXPECT_EQ(shown.conversionBufferKilobytes, 16u);
    EXPECT_EQ(shown.selectionBufferKilobytes, 5u);
    EXPECT_FALSE(shown.activateLogging);
    EXPECT_TRUE(shown.deleteAfterConversion);
    EXPECT_EQ(shown.priorityClassPosition, 1);
    EXPECT_EQ(shown.priorityPosition, 3);
    EXPECT_EQ(Stored(kSettingsSection, kPriorityClassKey), 32) << "written back even if the dialog is cancelled";

    SSettingsDialogInput confirmed;
    confirmed.conversionBufferField = std::to_string(shown.conversionBufferKilobytes);
    confirmed.selectionBufferField = std::to_string(shown.selectionBufferKilobytes);
    confirmed.activateLogging = true;
    confirmed.deleteAfterConversion = false;
    confirmed.priorityClassPosition = 3;
    confirmed.priorityPosition = 0;
    ASSERT_TRUE(SaveSettingsDialogValues(confirmed));
    EXPECT_EQ(Stored(kSettingsSection, kMaxBufferSizeKey), 16384);
    EXPECT_EQ(Stored(kSelectionSection, kSelectionBufferSizeKey), 5120);
    EXPECT_EQ(Stored(kSettingsSection, kActivateLoggingKey), 1);
    EXPECT_EQ(Stored(kSettingsSection, kDeleteAfterConversionKey), 0);
    EXPECT_EQ(Stored(kSettingsSection, kPriorityClassKey), 256);
    EXPECT_EQ(Stored(kSettingsSection, kPriorityKey), -2);
}

TEST(SettingsDialog, DefaultsOnAnEmptyStore)
{
    CIsolatedProfile profile;
    const SSettingsDialogValues shown = LoadSettingsDialogValues();
    EXPECT_EQ(shown.conversionBufferKilobytes, 256u);
    EXPECT_EQ(shown.selectionBufferKilobytes, 16u);
    EXPECT_TRUE(shown.activateLogging);
    EXPECT_FALSE(shown.deleteAfterConversion);
    EXPECT_EQ(shown.priorityClassPosition, 1);
    EXPECT_EQ(shown.priorityPosition, 2);
}

TEST(SettingsDialog, PriorityTablesMatchTheirNames)
{
    for (int position = 0; position < 4; ++position) {
        EXPECT_EQ(PriorityClassPosition(kPriorityClassValues[position]), position);
    }
    for (int position = 0; position < 5; ++position) {
        EXPECT_EQ(PriorityPosition(kPriorityValues[position]), position);
    }
    EXPECT_EQ(PriorityClassPosition(0), -1);
    EXPECT_EQ(PriorityPosition(3), -1);
    EXPECT_EQ(kPriorityClassNameIds[3], 358u);
    EXPECT_EQ(kPriorityNameIds[0], 359u);
}

TEST(LayoutSettings, EveryKeyIsWrittenAndTheValueInEffectHoldsForAllWindows)
{
    CIsolatedProfile profile;
    const SLayoutValues defaults;
    SLayoutValues layout = ReloadLayoutValues();
    EXPECT_EQ(layout.infoAreaHeight, 60);
    EXPECT_EQ(layout.convColumnDistance, 160);
    EXPECT_EQ(layout.selectionTimeout, 10);
    for (const char* key : {"ViewBorder", "InfoAreaHeight", "MinListHeight", "ConvCompDistanceText", "BarHeight",
                            "SelectionTimeout", "ConvButtonWidth"}) {
        EXPECT_NE(Stored(kLayoutSection, key), kAbsent) << key;
    }
    EXPECT_EQ(Stored(kLayoutSection, "ConvButtonHeight"), 22);

    // A change in the store reaches the next window and then holds for all.
    ASSERT_TRUE(ProfileWriteInt(kLayoutSection, "InfoAreaHeight", 77));
    EXPECT_EQ(CurrentLayoutValues().infoAreaHeight, 60) << "nothing changes before the next window";
    layout = ReloadLayoutValues();
    EXPECT_EQ(layout.infoAreaHeight, 77);
    EXPECT_EQ(CurrentLayoutValues().infoAreaHeight, 77);

    // A key removed from the store is read with the value in effect.
    ASSERT_TRUE(ProfileDeleteValue(kLayoutSection, "InfoAreaHeight"));
    EXPECT_EQ(ReloadLayoutValues().infoAreaHeight, 77);
    EXPECT_EQ(Stored(kLayoutSection, "InfoAreaHeight"), 77);

    // Leave the process-wide values as they were.
    ASSERT_TRUE(ProfileWriteInt(kLayoutSection, "InfoAreaHeight", defaults.infoAreaHeight));
    EXPECT_EQ(ReloadLayoutValues().infoAreaHeight, defaults.infoAreaHeight);
}

TEST(RecentFiles, KeepsFourEntriesInOrder)
{
    CIsolatedProfile profile;
    EXPECT_TRUE(ReadRecentFileList().empty());
    ASSERT_TRUE(WriteRecentFileList({"/p/a.cnv", "/p/b.cnv", "/p/c.cnv"}));
    EXPECT_EQ(ReadRecentFileList(), (std::vector<std::string>{"/p/a.cnv", "/p/b.cnv", "/p/c.cnv"}));
    EXPECT_NE(profile.StoreText().find("[Recent%20File%20List]"), std::string::npos) << profile.StoreText();
    ASSERT_TRUE(WriteRecentFileList({"/p/z.cnv"}));
    EXPECT_EQ(ReadRecentFileList(), std::vector<std::string>{"/p/z.cnv"});
}

} // namespace
