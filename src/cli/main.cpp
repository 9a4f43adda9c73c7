// orvano-cli: the converter without its window, on the same core, libraries
// and settings.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "app/OrvanoApp.h"
#include "cli/Commands.h"

namespace {

constexpr char kVersion[] = "2.1.0";

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int)
{
    g_interrupted.store(true);
}

void InstallInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

constexpr char kHelp[] = R"(Usage: orvano-cli COMMAND [OPTIONS] [ARGUMENTS]

Converts audio files through the Orvano core, with the file format libraries
beside the program and the settings of the window.

Commands:
  convert [OPTIONS] FILE...    convert files
      -t, --to FORMAT          destination format (see FORMAT below)
      -p, --preset NAME        destination format from a saved format
      -q, --quality high|low   conversion quality (default high; a preset's own)
      -o, --output PATH        with several files a folder (made when missing);
                               with one file a folder when it is one or ends
                               in "/", else the destination file; without -o
                               each destination lies beside its source
          --overwrite          replace existing destination files (otherwise
                               such items are reported and skipped)
          --delete-source      delete each source after it converted
      -j, --jobs N             convert N items at once (default 1)
          --save-project FILE  also write the items as a project (.cnv)
          --no-convert         with --save-project: only write the project
          --quiet              no progress, no item lines, no summary
  run PROJECT.cnv [-j N] [--quiet] [--overwrite] [--delete-source]
                               convert the items of a project file
  info FILE [--to FORMAT] [-q high|low]
                               what the Item Information dialog shows
  presets                      list the saved formats
  presets save NAME --to FORMAT [-q high|low] [--overwrite]
  presets delete NAME
  libraries                    the file format libraries
  formats [TAG]                the format tags, or the formats of one tag
  stats [--reset]              the recorded conversion speeds
  --help, --version

FORMAT is EXT:CODEC[:PARAMS], EXT naming the library that writes the file:
  wav:pcm:RATE:BITS:CHANNELS   wav:float:RATE:CHANNELS
  wav:alaw:RATE:CHANNELS       wav:ulaw:RATE:CHANNELS
  wav:ima-adpcm:RATE:CHANNELS  wav:ms-adpcm:RATE:CHANNELS
  wav:gsm:RATE                 wav:mp3:KBPS[:RATE:CHANNELS]
  mp3:KBPS[:RATE:CHANNELS]     (RATE:CHANNELS left out: the source's)
A PCM rate or sample size the format list does not offer (37800 Hz, 32 bits)
is used as given when the codecs can convert it.

Exit status: 0 when every item converted, 1 when an item failed or was
skipped, 2 for usage and set-up errors.
)";

} // namespace

void PrintError(const std::string& text)
{
    std::cerr << "orvano-cli: " << text << '\n';
}

int UsageError(const std::string& text)
{
    PrintError(text);
    std::cerr << "Try 'orvano-cli --help'.\n";
    return kExitUsage;
}

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << kHelp;
        return kExitUsage;
    }
    const std::string command = arguments.front();
    arguments.erase(arguments.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return kExitSuccess;
    }
    if (command == "--version") {
        std::cout << "orvano-cli " << kVersion << '\n';
        return kExitSuccess;
    }

    using Handler = int (*)(const std::vector<std::string>&, const SCommandContext&);
    const struct {
        const char* name;
        Handler handler;
    } commands[] = {
        {"convert", RunConvertCommand}, {"run", RunProjectCommand},         {"info", RunInfoCommand},
        {"presets", RunPresetsCommand}, {"libraries", RunLibrariesCommand}, {"formats", RunFormatsCommand},
        {"stats", RunStatsCommand},
    };
    Handler handler = nullptr;
    for (const auto& candidate : commands) {
        if (command == candidate.name) {
            handler = candidate.handler;
        }
    }
    if (handler == nullptr) {
        return UsageError("unknown command \"" + command + "\"");
    }
    for (const std::string& argument : arguments) {
        if (argument == "--help") {
            std::cout << kHelp;
            return kExitSuccess;
        }
    }

    COrvanoApp app;
    if (!app.InitInstance()) {
        return kExitUsage;
    }
    InstallInterruptHandler();
    const SCommandContext context{app.GetLibraries(), g_interrupted, ::isatty(STDERR_FILENO) == 1};
    const int status = handler(arguments, context);
    app.ExitInstance();
    return status;
}
