// MP3 files described by their first frame header after any leading ID3v2
// tags, with a data size that leaves the tags out; and the formats the
// library writes.
#include <cstring>
#include <gtest/gtest.h>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

enum Version : uint32_t { kMpeg25 = 0, kVersionReserved = 1, kMpeg2 = 2, kMpeg1 = 3 };
enum Layer : uint32_t { kLayerReserved = 0, kLayer3 = 1, kLayer2 = 2, kLayer1 = 3 };
enum Mode : uint32_t { kStereo = 0, kJointStereo = 1, kMono = 3 };

Bytes FrameHeader(uint32_t version, uint32_t layer, uint32_t bitRateIndex, uint32_t rateIndex, uint32_t mode)
{
    const uint32_t header = 0xFFE00000U | version << 19 | layer << 17 | 1U << 16 | bitRateIndex << 12 |
                            rateIndex << 10 | mode << 6;
    return {static_cast<uint8_t>(header >> 24), static_cast<uint8_t>(header >> 16),
            static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
}

// Frame bytes that can never hold "TAG" ('T' is even).
Bytes Frames(size_t length)
{
    Bytes bytes = Noise(length, 21);
    for (auto& byte : bytes) {
        byte |= 0x01;
    }
    return bytes;
}

Bytes Id3v2(uint32_t bodySize, uint8_t flags = 0, const Bytes& body = {})
{
    Bytes tag{'I', 'D', '3', 3, 0, flags, static_cast<uint8_t>(bodySize >> 21 & 0x7F),
              static_cast<uint8_t>(bodySize >> 14 & 0x7F), static_cast<uint8_t>(bodySize >> 7 & 0x7F),
              static_cast<uint8_t>(bodySize & 0x7F)};
    Bytes content = body;
    content.resize(bodySize, 0x41);
    tag.insert(tag.end(), content.begin(), content.end());
    if ((flags & 0x10) != 0) {
        const Bytes footer{'3', 'D', 'I', 3, 0, flags, tag[6], tag[7], tag[8], tag[9]};
        tag.insert(tag.end(), footer.begin(), footer.end());
    }
    return tag;
}

Bytes Id3v1()
{
    Bytes tag(128, 0x20);
    std::memcpy(tag.data(), "TAG", 3);
    return tag;
}

struct Mp3Case {
    const char* label;
    Bytes file;
    int32_t expectedResult;
    uint16_t channels;
    uint32_t rate;
    uint32_t byteRate;
    size_t audioStart; // where the host's data begins
    size_t audioEnd;   // where it ends, 0: the end of the file
};

std::vector<Mp3Case> Mp3Cases()
{
    const Bytes header = FrameHeader(kMpeg1, kLayer3, 9, 0, kJointStereo);
    const Bytes body = Frames(500);
    const Bytes tagInLeadingTag = Id3v2(60, 0, {'T', 'A', 'G'});
    const Bytes shortFile = Join({header, Frames(146), Bytes{'T', 'A', 'G'}, Frames(47)});
    return {
        {"mpeg-1 layer III joint stereo", Join({Bytes{0xFF, 0xFB, 0x90, 0x44}, body}), 0, 2, 44100, 16000, 0, 0},
        {"mpeg-2", Join({Bytes{0xFF, 0xF3, 0x90, 0x44}, body}), 0, 2, 22050, 10000, 0, 0},
        {"mpeg-2.5 mono", Join({FrameHeader(kMpeg25, kLayer3, 8, 0, kMono), body}), 0, 1, 11025, 8000, 0, 0},
        {"mpeg-2 16 kHz", Join({FrameHeader(kMpeg2, kLayer3, 4, 2, kStereo), body}), 0, 2, 16000, 4000, 0, 0},
        {"mpeg-1 48 kHz layer I", Join({FrameHeader(kMpeg1, kLayer1, 1, 1, kMono), body}), 0, 1, 48000, 4000, 0, 0},
        {"mpeg-1 32 kHz layer II", Join({FrameHeader(kMpeg1, kLayer2, 14, 2, kStereo), body}), 0, 2, 32000, 48000,
         0, 0},
        {"mpeg-2 layer I", Join({FrameHeader(kMpeg2, kLayer1, 14, 1, kStereo), body}), 0, 2, 24000, 32000, 0, 0},
        // Sync bits are not checked: bytes that pass the field checks describe.
        {"no sync", Join({Bytes{0x00, 0x1A, 0x90, 0x44}, body}), 0, 2, 44100, 16000, 0, 0},
        {"reserved version", Join({FrameHeader(kVersionReserved, kLayer3, 9, 0, kStereo), body}), 8, 0, 0, 0, 0, 0},
        {"reserved layer", Join({FrameHeader(kMpeg1, kLayerReserved, 9, 0, kStereo), body}), 8, 0, 0, 0, 0, 0},
        {"free bit rate", Join({FrameHeader(kMpeg1, kLayer3, 0, 0, kStereo), body}), 8, 0, 0, 0, 0, 0},
        {"bit rate 15", Join({FrameHeader(kMpeg1, kLayer3, 15, 0, kStereo), body}), 8, 0, 0, 0, 0, 0},
        {"reserved sample rate", Join({FrameHeader(kMpeg1, kLayer3, 9, 3, kStereo), body}), 8, 0, 0, 0, 0, 0},
        {"empty file", {}, 13, 0, 0, 0, 0, 0},
        {"three bytes", Bytes{0xFF, 0xFB, 0x90}, 13, 0, 0, 0, 0, 0},
        {"trailing tag", Join({header, body, Id3v1()}), 0, 2, 44100, 16000, 0, 4 + 500},
        {"TAG at 150 of 200 bytes", shortFile, 0, 2, 44100, 16000, 0, 150},
        {"leading tag", Join({Id3v2(100), header, body}), 0, 2, 44100, 16000, 110, 0},
        {"leading tag with footer", Join({Id3v2(100, 0x10), header, body}), 0, 2, 44100, 16000, 120, 0},
        {"two leading tags and padding", Join({Id3v2(50), Id3v2(20), Bytes(300, 0), header, body}), 0, 2, 44100,
         16000, 60 + 30 + 300, 0},
        {"both tags", Join({Id3v2(200), header, body, Id3v1()}), 0, 2, 44100, 16000, 210, 210 + 504},
        {"TAG inside the leading tag", Join({tagInLeadingTag, header, Frames(20)}), 0, 2, 44100, 16000, 70, 0},
        {"leading tag past the end of the file", Join({Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 50}, Bytes(5, 0x41)}),
         13, 0, 0, 0, 0, 0},
        {"leading tag size running past the end", Join({Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x4E, 0x20}, header, body}),
         13, 0, 0, 0, 0, 0},
        {"leading tag size not synchsafe", Join({Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0x00}, header, body}), 2, 0,
         0, 0, 0, 0},
        {"leading tag and padding only", Join({Id3v2(30), Bytes(5000, 0)}), 13, 0, 0, 0, 0, 0},
    };
}

class Mp3Input : public testing::Test {
protected:
    ScratchFolder m_folder;
};

TEST_F(Mp3Input, EachFileGetsItsDescription)
{
    const Plugin& mp3 = Mp3Plugin();
    for (const Mp3Case& c : Mp3Cases()) {
        SCOPED_TRACE(c.label);
        const std::string path = m_folder.File("input.mp3");
        WriteBytes(path, c.file);
        const Description description = Describe(mp3, path);
        ASSERT_EQ(description.openResult, 0);
        ASSERT_EQ(description.formatResult, c.expectedResult);
        if (c.expectedResult != 0) {
            EXPECT_TRUE(description.blockNullOnFailure);
            continue;
        }
        ASSERT_EQ(description.format.size(), 30U);
        MPEGLAYER3WAVEFORMAT format;
        std::memcpy(&format, description.format.data(), sizeof format);
        EXPECT_EQ(format.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
        EXPECT_EQ(format.wfx.nChannels, c.channels);
        EXPECT_EQ(format.wfx.nSamplesPerSec, c.rate);
        EXPECT_EQ(format.wfx.nAvgBytesPerSec, c.byteRate);
        EXPECT_EQ(format.wfx.nBlockAlign, 2 * c.channels);
        EXPECT_EQ(format.wfx.wBitsPerSample, 0);
        EXPECT_EQ(format.wfx.cbSize, 12);
        EXPECT_EQ(format.wID, 1);
        EXPECT_EQ(format.fdwFlags, 2U);
        EXPECT_EQ(format.nBlockSize, 417);
        EXPECT_EQ(format.nFramesPerBlock, 1);
        EXPECT_EQ(format.nCodecDelay, 1393);

        const size_t audioEnd = c.audioEnd != 0 ? c.audioEnd : c.file.size();
        EXPECT_EQ(description.dataSize, audioEnd - c.audioStart);
        Bytes audio;
        ASSERT_TRUE(ReadAudio(mp3, path, description.dataSize, 100, audio));
        EXPECT_EQ(audio, Bytes(c.file.begin() + static_cast<long>(c.audioStart),
                               c.file.begin() + static_cast<long>(audioEnd)));
    }
}

// Reading without describing first, as a conversion does.
TEST_F(Mp3Input, PreReadFindsTheAudioOnItsOwn)
{
    const Plugin& mp3 = Mp3Plugin();
    const Bytes frames = Join({FrameHeader(kMpeg1, kLayer3, 9, 0, kStereo), Frames(300)});
    const std::string path = m_folder.File("tagged.mp3");
    WriteBytes(path, Join({Id3v2(77), Bytes(3, 0), frames}));
    AUDFF_HANDLE handle = 0;
    ASSERT_EQ(mp3.OpenRead(path.c_str(), &handle), 0);
    ASSERT_EQ(mp3.PreRead(handle), 0);
    Bytes audio(frames.size() + 10);
    uint32_t size = static_cast<uint32_t>(audio.size());
    ASSERT_EQ(mp3.Read(handle, audio.data(), &size), 0);
    EXPECT_EQ(size, frames.size());
    audio.resize(size);
    EXPECT_EQ(audio, frames);
    size = 10;
    ASSERT_EQ(mp3.Read(handle, audio.data(), &size), 0);
    EXPECT_EQ(size, 0U);
    // Again from the start after reading.
    ASSERT_EQ(mp3.PreRead(handle), 0);
    size = 4;
    ASSERT_EQ(mp3.Read(handle, audio.data(), &size), 0);
    EXPECT_EQ(Bytes(audio.begin(), audio.begin() + 4), Bytes(frames.begin(), frames.begin() + 4));
    EXPECT_EQ(mp3.CloseRead(handle), 0);
}

TEST_F(Mp3Input, TruncatedAtEveryOffset)
{
    const Plugin& mp3 = Mp3Plugin();
    const Bytes whole = Join({Id3v2(40), FrameHeader(kMpeg1, kLayer3, 9, 0, kStereo), Frames(20)});
    const size_t headerEnd = 50 + 4;
    const std::string path = m_folder.File("cut.mp3");
    for (size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        WriteBytes(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
        const Description description = Describe(mp3, path);
        ASSERT_EQ(description.formatResult, length < headerEnd ? 13 : 0);
        if (length >= headerEnd) {
            EXPECT_EQ(description.dataSize, length - 50);
        }
    }
}

TEST(Mp3Output, AcceptedFormats)
{
    const Plugin& mp3 = Mp3Plugin();
    struct FormatCase {
        const char* label;
        uint16_t tag;
        uint16_t channels;
        uint32_t rate;
        uint32_t byteRate;
        int32_t expected;
    };
    const FormatCase cases[] = {
        {"44.1 kHz 128 kbit/s stereo", WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16000, 1},
        {"no single table has 24 kHz at 64 kbit/s, yet it passes", WAVE_FORMAT_MPEGLAYER3, 1, 24000, 8000, 1},
        {"8 kHz 8 kbit/s", WAVE_FORMAT_MPEGLAYER3, 1, 8000, 1000, 1},
        {"448 kbit/s", WAVE_FORMAT_MPEGLAYER3, 2, 48000, 56000, 1},
        {"three channels", WAVE_FORMAT_MPEGLAYER3, 3, 44100, 16000, 0},
        {"no channels", WAVE_FORMAT_MPEGLAYER3, 0, 44100, 16000, 0},
        {"rate off the table", WAVE_FORMAT_MPEGLAYER3, 2, 44101, 16000, 0},
        {"bit rate off the table", WAVE_FORMAT_MPEGLAYER3, 2, 44100, 16001, 0},
        {"bit rate 0", WAVE_FORMAT_MPEGLAYER3, 2, 44100, 0, 0},
        {"bit rate wrapping 32 bits", WAVE_FORMAT_MPEGLAYER3, 2, 44100, 0x20000000U + 16000, 0},
        {"PCM", WAVE_FORMAT_PCM, 2, 44100, 16000, 0},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes format = FormatHead(c.tag, c.channels, c.rate, c.byteRate, 1, 0);
        AppendLe16(format, 12);
        format.resize(30, 0);
        EXPECT_EQ(mp3.CheckFormat(reinterpret_cast<const WAVEFORMATEX*>(format.data())), c.expected);
    }
    EXPECT_EQ(mp3.CheckFormat(nullptr), 0);
    EXPECT_EQ(mp3.CheckFormatTag(WAVE_FORMAT_MPEGLAYER3), 1);
    EXPECT_EQ(mp3.CheckFormatTag(WAVE_FORMAT_PCM), 0);
    EXPECT_EQ(mp3.CheckFormatTag(0x10055), 0);
}

} // namespace
