// One line of a run's error log: which item failed where, in whose words.
// Entries are values: the run keeps its own list and hands a copy of each
// entry to its display, so a window can keep the entries behind its lines
// after the run has gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ErrorReport.h"

class CProjectItem;

inline constexpr char kSeverityError = 'E';   // the item failed
inline constexpr char kSeverityWarning = 'W'; // the item's conversion went on
inline constexpr char kSideSource = 'S';
inline constexpr char kSideDestination = 'D';

struct SErrorLogEntry {
    std::size_t itemIndex = 0;                // position of the item in the run
    const CProjectItem* projectItem = nullptr; // identity only; the run never touches it
    uint32_t messageId = 0;                   // 1100 to 1114
    std::string libraryMessage;               // the library's text of its code, or empty
    char severity = kSeverityError;
    char side = kSideSource;
    std::string path;                         // the file meant: source for 'S', destination for 'D'
};

// The log line: the entry's message with its file.
std::string FormatErrorLogLine(const SErrorLogEntry& entry);

// The detailed message behind a line (the entry's id plus 100) with the
// library's text as its information; false when the table has no such text.
bool ComposeErrorLogDetail(const SErrorLogEntry& entry, SErrorReport& report);
