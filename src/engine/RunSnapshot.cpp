#include "engine/RunSnapshot.h"

#include "project/ProjectItem.h"

bool IsConvertible(const CProjectItem& item)
{
    return item.GetChainLength() >= 2 && !item.GetDestinationPath().empty();
}

SRunItem SnapshotItem(const CProjectItem& item)
{
    SRunItem copy;
    copy.projectItem = &item;
    for (const auto& format : item.GetFormatChain()) {
        copy.chain.push_back(*format);
    }
    copy.sourcePath = item.GetSourcePath();
    copy.destinationPath = item.GetDestinationPath();
    copy.highQuality = item.GetHighQuality();
    copy.sourceLibrary = item.GetSourceLibrary();
    copy.destinationLibrary = item.GetDestinationLibrary();
    copy.dataLength = item.GetDataLength();
    return copy;
}

std::vector<SRunItem> TakeRunSnapshot(const std::vector<const CProjectItem*>& itemsInListOrder)
{
    std::vector<SRunItem> items;
    for (const CProjectItem* item : itemsInListOrder) {
        if (item != nullptr && IsConvertible(*item)) {
            items.push_back(SnapshotItem(*item));
        }
    }
    return items;
}
