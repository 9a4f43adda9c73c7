#include "support/AudioFormats.h"

namespace testsupport {

WAVEFORMATEX PcmFormat(uint32_t rate, uint16_t bits, uint16_t channels, uint16_t tag)
{
    WAVEFORMATEX format{};
    format.wFormatTag = tag;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    return format;
}

WAVEFORMATEX FloatFormat(uint32_t rate, uint16_t channels)
{
    return PcmFormat(rate, 32, channels, WAVE_FORMAT_IEEE_FLOAT);
}

WAVEFORMATEX G711Format(uint16_t tag, uint32_t rate, uint16_t channels)
{
    return PcmFormat(rate, 8, channels, tag);
}

Bytes FormatHead(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byteRate, uint16_t blockAlign,
                 uint16_t bits)
{
    Bytes head;
    AppendLe16(head, tag);
    AppendLe16(head, channels);
    AppendLe32(head, rate);
    AppendLe32(head, byteRate);
    AppendLe16(head, blockAlign);
    AppendLe16(head, bits);
    return head;
}

Bytes FormatHead(const WAVEFORMATEX& format)
{
    return FormatHead(format.wFormatTag, format.nChannels, format.nSamplesPerSec, format.nAvgBytesPerSec,
                      format.nBlockAlign, format.wBitsPerSample);
}

Bytes WithExtra(Bytes head, uint16_t cbSize, const Bytes& extra)
{
    AppendLe16(head, cbSize);
    head.insert(head.end(), extra.begin(), extra.end());
    return head;
}

uint32_t SignificantSize(const WAVEFORMATEX& format)
{
    return format.wFormatTag == WAVE_FORMAT_PCM ? 16u : 18u + format.cbSize;
}

uint16_t SamplesPerBlock(const FormatBlock& block)
{
    return block.size() >= 20 && Le16At(block, 16) >= 2 ? Le16At(block, 18) : 0;
}

} // namespace testsupport
