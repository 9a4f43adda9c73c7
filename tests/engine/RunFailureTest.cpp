// Every failure of a run becomes one error-log line with its side, severity
// and library text; the failed item releases everything it opened and the run
// goes on with the next item.
#include <gtest/gtest.h>

#include <filesystem>

#include "EngineTestSupport.h"
#include "app/AppSettings.h"
#include "platform/ProfileStore.h"
#include "support/AudioFormats.h"
#include "support/Signals.h"

namespace engine_test {
namespace {

using namespace testsupport;

enum class ESetup {
    None,
    OpenFailsAtSecondStream, // a three-format chain whose second stream does not open
    ImpossibleChain,         // a step no codec does
    AllocationFails,         // the second buffer of the item cannot be had
    TinyBuffers,             // the encoder's block never fits its buffer
    DamagedSource,           // IMA ADPCM blocks with an impossible step index
    UnprepareFails,
    ShortSource,             // the library states 1000 bytes more than it has
};

struct SFailureCase {
    const char* name;
    const char* sourceFault;
    const char* destinationFault;
    ESetup setup;
    uint32_t messageId;
    char side;
    char severity;
    const char* libraryText; // "" for entries without one
};

const SFailureCase kCases[] = {
    {"SourceOpen", "@openread=3", "", ESetup::None, 1100, 'S', 'E', "fault library error 3"},
    {"DestinationOpen", "", "@openwrite=4", ESetup::None, 1102, 'D', 'E', "fault library error 4"},
    {"PrepareRead", "@preread=5", "", ESetup::None, 1104, 'S', 'E', "fault library error 5"},
    {"FormatWrite", "", "@putformat=6", ESetup::None, 1106, 'D', 'E', "fault library error 6"},
    {"PrepareWrite", "", "@prewrite=7", ESetup::None, 1105, 'D', 'E', "fault library error 7"},
    {"Read", "@read=8", "", ESetup::None, 1109, 'S', 'E', "fault library error 8"},
    {"SourceEndsEarly", "", "", ESetup::ShortSource, 1109, 'S', 'E', ""},
    {"Write", "", "@write=9", ESetup::None, 1111, 'D', 'E', "fault library error 9"},
    {"FinalizeRead", "@postread=10", "", ESetup::None, 1112, 'S', 'W', "fault library error 10"},
    {"FinalizeWrite", "", "@postwrite=11", ESetup::None, 1113, 'D', 'E', "fault library error 11"},
    {"DestinationClose", "", "@closewrite=12", ESetup::None, 1103, 'D', 'E', "fault library error 12"},
    {"SourceClose", "@closeread=13", "", ESetup::None, 1101, 'S', 'W', "fault library error 13"},
    {"StreamOpen", "", "", ESetup::OpenFailsAtSecondStream, 1107, 'S', 'E', ""},
    {"ImpossibleStep", "", "", ESetup::ImpossibleChain, 1107, 'S', 'E', ""},
    {"BufferAllocation", "", "", ESetup::AllocationFails, 1107, 'S', 'E', ""},
    {"StreamPrepare", "", "", ESetup::TinyBuffers, 1108, 'S', 'E', ""},
    {"Conversion", "", "", ESetup::DamagedSource, 1110, 'S', 'E', ""},
    {"StreamUnprepare", "", "", ESetup::UnprepareFails, 1114, 'S', 'W', ""},
};

class RunFailure : public ::testing::TestWithParam<SFailureCase> {
protected:
    void SetUp() override { m_libraries = LoadLibraries(); }

    UserScratchFolder m_folder;
    std::unique_ptr<SLibraries> m_libraries;
};

TEST_P(RunFailure, LogsOneLineReleasesEverythingAndGoesOn)
{
    const SFailureCase& c = GetParam();
    const SLibraries& libraries = *m_libraries;
    ASSERT_NE(libraries.fault, nullptr);

    const CAudioFormat stereo = PcmAudioFormat(44100, 16, 2);
    const CAudioFormat mono = PcmAudioFormat(22050, 16, 1);
    const std::vector<uint8_t> music = ToBytes(MusicSignal(44100, 2, 44100));
    SRunOptions options = TestOptions(m_folder);
    options.deleteAfterConversion = true;
    StreamWatch::Reset();

    // The failing item: a clean file described, then read under its faulty name.
    const std::string clean = m_folder.File("clean.flt");
    const std::string source = m_folder.File(std::string("source") + c.sourceFault + ".flt");
    const std::string destination = m_folder.File(std::string("destination") + c.destinationFault + ".flt");
    WriteFaultFile(clean, stereo, music);
    std::filesystem::copy_file(clean, source, std::filesystem::copy_options::overwrite_existing);
    SRunItem failing = MakeItem(clean, libraries, libraries.fault, mono, destination);
    failing.sourcePath = source;

    switch (c.setup) {
    case ESetup::None:
        break;
    case ESetup::OpenFailsAtSecondStream: {
        const CAudioFormat ima = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
        failing = MakeItem(clean, libraries, libraries.fault, ima, destination);
        failing.sourcePath = source;
        ASSERT_EQ(failing.chain.size(), 3u);
        StreamWatch::Reset(EStreamCall::Open, 2);
        break;
    }
    case ESetup::ImpossibleChain:
        failing.chain = {stereo, EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1)};
        break;
    case ESetup::AllocationFails:
        FailAllocationAt(2);
        options.allocateBuffer = CountingAllocation;
        break;
    case ESetup::TinyBuffers: {
        failing = MakeItem(clean, libraries, libraries.fault, EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1),
                           destination);
        failing.sourcePath = source;
        ASSERT_EQ(failing.chain.size(), 3u);
        ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey, 2000));
        break;
    }
    case ESetup::DamagedSource: {
        const CAudioFormat ima = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
        WriteFaultFile(clean, ima, std::vector<uint8_t>(4 * ima.GetFormat()->nBlockAlign, 0xFF));
        failing = MakeItem(clean, libraries, libraries.fault, mono, destination);
        failing.sourcePath = clean;
        break;
    }
    case ESetup::UnprepareFails:
        StreamWatch::Reset(EStreamCall::Unprepare, 1);
        break;
    case ESetup::ShortSource:
        failing.dataLength += 1000;
        break;
    }

    // A good item behind it.
    const std::string nextSource = m_folder.File("next.flt");
    const std::string nextDestination = m_folder.File("next-out.flt");
    WriteFaultFile(nextSource, stereo, music);
    SRunItem next = MakeItem(nextSource, libraries, libraries.fault, mono, nextDestination);

    const int descriptors = OpenDescriptorCount();
    auto display = std::make_shared<CRecordingDisplay>();
    const SRunResult result = RunToEnd({failing, next}, options, display);

    ASSERT_EQ(result.outcome, ERunOutcome::Finished);
    ASSERT_EQ(result.log.size(), 1u) << display->Last("log");
    const SErrorLogEntry& entry = result.log[0];
    EXPECT_EQ(entry.itemIndex, 0u);
    EXPECT_EQ(entry.messageId, c.messageId);
    EXPECT_EQ(entry.side, c.side);
    EXPECT_EQ(entry.severity, c.severity);
    EXPECT_EQ(entry.libraryMessage, c.libraryText);
    EXPECT_EQ(entry.path, c.side == 'D' ? failing.destinationPath : failing.sourcePath);
    EXPECT_EQ(display->Values("log"), (std::vector<std::string>{FormatErrorLogLine(entry) + " [" +
                                                                std::to_string(c.messageId) + c.side + c.severity +
                                                                "]"}));
    SErrorReport detail;
    ASSERT_TRUE(ComposeErrorLogDetail(entry, detail));
    EXPECT_EQ(detail.messageId, c.messageId + 100);
    EXPECT_EQ(detail.information, c.libraryText);

    const bool warningOnly = c.severity == 'W';
    EXPECT_EQ(result.outcomes[0], warningOnly ? EItemOutcome::Converted : EItemOutcome::Failed);
    EXPECT_EQ(result.outcomes[1], EItemOutcome::Converted);
    // Only items that got through lose their source.
    EXPECT_EQ(std::filesystem::exists(failing.sourcePath), !warningOnly);
    EXPECT_FALSE(std::filesystem::exists(nextSource));

    EXPECT_EQ(FaultLibraryOpenHandles(libraries), 0);
    EXPECT_EQ(StreamWatch::LiveStreams(), 0);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    StreamWatch::Reset();
}

INSTANTIATE_TEST_SUITE_P(EveryEntry, RunFailure, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SFailureCase>& info) { return info.param.name; });

} // namespace
} // namespace engine_test
