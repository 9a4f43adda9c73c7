#include "app/DisplayFormat.h"

#include <cstdarg>
#include <cstdio>

namespace {

[[gnu::format(printf, 1, 2)]] std::string Printf(const char* format, ...)
{
    char buffer[64];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    // Every format here fits the buffer: the widest is a 10-digit hour count.
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

std::string FormatByteSize(uint32_t bytes)
{
    constexpr uint32_t kKilo = 1024;
    constexpr uint32_t kMega = 1024 * 1024;
    constexpr uint32_t kGiga = 1024 * 1024 * 1024;
    if (bytes == 1) {
        return Printf("%u Byte", bytes);
    }
    if (bytes < kKilo) {
        return Printf("%u Bytes", bytes);
    }
    if (bytes == kKilo) {
        return Printf("%u kByte", 1u);
    }
    if (bytes < kMega) {
        return Printf("%0.2f kBytes", bytes / 1024.0);
    }
    if (bytes == kMega) {
        return Printf("%u MByte", 1u);
    }
    if (bytes < kGiga) {
        return Printf("%0.2f MBytes", bytes / 1048576.0);
    }
    if (bytes == kGiga) {
        return Printf("%u GByte", 1u);
    }
    return Printf("%0.2f GBytes", bytes / 1073741824.0);
}

std::string FormatFrequency(uint32_t hertz)
{
    if (hertz < 1000) {
        return Printf("%u Hz", hertz);
    }
    if (hertz == 1000) {
        return Printf("%u kHz", 1u);
    }
    if (hertz < 1000000) {
        return Printf("%0.2f kHz", hertz * 0.001);
    }
    if (hertz == 1000000) {
        return Printf("%u MHz", 1u);
    }
    if (hertz < 1000000000) {
        return Printf("%0.2f MHz", hertz * 0.000001);
    }
    if (hertz == 1000000000) {
        return Printf("%u GHz", 1u);
    }
    return Printf("%0.2f GHz", hertz * 0.000000001);
}

std::string FormatDuration(uint32_t milliseconds, bool longForm, bool withMilliseconds)
{
    const uint32_t a = milliseconds;
    const uint32_t hours = a / 3600000;
    const uint32_t minutes = (a % 3600000) / 60000;
    const uint32_t seconds = (a % 60000) / 1000;
    const uint32_t millis = a % 1000;
    const uint32_t totalMinutes = a / 60000;
    const uint32_t totalSeconds = a / 1000;

    if (a >= 3600000) {
        if (longForm) {
            return withMilliseconds ? Printf("%uh %02um %02u.%03us", hours, minutes, seconds, millis)
                                    : Printf("%uh %02um %02us", hours, minutes, seconds);
        }
        return withMilliseconds ? Printf("%02u:%02u:%02u.%03u", hours, minutes, seconds, millis)
                                : Printf("%02u:%02u:%02u", hours, minutes, seconds);
    }
    if (a < 60000) {
        if (longForm) {
            return withMilliseconds ? Printf("%u.%03us", totalSeconds, millis) : Printf("%us", totalSeconds);
        }
        return withMilliseconds ? Printf("00:%02u.%03u", totalSeconds, millis) : Printf("00:%02u", totalSeconds);
    }
    if (longForm) {
        return withMilliseconds ? Printf("%um %02u.%03us", totalMinutes, seconds, millis)
                                : Printf("%um %02us", totalMinutes, seconds);
    }
    return withMilliseconds ? Printf("%02u:%02u.%03u", totalMinutes, seconds, millis)
                            : Printf("%02u:%02u", totalMinutes, seconds);
}

std::string FormatGroupedNumber(uint32_t value)
{
    const std::string digits = FormatUnsigned(value);
    std::string grouped;
    std::size_t position = digits.size();
    while (position > 3) {
        grouped.insert(0, digits, position - 3, 3);
        grouped.insert(0, 1, '.');
        position -= 3;
    }
    grouped.insert(0, digits, 0, position);
    return grouped;
}

std::string FormatUnsigned(uint32_t value)
{
    return Printf("%u", value);
}

std::string FormatUnsignedShort(uint32_t value)
{
    return Printf("%hu", static_cast<unsigned short>(value & 0xFFFFu));
}
