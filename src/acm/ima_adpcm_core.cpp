#include "acm/ima_adpcm_core.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvano::acm::ima {

namespace {

constexpr std::array<int32_t, kMaxStepIndex + 1> kStepSizes = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

// Per step index and code: the signed difference the code adds, and the next
// step index. Decoder and encoder share them, so both reconstruct alike.
struct StepTables {
    int32_t delta[kMaxStepIndex + 1][16];
    uint8_t nextIndex[kMaxStepIndex + 1][16];
};

constexpr StepTables MakeStepTables() {
    StepTables tables{};
    for (int index = 0; index <= kMaxStepIndex; ++index) {
        const int32_t step = kStepSizes[static_cast<size_t>(index)];
        for (int code = 0; code < 16; ++code) {
            int32_t delta = step >> 3;
            if (code & 4) delta += step;
            if (code & 2) delta += step >> 1;
            if (code & 1) delta += step >> 2;
            tables.delta[index][code] = (code & 8) ? -delta : delta;
            tables.nextIndex[index][code] =
                static_cast<uint8_t>(std::clamp(index + kIndexAdjust[static_cast<size_t>(code & 7)], 0, kMaxStepIndex));
        }
    }
    return tables;
}

constexpr StepTables kTables = MakeStepTables();

inline int32_t ClampSample(int32_t value) { return std::clamp(value, int32_t{-32768}, int32_t{32767}); }

struct ChannelState {
    int32_t predicted;
    int index;
};

inline void Apply(ChannelState& state, int code) {
    state.predicted = ClampSample(state.predicted + kTables.delta[state.index][code]);
    state.index = kTables.nextIndex[state.index][code];
}

// The code whose reconstruction lies nearest to `sample`: the thresholds
// are the midpoints between the reconstruction levels of the step.
inline int NearestCode(const ChannelState& state, int32_t sample) {
    const int32_t step = kStepSizes[static_cast<size_t>(state.index)];
    int32_t difference = sample - state.predicted;
    int code = 0;
    if (difference < 0) {
        code = 8;
        difference = -difference;
    }
    if (difference >= step) {
        code |= 4;
        difference -= step;
    }
    if (difference >= step >> 1) {
        code |= 2;
        difference -= step >> 1;
    }
    if (difference >= step >> 2) code |= 1;
    return code;
}

inline int64_t Squared(int32_t value) { return int64_t{value} * value; }

// Squared error of coding `count` samples greedily from `state`.
int64_t GreedyError(ChannelState state, const int16_t* in, uint32_t stride, uint32_t count) {
    int64_t error = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int32_t sample = in[i * stride];
        Apply(state, NearestCode(state, sample));
        error += Squared(sample - state.predicted);
    }
    return error;
}

// The first step index of a block: the smallest step that covers the mean
// difference of the first samples, so the first codes neither overload nor
// waste resolution.
int InitialIndex(const int16_t* in, uint32_t stride, uint32_t samples) {
    const uint32_t differences = std::min<uint32_t>(samples - 1, 4);
    if (differences == 0) return 0;
    int32_t sum = 0;
    for (uint32_t i = 0; i < differences; ++i) sum += std::abs(in[(i + 1) * stride] - in[i * stride]);
    const int32_t mean = sum / static_cast<int32_t>(differences);
    const auto found = std::lower_bound(kStepSizes.begin(), kStepSizes.end(), mean);
    return found == kStepSizes.end() ? kMaxStepIndex : static_cast<int>(found - kStepSizes.begin());
}

constexpr uint32_t kLookAhead = 2;

// Where one channel's codes go: code k sits in word k / 8 of the channel,
// low nibble first.
struct CodeWriter {
    uint8_t* firstWord;
    uint32_t wordStride;
    void Put(uint32_t k, int code) const {
        uint8_t& byte = firstWord[(k / kSamplesPerWord) * wordStride + (k % kSamplesPerWord) / 2];
        if (k % 2 == 0)
            byte = static_cast<uint8_t>(code);
        else
            byte = static_cast<uint8_t>(byte | code << 4);
    }
};

// Codes samples 1 .. samples-1 of one channel; returns the squared error.
int64_t EncodeChannel(const int16_t* in, uint32_t stride, uint32_t samples, int initialIndex, bool highQuality,
                      const CodeWriter& writer) {
    ChannelState state{in[0], initialIndex};
    int64_t error = 0;
    for (uint32_t i = 1; i < samples; ++i) {
        const int32_t sample = in[i * stride];
        int code = NearestCode(state, sample);
        if (highQuality) {
            // Try the neighbouring magnitudes (and the other sign of zero),
            // each followed by a short greedy run, and keep the cheapest.
            const uint32_t ahead = std::min(kLookAhead, samples - 1 - i);
            const int16_t* next = in + (i + 1) * stride;
            const int magnitude = code & 7;
            const int sign = code & 8;
            int candidates[2];
            int candidateCount = 0;
            if (magnitude > 0) candidates[candidateCount++] = sign | (magnitude - 1);
            if (magnitude < 7) candidates[candidateCount++] = sign | (magnitude + 1);
            if (magnitude == 0) candidates[candidateCount++] = sign ^ 8;
            ChannelState greedy = state;
            Apply(greedy, code);
            int64_t bestError = Squared(sample - greedy.predicted) + GreedyError(greedy, next, stride, ahead);
            for (int c = 0; c < candidateCount; ++c) {
                ChannelState trial = state;
                Apply(trial, candidates[c]);
                const int64_t trialError = Squared(sample - trial.predicted);
                if (trialError >= bestError) continue;
                const int64_t total = trialError + GreedyError(trial, next, stride, ahead);
                if (total < bestError) {
                    bestError = total;
                    code = candidates[c];
                }
            }
        }
        Apply(state, code);
        error += Squared(sample - state.predicted);
        writer.Put(i - 1, code);
    }
    return error;
}

}  // namespace

DecodeResult DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels, int16_t* out,
                         uint32_t& samplesDecoded) {
    samplesDecoded = 0;
    length = std::min(length, blockAlign);
    const uint32_t headerBytes = kHeaderBytesPerChannel * channels;
    if (length < headerBytes) return DecodeResult::kOk;
    for (uint32_t c = 0; c < channels; ++c)
        if (block[c * kHeaderBytesPerChannel + 2] > kMaxStepIndex) return DecodeResult::kBadStepIndex;

    const uint32_t groups = (length - headerBytes) / (kWordBytes * channels);
    for (uint32_t c = 0; c < channels; ++c) {
        const uint8_t* header = block + c * kHeaderBytesPerChannel;
        ChannelState state{static_cast<int16_t>(header[0] | header[1] << 8), header[2]};
        int16_t* sample = out + c;
        *sample = static_cast<int16_t>(state.predicted);
        sample += channels;
        const uint8_t* word = block + headerBytes + c * kWordBytes;
        for (uint32_t g = 0; g < groups; ++g, word += kWordBytes * channels) {
            for (uint32_t b = 0; b < kWordBytes; ++b) {
                Apply(state, word[b] & 0x0F);
                *sample = static_cast<int16_t>(state.predicted);
                sample += channels;
                Apply(state, word[b] >> 4);
                *sample = static_cast<int16_t>(state.predicted);
                sample += channels;
            }
        }
    }
    samplesDecoded = 1 + groups * kSamplesPerWord;
    return DecodeResult::kOk;
}

void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, bool highQuality, uint8_t* block) {
    const uint32_t samples = SamplesPerBlock(blockAlign, channels);
    const uint32_t headerBytes = kHeaderBytesPerChannel * channels;
    for (uint32_t c = 0; c < channels; ++c) {
        const int16_t* channelIn = in + c;
        const CodeWriter writer{block + headerBytes + c * kWordBytes, kWordBytes * channels};
        int index = InitialIndex(channelIn, channels, samples);
        if (highQuality && samples > 1) {
            // A better first step saves the codes the index needs to settle;
            // judged on the start of the block, where it matters.
            const uint32_t prefix = std::min<uint32_t>(samples, 64);
            int64_t bestError = EncodeChannel(channelIn, channels, prefix, index, true, writer);
            const int estimate = index;
            for (const int offset : {-8, 8}) {
                const int trial = std::clamp(estimate + offset, 0, kMaxStepIndex);
                if (trial == estimate) continue;
                const int64_t trialError = EncodeChannel(channelIn, channels, prefix, trial, true, writer);
                if (trialError < bestError) {
                    bestError = trialError;
                    index = trial;
                }
            }
        }
        EncodeChannel(channelIn, channels, samples, index, highQuality, writer);

        uint8_t* header = block + c * kHeaderBytesPerChannel;
        header[0] = static_cast<uint8_t>(channelIn[0]);
        header[1] = static_cast<uint8_t>(static_cast<uint16_t>(channelIn[0]) >> 8);
        header[2] = static_cast<uint8_t>(index);
        header[3] = 0;
    }
}

}  // namespace orvano::acm::ima
