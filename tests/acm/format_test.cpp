// Descriptions, names, enumeration order and suggestions of the codec layer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acm_test_support.h"

using testsupport::PcmFormat;
using testsupport::G711Format;
using testsupport::FloatFormat;

namespace {

struct Block {
    uint8_t bytes[64] = {};
    WAVEFORMATEX* wfx() { return reinterpret_cast<WAVEFORMATEX*>(bytes); }
};

Block Extensible(uint32_t rate, uint16_t bits, uint16_t channels, uint16_t subFormat, uint16_t validBits,
                 uint16_t cbSize = 22) {
    Block b;
    *b.wfx() = PcmFormat(rate, bits, channels, WAVE_FORMAT_EXTENSIBLE);
    b.wfx()->cbSize = cbSize;
    const uint32_t mask = 0x3F;
    std::memcpy(b.bytes + 18, &validBits, 2);
    std::memcpy(b.bytes + 20, &mask, 4);
    const uint8_t guid[16] = {0, 0, 0, 0, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::memcpy(b.bytes + 24, guid, 16);
    std::memcpy(b.bytes + 24, &subFormat, 2);
    return b;
}

MMRESULT Describe(const WAVEFORMATEX* format, uint32_t size, std::string* name = nullptr) {
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = format->wFormatTag;
    details.pwfx = const_cast<WAVEFORMATEX*>(format);
    details.cbwfx = size;
    const MMRESULT result = acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT);
    if (name) *name = details.szFormat;
    return result;
}

uint32_t SizeOf(const WAVEFORMATEX& f) { return f.wFormatTag == WAVE_FORMAT_PCM ? 16u : 18u + f.cbSize; }

}  // namespace

TEST(AcmFormats, NamesOfTagsAndFormats) {
    struct Case {
        Block block;
        const char* tagName;
        const char* formatName;
    };
    Block pcm44;
    *pcm44.wfx() = PcmFormat(44100, 16, 2);
    Block pcm378;
    *pcm378.wfx() = PcmFormat(37800, 24, 1);
    Block pcm6;
    *pcm6.wfx() = PcmFormat(48000, 32, 6);
    Block alaw;
    *alaw.wfx() = G711Format(WAVE_FORMAT_ALAW, 8000, 1);
    Block mulaw;
    *mulaw.wfx() = G711Format(WAVE_FORMAT_MULAW, 11025, 2);
    Block flt;
    *flt.wfx() = FloatFormat(96000, 2);
    const Case cases[] = {
        {pcm44, "PCM", "44.100 kHz, 16 Bit, Stereo"},
        {pcm378, "PCM", "37.800 kHz, 24 Bit, Mono"},
        {pcm6, "PCM", "48.000 kHz, 32 Bit, 6 Channels"},
        {alaw, "CCITT A-Law", "8.000 kHz, 8 Bit, Mono"},
        {mulaw, "CCITT u-Law", "11.025 kHz, 8 Bit, Stereo"},
        {flt, "IEEE Float", "96.000 kHz, 32 Bit, Stereo"},
        {Extensible(48000, 24, 6, WAVE_FORMAT_PCM, 20), "Extensible", "48.000 kHz, 20 Bit, 6 Channels"},
    };
    for (const Case& c : cases) {
        Block b = c.block;
        std::string name;
        ASSERT_EQ(Describe(b.wfx(), SizeOf(*b.wfx()), &name), MMSYSERR_NOERROR) << c.formatName;
        EXPECT_EQ(name, c.formatName);
        ACMFORMATTAGDETAILS tag{};
        tag.cbStruct = sizeof tag;
        tag.dwFormatTag = b.wfx()->wFormatTag;
        ASSERT_EQ(acmFormatTagDetails(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
        EXPECT_STREQ(tag.szFormatTag, c.tagName);
    }
}

// Inconsistent blocks are refused before anything divides by their fields.
TEST(AcmFormats, DetailsRefuseInconsistentBlocks) {
    struct Case {
        const char* what;
        Block block;
    };
    std::vector<Case> cases;
    auto pcm = [&](const char* what, auto change) {
        Block b;
        *b.wfx() = PcmFormat(44100, 16, 2);
        change(*b.wfx());
        cases.push_back({what, b});
    };
    pcm("zero channels", [](WAVEFORMATEX& f) { f.nChannels = 0; });
    pcm("zero rate", [](WAVEFORMATEX& f) { f.nSamplesPerSec = 0; });
    pcm("zero byte rate", [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 0; });
    pcm("zero block align", [](WAVEFORMATEX& f) { f.nBlockAlign = 0; });
    pcm("block align too small", [](WAVEFORMATEX& f) { f.nBlockAlign = 2; });
    pcm("byte rate disagrees", [](WAVEFORMATEX& f) { f.nAvgBytesPerSec += 1; });
    pcm("12 bits", [](WAVEFORMATEX& f) { f = PcmFormat(44100, 12, 2); f.nBlockAlign = 4; f.nAvgBytesPerSec = 176400; });
    pcm("9 channels", [](WAVEFORMATEX& f) { f = PcmFormat(44100, 16, 9); });
    pcm("rate above 384 kHz", [](WAVEFORMATEX& f) { f = PcmFormat(400000, 16, 2); });
    pcm("16-bit A-law", [](WAVEFORMATEX& f) { f = PcmFormat(8000, 16, 1, WAVE_FORMAT_ALAW); });
    pcm("A-law byte rate", [](WAVEFORMATEX& f) {
        f = G711Format(WAVE_FORMAT_ALAW, 8000, 1);
        f.nAvgBytesPerSec = 16000;
    });
    pcm("24-bit float", [](WAVEFORMATEX& f) { f = PcmFormat(44100, 24, 2, WAVE_FORMAT_IEEE_FLOAT); });
    pcm("float block align", [](WAVEFORMATEX& f) { f = FloatFormat(44100, 2); f.nBlockAlign = 4; });
    pcm("unknown tag", [](WAVEFORMATEX& f) { f.wFormatTag = 0x1234; });
    cases.push_back({"extensible cbSize 10", Extensible(48000, 24, 2, WAVE_FORMAT_PCM, 24, 10)});
    cases.push_back({"extensible unknown sub-format", Extensible(48000, 24, 2, 0x55, 24)});
    cases.push_back({"extensible valid bits above container", Extensible(48000, 16, 2, WAVE_FORMAT_PCM, 20)});
    cases.push_back({"extensible 24-bit float", Extensible(48000, 24, 2, WAVE_FORMAT_IEEE_FLOAT, 24)});
    for (Case& c : cases) {
        EXPECT_NE(Describe(c.block.wfx(), SizeOf(*c.block.wfx())), MMSYSERR_NOERROR) << c.what;
        // A stream is refused just the same.
        const WAVEFORMATEX pcm16 = PcmFormat(44100, 16, 2);
        HACMSTREAM stream = nullptr;
        EXPECT_NE(acmStreamOpen(&stream, nullptr, c.block.wfx(), &pcm16, nullptr, 0, 0, 0), MMSYSERR_NOERROR)
            << c.what;
        EXPECT_EQ(stream, nullptr);
    }
}

TEST(AcmFormats, DetailsCheckTheCallersSizeAndStructure) {
    WAVEFORMATEX pcm = PcmFormat(44100, 16, 2);
    EXPECT_EQ(Describe(&pcm, 16), MMSYSERR_NOERROR) << "16 bytes are a whole PCM block";
    EXPECT_EQ(Describe(&pcm, 15), MMSYSERR_INVALPARAM);
    Block ext = Extensible(48000, 24, 2, WAVE_FORMAT_PCM, 24);
    EXPECT_EQ(Describe(ext.wfx(), 40), MMSYSERR_NOERROR);
    EXPECT_EQ(Describe(ext.wfx(), 39), MMSYSERR_INVALPARAM) << "the extra bytes lie beyond the caller's block";

    ACMFORMATDETAILS details{};
    details.cbStruct = 152;  // the 32-bit size does not hold here
    details.pwfx = &pcm;
    details.cbwfx = 16;
    EXPECT_EQ(acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT), MMSYSERR_INVALPARAM);
    details.cbStruct = sizeof details;
    EXPECT_EQ(acmFormatDetails(nullptr, &details, 0x80), MMSYSERR_INVALFLAG);
    details.dwFormatTag = WAVE_FORMAT_ALAW;
    EXPECT_EQ(acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT), MMSYSERR_INVALPARAM)
        << "dwFormatTag disagrees with the block";

    ACMFORMATTAGDETAILS tag{};
    tag.cbStruct = sizeof tag - 4;
    tag.dwFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatTagDetails(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_INVALPARAM);
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = 0x1234;
    EXPECT_EQ(acmFormatTagDetails(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG), ACMERR_NOTPOSSIBLE);

    EXPECT_EQ(acmFormatTagDetails(reinterpret_cast<HACMDRIVER>(&tag), &tag, ACM_FORMATTAGDETAILSF_FORMATTAG),
              MMSYSERR_INVALHANDLE);
}

namespace {

int32_t CollectHeads(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t) {
    auto* list = reinterpret_cast<std::vector<WAVEFORMATEX>*>(instance);
    WAVEFORMATEX head{};
    std::memcpy(&head, details->pwfx, 16);
    list->push_back(head);
    return list->size() < 1000;
}

std::vector<WAVEFORMATEX> Enumerate(uint16_t tag, uint32_t flags, const WAVEFORMATEX& filter, MMRESULT* result) {
    uint8_t block[64] = {};
    std::memcpy(block, &filter, sizeof filter);
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(block);
    details.cbwfx = sizeof block;
    std::vector<WAVEFORMATEX> list;
    *result = acmFormatEnum(nullptr, &details, CollectHeads, reinterpret_cast<uintptr_t>(&list), flags);
    return list;
}

int32_t StopAtSecond(HACMDRIVERID, ACMFORMATDETAILS*, uintptr_t instance, uint32_t) {
    return ++*reinterpret_cast<int*>(instance) < 2;
}

}  // namespace

TEST(AcmFormats, PcmEnumeratesByRateThenBitsThenChannels) {
    MMRESULT result;
    const auto list = Enumerate(WAVE_FORMAT_PCM, ACM_FORMATENUMF_WFORMATTAG, WAVEFORMATEX{}, &result);
    ASSERT_EQ(result, MMSYSERR_NOERROR);
    const uint32_t rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000};
    ASSERT_EQ(list.size(), 8u * 3 * 2);
    size_t i = 0;
    for (uint32_t rate : rates)
        for (uint16_t bits : {8, 16, 24})
            for (uint16_t channels : {1, 2}) {
                const WAVEFORMATEX expected = PcmFormat(rate, bits, channels);
                EXPECT_EQ(std::memcmp(&list[i], &expected, 16), 0) << "format " << i;
                ++i;
            }
}

TEST(AcmFormats, EnumerationFiltersAndStops) {
    MMRESULT result;
    WAVEFORMATEX filter{};
    filter.nChannels = 2;
    filter.nSamplesPerSec = 8000;
    auto list = Enumerate(0, ACM_FORMATENUMF_NCHANNELS | ACM_FORMATENUMF_NSAMPLESPERSEC, filter, &result);
    ASSERT_EQ(result, MMSYSERR_NOERROR);
    ASSERT_FALSE(list.empty());
    bool sawAlaw = false;
    for (const auto& f : list) {
        EXPECT_EQ(uint16_t{f.nChannels}, 2);
        EXPECT_EQ(uint32_t{f.nSamplesPerSec}, 8000u);
        sawAlaw |= f.wFormatTag == WAVE_FORMAT_ALAW;
    }
    EXPECT_TRUE(sawAlaw) << "without a tag filter every tag takes part";
    EXPECT_EQ(uint16_t{list.front().wFormatTag}, WAVE_FORMAT_PCM) << "drivers in registry order";

    list = Enumerate(0x1234, ACM_FORMATENUMF_WFORMATTAG, WAVEFORMATEX{}, &result);
    EXPECT_EQ(result, ACMERR_NOTPOSSIBLE);
    EXPECT_TRUE(list.empty());
    list = Enumerate(WAVE_FORMAT_EXTENSIBLE, ACM_FORMATENUMF_WFORMATTAG, WAVEFORMATEX{}, &result);
    EXPECT_EQ(result, MMSYSERR_NOERROR);
    EXPECT_TRUE(list.empty()) << "extensible is described, not listed";

    int calls = 0;
    uint8_t block[64] = {};
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = WAVE_FORMAT_ALAW;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(block);
    details.cbwfx = sizeof block;
    EXPECT_EQ(acmFormatEnum(nullptr, &details, StopAtSecond, reinterpret_cast<uintptr_t>(&calls),
                            ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(calls, 2);

    // A block too small for the formats is refused, not overrun.
    details.dwFormatTag = WAVE_FORMAT_ALAW;
    details.cbwfx = 17;
    EXPECT_EQ(acmFormatEnum(nullptr, &details, StopAtSecond, reinterpret_cast<uintptr_t>(&calls),
                            ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_INVALPARAM);
}

namespace {

int32_t CollectTagNames(HACMDRIVERID, ACMFORMATTAGDETAILS* details, uintptr_t instance, uint32_t) {
    reinterpret_cast<std::vector<std::string>*>(instance)->push_back(details->szFormatTag);
    return 1;
}

}  // namespace

TEST(AcmFormats, TagEnumerationAndMetrics) {
    std::vector<std::string> names;
    ACMFORMATTAGDETAILS details{};
    details.cbStruct = sizeof details;
    ASSERT_EQ(acmFormatTagEnum(nullptr, &details, CollectTagNames, reinterpret_cast<uintptr_t>(&names), 0),
              MMSYSERR_NOERROR);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "PCM");
    for (const char* expected : {"IEEE Float", "CCITT A-Law", "CCITT u-Law"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    EXPECT_EQ(std::find(names.begin(), names.end(), "Extensible"), names.end());

    // By index, the same order.
    for (uint32_t i = 0; i < names.size(); ++i) {
        ACMFORMATTAGDETAILS byIndex{};
        byIndex.cbStruct = sizeof byIndex;
        byIndex.dwFormatTagIndex = i;
        ASSERT_EQ(acmFormatTagDetails(nullptr, &byIndex, ACM_FORMATTAGDETAILSF_INDEX), MMSYSERR_NOERROR);
        EXPECT_EQ(names[i], byIndex.szFormatTag);
    }

    uint32_t maxSize = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), MMSYSERR_NOERROR);
    EXPECT_GE(maxSize, 40u) << "an extensible block is 40 bytes";
    EXPECT_EQ(acmMetrics(nullptr, 12345, &maxSize), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, nullptr), MMSYSERR_INVALPARAM);
}

TEST(AcmFormats, SuggestionRules) {
    struct Case {
        const char* what;
        Block source;
        uint32_t flags;
        WAVEFORMATEX preset;
        MMRESULT result;
        WAVEFORMATEX expected;
    };
    auto block = [](const WAVEFORMATEX& f) {
        Block b;
        *b.wfx() = f;
        return b;
    };
    auto preset = [](uint16_t tag, uint16_t channels = 0, uint32_t rate = 0, uint16_t bits = 0) {
        WAVEFORMATEX f{};
        f.wFormatTag = tag;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = bits;
        return f;
    };
    constexpr uint32_t kTag = ACM_FORMATSUGGESTF_WFORMATTAG;
    const Case cases[] = {
        {"A-law decodes to 16 bits", block(G711Format(WAVE_FORMAT_ALAW, 8000, 1)), kTag, preset(1), MMSYSERR_NOERROR,
         PcmFormat(8000, 16, 1)},
        {"no tag: PCM", block(G711Format(WAVE_FORMAT_MULAW, 22050, 2)), 0, preset(0), MMSYSERR_NOERROR,
         PcmFormat(22050, 16, 2)},
        {"float without loss", block(FloatFormat(48000, 2)), kTag, preset(1), MMSYSERR_NOERROR,
         PcmFormat(48000, 32, 2)},
        {"extensible as its sub-format", Extensible(96000, 24, 6, WAVE_FORMAT_PCM, 20), kTag, preset(1),
         MMSYSERR_NOERROR, PcmFormat(96000, 24, 6)},
        {"extensible float", Extensible(44100, 32, 2, WAVE_FORMAT_IEEE_FLOAT, 32), kTag, preset(1),
         MMSYSERR_NOERROR, PcmFormat(44100, 32, 2)},
        {"PCM stays itself", block(PcmFormat(37800, 24, 2)), kTag, preset(1), MMSYSERR_NOERROR,
         PcmFormat(37800, 24, 2)},
        {"PCM with fixed fields", block(PcmFormat(44100, 16, 2)),
         kTag | ACM_FORMATSUGGESTF_NCHANNELS | ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE,
         preset(1, 1, 22050, 8), MMSYSERR_NOERROR, PcmFormat(22050, 8, 1)},
        {"PCM to six channels", block(PcmFormat(44100, 16, 2)), kTag | ACM_FORMATSUGGESTF_NCHANNELS, preset(1, 6),
         ACMERR_NOTPOSSIBLE, {}},
        {"16-bit PCM to A-law", block(PcmFormat(44100, 16, 2)), kTag, preset(WAVE_FORMAT_ALAW), MMSYSERR_NOERROR,
         G711Format(WAVE_FORMAT_ALAW, 44100, 2)},
        {"8-bit PCM is no A-law source", block(PcmFormat(44100, 8, 2)), kTag, preset(WAVE_FORMAT_ALAW),
         ACMERR_NOTPOSSIBLE, {}},
        {"32-bit PCM to float", block(PcmFormat(44100, 32, 1)), kTag, preset(WAVE_FORMAT_IEEE_FLOAT), MMSYSERR_NOERROR,
         FloatFormat(44100, 1)},
        {"A-law to u-law takes two streams", block(G711Format(WAVE_FORMAT_ALAW, 8000, 1)), kTag,
         preset(WAVE_FORMAT_MULAW), ACMERR_NOTPOSSIBLE, {}},
        {"A-law with a conflicting rate", block(G711Format(WAVE_FORMAT_ALAW, 8000, 1)),
         kTag | ACM_FORMATSUGGESTF_NSAMPLESPERSEC, preset(1, 0, 44100), ACMERR_NOTPOSSIBLE, {}},
        {"unknown destination tag", block(PcmFormat(44100, 16, 2)), kTag, preset(0x1234), ACMERR_NOTPOSSIBLE, {}},
        {"inconsistent source", block(PcmFormat(44100, 16, 0)), kTag, preset(1), ACMERR_NOTPOSSIBLE, {}},
    };
    for (const Case& c : cases) {
        Block source = c.source;
        uint8_t out[64];
        std::memset(out, 0xEE, sizeof out);
        std::memcpy(out, &c.preset, sizeof c.preset);
        const MMRESULT result =
            acmFormatSuggest(nullptr, source.wfx(), reinterpret_cast<WAVEFORMATEX*>(out), sizeof out, c.flags);
        EXPECT_EQ(result, c.result) << c.what;
        if (result == MMSYSERR_NOERROR && c.result == MMSYSERR_NOERROR) {
            EXPECT_EQ(std::memcmp(out, &c.expected, 18), 0) << c.what;
            // One stream reaches the suggestion.
            HACMSTREAM stream = nullptr;
            EXPECT_EQ(acmStreamOpen(&stream, nullptr, source.wfx(), reinterpret_cast<WAVEFORMATEX*>(out), nullptr, 0,
                                    0, ACM_STREAMOPENF_QUERY),
                      MMSYSERR_NOERROR)
                << c.what;
        }
    }

    // The destination room must hold the suggestion; 16 bytes hold PCM.
    WAVEFORMATEX alaw = G711Format(WAVE_FORMAT_ALAW, 8000, 1);
    uint8_t small[16] = {1, 0};
    EXPECT_EQ(acmFormatSuggest(nullptr, &alaw, reinterpret_cast<WAVEFORMATEX*>(small), 16, kTag), MMSYSERR_NOERROR);
    const WAVEFORMATEX expected = PcmFormat(8000, 16, 1);
    EXPECT_EQ(std::memcmp(small, &expected, 16), 0);
    WAVEFORMATEX pcm = PcmFormat(8000, 16, 1);
    uint8_t tooSmall[17] = {WAVE_FORMAT_ALAW, 0};
    EXPECT_EQ(acmFormatSuggest(nullptr, &pcm, reinterpret_cast<WAVEFORMATEX*>(tooSmall), 17, kTag),
              MMSYSERR_INVALPARAM);
}
