// The subcommands of orvano-cli. Each takes the arguments after its name and
// returns the exit status: 0 when everything asked for was done, 1 when an
// item failed or was skipped, 2 for usage and set-up errors.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/OwningList.h"

class CFileFormatLibrary;
using CCliLibraries = COwningList<CFileFormatLibrary>;

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitItemsFailed = 1;
inline constexpr int kExitUsage = 2;

struct SCommandContext {
    const CCliLibraries& libraries;
    const std::atomic<bool>& interrupted;
    bool progressTerminal = false; // standard error is a terminal
};

int RunConvertCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunProjectCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunInfoCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunPresetsCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunLibrariesCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunFormatsCommand(const std::vector<std::string>& arguments, const SCommandContext& context);
int RunStatsCommand(const std::vector<std::string>& arguments, const SCommandContext& context);

// "orvano-cli: " + text on standard error.
void PrintError(const std::string& text);
// A usage error: the message and a pointer to --help; returns kExitUsage.
int UsageError(const std::string& text);
