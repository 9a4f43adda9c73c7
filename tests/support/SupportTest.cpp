// The shared helpers where a fault would mislead every test that uses them:
// folders that stay behind or collide, settings that reach the user's real
// ones, WAVE files written or read wrongly, shell words that split, exit
// codes that get lost.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "support/AudioFormats.h"
#include "support/Environment.h"
#include "support/FileBytes.h"
#include "support/PeerCommand.h"
#include "support/ScratchFolder.h"
#include "support/Signals.h"
#include "support/WaveFile.h"

using namespace testsupport;

namespace {

TEST(ScratchFolder, IsFreshPerObjectAndGoesWithEverythingInIt)
{
    std::string firstPath;
    {
        ScratchFolder first;
        ScratchFolder second;
        firstPath = first.Path();
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_TRUE(std::filesystem::is_directory(first.Path()));
        EXPECT_TRUE(std::filesystem::is_empty(first.Path()));
        EXPECT_EQ(first.File("a.wav"), first.Path() + "/a.wav");

        // A read-only folder with a file in it must not keep the folder alive.
        const std::string locked = first.File("locked");
        ASSERT_TRUE(std::filesystem::create_directory(locked));
        ASSERT_TRUE(WriteText(locked + "/inside", "x"));
        ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(firstPath));
}

std::optional<std::string> Variable(const char* name)
{
    const char* value = getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ScopedEnvironment, PutsBackWhatWasSetAndWhatWasNot)
{
    setenv("ORVANO_TEST_SET", "before", 1);
    unsetenv("ORVANO_TEST_UNSET");
    {
        ScopedEnvironment environment;
        environment.Set("ORVANO_TEST_SET", "first");
        environment.Set("ORVANO_TEST_SET", "second");
        environment.Set("ORVANO_TEST_UNSET", "now set");
        EXPECT_EQ(Variable("ORVANO_TEST_SET"), "second");
        EXPECT_EQ(Variable("ORVANO_TEST_UNSET"), "now set");
        environment.Unset("ORVANO_TEST_SET");
        EXPECT_EQ(Variable("ORVANO_TEST_SET"), std::nullopt);
    }
    EXPECT_EQ(Variable("ORVANO_TEST_SET"), "before");
    EXPECT_EQ(Variable("ORVANO_TEST_UNSET"), std::nullopt);
    unsetenv("ORVANO_TEST_SET");
}

TEST(UserScratchFolder, IsTheUsersHomeWhileItExists)
{
    const std::optional<std::string> config = Variable("XDG_CONFIG_HOME");
    const std::optional<std::string> data = Variable("XDG_DATA_HOME");
    const std::optional<std::string> home = Variable("HOME");
    {
        UserScratchFolder folder;
        EXPECT_EQ(Variable("XDG_CONFIG_HOME"), folder.File("config"));
        EXPECT_EQ(Variable("XDG_DATA_HOME"), folder.File("data"));
        EXPECT_EQ(Variable("HOME"), folder.File("home"));
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    }
    EXPECT_EQ(Variable("XDG_CONFIG_HOME"), config);
    EXPECT_EQ(Variable("XDG_DATA_HOME"), data);
    EXPECT_EQ(Variable("HOME"), home);
}

TEST(WaveFile, WrittenFilesReadBackWithTheirLayout)
{
    ScratchFolder folder;
    struct Case {
        const char* label;
        WAVEFORMATEX format;
        Bytes data;
        uint32_t factSamples;
        size_t fileSize;  // RIFF, fmt, optional fact, data, pad
    };
    const Case cases[] = {
        {"PCM keeps a 16-byte fmt", PcmFormat(44100, 16, 2), Noise(400, 1), 0, 12 + 24 + 8 + 400},
        {"A-law has cbSize, odd data is padded", G711Format(WAVE_FORMAT_ALAW, 8000, 1), Noise(101, 2), 0,
         12 + 26 + 8 + 102},
        {"fact chunk when asked", FloatFormat(48000, 1), Noise(64, 3), 16, 12 + 26 + 12 + 8 + 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = folder.File("file.wav");
        ASSERT_TRUE(WriteWaveFile(path, &c.format, c.data, c.factSamples));
        EXPECT_EQ(ReadBytes(path).size(), c.fileSize);
        WaveContents contents;
        ASSERT_TRUE(ReadWaveFile(path, contents));
        ASSERT_EQ(contents.format.size(), 18u);
        EXPECT_EQ(std::memcmp(contents.Format(), &c.format, 16), 0);
        EXPECT_EQ(contents.Format()->cbSize, 0);
        EXPECT_EQ(contents.data, c.data);
        EXPECT_EQ(contents.factSamples, c.factSamples);
    }
}

TEST(WaveFile, ReadingRefusesWhatIsNoWaveAndCutsWhatOverruns)
{
    ScratchFolder folder;
    const std::string path = folder.File("file.wav");
    const Bytes head = FormatHead(PcmFormat(8000, 8, 1));

    WaveContents contents;
    EXPECT_FALSE(ReadWaveFile(folder.File("missing.wav"), contents));
    const auto riff = [](const Bytes& body) {
        Bytes file;
        AppendChunk(file, "RIFF", body);
        return file;
    };
    Bytes formatOnly{'W', 'A', 'V', 'E'};
    AppendChunk(formatOnly, "fmt ", head);
    Bytes dataOnly{'W', 'A', 'V', 'E'};
    AppendChunk(dataOnly, "data", Bytes(8, 1));
    Bytes otherContainer = riff(Join({formatOnly, dataOnly}));
    otherContainer[3] = 'X';
    const Bytes notWave[] = {{}, otherContainer, riff({'W', 'A', 'V', 'E'}), riff(formatOnly), riff(dataOnly)};
    for (const Bytes& file : notWave) {
        ASSERT_TRUE(WriteBytes(path, file));
        EXPECT_FALSE(ReadWaveFile(path, contents)) << file.size() << " bytes";
    }

    // A data chunk claiming more than the file holds gives what is there.
    Bytes body{'W', 'A', 'V', 'E'};
    AppendChunk(body, "fmt ", head);
    AppendChunkDeclaring(body, "data", 1000, Bytes{1, 2, 3, 4});
    ASSERT_TRUE(WriteBytes(path, riff(body)));
    ASSERT_TRUE(ReadWaveFile(path, contents));
    EXPECT_EQ(contents.data, (Bytes{1, 2, 3, 4}));
}

TEST(AudioFormats, SamplesPerBlockOnlyFromAnExtraWordThatIsThere)
{
    const Bytes head = FormatHead(WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 512, 4);
    struct Case {
        const char* label;
        FormatBlock block;
        uint16_t samplesPerBlock;
    };
    const Case cases[] = {
        {"IMA ADPCM", WithExtra(head, 2, {0xF9, 0x03}), 1017},
        {"PCM, 16 bytes", FormatHead(PcmFormat(8000, 16, 1)), 0},
        {"cbSize 0 before stray bytes", WithExtra(head, 0, {0xF9, 0x03}), 0},
        {"cbSize 2 in a block cut short", WithExtra(head, 2, {0xF9}), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SamplesPerBlock(c.block), c.samplesPerBlock) << c.label;
    }
    const CAudioFormat ima = AudioFormatOf(*AsFormat(cases[0].block));
    EXPECT_EQ(SamplesPerBlock(ima), 1017);
    EXPECT_EQ(SamplesPerBlock(CAudioFormat()), 0);
}

TEST(AudioFormats, EnumeratedFormatIsTheFirstWithTheValuesAsked)
{
    const CAudioFormat ima = EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 22050, 1);
    ASSERT_NE(ima.GetFormat(), nullptr);
    EXPECT_EQ(ima.GetFormat()->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
    EXPECT_EQ(ima.GetFormat()->nSamplesPerSec, 22050u);
    EXPECT_EQ(ima.GetFormat()->nChannels, 1);
    EXPECT_GT(SamplesPerBlock(ima), 0);

    const CAudioFormat mp3 = EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 16000);
    ASSERT_NE(mp3.GetFormat(), nullptr);
    EXPECT_EQ(mp3.GetFormat()->nAvgBytesPerSec, 16000u);
    EXPECT_EQ(EnumeratedAudioFormat(WAVE_FORMAT_IMA_ADPCM, 12345, 1).GetFormat(), nullptr);
    EXPECT_EQ(EnumeratedAudioFormat(WAVE_FORMAT_MPEGLAYER3, 44100, 2, 12345).GetFormat(), nullptr);
}

TEST(PeerCommand, QuotedWordsArriveWholeAndExitCodesComeBack)
{
    std::string output;
    const std::string text = "it's a \"word\" with $HOME, `ticks` and  spaces";
    EXPECT_EQ(RunCommand("printf %s " + ShellQuoted(text), output), 0);
    EXPECT_EQ(output, text);
    EXPECT_EQ(RunCommand("echo partial; exit 3", output), 3);
    EXPECT_EQ(output, "partial\n");
    EXPECT_TRUE(RunQuietly("true"));
    EXPECT_FALSE(RunQuietly("echo noise; echo more >&2; false"));
    EXPECT_TRUE(HaveCommand("sh"));
    EXPECT_FALSE(HaveCommand("orvano-no-such-command"));
}

TEST(PeerCommand, Mp3FramesAreCountedPerChannel)
{
    if (!HaveCommand("mpg123") || !HaveCommand("lame")) {
        GTEST_SKIP() << "mpg123 and lame are needed";
    }
    ScratchFolder folder;
    EXPECT_EQ(Mp3DecodedFrames(folder.File("missing.mp3"), 2), -1);
    // A file name that would split into words if it were not quoted.
    const std::string wave = folder.File("it's music.wav");
    const std::string mp3 = folder.File("it's music.mp3");
    ASSERT_TRUE(WriteMusicWave(wave, 44100, 2, 44100));
    ASSERT_TRUE(RunQuietly("lame --quiet -b 128 " + ShellQuoted(wave) + " " + ShellQuoted(mp3)));
    // The encoder delay and the last frame's padding come on top.
    const long frames = Mp3DecodedFrames(mp3, 2);
    EXPECT_GE(frames, 44100);
    EXPECT_LE(frames, 44100 + 3 * 1152);
}

TEST(Signals, SamplesSurviveTheTripThroughBytes)
{
    const std::vector<int16_t> tone = Tone(1000, 0.5, 8000, 2, 80);
    // Both channels carry the same sine; 1 kHz at 8 kHz peaks on the 2nd sample.
    EXPECT_EQ(tone[0], 0);
    EXPECT_EQ(tone[2 * 2], 16384);
    EXPECT_EQ(tone[2 * 2 + 1], 16384);
    EXPECT_EQ(ToSamples(ToBytes(tone)), tone);
    EXPECT_EQ(ToBytes(tone), ToneBytes(1000, 0.5, 8000, 2, 80));
    EXPECT_EQ(Noise(64, 9), Noise(64, 9));
    EXPECT_NE(Noise(64, 9), Noise(64, 10));
    EXPECT_EQ(MusicSignal(8000, 2, 500, 4), MusicSignal(8000, 2, 500, 4));
}

} // namespace
