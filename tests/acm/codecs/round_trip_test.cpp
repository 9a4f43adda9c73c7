// Encode and decode through the public calls, for every standard format of
// each codec, and bound what the round trip loses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <numbers>

#include "codec_test_support.h"

using namespace codectest;
using namespace testsupport;

namespace {

struct BlockCodec {
    uint16_t tag;
    const char* name;
    double bound;  // RMS error over RMS signal
    size_t formatCount;
    bool qualityMatters;
};

class AcmCodecRoundTrip : public testing::TestWithParam<BlockCodec> {};

TEST_P(AcmCodecRoundTrip, EveryFormatStaysWithinItsErrorBound) {
    const BlockCodec codec = GetParam();
    const std::vector<FormatBlock> formats = EnumeratedFormats(codec.tag);
    ASSERT_EQ(formats.size(), codec.formatCount);
    for (const FormatBlock& format : formats) {
        const WAVEFORMATEX* coded = AsFormat(format);
        SCOPED_TRACE(FormatName(format));
        const WAVEFORMATEX pcm = PcmFormat(coded->nSamplesPerSec, 16, coded->nChannels);
        // Not a whole number of blocks: the last one is padded.
        const size_t frames = coded->nSamplesPerSec / 2 + 123;
        const std::vector<int16_t> signal = MusicSignal(coded->nSamplesPerSec, coded->nChannels, frames);
        const uint32_t samplesPerBlock = SamplesPerBlock(format);
        const size_t blocks = (frames + samplesPerBlock - 1) / samplesPerBlock;

        // The padded last block is coded for its silence too: quality is
        // compared on the whole blocks before it.
        const auto wholeBlockSamples = static_cast<std::ptrdiff_t>((blocks - 1) * samplesPerBlock * coded->nChannels);
        const std::vector<int16_t> wholeBlocks(signal.begin(), signal.begin() + wholeBlockSamples);
        double errors[2] = {};
        for (const bool highQuality : {false, true}) {
            SCOPED_TRACE(highQuality ? "High Quality" : "Low Quality");
            RunOptions options;
            options.flags = highQuality ? ACM_STREAMOPENF_NONREALTIME : 0;
            const RunResult encoded = RunStream(&pcm, coded, ToBytes(signal), options);
            ASSERT_EQ(encoded.openResult, MMSYSERR_NOERROR);
            ASSERT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
            ASSERT_EQ(encoded.output.size(), blocks * coded->nBlockAlign);

            const RunResult decoded = RunStream(coded, &pcm, encoded.output);
            ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
            const std::vector<int16_t> samples = ToSamples(decoded.output);
            ASSERT_EQ(samples.size(), blocks * samplesPerBlock * coded->nChannels);
            EXPECT_LT(RelativeError(signal, samples), codec.bound);
            errors[highQuality] = RelativeError(wholeBlocks, samples);
        }
        if (codec.qualityMatters) {
            EXPECT_LT(errors[1], errors[0]) << "High Quality is not better";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BlockCodecs, AcmCodecRoundTrip,
                         testing::Values(BlockCodec{WAVE_FORMAT_IMA_ADPCM, "ImaAdpcm", 0.18, 8, true},
                                         BlockCodec{WAVE_FORMAT_ADPCM, "MsAdpcm", 0.36, 8, true},
                                         BlockCodec{WAVE_FORMAT_GSM610, "Gsm610", 0.24, 4, false}),
                         [](const testing::TestParamInfo<BlockCodec>& info) { return info.param.name; });

TEST(AcmCodecMsAdpcmTable, OwnCoefficientPairsAreUsedBothWays) {
    // The seven standard pairs and two more; the predictor index of a block
    // may point at any of them.
    const WAVEFORMATEX pcm = PcmFormat(22050, 16, 1);
    FormatBlock format(64, 0);
    AsFormat(format)->wFormatTag = WAVE_FORMAT_ADPCM;
    ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, AsFormat(format), 64, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    format.resize(18 + 4 + 4 * 9);
    AsFormat(format)->cbSize = 4 + 4 * 9;
    format[20] = 9;
    const int16_t extra[4] = {128, 64, 480, -224};
    std::memcpy(&format[18 + 4 + 4 * 7], extra, sizeof extra);
    const std::vector<int16_t> signal = MusicSignal(22050, 1, 30000);
    for (const uint32_t flags : {0u, uint32_t{ACM_STREAMOPENF_NONREALTIME}}) {
        const RunResult encoded = RunStream(&pcm, format.data(), ToBytes(signal), {.flags = flags});
        ASSERT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
        const RunResult decoded = RunStream(format.data(), &pcm, encoded.output);
        ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
        EXPECT_LT(RelativeError(signal, ToSamples(decoded.output)), 0.36);
        // High Quality tries every pair: some blocks take an extra one.
        bool extraUsed = false;
        for (size_t b = 0; b < encoded.output.size(); b += AsFormat(format)->nBlockAlign)
            extraUsed |= encoded.output[b] >= 7;
        if (flags != 0) {
            EXPECT_TRUE(extraUsed) << "High Quality never picked an extra pair";
        }
    }
}

// Level of the component at `frequency`, relative to full scale, in dB.
double ToneLevelDb(const std::vector<int16_t>& samples, uint16_t channels, size_t first, size_t count,
                   double frequency, uint32_t rate) {
    double re = 0;
    double im = 0;
    for (size_t i = 0; i < count; ++i) {
        const double x = samples[(first + i) * channels] / 32768.0;
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        re += x * std::cos(phase);
        im -= x * std::sin(phase);
    }
    return 20 * std::log10(2 * std::hypot(re, im) / static_cast<double>(count) + 1e-12);
}

TEST(AcmCodecMp3RoundTrip, EveryFormatKeepsLengthAndTone) {
    const std::vector<FormatBlock> formats = EnumeratedFormats(WAVE_FORMAT_MPEGLAYER3);
    ASSERT_EQ(formats.size(), 216u);
    for (const FormatBlock& format : formats) {
        const WAVEFORMATEX* coded = AsFormat(format);
        SCOPED_TRACE(FormatName(format));
        const uint32_t rate = coded->nSamplesPerSec;
        const uint32_t frameSamples = rate >= 32000 ? 1152 : 576;
        const WAVEFORMATEX pcm = PcmFormat(rate, 16, coded->nChannels);
        const size_t frames = rate / 2 + 77;
        const std::vector<int16_t> tone = Tone(500, 0.5, rate, coded->nChannels, frames);
        // High Quality for the last format of each sample rate (top bit
        // rate, stereo) only: the rest runs the same code.
        const bool highQuality = (&format == &formats.back()) || AsFormat((&format)[1])->nSamplesPerSec != rate;
        RunOptions options;
        options.flags = highQuality ? ACM_STREAMOPENF_NONREALTIME : 0;
        const RunResult encoded = RunStream(&pcm, coded, ToBytes(tone), options);
        ASSERT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
        ASSERT_FALSE(encoded.output.empty());
        const double seconds = static_cast<double>(frames) / rate;
        const double expectedBytes = seconds * coded->nAvgBytesPerSec;
        EXPECT_LT(std::abs(static_cast<double>(encoded.output.size()) - expectedBytes),
                  3.0 * frameSamples * coded->nAvgBytesPerSec / rate + 8);

        const RunResult decoded = RunStream(coded, &pcm, encoded.output);
        ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
        const std::vector<int16_t> samples = ToSamples(decoded.output);
        const size_t decodedFrames = samples.size() / coded->nChannels;
        // The encoder's delay comes first; the tail is padded to a frame.
        ASSERT_GE(decodedFrames, frames + 576);
        EXPECT_LE(decodedFrames, frames + 576 + 529 + 2 * frameSamples);
        const size_t window = rate / 10;
        const double level = ToneLevelDb(samples, coded->nChannels, decodedFrames - window - 1105, window, 500, rate);
        EXPECT_NEAR(level, 20 * std::log10(0.5), 1.5) << "the tone is not there at the end";
    }
}

}  // namespace
