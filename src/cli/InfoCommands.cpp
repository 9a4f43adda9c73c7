// info, presets, libraries, formats, stats: what the Item Information, File
// Formats, destination format and Performance Statistics dialogs show, as
// text on standard output.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>

#include "app/DisplayFormat.h"
#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "app/StringTable.h"
#include "cli/CliArguments.h"
#include "cli/Commands.h"
#include "cli/FormatSpec.h"
#include "cli/OutputPaths.h"
#include "engine/RunArithmetic.h"
#include "formats/SavedFormats.h"
#include "libhost/FileFormatLibrary.h"
#include "project/ProjectItem.h"
#include "stats/ConversionEstimate.h"
#include "stats/PerformanceStatistics.h"

namespace {

constexpr std::size_t kLabelWidth = 22;

void Field(const std::string& label, const std::string& value, std::size_t indent = 0)
{
    std::string text(indent, ' ');
    text += label + ":";
    if (text.size() < kLabelWidth + indent) {
        text.resize(kLabelWidth + indent, ' ');
    }
    std::cout << text << ' ' << value << '\n';
}

std::string TagNameOf(const CAudioFormat& format)
{
    ACMFORMATTAGDETAILS details{};
    return format.GetFormatTagDetails(details) ? std::string(details.szFormatTag) : std::string(kNoValueText);
}

std::string FormatNameOf(const CAudioFormat& format)
{
    ACMFORMATDETAILS details{};
    return format.GetFormatDetails(details) ? std::string(details.szFormat) : std::string(kNoValueText);
}

std::string ChannelsText(uint16_t channels)
{
    switch (channels) {
    case 0:
        return "0 - No channels";
    case 1:
        return "1 - Mono";
    case 2:
        return "2 - Stereo";
    default:
        return FormatUnsignedShort(channels);
    }
}

// The eight values the Item Information dialog shows for a format.
void FormatFields(const CAudioFormat& format, std::size_t indent)
{
    const WAVEFORMATEX& block = *format.GetFormat();
    Field("Format Tag", TagNameOf(format), indent);
    Field("Format", FormatNameOf(format), indent);
    Field("Channels", ChannelsText(block.nChannels), indent);
    Field("Sample Rate", FormatFrequency(block.nSamplesPerSec), indent);
    Field("Data Rate", FormatByteSize(block.nAvgBytesPerSec) + "/sec.", indent);
    Field("Alignment", FormatByteSize(block.nBlockAlign), indent);
    Field("Sample Size", FormatUnsignedShort(block.wBitsPerSample) + " Bits", indent);
    Field("Extra Format", block.wFormatTag == WAVE_FORMAT_PCM || block.cbSize == 0 ? std::string(kNoValueText)
                                                                                   : FormatByteSize(block.cbSize),
          indent);
}

std::string StepText(std::size_t number, const CAudioFormat& from, const CAudioFormat& to)
{
    const auto kind = [](const CAudioFormat& f) {
        return f.GetFormat()->wFormatTag == WAVE_FORMAT_PCM ? "PCM" : "Non-PCM";
    };
    return FormatUnsignedShort(static_cast<uint32_t>(number)) + " - " + kind(from) + " to " + kind(to);
}

std::optional<uint32_t> QualityOption(const CParsedArguments& parsed, int& status)
{
    const auto quality = parsed.Value("quality");
    if (!quality || *quality == "high") {
        return 1u;
    }
    if (*quality == "low") {
        return 0u;
    }
    status = UsageError("--quality takes high or low, not \"" + *quality + "\"");
    return std::nullopt;
}

// The writing libraries' extensions, lower-cased, that pass check.
template <typename Check>
std::string WritersText(const CCliLibraries& libraries, Check check)
{
    std::string text;
    for (const CFileFormatLibrary* library : OfferedLibraries(libraries)) {
        if (check(*library)) {
            std::string extension = library->GetExtension();
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            text += (text.empty() ? "" : ", ") + extension;
        }
    }
    return text.empty() ? std::string("-") : text;
}

int32_t CollectTag(HACMDRIVERID, ACMFORMATTAGDETAILS* details, uintptr_t instance, uint32_t)
{
    reinterpret_cast<std::vector<SOfferedTag>*>(instance)->push_back(
        {static_cast<uint16_t>(details->dwFormatTag), details->szFormatTag});
    return 1;
}

int32_t CollectFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t)
{
    auto& formats = *reinterpret_cast<std::vector<SOfferedFormat>*>(instance);
    formats.push_back({CAudioFormat(details->pwfx), details->szFormat});
    return 1;
}

std::vector<SOfferedTag> AllTags()
{
    std::vector<SOfferedTag> tags;
    ACMFORMATTAGDETAILS details{};
    details.cbStruct = sizeof details;
    acmFormatTagEnum(nullptr, &details, CollectTag, reinterpret_cast<uintptr_t>(&tags), 0);
    return tags;
}

std::vector<SOfferedFormat> AllFormats(uint16_t tag)
{
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR) {
        return {};
    }
    std::vector<uint8_t> block(std::max<uint32_t>(maxSize, 18), 0);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
    format->wFormatTag = tag;
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = format;
    details.cbwfx = static_cast<uint32_t>(block.size());
    std::vector<SOfferedFormat> formats;
    acmFormatEnum(nullptr, &details, CollectFormat, reinterpret_cast<uintptr_t>(&formats), ACM_FORMATENUMF_WFORMATTAG);
    return formats;
}

std::string TagNumber(uint16_t tag)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", tag);
    return text;
}

} // namespace

int RunInfoCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    const std::vector<SOptionSpec> specs = {{'t', "to", true}, {'q', "quality", true}};
    CParsedArguments parsed;
    std::string error;
    if (!ParseArguments(arguments, specs, parsed, error)) {
        return UsageError(error);
    }
    if (parsed.Operands().size() != 1) {
        return UsageError("info needs exactly one file");
    }
    int status = kExitSuccess;
    const auto quality = QualityOption(parsed, status);
    if (!quality) {
        return status;
    }
    SFormatSpec requested;
    const auto to = parsed.Value("to");
    if (to && !ParseFormatSpec(*to, context.libraries, requested, error)) {
        return UsageError(error);
    }

    CProjectItem item;
    if (!item.CreateFromSource(AbsolutePath(parsed.Operands().front()), true, context.libraries)) {
        return kExitItemsFailed;
    }
    const CAudioFormat& source = *item.GetSourceFormat();
    Field("Source File", item.GetSourcePath());
    Field("File Size", item.GetFileSizeText());
    Field("File Format", item.GetSourceLibrary()->GetName());
    FormatFields(source, 0);
    Field("Length of Audio Data",
          FormatGroupedNumber(item.GetDataLength()) + (item.GetDataLength() == 1 ? " Byte" : " Bytes"));
    Field("Length", item.GetLengthText());
    if (!to) {
        return kExitSuccess;
    }

    CAudioFormat destination;
    if (!ResolveFormatSpec(requested, source.GetFormat(), destination, error)) {
        return UsageError(error);
    }
    const bool reachable = item.SetDestinationFormat(requested.library, *quality, destination);
    std::cout << '\n';
    Field("Destination Format", FormatSpecOf(*requested.library, *destination.GetFormat()));
    Field("File Format", requested.library->GetName());
    Field("Quality", *quality != 0 ? ResourceStringOr(IDS_CONV_HIGH_QUALITY, "High Quality")
                                   : ResourceStringOr(IDS_CONV_LOW_QUALITY, "Low Quality"));
    // The whole source file scaled by the byte rates, as the dialog estimates.
    const double sourceRate = item.GetFormatChain()[0].GetFormat()->nAvgBytesPerSec;
    const double destinationRate = item.GetDestinationFormat()->GetFormat()->nAvgBytesPerSec;
    std::string estimatedSize = kNoValueText;
    if (sourceRate != 0 && destinationRate != 0) {
        const double bytes = destinationRate / sourceRate * item.GetFileSize();
        estimatedSize = FormatByteSize(static_cast<uint32_t>(std::min(bytes, 4294967295.0)));
    }
    Field("Estimated File Size", estimatedSize);
    if (!reachable) {
        ReportError(IDE_CONVERSION_IMPOSSIBLE, nullptr, nullptr, item.GetSourcePath().c_str());
        return kExitItemsFailed;
    }
    const auto& chain = item.GetFormatChain();
    for (std::size_t step = 0; step + 1 < chain.size(); ++step) {
        std::cout << "\nConversion Step " << StepText(step + 1, chain[step], chain[step + 1]) << '\n';
        std::cout << "  Source Format\n";
        FormatFields(chain[step], 4);
        std::cout << "  Destination Format\n";
        FormatFields(chain[step + 1], 4);
    }

    CPerformanceStatistics statistics;
    const SConversionEstimate estimate = EstimateConversion({&item}, statistics);
    std::cout << '\n';
    if (estimate.HasTime()) {
        Field("Estimated Conversion Time",
              FormatDuration(static_cast<uint32_t>(std::min(estimate.seconds * 1000.0, 4294967295.0)), false, true));
        Field("Estimated Performance",
              FormatByteSize(static_cast<uint32_t>(std::min(estimate.BytesPerSecond(), 4294967295.0))) + "/sec.");
    } else {
        Field("Estimated Conversion Time", std::string(kNoValueText) + " (no statistics for this conversion yet)");
    }
    return kExitSuccess;
}

int RunPresetsCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    const std::vector<SOptionSpec> specs = {{'t', "to", true}, {'q', "quality", true}, {0, "overwrite", false}};
    CParsedArguments parsed;
    std::string error;
    if (!ParseArguments(arguments, specs, parsed, error)) {
        return UsageError(error);
    }
    const std::vector<std::string>& operands = parsed.Operands();
    if (operands.empty() || operands[0] == "list") {
        if (operands.size() > 1) {
            return UsageError("presets lists with no further arguments");
        }
        for (const std::string& name : ListSavedFormatNames()) {
            SSavedFormat saved;
            std::string description;
            if (ReadSavedFormat(name, saved) != ESavedFormatRead::Found) {
                description = "(not a valid saved format)";
            } else {
                const CFileFormatLibrary* library = nullptr;
                CAudioFormat format;
                if (MatchSavedFormat(saved, context.libraries, library, format) != ESavedFormatMatch::Matched) {
                    description = "(no longer available on this system)";
                } else {
                    description = FormatSpecOf(*library, *format.GetFormat()) + "  " + library->GetExtension() +
                                  " - " + TagNameOf(format) + " - " + FormatNameOf(format) + ", " +
                                  (saved.highQuality ? "High Quality" : "Low Quality");
                }
            }
            std::cout << name << '\t' << description << '\n';
        }
        return kExitSuccess;
    }

    if (operands[0] == "save") {
        if (operands.size() != 2) {
            return UsageError("presets save needs one NAME (quote a name with spaces)");
        }
        const std::string name = TrimSavedFormatName(operands[1]);
        if (name.empty()) {
            return UsageError("a saved format needs a name that is not only white space");
        }
        const auto to = parsed.Value("to");
        if (!to) {
            return UsageError("presets save needs --to FORMAT");
        }
        int status = kExitSuccess;
        const auto quality = QualityOption(parsed, status);
        if (!quality) {
            return status;
        }
        SFormatSpec requested;
        CAudioFormat format;
        if (!ParseFormatSpec(*to, context.libraries, requested, error) || !ResolveFormatSpec(requested, nullptr, format, error)) {
            return UsageError(error);
        }
        SSavedFormat existing;
        if (ReadSavedFormat(name, existing) != ESavedFormatRead::Missing && !parsed.Has("overwrite")) {
            PrintError("a saved format named \"" + name + "\" exists already (--overwrite replaces it)");
            return kExitUsage;
        }
        if (!WriteSavedFormat(name, *requested.library, *quality != 0, format)) {
            PrintError("the saved format could not be written to " + std::string("the settings"));
            return kExitUsage;
        }
        std::cout << "saved \"" << name << "\": " << FormatSpecOf(*requested.library, *format.GetFormat()) << ", "
                  << (*quality != 0 ? "High Quality" : "Low Quality") << '\n';
        return kExitSuccess;
    }

    if (operands[0] == "delete") {
        if (operands.size() != 2) {
            return UsageError("presets delete needs one NAME");
        }
        const std::string name = TrimSavedFormatName(operands[1]);
        SSavedFormat existing;
        if (ReadSavedFormat(name, existing) == ESavedFormatRead::Missing) {
            return UsageError("there is no saved format named \"" + name + "\"");
        }
        if (!DeleteSavedFormat(name)) {
            PrintError("the saved format could not be deleted");
            return kExitUsage;
        }
        return kExitSuccess;
    }
    return UsageError("presets knows list, save and delete, not \"" + operands[0] + "\"");
}

int RunLibrariesCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    if (!arguments.empty()) {
        return UsageError("libraries takes no arguments");
    }
    for (const auto& library : context.libraries) {
        std::cout << library->GetExtension() << '\t' << (library->HasInput() ? "read" : "-") << '\t'
                  << (library->HasOutput() ? "write" : "-") << '\t' << library->GetName() << '\t'
                  << library->GetDescription() << '\t' << library->GetPath() << '\n';
    }
    return kExitSuccess;
}

int RunFormatsCommand(const std::vector<std::string>& arguments, const SCommandContext& context)
{
    if (arguments.size() > 1) {
        return UsageError("formats takes at most one TAG");
    }
    if (arguments.empty()) {
        for (const SOfferedTag& tag : AllTags()) {
            const std::string codec = CodecNameOfTag(tag.tag);
            std::cout << std::left << std::setw(11) << (codec.empty() ? "-" : codec) << TagNumber(tag.tag) << "  "
                      << std::setw(24) << tag.name << "written by: "
                      << WritersText(context.libraries,
                                     [&](const CFileFormatLibrary& l) { return l.CheckFormatTag(tag.tag); })
                      << '\n';
        }
        return kExitSuccess;
    }
    const auto tag = ParseFormatTag(arguments[0]);
    if (!tag) {
        std::string names;
        for (const SCodecName& codec : CodecNames()) {
            names += (names.empty() ? "" : ", ") + std::string(codec.name);
        }
        return UsageError("unknown format tag \"" + arguments[0] + "\"; give a number or one of " + names);
    }
    const std::vector<SOfferedFormat> formats = AllFormats(*tag);
    if (formats.empty()) {
        PrintError("the codecs list no formats for " + TagNumber(*tag));
        return kExitUsage;
    }
    for (const SOfferedFormat& offered : formats) {
        std::string requested;
        for (const CFileFormatLibrary* library : OfferedLibraries(context.libraries)) {
            if (library->CheckFormat(offered.format)) {
                requested = FormatSpecOf(*library, *offered.format.GetFormat());
                break;
            }
        }
        std::cout << std::left << std::setw(30) << (requested.empty() ? "-" : requested) << std::setw(36) << offered.name
                  << "written by: "
                  << WritersText(context.libraries,
                                 [&](const CFileFormatLibrary& l) { return l.CheckFormat(offered.format); })
                  << '\n';
    }
    return kExitSuccess;
}

int RunStatsCommand(const std::vector<std::string>& arguments, const SCommandContext& /*context*/)
{
    const std::vector<SOptionSpec> specs = {{0, "reset", false}};
    CParsedArguments parsed;
    std::string error;
    if (!ParseArguments(arguments, specs, parsed, error)) {
        return UsageError(error);
    }
    if (!parsed.Operands().empty()) {
        return UsageError("stats takes no operands");
    }
    CPerformanceStatistics statistics;
    if (parsed.Has("reset")) {
        if (!statistics.DeleteStatisticsFile()) {
            PrintError("the statistics file " + statistics.GetPath() + " could not be deleted");
            return kExitItemsFailed;
        }
        std::cout << "The performance statistics were reset.\n";
        return kExitSuccess;
    }

    struct SRow {
        std::string source;
        std::string destination;
        bool high;
        uint32_t rate;
    };
    std::vector<SRow> rows;
    for (uint32_t n = 1;; ++n) {
        CAudioFormat source;
        CAudioFormat destination;
        uint32_t quality = 0;
        if (!statistics.GetPerformanceRecord(n, source, destination, quality)) {
            PrintError("the statistics file " + statistics.GetPath() + " cannot be read");
            return kExitItemsFailed;
        }
        if (statistics.GetRate() == 0) {
            break;
        }
        // Records of formats no longer installed are left out.
        if (!source.CompleteFromEnumeration() || !destination.CompleteFromEnumeration()) {
            continue;
        }
        ACMFORMATTAGDETAILS sourceTag{};
        ACMFORMATTAGDETAILS destinationTag{};
        ACMFORMATDETAILS sourceDetails{};
        ACMFORMATDETAILS destinationDetails{};
        if (!source.GetFormatTagDetails(sourceTag) || !source.GetFormatDetails(sourceDetails) ||
            !destination.GetFormatTagDetails(destinationTag) || !destination.GetFormatDetails(destinationDetails)) {
            continue;
        }
        rows.push_back({std::string(sourceTag.szFormatTag) + " - " + sourceDetails.szFormat,
                        std::string(destinationTag.szFormatTag) + " - " + destinationDetails.szFormat, quality != 0,
                        statistics.GetRate()});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const SRow& a, const SRow& b) { return a.source < b.source; });
    for (const SRow& row : rows) {
        std::cout << row.source << "  ->  " << row.destination << "  |  "
                  << ResourceStringOr(row.high ? IDS_STATS_HIGH : IDS_STATS_LOW, row.high ? "High" : "Low") << "  |  "
                  << FormatByteSize(row.rate) << "/sec.\n";
    }
    if (rows.empty()) {
        std::cout << "No conversions have been recorded yet.\n";
    }
    return kExitSuccess;
}
