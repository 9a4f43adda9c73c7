// Microsoft ADPCM (4 bit) to and from 16-bit PCM, with the coefficient pairs
// of the format block (the seven standard ones in the formats made here).
#include <iterator>

#include "acm/adpcm_driver.h"
#include "acm/ms_adpcm_core.h"

namespace orvano::acm {

namespace {

// Extra bytes: wSamplesPerBlock, wNumCoef, then wNumCoef pairs of int16. A
// stream keeps its own copy of the block's pairs.
class MsAdpcmCodec {
public:
    static constexpr uint16_t kTag = WAVE_FORMAT_ADPCM;
    static constexpr uint16_t kExtraBytes = 4 + 4 * msadpcm::kStandardCoefficientCount;
    static constexpr uint16_t kMaxChannels = msadpcm::kMaxChannels;

    static uint32_t SamplesPerBlock(uint32_t blockAlign, uint32_t channels) {
        return msadpcm::SamplesPerBlock(blockAlign, channels);
    }
    static bool BlockAlignValid(uint32_t blockAlign, uint32_t channels) {
        return msadpcm::BlockAlignValid(blockAlign, channels);
    }
    static void WriteExtra(uint8_t* extra) {
        StoreLe16(extra, msadpcm::kStandardCoefficientCount);
        for (uint32_t i = 0; i < msadpcm::kStandardCoefficientCount; ++i) {
            StoreLe16(extra + 2 + 4 * i, msadpcm::kStandardCoefficients[i].first);
            StoreLe16(extra + 4 + 4 * i, msadpcm::kStandardCoefficients[i].second);
        }
    }
    static bool ExtraValid(const WAVEFORMATEX& format) {
        if (format.cbSize < 4) return false;
        const uint32_t coefficientCount = static_cast<uint16_t>(LoadLe16(adpcm::ExtraBytes(&format) + 2));
        return coefficientCount >= msadpcm::kStandardCoefficientCount &&
               coefficientCount <= msadpcm::kMaxCoefficientCount && format.cbSize == 4 + 4 * coefficientCount;
    }

    explicit MsAdpcmCodec(const WAVEFORMATEX& format) {
        const uint8_t* extra = adpcm::ExtraBytes(&format);
        m_count = static_cast<uint16_t>(LoadLe16(extra + 2));
        for (uint32_t i = 0; i < m_count; ++i)
            m_pairs[i] = {LoadLe16(extra + 4 + 4 * i), LoadLe16(extra + 6 + 4 * i)};
    }
    bool DecodeBlock(const uint8_t* block, uint32_t length, uint32_t blockAlign, uint32_t channels, int16_t* out,
                     uint32_t& samplesDecoded) const {
        return msadpcm::DecodeBlock(block, length, blockAlign, channels, Coefficients(), out, samplesDecoded) ==
               msadpcm::DecodeResult::kOk;
    }
    void EncodeBlock(const int16_t* in, uint32_t blockAlign, uint32_t channels, bool highQuality,
                     uint8_t* block) const {
        msadpcm::EncodeBlock(in, blockAlign, channels, Coefficients(), highQuality, block);
    }

private:
    msadpcm::Coefficients Coefficients() const { return {m_pairs, m_count}; }

    msadpcm::CoefficientPair m_pairs[msadpcm::kMaxCoefficientCount] = {};
    uint32_t m_count = 0;
};

constexpr AcmFormatTagInfo kMsAdpcmTags[] = {
    {WAVE_FORMAT_ADPCM, "Microsoft ADPCM", 18 + MsAdpcmCodec::kExtraBytes, adpcm::kStandardFormatCount},
};

}  // namespace

const AcmDriver kMsAdpcmDriver = {
    "ms-adpcm", kMsAdpcmTags, std::size(kMsAdpcmTags), ACMDRIVERDETAILS_SUPPORTF_CODEC,
    adpcm::EnumerateFormat<MsAdpcmCodec>, adpcm::DescribeFormat<MsAdpcmCodec>, SuggestPcm16,
    adpcm::SuggestFromPcm<MsAdpcmCodec>, adpcm::OpenStream<MsAdpcmCodec>,
};

}  // namespace orvano::acm
