// Helpers of the codec layer's tests: a whole-buffer run through one stream,
// byte comparison and small measurements. Formats and signals come from the
// shared support (support/).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "acm/acm.h"
#include "support/AudioFormats.h"
#include "support/Signals.h"

namespace acmtest {

// Equal byte strings; on failure names the sizes and the first difference.
inline testing::AssertionResult SameBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a == b) return testing::AssertionSuccess();
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    auto result = testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at byte " << i;
    if (i < a.size() && i < b.size()) result << ": " << int{a[i]} << " vs " << int{b[i]};
    return result;
}

struct StreamResult {
    MMRESULT result = MMSYSERR_NOERROR;
    std::vector<uint8_t> output;
};

// Runs `input` through one stream in pieces of `piece` source bytes with
// `room` bytes of destination, advancing by what each convert consumed, then
// flushes with END: block-aligned converts, the unaligned one only for a
// piece that holds no whole block.
inline StreamResult RunStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, const std::vector<uint8_t>& input,
                              uint32_t flags = 0, uint32_t piece = 65536, uint32_t room = 65536) {
    StreamResult out;
    HACMSTREAM stream = nullptr;
    out.result = acmStreamOpen(&stream, nullptr, &src, &dst, nullptr, 0, 0, flags);
    if (out.result != MMSYSERR_NOERROR) return out;
    std::vector<uint8_t> buffer(room);
    std::vector<uint8_t> source;
    size_t offset = 0;
    bool ending = false;
    for (int guard = 0; guard < 10000000; ++guard) {
        const size_t rest = input.size() - offset;
        const uint32_t length = static_cast<uint32_t>(std::min<size_t>(rest, piece));
        if (length == 0) ending = true;
        // A copy per convert, so an over-read of the piece shows under ASan.
        source.assign(input.begin() + static_cast<std::ptrdiff_t>(offset),
                      input.begin() + static_cast<std::ptrdiff_t>(offset + length));
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = source.empty() ? nullptr : source.data();
        header.cbSrcLength = length;
        header.pbDst = buffer.data();
        header.cbDstLength = room;
        out.result = acmStreamPrepareHeader(stream, &header, 0);
        if (out.result != MMSYSERR_NOERROR) break;
        out.result = acmStreamConvert(stream, &header, ending ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN);
        // Only a piece that is all partial block is converted without alignment.
        if (out.result == MMSYSERR_NOERROR && !ending && header.cbSrcLengthUsed == 0)
            out.result = acmStreamConvert(stream, &header, 0);
        acmStreamUnprepareHeader(stream, &header, 0);
        if (out.result != MMSYSERR_NOERROR) break;
        out.output.insert(out.output.end(), buffer.begin(), buffer.begin() + header.cbDstLengthUsed);
        offset += header.cbSrcLengthUsed;
        if (ending && header.cbDstLengthUsed < room) break;
        if (!ending && header.cbSrcLengthUsed == 0 && header.cbDstLengthUsed == 0) {
            out.result = MMSYSERR_ERROR;  // stuck
            break;
        }
    }
    acmStreamClose(stream, 0);
    return out;
}

inline std::vector<double> Samples16(const std::vector<uint8_t>& bytes) {
    std::vector<double> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        int16_t v;
        std::memcpy(&v, &bytes[2 * i], 2);
        out[i] = v / 32768.0;
    }
    return out;
}

inline std::vector<double> Samples32(const std::vector<uint8_t>& bytes) {
    std::vector<double> out(bytes.size() / 4);
    for (size_t i = 0; i < out.size(); ++i) {
        int32_t v;
        std::memcpy(&v, &bytes[4 * i], 4);
        out[i] = v / 2147483648.0;
    }
    return out;
}

// One channel of interleaved samples, without `skip` frames at either end.
inline std::vector<double> Channel(const std::vector<double>& samples, int channels, int channel, size_t skip) {
    std::vector<double> out;
    const size_t frames = samples.size() / channels;
    for (size_t i = skip; i + skip < frames; ++i) out.push_back(samples[i * channels + channel]);
    return out;
}

inline double RmsDb(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x) sum += v * v;
    return 10 * std::log10(sum / static_cast<double>(x.size()) + 1e-300);
}

// Power of the component at `frequency` (Goertzel), in dB relative to full
// scale RMS of a sine of that amplitude.
inline double ToneDb(const std::vector<double>& x, double frequency, double rate) {
    double re = 0, im = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        re += x[i] * std::cos(2 * std::numbers::pi * frequency * i / rate);
        im -= x[i] * std::sin(2 * std::numbers::pi * frequency * i / rate);
    }
    const double amplitude = 2 * std::hypot(re, im) / static_cast<double>(x.size());
    return 20 * std::log10(amplitude / std::sqrt(2.0) + 1e-300);
}

}  // namespace acmtest
