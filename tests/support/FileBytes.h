// Whole files as bytes or text, and little-endian building blocks for file
// layouts (RIFF chunks and the like).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// False (or empty) when the file cannot be opened.
bool ReadBytes(const std::string& path, Bytes& bytes);
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);

// Replace the file. A file that cannot be written is a test failure naming
// the path (a fixture that silently is not there misleads every later
// check); the result says so too.
bool WriteBytes(const std::string& path, const Bytes& bytes);
bool WriteText(const std::string& path, std::string_view text);

// The parts one after another.
Bytes Join(std::initializer_list<Bytes> parts);
void AppendLe16(Bytes& bytes, uint32_t value);
void AppendLe32(Bytes& bytes, uint32_t value);
void AppendText(Bytes& bytes, std::string_view text);
// Id, size, payload and a pad byte after an odd payload. The declaring form
// writes any size, true or not.
void AppendChunk(Bytes& bytes, const char* id, const Bytes& payload);
void AppendChunkDeclaring(Bytes& bytes, const char* id, uint32_t declaredSize, const Bytes& payload);

uint16_t LoadLe16(const uint8_t* in);
uint32_t LoadLe32(const uint8_t* in);
// Bounds-checked: reading past the end is a test error, not an over-read.
uint16_t Le16At(const Bytes& bytes, size_t offset);
uint32_t Le32At(const Bytes& bytes, size_t offset);

} // namespace testsupport
