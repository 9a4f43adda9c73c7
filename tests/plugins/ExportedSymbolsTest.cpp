// Each library exports its seventeen entry points and nothing else; the
// About box library they load, its one entry point.
#include <gtest/gtest.h>
#include <set>
#include <sstream>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

const std::set<std::string> kEntryPoints = {
    "AUDFF_GetInformation", "AUDFF_OpenRead",   "AUDFF_CloseRead",   "AUDFF_GetFormat", "AUDFF_CheckFormatTag",
    "AUDFF_CheckFormat",    "AUDFF_GetErrorMessage", "AUDFF_PreRead", "AUDFF_Read",      "AUDFF_PostRead",
    "AUDFF_OpenWrite",      "AUDFF_PutFormat",  "AUDFF_PreWrite",    "AUDFF_Write",     "AUDFF_PostWrite",
    "AUDFF_CloseWrite",     "AUDFF_About",
};

TEST(ExportedSymbols, ExactlyTheEntryPoints)
{
    struct Case {
        const char* library;
        std::set<std::string> names;
    };
    const Case cases[] = {
        {"AUDFFWAV.so", kEntryPoints},
        {"AUDFFMP3.so", kEntryPoints},
        {"liborvano-about.so", {"OrvanoAbout_Run"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        std::string listing;
        ASSERT_EQ(RunCommand("nm -D --defined-only " + ShellQuoted(PluginPath(c.library)), listing), 0);
        std::set<std::string> exported;
        std::istringstream lines(listing);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string address, type, name;
            if (fields >> address >> type >> name) {
                exported.insert(name);
            }
        }
        EXPECT_EQ(exported, c.names);
    }
}

} // namespace
