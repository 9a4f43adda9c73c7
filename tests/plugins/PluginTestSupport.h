// What the plug-in tests share: the plug-ins loaded the way the program loads
// them, a private temporary folder, byte-level file building and running the
// command-line peers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audff.h"

namespace plugintest {

// One plug-in opened with dlopen from the output folder and bound by name.
// Loaded once per process and never released, as the program does.
struct Plugin {
    void* module = nullptr;
    AUDFF_PFN_GetInformation GetInformation = nullptr;
    AUDFF_PFN_OpenRead OpenRead = nullptr;
    AUDFF_PFN_CloseRead CloseRead = nullptr;
    AUDFF_PFN_GetFormat GetFormat = nullptr;
    AUDFF_PFN_CheckFormatTag CheckFormatTag = nullptr;
    AUDFF_PFN_CheckFormat CheckFormat = nullptr;
    AUDFF_PFN_GetErrorMessage GetErrorMessage = nullptr;
    AUDFF_PFN_PreRead PreRead = nullptr;
    AUDFF_PFN_Read Read = nullptr;
    AUDFF_PFN_PostRead PostRead = nullptr;
    AUDFF_PFN_OpenWrite OpenWrite = nullptr;
    AUDFF_PFN_PutFormat PutFormat = nullptr;
    AUDFF_PFN_PreWrite PreWrite = nullptr;
    AUDFF_PFN_Write Write = nullptr;
    AUDFF_PFN_PostWrite PostWrite = nullptr;
    AUDFF_PFN_CloseWrite CloseWrite = nullptr;
    AUDFF_PFN_About About = nullptr;
};

// Aborts the test program when the plug-in or one of its entry points is
// missing: nothing else can be tested then.
const Plugin& WavePlugin();
const Plugin& Mp3Plugin();
std::string PluginPath(const char* fileName);

using Bytes = std::vector<uint8_t>;

void AppendLittleEndian16(Bytes& bytes, uint32_t value);
void AppendLittleEndian32(Bytes& bytes, uint32_t value);
void AppendText(Bytes& bytes, const char* text);
// Appends id, size, payload and a pad byte when the payload is odd. A
// declared size other than the payload's is written as given.
void AppendChunk(Bytes& bytes, const char* id, const Bytes& payload);
void AppendChunkDeclaring(Bytes& bytes, const char* id, uint32_t declaredSize, const Bytes& payload);
uint32_t LittleEndian32At(const Bytes& bytes, size_t offset);
uint16_t LittleEndian16At(const Bytes& bytes, size_t offset);

// The 16 head bytes of a format record (without cbSize).
Bytes FormatHead(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byteRate, uint16_t blockAlign,
                 uint16_t bits);
Bytes PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);
// A RIFF WAVE file: "fmt " with formatChunk, then "data" with data.
Bytes WaveFile(const Bytes& formatChunk, const Bytes& data);
Bytes Pattern(size_t length, uint32_t seed);

// A fresh folder under the test temporary folder, removed with everything in
// it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name) const;
    const std::filesystem::path& Root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// Runs a shell command; returns its exit status and stores its standard
// output.
int RunCommand(const std::string& command, std::string& output);
bool HaveCommand(const char* name);
std::string Quoted(const std::string& text);

// What a library says about a file: the result of opening and describing it,
// the format block's significant bytes and the data size.
struct Description {
    int32_t openResult = -100;
    int32_t formatResult = -100;
    bool blockNullOnFailure = false;
    Bytes format; // 18 + cbSize bytes of the block
    uint32_t dataSize = 0;
};
Description Describe(const Plugin& plugin, const std::string& path);

// Reads the audio of a file from PreRead up to dataSize, in pieces of
// pieceSize bytes; empty with a failed step.
bool ReadAudio(const Plugin& plugin, const std::string& path, uint32_t dataSize, uint32_t pieceSize, Bytes& audio);

// Writes a whole file through the full write sequence; false when a step
// failed.
bool WriteFileThrough(const Plugin& plugin, const std::string& path, const Bytes& format, const Bytes& audio,
                      uint32_t pieceSize);

} // namespace plugintest
