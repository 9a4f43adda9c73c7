#include <gtest/gtest.h>

#include <sstream>

#include "AppTestSupport.h"
#include "app/ErrorReport.h"
#include "app/StringTable.h"

namespace {

struct SSplitCase {
    const char* name;
    const char* text;
    const char* error;
    const char* reason;
    const char* remedy;
};

void PrintTo(const SSplitCase& c, std::ostream* out)
{
    *out << c.name;
}

const SSplitCase kSplitCases[] = {
    {"NoBar", "Only a title", "4711 - Only a title", "", ""},
    {"OneBar", "Title|The reason", "4711 - Title", "The reason", ""},
    {"TwoBars", "Title|The reason|The remedy", "4711 - Title", "The reason", "The remedy"},
    {"BarInsideReason", "Title|Reason a | reason b|Remedy", "4711 - Title", "Reason a | reason b", "Remedy"},
    {"EmptyParts", "Title||", "4711 - Title", "", ""},
    {"LeadingBar", "|Reason|Remedy", "4711 - ", "Reason", "Remedy"},
    {"Empty", "", "4711 - ", "", ""},
};

class MessageSplit : public ::testing::TestWithParam<SSplitCase> {};

TEST_P(MessageSplit, FillsErrorReasonAndRemedy)
{
    const SSplitCase& c = GetParam();
    SErrorReport report;
    report.reason = "stale";
    report.remedy = "stale";
    SplitMessageText(4711, c.text, report);
    EXPECT_EQ(report.messageId, 4711u);
    EXPECT_EQ(report.error, c.error);
    EXPECT_EQ(report.reason, c.reason);
    EXPECT_EQ(report.remedy, c.remedy);
}

INSTANTIATE_TEST_SUITE_P(ErrorReport, MessageSplit, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct SFormatCase {
    std::size_t count;
    const char* expected;
};

void PrintTo(const SFormatCase& c, std::ostream* out)
{
    *out << c.count << " arguments";
}

class MessageFormat : public ::testing::TestWithParam<SFormatCase> {};

TEST_P(MessageFormat, TakesAsManyArgumentsAsGiven)
{
    const std::string_view arguments[] = {"a%s", "b", "c"};
    EXPECT_EQ(FormatMessageText("<%s|%s|%s> 100%% %d", arguments, GetParam().count), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ErrorReport, MessageFormat,
                         ::testing::Values(SFormatCase{0, "<||> 100% %d"}, SFormatCase{1, "<a%s||> 100% %d"},
                                           SFormatCase{2, "<a%s|b|> 100% %d"}, SFormatCase{3, "<a%s|b|c> 100% %d"}),
                         [](const auto& info) { return "Count" + std::to_string(info.param.count); });

TEST(ReportError, ComposesAMessageWithItsArgument)
{
    CRecordingPresenter presenter;
    int window = 0;
    ASSERT_TRUE(ReportError(IDE_INVALID_FILE_EXTENSION, &window, "library says no", "/music/song.xyz"));
    ASSERT_EQ(presenter.errors.size(), 1u);
    const SErrorReport& report = presenter.errors[0];
    EXPECT_EQ(report.messageId, 1031u);
    EXPECT_EQ(report.error, "1031 - Invalid File Extension");
    EXPECT_EQ(report.reason, "The application doesn't support the file extension of the audio file "
                             "/music/song.xyz. Either the audio file doesn't have a correct extension, or the file "
                             "format library supporting this extension is not installed.");
    EXPECT_EQ(report.remedy,
              "Validate the extension of the file or install a file format library for it if one is available.");
    EXPECT_EQ(report.information, "library says no");
    EXPECT_EQ(presenter.parents[0], &window);
}

TEST(ReportError, ArgumentCountFollowsTheLastArgumentGiven)
{
    CRecordingPresenter presenter;
    // None: the text stands as stored, its "%s" included.
    ASSERT_TRUE(ReportError(IDE_LIBRARY_INIT_FAILED));
    // A path with its own "%s" is not formatted again.
    ASSERT_TRUE(ReportError(IDE_LIBRARY_INIT_FAILED, nullptr, nullptr, "AUDFF%sX.so"));
    // Only the second given: the first counts as empty.
    ASSERT_TRUE(ReportError(IDE_LIBRARY_INIT_FAILED, nullptr, nullptr, nullptr, "second"));
    // Three given to a one-argument message: the others are not used.
    ASSERT_TRUE(ReportError(IDE_LIBRARY_INIT_FAILED, nullptr, nullptr, "first", "second", "third"));

    ASSERT_EQ(presenter.errors.size(), 4u);
    EXPECT_NE(presenter.errors[0].reason.find("library %s can't"), std::string::npos);
    EXPECT_NE(presenter.errors[1].reason.find("library AUDFF%sX.so can't"), std::string::npos);
    EXPECT_NE(presenter.errors[2].reason.find("library  can't"), std::string::npos);
    EXPECT_NE(presenter.errors[3].reason.find("library first can't"), std::string::npos);
    EXPECT_EQ(presenter.errors[3].reason.find("second"), std::string::npos);
    for (const SErrorReport& report : presenter.errors) {
        EXPECT_EQ(report.error, "1021 - Initialization failed");
        EXPECT_TRUE(report.information.empty());
    }
}

TEST(ReportError, MissingMessageShowsNothing)
{
    CRecordingPresenter presenter;
    EXPECT_FALSE(ReportError(1053));
    EXPECT_FALSE(ReportError(1053, nullptr, "info", "argument"));
    EXPECT_FALSE(ReportError(0));
    EXPECT_TRUE(presenter.errors.empty());
}

TEST(ReportError, ReasonOnlyMessageLeavesRemedyEmpty)
{
    CRecordingPresenter presenter;
    ASSERT_TRUE(ReportError(IDE_PREPARE_WRITE_FAILED, nullptr, "log line", "out.wav"));
    ASSERT_EQ(presenter.errors.size(), 1u);
    EXPECT_EQ(presenter.errors[0].error, "1205 - Prepare Write Failed");
    EXPECT_NE(presenter.errors[0].reason.find("out.wav"), std::string::npos);
    EXPECT_TRUE(presenter.errors[0].remedy.empty());
}

TEST(ShowMessageBox, AsksWithTheProgramTitleAndReturnsTheAnswer)
{
    CRecordingPresenter presenter;
    presenter.answer = IDNO;
    int owner = 0;
    EXPECT_EQ(ShowMessageBox(IDP_SAVED_FORMAT_EXISTS, &owner, kQuestionBox), IDNO);
    ASSERT_EQ(presenter.boxes.size(), 1u);
    EXPECT_EQ(presenter.boxes[0].caption, "Orvano");
    EXPECT_EQ(presenter.boxes[0].text, "A saved format with this name already exists. Do you want to overwrite it?");
    EXPECT_EQ(presenter.boxes[0].type, 292u);
    EXPECT_EQ(presenter.boxes[0].owner, &owner);

    EXPECT_EQ(ShowMessageBox(314, nullptr, kNoticeBox), 0);
    EXPECT_EQ(presenter.boxes.size(), 1u);
}

TEST(MessagePresenter, DefaultAnswersAreTheDefaultButtons)
{
    EXPECT_EQ(kQuestionBox, 292u);
    EXPECT_EQ(kNoticeBox, 48u);
    EXPECT_EQ(DefaultMessageBoxResult(kQuestionBox), IDNO);
    EXPECT_EQ(DefaultMessageBoxResult(MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(DefaultMessageBoxResult(kNoticeBox), IDOK);
    EXPECT_EQ(DefaultMessageBoxResult(kPlainBox), IDOK);
}

TEST(MessagePresenter, StreamPresenterWritesEveryFieldWithUnixLineBreaks)
{
    std::ostringstream out;
    CStreamMessagePresenter presenter(out);
    SetMessagePresenter(&presenter);
    const bool shown = ReportError(IDE_STREAM_OPEN_FAILED, nullptr, "codec said\r\nno", "song.wav");
    const int answer = ShowMessageBox(IDP_CONFIRM_EXIT_WHILE_RUNNING, nullptr, kQuestionBox);
    SetMessagePresenter(nullptr);

    EXPECT_TRUE(shown);
    EXPECT_EQ(answer, IDNO) << "nobody can answer, so the default button does";
    const std::string text = out.str();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("1207 - Conversion Stream Open Failed"), std::string::npos);
    EXPECT_NE(text.find("conversion of song.wav."), std::string::npos);
    EXPECT_NE(text.find("Remedy: Check the possible reasons"), std::string::npos);
    EXPECT_NE(text.find("Information: codec said\n"), std::string::npos);
    EXPECT_NE(text.find("Orvano: The conversion process is still running !\n"), std::string::npos);
}

TEST(MessagePresenter, LineBreakConversion)
{
    EXPECT_EQ(ToUnixLineBreaks("a\r\nb\rc\n\r\n"), "a\nb\nc\n\n");
    EXPECT_EQ(ToUnixLineBreaks(""), "");
}

} // namespace
