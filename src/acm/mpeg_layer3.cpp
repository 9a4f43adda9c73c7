// MPEG Layer-3: any Layer III stream decoded to 16-bit PCM at the format's
// rate and channels; 16-bit PCM encoded at a constant bit rate.
#include <algorithm>
#include <iterator>

#include "acm/acm_support.h"
#include "acm/mpeg_layer3_core.h"

namespace orvano::acm {

namespace {

constexpr uint16_t kExtraBytes = MPEGLAYER3_WFX_EXTRA_BYTES;
constexpr uint16_t kChannelCounts[] = {1, 2};

constexpr uint32_t CountFormats() {
    uint32_t count = 0;
    for (const uint32_t rate : mp3::kSampleRates) {
        mp3::MpegVersion version{};
        mp3::VersionForRate(rate, version);
        count += static_cast<uint32_t>(mp3::BitRatesFor(version).size() * std::size(kChannelCounts));
    }
    return count;
}

constexpr uint32_t kFormatCount = CountFormats();

constexpr AcmFormatTagInfo kMp3Tags[] = {
    {WAVE_FORMAT_MPEGLAYER3, "MPEG Layer-3", 18 + kExtraBytes, kFormatCount},
};

void WriteMp3Format(uint32_t rate, uint32_t kbitPerSecond, uint16_t channels, WAVEFORMATEX* out) {
    MPEGLAYER3WAVEFORMAT format{};
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = channels;
    format.wfx.nSamplesPerSec = rate;
    format.wfx.nAvgBytesPerSec = kbitPerSecond * 1000 / 8;
    format.wfx.nBlockAlign = 1;
    format.wfx.wBitsPerSample = 0;
    format.wfx.cbSize = kExtraBytes;
    // The values MP3 files are described with, whatever the stream.
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = 2;
    format.nBlockSize = 417;
    format.nFramesPerBlock = 1;
    format.nCodecDelay = 1393;
    std::memcpy(out, &format, sizeof format);
}

bool EnumerateMp3(uint16_t tag, uint32_t index, WAVEFORMATEX* out) {
    if (tag != WAVE_FORMAT_MPEGLAYER3 || index >= kFormatCount) return false;
    for (const uint32_t rate : mp3::kSampleRates) {
        mp3::MpegVersion version{};
        mp3::VersionForRate(rate, version);
        const auto bitRates = mp3::BitRatesFor(version);
        const uint32_t here = static_cast<uint32_t>(bitRates.size() * std::size(kChannelCounts));
        if (index < here) {
            WriteMp3Format(rate, bitRates[index / std::size(kChannelCounts)],
                           kChannelCounts[index % std::size(kChannelCounts)], out);
            return true;
        }
        index -= here;
    }
    return false;
}

// Any nBlockAlign and extra values are taken: writers differ.
MMRESULT DescribeMp3(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    mp3::MpegVersion version;
    if (format->wFormatTag != WAVE_FORMAT_MPEGLAYER3 || !CommonFieldsValid(*format, 2) ||
        format->cbSize != kExtraBytes || !mp3::VersionForRate(format->nSamplesPerSec, version))
        return ACMERR_NOTPOSSIBLE;
    if (name)
        WriteBitRateFormatName(name, nameSize, static_cast<uint32_t>(uint64_t{format->nAvgBytesPerSec} * 8 / 1000),
                               format->nSamplesPerSec, format->nChannels);
    return MMSYSERR_NOERROR;
}

// The usual bit rate of each MPEG version, halved for mono.
uint32_t DefaultBitRate(mp3::MpegVersion version, uint16_t channels) {
    const uint32_t stereo = version == mp3::MpegVersion::kMpeg1 ? 128 : version == mp3::MpegVersion::kMpeg2 ? 64 : 32;
    return channels == 1 ? stereo / 2 : stereo;
}

MMRESULT SuggestMp3FromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    mp3::MpegVersion version;
    if (tag != WAVE_FORMAT_MPEGLAYER3 || pcm->wBitsPerSample != 16 || pcm->nChannels > 2 ||
        !mp3::VersionForRate(pcm->nSamplesPerSec, version) || outSize < sizeof(MPEGLAYER3WAVEFORMAT))
        return ACMERR_NOTPOSSIBLE;
    WriteMp3Format(pcm->nSamplesPerSec, DefaultBitRate(version, pcm->nChannels), pcm->nChannels, out);
    return MMSYSERR_NOERROR;
}

class Mp3EncoderStream final : public AcmStreamConverter {
public:
    // Frames handed to the encoder per call.
    static constexpr uint32_t kChunkFrames = 4608;

    Mp3EncoderStream(const mp3::EncoderSettings& settings, uint32_t maxFrameBytes)
        : m_settings(settings), m_frameBytes(2 * settings.channels), m_maxFrameBytes(maxFrameBytes) {}

    MMRESULT Open() {
        if (!m_samples.Allocate(size_t{kChunkFrames} * m_settings.channels) ||
            !m_carry.Allocate(std::max(mp3::Encoder::MaxEncodeBytes(kChunkFrames), mp3::Encoder::kMaxFlushBytes)))
            return MMSYSERR_NOMEM;
        return OpenEncoder();
    }

    uint32_t SourceBlockBytes() const override { return m_frameBytes; }
    uint32_t DestinationBlockBytes() const override { return m_maxFrameBytes; }

    MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst, uint32_t dstRoom,
                     uint32_t& dstUsed, uint32_t flags) override {
        srcUsed = 0;
        dstUsed = 0;
        if (flags & ACM_STREAMCONVERTF_START) {
            m_carry.Clear();
            if (m_encoderUsed) m_encoderSpent = true;
        }
        dstUsed = m_carry.Deliver(dst, dstRoom);
        if (m_carry.Held() != 0) return MMSYSERR_NOERROR;

        const uint32_t wholeFrames = srcLength / m_frameBytes;
        if (wholeFrames != 0 && m_encoderSpent) {
            // A new signal after a finished one: the encoder cannot go on
            // after its tail, so it starts afresh.
            const MMRESULT reopened = OpenEncoder();
            if (reopened != MMSYSERR_NOERROR) return reopened;
        }
        uint32_t framesDone = 0;
        while (framesDone < wholeFrames && m_carry.Held() == 0) {
            const uint32_t frames = std::min(kChunkFrames, wholeFrames - framesDone);
            std::memcpy(m_samples.data(), src + size_t{framesDone} * m_frameBytes, size_t{frames} * m_frameBytes);
            const uint32_t bound = mp3::Encoder::MaxEncodeBytes(frames);
            uint8_t* target = Target(bound, dst, dstRoom, dstUsed);
            m_encoderUsed = true;
            if (!Emit(m_encoder.Encode(m_samples.data(), frames, target, bound), dst, dstRoom, dstUsed))
                return MMSYSERR_ERROR;
            framesDone += frames;
        }
        srcUsed = framesDone * m_frameBytes;
        // Without block alignment a trailing part of a frame is dropped.
        if (framesDone == wholeFrames && !(flags & ACM_STREAMCONVERTF_BLOCKALIGN)) srcUsed = srcLength;

        if ((flags & ACM_STREAMCONVERTF_END) && srcUsed == srcLength && m_carry.Held() == 0 && !m_encoderSpent) {
            uint8_t* target = Target(mp3::Encoder::kMaxFlushBytes, dst, dstRoom, dstUsed);
            if (!Emit(m_encoder.Flush(target, mp3::Encoder::kMaxFlushBytes), dst, dstRoom, dstUsed))
                return MMSYSERR_ERROR;
            m_encoderSpent = true;
        }
        return MMSYSERR_NOERROR;
    }

private:
    MMRESULT OpenEncoder() {
        switch (m_encoder.Open(m_settings)) {
        case mp3::Encoder::OpenResult::kOk:
            m_encoderSpent = false;
            m_encoderUsed = false;
            return MMSYSERR_NOERROR;
        case mp3::Encoder::OpenResult::kRefused: return ACMERR_NOTPOSSIBLE;
        case mp3::Encoder::OpenResult::kNoMemory: break;
        }
        return MMSYSERR_NOMEM;
    }

    // Where up to `bytes` of encoder output go: straight into the caller's
    // room when it surely fits, else into the carry.
    uint8_t* Target(uint32_t bytes, uint8_t* dst, uint32_t dstRoom, uint32_t dstUsed) {
        m_direct = dstRoom - dstUsed >= bytes;
        return m_direct ? dst + dstUsed : m_carry.Reserve(bytes);
    }

    bool Emit(int written, uint8_t* dst, uint32_t dstRoom, uint32_t& dstUsed) {
        if (written < 0) return false;
        if (m_direct) {
            dstUsed += static_cast<uint32_t>(written);
        } else {
            m_carry.Commit(static_cast<uint32_t>(written));
            dstUsed += m_carry.Deliver(dst + dstUsed, dstRoom - dstUsed);
        }
        return true;
    }

    mp3::EncoderSettings m_settings;
    uint32_t m_frameBytes;
    uint32_t m_maxFrameBytes;
    mp3::Encoder m_encoder;
    bool m_encoderSpent = true;  // flushed or abandoned: open again before use
    bool m_encoderUsed = false;
    bool m_direct = false;
    AcmFixedBuffer<int16_t> m_samples;
    AcmOutputCarry m_carry;
};

class Mp3DecoderStream final : public AcmStreamConverter {
public:
    // Source bytes handed to the decoder at a time: what it holds beyond
    // what the caller's room takes stays small.
    static constexpr uint32_t kFeedBytes = 16384;
    static constexpr uint32_t kMaxFrameSamples = 1152;

    explicit Mp3DecoderStream(uint16_t channels) : m_channels(channels) {}
    bool Open(uint32_t rate) { return m_decoder.Open(rate, m_channels); }

    uint32_t SourceBlockBytes() const override { return 1; }
    uint32_t DestinationBlockBytes() const override { return kMaxFrameSamples * 2u * m_channels; }

    MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst, uint32_t dstRoom,
                     uint32_t& dstUsed, uint32_t flags) override {
        srcUsed = 0;
        dstUsed = 0;
        if ((flags & ACM_STREAMCONVERTF_START) && !m_decoder.Reset()) return MMSYSERR_ERROR;
        for (;;) {
            size_t written = 0;
            const mp3::DecodeStatus status = m_decoder.Read(dst + dstUsed, dstRoom - dstUsed, written);
            dstUsed += static_cast<uint32_t>(written);
            if (status == mp3::DecodeStatus::kBadFormat || status == mp3::DecodeStatus::kError) return MMSYSERR_ERROR;
            if (status == mp3::DecodeStatus::kOk) return MMSYSERR_NOERROR;  // the room is full
            if (srcUsed == srcLength) break;
            const uint32_t piece = std::min(kFeedBytes, srcLength - srcUsed);
            if (!m_decoder.Feed(src + srcUsed, piece)) return MMSYSERR_ERROR;
            srcUsed += piece;
        }
        // Everything fed is out: at the end of a stream the next data is a
        // new one.
        if ((flags & ACM_STREAMCONVERTF_END) && !m_decoder.Reset()) return MMSYSERR_ERROR;
        return MMSYSERR_NOERROR;
    }

private:
    uint16_t m_channels;
    mp3::Decoder m_decoder;
};

MMRESULT OpenMp3Stream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                       std::unique_ptr<AcmStreamConverter>& out) {
    if (src->wFormatTag == WAVE_FORMAT_MPEGLAYER3) {
        std::unique_ptr<Mp3DecoderStream> decoder(new (std::nothrow) Mp3DecoderStream(src->nChannels));
        if (!decoder) return MMSYSERR_NOMEM;
        if (!decoder->Open(src->nSamplesPerSec)) return MMSYSERR_NOMEM;
        out = std::move(decoder);
        return MMSYSERR_NOERROR;
    }
    const uint64_t bitsPerSecond = uint64_t{dst->nAvgBytesPerSec} * 8;
    const mp3::EncoderSettings settings{dst->nSamplesPerSec, dst->nChannels,
                                        static_cast<uint32_t>(bitsPerSecond / 1000),
                                        (flags & ACM_STREAMOPENF_NONREALTIME) != 0};
    mp3::MpegVersion version;
    if (bitsPerSecond % 1000 != 0 || !mp3::EncodablePair(settings.rate, settings.kbitPerSecond) ||
        !mp3::VersionForRate(settings.rate, version))
        return ACMERR_NOTPOSSIBLE;
    std::unique_ptr<Mp3EncoderStream> encoder(new (std::nothrow) Mp3EncoderStream(
        settings, mp3::MaxFrameBytes(version, settings.kbitPerSecond, settings.rate)));
    if (!encoder) return MMSYSERR_NOMEM;
    const MMRESULT opened = encoder->Open();
    if (opened != MMSYSERR_NOERROR) return opened;
    out = std::move(encoder);
    return MMSYSERR_NOERROR;
}

}  // namespace

const AcmDriver kMpegLayer3Driver = {
    "mpeg-layer3", kMp3Tags, std::size(kMp3Tags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateMp3, DescribeMp3, SuggestPcm16, SuggestMp3FromPcm, OpenMp3Stream,
};

}  // namespace orvano::acm
