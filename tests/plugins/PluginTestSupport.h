// What the plug-in tests share: the plug-ins loaded the way the program loads
// them, and a file described, read and written through one of them. Scratch
// folders, byte-level file building and the peers come from the shared
// support (support/).
#pragma once

#include <cstdint>
#include <string>

#include "audff.h"
#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/PeerCommand.h"
#include "support/ScratchFolder.h"
#include "support/Signals.h"
#include "support/WaveFile.h"

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

using testsupport::Bytes;

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
