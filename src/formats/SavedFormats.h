// Saved formats: named destination choices (library, format, quality) kept in
// the profile store's "SavedFormats" section as 21-byte values, and the
// lists of what the destination format dialog offers, against which a saved
// format is matched again when it is used.
//
//   offset  size  content
//   0       3     the library's extension, padded with zero bytes
//   3       1     zero
//   4       1     quality: 1 High Quality, 0 not
//   5       16    the format head (wFormatTag .. wBitsPerSample), little-endian
//
// The extra bytes behind a head are not stored: the offered format whose
// head is equal supplies them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/OwningList.h"
#include "formats/AudioFormat.h"

class CFileFormatLibrary;

inline constexpr std::size_t kSavedFormatValueSize = 21;
using SavedFormatValue = std::array<uint8_t, kSavedFormatValueSize>;

struct SSavedFormat {
    std::string extension; // up to three characters
    bool highQuality = false;
    WAVEFORMATEX head{};   // cbSize 0
};

SavedFormatValue EncodeSavedFormat(std::string_view extension, bool highQuality, const WAVEFORMATEX& format);
// Valid: exactly 21 bytes, byte 3 zero, quality 0 or 1.
bool DecodeSavedFormat(std::span<const uint8_t> value, SSavedFormat& saved);

// A name as it is stored: without leading and trailing white space.
std::string TrimSavedFormatName(std::string_view name);

// The stored names, in the order of the Preference list (sorted).
std::vector<std::string> ListSavedFormatNames();

enum class ESavedFormatRead {
    Found,
    Missing,
    Invalid, // not a binary value, or not a valid one
};
ESavedFormatRead ReadSavedFormat(std::string_view name, SSavedFormat& saved);
// name is stored as given (trim it first); false for an empty name, an empty
// format or when the store cannot be written.
bool WriteSavedFormat(std::string_view name, const CFileFormatLibrary& library, bool highQuality,
                      const CAudioFormat& format);
bool DeleteSavedFormat(std::string_view name);

// The libraries that write, in the File Format list's order: sorted by their
// "EXT - Name" text, without regard to case.
std::vector<const CFileFormatLibrary*> OfferedLibraries(const COwningList<CFileFormatLibrary>& libraries);
// The text that list shows for a library.
std::string OfferedLibraryText(const CFileFormatLibrary& library);

struct SOfferedTag {
    uint16_t tag = 0;
    std::string name;
};
// The codec layer's tags the library accepts, in enumeration order.
std::vector<SOfferedTag> OfferedFormatTags(const CFileFormatLibrary& library);

struct SOfferedFormat {
    CAudioFormat format;
    std::string name;
};
// The enumerated formats of tag the library accepts, in enumeration order.
std::vector<SOfferedFormat> OfferedFormats(const CFileFormatLibrary& library, uint16_t tag);

enum class ESavedFormatMatch {
    Matched,
    LibraryMissing, // no writing library with that extension
    TagMissing,     // the library no longer takes the tag, or no codec has it
    FormatMissing,  // no offered format has that head
};
// Matches as the Preference list does: the first offered library with the
// extension, its first offered tag equal to the head's, its first offered
// format with an equal head. On Matched, library and format hold the choice.
ESavedFormatMatch MatchSavedFormat(const SSavedFormat& saved, const COwningList<CFileFormatLibrary>& libraries,
                                   const CFileFormatLibrary*& library, CAudioFormat& format);
