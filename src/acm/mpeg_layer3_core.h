// MPEG audio Layer III: the valid sample-rate / bit-rate pairs, a constant
// bit-rate encoder on libmp3lame and a feeding decoder on libmpg123.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct lame_global_struct;
struct mpg123_handle_struct;

namespace orvano::acm::mp3 {

enum class MpegVersion { kMpeg1, kMpeg2, kMpeg25 };

inline constexpr uint32_t kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
inline constexpr uint32_t kMpeg1BitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
inline constexpr uint32_t kMpeg2BitRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// The encoder keeps MPEG 2.5 to the low bit rates.
inline constexpr uint32_t kMpeg25BitRates[] = {8, 16, 24, 32, 40, 48, 56, 64};

// False for a rate that no MPEG version carries.
constexpr bool VersionForRate(uint32_t rate, MpegVersion& version) {
    switch (rate) {
    case 32000:
    case 44100:
    case 48000: version = MpegVersion::kMpeg1; return true;
    case 16000:
    case 22050:
    case 24000: version = MpegVersion::kMpeg2; return true;
    case 8000:
    case 11025:
    case 12000: version = MpegVersion::kMpeg25; return true;
    default: return false;
    }
}

constexpr std::span<const uint32_t> BitRatesFor(MpegVersion version) {
    switch (version) {
    case MpegVersion::kMpeg1: return kMpeg1BitRates;
    case MpegVersion::kMpeg2: return kMpeg2BitRates;
    case MpegVersion::kMpeg25: return kMpeg25BitRates;
    }
    return {};
}

// Samples per channel in one frame: 1152 (MPEG 1) or 576.
constexpr uint32_t SamplesPerFrame(MpegVersion version) { return version == MpegVersion::kMpeg1 ? 1152 : 576; }
// Bytes of the largest frame (with padding) at this pair.
uint32_t MaxFrameBytes(MpegVersion version, uint32_t kbitPerSecond, uint32_t rate);
bool EncodablePair(uint32_t rate, uint32_t kbitPerSecond);

struct EncoderSettings {
    uint32_t rate;
    uint32_t channels;
    uint32_t kbitPerSecond;
    bool highQuality;
};

// Constant bit-rate encoder producing a raw stream of frames (no tag frame).
class Encoder {
public:
    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder();

    enum class OpenResult { kOk, kRefused, kNoMemory };
    OpenResult Open(const EncoderSettings& settings);
    // The bytes one Encode of `frames` frames may produce, worst case.
    static uint32_t MaxEncodeBytes(uint32_t frames) { return frames + frames / 4 + 7200; }
    static constexpr uint32_t kMaxFlushBytes = 7200;
    // Encodes interleaved frames; returns the bytes written or -1.
    int Encode(const int16_t* interleaved, uint32_t frames, uint8_t* out, uint32_t room);
    // Pads and encodes what the encoder holds; after it, Open again before
    // encoding more. Returns the bytes written or -1.
    int Flush(uint8_t* out, uint32_t room);

private:
    void Close();
    lame_global_struct* m_lame = nullptr;
    uint32_t m_channels = 0;
};

enum class DecodeStatus {
    kOk,          // the room is full; more may be waiting
    kNeedMore,    // everything fed is decoded and delivered (`written` may be 0)
    kBadFormat,   // the stream changed to a sample rate the output cannot take
    kError,
};

// Decoder fed with any bytes of a stream (ID3 tags and junk are skipped),
// delivering 16-bit interleaved samples at one fixed rate and channel count:
// a stream with another channel count is mixed down or duplicated, one with
// another rate is refused.
class Decoder {
public:
    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    ~Decoder();

    bool Open(uint32_t rate, uint32_t channels);
    // Drops all fed data and state. False when the library fails.
    bool Reset();
    bool Feed(const uint8_t* data, size_t size);
    // Delivers up to `room` bytes (whole sample frames) into `out`.
    DecodeStatus Read(uint8_t* out, size_t room, size_t& written);

private:
    bool ConfigureFormat();
    mpg123_handle_struct* m_handle = nullptr;
    uint32_t m_rate = 0;
    uint32_t m_channels = 0;
};

}  // namespace orvano::acm::mp3
