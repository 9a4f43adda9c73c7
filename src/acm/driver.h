// The codec layer's inside: one driver per file, each one `const AcmDriver`
// descriptor, listed in registry.cpp in enumeration order.
//
// For a driver author
// -------------------
// Export exactly one `extern const AcmDriver kXxxDriver;` (declared below)
// and add it to the list in registry.cpp. Everything the layer hands a driver
// is checked first: cbStruct and handles, block sizes, and for stream calls
// that both formats passed the driver's own describeFormat.
//
// Format blocks given to a driver always have 18 readable bytes and cbSize
// valid (0 for PCM, whose callers may pass 16-byte blocks: the layer copies
// those), and 18 + cbSize readable bytes otherwise.
//
// Descriptor functions (all reentrant, no state):
// - enumerateFormat(tag, index, out): write standard format `index` of `tag`
//   (0 .. tags[i].standardFormatCount - 1) into `out`, which has
//   tags[i].maxFormatSize bytes of room. Order: rate, then bits, then
//   channels. Every enumerated format must pass describeFormat.
// - describeFormat(format, name, nameSize): MMSYSERR_NOERROR exactly when the
//   driver can convert this block, enumerated or not (37.8 kHz is fine);
//   ACMERR_NOTPOSSIBLE for blocks it cannot handle or that are inconsistent
//   (zero channels, rate or byte rate; block align that does not fit the
//   samples; wrong cbSize or extra bytes). Write the display name
//   ("44.100 kHz, 16 Bit, Stereo", see acm_support.h) when name is not null.
// - suggestPcm(format, pcm): the PCM this (valid) format decodes to and is
//   encoded from: same rate and channels, 16 bits for compressed codecs,
//   lossless for the others. Write a plain 18-byte PCM block (cbSize 0).
// - suggestFromPcm(pcm, tag, out, outSize): the format of `tag` that one
//   stream reaches from `pcm` (any valid PCM block), or ACMERR_NOTPOSSIBLE.
//   outSize is at least the tag's maxFormatSize. The layer then checks that
//   suggestPcm(out) gives `pcm` back and refuses the suggestion otherwise.
//   Null: the tag is decode-only (the PCM driver, too, leaves it null).
// - openStream(src, dst, flags, out): build the converter for src -> dst,
//   where exactly one side is the driver's tag and the other is its suggested
//   PCM (the layer enforces this; the PCM driver gets any PCM pair).
//   flags & ACM_STREAMOPENF_NONREALTIME = High Quality. Allocate everything
//   the stream needs here; return MMSYSERR_NOMEM when it fails. Catch
//   std::bad_alloc: no exception leaves a driver.
//
// The converter (AcmStreamConverter):
// - SourceBlockBytes(): the smallest source length prepare accepts: one
//   source block (nBlockAlign of the source: a PCM frame, an ADPCM block, an
//   MP3 frame may be 1 byte for a decoder that takes any byte stream).
// - DestinationBlockBytes(): the destination room one source block's output
//   can need, worst case. Prepare refuses a smaller room.
// - Convert(src, srcLength, srcUsed, dst, dstRoom, dstUsed, flags): called
//   with the header's whole source every time (the caller advances). Rules:
//   1. Output held back from an earlier call comes out first.
//   2. Then whole source blocks are consumed while their output fits in the
//      room. A stateless codec consumes only blocks whose output fits
//      entirely; a stateful one may consume what its state can hold, but
//      never loses or duplicates a sample: whatever did not fit is held back
//      (see AcmOutputCarry) and delivered by the next call.
//   3. Without ACM_STREAMCONVERTF_BLOCKALIGN a trailing partial block is
//      consumed too, decoded as far as it goes (a decoder decodes the
//      samples present; PCM drops an incomplete frame). With it, the partial
//      block stays unconsumed.
//   4. ACM_STREAMCONVERTF_START: drop all state first.
//      ACM_STREAMCONVERTF_END: after the source, flush the tail (resampler,
//      encoder delay) as far as room allows; the rest is delivered by the
//      next END call. When the tail is out, the state is reset.
//   5. srcUsed <= srcLength and dstUsed <= dstRoom always; consuming nothing
//      and producing nothing is not an error (the caller decides).
//   6. No allocation, no exceptions, no per-sample virtual calls: work in
//      fixed-size chunks through buffers allocated at open.
//   7. Return MMSYSERR_NOERROR, or MMSYSERR_ERROR when the codec library
//      fails (counts then say what was done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "acm/acm.h"

namespace orvano::acm {

class AcmStreamConverter {
public:
    AcmStreamConverter() = default;
    AcmStreamConverter(const AcmStreamConverter&) = delete;
    AcmStreamConverter& operator=(const AcmStreamConverter&) = delete;
    virtual ~AcmStreamConverter() = default;

    virtual uint32_t SourceBlockBytes() const = 0;
    virtual uint32_t DestinationBlockBytes() const = 0;
    virtual MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst,
                             uint32_t dstRoom, uint32_t& dstUsed, uint32_t flags) = 0;
};

struct AcmFormatTagInfo {
    uint16_t tag;
    const char* name;              // szFormatTag, e.g. "PCM", "MPEG Layer-3"
    uint32_t maxFormatSize;        // cbFormatSize: 18 + largest cbSize (PCM: 16)
    uint32_t standardFormatCount;  // 0: described and converted, never enumerated
};

struct AcmDriver {
    const char* name;  // short driver name for diagnostics, e.g. "pcm"
    const AcmFormatTagInfo* tags;
    uint32_t tagCount;
    uint32_t support;  // ACMDRIVERDETAILS_SUPPORTF_*

    bool (*enumerateFormat)(uint16_t tag, uint32_t index, WAVEFORMATEX* out);
    MMRESULT (*describeFormat)(const WAVEFORMATEX* format, char* name, size_t nameSize);
    MMRESULT (*suggestPcm)(const WAVEFORMATEX* format, WAVEFORMATEX* pcm);
    MMRESULT (*suggestFromPcm)(const WAVEFORMATEX* pcm, uint16_t tag, WAVEFORMATEX* out, uint32_t outSize);
    MMRESULT (*openStream)(const WAVEFORMATEX* src, const WAVEFORMATEX* dst, uint32_t flags,
                           std::unique_ptr<AcmStreamConverter>& out);
};

// The registry (registry.cpp): every driver, in enumeration order.
struct AcmDriverList {
    const AcmDriver* const* drivers;
    size_t count;
};
AcmDriverList RegisteredDrivers();

// The driver and tag info serving `tag`, or null.
const AcmDriver* FindDriverForTag(uint16_t tag, const AcmFormatTagInfo** info = nullptr);

extern const AcmDriver kPcmDriver;
extern const AcmDriver kIeeeFloatDriver;
extern const AcmDriver kExtensibleDriver;
extern const AcmDriver kG711Driver;
extern const AcmDriver kImaAdpcmDriver;
extern const AcmDriver kMsAdpcmDriver;
extern const AcmDriver kGsm610Driver;
extern const AcmDriver kMpegLayer3Driver;

}  // namespace orvano::acm
