#include "acm/acm_support.h"

#include <algorithm>
#include <cstdio>

namespace orvano::acm {

const char* ChannelsText(uint32_t channels, char* scratch, size_t size) {
    if (channels == 1) return "Mono";
    if (channels == 2) return "Stereo";
    std::snprintf(scratch, size, "%u Channels", channels);
    return scratch;
}

static void WriteRateText(char* out, size_t size, uint32_t rate) {
    std::snprintf(out, size, "%u.%03u kHz", rate / 1000, rate % 1000);
}

void WriteFormatName(char* out, size_t size, uint32_t rate, uint32_t bits, uint32_t channels) {
    char rateText[32];
    char channelScratch[24];
    WriteRateText(rateText, sizeof rateText, rate);
    const char* channelText = ChannelsText(channels, channelScratch, sizeof channelScratch);
    if (bits == 0)
        std::snprintf(out, size, "%s, %s", rateText, channelText);
    else
        std::snprintf(out, size, "%s, %u Bit, %s", rateText, bits, channelText);
}

void WriteBitRateFormatName(char* out, size_t size, uint32_t kbitPerSecond, uint32_t rate, uint32_t channels) {
    char rateText[32];
    char channelScratch[24];
    WriteRateText(rateText, sizeof rateText, rate);
    std::snprintf(out, size, "%u kBit/s, %s, %s", kbitPerSecond, rateText,
                  ChannelsText(channels, channelScratch, sizeof channelScratch));
}

WAVEFORMATEX MakePcmFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    format.cbSize = 0;
    return format;
}

MMRESULT SuggestPcm16(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    *pcm = MakePcmFormat(format->nSamplesPerSec, 16, format->nChannels);
    return MMSYSERR_NOERROR;
}

bool SameHead(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return std::memcmp(&a, &b, WAVEFORMATEX_HEAD_SIZE) == 0;
}

bool CommonFieldsValid(const WAVEFORMATEX& format, uint16_t maxChannels) {
    return format.nChannels >= 1 && format.nChannels <= maxChannels && format.nSamplesPerSec >= 1 &&
           format.nSamplesPerSec <= kMaxRate && format.nAvgBytesPerSec != 0 && format.nBlockAlign != 0;
}

bool UncompressedLayoutValid(const WAVEFORMATEX& format) {
    if (format.wBitsPerSample == 0 || format.wBitsPerSample % 8 != 0) return false;
    const uint32_t blockAlign = uint32_t{format.nChannels} * (format.wBitsPerSample / 8u);
    return format.nBlockAlign == blockAlign &&
           uint64_t{format.nAvgBytesPerSec} == uint64_t{format.nSamplesPerSec} * blockAlign;
}

void CopyText(char* out, size_t size, const char* text) {
    if (size == 0) return;
    std::snprintf(out, size, "%s", text);
}

uint32_t AcmOutputCarry::Deliver(uint8_t* dst, uint32_t room) {
    const uint32_t bytes = std::min(room, Held());
    if (bytes != 0) std::memcpy(dst, m_buffer.data() + m_begin, bytes);
    m_begin += bytes;
    if (m_begin == m_end) m_begin = m_end = 0;
    return bytes;
}

uint8_t* AcmOutputCarry::Reserve(uint32_t bytes) {
    if (m_begin != 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end + bytes > m_buffer.capacity()) return nullptr;
    return m_buffer.data() + m_end;
}

MMRESULT AcmBlockConverter::Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst,
                                    uint32_t dstRoom, uint32_t& dstUsed, uint32_t flags) {
    srcUsed = 0;
    dstUsed = 0;
    const uint32_t wholeBlocks = srcLength / m_sourceBlock;
    const uint32_t blocks = std::min(wholeBlocks, dstRoom / m_destinationBlock);
    if (blocks != 0) {
        const MMRESULT result = ConvertBlocks(src, blocks, dst);
        if (result != MMSYSERR_NOERROR) return result;
        srcUsed = blocks * m_sourceBlock;
        dstUsed = blocks * m_destinationBlock;
    }
    const uint32_t rest = srcLength - srcUsed;
    if (blocks == wholeBlocks && rest != 0 && !(flags & ACM_STREAMCONVERTF_BLOCKALIGN) &&
        dstRoom - dstUsed >= m_destinationBlock) {
        dstUsed += ConvertPartialBlock(src + srcUsed, rest, dst + dstUsed);
        srcUsed = srcLength;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace orvano::acm
