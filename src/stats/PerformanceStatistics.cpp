#include "stats/PerformanceStatistics.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "formats/FormatHead.h"

namespace {

using RecordBytes = std::array<uint8_t, CPerformanceStatistics::kRecordSize>;

using formathead::LoadLe32;
using formathead::StoreLe32;

bool MakeKey(const CAudioFormat& source, const CAudioFormat& destination, uint32_t quality, RecordBytes& record)
{
    const WAVEFORMATEX* sourceBlock = source.GetFormat();
    const WAVEFORMATEX* destinationBlock = destination.GetFormat();
    if (sourceBlock == nullptr || destinationBlock == nullptr) {
        return false;
    }
    record.fill(0);
    formathead::Store(record.data(), *sourceBlock);
    formathead::Store(record.data() + 16, *destinationBlock);
    StoreLe32(record.data() + 32, quality);
    return true;
}

bool SameKey(const uint8_t* a, const uint8_t* b)
{
    return std::memcmp(a, b, CPerformanceStatistics::kKeySize) == 0;
}

// Reads the file from its start record by record; a piece shorter than a
// record at the end counts as the end of the file.
class RecordScanner {
public:
    explicit RecordScanner(int descriptor) : m_descriptor(descriptor) {}

    // The next whole record, or null at the end or on a read error.
    const uint8_t* Next()
    {
        if (m_position + CPerformanceStatistics::kRecordSize > m_filled) {
            if (!Refill()) {
                return nullptr;
            }
        }
        const uint8_t* record = m_buffer.data() + m_position;
        m_recordOffset = m_bufferOffset + static_cast<off_t>(m_position);
        m_position += CPerformanceStatistics::kRecordSize;
        return record;
    }

    bool Failed() const { return m_failed; }
    // Offset of the record Next returned last.
    off_t RecordOffset() const { return m_recordOffset; }
    // Where the whole records end (valid once Next returned null).
    off_t EndOfWholeRecords() const { return m_bufferOffset + static_cast<off_t>(m_position); }

private:
    bool Refill()
    {
        m_bufferOffset += static_cast<off_t>(m_position);
        m_position = 0;
        m_filled = 0;
        while (m_filled < m_buffer.size()) {
            const ssize_t got = ::pread(m_descriptor, m_buffer.data() + m_filled, m_buffer.size() - m_filled,
                                        m_bufferOffset + static_cast<off_t>(m_filled));
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_failed = true;
                return false;
            }
            if (got == 0) {
                break;
            }
            m_filled += static_cast<size_t>(got);
        }
        return m_filled >= CPerformanceStatistics::kRecordSize;
    }

    int m_descriptor;
    std::array<uint8_t, CPerformanceStatistics::kRecordSize * 128> m_buffer{};
    size_t m_filled = 0;
    size_t m_position = 0;
    off_t m_bufferOffset = 0;
    off_t m_recordOffset = 0;
    bool m_failed = false;
};

bool WriteRecordAt(int descriptor, const RecordBytes& record, off_t offset)
{
    size_t written = 0;
    while (written < record.size()) {
        const ssize_t result =
            ::pwrite(descriptor, record.data() + written, record.size() - written, offset + static_cast<off_t>(written));
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<size_t>(result);
    }
    return true;
}

std::string ExecutableFolder()
{
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(buffer.data(), static_cast<size_t>(length));
    const size_t separator = path.rfind('/');
    if (separator == std::string::npos) {
        return {};
    }
    return path.substr(0, separator + 1);
}

bool MakeFolders(const std::string& folder)
{
    for (size_t next = 1; next <= folder.size(); ++next) {
        if (next != folder.size() && folder[next] != '/') {
            continue;
        }
        const std::string prefix = folder.substr(0, next);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string WithTrailingSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

} // namespace

CPerformanceStatistics::CPerformanceStatistics() = default;

CPerformanceStatistics::CPerformanceStatistics(std::string statisticsFolder, std::string lockFolder,
                                               std::chrono::milliseconds lockTimeout)
    : m_folder(WithTrailingSeparator(std::move(statisticsFolder))),
      m_folderGiven(true),
      m_lockFolder(std::move(lockFolder)),
      m_lockTimeout(lockTimeout)
{
}

std::string CPerformanceStatistics::ChooseStatisticsFolder(const std::string& executableFolder)
{
    if (!executableFolder.empty()) {
        const std::string folder = WithTrailingSeparator(executableFolder);
        const std::string file = folder + kFileName;
        const bool usable = ::access(file.c_str(), F_OK) == 0 ? ::access(file.c_str(), R_OK | W_OK) == 0
                                                               : ::access(folder.c_str(), W_OK) == 0;
        if (usable) {
            return folder;
        }
    }
    std::string dataHome;
    const char* xdgDataHome = std::getenv("XDG_DATA_HOME");
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        dataHome = xdgDataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            return {};
        }
        dataHome = std::string(home) + "/.local/share";
    }
    const std::string folder = WithTrailingSeparator(dataHome) + "Orvano/";
    return MakeFolders(folder) ? folder : std::string();
}

bool CPerformanceStatistics::BuildPath()
{
    if (!m_path.empty()) {
        return true;
    }
    if (!m_folderGiven) {
        m_folder = ChooseStatisticsFolder(ExecutableFolder());
    }
    if (m_folder.empty()) {
        return false;
    }
    m_path = m_folder + kFileName;
    return true;
}

const std::string& CPerformanceStatistics::GetPath()
{
    BuildPath();
    return m_path;
}

// One operation's hold on the file: the named lock, then the file opened
// under it (created, never truncated) and flocked against any opener that
// does not know the named lock. The file is closed on every way out, before
// the lock goes.
class CPerformanceStatistics::LockedFile {
public:
    LockedFile(CPerformanceStatistics& store, bool forWriting) : m_lock(kLockName, store.m_lockFolder)
    {
        if (m_lock.Acquire(store.m_lockTimeout) && store.BuildPath()) {
            m_descriptor = OpenFlocked(store.m_path, forWriting);
        }
    }
    ~LockedFile()
    {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool IsOpen() const { return m_descriptor >= 0; }
    int Get() const { return m_descriptor; }

private:
    static int OpenFlocked(const std::string& path, bool forWriting)
    {
        const int access = forWriting ? O_RDWR : O_RDONLY;
        int descriptor;
        do {
            descriptor = ::open(path.c_str(), access | O_CREAT | O_CLOEXEC, 0644);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor < 0) {
            return -1;
        }
        struct stat status {};
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
            ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            ::close(descriptor);
            return -1;
        }
        return descriptor;
    }

    CNamedLock m_lock;
    int m_descriptor = -1;
};

bool CPerformanceStatistics::RecordPerformance(const CAudioFormat& source, const CAudioFormat& destination,
                                               uint32_t quality)
{
    RecordBytes record;
    if (!MakeKey(source, destination, quality, record)) {
        return false;
    }
    LockedFile file(*this, true);
    if (!file.IsOpen()) {
        return false;
    }

    RecordScanner scanner(file.Get());
    while (const uint8_t* stored = scanner.Next()) {
        if (SameKey(stored, record.data())) {
            // Summed in 64 bits: two rates above 2 GB/s must not wrap to a tiny mean.
            const auto merged =
                static_cast<uint32_t>((uint64_t{LoadLe32(stored + kKeySize)} + uint64_t{m_rate}) >> 1);
            std::memcpy(record.data(), stored, kRecordSize);
            StoreLe32(record.data() + kKeySize, merged);
            if (!WriteRecordAt(file.Get(), record, scanner.RecordOffset())) {
                return false;
            }
            m_rate = merged;
            return true;
        }
    }
    if (scanner.Failed()) {
        return false;
    }
    // A new record goes where the whole records end: a torn piece left by an
    // interrupted write is overwritten rather than kept in front of it, where
    // it would shift every later record out of step.
    const off_t end = scanner.EndOfWholeRecords();
    StoreLe32(record.data() + kKeySize, m_rate);
    if (!WriteRecordAt(file.Get(), record, end)) {
        // Take back a torn record so that the file keeps whole records.
        const int truncated = ::ftruncate(file.Get(), end);
        static_cast<void>(truncated);
        return false;
    }
    return true;
}

bool CPerformanceStatistics::LookupPerformance(const CAudioFormat& source, const CAudioFormat& destination,
                                               uint32_t quality)
{
    RecordBytes key;
    if (!MakeKey(source, destination, quality, key)) {
        return false;
    }
    LockedFile file(*this, false);
    if (!file.IsOpen()) {
        return false;
    }
    m_rate = 0;
    RecordScanner scanner(file.Get());
    while (const uint8_t* stored = scanner.Next()) {
        const uint32_t rate = LoadLe32(stored + kKeySize);
        if (rate != 0 && SameKey(stored, key.data())) {
            m_rate = rate;
            return true;
        }
    }
    return !scanner.Failed();
}

bool CPerformanceStatistics::GetPerformanceRecord(uint32_t n, CAudioFormat& source, CAudioFormat& destination,
                                                  uint32_t& quality)
{
    LockedFile file(*this, false);
    if (!file.IsOpen()) {
        return false;
    }
    m_rate = 0;
    if (n == 0) {
        return true;
    }
    RecordScanner scanner(file.Get());
    const uint8_t* stored = nullptr;
    for (uint32_t index = 0; index < n; ++index) {
        stored = scanner.Next();
        if (stored == nullptr) {
            return !scanner.Failed();
        }
    }
    const WAVEFORMATEX destinationHead = formathead::Load(stored + 16);
    const WAVEFORMATEX sourceHead = formathead::Load(stored);
    destination.SetFormat(&destinationHead);
    source.SetFormat(&sourceHead);
    quality = LoadLe32(stored + 32);
    m_rate = LoadLe32(stored + kKeySize);
    return true;
}

bool CPerformanceStatistics::DeleteStatisticsFile()
{
    if (!BuildPath()) {
        return false;
    }
    return ::unlink(m_path.c_str()) == 0 || errno == ENOENT;
}

bool ResetPerformanceStatistics(void* parentWindow, CPerformanceStatistics& statistics)
{
    if (ShowMessageBox(IDP_CONFIRM_RESET_STATISTICS, parentWindow, kQuestionBox) != IDYES) {
        return false;
    }
    return statistics.DeleteStatisticsFile();
}

bool ResetPerformanceStatistics(void* parentWindow)
{
    CPerformanceStatistics statistics;
    return ResetPerformanceStatistics(parentWindow, statistics);
}
