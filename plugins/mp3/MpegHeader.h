// MPEG audio frame headers: the format block that describes a stream by its
// first header, and the formats a Layer-3 file may be written in.
#pragma once

#include <cstdint>

#include "wavefmt.h"

namespace mp3 {

// Fills format from a big-endian frame header (sync bits not checked).
// False for a reserved version, layer or sample rate, or a free-format or
// invalid bit rate.
bool DescribeFrameHeader(uint32_t header, MPEGLAYER3WAVEFORMAT& format);

// True for MPEG Layer-3 with 1 or 2 channels, a standard MPEG sample rate and
// a byte rate whose bit rate is in any of the MPEG bit-rate tables.
bool IsWritableFormat(const WAVEFORMATEX& format);

} // namespace mp3
