// How the codecs stream: the output does not depend on how the source is cut
// into pieces or how little room each convert has, and a stream forgets an
// earlier signal at START and after its END.
#include <gtest/gtest.h>

#include <string>

#include "codec_test_support.h"

using namespace codectest;
using namespace testsupport;

namespace {

struct Direction {
    const char* what;
    uint16_t tag;
    uint32_t rate;
    uint16_t channels;
    bool encode;
};

constexpr Direction kDirections[] = {
    {"IMA encode", WAVE_FORMAT_IMA_ADPCM, 22050, 2, true},  {"IMA decode", WAVE_FORMAT_IMA_ADPCM, 22050, 2, false},
    {"MS encode", WAVE_FORMAT_ADPCM, 44100, 2, true},       {"MS decode", WAVE_FORMAT_ADPCM, 44100, 2, false},
    {"GSM encode", WAVE_FORMAT_GSM610, 8000, 1, true},      {"GSM decode", WAVE_FORMAT_GSM610, 8000, 1, false},
    {"MP3 encode", WAVE_FORMAT_MPEGLAYER3, 44100, 2, true}, {"MP3 decode", WAVE_FORMAT_MPEGLAYER3, 44100, 2, false},
    {"MP3 encode", WAVE_FORMAT_MPEGLAYER3, 11025, 1, true}, {"MP3 decode", WAVE_FORMAT_MPEGLAYER3, 11025, 1, false},
};

FormatBlock Standard(uint16_t tag, uint32_t rate, uint16_t channels) {
    for (const FormatBlock& format : EnumeratedFormats(tag))
        if (AsFormat(format)->nSamplesPerSec == rate && AsFormat(format)->nChannels == channels) return format;
    ADD_FAILURE() << "no standard format";
    return FormatBlock(18, 0);
}

// The formats of one direction and a source for it (coded data made by us).
struct Job {
    FormatBlock coded;
    WAVEFORMATEX pcm;
    bool encode;
    std::vector<uint8_t> input;
    const void* src() const { return encode ? static_cast<const void*>(&pcm) : coded.data(); }
    const void* dst() const { return encode ? coded.data() : static_cast<const void*>(&pcm); }
};

Job MakeJob(const Direction& d, size_t frames, uint32_t seed) {
    Job job{Standard(d.tag, d.rate, d.channels), PcmFormat(d.rate, 16, d.channels), d.encode, {}};
    job.input = ToBytes(MusicSignal(d.rate, d.channels, frames, seed));
    if (!d.encode) job.input = RunStream(&job.pcm, job.coded.data(), job.input).output;
    return job;
}

// The smallest destination room prepare takes for a source of `length`.
uint32_t SmallestRoom(const void* src, const void* dst, uint32_t length) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, static_cast<const WAVEFORMATEX*>(src), static_cast<const WAVEFORMATEX*>(dst),
                      nullptr, 0, 0, 0) != MMSYSERR_NOERROR)
        return 0;
    std::vector<uint8_t> source(length);
    std::vector<uint8_t> room(1 << 20);
    uint32_t smallest = 0;
    for (uint32_t size = 1; size <= room.size(); ++size) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = source.data();
        header.cbSrcLength = length;
        header.pbDst = room.data();
        header.cbDstLength = size;
        if (acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) {
            acmStreamUnprepareHeader(stream, &header, 0);
            smallest = size;
            break;
        }
    }
    acmStreamClose(stream, 0);
    return smallest;
}

TEST(AcmCodecStreaming, PiecesAndRoomDoNotChangeTheOutput) {
    for (const Direction& d : kDirections) {
        SCOPED_TRACE(std::string(d.what) + " " + std::to_string(d.rate));
        const Job s = MakeJob(d, d.rate * 2 + 99, 1);
        const RunResult whole = RunStream(s.src(), s.dst(), s.input);
        ASSERT_EQ(whole.convertResult, MMSYSERR_NOERROR);
        ASSERT_FALSE(whole.output.empty());

        RunOptions tight;
        tight.piece = 777;
        tight.room = SmallestRoom(s.src(), s.dst(), 1u << 16);
        ASSERT_NE(tight.room, 0u);
        ASSERT_LT(tight.room, 20000u);
        const RunResult cut = RunStream(s.src(), s.dst(), s.input, tight);
        ASSERT_EQ(cut.convertResult, MMSYSERR_NOERROR);
        EXPECT_TRUE(cut.output == whole.output) << "sizes " << cut.output.size() << " and " << whole.output.size();
    }
}

// Converts all of `input` on an open stream, the first convert with
// `firstFlags`, then flushes with END.
std::vector<uint8_t> ConvertAll(HACMSTREAM stream, const std::vector<uint8_t>& input, uint32_t firstFlags) {
    std::vector<uint8_t> output;
    std::vector<uint8_t> room(1 << 16);
    size_t offset = 0;
    uint32_t flags = firstFlags;
    for (bool ending = false;;) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(input.data()) + offset;
        header.cbSrcLength = ending ? 0 : static_cast<uint32_t>(input.size() - offset);
        header.pbDst = room.data();
        header.cbDstLength = static_cast<uint32_t>(room.size());
        EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(stream, &header, flags | (ending ? ACM_STREAMCONVERTF_END : 0)), MMSYSERR_NOERROR);
        acmStreamUnprepareHeader(stream, &header, 0);
        flags = 0;
        output.insert(output.end(), room.begin(), room.begin() + header.cbDstLengthUsed);
        offset += header.cbSrcLengthUsed;
        if (ending && header.cbDstLengthUsed < room.size()) break;
        if (offset == input.size()) ending = true;
        if (!ending && header.cbSrcLengthUsed == 0 && header.cbDstLengthUsed == 0) {
            ADD_FAILURE() << "stuck";
            break;
        }
    }
    return output;
}

TEST(AcmCodecStreaming, StartAndEndForgetTheEarlierSignal) {
    for (const Direction& d : kDirections) {
        SCOPED_TRACE(std::string(d.what) + " " + std::to_string(d.rate));
        const Job first = MakeJob(d, d.rate / 2 + 5, 7);
        const Job second = MakeJob(d, d.rate / 2 + 301, 8);
        auto open = [&] {
            HACMSTREAM stream = nullptr;
            EXPECT_EQ(acmStreamOpen(&stream, nullptr, static_cast<const WAVEFORMATEX*>(second.src()),
                                    static_cast<const WAVEFORMATEX*>(second.dst()), nullptr, 0, 0, 0),
                      MMSYSERR_NOERROR);
            return stream;
        };
        HACMSTREAM fresh = open();
        const std::vector<uint8_t> expected = ConvertAll(fresh, second.input, 0);
        acmStreamClose(fresh, 0);
        ASSERT_FALSE(expected.empty());

        HACMSTREAM reused = open();
        ConvertAll(reused, first.input, 0);
        EXPECT_TRUE(ConvertAll(reused, second.input, 0) == expected) << "after END";
        // Half of the first signal, no END: START must drop what is held.
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        std::vector<uint8_t> half(first.input.begin(),
                                  first.input.begin() + static_cast<std::ptrdiff_t>(first.input.size() / 2));
        std::vector<uint8_t> room(1 << 20);
        header.pbSrc = half.data();
        header.cbSrcLength = static_cast<uint32_t>(half.size());
        header.pbDst = room.data();
        header.cbDstLength = static_cast<uint32_t>(room.size());
        ASSERT_EQ(acmStreamPrepareHeader(reused, &header, 0), MMSYSERR_NOERROR);
        ASSERT_EQ(acmStreamConvert(reused, &header, 0), MMSYSERR_NOERROR);
        acmStreamUnprepareHeader(reused, &header, 0);
        EXPECT_TRUE(ConvertAll(reused, second.input, ACM_STREAMCONVERTF_START) == expected) << "after START";
        acmStreamClose(reused, 0);
    }
}

}  // namespace
