// The registered codec drivers, in the order tags and formats are enumerated.
#include <iterator>

#include "acm/driver.h"

namespace orvano::acm {

namespace {

const AcmDriver* const kDrivers[] = {
    &kPcmDriver,
    &kIeeeFloatDriver,
    &kG711Driver,
    &kExtensibleDriver,
    &kImaAdpcmDriver,
    &kMsAdpcmDriver,
    &kGsm610Driver,
    &kMpegLayer3Driver,
};

}  // namespace

AcmDriverList RegisteredDrivers() { return {kDrivers, std::size(kDrivers)}; }

const AcmDriver* FindDriverForTag(uint16_t tag, const AcmFormatTagInfo** info) {
    for (const AcmDriver* driver : kDrivers) {
        for (uint32_t i = 0; i < driver->tagCount; ++i) {
            if (driver->tags[i].tag == tag) {
                if (info) *info = &driver->tags[i];
                return driver;
            }
        }
    }
    return nullptr;
}

}  // namespace orvano::acm
