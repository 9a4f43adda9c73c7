#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "AppTestSupport.h"
#include "app/ErrorReport.h"
#include "app/StringTable.h"

namespace {

std::set<uint32_t> DeclaredIds()
{
    std::set<uint32_t> ids;
    for (const SStringIdName& entry : kAllStringIds) {
        ids.insert(entry.id);
    }
    return ids;
}

TEST(StringTable, EveryDeclaredIdHasTextAndEveryTextAnId)
{
    std::set<std::string> names;
    for (const SStringIdName& entry : kAllStringIds) {
        EXPECT_TRUE(FindResourceString(entry.id).has_value()) << entry.name << " (" << entry.id << ") has no text";
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " declared twice";
    }
    const std::set<uint32_t> declared = DeclaredIds();
    EXPECT_EQ(declared.size(), std::size(kAllStringIds)) << "two names share an id";
    for (uint32_t id = 0; id < 5000; ++id) {
        if (FindResourceString(id)) {
            EXPECT_TRUE(declared.count(id)) << "text " << id << " has no id constant";
        }
    }
}

TEST(StringTable, LookupAnswersMissingIdsWithoutTouchingTheOutput)
{
    std::string text = "unchanged";
    EXPECT_FALSE(LoadResourceString(1053, text));
    EXPECT_FALSE(LoadResourceString(0, text));
    EXPECT_FALSE(LoadResourceString(UINT32_MAX, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(ResourceStringOr(314, "&Fallback"), "&Fallback");
    EXPECT_TRUE(LoadResourceString(IDS_CONV_BACK, text));
    EXPECT_EQ(text, "&Back");
}

struct SMessageRow {
    uint32_t id;
    const char* title;
    bool hasRemedy;
    bool takesArgument;
};

void PrintTo(const SMessageRow& row, std::ostream* out)
{
    *out << row.id;
}

// Titles, remedy and argument as the error dialog's message table fixes them.
const SMessageRow kMessageRows[] = {
    {1020, "File Format Libraries missing", true, false},
    {1021, "Initialization failed", true, true},
    {1022, "Fatal Initialization Error", true, false},
    {1023, "No Input Library", true, false},
    {1024, "No Output Library", true, false},
    {1025, "Main Window Creation Failed", true, false},
    {1026, "Invalid Command Line", true, false},
    {1027, "File Format Not Added", true, true},
    {1028, "Format Tag Not Added", true, true},
    {1029, "Format Not Added", true, true},
    {1030, "Missing File Extension", true, true},
    {1031, "Invalid File Extension", true, true},
    {1032, "Open File Failure", true, true},
    {1033, "Get Format Failure", true, true},
    {1034, "Close File Warning", true, true},
    {1035, "Get File Size Failure", true, true},
    {1036, "Audio Format Not Available", true, true},
    {1037, "File List Creation Failed", true, false},
    {1038, "Info Area Creation Failed", true, false},
    {1039, "System Info Not Available", true, false},
    {1040, "Selection Buffer Allocation Failure", true, false},
    {1041, "Selection Buffer Too Small", true, false},
    {1042, "Invalid Filename", true, false},
    {1043, "File Selection Failure", true, false},
    {1044, "Item Creation Failed", true, false},
    {1045, "Conversion Impossible", true, true},
    {1046, "Invalid Destination Name", true, false},
    {1047, "Destination Selection Failure", true, false},
    {1048, "Path Selection Failure", true, false},
    {1049, "Layout Recalculation Failed", true, false},
    {1050, "Conversion Area Creation Failed", true, false},
    {1051, "Item Playback Failed", true, false},
    {1052, "Item Playback Stop Failed", true, false},
    {1054, "Project Save Failed", true, false},
    {1055, "Project Open Failed", true, false},
    {1056, "Project File Corrupt", true, false},
    {1057, "Invalid Project Items", true, false},
    {1058, "Invalid Project Items", true, false},
    {1200, "Source File Open Failed", true, true},
    {1201, "Source File Close Failed", true, true},
    {1202, "Destination File Open Failed", true, true},
    {1203, "Destination File Close Failed", true, true},
    {1204, "Prepare Read Failed", true, true},
    {1205, "Prepare Write Failed", false, true},
    {1206, "Format Write Failed", false, true},
    {1207, "Conversion Stream Open Failed", true, true},
    {1208, "Conversion Stream Prepare Failed", true, true},
    {1209, "Audio Data Read Error", false, true},
    {1210, "Conversion Failed", true, true},
    {1211, "Audio Data Write Error", false, true},
    {1212, "Finalize Read Failed", false, true},
    {1213, "Finalize Write Failed", true, true},
    {1214, "Conversion Stream Unprepare Failed", false, true},
};

std::size_t CountOf(std::string_view text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class ErrorMessageText : public ::testing::TestWithParam<SMessageRow> {};

TEST_P(ErrorMessageText, HasItsTitleRemedyAndArgument)
{
    const SMessageRow& row = GetParam();
    const auto text = FindResourceString(row.id);
    ASSERT_TRUE(text.has_value());

    SErrorReport report;
    SplitMessageText(row.id, *text, report);
    EXPECT_EQ(report.error, std::to_string(row.id) + " - " + row.title);
    EXPECT_FALSE(report.reason.empty());
    EXPECT_EQ(!report.remedy.empty(), row.hasRemedy);
    EXPECT_EQ(CountOf(*text, "|"), row.hasRemedy ? 2u : 1u);

    EXPECT_EQ(CountOf(*text, "%s"), row.takesArgument ? 1u : 0u);
    EXPECT_EQ(CountOf(*text, "%"), CountOf(*text, "%s")) << "a stray format directive";
    if (row.takesArgument) {
        EXPECT_NE(report.reason.find("%s"), std::string::npos) << "the argument belongs into the reason";
    }
}

INSTANTIATE_TEST_SUITE_P(StringTable, ErrorMessageText, ::testing::ValuesIn(kMessageRows),
                         [](const auto& info) { return "Message" + std::to_string(info.param.id); });

TEST(StringTable, LogLinesTakeTheFileAndHaveTheirDetailedMessage)
{
    for (uint32_t id = IDL_SOURCE_OPEN; id <= IDL_STREAM_UNPREPARE; ++id) {
        const auto line = FindResourceString(id);
        ASSERT_TRUE(line.has_value()) << id;
        EXPECT_EQ(CountOf(*line, "%s"), 1u) << id;
        EXPECT_EQ(CountOf(*line, "|"), 0u) << id;
        EXPECT_TRUE(FindResourceString(id + kLogEntryDetailOffset).has_value()) << id;
    }
    EXPECT_EQ(FindResourceString(IDL_SOURCE_OPEN), "Unable to open source audio file %s.");
    EXPECT_EQ(FindResourceString(IDL_STREAM_UNPREPARE), "Unable to unprepare conversion stream for %s.");
}

TEST(StringTable, QuotedTextsAreKeptWordForWord)
{
    EXPECT_EQ(FindResourceString(IDS_APP_TITLE), "Orvano");
    EXPECT_EQ(FindResourceString(IDS_LANGUAGE_NAME), "English");
    EXPECT_EQ(FindResourceString(IDS_PROJECT_DOCUMENT_TEMPLATE),
              "\nProject\nProject\nConversion Projects (*.cnv)\n.cnv\nOrvano.Project\nConversion Project");
    EXPECT_EQ(FindResourceString(IDE_LIBRARIES_MISSING),
              "File Format Libraries missing|No file format libraries can be found in the executable's directory. "
              "At least one file format library has to be available for the program to be able to run.|Copy the "
              "file format libraries you need into the directory, in which the executable resides. At least the "
              "library for WAVE files (AUDFFWAV.so) must exist there.");
    EXPECT_EQ(FindResourceString(IDE_CONVERSION_IMPOSSIBLE),
              "Conversion Impossible|The application can't find a way to convert from the audio format of the "
              "selected source file %s to the chosen destination format.|Choose a different destination format "
              "for the conversion or convert into a suitable PCM format before doing the final conversion.");
    EXPECT_EQ(FindResourceString(IDP_CONFIRM_CLOSE_RUNNING_PROJECT),
              "The conversion process is still running !\r\nAre you sure you want to abort the conversion and "
              "close the project ?");
    EXPECT_EQ(FindResourceString(IDP_NO_HELP_FILE), "No help file can be found on your system.");
    EXPECT_EQ(FindResourceString(IDS_CONV_ITEM_STATISTICS_LINE), "%s of %s converted (%0.2f %%) at %s");

    const auto streamOpen = FindResourceString(IDE_STREAM_OPEN_FAILED);
    ASSERT_TRUE(streamOpen.has_value());
    EXPECT_NE(streamOpen->find("conversion of %s.\r\n\r\nReasons for this error are:\r\n1. The conversion is "
                               "impossible"),
              std::string_view::npos);

    // No text still names the other platform's library files.
    for (const SStringIdName& entry : kAllStringIds) {
        EXPECT_EQ(FindResourceString(entry.id)->find(".DLL"), std::string_view::npos) << entry.name;
    }
}

// Every id the sources name, by constant or by number, must have a text.
TEST(StringTable, SourcesUseOnlyIdsThatHaveTexts)
{
    std::set<std::string> declaredNames;
    for (const SStringIdName& entry : kAllStringIds) {
        declaredNames.insert(entry.name);
    }
    const std::regex constantUse(R"(\b(ID[SPEL]_[A-Z0-9_]+)\b)");
    const std::regex literalUse(
        R"(\b(ReportError|ShowMessageBox|LoadResourceString|ResourceStringOr|FindResourceString)\s*\(\s*([0-9]+)\b)");

    std::size_t filesScanned = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ORVANO_SOURCE_DIR "/src")) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) {
            continue;
        }
        ++filesScanned;
        const std::string source = testsupport::ReadText(entry.path().string());
        for (std::sregex_iterator it(source.begin(), source.end(), constantUse), end; it != end; ++it) {
            EXPECT_TRUE(declaredNames.count((*it)[1].str()))
                << entry.path() << " names " << (*it)[1].str() << ", which has no text";
        }
        for (std::sregex_iterator it(source.begin(), source.end(), literalUse), end; it != end; ++it) {
            const auto id = static_cast<uint32_t>(std::stoul((*it)[2].str()));
            EXPECT_TRUE(FindResourceString(id).has_value())
                << entry.path() << " asks for text " << id << ", which does not exist";
        }
    }
    EXPECT_GT(filesScanned, 5u);
}

} // namespace
