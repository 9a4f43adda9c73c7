// What a conversion run needs of each item, copied when the run is made, so
// that the project may change or go while the worker converts: the chain,
// the paths, the libraries, the quality and the data length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/AudioFormat.h"

class CFileFormatLibrary;
class CProjectItem;

struct SRunItem {
    const CProjectItem* projectItem = nullptr; // identity only, for the error log
    std::vector<CAudioFormat> chain;           // source first, destination last
    std::string sourcePath;
    std::string destinationPath;
    uint32_t highQuality = 0;
    // Owned by the application's library list, which outlives every run.
    const CFileFormatLibrary* sourceLibrary = nullptr;
    const CFileFormatLibrary* destinationLibrary = nullptr;
    uint32_t dataLength = 0;
};

// A chain of two formats or more and a destination path.
bool IsConvertible(const CProjectItem& item);

SRunItem SnapshotItem(const CProjectItem& item);

// The convertible items among itemsInListOrder, in that order.
std::vector<SRunItem> TakeRunSnapshot(const std::vector<const CProjectItem*>& itemsInListOrder);
