// The result codes of the WAVE library; their texts are in WaveMessages.cpp.
#pragma once

#include <cstdint>

#include "ErrorMessageLookup.h"

namespace wave {

enum WaveResult : int32_t {
    kNoError = 0,
    kFileProtected = 1,
    kFileInvalid = 2,
    kNetworkError = 3,
    kDirectoryInvalid = 4,
    kFileInUse = 5,
    kTooManyOpenFiles = 6,
    kAboutUnavailable = 7,
    kWaveChunkMissing = 8,
    kFormatChunkMissing = 9,
    kFormatTooSmall = 10,
    kFormatMemoryFailed = 11,
    kReadFailed = 12,
    kFormatTruncated = 13,
    kFormatChunkEndMissing = 14,
    kDataChunkMissing = 15,
    kUnknownOpenError = 16,
    kInvalidParameter = 17,
    kRewindFailed = 18,
    kAudioReadFailed = 19,
    kFormatWriteFailed = 20,
    kWriteBlockMissing = 21,
    kDataPrepareFailed = 22,
    kAudioWriteFailed = 23,
    kDataEndFailed = 24,
    kFileEndFailed = 25,
    kHighestResult = kFileEndFailed,
};

const audff::MessageTable& WaveMessages();

} // namespace wave
