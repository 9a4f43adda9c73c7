#include "EngineTestSupport.h"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "project/ProjectItem.h"

namespace engine_test {

namespace {

void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint32_t LoadLe32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void SetOrUnset(const char* name, bool had, const std::string& value)
{
    if (had) {
        setenv(name, value.c_str(), 1);
    } else {
        unsetenv(name);
    }
}

struct SEnumerationSearch {
    uint32_t rate;
    uint16_t channels;
    uint32_t kbps;
    CAudioFormat found;
};

int32_t FindFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t)
{
    auto& search = *reinterpret_cast<SEnumerationSearch*>(instance);
    const WAVEFORMATEX& format = *details->pwfx;
    if ((search.rate == 0 || format.nSamplesPerSec == search.rate) &&
        (search.channels == 0 || format.nChannels == search.channels) &&
        (search.kbps == 0 || format.nAvgBytesPerSec * 8 == search.kbps * 1000)) {
        search.found.SetFormat(&format);
        return 0;
    }
    return 1;
}

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

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::path(testing::TempDir()) /
             ("orvano-engine-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
              (info != nullptr ? info->name() : "x"));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path / "config");
    std::filesystem::create_directories(m_path / "data");
    std::filesystem::create_directories(m_path / "statistics");
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        m_hadConfig = true;
        m_oldConfig = old;
    }
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        m_hadData = true;
        m_oldData = old;
    }
    setenv("XDG_CONFIG_HOME", (m_path / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_path / "data").c_str(), 1);
}

ScratchFolder::~ScratchFolder()
{
    SetOrUnset("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
    SetOrUnset("XDG_DATA_HOME", m_hadData, m_oldData);
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

CAudioFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    return CAudioFormat(&format);
}

CAudioFormat Enumerated(uint16_t tag, uint32_t rate, uint16_t channels, uint32_t kbps)
{
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR) {
        return {};
    }
    std::vector<uint8_t> block(std::max<uint32_t>(maxSize, 18), 0);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
    format->wFormatTag = tag;
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = format;
    details.cbwfx = static_cast<uint32_t>(block.size());
    SEnumerationSearch search{rate, channels, kbps, {}};
    acmFormatEnum(nullptr, &details, FindFormat, reinterpret_cast<uintptr_t>(&search), ACM_FORMATENUMF_WFORMATTAG);
    return search.found;
}

std::vector<int16_t> MusicSamples(uint32_t rate, uint16_t channels, uint32_t frames, uint32_t seed)
{
    std::vector<int16_t> samples(static_cast<std::size_t>(frames) * channels);
    uint32_t noise = seed * 2654435761u + 1;
    const double partials[] = {220.0, 277.18, 329.63, 440.0, 659.25};
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = 0.6 + 0.4 * std::sin(2.0 * M_PI * 1.5 * t);
        for (uint16_t c = 0; c < channels; ++c) {
            double value = 0.0;
            for (std::size_t p = 0; p < std::size(partials); ++p) {
                value += std::sin(2.0 * M_PI * partials[p] * (1.0 + 0.002 * c) * t + p) / (p + 1.5);
            }
            noise = noise * 1664525u + 1013904223u;
            value += (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 0.05;
            samples[static_cast<std::size_t>(i) * channels + c] = static_cast<int16_t>(envelope * value * 9000.0);
        }
    }
    return samples;
}

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const int16_t sample : samples) {
        AppendLe16(bytes, static_cast<uint16_t>(sample));
    }
    return bytes;
}

void WriteWave(const std::string& path, const CAudioFormat& format, const std::vector<uint8_t>& data)
{
    const uint32_t formatSize = format.GetSize();
    std::vector<uint8_t> file;
    const auto text = [&](const char* four) { file.insert(file.end(), four, four + 4); };
    text("RIFF");
    AppendLe32(file, 4 + 8 + formatSize + (formatSize & 1) + 8 + static_cast<uint32_t>(data.size()) +
                         static_cast<uint32_t>(data.size() & 1));
    text("WAVE");
    text("fmt ");
    AppendLe32(file, formatSize);
    const auto* block = reinterpret_cast<const uint8_t*>(format.GetFormat());
    file.insert(file.end(), block, block + formatSize);
    if (formatSize & 1) {
        file.push_back(0);
    }
    text("data");
    AppendLe32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    if (data.size() & 1) {
        file.push_back(0);
    }
    WriteBytes(path, file);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ReadWave(const std::string& path, SAudioFile& file)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    std::size_t position = 12;
    bool haveFormat = false;
    bool haveData = false;
    while (position + 8 <= bytes.size()) {
        const uint32_t size = LoadLe32(bytes.data() + position + 4);
        const std::size_t body = position + 8;
        const std::size_t available = std::min<std::size_t>(size, bytes.size() - body);
        if (std::memcmp(bytes.data() + position, "fmt ", 4) == 0) {
            file.format.assign(bytes.begin() + static_cast<long>(body), bytes.begin() + static_cast<long>(body + available));
            file.format.resize(std::max<std::size_t>(file.format.size(), sizeof(WAVEFORMATEX)), 0);
            haveFormat = true;
        } else if (std::memcmp(bytes.data() + position, "data", 4) == 0) {
            file.data.assign(bytes.begin() + static_cast<long>(body), bytes.begin() + static_cast<long>(body + available));
            haveData = true;
        }
        position = body + size + (size & 1);
    }
    return haveFormat && haveData;
}

void WriteFaultFile(const std::string& path, const CAudioFormat& format, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> file = {'F', 'L', 'T', '1'};
    AppendLe32(file, format.GetSize());
    const auto* block = reinterpret_cast<const uint8_t*>(format.GetFormat());
    file.insert(file.end(), block, block + format.GetSize());
    file.insert(file.end(), data.begin(), data.end());
    WriteBytes(path, file);
}

bool ReadFaultFile(const std::string& path, SAudioFile& file)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < 8 || std::memcmp(bytes.data(), "FLT1", 4) != 0) {
        return false;
    }
    const uint32_t size = LoadLe32(bytes.data() + 4);
    if (bytes.size() < 8 + size) {
        return false;
    }
    file.format.assign(bytes.begin() + 8, bytes.begin() + 8 + size);
    file.format.resize(std::max<std::size_t>(file.format.size(), sizeof(WAVEFORMATEX)), 0);
    file.data.assign(bytes.begin() + 8 + size, bytes.end());
    return true;
}

std::unique_ptr<SLibraries> LoadLibraries()
{
    auto libraries = std::make_unique<SLibraries>();
    const std::pair<std::string, const CFileFormatLibrary**> wanted[] = {
        {std::string(ORVANO_BIN_DIR) + "/AUDFFWAV.so", &libraries->wave},
        {std::string(ORVANO_BIN_DIR) + "/AUDFFMP3.so", &libraries->mp3},
        {std::string(ORVANO_FAULT_LIBRARY), &libraries->fault},
    };
    for (const auto& [path, slot] : wanted) {
        auto library = std::make_unique<CFileFormatLibrary>();
        if (!library->Load(path, "English")) {
            ADD_FAILURE() << "cannot load " << path << ": " << library->LastLoadError();
            continue;
        }
        *slot = libraries->list.Append(std::move(library));
    }
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

SRunOptions TestOptions(const ScratchFolder& folder)
{
    SRunOptions options;
    options.statisticsFolder = folder.StatisticsFolder();
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

bool HaveTool(const std::string& name)
{
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

long Mp3DecodedFrames(const std::string& path, int channels)
{
    const std::string command = "mpg123 -q -s '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    long bytes = 0;
    char buffer[65536];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) != 0) {
        bytes += static_cast<long>(got);
    }
    if (pclose(pipe) != 0) {
        return -1;
    }
    return bytes / (2L * channels);
}

} // namespace engine_test
