// AUDFFMP3: describes an MPEG Layer-3 stream by its first frame header and
// moves its bytes unchanged; it decodes nothing. Written files hold exactly
// the bytes the host writes. A handle is an Mp3File: the descriptor and,
// once known, where the audio starts.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "AboutDialog.h"
#include "AudioExtent.h"
#include "LibraryInformation.h"
#include "LockedFile.h"
#include "MpegHeader.h"
#include "Mp3Results.h"
#include "audff.h"

using namespace mp3;

namespace {

struct Mp3File {
    int descriptor = -1;
    bool writing = false;
    bool audioStartKnown = false;
    uint64_t audioStart = 0;
};

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

Mp3File* FileFromHandle(AUDFF_HANDLE handle, bool writing)
{
    auto* file = reinterpret_cast<Mp3File*>(handle);
    if (file == nullptr || file->writing != writing) {
        return nullptr;
    }
    return file;
}

int32_t OpenResult(audff::OpenFailure failure)
{
    switch (failure) {
    case audff::OpenFailure::None:
        return kNoError;
    case audff::OpenFailure::PathNotFound:
        return kFileNotFound;
    case audff::OpenFailure::AccessDenied:
        return kFileProtected;
    case audff::OpenFailure::InUse:
        return kFileInUse;
    case audff::OpenFailure::TooManyFiles:
        return kTooManyOpenFiles;
    case audff::OpenFailure::InvalidFile:
        return kFileInvalid;
    case audff::OpenFailure::Network:
    case audff::OpenFailure::Unknown:
        break;
    }
    return kUnknownOpenError;
}

int32_t Open(const char* fileName, AUDFF_HANDLE* handle, bool writing)
{
    if (fileName == nullptr || handle == nullptr) {
        return kInvalidParameter;
    }
    *handle = 0;
    const audff::OpenedFile opened =
        writing ? audff::OpenExclusiveForWriting(fileName) : audff::OpenSharedForReading(fileName);
    if (opened.failure != audff::OpenFailure::None) {
        return OpenResult(opened.failure);
    }
    auto* file = new (std::nothrow) Mp3File{opened.descriptor, writing, false, 0};
    if (file == nullptr) {
        ::close(opened.descriptor);
        return kUnknownOpenError;
    }
    *handle = reinterpret_cast<AUDFF_HANDLE>(file);
    return kNoError;
}

bool FileSize(int descriptor, uint64_t& size)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return false;
    }
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

int32_t LocateAudioStart(Mp3File& file, uint64_t fileSize)
{
    if (file.audioStartKnown) {
        return kNoError;
    }
    const int32_t result = FindAudioStart(file.descriptor, fileSize, file.audioStart);
    file.audioStartKnown = result == kNoError;
    return result;
}

int32_t CloseFile(AUDFF_HANDLE handle)
{
    std::unique_ptr<Mp3File> file(reinterpret_cast<Mp3File*>(handle));
    if (!file) {
        return kNoError;
    }
    // A failing close of a written file can mean its last bytes are lost.
    if (::close(file->descriptor) != 0 && errno != EINTR && file->writing) {
        return kAudioWriteFailed;
    }
    return kNoError;
}

int32_t DoNothing(AUDFF_HANDLE /*handle*/)
{
    return kNoError;
}

} // namespace

extern "C" {

AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION* information)
{
    if (information == nullptr) {
        return kInvalidParameter;
    }
    audff::FillInformation("MP3", "MP3 Audio File", "MPEG Layer III Audio Format File", *information);
    return kNoError;
}

AUDFF_API int32_t AUDFF_OpenRead(const char* fileName, AUDFF_HANDLE* handle)
{
    return Open(fileName, handle, false);
}

AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle)
{
    return CloseFile(handle);
}

AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX** format, uint32_t* dataSize)
{
    if (format == nullptr || dataSize == nullptr) {
        return kInvalidParameter;
    }
    *format = nullptr;
    Mp3File* file = FileFromHandle(handle, false);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    uint64_t fileSize = 0;
    if (!FileSize(file->descriptor, fileSize) || fileSize > std::numeric_limits<uint32_t>::max()) {
        *dataSize = 0;
        return kLengthUnknown;
    }
    int32_t result = LocateAudioStart(*file, fileSize);
    if (result != kNoError) {
        return result;
    }
    uint64_t audioEnd = fileSize;
    result = FindAudioEnd(file->descriptor, fileSize, file->audioStart, audioEnd);
    if (result != kNoError) {
        return result;
    }
    unsigned char headerBytes[4];
    size_t bytesRead = 0;
    if (!ReadAt(file->descriptor, headerBytes, sizeof headerBytes, file->audioStart, bytesRead)) {
        return kReadFailed;
    }
    if (bytesRead < sizeof headerBytes) {
        return kFormatTruncated;
    }
    std::unique_ptr<MPEGLAYER3WAVEFORMAT, FreeDeleter> block(
        static_cast<MPEGLAYER3WAVEFORMAT*>(std::calloc(1, sizeof(MPEGLAYER3WAVEFORMAT))));
    if (!block) {
        return kFormatMemoryFailed;
    }
    const uint32_t header = uint32_t{headerBytes[0]} << 24 | uint32_t{headerBytes[1]} << 16 |
                            uint32_t{headerBytes[2]} << 8 | uint32_t{headerBytes[3]};
    if (!DescribeFrameHeader(header, *block)) {
        return kFormatUnsupported;
    }
    *dataSize = static_cast<uint32_t>(audioEnd - file->audioStart);
    *format = &block.release()->wfx;
    return kNoError;
}

AUDFF_API int32_t AUDFF_CheckFormatTag(uint32_t formatTag)
{
    return formatTag == WAVE_FORMAT_MPEGLAYER3 ? 1 : 0;
}

AUDFF_API int32_t AUDFF_CheckFormat(const WAVEFORMATEX* format)
{
    return format != nullptr && IsWritableFormat(*format) ? 1 : 0;
}

AUDFF_API int32_t AUDFF_GetErrorMessage(uint32_t code, char* buffer, uint32_t bufferSize, void* module,
                                        const char* language)
{
    return audff::LookUpErrorMessage(Mp3Messages(), code, buffer, bufferSize, module, language);
}

AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle)
{
    Mp3File* file = FileFromHandle(handle, false);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    uint64_t fileSize = 0;
    if (!file->audioStartKnown && !FileSize(file->descriptor, fileSize)) {
        return kRepositionFailed;
    }
    const int32_t result = LocateAudioStart(*file, fileSize);
    if (result != kNoError) {
        return result;
    }
    if (::lseek(file->descriptor, static_cast<off_t>(file->audioStart), SEEK_SET) < 0) {
        return kRepositionFailed;
    }
    return kNoError;
}

AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void* buffer, uint32_t* size)
{
    Mp3File* file = FileFromHandle(handle, false);
    if (file == nullptr || buffer == nullptr || size == nullptr) {
        return kInvalidParameter;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    uint32_t total = 0;
    while (total < *size) {
        const ssize_t got = ::read(file->descriptor, out + total, *size - total);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            *size = 0;
            return kAudioReadFailed;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<uint32_t>(got);
    }
    *size = total;
    return kNoError;
}

AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE handle)
{
    return DoNothing(handle);
}

AUDFF_API int32_t AUDFF_OpenWrite(const char* fileName, AUDFF_HANDLE* handle)
{
    return Open(fileName, handle, true);
}

AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE /*handle*/, const WAVEFORMATEX* /*format*/)
{
    // An MP3 file has no place for the format: its frames carry it.
    return kNoError;
}

AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle)
{
    return DoNothing(handle);
}

AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count)
{
    Mp3File* file = FileFromHandle(handle, true);
    if (file == nullptr || buffer == nullptr) {
        return kInvalidParameter;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    uint32_t written = 0;
    while (written < count) {
        const ssize_t put = ::write(file->descriptor, in + written, count - written);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kAudioWriteFailed;
        }
        if (put == 0) {
            return kAudioWriteFailed;
        }
        written += static_cast<uint32_t>(put);
    }
    return kNoError;
}

AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle)
{
    return DoNothing(handle);
}

AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle)
{
    return CloseFile(handle);
}

AUDFF_API int32_t AUDFF_About(void* parentWindow, void* /*module*/)
{
    const bool shown =
        audff::ShowAboutDialog(parentWindow, "About", "File Format Library for MP3 Files", "Version 1.0");
    return shown ? kNoError : kAboutUnavailable;
}

} // extern "C"
