// The display texts of byte counts, frequencies, durations and plain numbers
// used in every window. Pure functions of a 32-bit value; they never fail.
#pragma once

#include <cstdint>
#include <string>

// "1 Byte", "1023 Bytes", "1 kByte", "1.50 kBytes", ... "4.00 GBytes" (binary multiples).
std::string FormatByteSize(uint32_t bytes);

// "999 Hz", "1 kHz", "44.10 kHz", "1 MHz", ... (decimal multiples).
std::string FormatFrequency(uint32_t hertz);

// Short form "02:05" / "01:02:03", long form "2m 05s" / "1h 02m 03s"; with
// milliseconds "02:05.250" / "2m 05.250s". Hours are not limited to two digits.
std::string FormatDuration(uint32_t milliseconds, bool longForm, bool withMilliseconds);

// "4.294.967.295": the decimal digits in groups of three, separated by ".".
std::string FormatGroupedNumber(uint32_t value);

std::string FormatUnsigned(uint32_t value);

// The decimal text of the low 16 bits of value.
std::string FormatUnsignedShort(uint32_t value);
