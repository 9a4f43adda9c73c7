#include "engine/ErrorLog.h"

#include "app/StringIds.h"
#include "app/StringTable.h"

std::string FormatErrorLogLine(const SErrorLogEntry& entry)
{
    const std::string format = ResourceStringOr(entry.messageId, "%s");
    const std::string_view argument = entry.path;
    return FormatMessageText(format, &argument, 1);
}

bool ComposeErrorLogDetail(const SErrorLogEntry& entry, SErrorReport& report)
{
    return ComposeErrorReport(entry.messageId + kLogEntryDetailOffset, entry.libraryMessage.c_str(),
                              entry.path.c_str(), nullptr, nullptr, report);
}
