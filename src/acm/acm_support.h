// Helpers every codec driver shares: format names, the suggested PCM block,
// checks of the common fields, little-endian sample access, fixed buffers,
// held-back output, and a base for stateless block codecs.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "acm/driver.h"

namespace orvano::acm {

static_assert(std::endian::native == std::endian::little, "sample code assumes a little-endian host");

inline constexpr uint32_t kMaxRate = 384000;
inline constexpr uint16_t kMaxChannels = 8;

// "44.100 kHz, 16 Bit, Stereo" (bits 0: "44.100 kHz, Stereo").
void WriteFormatName(char* out, size_t size, uint32_t rate, uint32_t bits, uint32_t channels);
// "128 kBit/s, 44.100 kHz, Stereo".
void WriteBitRateFormatName(char* out, size_t size, uint32_t kbitPerSecond, uint32_t rate, uint32_t channels);
// "Mono", "Stereo", "6 Channels".
const char* ChannelsText(uint32_t channels, char* scratch, size_t size);

// A complete 18-byte PCM block (cbSize 0).
WAVEFORMATEX MakePcmFormat(uint32_t rate, uint16_t bits, uint16_t channels);
// suggestPcm of the codecs that decode to 16 bits: the same rate and channels.
MMRESULT SuggestPcm16(const WAVEFORMATEX* format, WAVEFORMATEX* pcm);
// The 16-byte heads are equal (the significant bytes of PCM).
bool SameHead(const WAVEFORMATEX& a, const WAVEFORMATEX& b);

// Common consistency: channels 1..maxChannels, rate 1..kMaxRate, nonzero byte
// rate and block align. Codec-specific checks follow in each driver.
bool CommonFieldsValid(const WAVEFORMATEX& format, uint16_t maxChannels = kMaxChannels);
// For uncompressed formats: block align = channels x bits/8 and byte rate =
// rate x block align.
bool UncompressedLayoutValid(const WAVEFORMATEX& format);

// Little-endian access to unaligned samples.
inline int16_t LoadLe16(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void StoreLe16(uint8_t* p, int16_t v) { std::memcpy(p, &v, 2); }
inline int32_t LoadLe24(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 24) >>
           8;
}
inline void StoreLe24(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}
inline int32_t LoadLe32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void StoreLe32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

// A buffer of fixed capacity, allocated once when a stream opens.
template <typename T>
class AcmFixedBuffer {
public:
    // False when out of memory.
    bool Allocate(size_t count) {
        m_data.reset(new (std::nothrow) T[count]());
        m_capacity = m_data ? count : 0;
        return m_data != nullptr;
    }
    T* data() { return m_data.get(); }
    const T* data() const { return m_data.get(); }
    size_t capacity() const { return m_capacity; }

private:
    std::unique_ptr<T[]> m_data;
    size_t m_capacity = 0;
};

// Output a stateful codec produced but could not deliver: kept, and
// delivered first by the next convert.
class AcmOutputCarry {
public:
    bool Allocate(size_t capacity) { return m_buffer.Allocate(capacity); }
    // Copies as much held output as fits; returns the bytes written.
    uint32_t Deliver(uint8_t* dst, uint32_t room);
    // Space for `bytes` more held output (after Deliver emptied room).
    uint8_t* Reserve(uint32_t bytes);
    void Commit(uint32_t bytes) { m_end += bytes; }
    uint32_t Held() const { return static_cast<uint32_t>(m_end - m_begin); }
    void Clear() { m_begin = m_end = 0; }
    size_t Capacity() const { return m_buffer.capacity(); }

private:
    AcmFixedBuffer<uint8_t> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
};

// A stateless codec that maps each source block to one destination block
// (PCM frame copies, G.711, ADPCM and GSM coders). Implements the convert
// rules of driver.h; subclasses convert runs of whole blocks and, when the
// caller does not ask for block alignment, one trailing partial block.
class AcmBlockConverter : public AcmStreamConverter {
public:
    AcmBlockConverter(uint32_t sourceBlockBytes, uint32_t destinationBlockBytes)
        : m_sourceBlock(sourceBlockBytes), m_destinationBlock(destinationBlockBytes) {}

    uint32_t SourceBlockBytes() const override { return m_sourceBlock; }
    uint32_t DestinationBlockBytes() const override { return m_destinationBlock; }
    MMRESULT Convert(const uint8_t* src, uint32_t srcLength, uint32_t& srcUsed, uint8_t* dst, uint32_t dstRoom,
                     uint32_t& dstUsed, uint32_t flags) final;

protected:
    // Converts `blocks` whole source blocks into blocks x DestinationBlockBytes.
    virtual MMRESULT ConvertBlocks(const uint8_t* src, uint32_t blocks, uint8_t* dst) = 0;
    // Converts a trailing partial block (0 < length < SourceBlockBytes) into
    // at most DestinationBlockBytes; returns the bytes written (0: dropped).
    virtual uint32_t ConvertPartialBlock(const uint8_t* src, uint32_t length, uint8_t* dst) = 0;

private:
    uint32_t m_sourceBlock;
    uint32_t m_destinationBlock;
};

// Copies a driver's tag name into szFormatTag and similar fixed fields.
void CopyText(char* out, size_t size, const char* text);

}  // namespace orvano::acm
