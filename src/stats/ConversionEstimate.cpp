#include "stats/ConversionEstimate.h"

#include "project/ProjectItem.h"
#include "stats/PerformanceStatistics.h"

SConversionEstimate EstimateConversion(const std::vector<const CProjectItem*>& items,
                                       CPerformanceStatistics& statistics)
{
    SConversionEstimate estimate;
    for (const CProjectItem* item : items) {
        const uint32_t length = item->GetDataLength();
        if (length == 0) {
            estimate.lengthAvailable = false;
            continue;
        }
        estimate.totalLength += length;
        if (!estimate.estimateAvailable) {
            continue;
        }
        const CAudioFormat* source = item->GetSourceFormat();
        const CAudioFormat* destination = item->GetDestinationFormat();
        if (source == nullptr || destination == nullptr ||
            !statistics.LookupPerformance(*source, *destination, item->GetHighQuality()) ||
            statistics.GetRate() == 0) {
            estimate.estimateAvailable = false;
            continue;
        }
        estimate.seconds += static_cast<double>(length) / statistics.GetRate();
    }
    return estimate;
}
