// Against real peers: WAVE files made by sox are described as soxi sees
// them, files the library writes are read by sox, and MP3 files made by lame
// are described with the data between their tags.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

struct SoxInfo {
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t bits = 0;
    uint64_t samples = 0;
};

// soxi answers one question per call.
bool QuerySoxi(const std::string& path, SoxInfo& info)
{
    auto ask = [&](const char* option, uint64_t& value) {
        std::string output;
        if (RunCommand(std::string("soxi ") + option + " " + ShellQuoted(path) + " 2>/dev/null", output) != 0 ||
            output.empty()) {
            return false;
        }
        value = std::stoull(output);
        return true;
    };
    uint64_t rate = 0, channels = 0, bits = 0;
    const bool ok = ask("-r", rate) && ask("-c", channels) && ask("-b", bits) && ask("-s", info.samples);
    info.rate = static_cast<uint32_t>(rate);
    info.channels = static_cast<uint32_t>(channels);
    info.bits = static_cast<uint32_t>(bits);
    return ok;
}

// The audio bytes as sox reads them, in the file's own encoding.
bool SoxRawAudio(const std::string& path, Bytes& audio)
{
    std::string output;
    if (RunCommand("sox " + ShellQuoted(path) + " -t raw - 2>/dev/null", output) != 0) {
        return false;
    }
    audio.assign(output.begin(), output.end());
    return true;
}

WAVEFORMATEX Head(const Description& description)
{
    WAVEFORMATEX head{};
    std::memcpy(&head, description.format.data(), sizeof head);
    return head;
}

class Peers : public testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveCommand("sox") || !HaveCommand("soxi") || !HaveCommand("lame")) {
            GTEST_SKIP() << "sox, soxi and lame are needed";
        }
    }
    ScratchFolder m_folder;
};

struct SoxCase {
    const char* label;
    const char* inputOptions;  // rate and channels of the generated signal
    const char* outputOptions; // type, bits and encoding of the file
    const char* length;
    uint16_t expectedTag;
};

const SoxCase kSoxCases[] = {
    {"8-bit unsigned mono, odd length", "-r 8000 -c 1", "-b 8 -e unsigned-integer", "1001s", WAVE_FORMAT_PCM},
    {"16-bit stereo", "-r 44100 -c 2", "-b 16 -e signed-integer", "2205s", WAVE_FORMAT_PCM},
    {"24-bit stereo", "-r 48000 -c 2", "-b 24 -e signed-integer", "480s", WAVE_FORMAT_EXTENSIBLE},
    {"24-bit 3 channels, plain header", "-r 22050 -c 3", "-t wavpcm -b 24 -e signed-integer", "101s",
     WAVE_FORMAT_PCM},
    {"24-bit 4 channels", "-r 22050 -c 4", "-t wav -b 24 -e signed-integer", "101s", WAVE_FORMAT_EXTENSIBLE},
    {"32-bit float", "-r 8000 -c 2", "-b 32 -e floating-point", "300s", WAVE_FORMAT_IEEE_FLOAT},
    {"a-law, odd length", "-r 8000 -c 1", "-e a-law", "333s", WAVE_FORMAT_ALAW},
};

TEST_F(Peers, SoxFilesAreDescribedAsSoxiSeesThem)
{
    const Plugin& wave = WavePlugin();
    for (const SoxCase& c : kSoxCases) {
        SCOPED_TRACE(c.label);
        const std::string path = m_folder.File("sox.wav");
        std::string output;
        ASSERT_EQ(RunCommand(std::string("sox ") + c.inputOptions + " -n " + c.outputOptions + " " + ShellQuoted(path) +
                                 " synth " + c.length + " sine 440 vol 0.5 2>/dev/null",
                             output),
                  0);
        SoxInfo info;
        ASSERT_TRUE(QuerySoxi(path, info));
        const Description description = Describe(wave, path);
        ASSERT_EQ(description.formatResult, 0);
        const WAVEFORMATEX head = Head(description);
        EXPECT_EQ(head.wFormatTag, c.expectedTag);
        EXPECT_EQ(head.nChannels, info.channels);
        EXPECT_EQ(head.nSamplesPerSec, info.rate);
        EXPECT_EQ(head.wBitsPerSample, info.bits);
        EXPECT_EQ(head.nBlockAlign, info.channels * info.bits / 8);
        EXPECT_EQ(description.dataSize, info.samples * info.channels * info.bits / 8);
        Bytes ours;
        Bytes theirs;
        ASSERT_TRUE(ReadAudio(wave, path, description.dataSize, 1000, ours));
        ASSERT_TRUE(SoxRawAudio(path, theirs));
        EXPECT_EQ(ours, theirs);
    }
}

// Chunks split out of a file that sox wrote.
struct ChunkList {
    std::vector<std::pair<std::string, Bytes>> chunks;
    const Bytes* Find(const std::string& id) const
    {
        for (const auto& [chunkId, payload] : chunks) {
            if (chunkId == id) {
                return &payload;
            }
        }
        return nullptr;
    }
};

ChunkList SplitWave(const Bytes& file)
{
    ChunkList list;
    size_t position = 12;
    while (position + 8 <= file.size()) {
        const std::string id(file.begin() + static_cast<long>(position), file.begin() + static_cast<long>(position) + 4);
        const uint32_t size = Le32At(file, position + 4);
        const size_t end = std::min<size_t>(position + 8 + size, file.size());
        list.chunks.emplace_back(id, Bytes(file.begin() + static_cast<long>(position + 8),
                                           file.begin() + static_cast<long>(end)));
        position = end + (size & 1U);
    }
    return list;
}

TEST_F(Peers, ChunksAroundFmtAreSkipped)
{
    const Plugin& wave = WavePlugin();
    const std::string soxPath = m_folder.File("plain.wav");
    std::string output;
    ASSERT_EQ(RunCommand("sox -r 44100 -c 2 -n -b 16 " + ShellQuoted(soxPath) + " synth 1001s sine 440 2>/dev/null",
                         output),
              0);
    const ChunkList chunks = SplitWave(ReadBytes(soxPath));
    ASSERT_NE(chunks.Find("fmt "), nullptr);
    ASSERT_NE(chunks.Find("data"), nullptr);

    Bytes info;
    AppendText(info, "INFO");
    AppendChunk(info, "ISFT", Bytes{'t', 'o', 'n', 'e', 0}); // odd: padded
    Bytes body;
    AppendText(body, "WAVE");
    AppendChunk(body, "LIST", info);
    AppendChunk(body, "fmt ", *chunks.Find("fmt "));
    AppendChunk(body, "LIST", info);
    AppendChunk(body, "JUNK", Bytes(7, 0));
    AppendChunk(body, "data", *chunks.Find("data"));
    AppendChunk(body, "LIST", info);
    Bytes file;
    AppendChunk(file, "RIFF", body);
    const std::string path = m_folder.File("with-lists.wav");
    WriteBytes(path, file);

    SoxInfo soxInfo;
    ASSERT_TRUE(QuerySoxi(path, soxInfo));
    EXPECT_EQ(soxInfo.samples, 1001U);
    const Description description = Describe(wave, path);
    ASSERT_EQ(description.formatResult, 0);
    EXPECT_EQ(Head(description).nChannels, soxInfo.channels);
    EXPECT_EQ(Head(description).nSamplesPerSec, soxInfo.rate);
    EXPECT_EQ(description.dataSize, soxInfo.samples * 4);
    Bytes ours;
    Bytes theirs;
    ASSERT_TRUE(ReadAudio(wave, path, description.dataSize, 999, ours));
    ASSERT_TRUE(SoxRawAudio(path, theirs));
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(ours, *chunks.Find("data"));
}

Bytes FloatTone(size_t samples)
{
    Bytes bytes;
    for (size_t i = 0; i < samples; ++i) {
        // On a 2^-20 grid, so that sox's integer path keeps every value.
        const float value = std::round(0.5F * std::sin(static_cast<float>(i) * 0.05F) * 1048576.0F) / 1048576.0F;
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        AppendLe32(bytes, bits);
    }
    return bytes;
}

struct WrittenCase {
    const char* label;
    Bytes format;
    Bytes audio;
    uint32_t expectedRate;
    uint32_t expectedChannels;
    uint32_t expectedBits;
};

TEST_F(Peers, WrittenFilesAreReadBySox)
{
    Bytes extensibleExtra;
    AppendLe16(extensibleExtra, 24);
    AppendLe32(extensibleExtra, 0x7);
    const uint8_t pcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    extensibleExtra.insert(extensibleExtra.end(), pcmGuid, pcmGuid + 16);
    const WrittenCase cases[] = {
        {"16-bit stereo", WithExtra(FormatHead(PcmFormat(44100, 16, 2)), 0, {}), Noise(4000, 1), 44100, 2, 16},
        {"8-bit mono, odd length", WithExtra(FormatHead(PcmFormat(11025, 8, 1)), 0, {}), Noise(1001, 2), 11025, 1, 8},
        {"24-bit 3 channels, extensible",
         WithExtra(FormatHead(WAVE_FORMAT_EXTENSIBLE, 3, 48000, 48000 * 9, 9, 24), 22, extensibleExtra),
         Noise(900, 3), 48000, 3, 24},
        {"a-law, odd length", WithExtra(FormatHead(WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8), 0, {}), Noise(801, 4),
         8000, 1, 8},
        {"32-bit float stereo", WithExtra(FormatHead(WAVE_FORMAT_IEEE_FLOAT, 2, 32000, 256000, 8, 32), 0, {}),
         FloatTone(600), 32000, 2, 32},
    };
    const Plugin& wave = WavePlugin();
    for (const WrittenCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = m_folder.File("ours.wav");
        ASSERT_TRUE(WriteFileThrough(wave, path, c.format, c.audio, 333));
        SoxInfo info;
        ASSERT_TRUE(QuerySoxi(path, info));
        EXPECT_EQ(info.rate, c.expectedRate);
        EXPECT_EQ(info.channels, c.expectedChannels);
        EXPECT_EQ(info.bits, c.expectedBits);
        EXPECT_EQ(info.samples * c.expectedChannels * c.expectedBits / 8, c.audio.size());
        Bytes theirs;
        ASSERT_TRUE(SoxRawAudio(path, theirs));
        EXPECT_EQ(theirs, c.audio);
    }
}

struct LameCase {
    const char* label;
    const char* sourceOptions;
    const char* lameOptions;
    uint16_t channels;
    uint32_t rate;
    uint32_t byteRate;
};

const LameCase kLameCases[] = {
    {"mpeg-1 stereo, no tags", "-r 44100 -c 2", "-b 128", 2, 44100, 16000},
    {"mpeg-1 mono, ID3v2", "-r 44100 -c 1", "-b 64 --tt Title --id3v2-only", 1, 44100, 8000},
    {"mpeg-1 stereo, padded ID3v2, no info frame", "-r 44100 -c 2",
     "-b 192 -t --tt Title --id3v2-only --pad-id3v2-size 300", 2, 44100, 24000},
    {"mpeg-2 22.05 kHz mono, ID3v1", "-r 22050 -c 1", "-b 32 --resample 22.05 --tt Title --id3v1-only", 1, 22050,
     4000},
    {"mpeg-2 22.05 kHz stereo, both tags", "-r 22050 -c 2", "-b 64 --resample 22.05 --tt Title --add-id3v2", 2,
     22050, 8000},
    {"mpeg-2 16 kHz stereo, both tags", "-r 16000 -c 2", "-b 48 --resample 16 --tt Title --add-id3v2", 2, 16000,
     6000},
    {"mpeg-2 16 kHz mono, no tags", "-r 16000 -c 1", "-b 24 --resample 16", 1, 16000, 3000},
};

// Tag sizes read from the file here, apart from the library.
size_t LeadingTagSize(const Bytes& file)
{
    if (file.size() < 10 || std::memcmp(file.data(), "ID3", 3) != 0) {
        return 0;
    }
    const size_t body = static_cast<size_t>(file[6]) << 21 | static_cast<size_t>(file[7]) << 14 |
                        static_cast<size_t>(file[8]) << 7 | static_cast<size_t>(file[9]);
    return 10 + body + ((file[5] & 0x10) != 0 ? 10 : 0);
}

size_t TrailingTagSize(const Bytes& file)
{
    return file.size() >= 128 && std::memcmp(file.data() + file.size() - 128, "TAG", 3) == 0 ? 128 : 0;
}

TEST_F(Peers, LameFilesAreDescribedBetweenTheirTags)
{
    const Plugin& mp3 = Mp3Plugin();
    for (const LameCase& c : kLameCases) {
        SCOPED_TRACE(c.label);
        const std::string source = m_folder.File("source.wav");
        const std::string path = m_folder.File("lame.mp3");
        std::string output;
        ASSERT_EQ(RunCommand(std::string("sox ") + c.sourceOptions + " -n -b 16 " + ShellQuoted(source) +
                                 " synth 0.5 sine 440 vol 0.5 2>/dev/null",
                             output),
                  0);
        ASSERT_EQ(RunCommand(std::string("lame --quiet ") + c.lameOptions + " " + ShellQuoted(source) + " " +
                                 ShellQuoted(path) + " 2>/dev/null",
                             output),
                  0);
        const Bytes file = ReadBytes(path);
        const size_t leading = LeadingTagSize(file);
        const size_t trailing = TrailingTagSize(file);
        const bool wantsLeading = std::strstr(c.lameOptions, "id3v2") != nullptr;
        const bool wantsTrailing = std::strstr(c.lameOptions, "--id3v1-only") != nullptr ||
                                   std::strstr(c.lameOptions, "--add-id3v2") != nullptr;
        ASSERT_EQ(leading != 0, wantsLeading);
        ASSERT_EQ(trailing != 0, wantsTrailing);

        const Description description = Describe(mp3, path);
        ASSERT_EQ(description.formatResult, 0);
        const WAVEFORMATEX head = Head(description);
        EXPECT_EQ(head.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
        EXPECT_EQ(head.nChannels, c.channels);
        EXPECT_EQ(head.nSamplesPerSec, c.rate);
        EXPECT_EQ(head.nAvgBytesPerSec, c.byteRate);
        EXPECT_EQ(description.dataSize, file.size() - leading - trailing);

        Bytes audio;
        ASSERT_TRUE(ReadAudio(mp3, path, description.dataSize, 4096, audio));
        ASSERT_FALSE(audio.empty());
        EXPECT_EQ(audio.front(), 0xFF);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin() + static_cast<long>(leading)));
    }
}

} // namespace
