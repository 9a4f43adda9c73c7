#include "PluginTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

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
