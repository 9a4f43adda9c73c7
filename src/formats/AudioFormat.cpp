#include "formats/AudioFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool IsPcm(const WAVEFORMATEX* format) { return format->wFormatTag == WAVE_FORMAT_PCM; }

// A heap copy with the record's size rules: a PCM source is read for its 16
// head bytes and held in 18 with cbSize 0; any other for 18 + cbSize.
// Throws std::bad_alloc.
WAVEFORMATEX* CopyBlock(const WAVEFORMATEX* source) {
    const size_t allocated = IsPcm(source) ? sizeof(WAVEFORMATEX) : sizeof(WAVEFORMATEX) + source->cbSize;
    auto* block = static_cast<WAVEFORMATEX*>(::operator new(allocated));
    if (IsPcm(source)) {
        std::memcpy(block, source, WAVEFORMATEX_HEAD_SIZE);
        block->cbSize = 0;
    } else {
        std::memcpy(block, source, allocated);
    }
    return block;
}

void FreeBlock(WAVEFORMATEX* block) { ::operator delete(block); }

}  // namespace

CAudioFormat::CAudioFormat(const WAVEFORMATEX* format) {
    if (format) m_pFormat = CopyBlock(format);
}

CAudioFormat::CAudioFormat(const CAudioFormat& other) {
    if (other.m_pFormat) m_pFormat = CopyBlock(other.m_pFormat);
}

CAudioFormat& CAudioFormat::operator=(const CAudioFormat& other) { return SetFormat(other.m_pFormat); }

CAudioFormat::~CAudioFormat() { FreeBlock(m_pFormat); }

// The copy is made before the held block is freed, so a failed allocation
// keeps the record as it was and SetFormat(GetFormat()) is safe.
CAudioFormat& CAudioFormat::SetFormat(const WAVEFORMATEX* format) {
    WAVEFORMATEX* copy = format ? CopyBlock(format) : nullptr;
    FreeBlock(m_pFormat);
    m_pFormat = copy;
    return *this;
}

uint32_t CAudioFormat::GetSize() const {
    if (!m_pFormat) return 0;
    return IsPcm(m_pFormat) ? WAVEFORMATEX_HEAD_SIZE : 18u + m_pFormat->cbSize;
}

bool CAudioFormat::IsEqual(const CAudioFormat& other) const {
    if (!m_pFormat || !other.m_pFormat) return false;
    if (m_pFormat->wFormatTag != other.m_pFormat->wFormatTag) return false;
    if (IsPcm(m_pFormat)) return std::memcmp(m_pFormat, other.m_pFormat, WAVEFORMATEX_HEAD_SIZE) == 0;
    if (m_pFormat->cbSize != other.m_pFormat->cbSize) return false;
    return std::memcmp(m_pFormat, other.m_pFormat, 18u + m_pFormat->cbSize) == 0;
}

bool CAudioFormat::GetFormatDetails(ACMFORMATDETAILS& details) const {
    if (!m_pFormat) return false;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwFormatTag = m_pFormat->wFormatTag;
    details.pwfx = m_pFormat;
    details.cbwfx = GetSize();
    return acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) == MMSYSERR_NOERROR;
}

bool CAudioFormat::GetFormatTagDetails(ACMFORMATTAGDETAILS& details) const {
    if (!m_pFormat) return false;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwFormatTag = m_pFormat->wFormatTag;
    return acmFormatTagDetails(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR;
}

bool CAudioFormat::IsAvailable() const {
    ACMFORMATDETAILS details;
    return GetFormatDetails(details);
}

bool CAudioFormat::SuggestFormat(uint16_t tag, CAudioFormat& out) const {
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR || maxSize == 0) return false;
    if (!m_pFormat) return false;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[maxSize]());
    auto* block = reinterpret_cast<WAVEFORMATEX*>(bytes.get());
    uint32_t flags = 0;
    if (tag != 0) {
        std::memcpy(block, &tag, sizeof tag);  // wFormatTag, even in a block shorter than the record
        flags = ACM_FORMATSUGGESTF_WFORMATTAG;
    }
    if (acmFormatSuggest(nullptr, m_pFormat, block, maxSize, flags) != MMSYSERR_NOERROR) return false;
    out.SetFormat(block);
    return true;
}

int32_t CAudioFormat::EnumerationCallback(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t) {
    auto* record = reinterpret_cast<CAudioFormat*>(instance);
    if (std::memcmp(details->pwfx, record->m_pFormat, WAVEFORMATEX_HEAD_SIZE) != 0) {
        record->m_found = 0;
        return 1;
    }
    try {
        record->SetFormat(details->pwfx);
        record->m_found = 1;
    } catch (const std::bad_alloc&) {
        record->m_found = 0;
    }
    return 0;
}

bool CAudioFormat::CompleteFromEnumeration() {
    if (!m_pFormat || m_pFormat->cbSize != 0) return false;
    m_found = 0;
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR) return false;
    maxSize = std::max<uint32_t>(maxSize, sizeof(WAVEFORMATEX));
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[maxSize]());
    if (!bytes) return false;
    auto* block = reinterpret_cast<WAVEFORMATEX*>(bytes.get());
    ACMFORMATDETAILS details;
    std::memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.pwfx = block;
    details.cbwfx = maxSize;
    details.dwFormatTag = m_pFormat->wFormatTag;
    block->wFormatTag = m_pFormat->wFormatTag;
    if (acmFormatEnum(nullptr, &details, &EnumerationCallback, reinterpret_cast<uintptr_t>(this),
                      ACM_FORMATENUMF_WFORMATTAG) != MMSYSERR_NOERROR)
        return false;
    return m_found != 0;
}
