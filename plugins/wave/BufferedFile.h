// Buffered, position-based I/O over one file descriptor: the layer below the
// RIFF reader and writer. Reads fill a block buffer; sequential writes are
// gathered and go out when the position jumps, the buffer is full, or the
// file is flushed. The descriptor is owned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace wave {

class BufferedFile {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    // Null when the buffer cannot be allocated; the descriptor then stays
    // with the caller.
    static std::unique_ptr<BufferedFile> Adopt(int descriptor);

    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;
    // Closes a descriptor that Close() did not; pending writes are dropped.
    ~BufferedFile();

    uint64_t Position() const { return m_position; }
    void Seek(uint64_t position) { m_position = position; }

    // Reads up to count bytes at the position and advances it; false on an
    // I/O error. bytesRead is short only at the end of the file.
    bool Read(void* destination, size_t count, size_t& bytesRead);
    // Writes count bytes at the position and advances it; false on an error.
    bool Write(const void* source, size_t count);
    // The file's size including writes not yet flushed; false on an error.
    bool Size(uint64_t& size) const;
    bool Flush();
    // Flushes and closes; false when any of it failed. The descriptor is
    // released either way.
    bool Close();
    // Gives up the descriptor without closing it.
    int ReleaseDescriptor();

private:
    BufferedFile(int descriptor, std::unique_ptr<std::byte[]> buffer);
    bool WriteThrough(const std::byte* source, size_t count, uint64_t offset);

    int m_descriptor;
    std::unique_ptr<std::byte[]> m_buffer;
    uint64_t m_position = 0;
    // The buffer holds either read bytes [m_bufferOffset, + m_readLength) or
    // unwritten bytes [m_bufferOffset, + m_writeLength), never both.
    uint64_t m_bufferOffset = 0;
    size_t m_readLength = 0;
    size_t m_writeLength = 0;
};

} // namespace wave
