#include <gtest/gtest.h>

#include <cstring>

#include "CliTestSupport.h"
#include "cli/CliArguments.h"
#include "cli/FormatSpec.h"
#include "cli/OutputPaths.h"
#include "formats/SavedFormats.h"
#include "support/AudioFormats.h"

namespace {

using testsupport::PcmFormat;

class FormatSpecs : public cli_test::OutputLibrariesTest {};

TEST_F(FormatSpecs, ResolvesToTheFirstOfferedFormatWithThoseValues)
{
    struct SCase {
        const char* choice;
        uint16_t tag;
        uint32_t rate;
        uint16_t channels;
        uint16_t bits;            // 0: not checked
        uint32_t bytesPerSecond;  // 0: not checked
        const char* extension;
    };
    const SCase cases[] = {
        {"wav:pcm:44100:16:2", 1, 44100, 2, 16, 176400, "WAV"},
        {"WAV:PCM:8000:8:1", 1, 8000, 1, 8, 8000, "WAV"},
        {"wav:pcm:37800:16:1", 1, 37800, 1, 16, 75600, "WAV"},
        {"wav:pcm:44100:32:2", 1, 44100, 2, 32, 352800, "WAV"},
        {"wav:float:48000:2", 3, 48000, 2, 32, 384000, "WAV"},
        {"wav:alaw:8000:1", 6, 8000, 1, 8, 8000, "WAV"},
        {"wav:ulaw:16000:2", 7, 16000, 2, 8, 32000, "WAV"},
        {"wav:ima-adpcm:22050:1", 0x11, 22050, 1, 4, 0, "WAV"},
        {"wav:ms-adpcm:11025:2", 2, 11025, 2, 4, 0, "WAV"},
        {"wav:gsm:8000", 0x31, 8000, 1, 0, 1625, "WAV"},
        {"wav:mp3:64:22050:1", 0x55, 22050, 1, 0, 8000, "WAV"},
        {"mp3:128:44100:2", 0x55, 44100, 2, 0, 16000, "MP3"},
        {"mp3:mp3:32:16000:1", 0x55, 16000, 1, 0, 4000, "MP3"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.choice);
        SFormatSpec choice;
        std::string error;
        ASSERT_TRUE(ParseFormatSpec(c.choice, m_libraries.list, choice, error)) << error;
        EXPECT_EQ(choice.library->GetExtension(), c.extension);
        CAudioFormat format;
        ASSERT_TRUE(ResolveFormatSpec(choice, nullptr, format, error)) << error;
        const WAVEFORMATEX& block = *format.GetFormat();
        EXPECT_EQ(block.wFormatTag, c.tag);
        EXPECT_EQ(block.nSamplesPerSec, c.rate);
        EXPECT_EQ(block.nChannels, c.channels);
        if (c.bits != 0) {
            EXPECT_EQ(block.wBitsPerSample, c.bits);
        }
        if (c.bytesPerSecond != 0) {
            EXPECT_EQ(block.nAvgBytesPerSec, c.bytesPerSecond);
        }
        EXPECT_TRUE(format.IsAvailable());
        EXPECT_TRUE(choice.library->CheckFormat(format));
    }
}

TEST_F(FormatSpecs, Mp3WithoutRateAndChannelsTakesTheSources)
{
    SFormatSpec choice;
    std::string error;
    ASSERT_TRUE(ParseFormatSpec("mp3:128", m_libraries.list, choice, error)) << error;
    EXPECT_TRUE(choice.NeedsSource());
    CAudioFormat format;
    EXPECT_FALSE(ResolveFormatSpec(choice, nullptr, format, error));

    const WAVEFORMATEX mono = PcmFormat(32000, 16, 1);
    ASSERT_TRUE(ResolveFormatSpec(choice, &mono, format, error)) << error;
    EXPECT_EQ(format.GetFormat()->nSamplesPerSec, 32000u);
    EXPECT_EQ(format.GetFormat()->nChannels, 1);

    const WAVEFORMATEX high = PcmFormat(96000, 16, 2);
    EXPECT_FALSE(ResolveFormatSpec(choice, &high, format, error));
    EXPECT_NE(error.find("source's 96000 Hz and 2 channels"), std::string::npos) << error;
    EXPECT_NE(error.find("valid RATE:CHANNELS at 128 kbit/s: 16000:1 16000:2 22050:1"), std::string::npos) << error;
}

TEST_F(FormatSpecs, WrongSpecsNameWhatIsValid)
{
    struct SCase {
        const char* choice;
        bool parses;
        const char* message;
    };
    const SCase cases[] = {
        {"flac:16", false, "these do: mp3, wav"},
        {"", false, "these do: mp3, wav"},
        {"wav", false, "a codec is missing; WAVE Audio File writes: pcm, float, alaw, ulaw, ima-adpcm, ms-adpcm, gsm, mp3"},
        {"wav:vorbis:1", false, "unknown codec \"vorbis\""},
        {"mp3:pcm:44100:16:2", false, "MP3 Audio File does not write pcm; it writes: mp3"},
        {"wav:pcm:44100:16", false, "does not have the form wav:pcm:RATE:BITS:CHANNELS"},
        {"wav:gsm:8000:1", false, "does not have the form wav:gsm:RATE"},
        {"mp3:128:44100", false, "does not have the form mp3:KBPS[:RATE:CHANNELS]"},
        {"wav:pcm:44100:x:2", false, "\"x\" is no valid BITS"},
        {"wav:pcm:0:16:2", false, "\"0\" is no valid RATE"},
        {"wav:pcm:44100:16:99999999999", false, "no valid CHANNELS"},
        {"wav:pcm:44100:12:2", true, "valid RATE:BITS:CHANNELS: 8000:8:1 8000:8:2"},
        {"wav:gsm:44000", true, "valid RATE: 8000 11025 22050 44100"},
        {"wav:ima-adpcm:96000:1", true, "valid RATE:CHANNELS: 8000:1"},
        {"mp3:100:44100:2", false, "writes no MPEG Layer-3 format of 100 kbit/s; valid KBPS: 8 16 24"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.choice);
        SFormatSpec choice;
        std::string error;
        const bool parsed = ParseFormatSpec(c.choice, m_libraries.list, choice, error);
        EXPECT_EQ(parsed, c.parses) << error;
        if (parsed) {
            CAudioFormat format;
            EXPECT_FALSE(ResolveFormatSpec(choice, nullptr, format, error));
        }
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST_F(FormatSpecs, EveryOfferedFormatHasASpecThatNamesIt)
{
    std::size_t checked = 0;
    for (const CFileFormatLibrary* library : OfferedLibraries(m_libraries.list)) {
        for (const SOfferedTag& tag : OfferedFormatTags(*library)) {
            if (CodecNameOfTag(tag.tag).empty()) {
                continue;
            }
            for (const SOfferedFormat& offered : OfferedFormats(*library, tag.tag)) {
                const std::string text = FormatSpecOf(*library, *offered.format.GetFormat());
                SCOPED_TRACE(text);
                SFormatSpec choice;
                std::string error;
                CAudioFormat format;
                ASSERT_TRUE(ParseFormatSpec(text, m_libraries.list, choice, error)) << error;
                ASSERT_TRUE(ResolveFormatSpec(choice, nullptr, format, error)) << error;
                EXPECT_EQ(choice.library, library);
                // The first offered format with the same values; equal heads
                // for all but formats that differ only in their extra bytes.
                EXPECT_EQ(std::memcmp(format.GetFormat(), offered.format.GetFormat(), 16), 0);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100u);
}

TEST(CliArguments, OptionsInEveryForm)
{
    const std::vector<SOptionSpec> specs = {{'t', "to", true}, {'j', "jobs", true}, {0, "quiet", false}};
    CParsedArguments parsed;
    std::string error;
    ASSERT_TRUE(ParseArguments({"a.wav", "-t", "mp3:128", "--jobs=3", "--quiet", "--", "-b.wav"}, specs, parsed, error));
    EXPECT_EQ(parsed.Value("to"), "mp3:128");
    EXPECT_EQ(parsed.Value("jobs"), "3");
    EXPECT_TRUE(parsed.Has("quiet"));
    EXPECT_EQ(parsed.Operands(), (std::vector<std::string>{"a.wav", "-b.wav"}));
    ASSERT_TRUE(ParseArguments({"-tmp3:64", "--to", "wav:gsm:8000"}, specs, parsed, error));
    EXPECT_EQ(parsed.Value("to"), "wav:gsm:8000");

    struct SCase {
        std::vector<std::string> arguments;
        const char* message;
    };
    for (const SCase& c : {SCase{{"--nope"}, "unknown option --nope"}, SCase{{"-x"}, "unknown option -x"},
                           SCase{{"--to"}, "option --to needs a value"},
                           SCase{{"--quiet=yes"}, "option --quiet takes no value"}}) {
        EXPECT_FALSE(ParseArguments(c.arguments, specs, parsed, error));
        EXPECT_EQ(error, c.message);
    }
    EXPECT_EQ(ParseCount("2", 1, 64), 2u);
    EXPECT_FALSE(ParseCount("0", 1, 64).has_value());
    EXPECT_FALSE(ParseCount("2x", 1, 64).has_value());
}

TEST(OutputPaths, NamesAsTheDestinationFileCommandDoes)
{
    EXPECT_EQ(DestinationPath(ChooseOutputTarget(std::nullopt, 2), "/in/song.wav", "MP3"), "/in/song.MP3");
    EXPECT_EQ(DestinationPath(ChooseOutputTarget(std::string("/out"), 2), "/in/song.v1.wav", "WAV"),
              "/out/song.v1.WAV");
    EXPECT_EQ(DestinationPath(ChooseOutputTarget(std::string("/out/x.mp3"), 1), "/in/song.wav", "MP3"),
              "/out/x.mp3");
    EXPECT_EQ(DestinationPath(ChooseOutputTarget(std::string("/out/new/"), 1), "/in/song.wav", "MP3"),
              "/out/new/song.MP3");
    EXPECT_EQ(DestinationPath(ChooseOutputTarget(std::string("/"), 1), "/in/song.wav", "MP3"), "/song.MP3");
    EXPECT_EQ(AbsolutePath("/a/./b/../c/"), "/a/c");
}

} // namespace
