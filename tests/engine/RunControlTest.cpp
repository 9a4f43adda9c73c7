// Starting, pausing, aborting and leaving a run; what it shows, what it
// records and what it deletes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "EngineTestSupport.h"
#include "app/AppSettings.h"
#include "engine/ThreadPriority.h"
#include "platform/ProfileStore.h"
#include "stats/PerformanceStatistics.h"
#include "support/AudioFormats.h"
#include "support/WaveFile.h"

namespace engine_test {
namespace {

using namespace testsupport;

using namespace std::chrono_literals;

class RunControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_libraries = LoadLibraries();
        StreamWatch::Reset();
        // Small buffers: many cycles per item, so that there is a "during".
        ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey, 16384));
    }

    // A WAVE source of seconds of music and its item to 22.05 kHz mono.
    SRunItem Item(const std::string& name, double seconds = 1.0)
    {
        const std::string source = m_folder.File(name + ".wav");
        WriteMusicWave(source, 44100, 2, static_cast<size_t>(44100 * seconds));
        return MakeItem(source, *m_libraries, m_libraries->wave, PcmAudioFormat(22050, 16, 1),
                        m_folder.File(name + "-out.wav"));
    }

    uint32_t RecordedRate(const SRunItem& item)
    {
        CPerformanceStatistics statistics(StatisticsFolder(m_folder), m_folder.Path());
        EXPECT_TRUE(statistics.LookupPerformance(item.chain.front(), item.chain.back(), item.highQuality));
        return statistics.GetRate();
    }

    UserScratchFolder m_folder;
    std::unique_ptr<SLibraries> m_libraries;
};

TEST_F(RunControl, FinishedRunShowsItsEndAndRecordsTheSpeed)
{
    const SRunItem item = Item("a");
    auto display = std::make_shared<CRecordingDisplay>();
    const SRunResult result = RunToEnd({item}, TestOptions(m_folder), display);
    ASSERT_EQ(result.outcome, ERunOutcome::Finished);
    EXPECT_EQ(result.outcomes, std::vector<EItemOutcome>{EItemOutcome::Converted});

    EXPECT_EQ(display->Values("header"), (std::vector<std::string>{"Processing Item 1 of 1", "Conversion Finished"}));
    EXPECT_EQ(display->Values("caption"), (std::vector<std::string>{"&Abort", "&Back"}));
    EXPECT_EQ(display->Values("pauseEnabled"), (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(display->Last("itemProgress"), "100");
    EXPECT_EQ(display->Last("projectProgress"), "100");
    EXPECT_EQ(display->Last("itemStatistics"), "");
    EXPECT_EQ(display->Last("projectTimeLeft"), "");
    EXPECT_EQ(display->Last("quality"), "High Quality");
    EXPECT_EQ(display->Last("sourceFormat"), "PCM - 44.100 kHz, 16 Bit, Stereo");
    EXPECT_EQ(display->Last("destinationFormat"), "PCM - 22.050 kHz, 16 Bit, Mono");
    EXPECT_EQ(display->Last("stopped"), "finished");
    // Half the rate, half the channels: a quarter of the bytes, less what
    // the resampler still holds between cycles.
    const std::string compression = display->Last("itemCompression");
    ASSERT_GT(compression.size(), 2u);
    EXPECT_EQ(compression.substr(compression.size() - 2), " %");
    EXPECT_NEAR(std::stod(compression), 25.0, 1.5);
    // Emptied at the start, zero when the item starts, then once per cycle.
    const std::vector<std::string> lines = display->Values("itemStatistics");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "0 Bytes of 0 Bytes converted (0.00 %) at 0 Bytes/sec.");
    EXPECT_NE(lines[2].find(" of 172.27 kBytes converted ("), std::string::npos) << lines[2];

    const uint32_t rate = RecordedRate(item);
    EXPECT_GT(rate, 0u);
}

TEST_F(RunControl, NothingConvertibleEndsAtOnce)
{
    SRunItem noDestination = Item("a");
    noDestination.destinationPath.clear();
    auto display = std::make_shared<CRecordingDisplay>();
    const SRunResult result = RunToEnd({noDestination}, TestOptions(m_folder), display);
    EXPECT_EQ(result.outcome, ERunOutcome::Finished);
    EXPECT_EQ(result.outcomes, std::vector<EItemOutcome>{EItemOutcome::NotReached});
    EXPECT_EQ(display->Values("header"), std::vector<std::string>{"Conversion Finished"});
    EXPECT_EQ(display->Last("projectProgress"), "100");
    EXPECT_EQ(display->Last("caption"), "&Back");
}

TEST_F(RunControl, ItemWithoutLibraryIsCountedButNotConverted)
{
    SRunItem orphan = Item("a");
    orphan.destinationLibrary = nullptr;
    const SRunItem good = Item("b");
    auto display = std::make_shared<CRecordingDisplay>();
    const SRunResult result = RunToEnd({orphan, good}, TestOptions(m_folder), display);
    EXPECT_EQ(result.outcomes, (std::vector<EItemOutcome>{EItemOutcome::PassedOver, EItemOutcome::Converted}));
    EXPECT_TRUE(result.log.empty());
    EXPECT_EQ(display->Values("header"), (std::vector<std::string>{"Processing Item 1 of 2", "Processing Item 2 of 2",
                                                                   "Conversion Finished"}));
    EXPECT_FALSE(std::filesystem::exists(orphan.destinationPath));
}

TEST_F(RunControl, NoStatisticsWhenLoggingIsOffOrAfterAPause)
{
    const SRunItem first = Item("a");
    SRunOptions options = TestOptions(m_folder);
    options.activateLogging = false;
    ASSERT_TRUE(RunToEnd({first}, options).log.empty());
    EXPECT_EQ(RecordedRate(first), 0u);

    // Pause and resume during the item: what was measured is not the
    // machine's speed.
    auto display = std::make_shared<CRecordingDisplay>();
    CConversionRun run({first}, display, TestOptions(m_folder));
    bool paused = false;
    display->onProgress = [&](uint32_t percent) {
        if (!paused && percent > 0) {
            paused = true;
            run.Pause();
            run.Resume();
        }
    };
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Wait(), ERunOutcome::Finished);
    EXPECT_TRUE(paused);
    EXPECT_EQ(RecordedRate(first), 0u);

    // A new run records again.
    ASSERT_TRUE(RunToEnd({first}, TestOptions(m_folder)).log.empty());
    EXPECT_GT(RecordedRate(first), 0u);
}

TEST_F(RunControl, AbortWhileRunningLeavesAClosedPartialFileAndTheSource)
{
    const SRunItem first = Item("a", 2.0);
    const SRunItem second = Item("b");
    auto display = std::make_shared<CRecordingDisplay>();
    SRunOptions options = TestOptions(m_folder);
    options.deleteAfterConversion = true;
    CConversionRun run({first, second}, display, options);
    display->onProgress = [&](uint32_t percent) {
        if (percent > 0) {
            run.RequestAbort();
        }
    };
    const int descriptors = OpenDescriptorCount();
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(run.Wait(), ERunOutcome::Aborted);
    EXPECT_EQ(run.GetItemOutcomes(), (std::vector<EItemOutcome>{EItemOutcome::Aborted, EItemOutcome::NotReached}));
    EXPECT_TRUE(run.GetErrorLog().empty());
    EXPECT_EQ(display->Last("stopped"), "aborted");
    EXPECT_EQ(display->Values("header"), std::vector<std::string>{"Processing Item 1 of 2"});
    EXPECT_EQ(display->Values("caption"), std::vector<std::string>{"&Abort"});

    EXPECT_TRUE(std::filesystem::exists(first.sourcePath));
    EXPECT_TRUE(std::filesystem::exists(first.destinationPath));
    EXPECT_FALSE(std::filesystem::exists(second.destinationPath));
    EXPECT_EQ(StreamWatch::LiveStreams(), 0);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_FALSE(run.IsAlive());
}

TEST_F(RunControl, AbortWhilePausedResumesAndStops)
{
    const SRunItem item = Item("a");
    auto display = std::make_shared<CRecordingDisplay>();
    CConversionRun run({item}, display, TestOptions(m_folder));
    display->onProgress = [&](uint32_t percent) {
        if (percent > 0 && !run.IsPaused()) {
            run.Pause();
        }
    };
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForWorkerState(EWorkerState::Paused, 30s));
    EXPECT_TRUE(run.IsAlive());
    const std::size_t callsWhilePaused = display->CallCount();
    EXPECT_FALSE(run.WaitUntilStopped(50ms)) << "a paused worker waits";
    EXPECT_EQ(display->CallCount(), callsWhilePaused);
    run.RequestAbort();
    EXPECT_EQ(run.Wait(), ERunOutcome::Aborted);
    EXPECT_EQ(StreamWatch::LiveStreams(), 0);
}

TEST_F(RunControl, DetachedWorkerReleasesEverythingWithoutTheDisplay)
{
    const SRunItem item = Item("a");
    auto display = std::make_shared<CRecordingDisplay>();
    auto run = std::make_unique<CConversionRun>(std::vector<SRunItem>{item}, display, TestOptions(m_folder));
    display->onProgress = [&](uint32_t percent) {
        if (percent > 0 && !run->IsPaused()) {
            run->Pause();
        }
    };
    ASSERT_TRUE(run->Start());
    ASSERT_TRUE(run->WaitForWorkerState(EWorkerState::Paused, 30s));
    run->Detach();
    const std::size_t callsAtDetach = display->CallCount();
    ASSERT_TRUE(run->WaitUntilStopped(30s));
    EXPECT_EQ(display->CallCount(), callsAtDetach);
    run.reset();
    EXPECT_EQ(StreamWatch::LiveStreams(), 0);
}

TEST_F(RunControl, DeletesSourcesAsTheSettingSays)
{
    // The stored setting, unless the caller decides.
    ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kDeleteAfterConversionKey, 1));
    const SRunItem byStore = Item("a");
    ASSERT_TRUE(RunToEnd({byStore}, TestOptions(m_folder)).log.empty());
    EXPECT_FALSE(std::filesystem::exists(byStore.sourcePath));
    EXPECT_TRUE(std::filesystem::exists(byStore.destinationPath));

    const SRunItem kept = Item("b");
    SRunOptions options = TestOptions(m_folder);
    options.deleteAfterConversion = false;
    ASSERT_TRUE(RunToEnd({kept}, options).log.empty());
    EXPECT_TRUE(std::filesystem::exists(kept.sourcePath));
    // Any non-zero value counts and is left as it is.
    EXPECT_EQ(ProfileGetInt(kSettingsSection, kDeleteAfterConversionKey, 0), 1);
}

TEST_F(RunControl, WorkerTakesTheNiceValueOfThePrioritySettings)
{
    struct SCase {
        int32_t priorityClass;
        int32_t priority;
        int nice;
    };
    // A thread cannot go below the nice value it starts with.
    const int base = GetCurrentThreadNiceValue();
    for (const SCase c : {SCase{64, 0, 19}, SCase{32, -2, 10}}) {
        ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kPriorityClassKey, c.priorityClass));
        ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kPriorityKey, c.priority));
        auto display = std::make_shared<CRecordingDisplay>();
        int seen = -100;
        display->onProgress = [&](uint32_t) { seen = GetCurrentThreadNiceValue(); };
        SRunOptions options = TestOptions(m_folder);
        options.applyPriorities = true;
        ASSERT_TRUE(RunToEnd({Item("p")}, options, display).log.empty());
        EXPECT_EQ(seen, std::max(c.nice, base));
    }
}

} // namespace
} // namespace engine_test
