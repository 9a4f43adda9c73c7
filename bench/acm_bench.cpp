// Times conversions through the codec layer, memory to memory, the way the
// conversion run drives a stream: pieces of the run's default buffer size,
// block-aligned converts, the END flush at the end.
//
//   orvano-acm-bench [--input FILE.wav] [--runs N]
//
// Without --input, 10 minutes of 44.1 kHz 16-bit stereo tones are made in
// memory. Prints one line per job: "<job> <median seconds> <output bytes>".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench_support.h"

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
        if (!bench::ReadPcmWave(inputPath, 44100, 2, input)) {
            std::fprintf(stderr, "%s: not a 44.1 kHz 16-bit stereo PCM WAVE file\n", inputPath);
            return 1;
        }
    } else {
        input = bench::MakeTones(44100, {440.0, 1003.0}, size_t{44100} * 600);
    }

    const WAVEFORMATEX source = bench::MakeFormat(WAVE_FORMAT_PCM, 44100, 16, 2);
    struct Job {
        const char* name;
        WAVEFORMATEX destination;
        uint32_t flags;
    };
    const Job jobs[] = {
        {"resample-hq", bench::MakeFormat(WAVE_FORMAT_PCM, 22050, 8, 1), ACM_STREAMOPENF_NONREALTIME},
        {"resample-lq", bench::MakeFormat(WAVE_FORMAT_PCM, 22050, 8, 1), 0},
        {"alaw", bench::MakeFormat(WAVE_FORMAT_ALAW, 44100, 8, 2), 0},
    };
    std::vector<uint8_t> output(input.size() + (1 << 20));
    for (const Job& job : jobs) {
        double seconds = 0;
        long long produced = 0;
        const auto convert = [&] { return bench::ConvertAll(&source, &job.destination, job.flags, input, output); };
        if (!bench::TimeRuns(runs, convert, seconds, produced)) {
            std::fprintf(stderr, "%s: conversion failed\n", job.name);
            return 1;
        }
        std::printf("%s %.3f %lld\n", job.name, seconds, produced);
    }
    return 0;
}
