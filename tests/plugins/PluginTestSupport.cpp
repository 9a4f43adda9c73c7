#include "PluginTestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace plugintest {
namespace {

template <typename Function>
void Bind(void* module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(module, name));
    if (function == nullptr) {
        std::fprintf(stderr, "entry point %s is missing\n", name);
        std::abort();
    }
}

Plugin Load(const char* fileName)
{
    Plugin plugin;
    const std::string path = PluginPath(fileName);
    plugin.module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin.module == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        std::abort();
    }
    Bind(plugin.module, "AUDFF_GetInformation", plugin.GetInformation);
    Bind(plugin.module, "AUDFF_OpenRead", plugin.OpenRead);
    Bind(plugin.module, "AUDFF_CloseRead", plugin.CloseRead);
    Bind(plugin.module, "AUDFF_GetFormat", plugin.GetFormat);
    Bind(plugin.module, "AUDFF_CheckFormatTag", plugin.CheckFormatTag);
    Bind(plugin.module, "AUDFF_CheckFormat", plugin.CheckFormat);
    Bind(plugin.module, "AUDFF_GetErrorMessage", plugin.GetErrorMessage);
    Bind(plugin.module, "AUDFF_PreRead", plugin.PreRead);
    Bind(plugin.module, "AUDFF_Read", plugin.Read);
    Bind(plugin.module, "AUDFF_PostRead", plugin.PostRead);
    Bind(plugin.module, "AUDFF_OpenWrite", plugin.OpenWrite);
    Bind(plugin.module, "AUDFF_PutFormat", plugin.PutFormat);
    Bind(plugin.module, "AUDFF_PreWrite", plugin.PreWrite);
    Bind(plugin.module, "AUDFF_Write", plugin.Write);
    Bind(plugin.module, "AUDFF_PostWrite", plugin.PostWrite);
    Bind(plugin.module, "AUDFF_CloseWrite", plugin.CloseWrite);
    Bind(plugin.module, "AUDFF_About", plugin.About);
    return plugin;
}

} // namespace

std::string PluginPath(const char* fileName)
{
    return std::string(ORVANO_BIN_DIR) + "/" + fileName;
}

const Plugin& WavePlugin()
{
    static const Plugin plugin = Load("AUDFFWAV.so");
    return plugin;
}

const Plugin& Mp3Plugin()
{
    static const Plugin plugin = Load("AUDFFMP3.so");
    return plugin;
}

void AppendLittleEndian16(Bytes& bytes, uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLittleEndian32(Bytes& bytes, uint32_t value)
{
    AppendLittleEndian16(bytes, value & 0xFFFF);
    AppendLittleEndian16(bytes, value >> 16);
}

void AppendText(Bytes& bytes, const char* text)
{
    bytes.insert(bytes.end(), text, text + std::strlen(text));
}

void AppendChunkDeclaring(Bytes& bytes, const char* id, uint32_t declaredSize, const Bytes& payload)
{
    AppendText(bytes, id);
    AppendLittleEndian32(bytes, declaredSize);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) {
        bytes.push_back(0);
    }
}

void AppendChunk(Bytes& bytes, const char* id, const Bytes& payload)
{
    AppendChunkDeclaring(bytes, id, static_cast<uint32_t>(payload.size()), payload);
}

uint32_t LittleEndian32At(const Bytes& bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<uint32_t>(bytes.at(offset + 2)) << 16 | static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

uint16_t LittleEndian16At(const Bytes& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

Bytes FormatHead(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byteRate, uint16_t blockAlign,
                 uint16_t bits)
{
    Bytes head;
    AppendLittleEndian16(head, tag);
    AppendLittleEndian16(head, channels);
    AppendLittleEndian32(head, rate);
    AppendLittleEndian32(head, byteRate);
    AppendLittleEndian16(head, blockAlign);
    AppendLittleEndian16(head, bits);
    return head;
}

Bytes PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits)
{
    const auto blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    return FormatHead(WAVE_FORMAT_PCM, channels, rate, rate * blockAlign, blockAlign, bits);
}

Bytes WaveFile(const Bytes& formatChunk, const Bytes& data)
{
    Bytes body;
    AppendText(body, "WAVE");
    AppendChunk(body, "fmt ", formatChunk);
    AppendChunk(body, "data", data);
    Bytes file;
    AppendChunk(file, "RIFF", body);
    return file;
}

Bytes Pattern(size_t length, uint32_t seed)
{
    Bytes bytes(length);
    uint32_t state = seed * 2654435761U + 1;
    for (auto& byte : bytes) {
        state = state * 1664525U + 1013904223U;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

TempFolder::TempFolder()
{
    std::string pattern = testing::TempDir() + "orvano-plugins-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    m_root = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    // Folders made read-only by a test must become writable to be removed.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root, ignored)) {
        if (entry.is_directory(ignored)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempFolder::Path(const std::string& name) const
{
    return (m_root / name).string();
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 4096> chunk{};
    size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        output.append(chunk.data(), got);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveCommand(const char* name)
{
    std::string ignored;
    return RunCommand(std::string("command -v ") + name + " >/dev/null 2>&1", ignored) == 0;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

Description Describe(const Plugin& plugin, const std::string& path)
{
    Description description;
    AUDFF_HANDLE handle = 0;
    description.openResult = plugin.OpenRead(path.c_str(), &handle);
    if (description.openResult != 0) {
        return description;
    }
    WAVEFORMATEX* block = reinterpret_cast<WAVEFORMATEX*>(uintptr_t{1});
    description.formatResult = plugin.GetFormat(handle, &block, &description.dataSize);
    if (description.formatResult == 0 && block != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(block);
        description.format.assign(bytes, bytes + sizeof(WAVEFORMATEX) + block->cbSize);
        std::free(block);
    } else {
        description.blockNullOnFailure = block == nullptr;
    }
    plugin.CloseRead(handle);
    return description;
}

bool ReadAudio(const Plugin& plugin, const std::string& path, uint32_t dataSize, uint32_t pieceSize, Bytes& audio)
{
    audio.clear();
    AUDFF_HANDLE handle = 0;
    if (plugin.OpenRead(path.c_str(), &handle) != 0) {
        return false;
    }
    bool ok = plugin.PreRead(handle) == 0;
    while (ok && audio.size() < dataSize) {
        Bytes piece(std::min<size_t>(pieceSize, dataSize - audio.size()));
        uint32_t size = static_cast<uint32_t>(piece.size());
        ok = plugin.Read(handle, piece.data(), &size) == 0 && size > 0;
        if (ok) {
            audio.insert(audio.end(), piece.begin(), piece.begin() + size);
        }
    }
    ok = plugin.PostRead(handle) == 0 && ok;
    ok = plugin.CloseRead(handle) == 0 && ok;
    return ok;
}

bool WriteFileThrough(const Plugin& plugin, const std::string& path, const Bytes& format, const Bytes& audio,
                      uint32_t pieceSize)
{
    AUDFF_HANDLE handle = 0;
    if (plugin.OpenWrite(path.c_str(), &handle) != 0) {
        return false;
    }
    bool ok = plugin.PutFormat(handle, reinterpret_cast<const WAVEFORMATEX*>(format.data())) == 0 &&
              plugin.PreWrite(handle) == 0;
    for (size_t done = 0; ok && done < audio.size(); done += pieceSize) {
        const auto count = static_cast<uint32_t>(std::min<size_t>(pieceSize, audio.size() - done));
        ok = plugin.Write(handle, audio.data() + done, count) == 0;
    }
    ok = ok && plugin.PostWrite(handle) == 0;
    return plugin.CloseWrite(handle) == 0 && ok;
}

} // namespace plugintest
