// The plug-ins load and answer without Qt: only the About box library, which
// they load into widget processes alone, needs it.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

// The shared libraries a file names in its dynamic section.
std::vector<std::string> NeededLibraries(const std::string& path)
{
    std::string listing;
    EXPECT_EQ(RunCommand("readelf -d " + ShellQuoted(path), listing), 0) << path;
    std::vector<std::string> needed;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t open = line.find("(NEEDED)") != std::string::npos ? line.find('[') : std::string::npos;
        const size_t close = line.find(']', open);
        if (open != std::string::npos && close != std::string::npos) {
            needed.push_back(line.substr(open + 1, close - open - 1));
        }
    }
    return needed;
}

TEST(QtIndependence, OnlyTheAboutBoxLibraryNeedsQt)
{
    struct Case {
        const char* library;
        bool needsQt;
    };
    // The About box library is the control: it shows that a Qt entry is seen.
    for (const Case& c : {Case{"AUDFFWAV.so", false}, Case{"AUDFFMP3.so", false}, Case{"liborvano-about.so", true}}) {
        SCOPED_TRACE(c.library);
        const std::vector<std::string> needed = NeededLibraries(PluginPath(c.library));
        EXPECT_FALSE(needed.empty());
        bool qtNeeded = false;
        for (const std::string& name : needed) {
            qtNeeded = qtNeeded || name.rfind("libQt", 0) == 0;
        }
        EXPECT_EQ(qtNeeded, c.needsQt);
    }
}

TEST(QtIndependence, AboutInAProcessWithoutQtLoadsNothingAndRefuses)
{
    std::string report;
    const int status = RunCommand(ShellQuoted(std::string(ORVANO_BIN_DIR) + "/orvano_plugins_without_qt_probe") + " " +
                                      ShellQuoted(PluginPath("AUDFFWAV.so")) + " " +
                                      ShellQuoted(PluginPath("AUDFFMP3.so")),
                                  report);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(report, "");
}

} // namespace
