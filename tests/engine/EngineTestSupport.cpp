#include "EngineTestSupport.h"

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "project/ProjectItem.h"

namespace engine_test {

namespace {

std::atomic<int> g_liveStreams{0};
std::atomic<int> g_calls[5];
std::atomic<int> g_failingKind{0};
std::atomic<int> g_failingCall{0};

bool ShouldFail(EStreamCall call)
{
    const int count = ++g_calls[static_cast<int>(call)];
    return g_failingKind.load() == static_cast<int>(call) && count == g_failingCall.load();
}

MMRESULT WatchedOpen(HACMSTREAM* phas, HACMDRIVER had, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                     const void* filter, uintptr_t callback, uintptr_t instance, uint32_t flags)
{
    if (ShouldFail(EStreamCall::Open)) {
        return ACMERR_NOTPOSSIBLE;
    }
    const MMRESULT result = acmStreamOpen(phas, had, src, dst, filter, callback, instance, flags);
    if (result == MMSYSERR_NOERROR) {
        ++g_liveStreams;
    }
    return result;
}

MMRESULT WatchedPrepare(HACMSTREAM has, ACMSTREAMHEADER* header, uint32_t flags)
{
    if (ShouldFail(EStreamCall::Prepare)) {
        return ACMERR_NOTPOSSIBLE;
    }
    return acmStreamPrepareHeader(has, header, flags);
}

MMRESULT WatchedConvert(HACMSTREAM has, ACMSTREAMHEADER* header, uint32_t flags)
{
    if (ShouldFail(EStreamCall::Convert)) {
        return MMSYSERR_ERROR;
    }
    return acmStreamConvert(has, header, flags);
}

MMRESULT WatchedUnprepare(HACMSTREAM has, ACMSTREAMHEADER* header, uint32_t flags)
{
    // The header is released either way; only the answer is a failure.
    const MMRESULT result = acmStreamUnprepareHeader(has, header, flags);
    return ShouldFail(EStreamCall::Unprepare) ? MMSYSERR_ERROR : result;
}

MMRESULT WatchedClose(HACMSTREAM has, uint32_t flags)
{
    const MMRESULT result = acmStreamClose(has, flags);
    if (result == MMSYSERR_NOERROR) {
        --g_liveStreams;
    }
    return result;
}

} // namespace

std::string StatisticsFolder(const testsupport::ScratchFolder& folder)
{
    const std::string statistics = folder.File("statistics");
    std::filesystem::create_directories(statistics);
    return statistics;
}

void WriteFaultFile(const std::string& path, const CAudioFormat& format, const testsupport::Bytes& data)
{
    const auto* block = reinterpret_cast<const uint8_t*>(format.GetFormat());
    testsupport::Bytes file;
    testsupport::AppendText(file, "FLT1");
    testsupport::AppendLe32(file, format.GetSize());
    file.insert(file.end(), block, block + format.GetSize());
    file.insert(file.end(), data.begin(), data.end());
    testsupport::WriteBytes(path, file);
}

std::unique_ptr<SLibraries> LoadLibraries()
{
    auto libraries = std::make_unique<SLibraries>();
    libraries->LoadOutputLibraries();
    libraries->fault = libraries->Load(ORVANO_FAULT_LIBRARY);
    return libraries;
}

int FaultLibraryOpenHandles(const SLibraries& libraries)
{
    using Count = int32_t (*)();
    auto count = reinterpret_cast<Count>(dlsym(libraries.fault->GetModule(), "FaultLibrary_OpenHandles"));
    return count != nullptr ? count() : -1;
}

SRunItem MakeItem(const std::string& sourcePath, const SLibraries& libraries, const CFileFormatLibrary* destination,
                  const CAudioFormat& destinationFormat, const std::string& destinationPath, uint32_t highQuality)
{
    CProjectItem item;
    EXPECT_TRUE(item.CreateFromSource(sourcePath, false, libraries.list)) << sourcePath;
    EXPECT_TRUE(item.SetDestinationFormat(destination, highQuality, destinationFormat)) << sourcePath;
    item.SetDestinationPath(destinationPath);
    SRunItem snapshot = SnapshotItem(item);
    snapshot.projectItem = nullptr;
    return snapshot;
}

SStreamFunctions StreamWatch::Functions()
{
    SStreamFunctions functions;
    functions.open = WatchedOpen;
    functions.prepareHeader = WatchedPrepare;
    functions.convert = WatchedConvert;
    functions.unprepareHeader = WatchedUnprepare;
    functions.close = WatchedClose;
    return functions;
}

void StreamWatch::Reset(EStreamCall failing, int failingCall)
{
    for (auto& calls : g_calls) {
        calls = 0;
    }
    g_failingKind = static_cast<int>(failing);
    g_failingCall = failingCall;
}

int StreamWatch::LiveStreams()
{
    return g_liveStreams.load();
}

int StreamWatch::Calls(EStreamCall call)
{
    return g_calls[static_cast<int>(call)].load();
}

namespace {
std::atomic<int> g_allocations{0};
std::atomic<int> g_failingAllocation{0};
} // namespace

void FailAllocationAt(int call)
{
    g_allocations = 0;
    g_failingAllocation = call;
}

void* CountingAllocation(std::size_t bytes)
{
    return ++g_allocations == g_failingAllocation.load() ? nullptr : std::malloc(bytes);
}

int OpenDescriptorCount()
{
    int count = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (readdir(directory) != nullptr) {
            ++count;
        }
        closedir(directory);
    }
    return count;
}

void CRecordingDisplay::SetItemProgress(uint32_t percent)
{
    Record("itemProgress", std::to_string(percent));
    if (onProgress) {
        onProgress(percent);
    }
}

void CRecordingDisplay::AddErrorLogLine(const std::string& line, const SErrorLogEntry& entry)
{
    Record("log", line + " [" + std::to_string(entry.messageId) + entry.side + entry.severity + "]");
}

void CRecordingDisplay::ItemEnded(std::size_t itemIndex, EItemOutcome outcome)
{
    Record("itemEnded", std::to_string(itemIndex) + ":" + std::to_string(static_cast<int>(outcome)));
}

void CRecordingDisplay::WorkerStopped(ERunOutcome outcome)
{
    Record("stopped", outcome == ERunOutcome::Finished ? "finished" : "aborted");
}

void CRecordingDisplay::Record(const std::string& field, const std::string& value)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back({field, value});
}

std::vector<CRecordingDisplay::SCall> CRecordingDisplay::Calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<std::string> CRecordingDisplay::Values(const std::string& field) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> values;
    for (const SCall& call : m_calls) {
        if (call.field == field) {
            values.push_back(call.value);
        }
    }
    return values;
}

std::string CRecordingDisplay::Last(const std::string& field) const
{
    const std::vector<std::string> values = Values(field);
    return values.empty() ? std::string("<none>") : values.back();
}

std::size_t CRecordingDisplay::CallCount() const
{
    std::lock_guard lock(m_mutex);
    return m_calls.size();
}

SRunOptions TestOptions(const testsupport::ScratchFolder& folder)
{
    SRunOptions options;
    options.statisticsFolder = StatisticsFolder(folder);
    options.statisticsLockFolder = folder.Path();
    options.applyPriorities = false;
    options.streams = StreamWatch::Functions();
    auto ticks = std::make_shared<std::atomic<uint64_t>>(1000);
    options.clock = [ticks] { return ticks->fetch_add(7); };
    return options;
}

SRunResult RunToEnd(std::vector<SRunItem> items, const SRunOptions& options,
                    std::shared_ptr<CRecordingDisplay> display)
{
    CConversionRun run(std::move(items), display, options);
    SRunResult result;
    EXPECT_TRUE(run.Start());
    result.outcome = run.Wait();
    result.outcomes = run.GetItemOutcomes();
    result.log = run.GetErrorLog();
    return result;
}

} // namespace engine_test
