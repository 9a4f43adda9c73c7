// AUDFFWAV: reads the format and audio data of RIFF WAVE files and writes new
// ones in any format. A handle is a RiffFile owned by the caller between open
// and close; the chunks of the file a thread is writing are kept in that
// thread's write block.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <unistd.h>

#include "AboutDialog.h"
#include "LibraryInformation.h"
#include "LockedFile.h"
#include "RiffFile.h"
#include "WaveResults.h"
#include "audff.h"

using namespace wave;

namespace {

// Every thread may write one WAVE file at a time; the write block holds its
// "RIFF" and "data" chunks from AUDFF_PutFormat and AUDFF_PreWrite until
// AUDFF_CloseWrite. The owner ties the block to that file, so calls for any
// other file are refused instead of patching sizes into the wrong file.
struct WriteBlock {
    ChunkInfo riff;
    ChunkInfo data;
    const RiffFile* owner;
};

// Trivially destructible on purpose: the library may be unloaded while
// threads that used it live on.
thread_local WriteBlock t_writeBlock{};

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
using FormatBlock = std::unique_ptr<WAVEFORMATEX, FreeDeleter>;

// The largest meaningful "fmt " chunk: the 18-byte record and the most extra
// bytes its 16-bit cbSize can announce.
constexpr uint32_t kLargestFormatChunk = sizeof(WAVEFORMATEX) + std::numeric_limits<uint16_t>::max();
constexpr uint32_t kPcmFormatChunkSize = WAVEFORMATEX_HEAD_SIZE;

RiffFile* FileFromHandle(AUDFF_HANDLE handle, RiffFile::Access access)
{
    auto* file = reinterpret_cast<RiffFile*>(handle);
    if (file == nullptr || file->GetAccess() != access) {
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
        return kDirectoryInvalid;
    case audff::OpenFailure::AccessDenied:
        return kFileProtected;
    case audff::OpenFailure::InUse:
        return kFileInUse;
    case audff::OpenFailure::Network:
        return kNetworkError;
    case audff::OpenFailure::TooManyFiles:
        return kTooManyOpenFiles;
    case audff::OpenFailure::InvalidFile:
        return kFileInvalid;
    case audff::OpenFailure::Unknown:
        break;
    }
    return kUnknownOpenError;
}

int32_t Open(const char* fileName, AUDFF_HANDLE* handle, RiffFile::Access access)
{
    if (fileName == nullptr || handle == nullptr) {
        return kInvalidParameter;
    }
    *handle = 0;
    const audff::OpenedFile opened = access == RiffFile::Access::Read ? audff::OpenSharedForReading(fileName)
                                                                      : audff::OpenExclusiveForWriting(fileName);
    if (opened.failure != audff::OpenFailure::None) {
        return OpenResult(opened.failure);
    }
    std::unique_ptr<RiffFile> file = RiffFile::Adopt(opened.descriptor, access);
    if (!file) {
        ::close(opened.descriptor);
        return kUnknownOpenError;
    }
    *handle = reinterpret_cast<AUDFF_HANDLE>(file.release());
    return kNoError;
}

// Reading results of the RIFF layer for chunks that must be there.
int32_t SearchResult(RiffStatus status, int32_t notFound)
{
    switch (status) {
    case RiffStatus::Ok:
        return kNoError;
    case RiffStatus::NotFound:
        return notFound;
    case RiffStatus::Corrupt:
        return kFileInvalid;
    default:
        return kReadFailed;
    }
}

// Finds the "RIFF" chunk of form "WAVE" from the start of the file.
int32_t FindWaveForm(RiffFile& file, ChunkInfo& riff)
{
    file.Rewind();
    riff = ChunkInfo{};
    riff.formType = kWaveForm;
    ChunkExtent extent{}; // a form longer than the file is what streaming writers leave
    return SearchResult(file.Descend(riff, nullptr, ChunkSearch::RiffForm, extent), kWaveChunkMissing);
}

// Reads the "fmt " chunk the position is at into a new zero-filled block of
// at least 18 bytes. A PCM block also covers 18 + cbSize, since a PCM cbSize
// is often stray and a caller may still copy that many bytes.
int32_t ReadFormatChunk(RiffFile& file, const ChunkInfo& format, FormatBlock& block)
{
    size_t blockSize = std::max<size_t>(format.size, sizeof(WAVEFORMATEX));
    block.reset(static_cast<WAVEFORMATEX*>(std::calloc(1, blockSize)));
    if (!block) {
        return kFormatMemoryFailed;
    }
    size_t bytesRead = 0;
    if (!file.Read(block.get(), format.size, bytesRead)) {
        return kReadFailed;
    }
    if (bytesRead < format.size) {
        return kFormatTruncated;
    }
    if (format.size == WAVEFORMATEX_HEAD_SIZE) {
        block->cbSize = 0;
    }
    const size_t claimedSize = sizeof(WAVEFORMATEX) + block->cbSize;
    if (claimedSize <= blockSize) {
        return kNoError;
    }
    if (block->wFormatTag != WAVE_FORMAT_PCM) {
        return kFileInvalid;
    }
    FormatBlock larger(static_cast<WAVEFORMATEX*>(std::calloc(1, claimedSize)));
    if (!larger) {
        return kFormatMemoryFailed;
    }
    std::memcpy(larger.get(), block.get(), blockSize);
    block = std::move(larger);
    return kNoError;
}

int32_t Describe(RiffFile& file, FormatBlock& block, uint32_t& dataSize)
{
    ChunkInfo riff;
    int32_t result = FindWaveForm(file, riff);
    if (result != kNoError) {
        return result;
    }
    ChunkExtent extent{};
    ChunkInfo format{};
    format.id = kFormatId;
    result = SearchResult(file.Descend(format, &riff, ChunkSearch::ById, extent), kFormatChunkMissing);
    if (result != kNoError) {
        return result;
    }
    if (extent == ChunkExtent::PastFileEnd) {
        return kFormatTruncated;
    }
    if (extent == ChunkExtent::PastParent || format.size > kLargestFormatChunk) {
        return kFileInvalid;
    }
    if (format.size < WAVEFORMATEX_HEAD_SIZE) {
        return kFormatTooSmall;
    }
    result = ReadFormatChunk(file, format, block);
    if (result != kNoError) {
        return result;
    }
    if (file.Ascend(format) != RiffStatus::Ok) {
        return kFormatChunkEndMissing;
    }
    ChunkInfo data{};
    data.id = kDataId;
    result = SearchResult(file.Descend(data, &riff, ChunkSearch::ById, extent), kDataChunkMissing);
    if (result != kNoError) {
        return result;
    }
    dataSize = data.size;
    if (extent == ChunkExtent::PastFileEnd) {
        // Streaming writers leave the size of a "data" chunk unpatched: the
        // audio is what the file holds.
        uint64_t fileSize = 0;
        if (!file.Size(fileSize)) {
            return kReadFailed;
        }
        dataSize = static_cast<uint32_t>(std::min<uint64_t>(data.size, fileSize - data.dataOffset));
    }
    return kNoError;
}

bool OwnsWriteBlock(const RiffFile& file)
{
    return t_writeBlock.owner == &file;
}

} // namespace

extern "C" {

AUDFF_API int32_t AUDFF_GetInformation(AUDFF_INFORMATION* information)
{
    if (information == nullptr) {
        return kInvalidParameter;
    }
    audff::FillInformation("WAV", "WAVE Audio File", "RIFF/WAVE Audio Format File", *information);
    return kNoError;
}

AUDFF_API int32_t AUDFF_OpenRead(const char* fileName, AUDFF_HANDLE* handle)
{
    return Open(fileName, handle, RiffFile::Access::Read);
}

AUDFF_API int32_t AUDFF_CloseRead(AUDFF_HANDLE handle)
{
    if (handle == 0) {
        return kNoError;
    }
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Read);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    std::unique_ptr<RiffFile> owned(file);
    owned->Close();
    return kNoError;
}

AUDFF_API int32_t AUDFF_GetFormat(AUDFF_HANDLE handle, WAVEFORMATEX** format, uint32_t* dataSize)
{
    if (format == nullptr || dataSize == nullptr) {
        return kInvalidParameter;
    }
    *format = nullptr;
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Read);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    FormatBlock block;
    uint32_t size = 0;
    const int32_t result = Describe(*file, block, size);
    if (result != kNoError) {
        return result;
    }
    *dataSize = size;
    *format = block.release();
    return kNoError;
}

AUDFF_API int32_t AUDFF_CheckFormatTag(uint32_t /*formatTag*/)
{
    // A WAVE file holds audio of any format.
    return 1;
}

AUDFF_API int32_t AUDFF_CheckFormat(const WAVEFORMATEX* /*format*/)
{
    return 1;
}

AUDFF_API int32_t AUDFF_GetErrorMessage(uint32_t code, char* buffer, uint32_t bufferSize, void* module,
                                        const char* language)
{
    return audff::LookUpErrorMessage(WaveMessages(), code, buffer, bufferSize, module, language);
}

AUDFF_API int32_t AUDFF_PreRead(AUDFF_HANDLE handle)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Read);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    ChunkInfo riff;
    const int32_t result = FindWaveForm(*file, riff);
    if (result != kNoError) {
        return result;
    }
    ChunkInfo data{};
    data.id = kDataId;
    ChunkExtent extent{};
    return SearchResult(file->Descend(data, &riff, ChunkSearch::ById, extent), kDataChunkMissing);
}

AUDFF_API int32_t AUDFF_Read(AUDFF_HANDLE handle, void* buffer, uint32_t* size)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Read);
    if (file == nullptr || buffer == nullptr || size == nullptr) {
        return kInvalidParameter;
    }
    size_t bytesRead = 0;
    if (!file->Read(buffer, *size, bytesRead)) {
        *size = std::numeric_limits<uint32_t>::max();
        return kAudioReadFailed;
    }
    *size = static_cast<uint32_t>(bytesRead);
    return kNoError;
}

AUDFF_API int32_t AUDFF_PostRead(AUDFF_HANDLE /*handle*/)
{
    return kNoError;
}

AUDFF_API int32_t AUDFF_OpenWrite(const char* fileName, AUDFF_HANDLE* handle)
{
    return Open(fileName, handle, RiffFile::Access::Write);
}

AUDFF_API int32_t AUDFF_PutFormat(AUDFF_HANDLE handle, const WAVEFORMATEX* format)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Write);
    if (file == nullptr || format == nullptr) {
        return kInvalidParameter;
    }
    // The format opens the file; a second one would nest a RIFF chunk.
    if (file->Position() != 0) {
        return kFormatWriteFailed;
    }
    const size_t formatBytes = format->wFormatTag == WAVE_FORMAT_PCM ? kPcmFormatChunkSize
                                                                     : sizeof(WAVEFORMATEX) + format->cbSize;
    ChunkInfo riff{};
    riff.formType = kWaveForm;
    if (file->CreateChunk(riff, ChunkForm::Riff) != RiffStatus::Ok) {
        return kFormatWriteFailed;
    }
    t_writeBlock = WriteBlock{riff, ChunkInfo{}, file};
    ChunkInfo formatChunk{};
    formatChunk.id = kFormatId;
    if (file->CreateChunk(formatChunk, ChunkForm::Plain) != RiffStatus::Ok || !file->Write(format, formatBytes) ||
        file->Ascend(formatChunk) != RiffStatus::Ok) {
        return kFormatWriteFailed;
    }
    return kNoError;
}

AUDFF_API int32_t AUDFF_PreWrite(AUDFF_HANDLE handle)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Write);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    if (!OwnsWriteBlock(*file) || (t_writeBlock.riff.flags & kChunkBeingWritten) == 0 ||
        t_writeBlock.data.id != 0) {
        return kDataPrepareFailed;
    }
    ChunkInfo data{};
    data.id = kDataId;
    if (file->CreateChunk(data, ChunkForm::Plain) != RiffStatus::Ok) {
        return kDataPrepareFailed;
    }
    t_writeBlock.data = data;
    return kNoError;
}

AUDFF_API int32_t AUDFF_Write(AUDFF_HANDLE handle, const void* buffer, uint32_t count)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Write);
    if (file == nullptr || buffer == nullptr) {
        return kInvalidParameter;
    }
    if (!OwnsWriteBlock(*file) || (t_writeBlock.data.flags & kChunkBeingWritten) == 0) {
        return kAudioWriteFailed;
    }
    // The "RIFF" size, pad byte included, must stay within 32 bits.
    const uint64_t riffSizeAfter = file->Position() + count + 1 - t_writeBlock.riff.dataOffset;
    if (riffSizeAfter > std::numeric_limits<uint32_t>::max()) {
        return kAudioWriteFailed;
    }
    return file->Write(buffer, count) ? kNoError : kAudioWriteFailed;
}

AUDFF_API int32_t AUDFF_PostWrite(AUDFF_HANDLE handle)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Write);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    if (!OwnsWriteBlock(*file) || (t_writeBlock.data.flags & kChunkBeingWritten) == 0) {
        return kDataEndFailed;
    }
    if (file->Ascend(t_writeBlock.data) != RiffStatus::Ok || !file->Flush()) {
        return kDataEndFailed;
    }
    return kNoError;
}

AUDFF_API int32_t AUDFF_CloseWrite(AUDFF_HANDLE handle)
{
    RiffFile* file = FileFromHandle(handle, RiffFile::Access::Write);
    if (file == nullptr) {
        return kInvalidParameter;
    }
    std::unique_ptr<RiffFile> owned(file);
    int32_t result = kNoError;
    if (OwnsWriteBlock(*file)) {
        // An aborted run closes without ending the data: end it here, so the
        // file holds a valid WAVE of what was written.
        if ((t_writeBlock.data.flags & kChunkBeingWritten) != 0 &&
            file->Ascend(t_writeBlock.data) != RiffStatus::Ok) {
            result = kFileEndFailed;
        }
        if (result == kNoError && (t_writeBlock.riff.flags & kChunkBeingWritten) != 0 &&
            file->Ascend(t_writeBlock.riff) != RiffStatus::Ok) {
            result = kFileEndFailed;
        }
        t_writeBlock = WriteBlock{};
    } else if (file->Position() != 0) {
        // Written, but another file on this thread took the write block:
        // its sizes cannot be finished.
        result = kFileEndFailed;
    }
    // The handle is released even when finishing failed: the caller does not
    // close twice, and a kept lock would block the file until exit.
    if (!owned->Close() && result == kNoError) {
        result = kFileEndFailed;
    }
    return result;
}

AUDFF_API int32_t AUDFF_About(void* parentWindow, void* /*module*/)
{
    const bool shown =
        audff::ShowAboutDialog(parentWindow, "About", "File Format Library for WAVE Files", "Version 1.0");
    return shown ? kNoError : kAboutUnavailable;
}

} // extern "C"
