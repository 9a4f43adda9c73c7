// What the codec benches share: formats, generated tones, reading WAVE
// input, one whole conversion driven the way the conversion run drives a
// stream, and the median of timed runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "acm/acm.h"

namespace bench {

constexpr uint32_t kPieceBytes = 238361;  // the run's first buffer with its default sizes

inline WAVEFORMATEX MakeFormat(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    return f;
}

// 16-bit samples, channel c a sine of frequencies[c] at half scale.
inline std::vector<uint8_t> MakeTones(uint32_t rate, const std::vector<double>& frequencies, size_t frames) {
    const size_t channels = frequencies.size();
    std::vector<uint8_t> bytes(frames * channels * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (size_t c = 0; c < channels; ++c) {
            const double phase = 2 * std::numbers::pi * frequencies[c] * t;
            const auto v = static_cast<int16_t>(std::lround(16383.0 * std::sin(phase)));
            std::memcpy(&bytes[(i * channels + c) * 2], &v, 2);
        }
    }
    return bytes;
}

inline uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

inline bool ReadBytes(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// The data chunk of a 16-bit PCM WAVE file of the given rate and channels.
inline bool ReadPcmWave(const char* path, uint32_t rate, uint16_t channels, std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    if (!ReadBytes(path, bytes) || bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
    bool formatOk = false;
    for (size_t offset = 12; offset + 8 <= bytes.size();) {
        const uint32_t size = Le32(&bytes[offset + 4]);
        const size_t start = offset + 8;
        if (start + size > bytes.size()) break;
        if (std::memcmp(&bytes[offset], "fmt ", 4) == 0 && size >= 16) {
            WAVEFORMATEX f{};
            std::memcpy(&f, &bytes[start], 16);
            formatOk = f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels == channels && f.nSamplesPerSec == rate &&
                       f.wBitsPerSample == 16;
        } else if (std::memcmp(&bytes[offset], "data", 4) == 0) {
            data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                        bytes.begin() + static_cast<std::ptrdiff_t>(start + size));
            return formatOk;
        }
        offset = start + size + (size & 1);
    }
    return false;
}

// One conversion of the whole input, growing output as needed; returns the
// output length or -1.
inline long long ConvertAll(const void* src, const void* dst, uint32_t openFlags, const std::vector<uint8_t>& input,
                            std::vector<uint8_t>& output) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, static_cast<const WAVEFORMATEX*>(src), static_cast<const WAVEFORMATEX*>(dst),
                      nullptr, 0, 0, openFlags) != MMSYSERR_NOERROR)
        return -1;
    size_t written = 0;
    size_t offset = 0;
    bool failed = false;
    std::vector<uint8_t> padded;
    while (!failed) {
        uint32_t length = static_cast<uint32_t>(std::min<size_t>(input.size() - offset, kPieceBytes));
        const bool ending = length == 0;
        if (output.size() - written < (1u << 20)) output.resize(std::max<size_t>(output.size() * 2, 1u << 21));
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(input.data()) + offset;
        header.cbSrcLength = length;
        header.pbDst = output.data() + written;
        header.cbDstLength = static_cast<uint32_t>(std::min<size_t>(output.size() - written, 1u << 30));
        bool wasPadded = false;
        while (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
            // The run pads a refused last piece with silence.
            if (wasPadded ? header.cbSrcLength > (1u << 20) : offset + length != input.size()) {
                failed = true;
                break;
            }
            if (!wasPadded) padded.assign(input.begin() + static_cast<std::ptrdiff_t>(offset), input.end());
            wasPadded = true;
            padded.resize(padded.size() + 50, 0);
            header.pbSrc = padded.data();
            header.cbSrcLength = static_cast<uint32_t>(padded.size());
        }
        if (failed) break;
        // A trailing part of a block goes without alignment, as in the run.
        if (acmStreamConvert(stream, &header, ending ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN) !=
            MMSYSERR_NOERROR) {
            acmStreamUnprepareHeader(stream, &header, 0);
            failed = true;
            break;
        }
        if (!ending && header.cbSrcLengthUsed == 0 &&
            (acmStreamConvert(stream, &header, 0) != MMSYSERR_NOERROR || header.cbSrcLengthUsed == 0))
            failed = true;
        acmStreamUnprepareHeader(stream, &header, 0);
        written += header.cbDstLengthUsed;
        offset += wasPadded ? length : header.cbSrcLengthUsed;
        if (ending && header.cbDstLengthUsed < header.cbDstLength) break;
    }
    acmStreamClose(stream, 0);
    return failed ? -1 : static_cast<long long>(written);
}

// Runs `convert` (returning the output length or -1) `runs` times; false at
// the first failure, else the median wall time and the last output length.
template <typename Convert>
bool TimeRuns(int runs, Convert convert, double& medianSeconds, long long& outputBytes) {
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        outputBytes = convert();
        const auto end = std::chrono::steady_clock::now();
        if (outputBytes < 0) return false;
        seconds.push_back(std::chrono::duration<double>(end - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    medianSeconds = seconds[seconds.size() / 2];
    return true;
}

}  // namespace bench
