// Times the compressed codecs through the codec layer, memory to memory, the
// way the conversion run drives a stream: pieces of the run's default buffer
// size, block-aligned converts, the END flush at the end.
//
//   orvano-codec-bench --input FILE.wav --gsm-input FILE.wav [--mp3-input FILE.mp3] [--runs N] [--only JOB]
//
// --input is 44.1 kHz 16-bit stereo PCM, --gsm-input 8 kHz 16-bit mono PCM;
// without --mp3-input the decoding job decodes what mp3-128-lq made. Prints
// one line per job: "<job> <median seconds> <output bytes>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acm/acm.h"

namespace {

constexpr uint32_t kPieceBytes = 238361;  // the run's first buffer with its default sizes

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool ReadBytes(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    uint8_t buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return true;
}

// The data chunk of a 16-bit PCM WAVE file of the given rate and channels.
bool ReadPcmWave(const char* path, uint32_t rate, uint16_t channels, std::vector<uint8_t>& data) {
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

WAVEFORMATEX Pcm16(uint32_t rate, uint16_t channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<uint16_t>(2 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = 16;
    return f;
}

// The codec's format for this PCM, as the program gets it (suggestion).
std::vector<uint8_t> Suggest(const WAVEFORMATEX& pcm, uint16_t tag) {
    std::vector<uint8_t> block(256, 0);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
    format->wFormatTag = tag;
    if (acmFormatSuggest(nullptr, &pcm, format, static_cast<uint32_t>(block.size()), ACM_FORMATSUGGESTF_WFORMATTAG) !=
        MMSYSERR_NOERROR)
        return {};
    block.resize(18 + format->cbSize);
    return block;
}

// One conversion of the whole input; returns the output length or -1.
long long ConvertAll(const void* src, const void* dst, uint32_t openFlags, const std::vector<uint8_t>& input,
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
        if (output.size() - written < (1u << 20)) output.resize(output.size() * 2);
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

struct Job {
    const char* name;
    const void* source;
    const void* destination;
    uint32_t flags;
    const std::vector<uint8_t>* input;
};

}  // namespace

int main(int argc, char** argv) {
    const char* inputPath = nullptr;
    const char* gsmInputPath = nullptr;
    const char* mp3InputPath = nullptr;
    const char* only = nullptr;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--input") == 0 && i + 1 < argc) {
            inputPath = argv[++i];
        } else if (std::strcmp(argv[i], "--gsm-input") == 0 && i + 1 < argc) {
            gsmInputPath = argv[++i];
        } else if (std::strcmp(argv[i], "--mp3-input") == 0 && i + 1 < argc) {
            mp3InputPath = argv[++i];
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: %s --input FILE.wav --gsm-input FILE.wav [--mp3-input FILE.mp3] [--runs N] "
                         "[--only JOB]\n",
                         argv[0]);
            return 2;
        }
    }
    std::vector<uint8_t> input;
    std::vector<uint8_t> gsmInput;
    std::vector<uint8_t> mp3Input;
    if (!inputPath || !ReadPcmWave(inputPath, 44100, 2, input)) {
        std::fprintf(stderr, "--input: a 44.1 kHz 16-bit stereo PCM WAVE file is needed\n");
        return 1;
    }
    if (!gsmInputPath || !ReadPcmWave(gsmInputPath, 8000, 1, gsmInput)) {
        std::fprintf(stderr, "--gsm-input: an 8 kHz 16-bit mono PCM WAVE file is needed\n");
        return 1;
    }
    if (mp3InputPath && !ReadBytes(mp3InputPath, mp3Input)) {
        std::fprintf(stderr, "%s: cannot be read\n", mp3InputPath);
        return 1;
    }

    const WAVEFORMATEX pcm = Pcm16(44100, 2);
    const WAVEFORMATEX gsmPcm = Pcm16(8000, 1);
    const std::vector<uint8_t> mp3 = Suggest(pcm, WAVE_FORMAT_MPEGLAYER3);  // 128 kbit/s
    const std::vector<uint8_t> ima = Suggest(pcm, WAVE_FORMAT_IMA_ADPCM);
    const std::vector<uint8_t> msAdpcm = Suggest(pcm, WAVE_FORMAT_ADPCM);
    const std::vector<uint8_t> gsm = Suggest(gsmPcm, WAVE_FORMAT_GSM610);
    if (mp3.empty() || ima.empty() || msAdpcm.empty() || gsm.empty()) {
        std::fprintf(stderr, "a codec is missing\n");
        return 1;
    }
    std::vector<uint8_t> output(input.size() + (1 << 20));
    std::vector<uint8_t> encodedMp3;

    const Job jobs[] = {
        {"mp3-128-hq", &pcm, mp3.data(), ACM_STREAMOPENF_NONREALTIME, &input},
        {"mp3-128-lq", &pcm, mp3.data(), 0, &input},
        {"mp3-decode", mp3.data(), &pcm, 0, &mp3Input},
        {"ima-lq", &pcm, ima.data(), 0, &input},
        {"ima-hq", &pcm, ima.data(), ACM_STREAMOPENF_NONREALTIME, &input},
        {"ms-lq", &pcm, msAdpcm.data(), 0, &input},
        {"ms-hq", &pcm, msAdpcm.data(), ACM_STREAMOPENF_NONREALTIME, &input},
        {"gsm", &gsmPcm, gsm.data(), 0, &gsmInput},
    };
    for (const Job& job : jobs) {
        const bool decoding = std::strcmp(job.name, "mp3-decode") == 0;
        if (only && std::strcmp(only, job.name) != 0 && !(decoding && mp3Input.empty())) continue;
        if (decoding && mp3Input.empty()) {
            // Our own 128 kbit/s stream, encoded once untimed.
            const long long bytes = ConvertAll(&pcm, mp3.data(), 0, input, output);
            if (bytes < 0) return 1;
            mp3Input.assign(output.begin(), output.begin() + bytes);
            if (only && std::strcmp(only, job.name) != 0) continue;
        }
        std::vector<double> seconds;
        long long bytes = 0;
        for (int r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            bytes = ConvertAll(job.source, job.destination, job.flags, *job.input, output);
            const auto end = std::chrono::steady_clock::now();
            if (bytes < 0) {
                std::fprintf(stderr, "%s: conversion failed\n", job.name);
                return 1;
            }
            seconds.push_back(std::chrono::duration<double>(end - start).count());
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("%s %.4f %lld\n", job.name, seconds[seconds.size() / 2], bytes);
        std::fflush(stdout);
    }
    return 0;
}
