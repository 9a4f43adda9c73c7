// Bad input, per codec: inconsistent format blocks are refused before any
// arithmetic, damaged blocks fail their convert, cut-off blocks decode what
// they hold, and random bytes never make a decoder read or write out of
// bounds (ASan and UBSan watch).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "codec_test_support.h"

using namespace codectest;
using namespace testsupport;

namespace {

void Put16(FormatBlock& block, size_t offset, uint16_t value) {
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// The standard format of `tag` at rate and channels.
FormatBlock Standard(uint16_t tag, uint32_t rate, uint16_t channels) {
    for (const FormatBlock& format : EnumeratedFormats(tag))
        if (AsFormat(format)->nSamplesPerSec == rate && AsFormat(format)->nChannels == channels) return format;
    ADD_FAILURE() << "no standard format " << tag << " " << rate << " " << channels;
    return FormatBlock(18, 0);
}

bool Described(const FormatBlock& format) {
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = AsFormat(format)->wFormatTag;
    details.pwfx = const_cast<WAVEFORMATEX*>(AsFormat(format));
    details.cbwfx = static_cast<uint32_t>(format.size());
    return acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) == MMSYSERR_NOERROR;
}

MMRESULT QueryOpen(const void* src, const void* dst) {
    return acmStreamOpen(nullptr, nullptr, static_cast<const WAVEFORMATEX*>(src),
                         static_cast<const WAVEFORMATEX*>(dst), nullptr, 0, 0, ACM_STREAMOPENF_QUERY);
}

struct FormatDamage {
    const char* what;
    uint16_t tag;
    uint32_t rate;
    uint16_t channels;
    std::function<void(FormatBlock&)> damage;
};

TEST(AcmCodecDamage, InconsistentFormatsAreRefused) {
    const FormatDamage cases[] = {
        {"IMA: block align below one header per channel", WAVE_FORMAT_IMA_ADPCM, 22050, 2,
         [](FormatBlock& f) { AsFormat(f)->nBlockAlign = 4; }},
        {"IMA: block align not whole words per channel", WAVE_FORMAT_IMA_ADPCM, 22050, 2,
         [](FormatBlock& f) { AsFormat(f)->nBlockAlign = 1020; }},
        {"IMA: samples per block disagree", WAVE_FORMAT_IMA_ADPCM, 22050, 2,
         [](FormatBlock& f) { Put16(f, 18, 1016); }},
        {"IMA: no extra bytes", WAVE_FORMAT_IMA_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->cbSize = 0; }},
        {"IMA: extra bytes beyond the block", WAVE_FORMAT_IMA_ADPCM, 8000, 1,
         [](FormatBlock& f) {
             AsFormat(f)->cbSize = 4;
             f.resize(22, 0);
         }},
        {"IMA: 3 bits", WAVE_FORMAT_IMA_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->wBitsPerSample = 3; }},
        {"IMA: no channels", WAVE_FORMAT_IMA_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->nChannels = 0; }},
        {"IMA: no rate", WAVE_FORMAT_IMA_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->nSamplesPerSec = 0; }},
        {"IMA: no byte rate", WAVE_FORMAT_IMA_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->nAvgBytesPerSec = 0; }},
        {"MS: block align below one header per channel", WAVE_FORMAT_ADPCM, 22050, 2,
         [](FormatBlock& f) {
             AsFormat(f)->nBlockAlign = 13;
             Put16(f, 18, 2);
         }},
        {"MS: samples per block disagree", WAVE_FORMAT_ADPCM, 22050, 2, [](FormatBlock& f) { Put16(f, 18, 1013); }},
        {"MS: six coefficient pairs", WAVE_FORMAT_ADPCM, 8000, 1,
         [](FormatBlock& f) {
             Put16(f, 20, 6);
             AsFormat(f)->cbSize = 28;
             f.resize(18 + 28);
         }},
        {"MS: 257 coefficient pairs", WAVE_FORMAT_ADPCM, 8000, 1,
         [](FormatBlock& f) {
             Put16(f, 20, 257);
             AsFormat(f)->cbSize = 4 + 4 * 257;
             f.resize(18 + 4 + 4 * 257, 0);
         }},
        {"MS: more pairs than the extra bytes hold", WAVE_FORMAT_ADPCM, 8000, 1,
         [](FormatBlock& f) { Put16(f, 20, 8); }},
        {"MS: extra bytes too short for the counts", WAVE_FORMAT_ADPCM, 8000, 1,
         [](FormatBlock& f) {
             AsFormat(f)->cbSize = 2;
             f.resize(20);
         }},
        {"MS: three channels", WAVE_FORMAT_ADPCM, 8000, 1,
         [](FormatBlock& f) {
             AsFormat(f)->nChannels = 3;
             AsFormat(f)->nBlockAlign = 3 * 256 + 3;
             Put16(f, 18, (3 * 256 + 3 - 21) * 2 / 3 + 2);
         }},
        {"MS: 8 bits", WAVE_FORMAT_ADPCM, 8000, 1, [](FormatBlock& f) { AsFormat(f)->wBitsPerSample = 8; }},
        {"GSM: 64-byte blocks", WAVE_FORMAT_GSM610, 8000, 1, [](FormatBlock& f) { AsFormat(f)->nBlockAlign = 64; }},
        {"GSM: 160 samples per block", WAVE_FORMAT_GSM610, 8000, 1, [](FormatBlock& f) { Put16(f, 18, 160); }},
        {"GSM: stereo", WAVE_FORMAT_GSM610, 8000, 1, [](FormatBlock& f) { AsFormat(f)->nChannels = 2; }},
        {"GSM: no extra bytes", WAVE_FORMAT_GSM610, 8000, 1, [](FormatBlock& f) { AsFormat(f)->cbSize = 0; }},
        {"MP3: a rate no MPEG version has", WAVE_FORMAT_MPEGLAYER3, 44100, 2,
         [](FormatBlock& f) { AsFormat(f)->nSamplesPerSec = 44000; }},
        {"MP3: three channels", WAVE_FORMAT_MPEGLAYER3, 44100, 2, [](FormatBlock& f) { AsFormat(f)->nChannels = 3; }},
        {"MP3: no extra bytes", WAVE_FORMAT_MPEGLAYER3, 44100, 2, [](FormatBlock& f) { AsFormat(f)->cbSize = 0; }},
        {"MP3: no byte rate", WAVE_FORMAT_MPEGLAYER3, 44100, 2,
         [](FormatBlock& f) { AsFormat(f)->nAvgBytesPerSec = 0; }},
    };
    for (const FormatDamage& c : cases) {
        SCOPED_TRACE(c.what);
        FormatBlock format = Standard(c.tag, c.rate, c.channels);
        ASSERT_TRUE(Described(format));
        c.damage(format);
        EXPECT_FALSE(Described(format));
        const WAVEFORMATEX pcm = PcmFormat(c.rate, 16, c.channels);
        EXPECT_NE(QueryOpen(format.data(), &pcm), MMSYSERR_NOERROR);
        EXPECT_NE(QueryOpen(&pcm, format.data()), MMSYSERR_NOERROR);
    }
}

TEST(AcmCodecDamage, Mp3EncodesOnlyValidPairs) {
    struct Pair {
        uint32_t rate;
        uint32_t bytesPerSecond;
    };
    // Each decodes (a stream says what it is) but none can be encoded.
    for (const Pair p : {Pair{44100, 1000}, Pair{8000, 16000}, Pair{22050, 40000}, Pair{48000, 16001}}) {
        SCOPED_TRACE(std::to_string(p.rate) + " Hz " + std::to_string(p.bytesPerSecond) + " B/s");
        FormatBlock format = Standard(WAVE_FORMAT_MPEGLAYER3, 44100, 2);
        AsFormat(format)->nSamplesPerSec = p.rate;
        AsFormat(format)->nAvgBytesPerSec = p.bytesPerSecond;
        EXPECT_TRUE(Described(format));
        const WAVEFORMATEX pcm = PcmFormat(p.rate, 16, 2);
        EXPECT_EQ(QueryOpen(format.data(), &pcm), MMSYSERR_NOERROR);
        EXPECT_EQ(QueryOpen(&pcm, format.data()), ACMERR_NOTPOSSIBLE);
    }
}

// Encodes `blocks` blocks of music with the standard format.
std::vector<uint8_t> EncodeBlocks(const FormatBlock& format, size_t frames) {
    const WAVEFORMATEX pcm = PcmFormat(AsFormat(format)->nSamplesPerSec, 16, AsFormat(format)->nChannels);
    const RunResult encoded =
        RunStream(&pcm, format.data(), ToBytes(MusicSignal(pcm.nSamplesPerSec, pcm.nChannels, frames)));
    EXPECT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
    return encoded.output;
}

TEST(AcmCodecDamage, DamagedBlocksFailTheirConvert) {
    struct BlockDamage {
        const char* what;
        uint16_t tag;
        uint16_t channels;
        size_t offset;  // of the damaged byte in the second block
        uint8_t value;
    };
    const BlockDamage cases[] = {
        {"IMA: step index 89, first channel", WAVE_FORMAT_IMA_ADPCM, 1, 2, 89},
        {"IMA: step index 255, second channel", WAVE_FORMAT_IMA_ADPCM, 2, 6, 255},
        {"MS: predictor 7 of 7", WAVE_FORMAT_ADPCM, 1, 0, 7},
        {"MS: predictor 200, second channel", WAVE_FORMAT_ADPCM, 2, 1, 200},
    };
    for (const BlockDamage& c : cases) {
        SCOPED_TRACE(c.what);
        const FormatBlock format = Standard(c.tag, 11025, c.channels);
        const WAVEFORMATEX pcm = PcmFormat(11025, 16, c.channels);
        std::vector<uint8_t> coded = EncodeBlocks(format, 3000);
        ASSERT_GT(coded.size(), 2u * AsFormat(format)->nBlockAlign);
        ASSERT_EQ(RunStream(format.data(), &pcm, coded).convertResult, MMSYSERR_NOERROR);
        coded[AsFormat(format)->nBlockAlign + c.offset] = c.value;
        EXPECT_EQ(RunStream(format.data(), &pcm, coded).convertResult, MMSYSERR_ERROR);
    }
}

TEST(AcmCodecDamage, CutOffBlocksDecodeWhatTheyHold) {
    struct Cut {
        uint16_t tag;
        uint16_t channels;
        // Samples per channel that `length` bytes of a block decode to.
        std::function<size_t(size_t length)> samples;
    };
    const Cut cuts[] = {
        {WAVE_FORMAT_IMA_ADPCM, 1, [](size_t n) { return n < 4 ? 0 : 1 + (n - 4) / 4 * 8; }},
        {WAVE_FORMAT_IMA_ADPCM, 2, [](size_t n) { return n < 8 ? 0 : 1 + (n - 8) / 8 * 8; }},
        {WAVE_FORMAT_ADPCM, 1, [](size_t n) { return n < 7 ? 0 : 2 + (n - 7) * 2; }},
        {WAVE_FORMAT_ADPCM, 2, [](size_t n) { return n < 14 ? 0 : 2 + (n - 14); }},
        {WAVE_FORMAT_GSM610, 1, [](size_t n) { return n < 33 ? 0 : n < 65 ? 160 : 320; }},
    };
    for (const Cut& cut : cuts) {
        const FormatBlock format = Standard(cut.tag, 8000, cut.channels);
        const WAVEFORMATEX pcm = PcmFormat(8000, 16, cut.channels);
        const uint32_t blockAlign = AsFormat(format)->nBlockAlign;
        const std::vector<uint8_t> coded = EncodeBlocks(format, 2000);
        ASSERT_GE(coded.size(), 2u * blockAlign);
        const std::vector<uint8_t> twoBlocks(coded.begin(), coded.begin() + 2 * blockAlign);
        const std::vector<int16_t> whole = ToSamples(RunStream(format.data(), &pcm, twoBlocks).output);
        for (const size_t length : {size_t{1}, size_t{3}, size_t{7}, size_t{8}, size_t{14}, size_t{15}, size_t{33},
                                    size_t{40}, size_t{64}, size_t{blockAlign - 1}}) {
            SCOPED_TRACE(FormatName(format) + ", cut to " + std::to_string(length) + " bytes");
            // A whole block, then the cut one, in one convert without alignment.
            std::vector<uint8_t> source(coded.begin(),
                                        coded.begin() + blockAlign + static_cast<std::ptrdiff_t>(length));
            HACMSTREAM stream = nullptr;
            ASSERT_EQ(acmStreamOpen(&stream, nullptr, AsFormat(format), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
            std::vector<uint8_t> room(1 << 16);
            ACMSTREAMHEADER header{};
            header.cbStruct = sizeof header;
            header.pbSrc = source.data();
            header.cbSrcLength = static_cast<uint32_t>(source.size());
            header.pbDst = room.data();
            header.cbDstLength = static_cast<uint32_t>(room.size());
            ASSERT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
            EXPECT_EQ(acmStreamConvert(stream, &header, 0), MMSYSERR_NOERROR);
            EXPECT_EQ(header.cbSrcLengthUsed, source.size());
            const size_t expected = (whole.size() / 2 / cut.channels + cut.samples(length)) * cut.channels;
            ASSERT_EQ(header.cbDstLengthUsed, expected * 2);
            std::vector<int16_t> samples(expected);
            std::memcpy(samples.data(), room.data(), expected * 2);
            // What a cut block decodes is the start of the whole block.
            EXPECT_EQ(MaxAbsDifference(samples, whole), 0);
            acmStreamUnprepareHeader(stream, &header, 0);
            acmStreamClose(stream, 0);
        }
    }
}

TEST(AcmCodecDamage, RandomBytesStayInsideTheBuffers) {
    struct Target {
        uint16_t tag;
        uint32_t rate;
        uint16_t channels;
    };
    const Target targets[] = {
        {WAVE_FORMAT_IMA_ADPCM, 8000, 1}, {WAVE_FORMAT_IMA_ADPCM, 44100, 2}, {WAVE_FORMAT_ADPCM, 8000, 1},
        {WAVE_FORMAT_ADPCM, 44100, 2},    {WAVE_FORMAT_GSM610, 8000, 1},     {WAVE_FORMAT_MPEGLAYER3, 44100, 2},
        {WAVE_FORMAT_MPEGLAYER3, 8000, 1},
    };
    std::mt19937 random(2024);
    for (const Target& t : targets) {
        FormatBlock format = Standard(t.tag, t.rate, t.channels);
        const WAVEFORMATEX pcm = PcmFormat(t.rate, 16, t.channels);
        for (int trial = 0; trial < 6; ++trial) {
            SCOPED_TRACE(FormatName(format) + ", trial " + std::to_string(trial));
            std::vector<uint8_t> bytes(AsFormat(format)->nBlockAlign * (1 + trial) + 3000 * (trial % 3) + trial);
            for (auto& b : bytes) b = static_cast<uint8_t>(random());
            if (t.tag == WAVE_FORMAT_IMA_ADPCM) {
                // Mostly valid step indexes, so the codes get decoded too.
                for (size_t i = 2; i < bytes.size(); i += 4) bytes[i] %= 89;
            }
            if (t.tag == WAVE_FORMAT_ADPCM && trial % 2 == 1) {
                // Extreme coefficients: nothing may overflow.
                for (size_t i = 22; i < format.size(); i += 2) Put16(format, i, trial == 1 ? 0x8000 : 0x7FFF);
            }
            RunOptions options;
            options.piece = 1 + 517 * static_cast<uint32_t>(trial);
            const RunResult decoded = RunStream(format.data(), &pcm, bytes, options);
            EXPECT_TRUE(decoded.convertResult == MMSYSERR_NOERROR || decoded.convertResult == MMSYSERR_ERROR)
                << decoded.convertResult;
            EXPECT_EQ(decoded.output.size() % pcm.nBlockAlign, 0u);
        }
    }
}

// Two streams of our own, one after the other, decoded as the first.
std::vector<uint8_t> Mp3Stream(uint32_t rate, uint16_t channels, size_t frames, double frequency) {
    FormatBlock format = Standard(WAVE_FORMAT_MPEGLAYER3, rate, channels);
    const WAVEFORMATEX pcm = PcmFormat(rate, 16, channels);
    const RunResult encoded = RunStream(&pcm, format.data(), ToBytes(Tone(frequency, 0.4, rate, channels, frames)));
    EXPECT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
    return encoded.output;
}

TEST(AcmCodecDamage, Mp3ChannelChangeIsRemappedRateChangeFails) {
    const FormatBlock stereo = Standard(WAVE_FORMAT_MPEGLAYER3, 44100, 2);
    const WAVEFORMATEX pcm = PcmFormat(44100, 16, 2);
    const std::vector<uint8_t> first = Mp3Stream(44100, 2, 44100, 440);
    const RunResult alone = RunStream(stereo.data(), &pcm, first);
    ASSERT_EQ(alone.convertResult, MMSYSERR_NOERROR);

    {
        SCOPED_TRACE("then mono at the same rate");
        std::vector<uint8_t> both = first;
        const std::vector<uint8_t> mono = Mp3Stream(44100, 1, 44100, 660);
        both.insert(both.end(), mono.begin(), mono.end());
        const RunResult decoded = RunStream(stereo.data(), &pcm, both);
        ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
        const std::vector<int16_t> samples = ToSamples(decoded.output);
        EXPECT_GT(samples.size(), alone.output.size() / 2 + 2 * 44100 * 9 / 10);
        // The mono part sits on both channels.
        const size_t last = samples.size() / 2 - 1000;
        for (size_t i = last - 500; i < last; ++i) ASSERT_EQ(samples[2 * i], samples[2 * i + 1]);
        EXPECT_GT(Rms(samples.data() + 2 * (last - 500), 1000), 1000);
    }
    {
        SCOPED_TRACE("then 22.05 kHz");
        std::vector<uint8_t> both = first;
        const std::vector<uint8_t> slower = Mp3Stream(22050, 2, 22050, 660);
        both.insert(both.end(), slower.begin(), slower.end());
        const RunResult decoded = RunStream(stereo.data(), &pcm, both);
        EXPECT_EQ(decoded.convertResult, MMSYSERR_ERROR);
        // What came before the change is delivered, nothing of the rest.
        EXPECT_GE(decoded.output.size(), alone.output.size() - 2 * 4 * 1152);
        EXPECT_LE(decoded.output.size(), alone.output.size());
    }
}

}  // namespace
