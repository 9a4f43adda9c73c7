#include "stats/PerformanceStatistics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/ScratchFolder.h"


using namespace testsupport;

namespace {

class StatisticsFile : public testing::Test {
protected:
    CPerformanceStatistics Store() const { return CPerformanceStatistics(m_folder.Path(), m_folder.Path()); }
    std::string FilePath() const { return m_folder.File(CPerformanceStatistics::kFileName); }
    std::vector<uint8_t> FileBytes() const { return ReadBytes(FilePath()); }

    bool Record(const CAudioFormat& source, const CAudioFormat& destination, uint32_t quality, uint32_t rate)
    {
        CPerformanceStatistics store = Store();
        store.SetRate(rate);
        return store.RecordPerformance(source, destination, quality);
    }

    uint32_t Lookup(const CAudioFormat& source, const CAudioFormat& destination, uint32_t quality)
    {
        CPerformanceStatistics store = Store();
        store.SetRate(0xDEADBEEF);
        EXPECT_TRUE(store.LookupPerformance(source, destination, quality));
        return store.GetRate();
    }

    ScratchFolder m_folder;
    const CAudioFormat m_cd = PcmAudioFormat(44100, 16, 2);
    const CAudioFormat m_phone = PcmAudioFormat(22050, 8, 1);
};

// An IMA ADPCM block whose one extra word (samples per block) is given.
CAudioFormat ImaAdpcm(uint16_t samplesPerBlock)
{
    uint8_t bytes[20] = {};
    WAVEFORMATEX head{};
    head.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    head.nChannels = 1;
    head.nSamplesPerSec = 22050;
    head.nAvgBytesPerSec = 11100;
    head.nBlockAlign = 512;
    head.wBitsPerSample = 4;
    head.cbSize = 2;
    std::memcpy(bytes, &head, sizeof head);
    bytes[18] = static_cast<uint8_t>(samplesPerBlock);
    bytes[19] = static_cast<uint8_t>(samplesPerBlock >> 8);
    return CAudioFormat(reinterpret_cast<const WAVEFORMATEX*>(bytes));
}

TEST_F(StatisticsFile, FirstRecordingCreatesOneRecordInTheFileLayout)
{
    ASSERT_FALSE(std::filesystem::exists(FilePath()));
    ASSERT_TRUE(Record(m_cd, m_phone, 1, 123456));

    const std::vector<uint8_t> expected = {
        0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, // source
        0x01, 0x00, 0x01, 0x00, 0x22, 0x56, 0x00, 0x00, 0x22, 0x56, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, // dest
        0x01, 0x00, 0x00, 0x00, // quality
        0x40, 0xE2, 0x01, 0x00, // rate
    };
    EXPECT_EQ(FileBytes(), expected);
}

TEST_F(StatisticsFile, RecordingAKnownKeyKeepsTheHalvingMean)
{
    CPerformanceStatistics store = Store();
    const uint32_t measurements[] = {1000, 3001, 4000, 7};
    const uint32_t expectedStored[] = {1000, 2000, 3000, 1503};
    for (size_t i = 0; i < std::size(measurements); ++i) {
        store.SetRate(measurements[i]);
        ASSERT_TRUE(store.RecordPerformance(m_cd, m_phone, 0));
        EXPECT_EQ(store.GetRate(), expectedStored[i]) << "after measurement " << i;
        EXPECT_EQ(FileBytes().size(), 40u);
        EXPECT_EQ(Lookup(m_cd, m_phone, 0), expectedStored[i]);
    }
    // Two rates near the 32-bit limit average without wrapping.
    store.SetRate(0xFFFFFFFF);
    ASSERT_TRUE(store.RecordPerformance(m_phone, m_cd, 0));
    store.SetRate(0xFFFFFFFD);
    ASSERT_TRUE(store.RecordPerformance(m_phone, m_cd, 0));
    EXPECT_EQ(store.GetRate(), 0xFFFFFFFEu);
}

TEST_F(StatisticsFile, KeysOfQualityAndDirectionAreSeparateRecords)
{
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 100));
    ASSERT_TRUE(Record(m_cd, m_phone, 1, 200));
    ASSERT_TRUE(Record(m_phone, m_cd, 0, 300));
    EXPECT_EQ(FileBytes().size(), 120u);
    EXPECT_EQ(Lookup(m_cd, m_phone, 0), 100u);
    EXPECT_EQ(Lookup(m_cd, m_phone, 1), 200u);
    EXPECT_EQ(Lookup(m_phone, m_cd, 0), 300u);
    EXPECT_EQ(Lookup(m_phone, m_cd, 1), 0u);
}

TEST_F(StatisticsFile, FormatsDifferingOnlyBehindTheHeadShareARecord)
{
    const CAudioFormat first = ImaAdpcm(1017);
    const CAudioFormat second = ImaAdpcm(505);
    ASSERT_FALSE(first.IsEqual(second));
    ASSERT_TRUE(Record(first, m_cd, 1, 1000));
    ASSERT_TRUE(Record(second, m_cd, 1, 3000));
    EXPECT_EQ(FileBytes().size(), 40u);
    EXPECT_EQ(Lookup(first, m_cd, 1), 2000u);
}

TEST_F(StatisticsFile, ATornTailIsOverwrittenByTheNextNewRecord)
{
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 500));
    std::vector<uint8_t> bytes = FileBytes();
    bytes.insert(bytes.end(), 13, 0xAB);
    WriteBytes(FilePath(), bytes);

    EXPECT_EQ(Lookup(m_phone, m_cd, 0), 0u) << "the torn piece is no record";
    ASSERT_TRUE(Record(m_phone, m_cd, 0, 900));
    EXPECT_EQ(FileBytes().size(), 80u) << "the new record starts where the whole records end";
    EXPECT_EQ(Lookup(m_phone, m_cd, 0), 900u);
    EXPECT_EQ(Lookup(m_cd, m_phone, 0), 500u);
}

TEST_F(StatisticsFile, LookupCreatesAnEmptyFileAndAnswersZeroForUnknownKeys)
{
    EXPECT_EQ(Lookup(m_cd, m_phone, 0), 0u);
    ASSERT_TRUE(std::filesystem::exists(FilePath()));
    EXPECT_EQ(std::filesystem::file_size(FilePath()), 0u);

    ASSERT_TRUE(Record(m_cd, m_phone, 0, 0));
    ASSERT_TRUE(Record(m_cd, m_cd, 0, 10));
    EXPECT_EQ(Lookup(m_cd, m_phone, 0), 0u) << "a stored rate of 0 is no estimate";
    EXPECT_EQ(Lookup(m_cd, m_cd, 0), 10u);
}

TEST_F(StatisticsFile, RecordsAreListedInFirstRecordedOrderAsBareHeads)
{
    const CAudioFormat adpcm = ImaAdpcm(1017);
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 111));
    ASSERT_TRUE(Record(m_phone, adpcm, 5, 222));
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 333));

    CPerformanceStatistics store = Store();
    CAudioFormat source;
    CAudioFormat destination;
    uint32_t quality = 99;
    ASSERT_TRUE(store.GetPerformanceRecord(1, source, destination, quality));
    EXPECT_EQ(store.GetRate(), 222u);
    EXPECT_TRUE(source.IsEqual(m_cd));
    EXPECT_TRUE(destination.IsEqual(m_phone));
    EXPECT_EQ(quality, 0u);

    ASSERT_TRUE(store.GetPerformanceRecord(2, source, destination, quality));
    EXPECT_EQ(store.GetRate(), 222u);
    EXPECT_EQ(quality, 5u);
    EXPECT_TRUE(source.IsEqual(m_phone));
    ASSERT_NE(destination.GetFormat(), nullptr);
    EXPECT_EQ(destination.GetFormat()->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
    EXPECT_EQ(destination.GetFormat()->cbSize, 0u) << "extra bytes are not stored";
    EXPECT_EQ(destination.GetSize(), 18u);
    EXPECT_EQ(std::memcmp(destination.GetFormat(), adpcm.GetFormat(), 16), 0);

    for (const uint32_t beyond : {0u, 3u, 1000u}) {
        store.SetRate(42);
        quality = 77;
        EXPECT_TRUE(store.GetPerformanceRecord(beyond, source, destination, quality)) << beyond;
        EXPECT_EQ(store.GetRate(), 0u) << beyond;
        EXPECT_EQ(quality, 77u) << beyond;
    }
}

TEST_F(StatisticsFile, EveryOperationFailsQuietlyWithoutAPlaceForTheFile)
{
    CPerformanceStatistics store((std::filesystem::path(m_folder.Path()) / "missing").string(), m_folder.Path());
    CAudioFormat source;
    CAudioFormat destination;
    uint32_t quality = 0;
    store.SetRate(1000);
    EXPECT_FALSE(store.RecordPerformance(m_cd, m_phone, 0));
    EXPECT_FALSE(store.LookupPerformance(m_cd, m_phone, 0));
    EXPECT_FALSE(store.GetPerformanceRecord(1, source, destination, quality));
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("missing")));
}

TEST_F(StatisticsFile, EmptyFormatsMakeNoKey)
{
    const CAudioFormat empty;
    EXPECT_FALSE(Record(empty, m_phone, 0, 10));
    EXPECT_FALSE(Record(m_cd, empty, 0, 10));
    EXPECT_FALSE(std::filesystem::exists(FilePath()));
}

TEST_F(StatisticsFile, AHeldLockMakesOperationsGiveUpWithoutTouchingTheFile)
{
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 1000));
    const std::vector<uint8_t> before = FileBytes();

    CNamedLock holder(CPerformanceStatistics::kLockName, m_folder.Path());
    ASSERT_TRUE(holder.Acquire());
    CPerformanceStatistics store(m_folder.Path(), m_folder.Path(), std::chrono::milliseconds(20));
    store.SetRate(5000);
    EXPECT_FALSE(store.RecordPerformance(m_cd, m_phone, 0));
    EXPECT_FALSE(store.RecordPerformance(m_phone, m_cd, 0));
    EXPECT_FALSE(store.LookupPerformance(m_cd, m_phone, 0));
    EXPECT_EQ(FileBytes(), before);

    holder.Release();
    EXPECT_TRUE(store.LookupPerformance(m_cd, m_phone, 0));
    EXPECT_EQ(store.GetRate(), 1000u);
}

TEST_F(StatisticsFile, DeletingRemovesTheFileAndAMissingFileIsNoFailure)
{
    CPerformanceStatistics store = Store();
    EXPECT_TRUE(store.DeleteStatisticsFile());
    ASSERT_TRUE(Record(m_cd, m_phone, 0, 1000));
    ASSERT_TRUE(std::filesystem::exists(FilePath()));
    EXPECT_TRUE(store.DeleteStatisticsFile());
    EXPECT_FALSE(std::filesystem::exists(FilePath()));
    EXPECT_EQ(Lookup(m_cd, m_phone, 0), 0u);
}

TEST(StatisticsFolder, UsesTheExecutableFolderWhenWritableElseThePerUserDataFolder)
{
    ScratchFolder folder;
    const std::string dataHome = folder.File("data");
    ASSERT_EQ(::setenv("XDG_DATA_HOME", dataHome.c_str(), 1), 0);

    EXPECT_EQ(CPerformanceStatistics::ChooseStatisticsFolder(folder.Path()), folder.Path() + "/");

    const std::string fallback = CPerformanceStatistics::ChooseStatisticsFolder(folder.File("no-such-folder"));
    EXPECT_EQ(fallback, dataHome + "/Orvano/");
    EXPECT_TRUE(std::filesystem::is_directory(fallback));

    // A file where the data folder should be leaves no place at all.
    std::filesystem::remove_all(dataHome);
    WriteBytes(dataHome, {1, 2, 3});
    EXPECT_EQ(CPerformanceStatistics::ChooseStatisticsFolder(folder.File("no-such-folder")), "");
    ::unsetenv("XDG_DATA_HOME");
}

// Two processes with two threads each record one shared key and keys of their
// own many times, as running instances and parallel runs do.
TEST(StatisticsConcurrency, ProcessesAndThreadsLoseNoRecordAndKeepWholeRecords)
{
    ScratchFolder folder;
    constexpr int kProcesses = 2;
    constexpr int kThreads = 2;
    constexpr int kRounds = 400;
    const CAudioFormat shared = PcmAudioFormat(48000, 16, 2);

    auto work = [&](int process) {
        bool allRecorded = true;
        std::vector<std::thread> threads;
        std::vector<char> results(kThreads, 1);
        for (int thread = 0; thread < kThreads; ++thread) {
            threads.emplace_back([&, thread] {
                // A generous deadline: this checks exclusion, not speed.
                CPerformanceStatistics store(folder.Path(), folder.Path(), std::chrono::seconds(120));
                for (int round = 0; round < kRounds; ++round) {
                    const CAudioFormat own = PcmAudioFormat(static_cast<uint32_t>(1000 + round), 8,
                                                            static_cast<uint16_t>(1 + process * kThreads + thread));
                    store.SetRate(4000);
                    results[thread] &= store.RecordPerformance(shared, shared, 1) ? 1 : 0;
                    store.SetRate(static_cast<uint32_t>(round + 1));
                    results[thread] &= store.RecordPerformance(own, shared, 0) ? 1 : 0;
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        for (char result : results) {
            allRecorded = allRecorded && result != 0;
        }
        return allRecorded;
    };

    std::vector<pid_t> children;
    for (int process = 1; process < kProcesses; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::_exit(work(process) ? 0 : 1);
        }
        children.push_back(child);
    }
    EXPECT_TRUE(work(0));
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::vector<uint8_t> bytes = ReadBytes(folder.File(CPerformanceStatistics::kFileName));
    ASSERT_EQ(bytes.size() % 40, 0u);
    std::map<std::vector<uint8_t>, uint32_t> records;
    for (size_t offset = 0; offset < bytes.size(); offset += 40) {
        const std::vector<uint8_t> key(bytes.begin() + static_cast<long>(offset),
                                       bytes.begin() + static_cast<long>(offset + 36));
        EXPECT_TRUE(records.emplace(key, LoadLe32(bytes.data() + offset + 36)).second) << "key twice at " << offset;
    }
    EXPECT_EQ(records.size(), 1u + kProcesses * kThreads * kRounds);

    CPerformanceStatistics store(folder.Path(), folder.Path());
    ASSERT_TRUE(store.LookupPerformance(shared, shared, 1));
    EXPECT_EQ(store.GetRate(), 4000u);
    for (int owner = 1; owner <= kProcesses * kThreads; ++owner) {
        for (int round = 0; round < kRounds; ++round) {
            const CAudioFormat own =
                PcmAudioFormat(static_cast<uint32_t>(1000 + round), 8, static_cast<uint16_t>(owner));
            ASSERT_TRUE(store.LookupPerformance(own, shared, 0));
            ASSERT_EQ(store.GetRate(), static_cast<uint32_t>(round + 1)) << "owner " << owner << " round " << round;
        }
    }
}

} // namespace
