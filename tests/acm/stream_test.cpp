// The stream rules the conversion run relies on: which streams open, what
// prepare refuses, what one convert consumes and produces, and the flush.
#include <gtest/gtest.h>

#include <vector>

#include "acm/acm_support.h"
#include "acm_test_support.h"

using testsupport::PcmFormat;
using testsupport::G711Format;
using testsupport::FloatFormat;

namespace {

class Stream {
public:
    Stream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, uint32_t flags = 0) {
        result = acmStreamOpen(&handle, nullptr, &src, &dst, nullptr, 0, 0, flags);
    }
    ~Stream() {
        if (handle) acmStreamClose(handle, 0);
    }
    HACMSTREAM handle = nullptr;
    MMRESULT result;
};

ACMSTREAMHEADER Header(std::vector<uint8_t>& src, uint32_t srcLength, std::vector<uint8_t>& dst, uint32_t room) {
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = src.data();
    header.cbSrcLength = srcLength;
    header.pbDst = dst.data();
    header.cbDstLength = room;
    return header;
}

struct Counts {
    MMRESULT result;
    uint32_t used;
    uint32_t produced;
};

Counts ConvertOnce(HACMSTREAM stream, std::vector<uint8_t>& src, uint32_t srcLength, std::vector<uint8_t>& dst,
                   uint32_t room, uint32_t flags) {
    ACMSTREAMHEADER header = Header(src, srcLength, dst, room);
    MMRESULT result = acmStreamPrepareHeader(stream, &header, 0);
    if (result != MMSYSERR_NOERROR) return {result, 0, 0};
    result = acmStreamConvert(stream, &header, flags);
    EXPECT_NE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE, 0u);
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    return {result, header.cbSrcLengthUsed, header.cbDstLengthUsed};
}

}  // namespace

TEST(AcmStreams, WhichStreamsOpen) {
    struct Case {
        const char* what;
        WAVEFORMATEX src;
        WAVEFORMATEX dst;
        MMRESULT result;
    };
    const Case cases[] = {
        {"PCM rate, bits and channels at once", PcmFormat(44100, 16, 2), PcmFormat(22050, 8, 1), MMSYSERR_NOERROR},
        {"PCM mono to stereo", PcmFormat(8000, 8, 1), PcmFormat(48000, 24, 2), MMSYSERR_NOERROR},
        {"PCM 6 channels to stereo", PcmFormat(48000, 24, 6), PcmFormat(48000, 16, 2), MMSYSERR_NOERROR},
        {"PCM 8 channels kept", PcmFormat(96000, 32, 8), PcmFormat(44100, 16, 8), MMSYSERR_NOERROR},
        {"PCM stereo to 6 channels", PcmFormat(48000, 16, 2), PcmFormat(48000, 16, 6), ACMERR_NOTPOSSIBLE},
        {"PCM 6 to 4 channels", PcmFormat(48000, 16, 6), PcmFormat(48000, 16, 4), ACMERR_NOTPOSSIBLE},
        {"PCM at odd rates", PcmFormat(37800, 16, 2), PcmFormat(7, 16, 2), MMSYSERR_NOERROR},
        {"A-law to its PCM", G711Format(WAVE_FORMAT_ALAW, 8000, 1), PcmFormat(8000, 16, 1), MMSYSERR_NOERROR},
        {"A-law to other PCM", G711Format(WAVE_FORMAT_ALAW, 8000, 1), PcmFormat(44100, 16, 1), ACMERR_NOTPOSSIBLE},
        {"PCM to u-law", PcmFormat(22050, 16, 2), G711Format(WAVE_FORMAT_MULAW, 22050, 2), MMSYSERR_NOERROR},
        {"8-bit PCM to u-law", PcmFormat(22050, 8, 2), G711Format(WAVE_FORMAT_MULAW, 22050, 2), ACMERR_NOTPOSSIBLE},
        {"A-law to u-law", G711Format(WAVE_FORMAT_ALAW, 8000, 1), G711Format(WAVE_FORMAT_MULAW, 8000, 1),
         ACMERR_NOTPOSSIBLE},
        {"float to 16-bit PCM", FloatFormat(44100, 2), PcmFormat(44100, 16, 2), ACMERR_NOTPOSSIBLE},
        {"float to 32-bit PCM", FloatFormat(44100, 2), PcmFormat(44100, 32, 2), MMSYSERR_NOERROR},
        {"inconsistent source", PcmFormat(44100, 16, 0), PcmFormat(44100, 16, 2), ACMERR_NOTPOSSIBLE},
    };
    for (const Case& c : cases) {
        Stream stream(c.src, c.dst, ACM_STREAMOPENF_NONREALTIME);
        EXPECT_EQ(stream.result, c.result) << c.what;
        EXPECT_EQ(stream.handle != nullptr, c.result == MMSYSERR_NOERROR) << c.what;
        EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &c.src, &c.dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), c.result)
            << c.what;
    }
    const WAVEFORMATEX pcm = PcmFormat(44100, 16, 2);
    HACMSTREAM handle = nullptr;
    EXPECT_EQ(acmStreamOpen(&handle, nullptr, &pcm, &pcm, nullptr, 0, 0, 0x100), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamOpen(&handle, nullptr, &pcm, &pcm, &pcm, 0, 0, 0), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &pcm, &pcm, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(handle, nullptr);
}

// PCM 16-bit stereo to A-law stereo: 4 source bytes make one 2-byte block.
TEST(AcmStreams, BlockAlignmentPartialPiecesAndRoom) {
    Stream stream(PcmFormat(8000, 16, 2), G711Format(WAVE_FORMAT_ALAW, 8000, 2));
    ASSERT_EQ(stream.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src = testsupport::Noise(4096, 1);
    std::vector<uint8_t> dst(4096);
    struct Case {
        const char* what;
        uint32_t srcLength;
        uint32_t room;
        uint32_t flags;
        Counts expected;
    };
    const Case cases[] = {
        {"whole blocks", 1000, 4096, ACM_STREAMCONVERTF_BLOCKALIGN, {MMSYSERR_NOERROR, 1000, 500}},
        {"aligned leaves the partial block", 1003, 4096, ACM_STREAMCONVERTF_BLOCKALIGN, {MMSYSERR_NOERROR, 1000, 500}},
        {"unaligned takes the partial block", 1003, 4096, 0, {MMSYSERR_NOERROR, 1003, 500}},
        {"room ends consumption", 1000, 101, ACM_STREAMCONVERTF_BLOCKALIGN, {MMSYSERR_NOERROR, 200, 100}},
        {"room ends before the partial block", 1003, 100, 0, {MMSYSERR_NOERROR, 200, 100}},
        {"one block", 4, 2, ACM_STREAMCONVERTF_BLOCKALIGN, {MMSYSERR_NOERROR, 4, 2}},
        {"below one block is refused", 3, 4096, 0, {ACMERR_NOTPOSSIBLE, 0, 0}},
        {"room below one block is refused", 1000, 1, 0, {ACMERR_NOTPOSSIBLE, 0, 0}},
    };
    for (const Case& c : cases) {
        const Counts counts = ConvertOnce(stream.handle, src, c.srcLength, dst, c.room, c.flags);
        EXPECT_EQ(counts.result, c.expected.result) << c.what;
        EXPECT_EQ(counts.used, c.expected.used) << c.what;
        EXPECT_EQ(counts.produced, c.expected.produced) << c.what;
    }
}

// Each convert starts at pbSrc again: the caller advances, nothing is
// remembered of the last call's position.
TEST(AcmStreams, ASecondConvertOfOneHeaderConvertsItsSourceAgain) {
    Stream stream(PcmFormat(8000, 16, 1), G711Format(WAVE_FORMAT_MULAW, 8000, 1));
    ASSERT_EQ(stream.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src = testsupport::Noise(200, 2);
    std::vector<uint8_t> dst(100);
    ACMSTREAMHEADER header = Header(src, 200, dst, 100);
    ASSERT_EQ(acmStreamPrepareHeader(stream.handle, &header, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(stream.handle, &header, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    const std::vector<uint8_t> first(dst.begin(), dst.end());
    std::fill(dst.begin(), dst.end(), 0);
    ASSERT_EQ(acmStreamConvert(stream.handle, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(header.cbSrcLengthUsed, 200u);
    EXPECT_EQ(dst, first);
    EXPECT_EQ(acmStreamUnprepareHeader(stream.handle, &header, 0), MMSYSERR_NOERROR);
}

TEST(AcmStreams, HeaderBookkeeping) {
    Stream a(PcmFormat(8000, 16, 1), G711Format(WAVE_FORMAT_ALAW, 8000, 1));
    Stream b(PcmFormat(8000, 16, 1), G711Format(WAVE_FORMAT_ALAW, 8000, 1));
    ASSERT_EQ(a.result, MMSYSERR_NOERROR);
    ASSERT_EQ(b.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src(100);
    std::vector<uint8_t> dst(100);
    ACMSTREAMHEADER header = Header(src, 100, dst, 100);
    EXPECT_EQ(acmStreamConvert(a.handle, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(a.handle, &header, 0), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(a.handle, &header, 0), MMSYSERR_NOERROR);
    EXPECT_NE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED, 0u);
    EXPECT_EQ(acmStreamConvert(b.handle, &header, 0), ACMERR_UNPREPARED) << "prepared for another stream";
    EXPECT_EQ(acmStreamConvert(a.handle, &header, 0x1000), MMSYSERR_INVALFLAG);
    header.cbSrcLength = 60;
    EXPECT_EQ(acmStreamConvert(a.handle, &header, 0), MMSYSERR_NOERROR) << "a shorter source is fine";
    EXPECT_EQ(header.cbSrcLengthUsed, 60u);
    header.cbSrcLength = 101;
    EXPECT_EQ(acmStreamConvert(a.handle, &header, 0), MMSYSERR_INVALPARAM) << "longer than prepared";
    header.cbSrcLength = 100;
    EXPECT_EQ(acmStreamUnprepareHeader(a.handle, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED, 0u);

    ACMSTREAMHEADER wrongSize = Header(src, 100, dst, 100);
    wrongSize.cbStruct = 84;  // the 32-bit size
    EXPECT_EQ(acmStreamPrepareHeader(a.handle, &wrongSize, 0), MMSYSERR_INVALPARAM);
    ACMSTREAMHEADER noDestination = Header(src, 100, dst, 100);
    noDestination.pbDst = nullptr;
    EXPECT_EQ(acmStreamPrepareHeader(a.handle, &noDestination, 0), MMSYSERR_INVALPARAM);

    // A header left prepared on a closed stream is refused, not followed.
    ACMSTREAMHEADER stale = Header(src, 100, dst, 100);
    ASSERT_EQ(acmStreamPrepareHeader(b.handle, &stale, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamClose(b.handle, 0), MMSYSERR_NOERROR);
    const HACMSTREAM closed = b.handle;
    b.handle = nullptr;
    EXPECT_EQ(acmStreamConvert(closed, &stale, 0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(acmStreamClose(closed, 0), MMSYSERR_INVALHANDLE);
    Stream reopened(PcmFormat(8000, 16, 1), G711Format(WAVE_FORMAT_ALAW, 8000, 1));
    EXPECT_EQ(acmStreamConvert(reopened.handle, &stale, 0), ACMERR_UNPREPARED)
        << "a new stream at the old address does not inherit the header";
}

// 44.1 kHz -> 22.05 kHz in small pieces and a small room: every output
// comes out once, whatever the pieces, and the END flush delivers the tail.
TEST(AcmStreams, ResamplerTailAndPiecesLoseNothing) {
    const WAVEFORMATEX src = PcmFormat(44100, 16, 2);
    const WAVEFORMATEX dst = PcmFormat(22050, 16, 2);
    const size_t frames = 44100;
    const std::vector<uint8_t> input = testsupport::ToneBytes(440, 0.5, 44100, 2, frames);
    for (uint32_t quality : {0u, unsigned{ACM_STREAMOPENF_NONREALTIME}}) {
        const acmtest::StreamResult whole = acmtest::RunStream(src, dst, input, quality, 1 << 20, 1 << 20);
        ASSERT_EQ(whole.result, MMSYSERR_NOERROR);
        const double outFrames = whole.output.size() / 4.0;
        EXPECT_NEAR(outFrames, frames / 2.0, 4.0) << "quality " << quality;

        const acmtest::StreamResult pieces = acmtest::RunStream(src, dst, input, quality, 1000, 64);
        ASSERT_EQ(pieces.result, MMSYSERR_NOERROR);
        EXPECT_TRUE(acmtest::SameBytes(pieces.output, whole.output)) << "quality " << quality;
    }
}

// The run's way: prepare, convert with block alignment, and when that
// produced nothing, the same header again without flags.
TEST(AcmStreams, TheRunsRetryWithoutFlagsTakesThePartialPiece) {
    Stream stream(PcmFormat(8000, 16, 2), PcmFormat(8000, 24, 2));
    ASSERT_EQ(stream.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src = testsupport::Noise(7, 3);  // one frame and 3 bytes
    std::vector<uint8_t> dst(64);
    ACMSTREAMHEADER header = Header(src, 7, dst, 64);
    ASSERT_EQ(acmStreamPrepareHeader(stream.handle, &header, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(stream.handle, &header, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_EQ(header.cbSrcLengthUsed, 4u);
    EXPECT_EQ(header.cbDstLengthUsed, 6u);
    ASSERT_EQ(acmStreamConvert(stream.handle, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(header.cbSrcLengthUsed, 7u);
    EXPECT_EQ(header.cbDstLengthUsed, 6u) << "the incomplete frame yields no sample";
    acmStreamUnprepareHeader(stream.handle, &header, 0);
}

TEST(AcmStreams, ResamplerRefusesLengthsBelowOneFrameAndRoomBelowOneBlock) {
    Stream up(PcmFormat(8000, 16, 2), PcmFormat(48000, 16, 2));
    ASSERT_EQ(up.result, MMSYSERR_NOERROR);
    std::vector<uint8_t> src(64);
    std::vector<uint8_t> dst(64);
    EXPECT_EQ(ConvertOnce(up.handle, src, 3, dst, 64, 0).result, ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(ConvertOnce(up.handle, src, 4, dst, 23, 0).result, ACMERR_NOTPOSSIBLE) << "one frame makes 6";
    EXPECT_EQ(ConvertOnce(up.handle, src, 4, dst, 24, 0).result, MMSYSERR_NOERROR);
}

// A new signal after a drained tail starts from a clean resampler.
TEST(AcmStreams, ResamplerStartsAfreshAfterItsTail) {
    const WAVEFORMATEX src = PcmFormat(48000, 16, 1);
    const WAVEFORMATEX dst = PcmFormat(44100, 16, 1);
    const std::vector<uint8_t> input = testsupport::ToneBytes(1000, 0.5, 48000, 1, 4800);
    Stream stream(src, dst);
    ASSERT_EQ(stream.result, MMSYSERR_NOERROR);
    std::vector<std::vector<uint8_t>> runs;
    for (int run = 0; run < 2; ++run) {
        std::vector<uint8_t> source = input;
        std::vector<uint8_t> room(1 << 16);
        std::vector<uint8_t> output;
        Counts counts = ConvertOnce(stream.handle, source, static_cast<uint32_t>(source.size()), room, 1 << 16,
                                    ACM_STREAMCONVERTF_END);
        ASSERT_EQ(counts.result, MMSYSERR_NOERROR);
        EXPECT_EQ(counts.used, source.size());
        output.assign(room.begin(), room.begin() + counts.produced);
        runs.push_back(output);
    }
    EXPECT_TRUE(acmtest::SameBytes(runs[0], runs[1]));
    EXPECT_NEAR(runs[0].size() / 2.0, 4410.0, 2.0);
}

// The held-back output of stateful codecs comes out in order, in any room.
TEST(AcmStreams, OutputCarryDeliversInOrder) {
    orvano::acm::AcmOutputCarry carry;
    ASSERT_TRUE(carry.Allocate(10));
    uint8_t* space = carry.Reserve(6);
    ASSERT_NE(space, nullptr);
    for (uint8_t i = 0; i < 6; ++i) space[i] = i;
    carry.Commit(6);
    uint8_t out[16] = {};
    EXPECT_EQ(carry.Deliver(out, 4), 4u);
    EXPECT_EQ(carry.Held(), 2u);
    // Room for 8 more once the 2 held bytes move to the front; 9 do not fit.
    EXPECT_EQ(carry.Reserve(9), nullptr);
    space = carry.Reserve(8);
    ASSERT_NE(space, nullptr);
    for (uint8_t i = 0; i < 8; ++i) space[i] = static_cast<uint8_t>(6 + i);
    carry.Commit(8);
    EXPECT_EQ(carry.Deliver(out + 4, 16), 10u);
    for (uint8_t i = 0; i < 14; ++i) EXPECT_EQ(out[i], i);
    EXPECT_EQ(carry.Held(), 0u);
    EXPECT_EQ(carry.Deliver(out, 16), 0u);
}
