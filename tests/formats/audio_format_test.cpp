// CAudioFormat: size and equality rules, copies, and its codec queries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/AudioFormat.h"
#include "support/AudioFormats.h"

namespace {

// A format block of any length, built field by field.
struct Block {
    std::vector<uint8_t> bytes;
    const WAVEFORMATEX* wfx() const { return reinterpret_cast<const WAVEFORMATEX*>(bytes.data()); }
};

Block Make(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t length, uint16_t cbSize = 0,
           uint8_t extraFill = 0) {
    WAVEFORMATEX f = testsupport::PcmFormat(rate, bits, channels, tag);
    f.cbSize = cbSize;
    Block b;
    b.bytes.assign(length, extraFill);
    std::memcpy(b.bytes.data(), &f, std::min(length, sizeof f));
    return b;
}

Block Pcm16Bytes(uint32_t rate = 44100, uint16_t bits = 16, uint16_t channels = 2) {
    return Make(WAVE_FORMAT_PCM, channels, rate, bits, 16);
}

}  // namespace

TEST(AudioFormat, SizeRules) {
    struct Case {
        const char* what;
        Block source;
        uint32_t size;
        uint16_t cbSize;
    };
    const Case cases[] = {
        {"PCM from a 16-byte block", Pcm16Bytes(), 16, 0},
        {"PCM whose cbSize holds junk", Make(WAVE_FORMAT_PCM, 2, 44100, 16, 18, 0x1234), 16, 0},
        {"non-PCM with cbSize 0", Make(WAVE_FORMAT_ALAW, 1, 8000, 8, 18), 18, 0},
        {"non-PCM with cbSize 32", Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 50, 32, 7), 50, 32},
    };
    for (const Case& c : cases) {
        CAudioFormat format(c.source.wfx());
        EXPECT_EQ(format.GetSize(), c.size) << c.what;
        ASSERT_NE(format.GetFormat(), nullptr) << c.what;
        EXPECT_EQ(format.GetFormat()->cbSize, c.cbSize) << c.what;
        EXPECT_EQ(std::memcmp(format.GetFormat(), c.source.bytes.data(), std::min<size_t>(c.size, 16)), 0) << c.what;
        if (c.size > 18) {
            EXPECT_EQ(std::memcmp(format.GetFormat(), c.source.bytes.data(), c.size), 0) << c.what;
        }
        EXPECT_NE(format.GetFormat(), c.source.wfx()) << "holds its own copy";
    }
    CAudioFormat empty;
    EXPECT_EQ(empty.GetSize(), 0u);
    EXPECT_EQ(empty.GetFormat(), nullptr);
    CAudioFormat fromNull(nullptr);
    EXPECT_EQ(fromNull.GetFormat(), nullptr);
}

TEST(AudioFormat, EqualityRules) {
    auto last = [](Block b, uint8_t value) {
        b.bytes.back() = value;
        return b;
    };
    const Block adpcm = Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 50, 32, 7);
    struct Case {
        const char* what;
        Block a;
        Block b;
        bool equal;
    };
    const Case cases[] = {
        {"same PCM", Pcm16Bytes(), Pcm16Bytes(), true},
        {"PCM, different cbSize junk", Make(WAVE_FORMAT_PCM, 2, 44100, 16, 18, 5),
         Make(WAVE_FORMAT_PCM, 2, 44100, 16, 18, 9), true},
        {"PCM, other rate", Pcm16Bytes(44100), Pcm16Bytes(48000), false},
        {"equal heads, other tags", Make(WAVE_FORMAT_ALAW, 1, 8000, 8, 18), Make(WAVE_FORMAT_MULAW, 1, 8000, 8, 18),
         false},
        {"same extra bytes", adpcm, adpcm, true},
        {"last extra byte differs", adpcm, last(adpcm, 8), false},
        {"other cbSize", Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 50, 32), Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 48, 30),
         false},
    };
    for (const Case& c : cases) {
        const CAudioFormat a(c.a.wfx());
        const CAudioFormat b(c.b.wfx());
        EXPECT_EQ(a.IsEqual(b), c.equal) << c.what;
        EXPECT_EQ(b.IsEqual(a), c.equal) << c.what;
    }
    CAudioFormat empty1, empty2;
    EXPECT_FALSE(empty1.IsEqual(empty2));
    const CAudioFormat pcm(Pcm16Bytes().wfx());
    EXPECT_FALSE(empty1.IsEqual(pcm));
    EXPECT_FALSE(pcm.IsEqual(empty1));
}

TEST(AudioFormat, CopyAssignAndSet) {
    const Block adpcm = Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 50, 32, 7);
    CAudioFormat original(adpcm.wfx());
    CAudioFormat copy(original);
    EXPECT_TRUE(copy.IsEqual(original));
    EXPECT_NE(copy.GetFormat(), original.GetFormat());

    CAudioFormat assigned(Pcm16Bytes().wfx());
    assigned = original;
    EXPECT_TRUE(assigned.IsEqual(original));
    EXPECT_EQ(assigned.GetSize(), 50u);

    assigned = CAudioFormat();
    EXPECT_EQ(assigned.GetFormat(), nullptr);
    EXPECT_EQ(assigned.GetSize(), 0u);

    CAudioFormat self(adpcm.wfx());
    CAudioFormat& alias = self;
    self = alias;
    EXPECT_TRUE(self.IsEqual(original));
    self.SetFormat(self.GetFormat());
    EXPECT_TRUE(self.IsEqual(original));
    self.SetFormat(nullptr);
    EXPECT_EQ(self.GetFormat(), nullptr);

    const CAudioFormat emptyCopy{CAudioFormat()};
    EXPECT_EQ(emptyCopy.GetFormat(), nullptr);
}

TEST(AudioFormat, DetailsAndAvailability) {
    const CAudioFormat pcm(Pcm16Bytes().wfx());
    ACMFORMATDETAILS details;
    ASSERT_TRUE(pcm.GetFormatDetails(details));
    EXPECT_STREQ(details.szFormat, "44.100 kHz, 16 Bit, Stereo");
    ACMFORMATTAGDETAILS tag;
    ASSERT_TRUE(pcm.GetFormatTagDetails(tag));
    EXPECT_STREQ(tag.szFormatTag, "PCM");
    EXPECT_TRUE(pcm.IsAvailable());

    // An empty record leaves the structures untouched.
    CAudioFormat empty;
    std::memset(&details, 0x5A, sizeof details);
    std::memset(&tag, 0x5A, sizeof tag);
    EXPECT_FALSE(empty.GetFormatDetails(details));
    EXPECT_FALSE(empty.GetFormatTagDetails(tag));
    EXPECT_EQ(details.cbStruct, 0x5A5A5A5Au);
    EXPECT_EQ(tag.cbStruct, 0x5A5A5A5Au);
    EXPECT_FALSE(empty.IsAvailable());

    const CAudioFormat odd(Pcm16Bytes(37800).wfx());
    EXPECT_TRUE(odd.IsAvailable()) << "not enumerated, still handled";
    const CAudioFormat unknown(Make(0x2222, 2, 44100, 16, 18).wfx());
    EXPECT_FALSE(unknown.IsAvailable());
    EXPECT_FALSE(unknown.GetFormatTagDetails(tag));
    const CAudioFormat broken(Make(WAVE_FORMAT_PCM, 0, 44100, 16, 16).wfx());
    EXPECT_FALSE(broken.IsAvailable());
}

TEST(AudioFormat, SuggestFormat) {
    const CAudioFormat alaw(Make(WAVE_FORMAT_ALAW, 2, 8000, 8, 18).wfx());
    CAudioFormat out;
    ASSERT_TRUE(alaw.SuggestFormat(WAVE_FORMAT_PCM, out));
    EXPECT_TRUE(out.IsEqual(CAudioFormat(Pcm16Bytes(8000, 16, 2).wfx())));
    EXPECT_EQ(out.GetSize(), 16u);

    CAudioFormat anyTag;
    ASSERT_TRUE(alaw.SuggestFormat(0, anyTag));
    EXPECT_EQ(anyTag.GetFormat()->wFormatTag, WAVE_FORMAT_PCM) << "the layer suggests PCM";

    const CAudioFormat pcm(Pcm16Bytes(22050, 16, 1).wfx());
    CAudioFormat mulaw;
    ASSERT_TRUE(pcm.SuggestFormat(WAVE_FORMAT_MULAW, mulaw));
    EXPECT_TRUE(mulaw.IsEqual(CAudioFormat(Make(WAVE_FORMAT_MULAW, 1, 22050, 8, 18).wfx())));

    // Failures leave `out` as it was.
    CAudioFormat kept(pcm);
    EXPECT_FALSE(alaw.SuggestFormat(WAVE_FORMAT_MULAW, kept));
    EXPECT_TRUE(kept.IsEqual(pcm));
    EXPECT_FALSE(CAudioFormat().SuggestFormat(WAVE_FORMAT_PCM, kept));
    EXPECT_TRUE(kept.IsEqual(pcm));

    // The record may receive its own suggestion.
    CAudioFormat self(alaw);
    ASSERT_TRUE(self.SuggestFormat(WAVE_FORMAT_PCM, self));
    EXPECT_EQ(self.GetFormat()->wFormatTag, WAVE_FORMAT_PCM);
}

TEST(AudioFormat, CompleteFromEnumeration) {
    // A-law head with cbSize 0: found, and stays what it was.
    CAudioFormat alaw(Make(WAVE_FORMAT_ALAW, 1, 8000, 8, 18).wfx());
    const CAudioFormat before(alaw);
    EXPECT_TRUE(alaw.CompleteFromEnumeration());
    EXPECT_TRUE(alaw.IsEqual(before));

    CAudioFormat pcm(Pcm16Bytes(96000, 24, 2).wfx());
    EXPECT_TRUE(pcm.CompleteFromEnumeration());
    EXPECT_EQ(pcm.GetSize(), 16u);

    // Not enumerated: false, unchanged.
    CAudioFormat odd(Pcm16Bytes(37800).wfx());
    EXPECT_FALSE(odd.CompleteFromEnumeration());
    EXPECT_TRUE(odd.IsEqual(CAudioFormat(Pcm16Bytes(37800).wfx())));

    CAudioFormat unknown(Make(0x2222, 2, 44100, 16, 18).wfx());
    EXPECT_FALSE(unknown.CompleteFromEnumeration());
    EXPECT_EQ(unknown.GetFormat()->wFormatTag, 0x2222);

    // cbSize not 0: false at once.
    CAudioFormat withExtra(Make(WAVE_FORMAT_ADPCM, 1, 8000, 4, 50, 32, 7).wfx());
    EXPECT_FALSE(withExtra.CompleteFromEnumeration());
    EXPECT_EQ(withExtra.GetSize(), 50u);

    CAudioFormat empty;
    EXPECT_FALSE(empty.CompleteFromEnumeration());
}
