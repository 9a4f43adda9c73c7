// Apart from the plain format builders: only a test that calls these links
// the codec layer.
#include "support/AudioFormats.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "acm/acm.h"

namespace testsupport {

CAudioFormat AudioFormatOf(const WAVEFORMATEX& block)
{
    return CAudioFormat(&block);
}

CAudioFormat PcmAudioFormat(uint32_t rate, uint16_t bits, uint16_t channels)
{
    return AudioFormatOf(PcmFormat(rate, bits, channels));
}

uint16_t SamplesPerBlock(const CAudioFormat& format)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(format.GetFormat());
    return bytes != nullptr ? SamplesPerBlock(FormatBlock(bytes, bytes + format.GetSize())) : 0;
}

namespace {

int32_t CollectFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t)
{
    auto* list = reinterpret_cast<std::vector<FormatBlock>*>(instance);
    const auto* bytes = reinterpret_cast<const uint8_t*>(details->pwfx);
    list->emplace_back(bytes, bytes + 18 + details->pwfx->cbSize);
    return 1;
}

} // namespace

std::vector<FormatBlock> EnumeratedFormats(uint16_t tag)
{
    uint32_t maxSize = 0;
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), MMSYSERR_NOERROR);
    std::vector<uint8_t> room(std::max<uint32_t>(maxSize, 18));
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(room.data());
    details.pwfx->wFormatTag = tag;
    details.cbwfx = static_cast<uint32_t>(room.size());
    std::vector<FormatBlock> list;
    EXPECT_EQ(acmFormatEnum(nullptr, &details, CollectFormat, reinterpret_cast<uintptr_t>(&list),
                            ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    return list;
}

CAudioFormat EnumeratedAudioFormat(uint16_t tag, uint32_t rate, uint16_t channels, uint32_t bytesPerSecond)
{
    for (const FormatBlock& block : EnumeratedFormats(tag)) {
        const WAVEFORMATEX& format = *AsFormat(block);
        if (format.nSamplesPerSec == rate && format.nChannels == channels &&
            (bytesPerSecond == 0 || format.nAvgBytesPerSec == bytesPerSecond)) {
            return AudioFormatOf(format);
        }
    }
    return {};
}

} // namespace testsupport
