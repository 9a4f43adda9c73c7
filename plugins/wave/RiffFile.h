// The RIFF layer of the WAVE library: find a chunk by id or a RIFF chunk by
// form type within its enclosing chunk, leave a chunk (skipping its pad byte
// when reading; writing the pad byte and the true size when writing), and
// create a chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "BufferedFile.h"

namespace wave {

constexpr uint32_t FourCC(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

inline constexpr uint32_t kRiffId = FourCC("RIFF");
inline constexpr uint32_t kWaveForm = FourCC("WAVE");
inline constexpr uint32_t kFormatId = FourCC("fmt ");
inline constexpr uint32_t kDataId = FourCC("data");

// Set in ChunkInfo::flags while a created chunk is still being written.
inline constexpr uint32_t kChunkBeingWritten = 0x1;

struct ChunkInfo {
    uint32_t id = 0;
    uint32_t size = 0;     // declared size of the data, pad byte excluded
    uint32_t formType = 0; // RIFF chunks only
    uint64_t dataOffset = 0; // the form type's offset for a RIFF chunk
    uint32_t flags = 0;
};

enum class ChunkSearch { ById, RiffForm };
enum class ChunkForm { Plain, Riff };

// Where a found chunk's declared data ends: within its parent, past the
// parent's declared end but within the file, or past the end of the file.
enum class ChunkExtent { Inside, PastParent, PastFileEnd };

enum class RiffStatus {
    Ok,
    NotFound,
    Corrupt, // a chunk passed over runs past the end of its parent or the file
    ReadFailed,
    WriteFailed,
    TooLarge, // a written chunk outgrew its 32-bit size
};

class RiffFile {
public:
    enum class Access { Read, Write };

    // Null when memory runs out; the descriptor then stays with the caller.
    static std::unique_ptr<RiffFile> Adopt(int descriptor, Access access);

    Access GetAccess() const { return m_access; }
    uint64_t Position() const { return m_file->Position(); }
    void Rewind() { m_file->Seek(0); }
    bool Size(uint64_t& size) const { return m_file->Size(size); }

    // Searches from the position up to the end of parent (or of the file) for
    // chunk.id (ById) or for a "RIFF" chunk of form chunk.formType
    // (RiffForm). On Ok the chunk is filled in, extent tells where it ends,
    // and the position is at its data (past the form type of a RIFF chunk).
    RiffStatus Descend(ChunkInfo& chunk, const ChunkInfo* parent, ChunkSearch search, ChunkExtent& extent);
    // Moves past the chunk and its pad byte. A chunk being written gets its
    // pad byte and, when it differs, its true size.
    RiffStatus Ascend(ChunkInfo& chunk);
    // Writes a chunk header at the position with chunk.size as its size
    // (and chunk.formType for a RIFF chunk), marking the chunk being written.
    RiffStatus CreateChunk(ChunkInfo& chunk, ChunkForm form);

    bool Read(void* destination, size_t count, size_t& bytesRead) { return m_file->Read(destination, count, bytesRead); }
    bool Write(const void* source, size_t count) { return m_file->Write(source, count); }
    bool Flush() { return m_file->Flush(); }
    // Flushes and closes the file; false when anything failed.
    bool Close() { return m_file->Close(); }

private:
    RiffFile(std::unique_ptr<BufferedFile> file, Access access) : m_file(std::move(file)), m_access(access) {}

    bool ReadExactly(void* destination, size_t count, bool& complete);

    std::unique_ptr<BufferedFile> m_file;
    Access m_access;
};

} // namespace wave
