// The numbers of a conversion run: how the buffer budget is shared out
// between the stages of a chain, and the rates, times, percentages and
// compressions it shows. Every quotient here has a defined answer when its
// divisor is 0, so no display ever divides by zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The stages of a chain of rates.size() formats share maxBufferSize in
// proportion to their byte rates, each later stage getting overheadPercent
// more room than the one before in relation to its rate:
//   shareSum = sum of trunc(rate k * f^k), f = 1 + overheadPercent / 100
//   size k   = trunc(maxBufferSize * rate k * f^k / shareSum)
// False when the share sum is 0 (no rate) or does not fit 32 bits.
struct SBufferShares {
    uint32_t shareSum = 0;
    std::vector<uint32_t> sizes;
};
bool ShareBuffers(const std::vector<uint32_t>& rates, uint32_t maxBufferSize, uint32_t overheadPercent,
                  SBufferShares& shares);

// Bytes per second, truncated (and limited to 32 bits); nothing while no
// time has passed.
std::optional<uint32_t> RatePerSecond(uint64_t bytes, uint64_t elapsedMilliseconds);

// part / whole * 100; 0 for a whole of 0.
double Percentage(uint64_t part, uint64_t whole);

// Milliseconds bytes take at rate, limited to 32 bits; nothing without a rate.
std::optional<uint32_t> DurationAtRate(uint64_t bytes, std::optional<uint32_t> rate);

// Per step: bytes consumed and produced.
struct SStepCounters {
    uint64_t consumed[3] = {0, 0, 0};
    uint64_t produced[3] = {0, 0, 0};
};
// The product over the steps of produced / consumed, times 100; nothing while
// a step has consumed nothing.
std::optional<double> CompressionPercentage(const SStepCounters& counters, std::size_t steps);

// Fills a text of the string table: "%s", "%u" and "%0.2f" take the next
// argument in turn, "%%" is "%". A placeholder without its argument stays
// empty.
using RunTextArgument = std::variant<std::string, uint32_t, double>;
std::string FormatRunText(std::string_view format, const std::vector<RunTextArgument>& arguments);

// The texts the display shows for them; "-----" where there is no value.
inline constexpr char kNoValueText[] = "-----";
std::string ByteSizeText(uint64_t bytes);
std::string RateText(std::optional<uint32_t> rate);
std::string CompressionText(std::optional<double> percentage);
