#include "project/ItemRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "libhost/FileFormatLibrary.h"

namespace {

constexpr std::size_t kFormatHeadSize = 16;
constexpr std::size_t kFormatBlockSize = sizeof(WAVEFORMATEX);
constexpr std::size_t kMaxFormatSize = kFormatBlockSize + 0xFFFF;

void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void AppendBytes(std::vector<uint8_t>& out, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

uint16_t LoadLe16(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

uint32_t LoadLe32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

enum class EFieldRead { Complete, Short, Error };

EFieldRead ReadField(IByteSource& source, uint8_t* out, std::size_t size)
{
    std::size_t got = 0;
    if (!source.Read(out, size, got)) {
        return EFieldRead::Error;
    }
    return got == size ? EFieldRead::Complete : EFieldRead::Short;
}

EItemRecordRead ToRecordResult(EFieldRead read)
{
    return read == EFieldRead::Error ? EItemRecordRead::ReadError : EItemRecordRead::Corrupt;
}

// A length field followed by that many bytes of path.
EItemRecordRead ReadPath(IByteSource& source, std::string& path)
{
    uint8_t lengthBytes[4];
    EFieldRead read = ReadField(source, lengthBytes, sizeof lengthBytes);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    const uint32_t length = LoadLe32(lengthBytes);
    if (length > kMaxStoredPathLength) {
        return EItemRecordRead::Corrupt;
    }
    path.resize(length);
    read = ReadField(source, reinterpret_cast<uint8_t*>(path.data()), length);
    return read == EFieldRead::Complete ? EItemRecordRead::Record : ToRecordResult(read);
}

// The size the block's own tag and cbSize give.
bool FormatSizeIsConsistent(const std::vector<uint8_t>& format)
{
    if (format.size() < kFormatHeadSize) {
        return false;
    }
    if (LoadLe16(format.data()) == WAVE_FORMAT_PCM) {
        return format.size() == kFormatHeadSize;
    }
    return format.size() >= kFormatBlockSize && format.size() == kFormatBlockSize + LoadLe16(format.data() + 16);
}

const CFileFormatLibrary* FindDestinationLibrary(const CLibraryList& libraries, const std::string& tag,
                                                 const CAudioFormat& format)
{
    for (const auto& library : libraries) {
        if (library->GetExtension() == tag && library->HasOutput() && library->CheckFormat(format)) {
            return library.get();
        }
    }
    return nullptr;
}

} // namespace

bool AppendItemRecord(const CProjectItem& item, std::vector<uint8_t>& out)
{
    const std::string& source = item.GetSourcePath();
    const std::string& destination = item.GetDestinationPath();
    if (source.size() > kMaxStoredPathLength || destination.size() > kMaxStoredPathLength) {
        return false;
    }
    AppendLe32(out, static_cast<uint32_t>(source.size()));
    AppendBytes(out, source.data(), source.size());
    AppendLe32(out, static_cast<uint32_t>(destination.size()));
    AppendBytes(out, destination.data(), destination.size());

    const CAudioFormat* format = item.GetDestinationFormat();
    if (!item.HasDestination() || format == nullptr || format->GetFormat() == nullptr) {
        AppendBytes(out, "   ", kLibraryTagLength);
        return true;
    }
    std::string tag = item.GetDestinationLibrary()->GetExtension().substr(0, kLibraryTagLength);
    tag.resize(kLibraryTagLength, ' ');
    AppendBytes(out, tag.data(), kLibraryTagLength);
    out.push_back(item.GetHighQuality() != 0 ? 'H' : 'L');
    const uint32_t size = format->GetSize();
    AppendLe32(out, size);
    AppendBytes(out, format->GetFormat(), size);
    return true;
}

bool CMemoryByteSource::Read(uint8_t* out, std::size_t size, std::size_t& got)
{
    got = std::min(size, m_size - m_position);
    if (got > 0) {
        std::memcpy(out, m_data + m_position, got);
    }
    m_position += got;
    return true;
}

bool CFileByteSource::Read(uint8_t* out, std::size_t size, std::size_t& got)
{
    got = 0;
    while (got < size) {
        if (m_position == m_filled) {
            ssize_t result;
            do {
                result = ::read(m_descriptor, m_buffer.data(), m_buffer.size());
            } while (result < 0 && errno == EINTR);
            if (result < 0) {
                return false;
            }
            if (result == 0) {
                return true;
            }
            m_filled = static_cast<std::size_t>(result);
            m_position = 0;
        }
        const std::size_t piece = std::min(size - got, m_filled - m_position);
        std::memcpy(out + got, m_buffer.data() + m_position, piece);
        m_position += piece;
        got += piece;
    }
    return true;
}

EItemRecordRead ReadItemRecord(IByteSource& source, SItemRecord& record)
{
    record = SItemRecord{};
    uint8_t lengthBytes[4];
    std::size_t got = 0;
    if (!source.Read(lengthBytes, sizeof lengthBytes, got)) {
        return EItemRecordRead::ReadError;
    }
    // A record cut inside its source length is the normal end of the data.
    if (got < sizeof lengthBytes) {
        return EItemRecordRead::End;
    }
    const uint32_t sourceLength = LoadLe32(lengthBytes);
    if (sourceLength > kMaxStoredPathLength) {
        return EItemRecordRead::Corrupt;
    }
    record.sourcePath.resize(sourceLength);
    EFieldRead read = ReadField(source, reinterpret_cast<uint8_t*>(record.sourcePath.data()), sourceLength);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    const EItemRecordRead destination = ReadPath(source, record.destinationPath);
    if (destination != EItemRecordRead::Record) {
        return destination;
    }

    char tag[kLibraryTagLength];
    read = ReadField(source, reinterpret_cast<uint8_t*>(tag), sizeof tag);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    record.libraryTag.assign(tag, sizeof tag);
    while (!record.libraryTag.empty() && record.libraryTag.back() == ' ') {
        record.libraryTag.pop_back();
    }
    if (record.libraryTag.empty()) {
        return EItemRecordRead::Record;
    }

    uint8_t quality = 0;
    read = ReadField(source, &quality, 1);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    if (quality != 'H' && quality != 'L') {
        return EItemRecordRead::Corrupt;
    }
    record.highQuality = quality == 'H';

    read = ReadField(source, lengthBytes, sizeof lengthBytes);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    const uint32_t formatSize = LoadLe32(lengthBytes);
    if (formatSize < kFormatHeadSize || formatSize > kMaxFormatSize) {
        return EItemRecordRead::Corrupt;
    }
    record.format.resize(formatSize);
    read = ReadField(source, record.format.data(), formatSize);
    if (read != EFieldRead::Complete) {
        return ToRecordResult(read);
    }
    return FormatSizeIsConsistent(record.format) ? EItemRecordRead::Record : EItemRecordRead::Corrupt;
}

EItemRestore RestoreItem(const SItemRecord& record, const CLibraryList& libraries,
                         const std::function<bool(std::string_view)>& hasSource,
                         std::unique_ptr<CProjectItem>& item)
{
    item.reset();
    CAudioFormat destinationFormat;
    const CFileFormatLibrary* destinationLibrary = nullptr;
    if (!record.libraryTag.empty()) {
        // A PCM record holds 16 bytes; the copy wants a whole block to read from.
        std::vector<uint8_t> block = record.format;
        block.resize(std::max(block.size(), kFormatBlockSize), 0);
        destinationFormat.SetFormat(reinterpret_cast<const WAVEFORMATEX*>(block.data()));
        destinationLibrary = FindDestinationLibrary(libraries, record.libraryTag, destinationFormat);
        if (destinationLibrary == nullptr || !destinationFormat.IsAvailable()) {
            return EItemRestore::Failed;
        }
    }
    if (hasSource && hasSource(record.sourcePath)) {
        return EItemRestore::Duplicate;
    }
    auto restored = std::make_unique<CProjectItem>();
    if (!restored->CreateFromSource(record.sourcePath, false, libraries)) {
        return EItemRestore::Failed;
    }
    if (!record.destinationPath.empty()) {
        restored->SetDestinationPath(record.destinationPath);
    }
    if (destinationLibrary != nullptr &&
        !restored->SetDestinationFormat(destinationLibrary, record.highQuality ? 1u : 0u, destinationFormat)) {
        return EItemRestore::Failed;
    }
    item = std::move(restored);
    return EItemRestore::Restored;
}
