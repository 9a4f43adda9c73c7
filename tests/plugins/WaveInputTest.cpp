// WAVE files from elsewhere, well-formed or not: each gives its code, never an
// over-read, an oversized block or a block left behind.
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

constexpr size_t kAudioLength = 100;

Bytes Pcm16Chunk()
{
    return FormatHead(PcmFormat(8000, 16, 1));
}

Bytes Pcm18Chunk(uint16_t cbSize)
{
    Bytes chunk = Pcm16Chunk();
    AppendLe16(chunk, cbSize);
    return chunk;
}

Bytes Audio()
{
    return Noise(kAudioLength, 11);
}

// A RIFF chunk of form WAVE around body; the declared size is the true one
// unless given.
Bytes Riff(const Bytes& body, int64_t declaredSize = -1)
{
    Bytes form;
    AppendText(form, "WAVE");
    form.insert(form.end(), body.begin(), body.end());
    Bytes file;
    AppendChunkDeclaring(file, "RIFF", declaredSize < 0 ? static_cast<uint32_t>(form.size())
                                                         : static_cast<uint32_t>(declaredSize),
                         form);
    return file;
}

Bytes Chunk(const char* id, const Bytes& payload)
{
    Bytes bytes;
    AppendChunk(bytes, id, payload);
    return bytes;
}

Bytes ChunkDeclaring(const char* id, uint32_t declaredSize, const Bytes& payload)
{
    Bytes bytes;
    AppendChunkDeclaring(bytes, id, declaredSize, payload);
    return bytes;
}

Bytes Text(const char* text)
{
    Bytes bytes;
    AppendText(bytes, text);
    return bytes;
}

struct InputCase {
    const char* label;
    Bytes file;
    int32_t expectedResult;
    uint32_t expectedDataSize; // when described
    Bytes expectedFormat;      // when described and not empty
};

std::vector<InputCase> InputCases()
{
    const Bytes fmt = Chunk("fmt ", Pcm16Chunk());
    const Bytes data = Chunk("data", Audio());
    const Bytes nonPcmHead = FormatHead(WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8);
    Bytes nonPcmLie = nonPcmHead;
    AppendLe16(nonPcmLie, 100); // 100 extra bytes claimed, 2 present
    nonPcmLie.push_back(0);
    nonPcmLie.push_back(0);
    Bytes nonPcmNoRoom = nonPcmHead;
    AppendLe16(nonPcmNoRoom, 2);
    Bytes strayCbSize = Pcm18Chunk(40);
    Bytes strayDescribed = strayCbSize;
    strayDescribed.resize(18 + 40, 0);
    Bytes nonPcm16Described = nonPcmHead;
    AppendLe16(nonPcm16Described, 0);

    return {
        {"empty file", {}, 8, 0, {}},
        {"three bytes", Text("RIF"), 8, 0, {}},
        {"other container", Text("RIFX\x04\x00\x00\x00WAVE"), 8, 0, {}},
        {"other form", Join({Text("RIFF"), Bytes{4, 0, 0, 0}, Text("AVI ")}), 8, 0, {}},
        {"RIFF too small for its form", Join({Text("RIFF"), Bytes{2, 0, 0, 0}, Text("WAVE")}), 8, 0, {}},
        {"mp3 bytes", Join({Bytes{0xFF, 0xFB, 0x90, 0x44}, Noise(400, 1)}), 8, 0, {}},
        {"no fmt", Riff(data), 9, 0, {}},
        {"fmt of 14 bytes", Riff(Join({Chunk("fmt ", Bytes(14, 1)), data})), 10, 0, {}},
        {"fmt of 0 bytes", Riff(Join({Chunk("fmt ", {}), data})), 10, 0, {}},
        {"fmt cut by the end of the file", Riff(ChunkDeclaring("fmt ", 16, Bytes(10, 1)), 1000), 13, 0, {}},
        {"fmt claiming 2 GiB", Riff(ChunkDeclaring("fmt ", 0x7FFFFFF0, Pcm16Chunk()), 0x7FFFFFFF), 13, 0, {}},
        {"fmt past its RIFF chunk", Riff(Join({fmt, data}), 4 + 8 + 10), 2, 0, {}},
        {"fmt larger than any format", Riff(Join({Chunk("fmt ", Join({Pcm18Chunk(0), Bytes(70000, 0)})), data})), 2,
         0, {}},
        {"cbSize beyond the chunk", Riff(Join({Chunk("fmt ", nonPcmLie), data})), 2, 0, {}},
        {"cbSize in a chunk without extra bytes", Riff(Join({Chunk("fmt ", nonPcmNoRoom), data})), 2, 0, {}},
        {"no data", Riff(fmt), 15, 0, {}},
        {"data before fmt", Riff(Join({data, fmt})), 15, 0, {}},
        {"huge chunk before data", Riff(Join({fmt, ChunkDeclaring("LIST", 0x7FFFFFFF, Bytes(8, 1)), data})), 2, 0,
         {}},
        {"chunk running past its RIFF chunk", Riff(Join({fmt, ChunkDeclaring("LIST", 40, Bytes(8, 1)), data}), 4 + 24 + 16),
         2, 0, {}},
        {"zero-length chunk before data", Riff(Join({fmt, Chunk("JUNK", {}), data})), 0, kAudioLength, {}},
        {"odd chunk with its pad", Riff(Join({Chunk("LIST", Bytes(5, 'x')), fmt, Chunk("LIST", Bytes(9, 'y')), data})),
         0, kAudioLength, {}},
        {"another chunk before RIFF", Join({Chunk("JUNK", Bytes(6, 0)), Riff(Join({fmt, data}))}), 0, kAudioLength,
         {}},
        {"data past the end of the file", Riff(Join({fmt, ChunkDeclaring("data", 1000, Audio())})), 0, kAudioLength,
         {}},
        {"data of 0xFFFFFFFF bytes", Riff(Join({fmt, ChunkDeclaring("data", 0xFFFFFFFF, Audio())})), 0,
         kAudioLength, {}},
        {"streaming header", Riff(Join({fmt, ChunkDeclaring("data", 0xFFFFFFFF, Audio())}), 0xFFFFFFFF), 0,
         kAudioLength, {}},
        {"empty data", Riff(Join({fmt, Chunk("data", {})})), 0, 0, {}},
        {"fmt of 16 bytes", Riff(Join({fmt, data})), 0, kAudioLength, Pcm18Chunk(0)},
        {"non-PCM fmt of 16 bytes", Riff(Join({Chunk("fmt ", nonPcmHead), data})), 0, kAudioLength,
         nonPcm16Described},
        {"PCM with stray cbSize", Riff(Join({Chunk("fmt ", strayCbSize), data})), 0, kAudioLength, strayDescribed},
    };
}

class WaveInput : public testing::Test {
protected:
    ScratchFolder m_folder;
};

TEST_F(WaveInput, EachFileGetsItsCode)
{
    const Plugin& wave = WavePlugin();
    for (const InputCase& c : InputCases()) {
        SCOPED_TRACE(c.label);
        const std::string path = m_folder.File("input.wav");
        WriteBytes(path, c.file);
        const Description description = Describe(wave, path);
        ASSERT_EQ(description.openResult, 0);
        EXPECT_EQ(description.formatResult, c.expectedResult);
        if (c.expectedResult != 0) {
            EXPECT_TRUE(description.blockNullOnFailure);
            continue;
        }
        EXPECT_EQ(description.dataSize, c.expectedDataSize);
        if (!c.expectedFormat.empty()) {
            EXPECT_EQ(description.format, c.expectedFormat);
        }
        Bytes audio;
        ASSERT_TRUE(ReadAudio(wave, path, description.dataSize, 64, audio));
        const Bytes written = Audio();
        EXPECT_EQ(audio, Bytes(written.begin(), written.begin() + description.dataSize));
    }
}

// A valid file cut at every length: the first missing piece names the code.
TEST_F(WaveInput, TruncatedAtEveryOffset)
{
    const Plugin& wave = WavePlugin();
    const Bytes whole = WaveFileBytes(Pcm16Chunk(), Audio());
    ASSERT_EQ(whole.size(), 44 + kAudioLength);
    const std::string path = m_folder.File("cut.wav");
    for (size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteBytes(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        const int32_t expected = length < 12 ? 8 : length < 20 ? 9 : length < 36 ? 13 : length < 44 ? 15 : 0;
        const Description description = Describe(wave, path);
        ASSERT_EQ(description.formatResult, expected);
        if (expected == 0) {
            EXPECT_EQ(description.dataSize, length - 44);
        }
        AUDFF_HANDLE handle = 0;
        ASSERT_EQ(wave.OpenRead(path.c_str(), &handle), 0);
        const int32_t preRead = wave.PreRead(handle);
        // A cut "fmt " chunk is passed over on the way to "data": its size
        // cannot be trusted.
        EXPECT_EQ(preRead, length < 12 ? 8 : length < 20 ? 15 : length < 36 ? 2 : length < 44 ? 15 : 0);
        if (preRead == 0) {
            uint8_t buffer[256];
            uint32_t size = sizeof buffer;
            ASSERT_EQ(wave.Read(handle, buffer, &size), 0);
            EXPECT_EQ(size, length - 44);
        }
        EXPECT_EQ(wave.CloseRead(handle), 0);
    }
}

} // namespace
