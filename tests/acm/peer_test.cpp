// Against a real peer: sox reads what we write and we read what sox writes,
// sample for sample, for G.711, IEEE float and 24-bit / float extensible.
#include <gtest/gtest.h>

#include <vector>

#include "acm_test_support.h"
#include "formats/AudioFormat.h"
#include "support/PeerCommand.h"
#include "support/ScratchFolder.h"
#include "support/WaveFile.h"

using testsupport::PcmFormat;
using testsupport::ReadWaveFile;
using testsupport::RunQuietly;
using testsupport::WaveContents;
using testsupport::WriteWaveFile;

namespace {

class AcmPeer : public testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::HaveCommand("sox")) GTEST_SKIP() << "sox is not installed";
    }

    // Converts with the layer; fails the test on any error.
    static std::vector<uint8_t> Convert(const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                                        const std::vector<uint8_t>& data) {
        const acmtest::StreamResult result = acmtest::RunStream(*src, *dst, data);
        EXPECT_EQ(result.result, MMSYSERR_NOERROR);
        return result.output;
    }

    // A tone with noise on top, every channel different.
    static std::vector<uint8_t> TestSignal16(uint32_t rate, uint16_t channels, size_t frames) {
        std::vector<uint8_t> tone = testsupport::ToneBytes(997, 0.7, rate, channels, frames);
        const std::vector<uint8_t> noise = testsupport::Noise(tone.size(), 11);
        for (size_t i = 0; i < tone.size(); i += 2) tone[i] ^= noise[i];  // low bytes only
        return tone;
    }

    testsupport::ScratchFolder m_folder;
};

std::string Q(const std::string& path) { return testsupport::ShellQuoted(path); }

}  // namespace

TEST_F(AcmPeer, G711BothWays) {
    struct Case {
        const char* soxEncoding;
        uint16_t tag;
    };
    for (const Case c : {Case{"a-law", WAVE_FORMAT_ALAW}, Case{"u-law", WAVE_FORMAT_MULAW}}) {
        SCOPED_TRACE(c.soxEncoding);
        const WAVEFORMATEX pcm = PcmFormat(8000, 16, 2);
        // sox rounds to 13 (A-law) or 14 (u-law) bits where G.711 truncates:
        // samples on that grid make both encodings comparable bit for bit.
        std::vector<uint8_t> input = TestSignal16(8000, 2, 16000);
        for (size_t i = 0; i < input.size(); i += 2) input[i] &= 0xF8;
        const std::string in = m_folder.File("in.wav");
        ASSERT_TRUE(WriteWaveFile(in, &pcm, input));

        // sox encodes: our decoding equals sox's, and so does our encoding.
        const std::string coded = m_folder.File("sox-coded.wav");
        const std::string soxDecoded = m_folder.File("sox-decoded.wav");
        ASSERT_TRUE(RunQuietly("sox -D " + Q(in) + " -e " + c.soxEncoding + " " + Q(coded)));
        ASSERT_TRUE(RunQuietly("sox -D " + Q(coded) + " -e signed -b 16 " + Q(soxDecoded)));
        WaveContents soxCoded, soxPcm;
        ASSERT_TRUE(ReadWaveFile(coded, soxCoded));
        ASSERT_TRUE(ReadWaveFile(soxDecoded, soxPcm));
        ASSERT_EQ(soxCoded.Format()->wFormatTag, c.tag);
        CAudioFormat codedFormat(soxCoded.Format());
        ASSERT_TRUE(codedFormat.IsAvailable());
        CAudioFormat suggested;
        ASSERT_TRUE(codedFormat.SuggestFormat(WAVE_FORMAT_PCM, suggested));
        ASSERT_TRUE(suggested.IsEqual(CAudioFormat(&pcm)));
        EXPECT_TRUE(acmtest::SameBytes(Convert(codedFormat.GetFormat(), &pcm, soxCoded.data), soxPcm.data));

        CAudioFormat ourFormat;
        ASSERT_TRUE(CAudioFormat(&pcm).SuggestFormat(c.tag, ourFormat));
        const std::vector<uint8_t> ourCoded = Convert(&pcm, ourFormat.GetFormat(), input);
        EXPECT_TRUE(acmtest::SameBytes(ourCoded, soxCoded.data)) << "encodings differ";

        // sox decodes ours to what we decode.
        const std::string ours = m_folder.File("ours-coded.wav");
        const std::string oursBySox = m_folder.File("ours-by-sox.wav");
        ASSERT_TRUE(WriteWaveFile(ours, ourFormat.GetFormat(), ourCoded));
        ASSERT_TRUE(RunQuietly("sox -D " + Q(ours) + " -e signed -b 16 " + Q(oursBySox)));
        WaveContents soxOfOurs;
        ASSERT_TRUE(ReadWaveFile(oursBySox, soxOfOurs));
        EXPECT_TRUE(acmtest::SameBytes(soxOfOurs.data, Convert(ourFormat.GetFormat(), &pcm, ourCoded)));
    }
}

TEST_F(AcmPeer, FloatAndFloatExtensibleBothWays) {
    for (uint16_t channels : {uint16_t{2}, uint16_t{6}}) {
        SCOPED_TRACE(channels);
        const WAVEFORMATEX pcm16 = PcmFormat(44100, 16, channels);
        const WAVEFORMATEX pcm32 = PcmFormat(44100, 32, channels);
        const std::vector<uint8_t> input = TestSignal16(44100, channels, 20000);
        const std::string in = m_folder.File("in.wav");
        ASSERT_TRUE(WriteWaveFile(in, &pcm16, input));
        const std::string floats = m_folder.File("float.wav");
        ASSERT_TRUE(RunQuietly("sox -D " + Q(in) + " -e floating-point -b 32 " + Q(floats)));
        WaveContents soxFloat;
        ASSERT_TRUE(ReadWaveFile(floats, soxFloat));
        EXPECT_EQ(soxFloat.Format()->wFormatTag, WAVE_FORMAT_IEEE_FLOAT);

        // sox's floats decode to the 16-bit input in the top bits.
        const std::vector<uint8_t> decoded = Convert(soxFloat.Format(), &pcm32, soxFloat.data);
        EXPECT_TRUE(acmtest::SameBytes(Convert(&pcm32, &pcm16, decoded), input));

        // Our floats, written the way sox wrote its own, read back by sox.
        const std::vector<uint8_t> ourFloats = Convert(&pcm32, soxFloat.Format(), decoded);
        EXPECT_TRUE(acmtest::SameBytes(ourFloats, soxFloat.data));
        const std::string ours = m_folder.File("ours.wav");
        const std::string back = m_folder.File("back.wav");
        ASSERT_TRUE(testsupport::WriteBytes(ours, testsupport::WaveFileBytes(soxFloat.format, ourFloats)));
        ASSERT_TRUE(RunQuietly("sox -D " + Q(ours) + " -e signed -b 16 " + Q(back)));
        WaveContents soxBack;
        ASSERT_TRUE(ReadWaveFile(back, soxBack));
        EXPECT_TRUE(acmtest::SameBytes(soxBack.data, input));
    }
}

TEST_F(AcmPeer, Extensible24BitMultichannelBothWays) {
    const WAVEFORMATEX pcm24 = PcmFormat(48000, 24, 6);
    std::vector<uint8_t> input = testsupport::Noise(pcm24.nBlockAlign * 8000, 5);
    const std::string in = m_folder.File("in.raw");
    // Raw samples in; sox writes the extensible file.
    ASSERT_TRUE(testsupport::WriteBytes(in, input));
    const std::string ext = m_folder.File("ext.wav");
    ASSERT_TRUE(RunQuietly("sox -D -t raw -r 48000 -e signed -b 24 -c 6 " + Q(in) + " " + Q(ext)));
    WaveContents soxExt;
    ASSERT_TRUE(ReadWaveFile(ext, soxExt));
    ASSERT_EQ(soxExt.Format()->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    CAudioFormat extFormat(soxExt.Format());
    ACMFORMATDETAILS details;
    ASSERT_TRUE(extFormat.GetFormatDetails(details));
    EXPECT_STREQ(details.szFormat, "48.000 kHz, 24 Bit, 6 Channels");
    CAudioFormat suggested;
    ASSERT_TRUE(extFormat.SuggestFormat(WAVE_FORMAT_PCM, suggested));
    ASSERT_TRUE(suggested.IsEqual(CAudioFormat(&pcm24)));
    EXPECT_TRUE(acmtest::SameBytes(Convert(extFormat.GetFormat(), &pcm24, soxExt.data), input));

    // Our extensible block for the PCM, read by sox.
    CAudioFormat ours;
    ASSERT_TRUE(CAudioFormat(&pcm24).SuggestFormat(WAVE_FORMAT_EXTENSIBLE, ours));
    EXPECT_EQ(ours.GetSize(), 40u);
    const std::string written = m_folder.File("ours.wav");
    const std::string back = m_folder.File("back.raw");
    ASSERT_TRUE(WriteWaveFile(written, ours.GetFormat(), Convert(&pcm24, ours.GetFormat(), input)));
    ASSERT_TRUE(RunQuietly("sox -D " + Q(written) + " -t raw -e signed -b 24 " + Q(back)));
    EXPECT_TRUE(acmtest::SameBytes(testsupport::ReadBytes(back), input));
}
