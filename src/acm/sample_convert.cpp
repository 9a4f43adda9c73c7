#include "acm/sample_convert.h"

#include <cmath>
#include <cstring>

#include "acm/acm_support.h"

namespace orvano::acm {

namespace {

inline int32_t FloorToInt(float x) {
    const int32_t i = static_cast<int32_t>(x);
    return i - (x < static_cast<float>(i));
}

inline int32_t ClampInt(int64_t v, int32_t lo, int32_t hi) {
    return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

template <int Bits>
inline void StoreSample(uint8_t* out, int32_t v) {
    if constexpr (Bits == 8) {
        *out = static_cast<uint8_t>(v + 128);
    } else if constexpr (Bits == 16) {
        StoreLe16(out, static_cast<int16_t>(v));
    } else if constexpr (Bits == 24) {
        StoreLe24(out, v);
    } else {
        StoreLe32(out, v);
    }
}

template <int Bits>
void EncodeFloat(const float* in, size_t samples, Quantize mode, TpdfDither& dither, uint8_t* out) {
    constexpr int kBytes = Bits / 8;
    if constexpr (Bits == 32) {
        constexpr double kScale = 2147483648.0;
        for (size_t i = 0; i < samples; ++i) {
            double x = static_cast<double>(in[i]) * kScale;
            if (mode == Quantize::Dither) x += dither.NextLsb();
            const double r = mode == Quantize::Truncate ? std::floor(x) : std::floor(x + 0.5);
            const int32_t v = r >= 2147483647.0 ? INT32_MAX : (r <= -2147483648.0 ? INT32_MIN : static_cast<int32_t>(r));
            StoreSample<32>(out + i * kBytes, v);
        }
    } else {
        constexpr float kScale = static_cast<float>(1 << (Bits - 1));
        constexpr int32_t kLo = -(1 << (Bits - 1));
        constexpr int32_t kHi = (1 << (Bits - 1)) - 1;
        // Keeps the float -> int conversion defined; the int clamp is exact.
        constexpr float kGuard = kScale * 2.0f;
        switch (mode) {
        case Quantize::Round:
            for (size_t i = 0; i < samples; ++i) {
                const float x = std::fmin(std::fmax(in[i] * kScale, -kGuard), kGuard);
                StoreSample<Bits>(out + i * kBytes, ClampInt(FloorToInt(x + 0.5f), kLo, kHi));
            }
            break;
        case Quantize::Truncate:
            for (size_t i = 0; i < samples; ++i) {
                const float x = std::fmin(std::fmax(in[i] * kScale, -kGuard), kGuard);
                StoreSample<Bits>(out + i * kBytes, ClampInt(FloorToInt(x), kLo, kHi));
            }
            break;
        case Quantize::Dither:
            for (size_t i = 0; i < samples; ++i) {
                const float x = std::fmin(std::fmax(in[i] * kScale + dither.NextLsb(), -kGuard), kGuard);
                StoreSample<Bits>(out + i * kBytes, ClampInt(FloorToInt(x + 0.5f), kLo, kHi));
            }
            break;
        }
    }
}

template <int Bits>
void EncodeInt32(const int32_t* in, size_t samples, Quantize mode, TpdfDither& dither, uint8_t* out) {
    constexpr int kBytes = Bits / 8;
    constexpr int kShift = 32 - Bits;
    constexpr int32_t kLo = -(1 << (Bits - 1));
    constexpr int32_t kHi = (1 << (Bits - 1)) - 1;
    constexpr int64_t kHalf = int64_t{1} << (kShift - 1);
    switch (mode) {
    case Quantize::Round:
        for (size_t i = 0; i < samples; ++i)
            StoreSample<Bits>(out + i * kBytes, ClampInt((int64_t{in[i]} + kHalf) >> kShift, kLo, kHi));
        break;
    case Quantize::Truncate:
        for (size_t i = 0; i < samples; ++i) StoreSample<Bits>(out + i * kBytes, in[i] >> kShift);
        break;
    case Quantize::Dither:
        for (size_t i = 0; i < samples; ++i)
            StoreSample<Bits>(out + i * kBytes,
                              ClampInt((int64_t{in[i]} + dither.NextScaled(kShift) + kHalf) >> kShift, kLo, kHi));
        break;
    }
}

enum class Role { Left, Right, Centre, Lfe, SurroundLeft, SurroundRight, SurroundCentre };

// WAVE default layouts by channel count.
const Role* LayoutFor(uint16_t channels) {
    using R = Role;
    static const Role k1[] = {R::Centre};
    static const Role k2[] = {R::Left, R::Right};
    static const Role k3[] = {R::Left, R::Right, R::Centre};
    static const Role k4[] = {R::Left, R::Right, R::SurroundLeft, R::SurroundRight};
    static const Role k5[] = {R::Left, R::Right, R::Centre, R::SurroundLeft, R::SurroundRight};
    static const Role k6[] = {R::Left, R::Right, R::Centre, R::Lfe, R::SurroundLeft, R::SurroundRight};
    static const Role k7[] = {R::Left, R::Right, R::Centre, R::Lfe, R::SurroundCentre, R::SurroundLeft,
                              R::SurroundRight};
    static const Role k8[] = {R::Left,         R::Right,         R::Centre,       R::Lfe,
                              R::SurroundLeft, R::SurroundRight, R::SurroundLeft, R::SurroundRight};
    static const Role* const kLayouts[] = {nullptr, k1, k2, k3, k4, k5, k6, k7, k8};
    return channels <= kMaxMixChannels ? kLayouts[channels] : nullptr;
}

// Weight of a role in the left (side 0) or right (side 1) output.
float StereoWeight(Role role, int side) {
    constexpr float kHalfPower = 0.70710678f;
    switch (role) {
    case Role::Left: return side == 0 ? 1.0f : 0.0f;
    case Role::Right: return side == 1 ? 1.0f : 0.0f;
    case Role::Centre: return kHalfPower;
    case Role::Lfe: return 0.0f;
    case Role::SurroundLeft: return side == 0 ? kHalfPower : 0.0f;
    case Role::SurroundRight: return side == 1 ? kHalfPower : 0.0f;
    case Role::SurroundCentre: return kHalfPower;
    }
    return 0.0f;
}

float MonoWeight(Role role) {
    switch (role) {
    case Role::Left:
    case Role::Right:
    case Role::Centre: return 1.0f;
    case Role::Lfe: return 0.0f;
    default: return 0.70710678f;
    }
}

}  // namespace

void DecodePcmToFloat(const uint8_t* src, uint16_t bits, size_t samples, float* out) {
    switch (bits) {
    case 8:
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(int{src[i]} - 128) * (1.0f / 128.0f);
        break;
    case 16:
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(LoadLe16(src + 2 * i)) * (1.0f / 32768.0f);
        break;
    case 24:
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<float>(LoadLe24(src + 3 * i)) * (1.0f / 8388608.0f);
        break;
    default:
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<float>(LoadLe32(src + 4 * i)) * (1.0f / 2147483648.0f);
        break;
    }
}

void DecodePcmToInt32(const uint8_t* src, uint16_t bits, size_t samples, int32_t* out) {
    switch (bits) {
    case 8:
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(src[i] ^ 0x80u) << 24);
        break;
    case 16:
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(LoadLe16(src + 2 * i))) << 16);
        break;
    case 24:
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(LoadLe24(src + 3 * i)) << 8);
        break;
    default:
        std::memcpy(out, src, samples * 4);
        break;
    }
}

void EncodeFloatToPcm(const float* in, size_t samples, uint16_t bits, Quantize mode, TpdfDither& dither,
                      uint8_t* out) {
    switch (bits) {
    case 8: EncodeFloat<8>(in, samples, mode, dither, out); break;
    case 16: EncodeFloat<16>(in, samples, mode, dither, out); break;
    case 24: EncodeFloat<24>(in, samples, mode, dither, out); break;
    default: EncodeFloat<32>(in, samples, mode, dither, out); break;
    }
}

void EncodeInt32ToPcm(const int32_t* in, size_t samples, uint16_t bits, Quantize mode, TpdfDither& dither,
                      uint8_t* out) {
    switch (bits) {
    case 8: EncodeInt32<8>(in, samples, mode, dither, out); break;
    case 16: EncodeInt32<16>(in, samples, mode, dither, out); break;
    case 24: EncodeInt32<24>(in, samples, mode, dither, out); break;
    default: std::memcpy(out, in, samples * 4); break;
    }
}

namespace {

inline int32_t ClampToPcm32(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(std::floor(x + 0.5));
}

}  // namespace

void FloatSamplesToPcm32(const uint8_t* src, size_t samples, uint8_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        float f;
        std::memcpy(&f, src + 4 * i, 4);
        StoreLe32(out + 4 * i, ClampToPcm32(static_cast<double>(f) * 2147483648.0));
    }
}

void Pcm32ToFloatSamples(const uint8_t* src, size_t samples, uint8_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        const float f = static_cast<float>(static_cast<double>(LoadLe32(src + 4 * i)) * (1.0 / 2147483648.0));
        std::memcpy(out + 4 * i, &f, 4);
    }
}

void DoubleSamplesToPcm32(const uint8_t* src, size_t samples, uint8_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        double d;
        std::memcpy(&d, src + 8 * i, 8);
        StoreLe32(out + 4 * i, ClampToPcm32(d * 2147483648.0));
    }
}

void Pcm32ToDoubleSamples(const uint8_t* src, size_t samples, uint8_t* out) {
    for (size_t i = 0; i < samples; ++i) {
        const double d = static_cast<double>(LoadLe32(src + 4 * i)) * (1.0 / 2147483648.0);
        std::memcpy(out + 8 * i, &d, 8);
    }
}

bool MakeChannelMatrix(uint16_t from, uint16_t to, ChannelMatrix& matrix) {
    const Role* layout = LayoutFor(from);
    if (!layout || to < 1 || to > 2) return false;
    matrix = ChannelMatrix{};
    matrix.from = from;
    matrix.to = to;
    for (int side = 0; side < to; ++side) {
        float sum = 0.0f;
        for (int c = 0; c < from; ++c) {
            // Mono input feeds both sides of stereo fully.
            const float w = to == 1 ? MonoWeight(layout[c]) : (from == 1 ? 1.0f : StereoWeight(layout[c], side));
            matrix.weights[side][c] = w;
            sum += w;
        }
        int32_t fixedSum = 0;
        int largest = 0;
        for (int c = 0; c < from; ++c) {
            matrix.weights[side][c] /= sum;
            matrix.fixedWeights[side][c] = static_cast<int32_t>(std::lround(matrix.weights[side][c] * 65536.0f));
            fixedSum += matrix.fixedWeights[side][c];
            if (matrix.fixedWeights[side][c] > matrix.fixedWeights[side][largest]) largest = c;
        }
        matrix.fixedWeights[side][largest] += 65536 - fixedSum;
    }
    return true;
}

void MixChannels(const ChannelMatrix& matrix, const float* in, size_t frames, float* out) {
    const int from = matrix.from;
    if (from == 2 && matrix.to == 1) {
        for (size_t f = 0; f < frames; ++f) out[f] = (in[2 * f] + in[2 * f + 1]) * 0.5f;
        return;
    }
    if (from == 1 && matrix.to == 2) {
        for (size_t f = 0; f < frames; ++f) out[2 * f] = out[2 * f + 1] = in[f];
        return;
    }
    for (size_t f = 0; f < frames; ++f) {
        const float* frame = in + f * from;
        for (int side = 0; side < matrix.to; ++side) {
            float sum = 0.0f;
            for (int c = 0; c < from; ++c) sum += matrix.weights[side][c] * frame[c];
            out[f * matrix.to + side] = sum;
        }
    }
}

void MixChannels(const ChannelMatrix& matrix, const int32_t* in, size_t frames, int32_t* out) {
    const int from = matrix.from;
    if (from == 1 && matrix.to == 2) {
        for (size_t f = 0; f < frames; ++f) out[2 * f] = out[2 * f + 1] = in[f];
        return;
    }
    for (size_t f = 0; f < frames; ++f) {
        const int32_t* frame = in + f * from;
        for (int side = 0; side < matrix.to; ++side) {
            int64_t sum = 0;
            for (int c = 0; c < from; ++c) sum += int64_t{matrix.fixedWeights[side][c]} * frame[c];
            out[f * matrix.to + side] = static_cast<int32_t>(sum >> 16);
        }
    }
}

}  // namespace orvano::acm
