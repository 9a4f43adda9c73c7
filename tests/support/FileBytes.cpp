#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport {

namespace {

bool WriteWhole(const std::string& path, const char* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        ADD_FAILURE() << "cannot write " << path;
        return false;
    }
    return true;
}

} // namespace

bool ReadBytes(const std::string& path, Bytes& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

Bytes ReadBytes(const std::string& path)
{
    Bytes bytes;
    ReadBytes(path, bytes);
    return bytes;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteBytes(const std::string& path, const Bytes& bytes)
{
    return WriteWhole(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool WriteText(const std::string& path, std::string_view text)
{
    return WriteWhole(path, text.data(), text.size());
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

void AppendLe16(Bytes& bytes, uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(Bytes& bytes, uint32_t value)
{
    AppendLe16(bytes, value & 0xFFFF);
    AppendLe16(bytes, value >> 16);
}

void AppendText(Bytes& bytes, std::string_view text)
{
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void AppendChunkDeclaring(Bytes& bytes, const char* id, uint32_t declaredSize, const Bytes& payload)
{
    AppendText(bytes, std::string_view(id, 4));
    AppendLe32(bytes, declaredSize);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) {
        bytes.push_back(0);
    }
}

void AppendChunk(Bytes& bytes, const char* id, const Bytes& payload)
{
    AppendChunkDeclaring(bytes, id, static_cast<uint32_t>(payload.size()), payload);
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

uint16_t Le16At(const Bytes& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

uint32_t Le32At(const Bytes& bytes, size_t offset)
{
    return static_cast<uint32_t>(Le16At(bytes, offset)) | static_cast<uint32_t>(Le16At(bytes, offset + 2)) << 16;
}

} // namespace testsupport
