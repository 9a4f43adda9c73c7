// Times conversions through the codec layer, memory to memory, the way the
// conversion run drives a stream: pieces of the run's default buffer size,
// block-aligned converts, the END flush at the end.
//
//   orvano-acm-bench [--input FILE.wav] [--runs N]
//
// Without --input, 10 minutes of 44.1 kHz 16-bit stereo tones are made in
// memory. Prints one line per job: "<job> <median seconds> <output bytes>".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "acm/acm.h"

namespace {

constexpr uint32_t kPieceBytes = 238361;  // the run's first buffer with its default sizes

WAVEFORMATEX MakeFormat(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    return f;
}

std::vector<uint8_t> MakeSignal(size_t frames) {
    std::vector<uint8_t> bytes(frames * 4);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const auto left = static_cast<int16_t>(std::lround(16383.0 * std::sin(2 * std::numbers::pi * 440.0 * t)));
        const auto right = static_cast<int16_t>(std::lround(16383.0 * std::sin(2 * std::numbers::pi * 1003.0 * t)));
        std::memcpy(&bytes[4 * i], &left, 2);
        std::memcpy(&bytes[4 * i + 2], &right, 2);
    }
    return bytes;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The data chunk of a 44.1 kHz 16-bit stereo PCM WAVE file.
bool ReadInput(const char* path, std::vector<uint8_t>& data) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
    bool formatOk = false;
    for (size_t offset = 12; offset + 8 <= bytes.size();) {
        const uint32_t size = Le32(&bytes[offset + 4]);
        const size_t start = offset + 8;
        if (start + size > bytes.size()) break;
        if (std::memcmp(&bytes[offset], "fmt ", 4) == 0 && size >= 16) {
            WAVEFORMATEX f{};
            std::memcpy(&f, &bytes[start], 16);
            formatOk = f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels == 2 && f.nSamplesPerSec == 44100 &&
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

// One conversion of the whole input; returns the output length or -1.
long long ConvertAll(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, uint32_t openFlags,
                     const std::vector<uint8_t>& input, std::vector<uint8_t>& output) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, &src, &dst, nullptr, 0, 0, openFlags) != MMSYSERR_NOERROR) return -1;
    size_t written = 0;
    size_t offset = 0;
    bool ending = false;
    bool failed = false;
    while (!failed) {
        const uint32_t length = static_cast<uint32_t>(std::min<size_t>(input.size() - offset, kPieceBytes));
        ending = length == 0;
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(input.data()) + offset;
        header.cbSrcLength = length;
        header.pbDst = output.data() + written;
        header.cbDstLength = static_cast<uint32_t>(std::min<size_t>(output.size() - written, 1u << 30));
        if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR ||
            acmStreamConvert(stream, &header, ending ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN) !=
                MMSYSERR_NOERROR) {
            failed = true;
            break;
        }
        acmStreamUnprepareHeader(stream, &header, 0);
        written += header.cbDstLengthUsed;
        offset += header.cbSrcLengthUsed;
        if (ending && header.cbDstLengthUsed < header.cbDstLength) break;
        if (!ending && header.cbSrcLengthUsed == 0) failed = true;
    }
    acmStreamClose(stream, 0);
    return failed ? -1 : static_cast<long long>(written);
}

}  // namespace

int main(int argc, char** argv) {
    const char* inputPath = nullptr;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--input") == 0 && i + 1 < argc) {
            inputPath = argv[++i];
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--input FILE.wav] [--runs N]\n", argv[0]);
            return 2;
        }
    }
    std::vector<uint8_t> input;
    if (inputPath) {
        if (!ReadInput(inputPath, input)) {
            std::fprintf(stderr, "%s: not a 44.1 kHz 16-bit stereo PCM WAVE file\n", inputPath);
            return 1;
        }
    } else {
        input = MakeSignal(size_t{44100} * 600);
    }

    const WAVEFORMATEX source = MakeFormat(WAVE_FORMAT_PCM, 44100, 16, 2);
    struct Job {
        const char* name;
        WAVEFORMATEX destination;
        uint32_t flags;
    };
    const Job jobs[] = {
        {"resample-hq", MakeFormat(WAVE_FORMAT_PCM, 22050, 8, 1), ACM_STREAMOPENF_NONREALTIME},
        {"resample-lq", MakeFormat(WAVE_FORMAT_PCM, 22050, 8, 1), 0},
        {"alaw", MakeFormat(WAVE_FORMAT_ALAW, 44100, 8, 2), 0},
    };
    std::vector<uint8_t> output(input.size() + (1 << 20));
    for (const Job& job : jobs) {
        std::vector<double> seconds;
        long long produced = 0;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            produced = ConvertAll(source, job.destination, job.flags, input, output);
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            if (produced < 0) {
                std::fprintf(stderr, "%s: conversion failed\n", job.name);
                return 1;
            }
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("%s %.3f %lld\n", job.name, seconds[seconds.size() / 2], produced);
    }
    return 0;
}
