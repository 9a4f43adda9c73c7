// The information record a file format library hands the host.
#pragma once

#include <cstdint>
#include <cstring>

#include "audff.h"

namespace audff {

struct LibraryIdentity {
    const char* extension;
    const char* name;
    const char* description;
};

// Copies the identity's strings and the flags of a library that reads,
// writes and has an About box into record; the padding after
// wMaxErrorMessage keeps whatever the caller had there. The strings must fit
// their fields with their NUL (checked where the identity is defined).
inline void FillInformation(const LibraryIdentity& identity, AUDFF_INFORMATION& record)
{
    std::memcpy(record.szExtension, identity.extension, std::strlen(identity.extension) + 1);
    std::memcpy(record.szName, identity.name, std::strlen(identity.name) + 1);
    std::memcpy(record.szDescription, identity.description, std::strlen(identity.description) + 1);
    record.bInput = 1;
    record.bOutput = 1;
    record.bAbout = 1;
    record.wMaxErrorMessage = 1000;
}

} // namespace audff
