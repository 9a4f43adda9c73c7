// WAVE files written by the library and read back: the exact file layout,
// the described format and the audio, and the write bookkeeping per thread.
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

Bytes ExtensiblePcm24(uint16_t channels)
{
    Bytes extra;
    AppendLe16(extra, 24);                      // valid bits
    AppendLe32(extra, (1U << channels) - 1);     // channel mask
    const uint8_t pcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    extra.insert(extra.end(), pcmGuid, pcmGuid + 16);
    const auto blockAlign = static_cast<uint16_t>(3 * channels);
    return WithExtra(FormatHead(WAVE_FORMAT_EXTENSIBLE, channels, 48000, 48000U * blockAlign, blockAlign, 24), 22,
                     extra);
}

struct RoundTripCase {
    const char* label;
    Bytes format;             // as handed to AUDFF_PutFormat
    uint32_t formatChunkSize; // as stored
    Bytes describedFormat;    // 18 + cbSize bytes as read back
    size_t dataLength;
    uint32_t writePiece;
    uint32_t readPiece;
};

std::vector<RoundTripCase> RoundTripCases()
{
    const Bytes pcm16 = FormatHead(PcmFormat(44100, 16, 2));
    const Bytes pcm8 = FormatHead(PcmFormat(8000, 8, 1));
    const Bytes ima = FormatHead(WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 512, 4);
    const Bytes oddTag = FormatHead(0x1234, 1, 8000, 1000, 1, 0);
    const Bytes floatHead = FormatHead(WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 384000, 8, 32);
    const Bytes samplesPerBlock{0xF9, 0x03};
    return {
        {"pcm 16-bit stereo", WithExtra(pcm16, 0, {}), 16, WithExtra(pcm16, 0, {}), 4000, 1000, 4000},
        {"pcm 8-bit mono, odd length", WithExtra(pcm8, 0, {}), 16, WithExtra(pcm8, 0, {}), 1001, 7, 1001},
        // A stray cbSize of PCM is neither stored nor read back.
        {"pcm with stray cbSize", WithExtra(pcm16, 6, Noise(6, 1)), 16, WithExtra(pcm16, 0, {}), 64, 64, 64},
        {"ima adpcm, 2 extra bytes", WithExtra(ima, 2, samplesPerBlock), 20, WithExtra(ima, 2, samplesPerBlock),
         2048, 512, 100},
        {"odd extra bytes, odd length", WithExtra(oddTag, 3, {1, 2, 3}), 21, WithExtra(oddTag, 3, {1, 2, 3}), 777,
         100, 50},
        {"ieee float", WithExtra(floatHead, 0, {}), 18, WithExtra(floatHead, 0, {}), 800, 800, 800},
        {"extensible 24-bit", ExtensiblePcm24(3), 40, ExtensiblePcm24(3), 900, 90, 900},
        // Crosses the write and read buffers in uneven pieces.
        {"large, uneven pieces", WithExtra(pcm16, 0, {}), 16, WithExtra(pcm16, 0, {}), 300001, 4099, 70001},
    };
}

class WaveRoundTrip : public testing::Test {
protected:
    ScratchFolder m_folder;
};

TEST_F(WaveRoundTrip, WrittenFilesHaveTheirLayoutAndReadBack)
{
    const Plugin& wave = WavePlugin();
    for (const RoundTripCase& c : RoundTripCases()) {
        SCOPED_TRACE(c.label);
        const std::string path = m_folder.File("out.wav");
        const Bytes audio = Noise(c.dataLength, static_cast<uint32_t>(c.dataLength));
        ASSERT_TRUE(WriteFileThrough(wave, path, c.format, audio, c.writePiece));

        const Bytes file = ReadBytes(path);
        const size_t formatPad = c.formatChunkSize % 2;
        const size_t dataPad = c.dataLength % 2;
        const size_t dataHeader = 12 + 8 + c.formatChunkSize + formatPad;
        ASSERT_EQ(file.size(), dataHeader + 8 + c.dataLength + dataPad);
        EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
        EXPECT_EQ(Le32At(file, 4), file.size() - 8);
        EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(Le32At(file, 16), c.formatChunkSize);
        EXPECT_EQ(std::memcmp(file.data() + 20, c.format.data(), c.formatChunkSize), 0);
        if (formatPad != 0) {
            EXPECT_EQ(file[20 + c.formatChunkSize], 0);
        }
        EXPECT_EQ(std::memcmp(file.data() + dataHeader, "data", 4), 0);
        EXPECT_EQ(Le32At(file, dataHeader + 4), c.dataLength);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin() + static_cast<long>(dataHeader + 8)));
        if (dataPad != 0) {
            EXPECT_EQ(file.back(), 0);
        }

        const Description description = Describe(wave, path);
        ASSERT_EQ(description.formatResult, 0);
        EXPECT_EQ(description.format, c.describedFormat);
        EXPECT_EQ(description.dataSize, c.dataLength);
        Bytes read;
        ASSERT_TRUE(ReadAudio(wave, path, description.dataSize, c.readPiece, read));
        EXPECT_EQ(read, audio);
    }
}

TEST_F(WaveRoundTrip, ThreadsWriteTheirOwnFilesAtOnce)
{
    const Plugin& wave = WavePlugin();
    const Bytes format = WithExtra(FormatHead(PcmFormat(8000, 16, 1)), 0, {});
    bool results[2] = {};
    std::thread writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i] = std::thread([&, i] {
            results[i] = WriteFileThrough(wave, m_folder.File(std::to_string(i) + ".wav"), format,
                                          Noise(50000 + static_cast<size_t>(i), static_cast<uint32_t>(i)), 333);
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(results[i]);
        const Description description = Describe(wave, m_folder.File(std::to_string(i) + ".wav"));
        EXPECT_EQ(description.formatResult, 0);
        EXPECT_EQ(description.dataSize, 50000U + static_cast<uint32_t>(i));
    }
}

TEST_F(WaveRoundTrip, SecondFileOnOneThreadLeavesTheFirstUnharmed)
{
    const Plugin& wave = WavePlugin();
    const Bytes format = WithExtra(FormatHead(PcmFormat(8000, 16, 1)), 0, {});
    const auto* record = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    const std::string firstPath = m_folder.File("first.wav");
    const std::string secondPath = m_folder.File("second.wav");
    AUDFF_HANDLE first = 0;
    AUDFF_HANDLE second = 0;
    ASSERT_EQ(wave.OpenWrite(firstPath.c_str(), &first), 0);
    ASSERT_EQ(wave.PutFormat(first, record), 0);
    ASSERT_EQ(wave.OpenWrite(secondPath.c_str(), &second), 0);
    ASSERT_EQ(wave.PutFormat(second, record), 0);

    // The thread's bookkeeping now belongs to the second file.
    EXPECT_EQ(wave.PreWrite(first), 22);
    const Bytes audio = Noise(100, 4);
    ASSERT_EQ(wave.PreWrite(second), 0);
    EXPECT_EQ(wave.Write(first, audio.data(), 100), 23);
    ASSERT_EQ(wave.Write(second, audio.data(), 100), 0);
    EXPECT_EQ(wave.PostWrite(first), 24);
    EXPECT_EQ(wave.CloseWrite(first), 25);
    EXPECT_EQ(wave.PostWrite(second), 0);
    EXPECT_EQ(wave.CloseWrite(second), 0);

    const Description description = Describe(wave, secondPath);
    EXPECT_EQ(description.formatResult, 0);
    EXPECT_EQ(description.dataSize, 100U);
    // The first file was closed all the same: free to be written again.
    AUDFF_HANDLE again = 0;
    ASSERT_EQ(wave.OpenWrite(firstPath.c_str(), &again), 0);
    EXPECT_EQ(wave.CloseWrite(again), 0);
}

TEST_F(WaveRoundTrip, WriteStepsOutOfOrderAreRefused)
{
    const Plugin& wave = WavePlugin();
    const Bytes format = WithExtra(FormatHead(PcmFormat(44100, 16, 2)), 0, {});
    const auto* record = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    const std::string path = m_folder.File("order.wav");
    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(wave.OpenWrite(path.c_str(), &writer), 0);
    const uint8_t byte = 1;
    EXPECT_EQ(wave.PreWrite(writer), 22);
    EXPECT_EQ(wave.Write(writer, &byte, 1), 23);
    EXPECT_EQ(wave.PostWrite(writer), 24);
    EXPECT_EQ(wave.PutFormat(writer, nullptr), 17);
    ASSERT_EQ(wave.PutFormat(writer, record), 0);
    EXPECT_EQ(wave.PutFormat(writer, record), 20);
    EXPECT_EQ(wave.Write(writer, &byte, 1), 23);
    ASSERT_EQ(wave.PreWrite(writer), 0);
    EXPECT_EQ(wave.PreWrite(writer), 22);
    // Past 4 GiB the sizes would wrap: refused before a byte is taken.
    EXPECT_EQ(wave.Write(writer, &byte, 0xFFFFFFF0U), 23);
    ASSERT_EQ(wave.Write(writer, &byte, 1), 0);

    // Handles of the other direction are not taken.
    WAVEFORMATEX* block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(wave.GetFormat(writer, &block, &size), 17);
    EXPECT_EQ(wave.PreRead(writer), 17);
    EXPECT_EQ(wave.CloseRead(writer), 17);
    EXPECT_EQ(wave.PostWrite(writer), 0);
    EXPECT_EQ(wave.CloseWrite(writer), 0);

    AUDFF_HANDLE reader = 0;
    ASSERT_EQ(wave.OpenRead(path.c_str(), &reader), 0);
    EXPECT_EQ(wave.PutFormat(reader, record), 17);
    EXPECT_EQ(wave.Write(reader, &byte, 1), 17);
    EXPECT_EQ(wave.CloseWrite(reader), 17);
    EXPECT_EQ(wave.CloseRead(reader), 0);
    EXPECT_EQ(Describe(wave, path).dataSize, 1U);
}

} // namespace
