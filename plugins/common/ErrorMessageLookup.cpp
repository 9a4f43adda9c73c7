#include "ErrorMessageLookup.h"

#include <cstring>

namespace audff {
namespace {

constexpr const char* kInvalidCodeText = "An invalid error code has been specified.";
constexpr const char* kMissingTextText = "The error message can't be determined.";

// Texts are UTF-8: a cut never splits a character, so a short buffer still
// holds valid text.
size_t CutAtCharacterBoundary(const char* text, size_t length, size_t room)
{
    if (length <= room) {
        return length;
    }
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cut;
}

void CopyCut(const char* text, char* buffer, uint32_t bufferSize)
{
    const size_t room = bufferSize - 1;
    const size_t length = CutAtCharacterBoundary(text, std::strlen(text), room);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

} // namespace

int32_t LookUpErrorMessage(const MessageTable& table, uint32_t code, char* buffer, uint32_t bufferSize,
                           const void* module, const char* language)
{
    if (buffer == nullptr || bufferSize < 2 || module == nullptr) {
        return 0;
    }
    if (code >= table.english.size()) {
        CopyCut(kInvalidCodeText, buffer, bufferSize);
        buffer[bufferSize - 1] = '\0';
        return 1;
    }
    const bool german = language != nullptr && std::strcmp(language, "German") == 0;
    const char* text = german ? table.german[code] : table.english[code];
    if (text == nullptr) {
        CopyCut(kMissingTextText, buffer, bufferSize);
        buffer[bufferSize - 1] = '\0';
        return 1;
    }
    CopyCut(text, buffer, bufferSize);
    return 1;
}

} // namespace audff
