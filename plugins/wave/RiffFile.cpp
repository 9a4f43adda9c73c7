#include "RiffFile.h"

#include <algorithm>
#include <limits>
#include <new>

namespace wave {
namespace {

uint32_t LittleEndian32(const unsigned char* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void PutLittleEndian32(unsigned char* bytes, uint32_t value)
{
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

constexpr uint64_t kChunkHeaderSize = 8;
constexpr uint64_t kFormTypeSize = 4;

} // namespace

std::unique_ptr<RiffFile> RiffFile::Adopt(int descriptor, Access access)
{
    std::unique_ptr<BufferedFile> file = BufferedFile::Adopt(descriptor);
    if (!file) {
        return nullptr;
    }
    std::unique_ptr<RiffFile> riff(new (std::nothrow) RiffFile(std::move(file), access));
    if (!riff) {
        // A failed nothrow new leaves the argument unmoved; hand the
        // descriptor back, the caller still owns it.
        file->ReleaseDescriptor();
        return nullptr;
    }
    return riff;
}

bool RiffFile::ReadExactly(void* destination, size_t count, bool& complete)
{
    size_t bytesRead = 0;
    if (!m_file->Read(destination, count, bytesRead)) {
        return false;
    }
    complete = bytesRead == count;
    return true;
}

RiffStatus RiffFile::Descend(ChunkInfo& chunk, const ChunkInfo* parent, ChunkSearch search, ChunkExtent& extent)
{
    uint64_t fileSize = 0;
    if (!m_file->Size(fileSize)) {
        return RiffStatus::ReadFailed;
    }
    const uint64_t parentEnd =
        parent != nullptr ? parent->dataOffset + parent->size : std::numeric_limits<uint64_t>::max();
    const uint64_t searchEnd = std::min(parentEnd, fileSize);
    uint64_t position = m_file->Position();

    for (;;) {
        if (position > searchEnd || searchEnd - position < kChunkHeaderSize) {
            return RiffStatus::NotFound;
        }
        m_file->Seek(position);
        unsigned char header[kChunkHeaderSize + kFormTypeSize];
        bool complete = false;
        if (!ReadExactly(header, kChunkHeaderSize, complete)) {
            return RiffStatus::ReadFailed;
        }
        if (!complete) {
            return RiffStatus::NotFound;
        }
        const uint32_t id = LittleEndian32(header);
        const uint32_t size = LittleEndian32(header + 4);
        const uint64_t dataOffset = position + kChunkHeaderSize;
        const uint64_t declaredEnd = dataOffset + size;

        bool matches = false;
        uint32_t formType = 0;
        if (search == ChunkSearch::ById) {
            matches = id == chunk.id;
        } else if (id == kRiffId && size >= kFormTypeSize && fileSize - dataOffset >= kFormTypeSize) {
            if (!ReadExactly(header + kChunkHeaderSize, kFormTypeSize, complete)) {
                return RiffStatus::ReadFailed;
            }
            formType = LittleEndian32(header + kChunkHeaderSize);
            matches = complete && formType == chunk.formType;
        }

        if (matches) {
            chunk.id = id;
            chunk.size = size;
            chunk.formType = search == ChunkSearch::RiffForm ? formType : 0;
            chunk.dataOffset = dataOffset;
            chunk.flags = 0;
            extent = declaredEnd > fileSize    ? ChunkExtent::PastFileEnd
                     : declaredEnd > parentEnd ? ChunkExtent::PastParent
                                               : ChunkExtent::Inside;
            m_file->Seek(search == ChunkSearch::RiffForm ? dataOffset + kFormTypeSize : dataOffset);
            return RiffStatus::Ok;
        }
        if (declaredEnd > searchEnd) {
            // Outside any parent this is just not a RIFF file; inside one the
            // size cannot be trusted, and nothing after it can be found.
            return parent != nullptr ? RiffStatus::Corrupt : RiffStatus::NotFound;
        }
        position = declaredEnd + (size & 1U);
    }
}

RiffStatus RiffFile::Ascend(ChunkInfo& chunk)
{
    if ((chunk.flags & kChunkBeingWritten) == 0) {
        m_file->Seek(chunk.dataOffset + chunk.size + (chunk.size & 1U));
        return RiffStatus::Ok;
    }
    const uint64_t end = m_file->Position();
    if (end < chunk.dataOffset) {
        return RiffStatus::WriteFailed;
    }
    const uint64_t actualSize = end - chunk.dataOffset;
    if (actualSize > std::numeric_limits<uint32_t>::max()) {
        return RiffStatus::TooLarge;
    }
    if ((actualSize & 1U) != 0) {
        const unsigned char pad = 0;
        if (!m_file->Write(&pad, 1)) {
            return RiffStatus::WriteFailed;
        }
    }
    if (actualSize != chunk.size) {
        unsigned char sizeField[4];
        PutLittleEndian32(sizeField, static_cast<uint32_t>(actualSize));
        m_file->Seek(chunk.dataOffset - 4);
        if (!m_file->Write(sizeField, sizeof sizeField)) {
            return RiffStatus::WriteFailed;
        }
        chunk.size = static_cast<uint32_t>(actualSize);
    }
    m_file->Seek(end + (actualSize & 1U));
    chunk.flags &= ~kChunkBeingWritten;
    return RiffStatus::Ok;
}

RiffStatus RiffFile::CreateChunk(ChunkInfo& chunk, ChunkForm form)
{
    unsigned char header[kChunkHeaderSize + kFormTypeSize];
    const bool riff = form == ChunkForm::Riff;
    PutLittleEndian32(header, riff ? kRiffId : chunk.id);
    PutLittleEndian32(header + 4, chunk.size);
    size_t headerSize = kChunkHeaderSize;
    if (riff) {
        PutLittleEndian32(header + kChunkHeaderSize, chunk.formType);
        headerSize += kFormTypeSize;
    }
    const uint64_t start = m_file->Position();
    if (!m_file->Write(header, headerSize)) {
        return RiffStatus::WriteFailed;
    }
    if (riff) {
        chunk.id = kRiffId;
    }
    chunk.dataOffset = start + kChunkHeaderSize;
    chunk.flags = kChunkBeingWritten;
    return RiffStatus::Ok;
}

} // namespace wave
