#include "acm/mpeg_layer3_core.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <mutex>

#include <lame.h>
#include <mpg123.h>

namespace orvano::acm::mp3 {

uint32_t MaxFrameBytes(MpegVersion version, uint32_t kbitPerSecond, uint32_t rate) {
    // Frame bytes = samples / 8 x bit rate / rate, plus one padding byte.
    return static_cast<uint32_t>(uint64_t{SamplesPerFrame(version)} / 8 * kbitPerSecond * 1000 / rate) + 1;
}

bool EncodablePair(uint32_t rate, uint32_t kbitPerSecond) {
    MpegVersion version;
    if (!VersionForRate(rate, version)) return false;
    const auto rates = BitRatesFor(version);
    return std::find(rates.begin(), rates.end(), kbitPerSecond) != rates.end();
}

namespace {

// The library writes its notes to the terminal unless told otherwise.
void Silent(const char*, va_list) {}

constexpr int kHighQuality = 2;
constexpr int kLowQuality = 7;

}  // namespace

Encoder::~Encoder() { Close(); }

void Encoder::Close() {
    if (m_lame) lame_close(m_lame);
    m_lame = nullptr;
}

Encoder::OpenResult Encoder::Open(const EncoderSettings& settings) {
    Close();
    if (!EncodablePair(settings.rate, settings.kbitPerSecond) || settings.channels < 1 || settings.channels > 2)
        return OpenResult::kRefused;
    // The library fills shared tables on its first set-up.
    static std::mutex setUp;
    std::lock_guard lock(setUp);
    m_lame = lame_init();
    if (!m_lame) return OpenResult::kNoMemory;
    m_channels = settings.channels;
    lame_set_errorf(m_lame, Silent);
    lame_set_debugf(m_lame, Silent);
    lame_set_msgf(m_lame, Silent);
    lame_set_in_samplerate(m_lame, static_cast<int>(settings.rate));
    lame_set_out_samplerate(m_lame, static_cast<int>(settings.rate));
    lame_set_num_channels(m_lame, static_cast<int>(settings.channels));
    lame_set_mode(m_lame, settings.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(m_lame, vbr_off);
    lame_set_brate(m_lame, static_cast<int>(settings.kbitPerSecond));
    lame_set_quality(m_lame, settings.highQuality ? kHighQuality : kLowQuality);
    lame_set_bWriteVbrTag(m_lame, 0);
    lame_set_write_id3tag_automatic(m_lame, 0);
    if (lame_init_params(m_lame) < 0 || lame_get_out_samplerate(m_lame) != static_cast<int>(settings.rate) ||
        lame_get_brate(m_lame) != static_cast<int>(settings.kbitPerSecond)) {
        Close();
        return OpenResult::kRefused;
    }
    return OpenResult::kOk;
}

int Encoder::Encode(const int16_t* interleaved, uint32_t frames, uint8_t* out, uint32_t room) {
    if (!m_lame || frames > INT_MAX / 2) return -1;
    const int size = static_cast<int>(std::min<uint32_t>(room, INT_MAX));
    const int count = static_cast<int>(frames);
    int written;
    if (m_channels == 2) {
        // The library does not write to its input.
        written = lame_encode_buffer_interleaved(m_lame, const_cast<short*>(interleaved), count, out, size);
    } else {
        written = lame_encode_buffer(m_lame, interleaved, interleaved, count, out, size);
    }
    return written < 0 ? -1 : written;
}

int Encoder::Flush(uint8_t* out, uint32_t room) {
    if (!m_lame) return -1;
    const int written = lame_encode_flush(m_lame, out, static_cast<int>(std::min<uint32_t>(room, INT_MAX)));
    Close();
    return written < 0 ? -1 : written;
}

Decoder::~Decoder() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
    }
}

bool Decoder::Open(uint32_t rate, uint32_t channels) {
    static std::once_flag initialised;
    static int initResult = MPG123_ERR;
    std::call_once(initialised, [] { initResult = mpg123_init(); });
    if (initResult != MPG123_OK) return false;
    m_rate = rate;
    m_channels = channels;
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle) return false;
    // Quiet, and no resampling: its output would be crude; a stream that
    // leaves the rate fails instead.
    if (mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(m_handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0) != MPG123_OK || !ConfigureFormat())
        return false;
    return mpg123_open_feed(m_handle) == MPG123_OK;
}

bool Decoder::ConfigureFormat() {
    return mpg123_format_none(m_handle) == MPG123_OK &&
           mpg123_format(m_handle, static_cast<long>(m_rate), m_channels == 1 ? MPG123_MONO : MPG123_STEREO,
                         MPG123_ENC_SIGNED_16) == MPG123_OK;
}

bool Decoder::Reset() {
    if (!m_handle) return false;
    mpg123_close(m_handle);
    return mpg123_open_feed(m_handle) == MPG123_OK;
}

bool Decoder::Feed(const uint8_t* data, size_t size) {
    return size == 0 || mpg123_feed(m_handle, data, size) == MPG123_OK;
}

DecodeStatus Decoder::Read(uint8_t* out, size_t room, size_t& written) {
    written = 0;
    room -= room % (size_t{2} * m_channels);
    while (written < room) {
        size_t done = 0;
        const int result = mpg123_read(m_handle, out + written, room - written, &done);
        written += done;
        switch (result) {
        case MPG123_OK:
            if (done == 0) return DecodeStatus::kOk;
            break;
        case MPG123_NEW_FORMAT: {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK) return DecodeStatus::kError;
            if (rate != static_cast<long>(m_rate) || channels != static_cast<int>(m_channels) ||
                encoding != MPG123_ENC_SIGNED_16)
                return DecodeStatus::kBadFormat;
            break;
        }
        case MPG123_NEED_MORE:
        case MPG123_DONE: return DecodeStatus::kNeedMore;
        default:
            // Without resampling no output format fits a stream at another rate.
            return mpg123_errcode(m_handle) == MPG123_BAD_OUTFORMAT ? DecodeStatus::kBadFormat : DecodeStatus::kError;
        }
    }
    return DecodeStatus::kOk;
}

}  // namespace orvano::acm::mp3
