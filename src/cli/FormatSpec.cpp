#include "cli/FormatSpec.h"

#include <algorithm>
#include <cctype>

#include "formats/SavedFormats.h"
#include "libhost/FileFormatLibrary.h"

namespace {

enum class EParameter { Rate, Bits, Channels, Kbps };

struct SCodecForm {
    uint16_t tag;
    std::vector<EParameter> parameters;
    std::size_t optionalFrom; // parameters from here on may be left out together
};

const SCodecForm* FormOfTag(uint16_t tag)
{
    static const std::vector<SCodecForm> forms = {
        {WAVE_FORMAT_PCM, {EParameter::Rate, EParameter::Bits, EParameter::Channels}, 3},
        {WAVE_FORMAT_IEEE_FLOAT, {EParameter::Rate, EParameter::Channels}, 2},
        {WAVE_FORMAT_ALAW, {EParameter::Rate, EParameter::Channels}, 2},
        {WAVE_FORMAT_MULAW, {EParameter::Rate, EParameter::Channels}, 2},
        {WAVE_FORMAT_IMA_ADPCM, {EParameter::Rate, EParameter::Channels}, 2},
        {WAVE_FORMAT_ADPCM, {EParameter::Rate, EParameter::Channels}, 2},
        {WAVE_FORMAT_GSM610, {EParameter::Rate}, 1},
        {WAVE_FORMAT_MPEGLAYER3, {EParameter::Kbps, EParameter::Rate, EParameter::Channels}, 1},
    };
    for (const SCodecForm& form : forms) {
        if (form.tag == tag) {
            return &form;
        }
    }
    return nullptr;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<uint32_t> ParseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::string ParameterName(EParameter parameter)
{
    switch (parameter) {
    case EParameter::Rate:
        return "RATE";
    case EParameter::Bits:
        return "BITS";
    case EParameter::Channels:
        return "CHANNELS";
    case EParameter::Kbps:
        return "KBPS";
    }
    return {};
}

std::optional<uint32_t> ValueOf(const WAVEFORMATEX& format, EParameter parameter)
{
    switch (parameter) {
    case EParameter::Rate:
        return format.nSamplesPerSec;
    case EParameter::Bits:
        return format.wBitsPerSample;
    case EParameter::Channels:
        return format.nChannels;
    case EParameter::Kbps:
        if (format.nAvgBytesPerSec * 8ull % 1000 != 0) {
            return std::nullopt;
        }
        return static_cast<uint32_t>(format.nAvgBytesPerSec * 8ull / 1000);
    }
    return std::nullopt;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) {
            text += separator;
        }
        text += parts[i];
    }
    return text;
}

// The tuples of the given parameters among formats, each once, in order.
std::vector<std::string> DistinctTuples(const std::vector<SOfferedFormat>& formats,
                                        const std::vector<EParameter>& parameters)
{
    std::vector<std::string> tuples;
    for (const SOfferedFormat& offered : formats) {
        std::vector<std::string> values;
        for (const EParameter parameter : parameters) {
            const auto value = ValueOf(*offered.format.GetFormat(), parameter);
            values.push_back(value ? std::to_string(*value) : "?");
        }
        std::string tuple = Join(values, ":");
        if (std::find(tuples.begin(), tuples.end(), tuple) == tuples.end()) {
            tuples.push_back(std::move(tuple));
        }
    }
    return tuples;
}

std::string TagName(uint16_t tag)
{
    ACMFORMATTAGDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    if (acmFormatTagDetails(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR) {
        return details.szFormatTag;
    }
    return CodecNameOfTag(tag);
}

std::string ParametersText(uint16_t tag)
{
    for (const SCodecName& codec : CodecNames()) {
        if (codec.tag == tag) {
            return codec.parameters;
        }
    }
    return {};
}

WAVEFORMATEX PcmBlock(uint32_t rate, uint32_t bits, uint32_t channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<uint16_t>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = static_cast<uint16_t>(bits);
    format.nBlockAlign = static_cast<uint16_t>(channels * (bits / 8));
    format.nAvgBytesPerSec = static_cast<uint32_t>(uint64_t{rate} * format.nBlockAlign);
    return format;
}

} // namespace

const std::vector<SCodecName>& CodecNames()
{
    static const std::vector<SCodecName> names = {
        {"pcm", WAVE_FORMAT_PCM, "RATE:BITS:CHANNELS"},
        {"float", WAVE_FORMAT_IEEE_FLOAT, "RATE:CHANNELS"},
        {"alaw", WAVE_FORMAT_ALAW, "RATE:CHANNELS"},
        {"ulaw", WAVE_FORMAT_MULAW, "RATE:CHANNELS"},
        {"ima-adpcm", WAVE_FORMAT_IMA_ADPCM, "RATE:CHANNELS"},
        {"ms-adpcm", WAVE_FORMAT_ADPCM, "RATE:CHANNELS"},
        {"gsm", WAVE_FORMAT_GSM610, "RATE"},
        {"mp3", WAVE_FORMAT_MPEGLAYER3, "KBPS[:RATE:CHANNELS]"},
    };
    return names;
}

std::string CodecNameOfTag(uint16_t tag)
{
    for (const SCodecName& codec : CodecNames()) {
        if (codec.tag == tag) {
            return codec.name;
        }
    }
    return {};
}

std::optional<uint16_t> ParseFormatTag(std::string_view text)
{
    const std::string lower = Lower(text);
    for (const SCodecName& codec : CodecNames()) {
        if (lower == codec.name) {
            return codec.tag;
        }
    }
    if (lower.size() > 2 && lower.compare(0, 2, "0x") == 0) {
        uint32_t value = 0;
        for (std::size_t i = 2; i < lower.size(); ++i) {
            const char c = lower[i];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0 || value > 0xFFF) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        return static_cast<uint16_t>(value);
    }
    const auto number = ParseNumber(lower);
    if (number && *number <= 0xFFFF) {
        return static_cast<uint16_t>(*number);
    }
    return std::nullopt;
}

bool ParseFormatSpec(std::string_view text, const COwningList<CFileFormatLibrary>& libraries, SFormatSpec& choice,
                     std::string& error)
{
    choice = {};
    choice.text = std::string(text);
    const std::vector<std::string> parts = Split(text, ':');
    const std::vector<const CFileFormatLibrary*> writers = OfferedLibraries(libraries);
    std::vector<std::string> extensions;
    for (const CFileFormatLibrary* library : writers) {
        extensions.push_back(Lower(library->GetExtension()));
        if (choice.library == nullptr && library->GetExtension() == Upper(parts[0])) {
            choice.library = library;
        }
    }
    if (choice.library == nullptr) {
        error = "no file format library writes \"" + parts[0] + "\" files; these do: " + Join(extensions, ", ");
        return false;
    }

    const std::vector<SOfferedTag> tags = OfferedFormatTags(*choice.library);
    std::size_t first = 1;
    std::string codec = parts.size() > 1 ? Lower(parts[1]) : std::string();
    const SCodecName* named = nullptr;
    for (const SCodecName& candidate : CodecNames()) {
        if (codec == candidate.name) {
            named = &candidate;
        }
    }
    std::vector<std::string> offeredCodecs;
    for (const SOfferedTag& tag : tags) {
        const std::string name = CodecNameOfTag(tag.tag);
        if (!name.empty()) {
            offeredCodecs.push_back(name);
        }
    }
    if (named != nullptr) {
        choice.tag = named->tag;
        first = 2;
    } else if (tags.size() == 1 && !CodecNameOfTag(tags[0].tag).empty()) {
        // A library that writes one tag needs no codec name.
        choice.tag = tags[0].tag;
    } else {
        error = parts.size() > 1 ? "unknown codec \"" + parts[1] + "\"" : "a codec is missing";
        error += "; " + choice.library->GetName() + " writes: " + Join(offeredCodecs, ", ");
        return false;
    }
    if (std::none_of(tags.begin(), tags.end(), [&](const SOfferedTag& t) { return t.tag == choice.tag; })) {
        error = choice.library->GetName() + " does not write " + CodecNameOfTag(choice.tag) +
                "; it writes: " + Join(offeredCodecs, ", ");
        return false;
    }

    const SCodecForm* form = FormOfTag(choice.tag);
    const std::size_t given = parts.size() - first;
    const std::string usage = Lower(choice.library->GetExtension()) + ":" +
                              (first == 2 ? CodecNameOfTag(choice.tag) + ":" : std::string()) +
                              ParametersText(choice.tag);
    if (form == nullptr || (given != form->parameters.size() && given != form->optionalFrom)) {
        error = "\"" + choice.text + "\" does not have the form " + usage;
        return false;
    }
    choice.ratesFromSource = given < form->parameters.size();
    for (std::size_t i = 0; i < given; ++i) {
        const auto value = ParseNumber(parts[first + i]);
        if (!value || *value == 0) {
            error = "\"" + parts[first + i] + "\" is no valid " + ParameterName(form->parameters[i]) + " in " + usage;
            return false;
        }
        switch (form->parameters[i]) {
        case EParameter::Rate:
            choice.rate = value;
            break;
        case EParameter::Bits:
            choice.bits = value;
            break;
        case EParameter::Channels:
            choice.channels = value;
            break;
        case EParameter::Kbps:
            choice.kbps = value;
            break;
        }
    }
    if (choice.kbps) {
        // A bit rate no format has is wrong whatever the source.
        const std::vector<SOfferedFormat> offered = OfferedFormats(*choice.library, choice.tag);
        if (std::none_of(offered.begin(), offered.end(), [&](const SOfferedFormat& f) {
                return ValueOf(*f.format.GetFormat(), EParameter::Kbps) == choice.kbps;
            })) {
            error = "\"" + choice.text + "\": " + choice.library->GetName() + " writes no " + TagName(choice.tag) +
                    " format of " + std::to_string(*choice.kbps) +
                    " kbit/s; valid KBPS: " + Join(DistinctTuples(offered, {EParameter::Kbps}), " ");
            return false;
        }
    }
    return true;
}

bool ResolveFormatSpec(const SFormatSpec& choice, const WAVEFORMATEX* source, CAudioFormat& format,
                       std::string& error)
{
    const SCodecForm* form = FormOfTag(choice.tag);
    if (choice.library == nullptr || form == nullptr) {
        error = "\"" + choice.text + "\" names no format";
        return false;
    }
    SFormatSpec values = choice;
    const bool fromSource = choice.NeedsSource();
    if (fromSource) {
        if (source == nullptr) {
            error = "\"" + choice.text + "\" needs RATE:CHANNELS here";
            return false;
        }
        values.rate = source->nSamplesPerSec;
        values.channels = source->nChannels;
    }
    const auto wanted = [&](EParameter parameter) -> std::optional<uint32_t> {
        switch (parameter) {
        case EParameter::Rate:
            return values.rate;
        case EParameter::Bits:
            return values.bits;
        case EParameter::Channels:
            return values.channels;
        case EParameter::Kbps:
            return values.kbps;
        }
        return std::nullopt;
    };

    const std::vector<SOfferedFormat> offered = OfferedFormats(*choice.library, choice.tag);
    for (const SOfferedFormat& candidate : offered) {
        const bool matches = std::all_of(form->parameters.begin(), form->parameters.end(), [&](EParameter p) {
            return ValueOf(*candidate.format.GetFormat(), p) == wanted(p);
        });
        if (matches) {
            format = candidate.format;
            return true;
        }
    }
    if (choice.tag == WAVE_FORMAT_PCM && *values.bits % 8 == 0 && *values.bits <= 32 && *values.channels <= 0xFFFF &&
        uint64_t{*values.channels} * (*values.bits / 8) <= 0xFFFF) {
        const WAVEFORMATEX block = PcmBlock(*values.rate, *values.bits, *values.channels);
        CAudioFormat built(&block);
        if (built.IsAvailable() && choice.library->CheckFormat(built)) {
            format = built;
            return true;
        }
    }

    std::string described = "\"" + choice.text + "\"";
    if (fromSource) {
        described += " with the source's " + std::to_string(*values.rate) + " Hz and " +
                     std::to_string(*values.channels) + (*values.channels == 1 ? " channel" : " channels");
    }
    error = described + " matches no " + TagName(choice.tag) + " format that " + choice.library->GetName() + " writes";
    if (choice.tag == WAVE_FORMAT_MPEGLAYER3) {
        std::vector<SOfferedFormat> atRate;
        for (const SOfferedFormat& candidate : offered) {
            if (ValueOf(*candidate.format.GetFormat(), EParameter::Kbps) == values.kbps) {
                atRate.push_back(candidate);
            }
        }
        if (atRate.empty()) {
            error += "; valid KBPS: " + Join(DistinctTuples(offered, {EParameter::Kbps}), " ");
        } else {
            error += "; valid RATE:CHANNELS at " + std::to_string(*values.kbps) +
                     " kbit/s: " + Join(DistinctTuples(atRate, {EParameter::Rate, EParameter::Channels}), " ");
        }
    } else {
        std::vector<std::string> names;
        for (const EParameter p : form->parameters) {
            names.push_back(ParameterName(p));
        }
        error += "; valid " + Join(names, ":") + ": " + Join(DistinctTuples(offered, form->parameters), " ");
    }
    return false;
}

std::string FormatSpecOf(const CFileFormatLibrary& library, const WAVEFORMATEX& format)
{
    const SCodecForm* form = FormOfTag(format.wFormatTag);
    const std::string codec = CodecNameOfTag(format.wFormatTag);
    if (form == nullptr || codec.empty()) {
        return {};
    }
    std::string choice = Lower(library.GetExtension());
    const std::vector<SOfferedTag> tags = OfferedFormatTags(library);
    if (!(tags.size() == 1 && tags[0].tag == format.wFormatTag)) {
        choice += ':';
        choice += codec;
    }
    for (const EParameter parameter : form->parameters) {
        const auto value = ValueOf(format, parameter);
        if (!value) {
            return {};
        }
        choice += ':';
        choice += std::to_string(*value);
    }
    return choice;
}
