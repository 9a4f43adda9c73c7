#include "project/ConversionProject.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "project/ItemRecord.h"

namespace {

class CDescriptor {
public:
    explicit CDescriptor(int descriptor = -1) : m_descriptor(descriptor) {}
    ~CDescriptor()
    {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_descriptor; }
    // Closes now and says whether the close succeeded (delayed write errors
    // show up here).
    bool Close()
    {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return descriptor < 0 || ::close(descriptor) == 0;
    }

private:
    int m_descriptor;
};

bool WriteAll(int descriptor, const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The file a save really replaces: a symbolic link is followed, so that the
// link stays and its target gets the new content.
std::string ResolveTarget(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        std::array<char, PATH_MAX> resolved{};
        if (::realpath(path.c_str(), resolved.data()) != nullptr) {
            return resolved.data();
        }
    }
    return path;
}

void SyncFolder(const std::string& folder)
{
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

// Writes bytes to a new file beside path, flushes it to disk and renames it
// over path. Until the rename the old file is untouched; after any failure
// the new file is removed again.
bool ReplaceFileContents(const std::string& path, const std::vector<uint8_t>& bytes)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = ResolveTarget(path);
    const std::size_t separator = target.rfind('/');
    const std::string folder = separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
    const std::string name = separator == std::string::npos ? target : target.substr(separator + 1);

    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        do {
            descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (descriptor < 0) {
        return false;
    }
    CDescriptor file(descriptor);

    struct stat previous {};
    if (::stat(target.c_str(), &previous) == 0 && S_ISREG(previous.st_mode)) {
        ::fchmod(file.Get(), previous.st_mode & 07777);
    }
    const bool written = WriteAll(file.Get(), bytes.data(), bytes.size()) && ::fsync(file.Get()) == 0;
    if (!file.Close() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

} // namespace

CConversionProject::CConversionProject(const CLibraryList& libraries) : m_libraries(libraries) {}

bool CConversionProject::AddItem(std::unique_ptr<CProjectItem> item)
{
    if (!item) {
        return false;
    }
    CProjectItem* added = m_items.Append(std::move(item));
    if (m_observer != nullptr && !m_observer->InsertItemRow(*added)) {
        m_items.Remove(m_items.size() - 1);
        return false;
    }
    return true;
}

std::unique_ptr<CProjectItem> CConversionProject::RemoveItem(const CProjectItem* item)
{
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        if (&m_items[index] == item) {
            return m_items.Remove(index);
        }
    }
    return nullptr;
}

bool CConversionProject::HasItemWithSource(std::string_view sourcePath) const
{
    for (const auto& item : m_items) {
        if (item->GetSourcePath() == sourcePath) {
            return true;
        }
    }
    return false;
}

bool CConversionProject::Serialize(std::vector<uint8_t>& bytes) const
{
    bytes.assign(kSignature, kSignature + kSignatureSize);
    for (const auto& item : m_items) {
        if (!AppendItemRecord(*item, bytes)) {
            return false;
        }
    }
    return true;
}

bool CConversionProject::Save(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!Serialize(bytes) || !ReplaceFileContents(path, bytes)) {
        ReportError(IDE_PROJECT_SAVE_FAILED);
        return false;
    }
    m_modified = false;
    return true;
}

bool CConversionProject::Open(const std::string& path)
{
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        ReportError(IDE_PROJECT_OPEN_FAILED);
        return false;
    }
    CDescriptor file(descriptor);
    CFileByteSource source(file.Get());

    uint8_t signature[kSignatureSize];
    std::size_t got = 0;
    if (!source.Read(signature, sizeof signature, got)) {
        ReportError(IDE_PROJECT_OPEN_FAILED);
        return false;
    }
    if (got != sizeof signature || std::memcmp(signature, kSignature, kSignatureSize) != 0) {
        ReportError(IDE_PROJECT_FILE_CORRUPT);
        return false;
    }

    bool allItemsRestored = true;
    const auto hasSource = [this](std::string_view sourcePath) { return HasItemWithSource(sourcePath); };
    for (;;) {
        SItemRecord record;
        const EItemRecordRead read = ReadItemRecord(source, record);
        if (read == EItemRecordRead::End) {
            break;
        }
        if (read == EItemRecordRead::ReadError) {
            ReportError(IDE_PROJECT_OPEN_FAILED);
            return false;
        }
        if (read == EItemRecordRead::Corrupt) {
            ReportError(IDE_PROJECT_FILE_CORRUPT);
            return false;
        }
        std::unique_ptr<CProjectItem> item;
        switch (RestoreItem(record, m_libraries, hasSource, item)) {
        case EItemRestore::Duplicate:
            break;
        case EItemRestore::Failed:
            allItemsRestored = false;
            break;
        case EItemRestore::Restored:
            if (!AddItem(std::move(item))) {
                allItemsRestored = false;
            }
            break;
        }
    }
    file.Close();

    m_modified = false;
    if (!allItemsRestored) {
        ReportError(IDE_INVALID_PROJECT_ITEMS_OPEN);
    }
    if (m_observer != nullptr) {
        m_observer->ProjectOpened();
    }
    return true;
}
