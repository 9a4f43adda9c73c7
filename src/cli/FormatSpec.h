// Destination formats written on the command line: EXT:CODEC[:PARAMS], the
// extension naming the writing library, the codec a format tag, the
// parameters its rate, bits, channels or bit rate:
//   wav:pcm:RATE:BITS:CHANNELS    wav:float:RATE:CHANNELS
//   wav:alaw:RATE:CHANNELS        wav:ulaw:RATE:CHANNELS
//   wav:ima-adpcm:RATE:CHANNELS   wav:ms-adpcm:RATE:CHANNELS
//   wav:gsm:RATE                  wav:mp3:KBPS[:RATE:CHANNELS]
//   mp3:KBPS[:RATE:CHANNELS]      (a library with one tag needs no codec)
// Such a text stands for the first format the codec layer enumerates for the tag
// with those values that the library accepts. A PCM format that is not
// enumerated (37800 Hz, 32 bits) is built directly when the codec layer
// describes it and the library accepts it. Without RATE:CHANNELS an MP3
// destination takes the source's rate and channels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/OwningList.h"
#include "formats/AudioFormat.h"

class CFileFormatLibrary;

struct SCodecName {
    const char* name;
    uint16_t tag;
    const char* parameters; // as the usage text shows them
};
// Every codec such a text can name, in the order help texts list them.
const std::vector<SCodecName>& CodecNames();
// The codec name of a tag, or empty.
std::string CodecNameOfTag(uint16_t tag);
// A tag from a codec name or a number ("pcm", "0x11", "17").
std::optional<uint16_t> ParseFormatTag(std::string_view text);

struct SFormatSpec {
    std::string text;
    const CFileFormatLibrary* library = nullptr;
    uint16_t tag = 0;
    std::optional<uint32_t> rate;
    std::optional<uint32_t> bits;
    std::optional<uint32_t> channels;
    std::optional<uint32_t> kbps;
    // RATE:CHANNELS were left out: they come from the source.
    bool ratesFromSource = false;

    bool NeedsSource() const { return ratesFromSource; }
};

// Checks the choice's form and finds its library (one that writes) and tag.
// false with a message naming what is valid.
bool ParseFormatSpec(std::string_view text, const COwningList<CFileFormatLibrary>& libraries, SFormatSpec& choice,
                     std::string& error);

// The format a choice stands for; source supplies what the choice leaves open
// (may be null when nothing is left open). false with a message naming the
// valid values.
bool ResolveFormatSpec(const SFormatSpec& choice, const WAVEFORMATEX* source, CAudioFormat& format,
                       std::string& error);

// The choice that names format for library, or empty when no codec name fits.
std::string FormatSpecOf(const CFileFormatLibrary& library, const WAVEFORMATEX& format);
