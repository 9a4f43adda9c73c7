// The signal itself: resampling keeps what it should and removes what it
// must, exact changes are exact, dither comes only with High Quality, and
// the sample rules of float, G.711 and channel mixing hold.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "acm_test_support.h"

using testsupport::PcmFormat;
using testsupport::FloatFormat;

namespace {

constexpr uint32_t kHigh = ACM_STREAMOPENF_NONREALTIME;
constexpr uint32_t kLow = 0;

std::vector<uint8_t> Convert(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, const std::vector<uint8_t>& input,
                             uint32_t quality) {
    const acmtest::StreamResult result = acmtest::RunStream(src, dst, input, quality);
    EXPECT_EQ(result.result, MMSYSERR_NOERROR);
    return result.output;
}

template <typename T>
std::vector<uint8_t> Bytes(const std::vector<T>& values) {
    std::vector<uint8_t> out(values.size() * sizeof(T));
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

template <typename T>
std::vector<T> Values(const std::vector<uint8_t>& bytes) {
    std::vector<T> out(bytes.size() / sizeof(T));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
    return out;
}

int32_t Load24(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 24) >> 8;
}

}  // namespace

TEST(AcmSignal, ResamplingKeepsFrequencyAndLevel) {
    const std::vector<uint8_t> input = testsupport::ToneBytes(1000, 0.5, 44100, 2, 44100);
    const double inputDb = acmtest::RmsDb(acmtest::Channel(acmtest::Samples16(input), 2, 0, 4410));
    for (uint32_t quality : {kHigh, kLow}) {
        const std::vector<uint8_t> out = Convert(PcmFormat(44100, 16, 2), PcmFormat(22050, 32, 2), input, quality);
        for (int channel = 0; channel < 2; ++channel) {
            const auto x = acmtest::Channel(acmtest::Samples32(out), 2, channel, 2205);
            EXPECT_NEAR(acmtest::RmsDb(x), inputDb, 0.1) << "quality " << quality;
            // All the energy sits at 1 kHz: the tone level equals the total.
            EXPECT_NEAR(acmtest::ToneDb(x, 1000, 22050), acmtest::RmsDb(x), 0.05) << "quality " << quality;
            EXPECT_LT(acmtest::ToneDb(x, 1010, 22050), acmtest::RmsDb(x) - 30) << "quality " << quality;
        }
    }
}

TEST(AcmSignal, HighQualitySuppressesWhatLiesAboveTheNewNyquist) {
    const std::vector<uint8_t> tone = testsupport::ToneBytes(18000, 0.5, 44100, 1, 44100);
    const double inputDb = acmtest::RmsDb(acmtest::Samples16(tone));
    const std::vector<uint8_t> out = Convert(PcmFormat(44100, 16, 1), PcmFormat(22050, 32, 1), tone, kHigh);
    const auto x = acmtest::Channel(acmtest::Samples32(out), 1, 0, 1000);
    EXPECT_LT(acmtest::RmsDb(x), inputDb - 90);
}

// Widening is exact, and narrowing back with truncation gives the original.
TEST(AcmSignal, LosslessBitAndChannelChangesAreExact) {
    struct Case {
        uint16_t bits;
        uint16_t channels;
        uint16_t wideBits;
        uint16_t wideChannels;
    };
    const Case cases[] = {
        {8, 1, 16, 1}, {8, 2, 32, 2}, {16, 2, 24, 2}, {16, 1, 32, 1}, {24, 2, 32, 2},
        {16, 1, 16, 2}, {8, 1, 24, 2}, {24, 1, 24, 2}, {32, 1, 32, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "/" << c.channels << " <-> " << c.wideBits << "/"
                                        << c.wideChannels);
        const WAVEFORMATEX narrow = PcmFormat(44100, c.bits, c.channels);
        const WAVEFORMATEX wide = PcmFormat(44100, c.wideBits, c.wideChannels);
        const std::vector<uint8_t> input = testsupport::Noise(narrow.nBlockAlign * 5000, c.bits + c.channels);
        for (uint32_t quality : {kHigh, kLow}) {
            const std::vector<uint8_t> widened = Convert(narrow, wide, input, quality);
            ASSERT_EQ(widened.size(), input.size() / narrow.nBlockAlign * wide.nBlockAlign);
            // Every sample of every channel sits in the top bits.
            const int sampleBytes = c.bits / 8;
            const int wideBytes = c.wideBits / 8;
            for (size_t frame = 0; frame < 5000; frame += 97) {
                for (int channel = 0; channel < c.wideChannels; ++channel) {
                    const uint8_t* from = &input[frame * narrow.nBlockAlign + (channel % c.channels) * sampleBytes];
                    const uint8_t* to = &widened[frame * wide.nBlockAlign + channel * wideBytes];
                    uint8_t top[4];
                    std::memcpy(top, to + wideBytes - sampleBytes, sampleBytes);
                    if (c.bits == 8 && c.wideBits > 8) top[0] ^= 0x80;  // unsigned 8 bit
                    ASSERT_EQ(std::memcmp(top, from, sampleBytes), 0) << "frame " << frame;
                    for (int low = 0; low < wideBytes - sampleBytes; ++low) ASSERT_EQ(to[low], 0);
                }
            }
            EXPECT_TRUE(acmtest::SameBytes(Convert(wide, narrow, widened, kLow), input)) << "quality " << quality;
        }
    }
}

// 24 -> 16 bits: Low Quality truncates; High Quality dithers (within one
// step of the rounded value, unbiased); widening is never dithered.
TEST(AcmSignal, DitherOnlyInHighQualityAndOnlyWhenBitsShrink) {
    const size_t samples = 200000;
    std::vector<uint8_t> input(samples * 3);
    std::vector<int32_t> values(samples);
    for (size_t i = 0; i < samples; ++i) {
        values[i] = static_cast<int32_t>(std::lround(0.3 * 8388607.0 * std::sin(i * 0.001)));
        std::memcpy(&input[3 * i], &values[i], 3);
    }
    const WAVEFORMATEX src = PcmFormat(48000, 24, 1);
    const WAVEFORMATEX dst = PcmFormat(48000, 16, 1);

    const auto low = Values<int16_t>(Convert(src, dst, input, kLow));
    ASSERT_EQ(low.size(), samples);
    for (size_t i = 0; i < samples; ++i) ASSERT_EQ(low[i], values[i] >> 8) << i;

    const auto high = Values<int16_t>(Convert(src, dst, input, kHigh));
    ASSERT_EQ(high.size(), samples);
    size_t differing = 0;
    double errorSum = 0;
    for (size_t i = 0; i < samples; ++i) {
        const double exact = values[i] / 256.0;
        ASSERT_LE(std::fabs(high[i] - exact), 1.5) << i;
        differing += high[i] != static_cast<int16_t>(std::lround(exact));
        errorSum += high[i] - exact;
    }
    EXPECT_GT(differing, samples / 10) << "no dither noise";
    EXPECT_LT(std::fabs(errorSum / samples), 0.02) << "dither is biased";

    const std::vector<uint8_t> input16 = testsupport::Noise(20000, 9);
    const std::vector<uint8_t> wide = Convert(PcmFormat(48000, 16, 1), PcmFormat(48000, 24, 1), input16, kHigh);
    for (size_t i = 0; i < 10000; ++i) ASSERT_EQ(wide[3 * i], 0) << "widening added noise";
}

// The resampling path too: 16-bit 44.1 kHz to 8-bit 22.05 kHz.
TEST(AcmSignal, ResampledOutputIsDitheredOnlyInHighQuality) {
    const std::vector<uint8_t> input = testsupport::ToneBytes(100, 0.0, 44100, 1, 44100);  // digital silence
    const auto low = Convert(PcmFormat(44100, 16, 1), PcmFormat(22050, 8, 1), input, kLow);
    const auto high = Convert(PcmFormat(44100, 16, 1), PcmFormat(22050, 8, 1), input, kHigh);
    ASSERT_NEAR(low.size(), 22050.0, 4.0);
    ASSERT_NEAR(high.size(), 22050.0, 4.0);
    size_t lowNonSilent = 0;
    size_t highNonSilent = 0;
    for (uint8_t v : low) lowNonSilent += v != 128;
    for (uint8_t v : high) highNonSilent += v != 128;
    EXPECT_EQ(lowNonSilent, 0u);
    EXPECT_GT(highNonSilent, high.size() / 10);
}

TEST(AcmSignal, FloatClampsAndKeepsWhatFits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> in = {0.0f, 0.5f, -0.5f, -1.0f, 1.0f, 2.0f, -3.0f, inf, -inf, nan, 0.25f + 0.125f};
    const std::vector<int32_t> expected = {0,          1073741824, -1073741824, INT32_MIN, INT32_MAX, INT32_MAX,
                                           INT32_MIN,  INT32_MAX,  INT32_MIN,   0,         805306368};
    const WAVEFORMATEX floatFormat = FloatFormat(44100, 1);
    const WAVEFORMATEX pcm32 = PcmFormat(44100, 32, 1);
    EXPECT_EQ(Values<int32_t>(Convert(floatFormat, pcm32, Bytes(in), kLow)), expected);

    // Floats that 32 bits hold come back unchanged.
    // (Below 2^-8 a float has bits finer than 2^-31.)
    std::vector<float> fits;
    for (int i = 8; i < 1000; ++i) {
        fits.push_back(static_cast<float>(i) / 1024.0f + 0.123456789f / 1024);
        fits.push_back(-static_cast<float>(i) / 1024.0f - 0.987654321f / 1024);
    }
    const auto roundTrip = Convert(pcm32, floatFormat, Convert(floatFormat, pcm32, Bytes(fits), kLow), kLow);
    EXPECT_EQ(Values<float>(roundTrip), fits);

    const std::vector<double> doubles = {0.5, -2.0, std::numeric_limits<double>::quiet_NaN()};
    const auto fromDouble = Values<int32_t>(
        Convert(PcmFormat(8000, 64, 1, WAVE_FORMAT_IEEE_FLOAT), PcmFormat(8000, 32, 1), Bytes(doubles), kLow));
    EXPECT_EQ(fromDouble, (std::vector<int32_t>{1073741824, INT32_MIN, 0}));
}

// Known G.711 code words, and encode(decode(code)) = code for every code.
TEST(AcmSignal, G711Tables) {
    struct Case {
        uint16_t tag;
        int16_t linear;
        uint8_t code;
    };
    const Case cases[] = {
        {WAVE_FORMAT_ALAW, 0, 0xD5},      {WAVE_FORMAT_ALAW, -1, 0x55},     {WAVE_FORMAT_ALAW, 32767, 0xAA},
        {WAVE_FORMAT_ALAW, -32768, 0x2A}, {WAVE_FORMAT_ALAW, 1000, 0xFA},   {WAVE_FORMAT_MULAW, 0, 0xFF},
        {WAVE_FORMAT_MULAW, -1, 0x7E},    {WAVE_FORMAT_MULAW, 32767, 0x80}, {WAVE_FORMAT_MULAW, -32768, 0x00},
        {WAVE_FORMAT_MULAW, 1000, 0xCE},
    };
    for (const Case& c : cases) {
        const auto code =
            Convert(PcmFormat(8000, 16, 1), PcmFormat(8000, 8, 1, c.tag), Bytes(std::vector<int16_t>{c.linear}), kLow);
        ASSERT_EQ(code.size(), 1u);
        EXPECT_EQ(code[0], c.code) << "tag " << c.tag << " linear " << c.linear;
    }
    for (uint16_t tag : {uint16_t{WAVE_FORMAT_ALAW}, uint16_t{WAVE_FORMAT_MULAW}}) {
        std::vector<uint8_t> codes(256);
        for (int i = 0; i < 256; ++i) codes[i] = static_cast<uint8_t>(i);
        const auto linear = Convert(PcmFormat(8000, 8, 1, tag), PcmFormat(8000, 16, 1), codes, kLow);
        auto again = Convert(PcmFormat(8000, 16, 1), PcmFormat(8000, 8, 1, tag), linear, kLow);
        if (tag == WAVE_FORMAT_MULAW) again[0x7F] = 0x7F;  // u-law has two zeros: 0x7F and 0xFF both decode to 0
        EXPECT_EQ(again, codes) << "tag " << tag;
        // Decoding is monotonic in magnitude within each sign.
        const auto values = Values<int16_t>(linear);
        int positive = 0;
        for (int v : values) positive += v > 0;
        EXPECT_EQ(positive, 128 - (tag == WAVE_FORMAT_MULAW ? 1 : 0));
    }
}

// Downmixes never clip, even when every channel is at full scale.
TEST(AcmSignal, DownmixAveragesWithoutClipping) {
    for (uint16_t channels = 2; channels <= 8; ++channels) {
        for (uint16_t to : {uint16_t{1}, uint16_t{2}}) {
            if (to >= channels) continue;
            std::vector<int16_t> full(channels * 100, 32767);
            for (int i = 0; i < 100; i += 2)
                for (int c = 0; c < channels; ++c) full[i * channels + c] = -32768;
            const auto out =
                Values<int16_t>(Convert(PcmFormat(48000, 16, channels), PcmFormat(48000, 16, to), Bytes(full), kLow));
            ASSERT_EQ(out.size(), 100u * to);
            for (size_t i = 0; i < out.size(); ++i) {
                const int expected = (i / to) % 2 == 0 ? -32768 : 32767;
                EXPECT_NEAR(out[i], expected, 1) << channels << " -> " << to << " at " << i;
            }
        }
    }
    // Stereo to mono is the plain average.
    const std::vector<int16_t> stereo = {1000, 3000, -200, 100, 32767, 32767};
    EXPECT_EQ(Values<int16_t>(Convert(PcmFormat(8000, 16, 2), PcmFormat(8000, 16, 1), Bytes(stereo), kLow)),
              (std::vector<int16_t>{2000, -50, 32767}));
    // 5.1 to stereo: the LFE is left out, the centre feeds both sides.
    const std::vector<int16_t> lfeOnly = {0, 0, 0, 20000, 0, 0};
    EXPECT_EQ(Values<int16_t>(Convert(PcmFormat(8000, 16, 6), PcmFormat(8000, 16, 2), Bytes(lfeOnly), kLow)),
              (std::vector<int16_t>{0, 0}));
    const std::vector<int16_t> centreOnly = {0, 0, 20000, 0, 0, 0};
    const auto centre =
        Values<int16_t>(Convert(PcmFormat(8000, 16, 6), PcmFormat(8000, 16, 2), Bytes(centreOnly), kLow));
    ASSERT_EQ(centre.size(), 2u);
    EXPECT_EQ(centre[0], centre[1]);
    EXPECT_GT(centre[0], 0);
}

// Extensible 24-bit 6-channel and float data pass as their sub-format.
TEST(AcmSignal, ExtensibleStreamsAsItsSubFormat) {
    uint8_t block[40] = {};
    WAVEFORMATEX pcm24 = PcmFormat(48000, 24, 6);
    std::memcpy(block, &pcm24, 16);
    block[0] = 0xFE;
    block[1] = 0xFF;
    block[16] = 22;
    block[18] = 24;
    block[20] = 0x3F;
    const uint8_t guid[16] = {1, 0, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::memcpy(block + 24, guid, 16);
    const auto* extensible = reinterpret_cast<const WAVEFORMATEX*>(block);
    const std::vector<uint8_t> input = testsupport::Noise(18 * 1000, 4);
    const acmtest::StreamResult decoded = acmtest::RunStream(*extensible, pcm24, input);
    ASSERT_EQ(decoded.result, MMSYSERR_NOERROR);
    EXPECT_TRUE(acmtest::SameBytes(decoded.output, input));
    const acmtest::StreamResult encoded = acmtest::RunStream(pcm24, *extensible, input);
    ASSERT_EQ(encoded.result, MMSYSERR_NOERROR);
    EXPECT_TRUE(acmtest::SameBytes(encoded.output, input));
    EXPECT_EQ(Load24(&input[0]), Load24(&decoded.output[0]));
}
