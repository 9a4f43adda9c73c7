// orvano-cli end to end on generated files: what it writes decodes in the
// usual tools with the format and length asked for, and its exit status says
// whether everything converted.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliTestSupport.h"
#include "platform/ProfileStore.h"
#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/PeerCommand.h"
#include "support/ScratchFolder.h"
#include "support/WaveFile.h"

namespace cli_test {
namespace {

using namespace testsupport;

class Cli : public ::testing::Test {
protected:
    UserScratchFolder m_folder;
    CInstalledCli m_cli{m_folder};

    std::string Music(const std::string& name, double seconds = 2.0, uint32_t rate = 44100, uint16_t channels = 2)
    {
        const std::string path = m_folder.File(name);
        WriteMusicWave(path, rate, channels, static_cast<size_t>(rate * seconds));
        return path;
    }
};

TEST_F(Cli, ConvertsToMp3ImaAdpcmAndSmallPcm)
{
    if (!HaveCommand("mpg123") || !HaveCommand("sox")) {
        GTEST_SKIP() << "mpg123 and sox are needed";
    }
    const std::string source = Music("song.wav", 2.0);
    std::filesystem::create_directories(m_folder.File("out"));
    struct SCase {
        const char* requested;
        const char* output;
    };
    for (const SCase c : {SCase{"mp3:128", "out/song.mp3"}, SCase{"wav:ima-adpcm:22050:1", "out/song-ima.wav"},
                          SCase{"wav:pcm:22050:8:1", "out/song-8.wav"}}) {
        SCOPED_TRACE(c.requested);
        const SCliResult result = m_cli.Run({"convert", "--to", c.requested, "-o", c.output, "--quiet", source});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "") << "--quiet prints nothing on success";
        ASSERT_TRUE(std::filesystem::exists(m_folder.File(c.output)));
    }

    const long mp3 = Mp3DecodedFrames(m_folder.File("out/song.mp3"), 2);
    EXPECT_GE(mp3, 88200);
    EXPECT_LE(mp3, 88200 + 3 * 1152);

    WaveContents ima;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("out/song-ima.wav"), ima));
    EXPECT_EQ(ima.Format()->wFormatTag, 0x11);
    EXPECT_EQ(ima.Format()->nSamplesPerSec, 22050u);
    EXPECT_EQ(ima.Format()->nChannels, 1);
    const double imaSeconds =
        static_cast<double>(ima.data.size() / ima.Format()->nBlockAlign) * SamplesPerBlock(ima.format) / 22050.0;
    EXPECT_NEAR(imaSeconds, 2.0, 0.05);
    std::string soxType;
    ASSERT_EQ(RunCommand("soxi -e " + ShellQuoted(m_folder.File("out/song-ima.wav")), soxType), 0);
    EXPECT_NE(soxType.find("IMA ADPCM"), std::string::npos) << soxType;

    std::string samples;
    ASSERT_EQ(RunCommand("soxi -s " + ShellQuoted(m_folder.File("out/song-8.wav")), samples), 0);
    EXPECT_EQ(std::stol(samples), 44100);
    WaveContents small;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("out/song-8.wav"), small));
    EXPECT_EQ(small.Format()->wBitsPerSample, 8);
    EXPECT_EQ(small.Format()->nChannels, 1);
    EXPECT_EQ(small.Format()->nSamplesPerSec, 22050u);
}

TEST_F(Cli, TwoJobsWriteTheSameFilesAsOne)
{
    std::vector<std::string> sources;
    for (int i = 0; i < 4; ++i) {
        sources.push_back(Music("in" + std::to_string(i) + ".wav", 0.5 + 0.25 * i, i % 2 ? 22050 : 44100));
    }
    for (const char* requested : {"mp3:64", "wav:ms-adpcm:11025:1", "wav:pcm:16000:8:1"}) {
        SCOPED_TRACE(requested);
        for (const char* jobs : {"1", "2"}) {
            std::vector<std::string> arguments = {"convert", "--to", requested, "-j", jobs, "-o",
                                                  m_folder.File(std::string("jobs") + jobs)};
            arguments.insert(arguments.end(), sources.begin(), sources.end());
            const SCliResult result = m_cli.Run(arguments);
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_NE(result.out.find("Converted 4 of 4 items"), std::string::npos) << result.out;
        }
        for (const auto& entry : std::filesystem::directory_iterator(m_folder.File("jobs1"))) {
            const std::string other = m_folder.File("jobs2/" + entry.path().filename().string());
            EXPECT_TRUE(ReadBytes(entry.path().string()) == ReadBytes(other)) << entry.path();
        }
        std::filesystem::remove_all(m_folder.File("jobs1"));
        std::filesystem::remove_all(m_folder.File("jobs2"));
    }
}

TEST_F(Cli, ExitStatusSaysWhatHappened)
{
    const std::string song = Music("song.wav", 0.5);
    WriteText(m_folder.File("notes.txt"), "not audio");
    struct SCase {
        std::vector<std::string> arguments;
        int status;
        const char* inErrors; // "" for nothing in particular
    };
    const SCase cases[] = {
        {{"--version"}, 0, ""},
        {{"--help"}, 0, ""},
        {{}, 2, ""},
        {{"frobnicate"}, 2, "unknown command"},
        {{"convert", song}, 2, "--to FORMAT"},
        {{"convert", "--to", "ogg:vorbis", song}, 2, "these do: mp3, wav"},
        {{"convert", "--to", "wav:opus:8000:1", song}, 2, "unknown codec"},
        {{"convert", "--to", "wav:ima-adpcm:44100:3", song}, 2, "valid RATE:CHANNELS: 8000:1"},
        {{"convert", "--to", "mp3:100", song}, 2, "valid KBPS"},
        {{"convert", "--to", "wav:pcm:44100:16", song}, 2, "RATE:BITS:CHANNELS"},
        {{"convert", "--to", "mp3:128", "-q", "best", song}, 2, "high or low"},
        {{"convert", "--to", "mp3:128", "-j", "0", song}, 2, "--jobs"},
        {{"convert", "--to", "mp3:128", "--preset", "x", song}, 2, "either"},
        {{"convert", "--to", "mp3:128", "--no-convert", song}, 2, "--save-project"},
        {{"convert", "--to", "mp3:128", "-o", "one.mp3", m_folder.File("missing.wav")}, 1, "1032"},
        {{"convert", "--to", "mp3:128", "-o", "mixed", song, "notes.txt"}, 1, "1031"},
        {{"run", m_folder.File("nothing.cnv")}, 2, "1055"},
        {{"info", "notes.txt"}, 1, "1031"},
        {{"presets", "delete", "nobody"}, 2, "no saved format"},
        {{"formats", "vorbis"}, 2, "unknown format tag"},
    };
    for (const SCase& c : cases) {
        std::string shown;
        for (const std::string& argument : c.arguments) {
            shown += argument + " ";
        }
        SCOPED_TRACE(shown);
        const SCliResult result = m_cli.Run(c.arguments);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE(result.err.find(c.inErrors), std::string::npos) << result.err;
    }
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("mixed/song.mp3"))) << "the good file of a mixed batch";
    EXPECT_EQ(m_cli.Run({"--version"}).out, "orvano-cli 2.1.0\n");
}

TEST_F(Cli, ExistingDestinationIsLeftAloneUnlessAskedFor)
{
    const std::string song = Music("song.wav", 0.5);
    const std::string other = Music("other.wav", 0.5);
    const std::string taken = m_folder.File("song.mp3");
    WriteText(taken, "precious");
    const auto before = std::filesystem::last_write_time(taken);

    SCliResult result = m_cli.Run({"convert", "--to", "mp3:96", song, other});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("--overwrite"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(taken), std::vector<uint8_t>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_EQ(std::filesystem::last_write_time(taken), before);
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("other.mp3")));

    result = m_cli.Run({"convert", "--to", "mp3:96", "--overwrite", song});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_GT(std::filesystem::file_size(taken), 1000u);

    // The source itself is never a destination, not even when asked.
    const std::string wave = Music("same.wav", 0.5);
    const std::vector<uint8_t> original = ReadBytes(wave);
    result = m_cli.Run({"convert", "--to", "wav:pcm:8000:8:1", "--overwrite", wave});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("is the source file itself"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(wave), original);
}

TEST_F(Cli, OutputIsAFolderOrAFileAsGiven)
{
    const std::string a = Music("a.wav", 0.3);
    const std::string b = Music("b.wav", 0.3);
    ASSERT_EQ(m_cli.Run({"convert", "--to", "wav:alaw:8000:1", "--quiet", "-o", "single.wav", a}).status, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(m_folder.File("single.wav")));
    ASSERT_EQ(m_cli.Run({"convert", "--to", "wav:alaw:8000:1", "--quiet", "-o", "folder/", a}).status, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(m_folder.File("folder/a.wav")));
    ASSERT_EQ(m_cli.Run({"convert", "--to", "wav:alaw:8000:1", "--quiet", "-o", "deep/er", a, b}).status, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(m_folder.File("deep/er/a.wav")));
    EXPECT_TRUE(std::filesystem::is_regular_file(m_folder.File("deep/er/b.wav")));
    // A PCM rate the format list does not offer is taken as given.
    ASSERT_EQ(m_cli.Run({"convert", "--to", "wav:pcm:37800:16:1", "--quiet", "-o", "odd.wav", a}).status, 0);
    WaveContents odd;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("odd.wav"), odd));
    EXPECT_EQ(odd.Format()->nSamplesPerSec, 37800u);
}

TEST_F(Cli, PresetsAreSavedListedUsedAndDeleted)
{
    const std::string song = Music("song.wav", 0.5);
    SCliResult result = m_cli.Run({"presets", "save", "  Small IMA ", "--to", "wav:ima-adpcm:22050:1", "-q", "low"});
    ASSERT_EQ(result.status, 0) << result.err;

    // The value the window reads: 21 bytes under the trimmed name.
    std::vector<uint8_t> value;
    ASSERT_EQ(ProfileGetBinary("SavedFormats", "Small IMA", value), EProfileValueState::Found);
    ASSERT_EQ(value.size(), 21u);
    EXPECT_EQ(std::string(value.begin(), value.begin() + 4), std::string("WAV\0", 4));
    EXPECT_EQ(value[4], 0);
    EXPECT_EQ(value[5] | value[6] << 8, 0x11);

    result = m_cli.Run({"presets"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Small IMA\twav:ima-adpcm:22050:1"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Low Quality"), std::string::npos) << result.out;

    EXPECT_EQ(m_cli.Run({"presets", "save", "Small IMA", "--to", "mp3:64:22050:1"}).status, 2);
    EXPECT_EQ(m_cli.Run({"presets", "save", "Small IMA", "--to", "mp3:64"}).status, 2) << "needs RATE:CHANNELS";

    result = m_cli.Run({"convert", "--preset", "Small IMA", "--quiet", "-o", m_folder.File("out") + "/", song});
    ASSERT_EQ(result.status, 0) << result.err;
    WaveContents header;
    ASSERT_TRUE(ReadWaveFile(m_folder.File("out/song.wav"), header));
    EXPECT_EQ(header.Format()->wFormatTag, 0x11);
    EXPECT_EQ(header.Format()->nSamplesPerSec, 22050u);

    EXPECT_EQ(m_cli.Run({"presets", "delete", "Small IMA"}).status, 0);
    EXPECT_EQ(m_cli.Run({"presets"}).out, "");
    EXPECT_EQ(m_cli.Run({"convert", "--preset", "Small IMA", song}).status, 2);
}

TEST_F(Cli, ProjectIsWrittenAndRunLater)
{
    const std::string a = Music("a.wav", 0.3);
    const std::string b = Music("b.wav", 0.3);
    SCliResult result = m_cli.Run(
        {"convert", "--to", "wav:ulaw:8000:1", "-o", "out", "--save-project", "work.cnv", "--no-convert", a, b});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("out/a.wav")));
    const std::vector<uint8_t> project = ReadBytes(m_folder.File("work.cnv"));
    ASSERT_GE(project.size(), 6u);
    EXPECT_EQ(std::string(project.begin(), project.begin() + 6), "AUD200");

    result = m_cli.Run({"run", "work.cnv", "-j", "2"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("out/a.wav")));
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("out/b.wav")));
    // A second run finds the destinations there.
    EXPECT_EQ(m_cli.Run({"run", "work.cnv"}).status, 1);
    EXPECT_EQ(m_cli.Run({"run", "work.cnv", "--overwrite"}).status, 0);
}

TEST_F(Cli, DeleteSourceOnlyAfterAConversion)
{
    const std::string kept = Music("kept.wav", 0.3);
    const std::string gone = Music("gone.wav", 0.3);
    WriteText(m_folder.File("kept.mp3"), "in the way");
    const SCliResult result = m_cli.Run({"convert", "--to", "mp3:64", "--delete-source", kept, gone});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(std::filesystem::exists(kept));
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("gone.mp3")));
}

TEST_F(Cli, InformationStatisticsAndListings)
{
    const std::string song = Music("song.wav", 0.5);
    SCliResult result = m_cli.Run({"info", song, "--to", "mp3:128"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* expected :
         {"File Format:           WAVE Audio File", "Format Tag:            PCM", "Channels:              2 - Stereo",
          "Sample Rate:           44.10 kHz", "Length of Audio Data:  88.200 Bytes", "Conversion Step 1 - PCM to Non-PCM",
          "MPEG Layer-3", "Estimated File Size:", "no statistics for this conversion yet"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }

    EXPECT_EQ(m_cli.Run({"stats"}).out, "No conversions have been recorded yet.\n");
    ASSERT_EQ(m_cli.Run({"convert", "--to", "mp3:128", "--quiet", song}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(m_cli.InstallFolder() + "/Orvano.STX"));
    result = m_cli.Run({"stats"});
    EXPECT_NE(result.out.find("PCM - 44.100 kHz, 16 Bit, Stereo  ->  MPEG Layer-3 - 128 kBit/s, 44.100 kHz, Stereo  |  High"),
              std::string::npos)
        << result.out;
    result = m_cli.Run({"info", song, "--to", "mp3:128"});
    EXPECT_NE(result.out.find("Estimated Conversion Time:"), std::string::npos);
    EXPECT_EQ(result.out.find("no statistics"), std::string::npos) << result.out;
    ASSERT_EQ(m_cli.Run({"stats", "--reset"}).status, 0);
    EXPECT_EQ(m_cli.Run({"stats"}).out, "No conversions have been recorded yet.\n");

    result = m_cli.Run({"libraries"});
    EXPECT_NE(result.out.find("WAV\tread\twrite\tWAVE Audio File"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("MP3\tread\twrite\tMP3 Audio File"), std::string::npos) << result.out;
    result = m_cli.Run({"formats"});
    EXPECT_NE(result.out.find("written by: mp3, wav"), std::string::npos) << result.out;
    result = m_cli.Run({"formats", "gsm"});
    EXPECT_NE(result.out.find("wav:gsm:8000"), std::string::npos) << result.out;
}

TEST_F(Cli, WithoutTerminalThereAreNoRedraws)
{
    const std::string song = Music("song.wav", 1.0);
    const SCliResult result = m_cli.Run({"convert", "--to", "wav:gsm:8000", "-o", m_folder.File("out") + "/", song});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find('\r'), std::string::npos);
    EXPECT_NE(result.out.find("converted: " + song + " -> " + m_folder.File("out/song.wav")), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Converted 1 of 1 item in"), std::string::npos) << result.out;
}

} // namespace
} // namespace cli_test
