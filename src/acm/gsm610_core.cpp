#include "acm/gsm610_core.h"

#include <algorithm>
#include <cstring>

#include <gsm/gsm.h>

namespace orvano::acm::gsm610 {

void Wav49Codec::StateDeleter::operator()(gsm_state* state) const { gsm_destroy(state); }

bool Wav49Codec::Open() {
    m_state.reset(gsm_create());
    if (!m_state) return false;
    int wav49 = 1;
    gsm_option(m_state.get(), GSM_OPT_WAV49, &wav49);
    m_used = false;
    return true;
}

bool Wav49Codec::Reset() {
    // The library has no reset: a fresh state is the only clean one.
    if (!m_used && m_state) return true;
    return Open();
}

void Wav49Codec::EncodeBlock(const int16_t* in, uint8_t* block) {
    m_used = true;
    // The coder takes a writable buffer.
    gsm_signal frame[kSamplesPerFrame];
    std::memcpy(frame, in, sizeof frame);
    gsm_encode(m_state.get(), frame, block);
    std::memcpy(frame, in + kSamplesPerFrame, sizeof frame);
    gsm_encode(m_state.get(), frame, block + kFirstFrameBytes - 1);
}

uint32_t Wav49Codec::DecodeBlock(const uint8_t* block, uint32_t length, int16_t* out) {
    if (length < kFirstFrameBytes) return 0;
    m_used = true;
    // The decoder takes writable buffers; it reads exactly one frame's bytes.
    uint8_t bytes[kBlockBytes];
    std::memcpy(bytes, block, std::min(length, kBlockBytes));
    gsm_decode(m_state.get(), bytes, out);
    if (length < kBlockBytes) {
        // Keep the two halves in step for what may follow: a silent second
        // half, decoded into scratch.
        gsm_signal scratch[kSamplesPerFrame];
        std::memset(bytes + kFirstFrameBytes, 0, kBlockBytes - kFirstFrameBytes);
        gsm_decode(m_state.get(), bytes + kFirstFrameBytes, scratch);
        return kSamplesPerFrame;
    }
    gsm_decode(m_state.get(), bytes + kFirstFrameBytes, out + kSamplesPerFrame);
    return kSamplesPerBlock;
}

}  // namespace orvano::acm::gsm610
