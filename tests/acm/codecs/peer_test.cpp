// Against real peers, both ways: ADPCM and GSM files that sox writes decode
// here as sox decodes them, ours decode in sox; MP3 frames made here play in
// mpg123, and files made by lame decode here to mpg123's length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "codec_test_support.h"

using namespace codectest;
using namespace testsupport;

namespace {

class AcmCodecPeer : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"sox", "mpg123", "lame"})
            if (!HaveCommand(tool)) GTEST_SKIP() << tool << " is not installed";
    }

    std::string Path(const std::string& name) const { return m_folder.File(name); }

    // Decodes the file with sox to 16-bit PCM.
    bool SoxDecode(const std::string& in, WaveContents& out) const {
        const std::string decoded = Path("sox-decoded.wav");
        return RunQuietly("sox " + ShellQuoted(in) + " -e signed-integer -b 16 " + ShellQuoted(decoded)) &&
               ReadWaveFile(decoded, out);
    }

    ScratchFolder m_folder;
};

struct AdpcmPeerCase {
    const char* soxOptions;
    uint16_t tag;
    uint32_t rate;
    uint16_t channels;
    int maxDifference;  // ours against sox's decode of the same file
    double bound;       // RMS error over RMS signal
};

// Both sides use the standard reconstruction (and the same libgsm): the
// decoded samples are identical.
constexpr AdpcmPeerCase kAdpcmPeerCases[] = {
    {"-e ima-adpcm", WAVE_FORMAT_IMA_ADPCM, 8000, 1, 0, 0.18},
    {"-e ima-adpcm", WAVE_FORMAT_IMA_ADPCM, 22050, 2, 0, 0.18},
    {"-e ima-adpcm", WAVE_FORMAT_IMA_ADPCM, 44100, 2, 0, 0.18},
    {"-e ms-adpcm", WAVE_FORMAT_ADPCM, 8000, 1, 0, 0.36},
    {"-e ms-adpcm", WAVE_FORMAT_ADPCM, 22050, 2, 0, 0.36},
    {"-e ms-adpcm", WAVE_FORMAT_ADPCM, 44100, 2, 0, 0.36},
    {"-t wav -e gsm-full-rate", WAVE_FORMAT_GSM610, 8000, 1, 0, 0.24},
};

std::string CaseName(const AdpcmPeerCase& c) {
    return std::string(c.soxOptions) + " " + std::to_string(c.rate) + " Hz x" + std::to_string(c.channels);
}

TEST_F(AcmCodecPeer, SoxFilesDecodeAsSoxDecodesThem) {
    for (const AdpcmPeerCase& c : kAdpcmPeerCases) {
        SCOPED_TRACE(CaseName(c));
        const size_t frames = c.rate + 1000;
        const std::vector<int16_t> signal = MusicSignal(c.rate, c.channels, frames, 3);
        const WAVEFORMATEX pcm = PcmFormat(c.rate, 16, c.channels);
        const std::string source = Path("source.wav");
        const std::string coded = Path("coded.wav");
        ASSERT_TRUE(WriteWaveFile(source, &pcm, ToBytes(signal)));
        ASSERT_TRUE(RunQuietly("sox " + ShellQuoted(source) + " " + c.soxOptions + " " + ShellQuoted(coded)));

        WaveContents file;
        ASSERT_TRUE(ReadWaveFile(coded, file));
        ASSERT_EQ(AsFormat(file.format)->wFormatTag, c.tag);
        WaveContents reference;
        ASSERT_TRUE(SoxDecode(coded, reference));
        const std::vector<int16_t> expected = ToSamples(reference.data);
        ASSERT_GE(expected.size(), frames * c.channels);

        const RunResult decoded = RunStream(file.format.data(), &pcm, file.data);
        ASSERT_EQ(decoded.openResult, MMSYSERR_NOERROR);
        ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
        const std::vector<int16_t> ours = ToSamples(decoded.output);
        // Whole blocks here; sox may stop at the length the file states.
        ASSERT_GE(ours.size(), expected.size());
        EXPECT_LE(MaxAbsDifference(ours, expected), c.maxDifference);
        EXPECT_LT(RelativeError(signal, ours), c.bound);
    }
}

TEST_F(AcmCodecPeer, OurFilesDecodeInSox) {
    for (const AdpcmPeerCase& c : kAdpcmPeerCases) {
        for (const bool highQuality : {false, true}) {
            SCOPED_TRACE(CaseName(c) + (highQuality ? " High Quality" : " Low Quality"));
            const size_t frames = c.rate + 1000;
            const std::vector<int16_t> signal = MusicSignal(c.rate, c.channels, frames, 5);
            const WAVEFORMATEX pcm = PcmFormat(c.rate, 16, c.channels);
            FormatBlock format(64);
            AsFormat(format)->wFormatTag = c.tag;
            ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, AsFormat(format), static_cast<uint32_t>(format.size()),
                                       ACM_FORMATSUGGESTF_WFORMATTAG),
                      MMSYSERR_NOERROR);
            format.resize(18 + AsFormat(format)->cbSize);

            RunOptions options;
            options.flags = highQuality ? ACM_STREAMOPENF_NONREALTIME : 0;
            const RunResult encoded = RunStream(&pcm, format.data(), ToBytes(signal), options);
            ASSERT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
            const std::string coded = Path("ours.wav");
            ASSERT_TRUE(WriteWaveFile(coded, AsFormat(format), encoded.output, static_cast<uint32_t>(frames)));

            WaveContents soxDecoded;
            ASSERT_TRUE(SoxDecode(coded, soxDecoded));
            const std::vector<int16_t> theirs = ToSamples(soxDecoded.data);
            // sox takes the stated length or every sample of the padded last block.
            const uint32_t samplesPerBlock =
                c.tag == WAVE_FORMAT_GSM610 ? 320 : static_cast<uint32_t>(format[18] | format[19] << 8);
            const size_t paddedFrames = (frames + samplesPerBlock - 1) / samplesPerBlock * samplesPerBlock;
            EXPECT_GE(theirs.size(), frames * c.channels);
            EXPECT_LE(theirs.size(), paddedFrames * c.channels);
            EXPECT_LT(RelativeError(signal, theirs), c.bound);

            const RunResult decoded = RunStream(format.data(), &pcm, encoded.output);
            ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
            EXPECT_LE(MaxAbsDifference(ToSamples(decoded.output), theirs), c.maxDifference);
        }
    }
}

// The 30-byte block the MP3 file library describes a stream with.
FormatBlock Mp3Format(uint32_t rate, uint16_t channels, uint32_t kbitPerSecond) {
    FormatBlock format(30, 0);
    MPEGLAYER3WAVEFORMAT block{};
    block.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    block.wfx.nChannels = channels;
    block.wfx.nSamplesPerSec = rate;
    block.wfx.nAvgBytesPerSec = kbitPerSecond * 125;
    block.wfx.nBlockAlign = static_cast<uint16_t>(2 * channels);
    block.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    block.wID = MPEGLAYER3_ID_MPEG;
    block.fdwFlags = 2;
    block.nBlockSize = 417;
    block.nFramesPerBlock = 1;
    block.nCodecDelay = 1393;
    std::memcpy(format.data(), &block, sizeof block);
    return format;
}

struct Mp3Case {
    uint32_t rate;
    uint16_t channels;
    uint32_t kbitPerSecond;
};

constexpr Mp3Case kMp3Cases[] = {{44100, 2, 128}, {48000, 1, 320}, {22050, 2, 64}, {16000, 1, 8}, {11025, 1, 32}};

TEST_F(AcmCodecPeer, OurMp3FramesPlayInMpg123WithTheWholeTail) {
    for (const Mp3Case& c : kMp3Cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.kbitPerSecond) + " kbit/s");
        const uint32_t frameSamples = c.rate >= 32000 ? 1152 : 576;
        const size_t frames = c.rate * 3 / 2 + 321;
        const std::vector<int16_t> tone = Tone(440, 0.5, c.rate, c.channels, frames);
        const WAVEFORMATEX pcm = PcmFormat(c.rate, 16, c.channels);
        const FormatBlock format = Mp3Format(c.rate, c.channels, c.kbitPerSecond);
        RunOptions options;
        options.room = 3000;  // smaller than what one piece encodes to
        const RunResult encoded = RunStream(&pcm, format.data(), ToBytes(tone), options);
        ASSERT_EQ(encoded.convertResult, MMSYSERR_NOERROR);
        const std::string mp3 = Path("ours.mp3");
        const std::string decodedPath = Path("mpg123.wav");
        ASSERT_TRUE(WriteBytes(mp3, encoded.output));
        ASSERT_TRUE(RunQuietly("mpg123 -q -w " + ShellQuoted(decodedPath) + " " + ShellQuoted(mp3)));
        WaveContents decoded;
        ASSERT_TRUE(ReadWaveFile(decodedPath, decoded));
        const uint16_t decodedChannels = AsFormat(decoded.format)->nChannels;
        ASSERT_EQ(decodedChannels, c.channels);
        const std::vector<int16_t> samples = ToSamples(decoded.data);
        const size_t decodedFrames = samples.size() / c.channels;
        // The encoder's delay (576) and the decoder's (529) come first; the
        // end is padded to a whole frame.
        const size_t delay = 576 + 529;
        ASSERT_GE(decodedFrames, frames + delay);
        EXPECT_LE(decodedFrames, frames + delay + frameSamples);
        // The last 100 ms of the tone are there.
        const size_t window = c.rate / 10;
        const double tail = Rms(samples.data() + (delay + frames - window) * c.channels, window * c.channels);
        EXPECT_NEAR(tail, 0.5 * 32767 / std::sqrt(2.0), 0.15 * 32767 / std::sqrt(2.0));
    }
}

TEST_F(AcmCodecPeer, LameFilesDecodeToMpg123Length) {
    struct LameCase {
        uint32_t rate;
        uint16_t channels;
        const char* options;
    };
    const LameCase cases[] = {
        {44100, 2, "-b 128"}, {44100, 2, "-V 4"}, {22050, 1, "-b 48"}, {24000, 2, "-V 6"}, {11025, 1, "-b 24"},
    };
    for (const LameCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz lame " + c.options);
        const size_t frames = c.rate + 777;
        const std::vector<int16_t> signal = MusicSignal(c.rate, c.channels, frames, 9);
        const WAVEFORMATEX pcm = PcmFormat(c.rate, 16, c.channels);
        const std::string source = Path("source.wav");
        const std::string mp3 = Path("lame.mp3");
        const std::string reference = Path("mpg123.wav");
        ASSERT_TRUE(WriteWaveFile(source, &pcm, ToBytes(signal)));
        ASSERT_TRUE(
            RunQuietly("lame --quiet " + std::string(c.options) + " " + ShellQuoted(source) + " " + ShellQuoted(mp3)));
        ASSERT_TRUE(RunQuietly("mpg123 -q -w " + ShellQuoted(reference) + " " + ShellQuoted(mp3)));
        WaveContents expected;
        ASSERT_TRUE(ReadWaveFile(reference, expected));
        std::vector<uint8_t> stream;
        ASSERT_TRUE(ReadBytes(mp3, stream));

        RunOptions options;
        options.piece = 1000;  // frames split across converts
        const RunResult decoded = RunStream(Mp3Format(c.rate, c.channels, 128).data(), &pcm, stream, options);
        ASSERT_EQ(decoded.convertResult, MMSYSERR_NOERROR);
        EXPECT_EQ(decoded.output.size(), expected.data.size());
        EXPECT_LE(MaxAbsDifference(ToSamples(decoded.output), ToSamples(expected.data)), 1);
    }
}

}  // namespace
