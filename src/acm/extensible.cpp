// WAVE_FORMAT_EXTENSIBLE: a PCM or IEEE float stream with valid bits and a
// channel mask. It is described, suggested and streamed as its sub-format,
// so 24-bit and multichannel files convert. It is not enumerated: plain PCM
// and float already list every destination it could offer.
#include <cstring>
#include <iterator>

#include "acm/acm_support.h"
#include "acm/uncompressed.h"

namespace orvano::acm {

namespace {

constexpr uint16_t kExtensibleExtraBytes = 22;
constexpr uint32_t kExtensibleSize = 18 + kExtensibleExtraBytes;

constexpr AcmFormatTagInfo kExtensibleTags[] = {{WAVE_FORMAT_EXTENSIBLE, "Extensible", kExtensibleSize, 0}};

// The sub-format GUIDs share this tail; the first two bytes carry the tag.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct ExtensibleFields {
    uint16_t validBits;
    uint32_t channelMask;
    uint16_t subFormat;  // WAVE_FORMAT_PCM or WAVE_FORMAT_IEEE_FLOAT, else 0
};

ExtensibleFields ReadFields(const WAVEFORMATEX* format) {
    const uint8_t* extra = reinterpret_cast<const uint8_t*>(format) + 18;
    ExtensibleFields fields{};
    std::memcpy(&fields.validBits, extra, 2);
    std::memcpy(&fields.channelMask, extra + 2, 4);
    uint16_t guidHead;
    std::memcpy(&guidHead, extra + 6, 2);
    if (std::memcmp(extra + 8, kGuidTail, sizeof kGuidTail) == 0 &&
        (guidHead == WAVE_FORMAT_PCM || guidHead == WAVE_FORMAT_IEEE_FLOAT))
        fields.subFormat = guidHead;
    return fields;
}

uint32_t DefaultChannelMask(uint16_t channels) {
    static constexpr uint32_t kMasks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
    return channels < std::size(kMasks) ? kMasks[channels] : 0;
}

MMRESULT DescribeExtensible(const WAVEFORMATEX* format, char* name, size_t nameSize) {
    if (format->wFormatTag != WAVE_FORMAT_EXTENSIBLE || format->cbSize < kExtensibleExtraBytes ||
        !CommonFieldsValid(*format) || !UncompressedLayoutValid(*format))
        return ACMERR_NOTPOSSIBLE;
    const ExtensibleFields fields = ReadFields(format);
    const uint16_t bits = format->wBitsPerSample;
    if (fields.subFormat == WAVE_FORMAT_PCM) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return ACMERR_NOTPOSSIBLE;
    } else if (fields.subFormat == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits != 32 && bits != 64) return ACMERR_NOTPOSSIBLE;
    } else {
        return ACMERR_NOTPOSSIBLE;
    }
    if (fields.validBits > bits) return ACMERR_NOTPOSSIBLE;
    if (name) {
        const uint16_t shownBits = fields.validBits != 0 ? fields.validBits : bits;
        WriteFormatName(name, nameSize, format->nSamplesPerSec, shownBits, format->nChannels);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT SuggestPcmForExtensible(const WAVEFORMATEX* format, WAVEFORMATEX* pcm) {
    const bool isFloat = ReadFields(format).subFormat == WAVE_FORMAT_IEEE_FLOAT;
    *pcm = MakePcmFormat(format->nSamplesPerSec, isFloat ? 32 : format->wBitsPerSample, format->nChannels);
    return MMSYSERR_NOERROR;
}

// The extensible PCM block for a PCM format: the same samples, all bits
// valid, the default speaker layout.
MMRESULT SuggestExtensibleFromPcm(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize) {
    if (tag != WAVE_FORMAT_EXTENSIBLE || outSize < kExtensibleSize) return ACMERR_NOTPOSSIBLE;
    *out = MakePcmFormat(pcm->nSamplesPerSec, pcm->wBitsPerSample, pcm->nChannels);
    out->wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    out->cbSize = kExtensibleExtraBytes;
    uint8_t* extra = reinterpret_cast<uint8_t*>(out) + 18;
    const uint16_t validBits = pcm->wBitsPerSample;
    const uint32_t mask = DefaultChannelMask(pcm->nChannels);
    const uint16_t subFormat = WAVE_FORMAT_PCM;
    std::memcpy(extra, &validBits, 2);
    std::memcpy(extra + 2, &mask, 4);
    std::memcpy(extra + 6, &subFormat, 2);
    std::memcpy(extra + 8, kGuidTail, sizeof kGuidTail);
    return MMSYSERR_NOERROR;
}

MMRESULT OpenExtensibleStream(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t,
                              std::unique_ptr<AcmStreamConverter>& out) {
    const bool decoding = src->wFormatTag == WAVE_FORMAT_EXTENSIBLE;
    const WAVEFORMATEX* extensible = decoding ? src : dst;
    if (ReadFields(extensible).subFormat == WAVE_FORMAT_PCM)
        return MakeFrameCopyConverter(extensible->nBlockAlign, out);
    return decoding ? MakeFloatToPcm32Converter(src->nChannels, src->wBitsPerSample, out)
                    : MakePcm32ToFloatConverter(dst->nChannels, dst->wBitsPerSample, out);
}

bool EnumerateNothing(uint16_t, uint32_t, WAVEFORMATEX*) { return false; }

}  // namespace

const AcmDriver kExtensibleDriver = {
    "extensible", kExtensibleTags, std::size(kExtensibleTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    EnumerateNothing, DescribeExtensible, SuggestPcmForExtensible, SuggestExtensibleFromPcm, OpenExtensibleStream,
};

}  // namespace orvano::acm
