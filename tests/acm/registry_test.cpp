// One walk over every registered driver: each tag is described and (when it
// has standard formats) enumerated; every enumerated format has details and
// a name, survives completion from its bare head, and streams to and from
// its suggested PCM.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "acm/driver.h"
#include "acm_test_support.h"
#include "formats/AudioFormat.h"

using namespace orvano::acm;

namespace {

struct Enumerated {
    std::vector<uint8_t> block;
    std::string name;
    uint32_t index;
};

int32_t CollectFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t) {
    auto* list = reinterpret_cast<std::vector<Enumerated>*>(instance);
    const auto* bytes = reinterpret_cast<const uint8_t*>(details->pwfx);
    list->push_back({std::vector<uint8_t>(bytes, bytes + details->cbwfx), details->szFormat, details->dwFormatIndex});
    return 1;
}

std::vector<Enumerated> EnumerateTag(uint16_t tag) {
    uint32_t maxSize = 0;
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), MMSYSERR_NOERROR);
    std::vector<uint8_t> block(std::max<uint32_t>(maxSize, 18));
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(block.data());
    details.cbwfx = static_cast<uint32_t>(block.size());
    std::vector<Enumerated> list;
    EXPECT_EQ(acmFormatEnum(nullptr, &details, CollectFormat, reinterpret_cast<uintptr_t>(&list),
                            ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    return list;
}

int32_t CollectTag(HACMDRIVERID, ACMFORMATTAGDETAILS* details, uintptr_t instance, uint32_t) {
    reinterpret_cast<std::vector<uint32_t>*>(instance)->push_back(details->dwFormatTag);
    return 1;
}

// The smallest source length the stream accepts, found the way the run pads.
uint32_t SmallestAcceptedLength(HACMSTREAM stream, std::vector<uint8_t>& room) {
    for (uint32_t length = 1; length <= 65536; ++length) {
        std::vector<uint8_t> source(length);
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = source.data();
        header.cbSrcLength = length;
        header.pbDst = room.data();
        header.cbDstLength = static_cast<uint32_t>(room.size());
        if (acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) {
            acmStreamUnprepareHeader(stream, &header, 0);
            return length;
        }
    }
    return 0;
}

// Converts one source block (block-aligned), then flushes; returns all output.
std::vector<uint8_t> ConvertOneBlock(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, const std::vector<uint8_t>& data,
                                     uint32_t* blockOut) {
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, src, dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    if (!stream) return {};
    std::vector<uint8_t> room(1 << 20);
    const uint32_t block = SmallestAcceptedLength(stream, room);
    EXPECT_NE(block, 0u);
    *blockOut = block;
    // A decoder that takes any byte count gets all the data there is.
    const uint32_t length = std::max<uint32_t>(block, static_cast<uint32_t>(data.size() / block * block));
    std::vector<uint8_t> source(length);
    for (size_t i = 0; i < length; ++i) source[i] = data.empty() ? 0 : data[i % data.size()];
    std::vector<uint8_t> output;
    for (int pass = 0; pass < 2; ++pass) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = pass == 0 ? source.data() : nullptr;
        header.cbSrcLength = pass == 0 ? length : 0;
        header.pbDst = room.data();
        header.cbDstLength = static_cast<uint32_t>(room.size());
        EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(stream, &header, pass == 0 ? ACM_STREAMCONVERTF_BLOCKALIGN : ACM_STREAMCONVERTF_END),
                  MMSYSERR_NOERROR);
        if (pass == 0) {
            EXPECT_EQ(header.cbSrcLengthUsed, length);
        }
        output.insert(output.end(), room.begin(), room.begin() + header.cbDstLengthUsed);
        EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    return output;
}

}  // namespace

TEST(AcmRegistry, EveryDriverAndEveryFormatWorks) {
    const AcmDriverList drivers = RegisteredDrivers();
    ASSERT_GT(drivers.count, 0u);

    std::vector<uint32_t> enumeratedTags;
    ACMFORMATTAGDETAILS tagDetails{};
    tagDetails.cbStruct = sizeof tagDetails;
    ASSERT_EQ(acmFormatTagEnum(nullptr, &tagDetails, CollectTag, reinterpret_cast<uintptr_t>(&enumeratedTags), 0),
              MMSYSERR_NOERROR);

    uint32_t maxSize = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), MMSYSERR_NOERROR);

    std::set<uint16_t> seenTags;
    for (size_t d = 0; d < drivers.count; ++d) {
        const AcmDriver& driver = *drivers.drivers[d];
        SCOPED_TRACE(driver.name);
        ASSERT_GT(driver.tagCount, 0u);
        for (uint32_t t = 0; t < driver.tagCount; ++t) {
            const AcmFormatTagInfo& info = driver.tags[t];
            SCOPED_TRACE(info.name);
            EXPECT_TRUE(seenTags.insert(info.tag).second) << "tag served twice";
            EXPECT_LE(info.maxFormatSize, maxSize);

            ACMFORMATTAGDETAILS details{};
            details.cbStruct = sizeof details;
            details.dwFormatTag = info.tag;
            ASSERT_EQ(acmFormatTagDetails(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
            EXPECT_STREQ(details.szFormatTag, info.name);
            EXPECT_EQ(details.cStandardFormats, info.standardFormatCount);

            const bool listed =
                std::find(enumeratedTags.begin(), enumeratedTags.end(), info.tag) != enumeratedTags.end();
            EXPECT_EQ(listed, info.standardFormatCount != 0);

            const std::vector<Enumerated> formats = EnumerateTag(info.tag);
            ASSERT_EQ(formats.size(), info.standardFormatCount);
            for (size_t i = 0; i < formats.size(); ++i) {
                const Enumerated& e = formats[i];
                SCOPED_TRACE(e.name);
                const auto* block = reinterpret_cast<const WAVEFORMATEX*>(e.block.data());
                EXPECT_EQ(e.index, i);
                EXPECT_EQ(block->wFormatTag, info.tag);
                EXPECT_FALSE(e.name.empty());

                CAudioFormat format(block);
                ACMFORMATDETAILS formatDetails;
                ASSERT_TRUE(format.GetFormatDetails(formatDetails));
                EXPECT_EQ(e.name, formatDetails.szFormat);

                // A bare head, as saved formats and statistics keep it, completes
                // to the first enumerated format with that head.
                WAVEFORMATEX head{};
                std::memcpy(&head, block, WAVEFORMATEX_HEAD_SIZE);
                CAudioFormat completed(&head);
                ASSERT_TRUE(completed.CompleteFromEnumeration());
                const auto first = std::find_if(formats.begin(), formats.end(), [&](const Enumerated& other) {
                    return std::memcmp(other.block.data(), block, WAVEFORMATEX_HEAD_SIZE) == 0;
                });
                EXPECT_TRUE(completed.IsEqual(CAudioFormat(reinterpret_cast<const WAVEFORMATEX*>(first->block.data()))));

                CAudioFormat pcm;
                ASSERT_TRUE(format.SuggestFormat(WAVE_FORMAT_PCM, pcm));
                EXPECT_EQ(pcm.GetFormat()->wFormatTag, WAVE_FORMAT_PCM);
                EXPECT_EQ(pcm.GetFormat()->nSamplesPerSec, block->nSamplesPerSec);
                EXPECT_EQ(pcm.GetFormat()->nChannels, block->nChannels);

                uint32_t pcmBlock = 0;
                uint32_t codedBlock = 0;
                const std::vector<uint8_t> pcmSignal = testsupport::Noise(1 << 16, 7);
                const std::vector<uint8_t> coded =
                    ConvertOneBlock(pcm.GetFormat(), block, pcmSignal, &pcmBlock);
                EXPECT_FALSE(coded.empty()) << "encoding one block produced nothing";
                const std::vector<uint8_t> decoded = ConvertOneBlock(block, pcm.GetFormat(), coded, &codedBlock);
                EXPECT_FALSE(decoded.empty()) << "decoding one block produced nothing";
                EXPECT_EQ(decoded.size() % pcm.GetFormat()->nBlockAlign, 0u);
            }
        }
    }
}
