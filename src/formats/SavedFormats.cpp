#include "formats/SavedFormats.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/AppSettings.h"
#include "formats/FormatHead.h"
#include "libhost/FileFormatLibrary.h"
#include "platform/ProfileStore.h"

namespace {

constexpr std::size_t kExtensionBytes = 3;
constexpr std::size_t kQualityOffset = 4;
constexpr std::size_t kHeadOffset = 5;

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool SameHead(const WAVEFORMATEX& a, const WAVEFORMATEX& b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.nAvgBytesPerSec == b.nAvgBytesPerSec && a.nBlockAlign == b.nBlockAlign &&
           a.wBitsPerSample == b.wBitsPerSample;
}

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int32_t CollectTag(HACMDRIVERID, ACMFORMATTAGDETAILS* details, uintptr_t instance, uint32_t)
{
    auto& tags = *reinterpret_cast<std::vector<SOfferedTag>*>(instance);
    tags.push_back({static_cast<uint16_t>(details->dwFormatTag), details->szFormatTag});
    return 1;
}

int32_t CollectFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t)
{
    auto& formats = *reinterpret_cast<std::vector<SOfferedFormat>*>(instance);
    formats.push_back({CAudioFormat(details->pwfx), details->szFormat});
    return 1;
}

} // namespace

SavedFormatValue EncodeSavedFormat(std::string_view extension, bool highQuality, const WAVEFORMATEX& format)
{
    SavedFormatValue value{};
    for (std::size_t i = 0; i < kExtensionBytes && i < extension.size(); ++i) {
        value[i] = static_cast<uint8_t>(extension[i]);
    }
    value[kQualityOffset] = highQuality ? 1 : 0;
    formathead::Store(value.data() + kHeadOffset, format);
    return value;
}

bool DecodeSavedFormat(std::span<const uint8_t> value, SSavedFormat& saved)
{
    if (value.size() != kSavedFormatValueSize || value[kExtensionBytes] != 0 || value[kQualityOffset] > 1) {
        return false;
    }
    saved = {};
    for (std::size_t i = 0; i < kExtensionBytes && value[i] != 0; ++i) {
        saved.extension.push_back(static_cast<char>(value[i]));
    }
    saved.highQuality = value[kQualityOffset] == 1;
    saved.head = formathead::Load(value.data() + kHeadOffset);
    return true;
}

std::string TrimSavedFormatName(std::string_view name)
{
    while (!name.empty() && IsWhiteSpace(name.front())) {
        name.remove_prefix(1);
    }
    while (!name.empty() && IsWhiteSpace(name.back())) {
        name.remove_suffix(1);
    }
    return std::string(name);
}

std::vector<std::string> ListSavedFormatNames()
{
    std::vector<std::string> names = ProfileListValueNames(kSavedFormatsSection);
    std::sort(names.begin(), names.end());
    return names;
}

ESavedFormatRead ReadSavedFormat(std::string_view name, SSavedFormat& saved)
{
    std::vector<uint8_t> value;
    switch (ProfileGetBinary(kSavedFormatsSection, name, value)) {
    case EProfileValueState::Missing:
        return ESavedFormatRead::Missing;
    case EProfileValueState::WrongType:
        return ESavedFormatRead::Invalid;
    case EProfileValueState::Found:
        break;
    }
    return DecodeSavedFormat(value, saved) ? ESavedFormatRead::Found : ESavedFormatRead::Invalid;
}

bool WriteSavedFormat(std::string_view name, const CFileFormatLibrary& library, bool highQuality,
                      const CAudioFormat& format)
{
    if (name.empty() || format.GetFormat() == nullptr) {
        return false;
    }
    const SavedFormatValue value = EncodeSavedFormat(library.GetExtension(), highQuality, *format.GetFormat());
    return ProfileSetBinary(kSavedFormatsSection, name, value);
}

bool DeleteSavedFormat(std::string_view name)
{
    return ProfileDeleteValue(kSavedFormatsSection, name);
}

std::string OfferedLibraryText(const CFileFormatLibrary& library)
{
    return library.GetExtension() + " - " + library.GetName();
}

std::vector<const CFileFormatLibrary*> OfferedLibraries(const COwningList<CFileFormatLibrary>& libraries)
{
    std::vector<const CFileFormatLibrary*> offered;
    for (const auto& library : libraries) {
        if (library->IsInitialized() && library->HasOutput()) {
            offered.push_back(library.get());
        }
    }
    std::stable_sort(offered.begin(), offered.end(), [](const CFileFormatLibrary* a, const CFileFormatLibrary* b) {
        return LowerCase(OfferedLibraryText(*a)) < LowerCase(OfferedLibraryText(*b));
    });
    return offered;
}

std::vector<SOfferedTag> OfferedFormatTags(const CFileFormatLibrary& library)
{
    std::vector<SOfferedTag> all;
    ACMFORMATTAGDETAILS details{};
    details.cbStruct = sizeof details;
    acmFormatTagEnum(nullptr, &details, CollectTag, reinterpret_cast<uintptr_t>(&all), 0);
    std::vector<SOfferedTag> offered;
    for (SOfferedTag& tag : all) {
        if (library.CheckFormatTag(tag.tag)) {
            offered.push_back(std::move(tag));
        }
    }
    return offered;
}

std::vector<SOfferedFormat> OfferedFormats(const CFileFormatLibrary& library, uint16_t tag)
{
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR) {
        return {};
    }
    maxSize = std::max<uint32_t>(maxSize, 18);
    std::vector<uint8_t> block(maxSize, 0);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
    format->wFormatTag = tag;
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = format;
    details.cbwfx = maxSize;
    std::vector<SOfferedFormat> all;
    acmFormatEnum(nullptr, &details, CollectFormat, reinterpret_cast<uintptr_t>(&all), ACM_FORMATENUMF_WFORMATTAG);
    std::vector<SOfferedFormat> offered;
    for (SOfferedFormat& candidate : all) {
        if (library.CheckFormat(candidate.format)) {
            offered.push_back(std::move(candidate));
        }
    }
    return offered;
}

ESavedFormatMatch MatchSavedFormat(const SSavedFormat& saved, const COwningList<CFileFormatLibrary>& libraries,
                                   const CFileFormatLibrary*& library, CAudioFormat& format)
{
    library = nullptr;
    const CFileFormatLibrary* found = nullptr;
    for (const CFileFormatLibrary* candidate : OfferedLibraries(libraries)) {
        if (candidate->GetExtension() == saved.extension) {
            found = candidate;
            break;
        }
    }
    if (found == nullptr) {
        return ESavedFormatMatch::LibraryMissing;
    }
    const std::vector<SOfferedTag> tags = OfferedFormatTags(*found);
    if (std::none_of(tags.begin(), tags.end(), [&](const SOfferedTag& t) { return t.tag == saved.head.wFormatTag; })) {
        return ESavedFormatMatch::TagMissing;
    }
    for (const SOfferedFormat& offered : OfferedFormats(*found, saved.head.wFormatTag)) {
        if (SameHead(*offered.format.GetFormat(), saved.head)) {
            library = found;
            format = offered.format;
            return ESavedFormatMatch::Matched;
        }
    }
    return ESavedFormatMatch::FormatMissing;
}
