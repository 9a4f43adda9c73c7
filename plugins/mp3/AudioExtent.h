// Where the audio of an MP3 file lies: after any leading ID3v2 tags, and up to
// a trailing "TAG".
#pragma once

#include <cstddef>
#include <cstdint>

namespace mp3 {

// Finds the offset of the first frame. A file that starts with an ID3v2 tag
// has its audio after that tag, any further ID3v2 tags and zero padding;
// any other file has it from its first byte. Returns 0 or a result code:
// kReadFailed, kFormatTruncated (a tag runs past the end of the file) or
// kFileInvalid (a tag size that is not synchsafe).
int32_t FindAudioStart(int descriptor, uint64_t fileSize, uint64_t& audioStart);

// The end of the audio: the first "TAG" within the last 256 bytes of the
// file at or after audioStart, otherwise the end of the file. Returns 0 or
// kReadFailed.
int32_t FindAudioEnd(int descriptor, uint64_t fileSize, uint64_t audioStart, uint64_t& audioEnd);

// Reads up to count bytes at offset; false on an I/O error, bytesRead short
// only at the end of the file.
bool ReadAt(int descriptor, void* destination, size_t count, uint64_t offset, size_t& bytesRead);

} // namespace mp3
