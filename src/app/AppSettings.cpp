#include "app/AppSettings.h"

#include <algorithm>
#include <mutex>

#include "app/StringIds.h"
#include "platform/ProfileStore.h"

const uint32_t kPriorityClassNameIds[4] = {IDS_PRIORITY_CLASS_IDLE, IDS_PRIORITY_CLASS_NORMAL,
                                           IDS_PRIORITY_CLASS_HIGH, IDS_PRIORITY_CLASS_REALTIME};
const uint32_t kPriorityNameIds[5] = {IDS_PRIORITY_LOWEST, IDS_PRIORITY_LOW, IDS_PRIORITY_NORMAL, IDS_PRIORITY_HIGH,
                                      IDS_PRIORITY_HIGHEST};

namespace {

// Reads a setting; a value the predicate refuses becomes the fallback. The
// result is written back when always is set or when it was corrected.
template <typename Accept>
int32_t ReadChecked(const char* section, const char* key, int32_t defaultValue, Accept accept, bool always)
{
    int32_t value = ProfileGetInt(section, key, defaultValue);
    bool corrected = false;
    if (!accept(value)) {
        value = defaultValue;
        corrected = true;
    }
    if (always || corrected) {
        ProfileWriteInt(section, key, value);
    }
    return value;
}

int32_t ReadAtLeastOne(const char* section, const char* key, int32_t defaultValue, bool always)
{
    return ReadChecked(section, key, defaultValue, [](int32_t v) { return v >= 1; }, always);
}

// Digits with optional surrounding blanks; false for anything else. Numbers
// beyond limit read as limit.
bool ParseKilobytes(std::string_view field, uint32_t limit, uint32_t& kilobytes)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!field.empty() && blank(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && blank(field.back())) {
        field.remove_suffix(1);
    }
    if (field.empty()) {
        return false;
    }
    uint64_t number = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = std::min<uint64_t>(number * 10 + static_cast<uint64_t>(c - '0'), limit);
    }
    kilobytes = static_cast<uint32_t>(number);
    return true;
}

struct SLayoutKey {
    const char* key;
    int32_t SLayoutValues::*member;
};

// In the order in which a new project window reads them.
constexpr SLayoutKey kLayoutKeys[] = {
    {"ViewBorder", &SLayoutValues::viewBorder},
    {"InfoAreaHeight", &SLayoutValues::infoAreaHeight},
    {"InfoAreaSpacing", &SLayoutValues::infoAreaSpacing},
    {"ControlSpacing", &SLayoutValues::controlSpacing},
    {"MinListHeight", &SLayoutValues::minListHeight},
    {"ConvBorder", &SLayoutValues::convBorder},
    {"ConvPostTitleSpace", &SLayoutValues::convPostTitleSpace},
    {"ConvInterSpacing", &SLayoutValues::convInterSpacing},
    {"ConvSeparatorSpace", &SLayoutValues::convSeparatorSpace},
    {"ConvPreTitleSpace", &SLayoutValues::convPreTitleSpace},
    {"ConvColumnDistance", &SLayoutValues::convColumnDistance},
    {"ConvFilenamesHeight", &SLayoutValues::convFilenamesHeight},
    {"ConvStatisticsHeight", &SLayoutValues::convStatisticsHeight},
    {"ConvErrorLogHeight", &SLayoutValues::convErrorLogHeight},
    {"ConvButtonWidth", &SLayoutValues::convButtonWidth},
    {"ConvButtonHeight", &SLayoutValues::convButtonHeight},
    {"ConvButtonSpacing", &SLayoutValues::convButtonSpacing},
    {"ConvControlSpacing", &SLayoutValues::convControlSpacing},
    {"BarHeight", &SLayoutValues::barHeight},
    {"ConvCompDistance", &SLayoutValues::convCompDistance},
    {"ConvCompDistanceText", &SLayoutValues::convCompDistanceText},
    {"SelectionTimeout", &SLayoutValues::selectionTimeout},
};
static_assert(sizeof(kLayoutKeys) / sizeof(kLayoutKeys[0]) * sizeof(int32_t) == sizeof(SLayoutValues),
              "every layout value has its key");

std::mutex g_layoutMutex;
SLayoutValues g_layout;

} // namespace

SRunSettings ReadRunSettings()
{
    SRunSettings settings;
    settings.lengthIncrement = ReadAtLeastOne(kSettingsSection, kLengthIncrementKey, kDefaultLengthIncrement, true);
    settings.maxBufferSize = ReadAtLeastOne(kSettingsSection, kMaxBufferSizeKey, kDefaultMaxBufferSize, true);
    settings.bufferOverhead = ReadChecked(
        kSettingsSection, kBufferOverheadKey, kDefaultBufferOverhead,
        [](int32_t v) { return v >= 0 && v <= kMaxBufferOverhead; }, true);
    const int32_t deleteAfter = ProfileGetInt(kSettingsSection, kDeleteAfterConversionKey, 0);
    if (deleteAfter == 0) {
        ProfileWriteInt(kSettingsSection, kDeleteAfterConversionKey, 0);
    }
    settings.deleteAfterConversion = deleteAfter != 0;
    return settings;
}

int PriorityClassPosition(int32_t priorityClass)
{
    const auto* found = std::find(std::begin(kPriorityClassValues), std::end(kPriorityClassValues), priorityClass);
    return found == std::end(kPriorityClassValues) ? -1 : static_cast<int>(found - std::begin(kPriorityClassValues));
}

int PriorityPosition(int32_t priority)
{
    const auto* found = std::find(std::begin(kPriorityValues), std::end(kPriorityValues), priority);
    return found == std::end(kPriorityValues) ? -1 : static_cast<int>(found - std::begin(kPriorityValues));
}

int32_t ReadPriorityClass()
{
    return ReadChecked(kSettingsSection, kPriorityClassKey, kDefaultPriorityClass,
                       [](int32_t v) { return PriorityClassPosition(v) >= 0; }, false);
}

int32_t ReadPriority()
{
    return ReadChecked(kSettingsSection, kPriorityKey, kDefaultPriority,
                       [](int32_t v) { return PriorityPosition(v) >= 0; }, false);
}

bool ReadActivateLogging()
{
    return ProfileGetInt(kSettingsSection, kActivateLoggingKey, 1) != 0;
}

STerminationSettings ReadTerminationSettings()
{
    STerminationSettings settings;
    settings.timeout = ProfileGetInt(kSettingsSection, kTerminationTimeoutKey, kDefaultTerminationTimeout);
    ProfileWriteInt(kSettingsSection, kTerminationTimeoutKey, settings.timeout);
    settings.slice =
        ReadAtLeastOne(kSettingsSection, kTerminationTimeoutSliceKey, kDefaultTerminationTimeoutSlice, true);
    return settings;
}

int32_t ReadSelectionBufferSize()
{
    return ReadAtLeastOne(kSelectionSection, kSelectionBufferSizeKey, kDefaultSelectionBufferSize, false);
}

std::string ReadLastSourceDirectory()
{
    return ProfileGetString(kSelectionSection, kLastSourceDirectoryKey, "");
}

bool WriteLastSourceDirectory(std::string_view folder)
{
    return ProfileWriteString(kSelectionSection, kLastSourceDirectoryKey, folder);
}

std::string ReadLastDestDirectory()
{
    return ProfileGetString(kSelectionSection, kLastDestDirectoryKey, "");
}

bool WriteLastDestDirectory(std::string_view folder)
{
    return ProfileWriteString(kSelectionSection, kLastDestDirectoryKey, folder);
}

SSettingsDialogValues LoadSettingsDialogValues()
{
    SSettingsDialogValues values;
    const int32_t maxBufferSize = ProfileGetInt(kSettingsSection, kMaxBufferSizeKey, kDefaultMaxBufferSize);
    values.conversionBufferKilobytes =
        static_cast<uint32_t>(std::max<int32_t>(maxBufferSize, kConversionBufferMinKilobytes * 1024)) / 1024;
    const int32_t selectionBufferSize =
        ProfileGetInt(kSelectionSection, kSelectionBufferSizeKey, kDefaultSelectionBufferSize);
    values.selectionBufferKilobytes = static_cast<uint32_t>(std::max<int32_t>(selectionBufferSize, 0)) / 1024;
    values.activateLogging = ReadActivateLogging();
    values.deleteAfterConversion = ProfileGetInt(kSettingsSection, kDeleteAfterConversionKey, 0) != 0;
    values.priorityClassPosition = PriorityClassPosition(ReadPriorityClass());
    values.priorityPosition = PriorityPosition(ReadPriority());
    return values;
}

int32_t ConversionBufferBytesFromField(std::string_view field)
{
    uint32_t kilobytes = 0;
    if (!ParseKilobytes(field, kBufferFieldMaxKilobytes, kilobytes) || kilobytes == 0) {
        kilobytes = kConversionBufferEmptyKilobytes;
    }
    kilobytes = std::max(kilobytes, kConversionBufferMinKilobytes);
    return static_cast<int32_t>(kilobytes * 1024);
}

int32_t SelectionBufferBytesFromField(std::string_view field)
{
    uint32_t kilobytes = 0;
    if (!ParseKilobytes(field, kBufferFieldMaxKilobytes, kilobytes) || kilobytes == 0) {
        kilobytes = kSelectionBufferEmptyKilobytes;
    }
    return static_cast<int32_t>(kilobytes * 1024);
}

bool SaveSettingsDialogValues(const SSettingsDialogInput& input)
{
    const auto position = [](int value, int count, int fallback) {
        return value >= 0 && value < count ? value : fallback;
    };
    bool written = ProfileWriteInt(kSettingsSection, kMaxBufferSizeKey,
                                   ConversionBufferBytesFromField(input.conversionBufferField));
    written &= ProfileWriteInt(kSelectionSection, kSelectionBufferSizeKey,
                               SelectionBufferBytesFromField(input.selectionBufferField));
    written &= ProfileWriteInt(kSettingsSection, kActivateLoggingKey, input.activateLogging ? 1 : 0);
    written &= ProfileWriteInt(kSettingsSection, kDeleteAfterConversionKey, input.deleteAfterConversion ? 1 : 0);
    written &= ProfileWriteInt(kSettingsSection, kPriorityClassKey,
                               kPriorityClassValues[position(input.priorityClassPosition, 4, 1)]);
    written &= ProfileWriteInt(kSettingsSection, kPriorityKey, kPriorityValues[position(input.priorityPosition, 5, 2)]);
    return written;
}

SLayoutValues CurrentLayoutValues()
{
    std::lock_guard lock(g_layoutMutex);
    return g_layout;
}

SLayoutValues ReloadLayoutValues()
{
    std::lock_guard lock(g_layoutMutex);
    for (const SLayoutKey& entry : kLayoutKeys) {
        const int32_t value = ProfileGetInt(kLayoutSection, entry.key, g_layout.*entry.member);
        g_layout.*entry.member = value;
        ProfileWriteInt(kLayoutSection, entry.key, value);
    }
    return g_layout;
}

std::vector<std::string> ReadRecentFileList()
{
    std::vector<std::string> paths;
    for (std::size_t i = 1; i <= kRecentFileCount; ++i) {
        std::string path = ProfileGetString(kRecentFileSection, "File" + std::to_string(i), "");
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

bool WriteRecentFileList(const std::vector<std::string>& paths)
{
    bool written = true;
    for (std::size_t i = 1; i <= kRecentFileCount; ++i) {
        const std::string key = "File" + std::to_string(i);
        written &= i <= paths.size() && !paths[i - 1].empty() ? ProfileWriteString(kRecentFileSection, key, paths[i - 1])
                                                               : ProfileDeleteValue(kRecentFileSection, key);
    }
    return written;
}
