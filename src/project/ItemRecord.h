// The stored form of a project item, shared by the project file and the
// clipboard: source path, destination path and destination choice (library
// tag, quality, format). Everything else is measured again from the source.
//
//   4 bytes  n, source path length        (integers: unsigned 32-bit LE)
//   n        source path bytes, no terminator
//   4 bytes  m, destination path length, 0 = none
//   m        destination path bytes
//   3 bytes  library extension padded with spaces; "   " = no destination,
//            and the record ends here
//   1 byte   'H' High Quality, 'L' Low Quality
//   4 bytes  k, format size: 16 for PCM, 18 + cbSize otherwise
//   k        the format's significant bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "project/ProjectItem.h"

// Paths longer than this are not stored and not accepted when read.
inline constexpr std::size_t kMaxStoredPathLength = 259;
inline constexpr std::size_t kLibraryTagLength = 3;

struct SItemRecord {
    std::string sourcePath;
    std::string destinationPath;
    std::string libraryTag;       // trailing spaces removed; empty: no destination
    bool highQuality = false;
    std::vector<uint8_t> format;  // the destination format's significant bytes
};

// Appends the item's record. False (nothing appended) when a path is longer
// than kMaxStoredPathLength: such a record could not be read back.
bool AppendItemRecord(const CProjectItem& item, std::vector<uint8_t>& out);

// Sequential bytes to read records from.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Reads up to size bytes; got < size only at the end of the data. False
    // on a read error.
    virtual bool Read(uint8_t* out, std::size_t size, std::size_t& got) = 0;
};

class CMemoryByteSource final : public IByteSource {
public:
    CMemoryByteSource(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Read(uint8_t* out, std::size_t size, std::size_t& got) override;

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// Buffered reading from an open descriptor, which stays the caller's.
class CFileByteSource final : public IByteSource {
public:
    explicit CFileByteSource(int descriptor) : m_descriptor(descriptor) {}
    bool Read(uint8_t* out, std::size_t size, std::size_t& got) override;

private:
    int m_descriptor;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(64 * 1024);
    std::size_t m_filled = 0;
    std::size_t m_position = 0;
};

enum class EItemRecordRead {
    Record,    // record filled
    End,       // the data ended before or inside a source length
    Corrupt,   // cut short, or a field that no writer produces
    ReadError, // the source failed
};

// Reads the next record. Corrupt besides a record cut short: a path longer
// than kMaxStoredPathLength, a quality byte other than 'H'/'L', a format size
// that disagrees with the size the format's own tag and cbSize give.
EItemRecordRead ReadItemRecord(IByteSource& source, SItemRecord& record);

enum class EItemRestore {
    Restored,  // item holds the new, filled item
    Duplicate, // the project holds the source already: skipped, no failure
    Failed,    // library, codec, source file or conversion path missing
};

// Rebuilds an item from its record: the destination library is the first
// with the record's tag that writes and accepts the format; the source is
// described again (silently); the chain is computed.
EItemRestore RestoreItem(const SItemRecord& record, const CLibraryList& libraries,
                         const std::function<bool(std::string_view)>& hasSource,
                         std::unique_ptr<CProjectItem>& item);
