#include "project/ProjectItem.h"

#include <gtest/gtest.h>

#include <limits>

#include "ProjectTestSupport.h"
#include "app/DisplayFormat.h"

using namespace project_test;
using namespace testsupport;

namespace {

struct DescribeCase {
    const char* name;         // file name inside the scratch folder, or a whole path when bare
    bool createFile;
    bool succeeds;
    uint32_t expectedMessage; // 0: none
    const char* information;  // expected information text, null: not checked
};

const DescribeCase kDescribeCases[] = {
    {"song", true, false, 1030, ""},
    {"music.d/song", false, false, 1030, ""},
    {"a.xyz", true, false, 1031, ""},
    {"open-fails.fak", false, false, 1032, "fake library error 3"},
    {"format-fails.fak", true, false, 1033, "fake library error 4"},
    {"no-block.fak", true, false, 1033, "An unknown error has occured."},
    {"unknown-format.fak", true, false, 1036, ""},
    {"missing.fak", false, false, 1035, ""},
    {"close-fails.fak", true, true, 1034, "fake library error 5"},
    {"Track.FaK", true, true, 0, nullptr},
    {"track.fak", true, true, 0, nullptr},
};

TEST(ProjectItemDescribe, EveryFailureHasItsMessageAndSilenceWithoutReporting)
{
    ScratchFolder folder;
    auto libraries = LoadLibraries({"fake"});
    ASSERT_NE(libraries->fake, nullptr);
    std::filesystem::create_directories(folder.File("music.d"));

    for (const DescribeCase& c : kDescribeCases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        if (c.createFile) {
            WriteBytes(path, {1, 2, 3});
        }
        for (const bool report : {true, false}) {
            CRecordingPresenter presenter;
            CProjectItem item;
            EXPECT_EQ(item.CreateFromSource(path, report, libraries->list), c.succeeds);
            if (!report || c.expectedMessage == 0) {
                EXPECT_TRUE(presenter.reports.empty()) << (report ? "reporting" : "silent");
                continue;
            }
            ASSERT_EQ(presenter.Ids(), std::vector<uint32_t>{c.expectedMessage});
            const SErrorReport& shown = presenter.reports[0];
            EXPECT_EQ(shown.error.rfind(std::to_string(c.expectedMessage) + " - ", 0), 0u) << shown.error;
            EXPECT_NE(shown.reason.find(path), std::string::npos) << shown.reason;
            EXPECT_EQ(shown.information, c.information);
        }
    }
}

TEST(ProjectItemDescribe, ABareNameWithoutFolderHasNoExtension)
{
    auto libraries = LoadLibraries({"fake"});
    CRecordingPresenter presenter;
    CProjectItem item;
    EXPECT_FALSE(item.CreateFromSource("song.fak", true, libraries->list));
    EXPECT_EQ(presenter.Ids(), std::vector<uint32_t>{1030});
}

TEST(ProjectItemDescribe, OnlyTheFirstLibraryOfAnExtensionIsTried)
{
    ScratchFolder folder;
    // Both fakes are FAK readers when loaded from the same module; the second
    // is never asked, so a failure of the first is final.
    auto libraries = LoadLibraries({"fake", "fake"});
    ASSERT_EQ(libraries->list.size(), 2u);
    CRecordingPresenter presenter;
    CProjectItem item;
    EXPECT_FALSE(item.CreateFromSource(folder.File("open-fails.fak"), true, libraries->list));
    EXPECT_EQ(presenter.Ids(), std::vector<uint32_t>{1032});

    const std::string path = folder.File("good.fak");
    WriteBytes(path, {0});
    CProjectItem good;
    ASSERT_TRUE(good.CreateFromSource(path, false, libraries->list));
    EXPECT_EQ(good.GetSourceLibrary(), &libraries->list[0]);
}

TEST(ProjectItemDescribe, MeasuresSizeAndLengthAndKeepsTheSourceOnly)
{
    ScratchFolder folder;
    auto libraries = LoadLibraries({"fake"});
    const std::string path = folder.File("len8000.fak");
    WriteBytes(path, std::vector<uint8_t>(1234, 7));

    CProjectItem item;
    ASSERT_TRUE(item.CreateFromSource(path, true, libraries->list));
    EXPECT_EQ(item.GetSourcePath(), path);
    EXPECT_EQ(item.GetFileSize(), 1234u);
    EXPECT_EQ(item.GetFileSizeText(), FormatByteSize(1234));
    EXPECT_EQ(item.GetDataLength(), 8000u);
    EXPECT_EQ(item.GetLengthMs(), 45u); // 8000 / 176400 s, truncated
    EXPECT_EQ(item.GetLengthText(), FormatDuration(45, true, true));
    EXPECT_EQ(item.GetChainLength(), 1u);
    EXPECT_TRUE(item.GetSourceFormat()->IsEqual(PcmAudioFormat(44100, 16, 2)));
    EXPECT_EQ(item.GetDestinationFormat(), nullptr);
    EXPECT_FALSE(item.HasDestination());
    EXPECT_EQ(item.GetHighQuality(), 0u);
    EXPECT_TRUE(item.GetDestinationPath().empty());
}

TEST(ProjectItemDescribe, LengthIsTruncatedGuardedAndSaturated)
{
    struct LengthCase {
        uint32_t dataLength;
        uint32_t bytesPerSecond;
        uint32_t expected;
    };
    const LengthCase cases[] = {
        {8000, 1411, 5669},
        {176400, 176400, 1000},
        {176399, 176400, 999},
        {0, 176400, 0},
        {12345, 0, 0},
        {0xFFFFFFFF, 1, std::numeric_limits<uint32_t>::max()},
        {0xFFFFFFFF, 1000, 0xFFFFFFFF},
    };
    for (const LengthCase& c : cases) {
        WAVEFORMATEX format = PcmFormat(44100, 16, 2);
        format.nAvgBytesPerSec = c.bytesPerSecond;
        EXPECT_EQ(CProjectItem::ComputeLengthMs(c.dataLength, format), c.expected)
            << c.dataLength << " bytes at " << c.bytesPerSecond;
    }
}

class ConversionChain : public testing::Test {
protected:
    void SetUp() override
    {
        m_libraries = LoadLibraries({"wave"});
        if (m_libraries->wave == nullptr) {
            GTEST_SKIP() << "AUDFFWAV.so is not built in " ORVANO_BIN_DIR;
        }
    }

    std::unique_ptr<CProjectItem> ItemFrom(const CAudioFormat& source)
    {
        const std::string path = m_folder.File("source" + std::to_string(m_count++) + ".wav");
        WriteWaveFile(path, source.GetFormat(), ToneData(source, 64));
        auto item = std::make_unique<CProjectItem>();
        CRecordingPresenter presenter;
        EXPECT_TRUE(item->CreateFromSource(path, true, m_libraries->list)) << testing::PrintToString(presenter.Ids());
        return item;
    }

    static void ExpectChain(const CProjectItem& item, const std::vector<const CAudioFormat*>& expected)
    {
        ASSERT_EQ(item.GetChainLength(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(item.GetFormatChain()[i].IsEqual(*expected[i])) << "format " << i;
        }
    }

    ScratchFolder m_folder;
    std::unique_ptr<TestLibraries> m_libraries;
    int m_count = 0;
};

TEST_F(ConversionChain, GoesThroughPcmWithTheSuggestedFormats)
{
    const CAudioFormat cd = PcmAudioFormat(44100, 16, 2);
    const CAudioFormat phone = PcmAudioFormat(22050, 8, 1);
    const CAudioFormat aLawCd = ALaw(44100, 2);
    const CAudioFormat aLaw8k = ALaw(8000, 1);
    const CAudioFormat pcm8k = PcmAudioFormat(8000, 16, 1);

    struct ChainCase {
        const char* name;
        const CAudioFormat* source;
        const CAudioFormat* destination;
        std::vector<const CAudioFormat*> expected;
    };
    const ChainCase cases[] = {
        {"PCM to PCM", &cd, &phone, {&cd, &phone}},
        {"PCM to A-law of the same PCM", &cd, &aLawCd, {&cd, &aLawCd}},
        {"PCM to A-law of another PCM", &phone, &aLawCd, {&phone, &cd, &aLawCd}},
        {"A-law to its own PCM", &aLaw8k, &pcm8k, {&aLaw8k, &pcm8k}},
        {"A-law to other PCM", &aLaw8k, &cd, {&aLaw8k, &pcm8k, &cd}},
        {"A-law to A-law, equal PCM", &aLaw8k, &aLaw8k, {&aLaw8k, &pcm8k, &aLaw8k}},
        {"A-law to A-law, different PCM", &aLaw8k, &aLawCd, {&aLaw8k, &pcm8k, &cd, &aLawCd}},
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto item = ItemFrom(*c.source);
        EXPECT_TRUE(item->SetDestinationFormat(m_libraries->wave, 1, *c.destination));
        ExpectChain(*item, c.expected);
        EXPECT_TRUE(item->HasDestination());
        EXPECT_TRUE(item->ComputeChain()) << "again";
        ExpectChain(*item, c.expected);
    }
}

TEST_F(ConversionChain, ALawToMp3TakesThreeOrFourFormats)
{
    const CAudioFormat mp3Mono22k = EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 22050, 1);
    const CAudioFormat mp3Stereo44k = EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 16000);
    if (mp3Mono22k.GetFormat() == nullptr || mp3Stereo44k.GetFormat() == nullptr) {
        GTEST_SKIP() << "the codec layer has no MPEG Layer-3 codec registered yet";
    }
    const CAudioFormat aLaw22k = ALaw(22050, 1);
    const CAudioFormat pcm22k = PcmAudioFormat(22050, 16, 1);
    const CAudioFormat cd = PcmAudioFormat(44100, 16, 2);

    auto item = ItemFrom(aLaw22k);
    EXPECT_TRUE(item->SetDestinationFormat(m_libraries->wave, 0, mp3Mono22k));
    ExpectChain(*item, {&aLaw22k, &pcm22k, &mp3Mono22k});

    EXPECT_TRUE(item->SetDestinationFormat(m_libraries->wave, 0, mp3Stereo44k));
    ExpectChain(*item, {&aLaw22k, &pcm22k, &cd, &mp3Stereo44k});
}

TEST_F(ConversionChain, ALawToImaAdpcmTakesThreeOrFourFormats)
{
    const CAudioFormat adpcmMono = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    const CAudioFormat adpcmStereo = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 44100, 2);
    if (adpcmMono.GetFormat() == nullptr || adpcmStereo.GetFormat() == nullptr) {
        GTEST_SKIP() << "the codec layer has no IMA ADPCM codec registered yet";
    }
    const CAudioFormat aLaw22k = ALaw(22050, 1);
    const CAudioFormat pcm22k = PcmAudioFormat(22050, 16, 1);
    const CAudioFormat cd = PcmAudioFormat(44100, 16, 2);
    auto item = ItemFrom(aLaw22k);
    EXPECT_TRUE(item->SetDestinationFormat(m_libraries->wave, 1, adpcmMono));
    ExpectChain(*item, {&aLaw22k, &pcm22k, &adpcmMono});
    EXPECT_TRUE(item->SetDestinationFormat(m_libraries->wave, 1, adpcmStereo));
    ExpectChain(*item, {&aLaw22k, &pcm22k, &cd, &adpcmStereo});
}

TEST_F(ConversionChain, AnUnreachableDestinationLeavesTwoFormatsAndCountsAsChosen)
{
    const CAudioFormat unknown = UnknownFormat();
    for (const CAudioFormat& source : {PcmAudioFormat(44100, 16, 2), ALaw(8000, 1)}) {
        auto item = ItemFrom(source);
        EXPECT_FALSE(item->SetDestinationFormat(m_libraries->wave, 1, unknown));
        ExpectChain(*item, {&source, &unknown});
        EXPECT_TRUE(item->HasDestination());
        EXPECT_EQ(item->GetHighQuality(), 1u);
        EXPECT_FALSE(item->ComputeChain());
        EXPECT_EQ(item->GetChainLength(), 2u);
    }
}

TEST_F(ConversionChain, ChangingTheDestinationDropsTheOldIntermediates)
{
    const CAudioFormat aLaw8k = ALaw(8000, 1);
    const CAudioFormat aLawCd = ALaw(44100, 2);
    const CAudioFormat pcm8k = PcmAudioFormat(8000, 16, 1);
    const CAudioFormat cd = PcmAudioFormat(44100, 16, 2);
    auto item = ItemFrom(aLaw8k);
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->wave, 0, aLawCd));
    ExpectChain(*item, {&aLaw8k, &pcm8k, &cd, &aLawCd});
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->wave, 1, pcm8k));
    ExpectChain(*item, {&aLaw8k, &pcm8k});
    EXPECT_EQ(item->GetHighQuality(), 1u);
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->wave, 0, cd));
    ExpectChain(*item, {&aLaw8k, &pcm8k, &cd});
}

} // namespace
