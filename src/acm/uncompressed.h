// Converters shared by the IEEE float and extensible drivers.
#pragma once

#include <cstdint>
#include <memory>

#include "acm/driver.h"

namespace orvano::acm {

// Frames copied unchanged (extensible PCM <-> PCM).
MMRESULT MakeFrameCopyConverter(uint32_t frameBytes, std::unique_ptr<AcmStreamConverter>& out);
// IEEE float (32 or 64 bit) <-> 32-bit PCM.
MMRESULT MakeFloatToPcm32Converter(uint16_t channels, uint16_t floatBits, std::unique_ptr<AcmStreamConverter>& out);
MMRESULT MakePcm32ToFloatConverter(uint16_t channels, uint16_t floatBits, std::unique_ptr<AcmStreamConverter>& out);

}  // namespace orvano::acm
