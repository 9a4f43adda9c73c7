// GSM 06.10 full rate in the WAVE framing: each 65-byte block holds two
// 160-sample frames, the first in 32.5 bytes, the second in the rest.
#pragma once

#include <cstdint>
#include <memory>

struct gsm_state;

namespace orvano::acm::gsm610 {

inline constexpr uint32_t kBlockBytes = 65;
inline constexpr uint32_t kSamplesPerBlock = 320;
inline constexpr uint32_t kSamplesPerFrame = 160;
inline constexpr uint32_t kFirstFrameBytes = 33;  // what the decoder reads for the first frame

// One direction of one stream: the coder keeps its filter memory from block
// to block, as the format requires.
class Wav49Codec {
public:
    // False when out of memory.
    bool Open();
    // Forgets the filter memory of earlier data. False when out of memory.
    bool Reset();

    void EncodeBlock(const int16_t* in, uint8_t* block);
    // Decodes the frames present in `length` bytes of a block: none below
    // 33 bytes, one below 65, else two. Returns the samples written.
    uint32_t DecodeBlock(const uint8_t* block, uint32_t length, int16_t* out);

private:
    struct StateDeleter {
        void operator()(gsm_state* state) const;
    };
    std::unique_ptr<gsm_state, StateDeleter> m_state;
    bool m_used = false;
};

}  // namespace orvano::acm::gsm610
