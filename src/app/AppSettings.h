// The program's settings: every section and key of the profile store with its
// default, its correction and when it is written back. There is no settings
// object: each reader fetches its values at the moment it needs them (start
// of a run, opening of the Add Files dialog, creation of a project window),
// so a change in the store takes effect at the next such moment. Readers that
// write back leave every key they use in the store with the value in effect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kSelectionSection[] = "Selection";
inline constexpr char kLayoutSection[] = "Layout";
inline constexpr char kRecentFileSection[] = "Recent File List";
inline constexpr char kSavedFormatsSection[] = "SavedFormats";

inline constexpr char kMaxBufferSizeKey[] = "MaxBufferSize";
inline constexpr char kBufferOverheadKey[] = "BufferOverhead";
inline constexpr char kLengthIncrementKey[] = "LengthIncrement";
inline constexpr char kDeleteAfterConversionKey[] = "DeleteAfterConversion";
inline constexpr char kActivateLoggingKey[] = "ActivateLogging";
inline constexpr char kPriorityClassKey[] = "PriorityClass";
inline constexpr char kPriorityKey[] = "Priority";
inline constexpr char kTerminationTimeoutKey[] = "TerminationTimeout";
inline constexpr char kTerminationTimeoutSliceKey[] = "TerminationTimeoutSlice";
inline constexpr char kSelectionBufferSizeKey[] = "BufferSize";
inline constexpr char kLastSourceDirectoryKey[] = "LastSourceDirectory";
inline constexpr char kLastDestDirectoryKey[] = "LastDestDirectory";

inline constexpr int32_t kDefaultMaxBufferSize = 262144;
inline constexpr int32_t kDefaultBufferOverhead = 10;
inline constexpr int32_t kMaxBufferOverhead = 100;
inline constexpr int32_t kDefaultLengthIncrement = 50;
inline constexpr int32_t kDefaultPriorityClass = 32;
inline constexpr int32_t kDefaultPriority = 0;
inline constexpr int32_t kDefaultTerminationTimeout = 10000;
inline constexpr int32_t kDefaultTerminationTimeoutSlice = 100;
inline constexpr int32_t kDefaultSelectionBufferSize = 16384;

// What a conversion run reads at its start, each value written back
// ("DeleteAfterConversion" only while it is 0). Values that would stall or
// break the buffer arithmetic are corrected to their defaults: a
// MaxBufferSize or LengthIncrement below 1, a BufferOverhead outside 0..100.
struct SRunSettings {
    int32_t maxBufferSize = kDefaultMaxBufferSize;
    int32_t bufferOverhead = kDefaultBufferOverhead;
    int32_t lengthIncrement = kDefaultLengthIncrement;
    bool deleteAfterConversion = false;
};
SRunSettings ReadRunSettings();

// The process priority classes (idle, normal, high, real-time) and thread
// priorities (lowest .. highest) in slider order, with their name texts.
inline constexpr int32_t kPriorityClassValues[4] = {64, 32, 128, 256};
inline constexpr int32_t kPriorityValues[5] = {-2, -1, 0, 1, 2};
extern const uint32_t kPriorityClassNameIds[4];
extern const uint32_t kPriorityNameIds[5];
// The slider position of a stored value, or -1 when it is none of them.
int PriorityClassPosition(int32_t priorityClass);
int PriorityPosition(int32_t priority);

// Read at the start of a run and by the Settings dialog. A stored value that
// is none of the valid ones is replaced by the default and written back.
int32_t ReadPriorityClass();
int32_t ReadPriority();
// Not written back.
bool ReadActivateLogging();

// Read at the creation of every project window, written back. A slice below
// 1 ms would never let the abort wait time out; it reads as the default.
struct STerminationSettings {
    int32_t timeout = kDefaultTerminationTimeout;
    int32_t slice = kDefaultTerminationTimeoutSlice;
};
STerminationSettings ReadTerminationSettings();

// The Add Files dialog's selection buffer; a value below 1 (missing, zero or
// negative) is replaced by 16384 and written back.
int32_t ReadSelectionBufferSize();

std::string ReadLastSourceDirectory();
bool WriteLastSourceDirectory(std::string_view folder);
std::string ReadLastDestDirectory();
bool WriteLastDestDirectory(std::string_view folder);

// The Settings dialog. The two buffer fields hold kilobytes; a number typed
// above kBufferFieldMaxKilobytes (the up-down controls' end) is taken as
// that bound, so the stored byte count always fits a signed 32-bit value.
inline constexpr uint32_t kBufferFieldMaxKilobytes = 32767;
inline constexpr uint32_t kConversionBufferMinKilobytes = 16;
inline constexpr uint32_t kConversionBufferEmptyKilobytes = 256;
inline constexpr uint32_t kSelectionBufferEmptyKilobytes = 16;

struct SSettingsDialogValues {
    uint32_t conversionBufferKilobytes = 0;
    uint32_t selectionBufferKilobytes = 0;
    bool activateLogging = true;
    bool deleteAfterConversion = false;
    int priorityClassPosition = 1;
    int priorityPosition = 2;
};
// What the dialog shows when it opens; writes the priority corrections back.
SSettingsDialogValues LoadSettingsDialogValues();

struct SSettingsDialogInput {
    std::string conversionBufferField;
    std::string selectionBufferField;
    bool activateLogging = true;
    bool deleteAfterConversion = false;
    int priorityClassPosition = 1;
    int priorityPosition = 2;
};
// Stores what OK confirms; false when the store could not be written.
bool SaveSettingsDialogValues(const SSettingsDialogInput& input);

// The bytes a buffer field stands for: an unreadable or zero field takes the
// empty-field size, the conversion buffer at least 16 kB.
int32_t ConversionBufferBytesFromField(std::string_view field);
int32_t SelectionBufferBytesFromField(std::string_view field);

// The project window's layout values, process-wide. Every new project window
// reloads them (each key read with the value in effect as its default, the
// result kept for all windows and written back).
struct SLayoutValues {
    int32_t viewBorder = 10;
    int32_t infoAreaHeight = 60;
    int32_t infoAreaSpacing = 5;
    int32_t controlSpacing = 10;
    int32_t minListHeight = 60;
    int32_t convBorder = 10;
    int32_t convPostTitleSpace = 3;
    int32_t convInterSpacing = 4;
    int32_t convSeparatorSpace = 5;
    int32_t convPreTitleSpace = 5;
    int32_t convColumnDistance = 160;
    int32_t convFilenamesHeight = 100;
    int32_t convStatisticsHeight = 80;
    int32_t convErrorLogHeight = 40;
    int32_t convButtonWidth = 80;
    int32_t convButtonHeight = 22;
    int32_t convButtonSpacing = 4;
    int32_t convControlSpacing = 23;
    int32_t barHeight = 10;
    int32_t convCompDistance = 65;
    int32_t convCompDistanceText = 140;
    int32_t selectionTimeout = 10; // milliseconds
};
SLayoutValues CurrentLayoutValues();
SLayoutValues ReloadLayoutValues();

// The recent project files, "File1" to "File4", most recent first.
inline constexpr std::size_t kRecentFileCount = 4;
std::vector<std::string> ReadRecentFileList();
bool WriteRecentFileList(const std::vector<std::string>& paths);
