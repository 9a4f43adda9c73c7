#include "acm/ms_adpcm_core.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace orvano::acm::msadpcm {

namespace {

constexpr int32_t kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int32_t kMinDelta = 16;
// Damaged blocks can drive the delta up without end; a cap keeps every
// product in range and is far above what real streams reach.
constexpr int32_t kMaxDelta = INT32_MAX / 768;

inline int32_t ClampSample(int32_t value) { return std::clamp(value, int32_t{-32768}, int32_t{32767}); }

struct ChannelState {
    int32_t sample1;  // the newer of the two previous samples
    int32_t sample2;
    int32_t delta;
    int32_t coefficient1;
    int32_t coefficient2;

    int32_t Predict() const {
        return static_cast<int32_t>((int64_t{sample1} * coefficient1 + int64_t{sample2} * coefficient2) >> 8);
    }
    // Takes code (0..15, two's complement nibble) given `predicted`.
    void Apply(int32_t predicted, int code) {
        const int32_t signedCode = code >= 8 ? code - 16 : code;
        sample2 = sample1;
        sample1 = ClampSample(predicted + signedCode * delta);
        delta = std::clamp((kAdaptation[code] * delta) >> 8, kMinDelta, kMaxDelta);
    }
};

inline int16_t LoadLe16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
inline void StoreLe16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8);
}

inline int64_t Squared(int32_t value) { return int64_t{value} * value; }

// Nearest code for `error` at `delta`: error / delta rounded half away
// from zero, within -8..7. Found bit by bit, which is quicker than dividing.
inline int NearestCode(int32_t error, int32_t delta) {
    const int32_t negative = error < 0;
    int32_t rest = (negative ? -error : error) + (delta >> 1);
    // Masks instead of branches: the bits are unpredictable.
    int32_t bit = rest >= 4 * delta;
    int32_t magnitude = bit << 2;
    rest -= (4 * delta) & -bit;
    bit = rest >= 2 * delta;
    magnitude |= bit << 1;
    rest -= (2 * delta) & -bit;
    bit = rest >= delta;
    magnitude |= bit;
    rest -= delta & -bit;
    // Only the negative side reaches 8.
    magnitude += negative & (magnitude == 7) & (rest >= delta);
    return (negative ? -magnitude : magnitude) & 15;
}

// The first delta of a block: about the mean residual of the first coded
// samples, which puts the first codes in the middle of their range.
int32_t InitialDelta(const int16_t* in, uint32_t stride, uint32_t samples, const CoefficientPair& pair) {
    const uint32_t count = std::min<uint32_t>(samples, 6);
    if (count <= 2) return kMinDelta;
    int64_t sum = 0;
    for (uint32_t i = 2; i < count; ++i) {
        const int64_t predicted =
            (int64_t{in[(i - 1) * stride]} * pair.first + int64_t{in[(i - 2) * stride]} * pair.second) >> 8;
        sum += std::abs(in[i * stride] - predicted);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(sum / (count - 2) / 2, kMinDelta, INT16_MAX));
}

inline int EncodeSample(ChannelState& state, int32_t sample) {
    const int32_t predicted = state.Predict();
    const int code = NearestCode(sample - predicted, state.delta);
    state.Apply(predicted, code);
    return code;
}

// Codes samples 2 .. samples-1 of every channel from `states` (set up with
// the first two samples), the channels side by side so that their work
// overlaps. Adds each channel's squared error to `errors` when given and
// writes the block body when given.
template <uint32_t kChannels>
void EncodeFrames(const int16_t* in, uint32_t samples, ChannelState* states, int64_t* errors, uint8_t* body) {
    // Local copies: the body's bytes could alias the states otherwise.
    ChannelState local[kChannels];
    for (uint32_t c = 0; c < kChannels; ++c) local[c] = states[c];
    int64_t error[kChannels] = {};
    for (uint32_t i = 2; i < samples; ++i) {
        int codes[kChannels];
        for (uint32_t c = 0; c < kChannels; ++c) {
            const int32_t sample = in[i * kChannels + c];
            codes[c] = EncodeSample(local[c], sample);
            if (errors) error[c] += Squared(sample - local[c].sample1);
        }
        if (!body) continue;
        if constexpr (kChannels == 2) {
            body[i - 2] = static_cast<uint8_t>(codes[0] << 4 | codes[1]);
        } else if ((i & 1) == 0) {
            body[(i - 2) / 2] = static_cast<uint8_t>(codes[0] << 4);
        } else {
            body[(i - 2) / 2] = static_cast<uint8_t>(body[(i - 2) / 2] | codes[0]);
        }
    }
    for (uint32_t c = 0; c < kChannels; ++c) {
        states[c] = local[c];
        if (errors) errors[c] += error[c];
    }
}

void EncodeFrames(const int16_t* in, uint32_t channels, uint32_t samples, ChannelState* states, int64_t* errors,
                  uint8_t* body) {
    if (channels == 2)
        EncodeFrames<2>(in, samples, states, errors, body);
    else
        EncodeFrames<1>(in, samples, states, errors, body);
}

ChannelState StartState(const int16_t* in, uint32_t channels, uint32_t channel, const CoefficientPair& pair,
                        int32_t delta) {
    return {in[channels + channel], in[channel], delta, pair.first, pair.second};
}

// The predictor with the least squared residual on the uncoded signal,
// from the block's correlations: three products per sample, whatever the
// number of predictors.
uint32_t CheapestPredictor(const int16_t* in, uint32_t stride, uint32_t samples, const Coefficients& coefficients) {
    // Sums of x[i-j]x[i-k] over the samples coded.
    int64_t s00 = 0;
    int64_t s01 = 0;
    int64_t s02 = 0;
    int64_t s11 = 0;
    int64_t s12 = 0;
    int64_t s22 = 0;
    // Every other sample tells the correlations well enough.
    for (uint32_t i = 2; i < samples; i += 2) {
        const int32_t x0 = in[i * stride];
        const int32_t x1 = in[(i - 1) * stride];
        const int32_t x2 = in[(i - 2) * stride];
        s00 += x0 * x0;
        s01 += x0 * x1;
        s02 += x0 * x2;
        s11 += x1 * x1;
        s12 += x1 * x2;
        s22 += x2 * x2;
    }
    uint32_t best = 0;
    double bestCost = 0;
    for (uint32_t p = 0; p < coefficients.count; ++p) {
        const double a = coefficients.pairs[p].first / 256.0;
        const double b = coefficients.pairs[p].second / 256.0;
        const double cost = static_cast<double>(s00) + a * a * static_cast<double>(s11) +
                            b * b * static_cast<double>(s22) - 2 * a * static_cast<double>(s01) -
                            2 * b * static_cast<double>(s02) + 2 * a * b * static_cast<double>(s12);
        if (p == 0 || cost < bestCost) {
            bestCost = cost;
            best = p;
        }
    }
    return best;
}

}  // namespace

DecodeResult DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels,
                         const Coefficients& coefficients, int16_t* out, uint32_t& samplesDecoded) {
    samplesDecoded = 0;
    length = std::min(length, blockAlign);
    if (length < kHeaderBytesPerChannel * channels) return DecodeResult::kOk;

    ChannelState states[kMaxChannels];
    for (uint32_t c = 0; c < channels; ++c) {
        const uint32_t predictor = block[c];
        if (predictor >= coefficients.count) return DecodeResult::kBadPredictor;
        states[c].coefficient1 = coefficients.pairs[predictor].first;
        states[c].coefficient2 = coefficients.pairs[predictor].second;
        states[c].delta = LoadLe16(block + channels + 2 * c);
        states[c].sample1 = LoadLe16(block + 3 * channels + 2 * c);
        states[c].sample2 = LoadLe16(block + 5 * channels + 2 * c);
        out[c] = static_cast<int16_t>(states[c].sample2);
        out[channels + c] = static_cast<int16_t>(states[c].sample1);
    }

    const uint8_t* body = block + kHeaderBytesPerChannel * channels;
    const uint32_t frames = (length - kHeaderBytesPerChannel * channels) * 2 / channels;
    int16_t* sample = out + 2 * channels;
    if (channels == 1) {
        ChannelState& state = states[0];
        for (uint32_t i = 0; i < frames; i += 2) {
            const uint8_t byte = body[i / 2];
            state.Apply(state.Predict(), byte >> 4);
            *sample++ = static_cast<int16_t>(state.sample1);
            state.Apply(state.Predict(), byte & 0x0F);
            *sample++ = static_cast<int16_t>(state.sample1);
        }
    } else {
        for (uint32_t i = 0; i < frames; ++i) {
            const uint8_t byte = body[i];
            states[0].Apply(states[0].Predict(), byte >> 4);
            *sample++ = static_cast<int16_t>(states[0].sample1);
            states[1].Apply(states[1].Predict(), byte & 0x0F);
            *sample++ = static_cast<int16_t>(states[1].sample1);
        }
    }
    samplesDecoded = 2 + frames;
    return DecodeResult::kOk;
}

void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, const Coefficients& coefficients,
                 bool highQuality, uint8_t* block) {
    const uint32_t samples = SamplesPerBlock(blockAlign, channels);
    uint32_t predictors[kMaxChannels] = {};
    int32_t deltas[kMaxChannels] = {};
    ChannelState states[kMaxChannels];
    if (highQuality) {
        // Every predictor, coded in full; the channels choose apart.
        int64_t bestErrors[kMaxChannels] = {INT64_MAX, INT64_MAX};
        for (uint32_t p = 0; p < coefficients.count; ++p) {
            const CoefficientPair& pair = coefficients.pairs[p];
            int32_t estimates[kMaxChannels];
            int64_t errors[kMaxChannels] = {};
            for (uint32_t c = 0; c < channels; ++c) {
                estimates[c] = InitialDelta(in + c, channels, samples, pair);
                states[c] = StartState(in, channels, c, pair, estimates[c]);
            }
            EncodeFrames(in, channels, samples, states, errors, nullptr);
            for (uint32_t c = 0; c < channels; ++c) {
                if (errors[c] < bestErrors[c]) {
                    bestErrors[c] = errors[c];
                    predictors[c] = p;
                    deltas[c] = estimates[c];
                }
            }
        }
        // The first delta only matters until the adaptation settles:
        // halving and doubling it are judged on the start of the block.
        const uint32_t prefix = std::min<uint32_t>(samples, 48);
        int64_t prefixErrors[kMaxChannels] = {};
        for (uint32_t c = 0; c < channels; ++c)
            states[c] = StartState(in, channels, c, coefficients.pairs[predictors[c]], deltas[c]);
        EncodeFrames(in, channels, prefix, states, prefixErrors, nullptr);
        int32_t chosen[kMaxChannels] = {deltas[0], deltas[1]};
        for (const int scale : {-1, 1}) {
            int32_t trials[kMaxChannels];
            int64_t errors[kMaxChannels] = {};
            for (uint32_t c = 0; c < channels; ++c) {
                trials[c] = std::clamp(scale < 0 ? deltas[c] / 2 : deltas[c] * 2, kMinDelta, int32_t{INT16_MAX});
                states[c] = StartState(in, channels, c, coefficients.pairs[predictors[c]], trials[c]);
            }
            EncodeFrames(in, channels, prefix, states, errors, nullptr);
            for (uint32_t c = 0; c < channels; ++c) {
                if (errors[c] < prefixErrors[c]) {
                    prefixErrors[c] = errors[c];
                    chosen[c] = trials[c];
                }
            }
        }
        for (uint32_t c = 0; c < channels; ++c) deltas[c] = chosen[c];
    } else {
        for (uint32_t c = 0; c < channels; ++c) {
            predictors[c] = CheapestPredictor(in + c, channels, samples, coefficients);
            deltas[c] = InitialDelta(in + c, channels, samples, coefficients.pairs[predictors[c]]);
        }
    }
    for (uint32_t c = 0; c < channels; ++c) {
        states[c] = StartState(in, channels, c, coefficients.pairs[predictors[c]], deltas[c]);
        block[c] = static_cast<uint8_t>(predictors[c]);
        StoreLe16(block + channels + 2 * c, deltas[c]);
        StoreLe16(block + 3 * channels + 2 * c, in[channels + c]);
        StoreLe16(block + 5 * channels + 2 * c, in[c]);
    }
    EncodeFrames(in, channels, samples, states, nullptr, block + kHeaderBytesPerChannel * channels);
}

}  // namespace orvano::acm::msadpcm
