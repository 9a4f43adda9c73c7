#include "BufferedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace wave {

std::unique_ptr<BufferedFile> BufferedFile::Adopt(int descriptor)
{
    std::unique_ptr<std::byte[]> buffer(new (std::nothrow) std::byte[kBufferSize]);
    if (!buffer) {
        return nullptr;
    }
    std::unique_ptr<BufferedFile> file(new (std::nothrow) BufferedFile(descriptor, std::move(buffer)));
    return file;
}

BufferedFile::BufferedFile(int descriptor, std::unique_ptr<std::byte[]> buffer)
    : m_descriptor(descriptor), m_buffer(std::move(buffer))
{
}

BufferedFile::~BufferedFile()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

bool BufferedFile::Read(void* destination, size_t count, size_t& bytesRead)
{
    bytesRead = 0;
    if (!Flush()) {
        return false;
    }
    auto* out = static_cast<std::byte*>(destination);
    while (bytesRead < count) {
        if (m_position >= m_bufferOffset && m_position < m_bufferOffset + m_readLength) {
            const size_t offsetInBuffer = static_cast<size_t>(m_position - m_bufferOffset);
            const size_t take = std::min(count - bytesRead, m_readLength - offsetInBuffer);
            std::memcpy(out + bytesRead, m_buffer.get() + offsetInBuffer, take);
            bytesRead += take;
            m_position += take;
            continue;
        }
        // Large reads bypass the buffer; small ones refill it.
        const size_t wanted = count - bytesRead;
        std::byte* target = wanted >= kBufferSize ? out + bytesRead : m_buffer.get();
        const size_t room = wanted >= kBufferSize ? wanted : kBufferSize;
        ssize_t got;
        do {
            got = ::pread(m_descriptor, target, room, static_cast<off_t>(m_position));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            m_readLength = 0;
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (target == m_buffer.get()) {
            m_bufferOffset = m_position;
            m_readLength = static_cast<size_t>(got);
        } else {
            bytesRead += static_cast<size_t>(got);
            m_position += static_cast<uint64_t>(got);
        }
    }
    return true;
}

bool BufferedFile::Write(const void* source, size_t count)
{
    m_readLength = 0;
    const auto* in = static_cast<const std::byte*>(source);
    if (m_writeLength > 0 && m_position != m_bufferOffset + m_writeLength) {
        if (!Flush()) {
            return false;
        }
    }
    if (m_writeLength + count > kBufferSize) {
        if (!Flush()) {
            return false;
        }
        if (count >= kBufferSize) {
            if (!WriteThrough(in, count, m_position)) {
                return false;
            }
            m_position += count;
            return true;
        }
    }
    if (m_writeLength == 0) {
        m_bufferOffset = m_position;
    }
    std::memcpy(m_buffer.get() + m_writeLength, in, count);
    m_writeLength += count;
    m_position += count;
    return true;
}

bool BufferedFile::WriteThrough(const std::byte* source, size_t count, uint64_t offset)
{
    while (count > 0) {
        const ssize_t written = ::pwrite(m_descriptor, source, count, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        source += written;
        count -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

bool BufferedFile::Flush()
{
    if (m_writeLength == 0) {
        return true;
    }
    const size_t pending = m_writeLength;
    m_writeLength = 0;
    return WriteThrough(m_buffer.get(), pending, m_bufferOffset);
}

bool BufferedFile::Size(uint64_t& size) const
{
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0) {
        return false;
    }
    size = static_cast<uint64_t>(status.st_size);
    if (m_writeLength > 0) {
        size = std::max(size, m_bufferOffset + m_writeLength);
    }
    return true;
}

bool BufferedFile::Close()
{
    bool ok = Flush();
    if (::close(m_descriptor) != 0 && errno != EINTR) {
        ok = false;
    }
    m_descriptor = -1;
    return ok;
}

int BufferedFile::ReleaseDescriptor()
{
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    m_writeLength = 0;
    return descriptor;
}

} // namespace wave
