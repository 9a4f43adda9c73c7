// The run with the real codecs and libraries: every pair of codecs through
// chains of two, three and four formats, pieces the streams refuse, tails
// that only come out at the end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "EngineTestSupport.h"
#include "app/AppSettings.h"
#include "platform/ProfileStore.h"
#include "support/AudioFormats.h"
#include "support/PeerCommand.h"
#include "support/Signals.h"
#include "support/WaveFile.h"

namespace engine_test {
namespace {

using namespace testsupport;

struct SCodec {
    const char* name;
    CAudioFormat format;
    bool mp3File; // written by the MP3 library
};

std::vector<SCodec> Codecs()
{
    return {
        {"pcm16", PcmAudioFormat(44100, 16, 2), false},
        {"pcm8", PcmAudioFormat(22050, 8, 1), false},
        {"float", EnumeratedAudioFormat(WAVE_FORMAT_IEEE_FLOAT, 22050, 2), false},
        {"alaw", EnumeratedAudioFormat(WAVE_FORMAT_ALAW, 8000, 1), false},
        {"ulaw", EnumeratedAudioFormat(WAVE_FORMAT_MULAW, 16000, 2), false},
        {"ima", EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1), false},
        {"msadpcm", EnumeratedAudioFormat(WAVE_FORMAT_ADPCM, 11025, 2), false},
        {"gsm", EnumeratedAudioFormat(WAVE_FORMAT_GSM610, 8000, 1), false},
        {"mp3", EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 16000), true},
    };
}

// Seconds of audio in a converted file: WAVE data over its byte rate, MP3 as
// decoded by mpg123; negative when the file cannot be read.
double Duration(const std::string& path, const SCodec& codec)
{
    const WAVEFORMATEX& format = *codec.format.GetFormat();
    if (codec.mp3File) {
        const long frames = Mp3DecodedFrames(path, format.nChannels);
        return frames < 0 ? -1.0 : static_cast<double>(frames) / format.nSamplesPerSec;
    }
    WaveContents file;
    if (!ReadWaveFile(path, file) || std::memcmp(file.Format(), &format, WAVEFORMATEX_HEAD_SIZE) != 0) {
        return -1.0;
    }
    if (format.wFormatTag == WAVE_FORMAT_PCM || format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ||
        format.wFormatTag == WAVE_FORMAT_ALAW || format.wFormatTag == WAVE_FORMAT_MULAW) {
        return static_cast<double>(file.data.size()) / format.nAvgBytesPerSec;
    }
    // Block codecs: whole blocks of a known number of samples.
    uint32_t samplesPerBlock = 320;
    if (format.wFormatTag != WAVE_FORMAT_GSM610) {
        samplesPerBlock = SamplesPerBlock(file.format);
    }
    const double blocks = static_cast<double>(file.data.size()) / format.nBlockAlign;
    return blocks * samplesPerBlock / format.nSamplesPerSec;
}

class RunCodecs : public ::testing::Test {
protected:
    void SetUp() override { m_libraries = LoadLibraries(); }

    std::string Extension(const SCodec& codec) const { return codec.mp3File ? ".mp3" : ".wav"; }
    const CFileFormatLibrary* Writer(const SCodec& codec) const
    {
        return codec.mp3File ? m_libraries->mp3 : m_libraries->wave;
    }

    UserScratchFolder m_folder;
    std::unique_ptr<SLibraries> m_libraries;
};

TEST_F(RunCodecs, EveryPairConvertsWithoutLosingItsEnd)
{
    if (!HaveCommand("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::vector<SCodec> codecs = Codecs();
    for (const SCodec& codec : codecs) {
        ASSERT_NE(codec.format.GetFormat(), nullptr) << codec.name;
    }
    constexpr double kSeconds = 0.5;
    const std::string master = m_folder.File("master.wav");
    WriteMusicWave(master, 44100, 2, 22050);

    // The master in every codec.
    std::vector<SRunItem> items;
    for (const SCodec& codec : codecs) {
        items.push_back(MakeItem(master, *m_libraries, Writer(codec), codec.format,
                                 m_folder.File(std::string("source-") + codec.name + Extension(codec))));
    }
    SRunResult made = RunToEnd(items, TestOptions(m_folder));
    ASSERT_TRUE(made.log.empty()) << made.log[0].messageId;
    std::vector<double> sourceSeconds;
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        sourceSeconds.push_back(Duration(items[i].destinationPath, codecs[i]));
        EXPECT_GE(sourceSeconds.back(), kSeconds - 0.001) << codecs[i].name;
        EXPECT_LE(sourceSeconds.back(), kSeconds + 0.12) << codecs[i].name;
    }

    // Every codec into every codec, in one run.
    items.clear();
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::set<std::size_t> chainLengths;
    for (std::size_t from = 0; from < codecs.size(); ++from) {
        for (std::size_t to = 0; to < codecs.size(); ++to) {
            const std::string source = m_folder.File(std::string("source-") + codecs[from].name + Extension(codecs[from]));
            const std::string destination =
                m_folder.File(std::string(codecs[from].name) + "-to-" + codecs[to].name + Extension(codecs[to]));
            items.push_back(MakeItem(source, *m_libraries, Writer(codecs[to]), codecs[to].format, destination,
                                     (from + to) % 2));
            chainLengths.insert(items.back().chain.size());
            pairs.emplace_back(from, to);
        }
    }
    EXPECT_EQ(chainLengths, (std::set<std::size_t>{2, 3, 4}));
    const SRunResult result = RunToEnd(items, TestOptions(m_folder));
    ASSERT_EQ(result.outcome, ERunOutcome::Finished);
    for (const SErrorLogEntry& entry : result.log) {
        ADD_FAILURE() << entry.messageId << " for " << entry.path;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto [from, to] = pairs[i];
        SCOPED_TRACE(std::string(codecs[from].name) + " -> " + codecs[to].name);
        EXPECT_EQ(result.outcomes[i], EItemOutcome::Converted);
        const double seconds = Duration(items[i].destinationPath, codecs[to]);
        // Whole blocks and encoder delays may add a little; nothing may go.
        EXPECT_GE(seconds, kSeconds - 0.001);
        EXPECT_LE(seconds, sourceSeconds[from] + 0.15);
    }
    EXPECT_EQ(StreamWatch::LiveStreams(), 0);
}

TEST_F(RunCodecs, SameFormatCopiesEveryByte)
{
    const CAudioFormat format = PcmAudioFormat(44100, 16, 2);
    const std::vector<uint8_t> data = ToBytes(MusicSignal(44100, 2, 100000));
    const std::string source = m_folder.File("copy-source.wav");
    WriteWaveFile(source, format.GetFormat(), data);
    const std::string destination = m_folder.File("copy.wav");
    const SRunResult result =
        RunToEnd({MakeItem(source, *m_libraries, m_libraries->wave, format, destination)}, TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    WaveContents copy;
    ASSERT_TRUE(ReadWaveFile(destination, copy));
    EXPECT_TRUE(copy.data == data);
}

TEST_F(RunCodecs, RefusedFinalPieceIsPaddedWithSilence)
{
    // 1000 frames and one byte of 16-bit mono: the last byte is less than a
    // frame, so it goes in padded to 51 bytes, of which 25 frames convert.
    const CAudioFormat source = PcmAudioFormat(44100, 16, 1);
    const CAudioFormat destination = PcmAudioFormat(44100, 8, 1);
    const std::vector<uint8_t> whole = ToBytes(MusicSignal(44100, 1, 1001));
    const std::vector<uint8_t> odd(whole.begin(), whole.begin() + 2001);
    const std::vector<uint8_t> even(whole.begin(), whole.begin() + 2000);
    WriteWaveFile(m_folder.File("odd.wav"), source.GetFormat(), odd);
    WriteWaveFile(m_folder.File("even.wav"), source.GetFormat(), even);

    const SRunResult result = RunToEnd(
        {MakeItem(m_folder.File("odd.wav"), *m_libraries, m_libraries->wave, destination, m_folder.File("odd-8.wav"), 0),
         MakeItem(m_folder.File("even.wav"), *m_libraries, m_libraries->wave, destination, m_folder.File("even-8.wav"),
                  0)},
        TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    WaveContents padded;
    WaveContents reference;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("odd-8.wav"), padded));
    ASSERT_TRUE(ReadWaveFile(m_folder.File("even-8.wav"), reference));
    ASSERT_EQ(reference.data.size(), 1000u);
    ASSERT_EQ(padded.data.size(), 1025u);
    EXPECT_TRUE(std::equal(reference.data.begin(), reference.data.end(), padded.data.begin()));
    for (std::size_t i = 1001; i < padded.data.size(); ++i) {
        EXPECT_EQ(padded.data[i], 128) << i;
    }
}

TEST_F(RunCodecs, EncoderTakesAPartialLastBlockAsAWholeOne)
{
    const CAudioFormat ima = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    ASSERT_NE(ima.GetFormat(), nullptr);
    const WAVEFORMATEX& block = *ima.GetFormat();
    const uint32_t samplesPerBlock = SamplesPerBlock(ima);
    const uint32_t frames = samplesPerBlock * 3 + samplesPerBlock / 2;
    WriteMusicWave(m_folder.File("partial.wav"), 22050, 1, frames);
    const SRunResult result = RunToEnd(
        {MakeItem(m_folder.File("partial.wav"), *m_libraries, m_libraries->wave, ima, m_folder.File("partial-ima.wav"))},
        TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    WaveContents encoded;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("partial-ima.wav"), encoded));
    EXPECT_EQ(encoded.data.size(), 4u * block.nBlockAlign);
}

TEST_F(RunCodecs, Mp3KeepsItsTailWithLargeAndSmallBuffers)
{
    if (!HaveCommand("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    constexpr uint32_t kFrames = 88200;
    const std::string source = m_folder.File("tail.wav");
    WriteMusicWave(source, 44100, 2, kFrames);
    const CAudioFormat mp3 = EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 16000);
    // 262144 bytes: two cycles. 4900 bytes: each cycle reads 1113 frames,
    // less than one MP3 frame, so the encoder consumes without producing;
    // its output buffer (444 bytes) still takes one frame.
    for (const int32_t bufferSize : {262144, 4900}) {
        SCOPED_TRACE(bufferSize);
        ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey, bufferSize));
        const std::string destination = m_folder.File("tail-" + std::to_string(bufferSize) + ".mp3");
        for (const uint32_t quality : {1u, 0u}) {
            const SRunResult result =
                RunToEnd({MakeItem(source, *m_libraries, m_libraries->mp3, mp3, destination, quality)},
                         TestOptions(m_folder));
            ASSERT_TRUE(result.log.empty()) << result.log[0].messageId;
            const long decoded = Mp3DecodedFrames(destination, 2);
            // The encoder delay and the last frame's padding come on top;
            // with a lost tail or repeated input the count leaves this range.
            EXPECT_GE(decoded, static_cast<long>(kFrames));
            EXPECT_LE(decoded, static_cast<long>(kFrames) + 3 * 1152);
        }
    }
}

TEST_F(RunCodecs, ThreeStepChainDrainsCompletely)
{
    if (!HaveCommand("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::string master = m_folder.File("drain.wav");
    WriteMusicWave(master, 44100, 2, 66150);
    const std::string mp3 = m_folder.File("drain.mp3");
    ASSERT_TRUE(RunToEnd({MakeItem(master, *m_libraries, m_libraries->mp3,
                                   EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 16000), mp3)},
                         TestOptions(m_folder))
                    .log.empty());
    const double mp3Seconds = Mp3DecodedFrames(mp3, 2) / 44100.0;

    // MP3 -> PCM 44.1 kHz stereo -> PCM 22.05 kHz mono -> MS ADPCM, with
    // small buffers so that the draining takes several cycles.
    const CAudioFormat msadpcm = EnumeratedAudioFormat(WAVE_FORMAT_ADPCM, 22050, 1);
    ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey, 24000));
    const SRunItem item = MakeItem(mp3, *m_libraries, m_libraries->wave, msadpcm, m_folder.File("drain-ms.wav"));
    ASSERT_EQ(item.chain.size(), 4u);
    const SRunResult result = RunToEnd({item}, TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty()) << result.log[0].messageId;
    WaveContents out;
    ASSERT_TRUE(ReadWaveFile(item.destinationPath, out));
    const uint32_t samplesPerBlock = SamplesPerBlock(out.format);
    const double seconds =
        static_cast<double>(out.data.size()) / out.Format()->nBlockAlign * samplesPerBlock / 22050.0;
    EXPECT_GE(seconds, mp3Seconds - 0.001);
    EXPECT_LE(seconds, mp3Seconds + static_cast<double>(samplesPerBlock) / 22050.0 + 0.001);
}

} // namespace
} // namespace engine_test
