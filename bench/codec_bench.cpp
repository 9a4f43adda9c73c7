// Times the compressed codecs through the codec layer, memory to memory, the
// way the conversion run drives a stream: pieces of the run's default buffer
// size, block-aligned converts, the END flush at the end.
//
//   orvano-codec-bench [--input FILE.wav] [--gsm-input FILE.wav] [--mp3-input FILE.mp3] [--runs N] [--only JOB]
//
// --input is 44.1 kHz 16-bit stereo PCM, --gsm-input 8 kHz 16-bit mono PCM;
// without them, 10 minutes of tones are made in memory. Without --mp3-input
// the decoding job decodes what mp3-128-lq made. Prints one line per job:
// "<job> <median seconds> <output bytes>".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"

namespace {

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
                         "usage: %s [--input FILE.wav] [--gsm-input FILE.wav] [--mp3-input FILE.mp3] [--runs N] "
                         "[--only JOB]\n",
                         argv[0]);
            return 2;
        }
    }
    std::vector<uint8_t> input;
    std::vector<uint8_t> gsmInput;
    std::vector<uint8_t> mp3Input;
    if (!inputPath) {
        input = bench::MakeTones(44100, {440.0, 1003.0}, size_t{44100} * 600);
    } else if (!bench::ReadPcmWave(inputPath, 44100, 2, input)) {
        std::fprintf(stderr, "--input: a 44.1 kHz 16-bit stereo PCM WAVE file is needed\n");
        return 1;
    }
    if (!gsmInputPath) {
        gsmInput = bench::MakeTones(8000, {440.0}, size_t{8000} * 600);
    } else if (!bench::ReadPcmWave(gsmInputPath, 8000, 1, gsmInput)) {
        std::fprintf(stderr, "--gsm-input: an 8 kHz 16-bit mono PCM WAVE file is needed\n");
        return 1;
    }
    if (mp3InputPath && !bench::ReadBytes(mp3InputPath, mp3Input)) {
        std::fprintf(stderr, "%s: cannot be read\n", mp3InputPath);
        return 1;
    }

    const WAVEFORMATEX pcm = bench::MakeFormat(WAVE_FORMAT_PCM, 44100, 16, 2);
    const WAVEFORMATEX gsmPcm = bench::MakeFormat(WAVE_FORMAT_PCM, 8000, 16, 1);
    const std::vector<uint8_t> mp3 = Suggest(pcm, WAVE_FORMAT_MPEGLAYER3);  // 128 kbit/s
    const std::vector<uint8_t> ima = Suggest(pcm, WAVE_FORMAT_IMA_ADPCM);
    const std::vector<uint8_t> msAdpcm = Suggest(pcm, WAVE_FORMAT_ADPCM);
    const std::vector<uint8_t> gsm = Suggest(gsmPcm, WAVE_FORMAT_GSM610);
    if (mp3.empty() || ima.empty() || msAdpcm.empty() || gsm.empty()) {
        std::fprintf(stderr, "a codec is missing\n");
        return 1;
    }
    std::vector<uint8_t> output(input.size() + (1 << 20));

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
            const long long bytes = bench::ConvertAll(&pcm, mp3.data(), 0, input, output);
            if (bytes < 0) return 1;
            mp3Input.assign(output.begin(), output.begin() + bytes);
            if (only && std::strcmp(only, job.name) != 0) continue;
        }
        double seconds = 0;
        long long bytes = 0;
        const auto convert = [&] {
            return bench::ConvertAll(job.source, job.destination, job.flags, *job.input, output);
        };
        if (!bench::TimeRuns(runs, convert, seconds, bytes)) {
            std::fprintf(stderr, "%s: conversion failed\n", job.name);
            return 1;
        }
        std::printf("%s %.4f %lld\n", job.name, seconds, bytes);
        std::fflush(stdout);
    }
    return 0;
}
