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

namespace engine_test {
namespace {

struct SCodec {
    const char* name;
    CAudioFormat format;
    bool mp3File; // written by the MP3 library
};

std::vector<SCodec> Codecs()
{
    return {
        {"pcm16", Pcm(44100, 16, 2), false},
        {"pcm8", Pcm(22050, 8, 1), false},
        {"float", Enumerated(WAVE_FORMAT_IEEE_FLOAT, 22050, 2), false},
        {"alaw", Enumerated(WAVE_FORMAT_ALAW, 8000, 1), false},
        {"ulaw", Enumerated(WAVE_FORMAT_MULAW, 16000, 2), false},
        {"ima", Enumerated(WAVE_FORMAT_IMA_ADPCM, 22050, 1), false},
        {"msadpcm", Enumerated(WAVE_FORMAT_ADPCM, 11025, 2), false},
        {"gsm", Enumerated(WAVE_FORMAT_GSM610, 8000, 1), false},
        {"mp3", Enumerated(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 128), true},
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
    SAudioFile file;
    if (!ReadWave(path, file) || std::memcmp(file.Format(), &format, WAVEFORMATEX_HEAD_SIZE) != 0) {
        return -1.0;
    }
    if (format.wFormatTag == WAVE_FORMAT_PCM || format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ||
        format.wFormatTag == WAVE_FORMAT_ALAW || format.wFormatTag == WAVE_FORMAT_MULAW) {
        return static_cast<double>(file.data.size()) / format.nAvgBytesPerSec;
    }
    // Block codecs: whole blocks of a known number of samples.
    uint32_t samplesPerBlock = 320;
    if (format.wFormatTag != WAVE_FORMAT_GSM610) {
        samplesPerBlock = file.Format()->cbSize >= 2 ? *reinterpret_cast<const uint16_t*>(file.format.data() + 18) : 0;
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

    ScratchFolder m_folder;
    std::unique_ptr<SLibraries> m_libraries;
};

TEST_F(RunCodecs, EveryPairConvertsWithoutLosingItsEnd)
{
    if (!HaveTool("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::vector<SCodec> codecs = Codecs();
    for (const SCodec& codec : codecs) {
        ASSERT_NE(codec.format.GetFormat(), nullptr) << codec.name;
    }
    constexpr double kSeconds = 0.5;
    const std::string master = m_folder.File("master.wav");
    WriteWave(master, codecs[0].format, AsBytes(MusicSamples(44100, 2, 22050)));

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
    const CAudioFormat format = Pcm(44100, 16, 2);
    const std::vector<uint8_t> data = AsBytes(MusicSamples(44100, 2, 100000));
    const std::string source = m_folder.File("copy-source.wav");
    WriteWave(source, format, data);
    const std::string destination = m_folder.File("copy.wav");
    const SRunResult result =
        RunToEnd({MakeItem(source, *m_libraries, m_libraries->wave, format, destination)}, TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    SAudioFile copy;
    ASSERT_TRUE(ReadWave(destination, copy));
    EXPECT_TRUE(copy.data == data);
}

TEST_F(RunCodecs, RefusedFinalPieceIsPaddedWithSilence)
{
    // 1000 frames and one byte of 16-bit mono: the last byte is less than a
    // frame, so it goes in padded to 51 bytes, of which 25 frames convert.
    const CAudioFormat source = Pcm(44100, 16, 1);
    const CAudioFormat destination = Pcm(44100, 8, 1);
    const std::vector<uint8_t> whole = AsBytes(MusicSamples(44100, 1, 1001));
    const std::vector<uint8_t> odd(whole.begin(), whole.begin() + 2001);
    const std::vector<uint8_t> even(whole.begin(), whole.begin() + 2000);
    WriteWave(m_folder.File("odd.wav"), source, odd);
    WriteWave(m_folder.File("even.wav"), source, even);

    const SRunResult result = RunToEnd(
        {MakeItem(m_folder.File("odd.wav"), *m_libraries, m_libraries->wave, destination, m_folder.File("odd-8.wav"), 0),
         MakeItem(m_folder.File("even.wav"), *m_libraries, m_libraries->wave, destination, m_folder.File("even-8.wav"),
                  0)},
        TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    SAudioFile padded;
    SAudioFile reference;
    ASSERT_TRUE(ReadWave(m_folder.File("odd-8.wav"), padded));
    ASSERT_TRUE(ReadWave(m_folder.File("even-8.wav"), reference));
    ASSERT_EQ(reference.data.size(), 1000u);
    ASSERT_EQ(padded.data.size(), 1025u);
    EXPECT_TRUE(std::equal(reference.data.begin(), reference.data.end(), padded.data.begin()));
    for (std::size_t i = 1001; i < padded.data.size(); ++i) {
        EXPECT_EQ(padded.data[i], 128) << i;
    }
}

TEST_F(RunCodecs, EncoderTakesAPartialLastBlockAsAWholeOne)
{
    const CAudioFormat ima = Enumerated(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    ASSERT_NE(ima.GetFormat(), nullptr);
    const WAVEFORMATEX& block = *ima.GetFormat();
    const uint32_t samplesPerBlock = *reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(&block) + 18);
    const uint32_t frames = samplesPerBlock * 3 + samplesPerBlock / 2;
    WriteWave(m_folder.File("partial.wav"), Pcm(22050, 16, 1), AsBytes(MusicSamples(22050, 1, frames)));
    const SRunResult result = RunToEnd(
        {MakeItem(m_folder.File("partial.wav"), *m_libraries, m_libraries->wave, ima, m_folder.File("partial-ima.wav"))},
        TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty());
    SAudioFile encoded;
    ASSERT_TRUE(ReadWave(m_folder.File("partial-ima.wav"), encoded));
    EXPECT_EQ(encoded.data.size(), 4u * block.nBlockAlign);
}

TEST_F(RunCodecs, Mp3KeepsItsTailWithLargeAndSmallBuffers)
{
    if (!HaveTool("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    constexpr uint32_t kFrames = 88200;
    const std::string source = m_folder.File("tail.wav");
    WriteWave(source, Pcm(44100, 16, 2), AsBytes(MusicSamples(44100, 2, kFrames)));
    const CAudioFormat mp3 = Enumerated(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 128);
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
    if (!HaveTool("mpg123")) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::string master = m_folder.File("drain.wav");
    WriteWave(master, Pcm(44100, 16, 2), AsBytes(MusicSamples(44100, 2, 66150)));
    const std::string mp3 = m_folder.File("drain.mp3");
    ASSERT_TRUE(RunToEnd({MakeItem(master, *m_libraries, m_libraries->mp3,
                                   Enumerated(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 128), mp3)},
                         TestOptions(m_folder))
                    .log.empty());
    const double mp3Seconds = Mp3DecodedFrames(mp3, 2) / 44100.0;

    // MP3 -> PCM 44.1 kHz stereo -> PCM 22.05 kHz mono -> MS ADPCM, with
    // small buffers so that the draining takes several cycles.
    const CAudioFormat msadpcm = Enumerated(WAVE_FORMAT_ADPCM, 22050, 1);
    ASSERT_TRUE(ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey, 24000));
    const SRunItem item = MakeItem(mp3, *m_libraries, m_libraries->wave, msadpcm, m_folder.File("drain-ms.wav"));
    ASSERT_EQ(item.chain.size(), 4u);
    const SRunResult result = RunToEnd({item}, TestOptions(m_folder));
    ASSERT_TRUE(result.log.empty()) << result.log[0].messageId;
    SAudioFile out;
    ASSERT_TRUE(ReadWave(item.destinationPath, out));
    const uint32_t samplesPerBlock = *reinterpret_cast<const uint16_t*>(out.format.data() + 18);
    const double seconds =
        static_cast<double>(out.data.size()) / out.Format()->nBlockAlign * samplesPerBlock / 22050.0;
    EXPECT_GE(seconds, mp3Seconds - 0.001);
    EXPECT_LE(seconds, mp3Seconds + static_cast<double>(samplesPerBlock) / 22050.0 + 0.001);
}

} // namespace
} // namespace engine_test
