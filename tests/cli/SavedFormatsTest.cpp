// The saved formats: their 21-byte values, their store and how they are
// found again among the formats the destination dialog offers.
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "formats/SavedFormats.h"
#include "platform/ProfileStore.h"
#include "support/ScratchFolder.h"

namespace {

class SavedFormats : public cli_test::OutputLibrariesTest {
protected:
    // The first offered format of tag for the library.
    CAudioFormat Offered(const CFileFormatLibrary& library, uint16_t tag, uint32_t rate, uint16_t channels)
    {
        for (const SOfferedFormat& offered : OfferedFormats(library, tag)) {
            if (offered.format.GetFormat()->nSamplesPerSec == rate && offered.format.GetFormat()->nChannels == channels) {
                return offered.format;
            }
        }
        ADD_FAILURE() << "no such offered format";
        return {};
    }

    // The saved formats are settings: they stay in the folder.
    testsupport::UserScratchFolder m_folder;
};

TEST_F(SavedFormats, ValueLayout)
{
    WAVEFORMATEX format{};
    format.wFormatTag = 0x0055;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 16000;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 0;
    format.cbSize = 12;
    const SavedFormatValue value = EncodeSavedFormat("MP3", true, format);
    const SavedFormatValue expected = {'M', 'P', '3', 0, 1, 0x55, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x80, 0x3E, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(value, expected);
    EXPECT_EQ(EncodeSavedFormat("AU", false, format)[2], 0) << "a shorter extension is padded with zero";

    SSavedFormat saved;
    ASSERT_TRUE(DecodeSavedFormat(value, saved));
    EXPECT_EQ(saved.extension, "MP3");
    EXPECT_TRUE(saved.highQuality);
    // Copied out: the record is packed.
    const uint32_t rate = saved.head.nSamplesPerSec;
    const uint32_t bytesPerSecond = saved.head.nAvgBytesPerSec;
    const uint16_t extra = saved.head.cbSize;
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(bytesPerSecond, 16000u);
    EXPECT_EQ(extra, 0);
}

TEST_F(SavedFormats, OnlyWellFormedValuesAreValid)
{
    const SavedFormatValue good = EncodeSavedFormat("WAV", false, *Offered(*m_libraries.wave, 1, 44100, 2).GetFormat());
    struct SCase {
        const char* what;
        std::vector<uint8_t> value;
        bool valid;
    };
    std::vector<uint8_t> bytes(good.begin(), good.end());
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    std::vector<uint8_t> terminator = bytes;
    terminator[3] = 'X';
    std::vector<uint8_t> flag = bytes;
    flag[4] = 2;
    const SCase cases[] = {
        {"21 bytes", bytes, true},
        {"20 bytes", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), false},
        {"22 bytes", longer, false},
        {"byte 3 set", terminator, false},
        {"quality 2", flag, false},
    };
    for (const SCase& c : cases) {
        SSavedFormat saved;
        EXPECT_EQ(DecodeSavedFormat(c.value, saved), c.valid) << c.what;
    }
}

TEST_F(SavedFormats, StoredUnderTheirTrimmedNames)
{
    EXPECT_TRUE(ListSavedFormatNames().empty());
    EXPECT_EQ(TrimSavedFormatName(" \t My Format \r\n"), "My Format");
    const CAudioFormat ima = Offered(*m_libraries.wave, 0x11, 22050, 1);
    ASSERT_TRUE(WriteSavedFormat("zeta", *m_libraries.wave, true, ima));
    ASSERT_TRUE(WriteSavedFormat("Alpha/Beta", *m_libraries.mp3, false, Offered(*m_libraries.mp3, 0x55, 44100, 2)));
    EXPECT_FALSE(WriteSavedFormat("", *m_libraries.wave, true, ima));
    EXPECT_EQ(ListSavedFormatNames(), (std::vector<std::string>{"Alpha/Beta", "zeta"}));

    SSavedFormat saved;
    ASSERT_EQ(ReadSavedFormat("zeta", saved), ESavedFormatRead::Found);
    EXPECT_EQ(saved.extension, "WAV");
    EXPECT_EQ(ReadSavedFormat("Zeta", saved), ESavedFormatRead::Missing) << "names are compared exactly";
    ASSERT_TRUE(ProfileWriteString("SavedFormats", "text", "not binary"));
    EXPECT_EQ(ReadSavedFormat("text", saved), ESavedFormatRead::Invalid);
    ASSERT_TRUE(ProfileSetBinary("SavedFormats", "short", std::vector<uint8_t>(20, 0)));
    EXPECT_EQ(ReadSavedFormat("short", saved), ESavedFormatRead::Invalid);

    EXPECT_TRUE(DeleteSavedFormat("zeta"));
    EXPECT_EQ(ReadSavedFormat("zeta", saved), ESavedFormatRead::Missing);
}

TEST_F(SavedFormats, MatchedAgainstWhatIsOffered)
{
    // The File Format list is sorted: "MP3 - ..." before "WAV - ...".
    const std::vector<const CFileFormatLibrary*> offered = OfferedLibraries(m_libraries.list);
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0], m_libraries.mp3);

    // The extra bytes are not stored; the offered format supplies them.
    const CAudioFormat ima = Offered(*m_libraries.wave, 0x11, 22050, 1);
    ASSERT_GT(ima.GetFormat()->cbSize, 0);
    SSavedFormat saved;
    ASSERT_TRUE(DecodeSavedFormat(EncodeSavedFormat("WAV", true, *ima.GetFormat()), saved));
    const CFileFormatLibrary* library = nullptr;
    CAudioFormat format;
    ASSERT_EQ(MatchSavedFormat(saved, m_libraries.list, library, format), ESavedFormatMatch::Matched);
    EXPECT_EQ(library, m_libraries.wave);
    EXPECT_TRUE(format.IsEqual(ima));

    SSavedFormat missing = saved;
    missing.extension = "OGG";
    EXPECT_EQ(MatchSavedFormat(missing, m_libraries.list, library, format), ESavedFormatMatch::LibraryMissing);
    EXPECT_EQ(library, nullptr);
    SSavedFormat wrongTag = saved;
    wrongTag.extension = "MP3";
    EXPECT_EQ(MatchSavedFormat(wrongTag, m_libraries.list, library, format), ESavedFormatMatch::TagMissing);
    SSavedFormat oddRate = saved;
    oddRate.head.nSamplesPerSec = 12345;
    EXPECT_EQ(MatchSavedFormat(oddRate, m_libraries.list, library, format), ESavedFormatMatch::FormatMissing);
}

} // namespace
