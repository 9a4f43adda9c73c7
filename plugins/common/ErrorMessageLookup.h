// The message table of one file format library and the lookup behind its
// AUDFF_GetErrorMessage.
#pragma once

#include <cstdint>
#include <span>

namespace audff {

// English and German text of every code from 0 up to the highest code the
// library returns; both spans have the same length. A null entry is a code
// without text.
struct MessageTable {
    std::span<const char* const> english;
    std::span<const char* const> german;
};

// Writes the text of code into buffer (bufferSize bytes including the
// terminating NUL): German when language is exactly "German", English
// otherwise. Returns 0 and leaves the buffer untouched when the buffer or the
// module handle is null or the buffer holds fewer than 2 bytes, 1 otherwise.
int32_t LookUpErrorMessage(const MessageTable& table, uint32_t code, char* buffer, uint32_t bufferSize,
                           const void* module, const char* language);

} // namespace audff
