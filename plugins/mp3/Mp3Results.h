// The result codes of the MP3 library; their texts are in Mp3Messages.cpp.
#pragma once

#include <cstdint>

#include "ErrorMessageLookup.h"

namespace mp3 {

enum Mp3Result : int32_t {
    kNoError = 0,
    kFileProtected = 1,
    kFileInvalid = 2,
    kInvalidParameter = 3,
    kFileNotFound = 4,
    kFileInUse = 5,
    kTooManyOpenFiles = 6,
    kAboutUnavailable = 7,
    kFormatUnsupported = 8,
    kAudioWriteFailed = 9,
    kAudioReadFailed = 10,
    kFormatMemoryFailed = 11,
    kReadFailed = 12,
    kFormatTruncated = 13,
    kRepositionFailed = 14,
    kLengthUnknown = 15,
    kUnknownOpenError = 16,
    kHighestResult = kUnknownOpenError,
};

const audff::MessageTable& Mp3Messages();

} // namespace mp3
