// The information record a file format library hands the host.
#pragma once

#include <cstddef>
#include <cstring>

#include "audff.h"

namespace audff {

// Copies the library's strings (each checked at compile time to fit its
// field with its NUL) and the flags of a library that reads, writes and has
// an About box into record; the padding after wMaxErrorMessage keeps
// whatever the caller had there.
template <std::size_t ExtensionSize, std::size_t NameSize, std::size_t DescriptionSize>
void FillInformation(const char (&extension)[ExtensionSize], const char (&name)[NameSize],
                     const char (&description)[DescriptionSize], AUDFF_INFORMATION& record)
{
    static_assert(ExtensionSize <= sizeof record.szExtension);
    static_assert(NameSize <= sizeof record.szName);
    static_assert(DescriptionSize <= sizeof record.szDescription);
    std::memcpy(record.szExtension, extension, ExtensionSize);
    std::memcpy(record.szName, name, NameSize);
    std::memcpy(record.szDescription, description, DescriptionSize);
    record.bInput = 1;
    record.bOutput = 1;
    record.bAbout = 1;
    record.wMaxErrorMessage = 1000;
}

} // namespace audff
