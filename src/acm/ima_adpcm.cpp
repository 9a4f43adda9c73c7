// IMA ADPCM (4 bit) to and from 16-bit PCM, blocks as WAVE files carry them.
#include <iterator>

#include "acm/adpcm_driver.h"
#include "acm/ima_adpcm_core.h"

namespace orvano::acm {

namespace {

// The only extra bytes are wSamplesPerBlock.
struct ImaCodec {
    static constexpr uint16_t kTag = WAVE_FORMAT_IMA_ADPCM;
    static constexpr uint16_t kExtraBytes = 2;
    static constexpr uint16_t kMaxChannels = acm::kMaxChannels;

    static uint32_t SamplesPerBlock(uint32_t blockAlign, uint32_t channels) {
        return ima::SamplesPerBlock(blockAlign, channels);
    }
    static bool BlockAlignValid(uint32_t blockAlign, uint32_t channels) {
        return ima::BlockAlignValid(blockAlign, channels);
    }
    static void WriteExtra(uint8_t*) {}
    static bool ExtraValid(const WAVEFORMATEX& format) { return format.cbSize == kExtraBytes; }

    explicit ImaCodec(const WAVEFORMATEX&) {}
    bool DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels, int16_t* out,
                     uint32_t& samplesDecoded) const {
        return ima::DecodeBlock(block, length, blockAlign, channels, out, samplesDecoded) == ima::DecodeResult::kOk;
    }
    void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, bool highQuality,
                     uint8_t* block) const {
        ima::EncodeBlock(in, blockAlign, channels, highQuality, block);
    }
};

constexpr AcmFormatTagInfo kImaTags[] = {
    {WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM", 18 + ImaCodec::kExtraBytes, adpcm::kStandardFormatCount},
};

}  // namespace

const AcmDriver kImaAdpcmDriver = {
    "ima-adpcm", kImaTags, std::size(kImaTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    adpcm::EnumerateFormat<ImaCodec>, adpcm::DescribeFormat<ImaCodec>, SuggestPcm16, adpcm::SuggestFromPcm<ImaCodec>,
    adpcm::OpenStream<ImaCodec>,
};

}  // namespace orvano::acm
