// Totals of a set of items for an estimate: the length of their audio data
// and, from the statistics store, how long converting them should take.
#pragma once

#include <cstdint>
#include <vector>

class CPerformanceStatistics;
class CProjectItem;

struct SConversionEstimate {
    // False when an item has no audio data (such items add nothing else).
    bool lengthAvailable = true;
    uint64_t totalLength = 0;
    // False when an item with data has no conversion, no record or a
    // recorded rate of 0.
    bool estimateAvailable = true;
    double seconds = 0.0;

    bool HasTime() const { return estimateAvailable && seconds > 0.0; }
    // Bytes of source data per second over the whole set; 0 without a time.
    double BytesPerSecond() const { return HasTime() ? static_cast<double>(totalLength) / seconds : 0.0; }
};

// Walks items in the given order; each item's speed is looked up under its
// first and last format and its quality.
SConversionEstimate EstimateConversion(const std::vector<const CProjectItem*>& items,
                                       CPerformanceStatistics& statistics);
