#include "engine/RunArithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/DisplayFormat.h"

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();

uint32_t TruncateTo32(double value)
{
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= static_cast<double>(kMax32)) {
        return static_cast<uint32_t>(kMax32);
    }
    return static_cast<uint32_t>(value);
}

std::string TwoDecimals(double value)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%0.2f", value);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

bool ShareBuffers(const std::vector<uint32_t>& rates, uint32_t maxBufferSize, uint32_t overheadPercent,
                  SBufferShares& shares)
{
    shares = {};
    const double growth = static_cast<double>(overheadPercent) / 100.0;
    uint64_t sum = 0;
    double factor = 1.0;
    for (const uint32_t rate : rates) {
        sum += static_cast<uint64_t>(std::trunc(rate * factor));
        factor = factor + factor * growth;
    }
    if (sum == 0 || sum > kMax32) {
        return false;
    }
    shares.shareSum = static_cast<uint32_t>(sum);
    const double max = maxBufferSize;
    const double shareSum = shares.shareSum;
    factor = 1.0;
    for (std::size_t k = 0; k < rates.size(); ++k) {
        if (k == 0) {
            shares.sizes.push_back(TruncateTo32(max * (rates[0] / shareSum)));
            continue;
        }
        factor = factor + factor * growth;
        shares.sizes.push_back(TruncateTo32(max * (rates[k] * factor / shareSum)));
    }
    return true;
}

std::optional<uint32_t> RatePerSecond(uint64_t bytes, uint64_t elapsedMilliseconds)
{
    if (elapsedMilliseconds == 0) {
        return std::nullopt;
    }
    return TruncateTo32(static_cast<double>(bytes) / (static_cast<double>(elapsedMilliseconds) / 1000.0));
}

double Percentage(uint64_t part, uint64_t whole)
{
    if (whole == 0) {
        return 0.0;
    }
    return static_cast<double>(part) / static_cast<double>(whole) * 100.0;
}

std::optional<uint32_t> DurationAtRate(uint64_t bytes, std::optional<uint32_t> rate)
{
    if (!rate || *rate == 0) {
        return std::nullopt;
    }
    return TruncateTo32(static_cast<double>(bytes) / *rate * 1000.0);
}

std::optional<double> CompressionPercentage(const SStepCounters& counters, std::size_t steps)
{
    if (steps == 0 || steps > 3) {
        return std::nullopt;
    }
    double product = 1.0;
    for (std::size_t k = 0; k < steps; ++k) {
        if (counters.consumed[k] == 0) {
            return std::nullopt;
        }
        product *= static_cast<double>(counters.produced[k]) / static_cast<double>(counters.consumed[k]);
    }
    return product * 100.0;
}

std::string FormatRunText(std::string_view format, const std::vector<RunTextArgument>& arguments)
{
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            text.push_back(format[i]);
            continue;
        }
        if (format[i + 1] == '%') {
            text.push_back('%');
            ++i;
            continue;
        }
        // A conversion: flags and precision up to its letter.
        std::size_t end = i + 1;
        while (end < format.size() && (format[end] == '.' || (format[end] >= '0' && format[end] <= '9'))) {
            ++end;
        }
        if (end >= format.size() || (format[end] != 's' && format[end] != 'u' && format[end] != 'f')) {
            text.push_back(format[i]);
            continue;
        }
        const RunTextArgument* argument = next < arguments.size() ? &arguments[next] : nullptr;
        ++next;
        if (argument != nullptr) {
            if (const auto* s = std::get_if<std::string>(argument)) {
                text += *s;
            } else if (const auto* u = std::get_if<uint32_t>(argument)) {
                text += format[end] == 'f' ? TwoDecimals(*u) : std::to_string(*u);
            } else if (const auto* d = std::get_if<double>(argument)) {
                text += format[end] == 'f' ? TwoDecimals(*d) : std::to_string(TruncateTo32(*d));
            }
        }
        i = end;
    }
    return text;
}

std::string ByteSizeText(uint64_t bytes)
{
    return FormatByteSize(static_cast<uint32_t>(std::min(bytes, kMax32)));
}

std::string RateText(std::optional<uint32_t> rate)
{
    return rate ? FormatByteSize(*rate) + "/sec." : std::string(kNoValueText);
}

std::string CompressionText(std::optional<double> percentage)
{
    return percentage ? TwoDecimals(*percentage) + " %" : std::string(kNoValueText);
}
