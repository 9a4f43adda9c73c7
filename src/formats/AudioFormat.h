// CAudioFormat: one audio format the program keeps (a source format, a
// destination, an intermediate PCM step, a stored head), as an owned copy of
// its WAVEFORMATEX block, with the codec layer's queries about it.
#pragma once

#include <cstdint>

#include "acm/acm.h"

class CAudioFormat {
public:
    CAudioFormat() = default;
    explicit CAudioFormat(const WAVEFORMATEX* format);
    CAudioFormat(const CAudioFormat& other);
    CAudioFormat& operator=(const CAudioFormat& other);
    virtual ~CAudioFormat();

    // Frees the held block; null leaves the record empty, otherwise holds a
    // copy (16 bytes read from a PCM block, 18 + cbSize from any other).
    CAudioFormat& SetFormat(const WAVEFORMATEX* format);
    const WAVEFORMATEX* GetFormat() const { return m_pFormat; }
    // Significant length: 0 when empty, 16 for PCM, 18 + cbSize otherwise.
    uint32_t GetSize() const;

    bool IsEqual(const CAudioFormat& other) const;
    bool GetFormatDetails(ACMFORMATDETAILS& details) const;
    bool GetFormatTagDetails(ACMFORMATTAGDETAILS& details) const;
    bool IsAvailable() const;
    bool SuggestFormat(uint16_t tag, CAudioFormat& out) const;
    bool CompleteFromEnumeration();

private:
    static int32_t EnumerationCallback(HACMDRIVERID driverId, ACMFORMATDETAILS* details, uintptr_t instance,
                                       uint32_t support);

    WAVEFORMATEX* m_pFormat = nullptr;
    int32_t m_found = 0;
};
