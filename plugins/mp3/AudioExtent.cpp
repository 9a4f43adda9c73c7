#include "AudioExtent.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "Mp3Results.h"

namespace mp3 {
namespace {

constexpr size_t kId3HeaderSize = 10;
constexpr size_t kId3FooterSize = 10;
constexpr unsigned char kId3FooterPresent = 0x10;
constexpr size_t kTrailingTagWindow = 256;

bool IsId3Header(const unsigned char* bytes, size_t length)
{
    return length >= 3 && std::memcmp(bytes, "ID3", 3) == 0;
}

int32_t SkipZeroPadding(int descriptor, uint64_t fileSize, uint64_t& offset)
{
    unsigned char block[4096];
    while (offset < fileSize) {
        size_t bytesRead = 0;
        if (!ReadAt(descriptor, block, static_cast<size_t>(std::min<uint64_t>(sizeof block, fileSize - offset)),
                    offset, bytesRead)) {
            return kReadFailed;
        }
        if (bytesRead == 0) {
            break;
        }
        const unsigned char* begin = block;
        const unsigned char* end = block + bytesRead;
        const unsigned char* firstData = std::find_if(begin, end, [](unsigned char byte) { return byte != 0; });
        offset += static_cast<uint64_t>(firstData - begin);
        if (firstData != end) {
            break;
        }
    }
    return kNoError;
}

} // namespace

bool ReadAt(int descriptor, void* destination, size_t count, uint64_t offset, size_t& bytesRead)
{
    bytesRead = 0;
    auto* out = static_cast<unsigned char*>(destination);
    while (bytesRead < count) {
        const ssize_t got = ::pread(descriptor, out + bytesRead, count - bytesRead,
                                    static_cast<off_t>(offset + bytesRead));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            break;
        }
        bytesRead += static_cast<size_t>(got);
    }
    return true;
}

int32_t FindAudioStart(int descriptor, uint64_t fileSize, uint64_t& audioStart)
{
    uint64_t offset = 0;
    bool taggedFile = false;
    for (;;) {
        unsigned char header[kId3HeaderSize];
        size_t bytesRead = 0;
        if (!ReadAt(descriptor, header, sizeof header, offset, bytesRead)) {
            return kReadFailed;
        }
        if (!IsId3Header(header, bytesRead)) {
            break;
        }
        if (bytesRead < sizeof header) {
            return kFormatTruncated;
        }
        if (((header[6] | header[7] | header[8] | header[9]) & 0x80) != 0) {
            return kFileInvalid;
        }
        const uint64_t bodySize = uint64_t{header[6]} << 21 | uint64_t{header[7]} << 14 |
                                  uint64_t{header[8]} << 7 | uint64_t{header[9]};
        const uint64_t tagSize =
            kId3HeaderSize + bodySize + ((header[5] & kId3FooterPresent) != 0 ? kId3FooterSize : 0);
        if (tagSize > fileSize - offset) {
            return kFormatTruncated;
        }
        offset += tagSize;
        taggedFile = true;
    }
    if (taggedFile) {
        const int32_t result = SkipZeroPadding(descriptor, fileSize, offset);
        if (result != kNoError) {
            return result;
        }
    }
    audioStart = offset;
    return kNoError;
}

int32_t FindAudioEnd(int descriptor, uint64_t fileSize, uint64_t audioStart, uint64_t& audioEnd)
{
    audioEnd = fileSize;
    const uint64_t windowStart = fileSize > kTrailingTagWindow ? fileSize - kTrailingTagWindow : 0;
    unsigned char window[kTrailingTagWindow];
    size_t bytesRead = 0;
    if (!ReadAt(descriptor, window, static_cast<size_t>(fileSize - windowStart), windowStart, bytesRead)) {
        return kReadFailed;
    }
    // A "TAG" inside the leading tags is not a trailing tag.
    for (size_t i = 0; i + 3 <= bytesRead; ++i) {
        if (windowStart + i >= audioStart && std::memcmp(window + i, "TAG", 3) == 0) {
            audioEnd = windowStart + i;
            break;
        }
    }
    return kNoError;
}

} // namespace mp3
