#include "project/ProjectItem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "app/DisplayFormat.h"
#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "libhost/FileFormatLibrary.h"
#include "project/PathFunctions.h"

namespace {

std::string UpperCaseAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

bool IsPcm(const CAudioFormat& format)
{
    return format.GetFormat() != nullptr && format.GetFormat()->wFormatTag == WAVE_FORMAT_PCM;
}

// The size of the file at path, saturated at the 32-bit limit; false when it
// cannot be opened or measured.
bool MeasureFile(const std::string& path, uint32_t& size)
{
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return false;
    }
    struct stat status {};
    const bool measured = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    ::close(descriptor);
    if (!measured) {
        return false;
    }
    const auto bytes = static_cast<uint64_t>(status.st_size);
    size = bytes > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                        : static_cast<uint32_t>(bytes);
    return true;
}

} // namespace

uint32_t CProjectItem::ComputeLengthMs(uint32_t dataLength, const WAVEFORMATEX& format)
{
    // The codec layer refuses formats without a byte rate; this guard keeps a
    // library that reports one anyway from dividing by zero.
    if (format.nAvgBytesPerSec == 0) {
        return 0;
    }
    const double milliseconds = static_cast<double>(dataLength) / format.nAvgBytesPerSec * 1000.0;
    if (milliseconds >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
        return std::numeric_limits<uint32_t>::max();
    }
    return static_cast<uint32_t>(milliseconds);
}

bool CProjectItem::Fail(bool report, uint32_t messageId, const std::string& argument, const char* information) const
{
    if (report) {
        ReportError(messageId, nullptr, information, argument.c_str());
    }
    return false;
}

std::string CProjectItem::LibraryErrorText(const CFileFormatLibrary& library, int32_t result) const
{
    std::string text;
    if (!library.GetErrorMessage(result, text)) {
        text.clear();
    }
    return text;
}

bool CProjectItem::CreateFromSource(const std::string& path, bool report, const CLibraryList& libraries)
{
    const std::string extension = UpperCaseAscii(GetPathExtension(path));
    if (extension.empty()) {
        return Fail(report, IDE_MISSING_FILE_EXTENSION, path);
    }
    const CFileFormatLibrary* library = nullptr;
    for (const auto& candidate : libraries) {
        if (candidate->GetExtension() == extension) {
            library = candidate.get();
            break;
        }
    }
    if (library == nullptr) {
        return Fail(report, IDE_INVALID_FILE_EXTENSION, path);
    }
    m_sourceLibrary = library;

    // A name with a zero byte cannot be handed to the file system whole: it
    // would open a different file.
    if (path.find('\0') != std::string::npos) {
        return Fail(report, IDE_OPEN_FILE_FAILURE, path.c_str(), "");
    }
    AUDFF_HANDLE handle = 0;
    const int32_t openResult = library->OpenRead(path, handle);
    if (openResult != 0) {
        const std::string text = report ? LibraryErrorText(*library, openResult) : std::string();
        return Fail(report, IDE_OPEN_FILE_FAILURE, path, text.c_str());
    }

    auto format = std::make_unique<CAudioFormat>();
    uint32_t dataLength = 0;
    const int32_t formatResult = library->GetFormat(handle, *format, dataLength);
    if (formatResult != 0) {
        const std::string text = report ? LibraryErrorText(*library, formatResult) : std::string();
        library->CloseRead(handle);
        return Fail(report, IDE_GET_FORMAT_FAILURE, path, text.c_str());
    }
    if (format->GetFormat() == nullptr || !format->IsAvailable()) {
        library->CloseRead(handle);
        return Fail(report, IDE_AUDIO_FORMAT_NOT_AVAILABLE, path);
    }
    const int32_t closeResult = library->CloseRead(handle);
    if (closeResult != 0 && report) {
        const std::string text = LibraryErrorText(*library, closeResult);
        ReportError(IDE_CLOSE_FILE_WARNING, nullptr, text.c_str(), path.c_str());
    }

    m_lengthMs = ComputeLengthMs(dataLength, *format->GetFormat());
    m_formatChain.Clear();
    m_formatChain.Append(std::move(format));
    m_sourcePath = path;
    m_dataLength = dataLength;

    if (!MeasureFile(path, m_fileSize)) {
        return Fail(report, IDE_GET_FILE_SIZE_FAILURE, path);
    }
    m_fileSizeText = FormatByteSize(m_fileSize);
    m_lengthText = FormatDuration(m_lengthMs, true, true);
    return true;
}

void CProjectItem::RemoveIntermediateFormats()
{
    while (m_formatChain.size() > 2) {
        m_formatChain.Remove(m_formatChain.size() - 2);
    }
}

bool CProjectItem::ComputeChain()
{
    RemoveIntermediateFormats();
    if (m_formatChain.size() < 2) {
        return false;
    }
    const CAudioFormat& source = m_formatChain[0];
    const CAudioFormat& destination = m_formatChain[1];

    auto insertBeforeDestination = [this](std::unique_ptr<CAudioFormat> format) {
        std::unique_ptr<CAudioFormat> last = m_formatChain.Remove(m_formatChain.size() - 1);
        m_formatChain.Append(std::move(format));
        m_formatChain.Append(std::move(last));
    };

    if (IsPcm(source) && IsPcm(destination)) {
        return true;
    }
    if (IsPcm(source) || IsPcm(destination)) {
        const CAudioFormat& pcmEnd = IsPcm(source) ? source : destination;
        const CAudioFormat& codedEnd = IsPcm(source) ? destination : source;
        auto suggested = std::make_unique<CAudioFormat>();
        if (!codedEnd.SuggestFormat(WAVE_FORMAT_PCM, *suggested)) {
            return false;
        }
        if (!suggested->IsEqual(pcmEnd)) {
            insertBeforeDestination(std::move(suggested));
        }
        return true;
    }

    auto sourcePcm = std::make_unique<CAudioFormat>();
    auto destinationPcm = std::make_unique<CAudioFormat>();
    if (!source.SuggestFormat(WAVE_FORMAT_PCM, *sourcePcm) ||
        !destination.SuggestFormat(WAVE_FORMAT_PCM, *destinationPcm)) {
        return false;
    }
    if (!sourcePcm->IsEqual(*destinationPcm)) {
        insertBeforeDestination(std::move(sourcePcm));
    }
    insertBeforeDestination(std::move(destinationPcm));
    return true;
}

bool CProjectItem::SetDestinationFormat(const CFileFormatLibrary* library, uint32_t highQuality,
                                        const CAudioFormat& format)
{
    while (m_formatChain.size() > 1) {
        m_formatChain.Remove(m_formatChain.size() - 1);
    }
    m_destinationLibrary = library;
    m_highQuality = highQuality;
    m_formatChain.Append(std::make_unique<CAudioFormat>(format));
    return ComputeChain();
}

const CAudioFormat* CProjectItem::GetSourceFormat() const
{
    return m_formatChain.empty() ? nullptr : &m_formatChain[0];
}

const CAudioFormat* CProjectItem::GetDestinationFormat() const
{
    return m_formatChain.size() < 2 ? nullptr : &m_formatChain[m_formatChain.size() - 1];
}

bool CProjectItem::HasDestination() const
{
    return m_destinationLibrary != nullptr && m_formatChain.size() >= 2;
}
