#include "app/ErrorReport.h"

#include <array>
#include <atomic>
#include <iostream>
#include <ostream>

#include "app/StringTable.h"

namespace {

std::atomic<IMessagePresenter*> g_presenter{nullptr};

IMessagePresenter& StandardErrorPresenter()
{
    static CStreamMessagePresenter presenter(std::cerr);
    return presenter;
}

void WriteField(std::ostream& out, std::string_view label, const std::string& value)
{
    if (value.empty()) {
        return;
    }
    out << "  " << label << ": ";
    bool lineStart = false;
    for (const char c : ToUnixLineBreaks(value)) {
        // Continuation lines are indented under their field; empty ones stay empty.
        if (lineStart && c != '\n') {
            out << "    ";
        }
        out << c;
        lineStart = c == '\n';
    }
    out << '\n';
}

} // namespace

CStreamMessagePresenter::CStreamMessagePresenter(std::ostream& out) : m_out(out) {}

void CStreamMessagePresenter::PresentError(const SErrorReport& report, void* /*parent*/)
{
    m_out << ResourceStringOr(IDS_APP_TITLE, "Orvano") << ": error " << ToUnixLineBreaks(report.error) << '\n';
    WriteField(m_out, "Reason", report.reason);
    WriteField(m_out, "Remedy", report.remedy);
    WriteField(m_out, "Information", report.information);
    m_out.flush();
}

int CStreamMessagePresenter::PresentMessageBox(const std::string& text, const std::string& caption, uint32_t type,
                                               void* /*owner*/)
{
    m_out << caption << ": " << ToUnixLineBreaks(text) << '\n';
    const int answer = DefaultMessageBoxResult(type);
    if ((type & MB_TYPEMASK) == MB_YESNO) {
        m_out << "  (answered " << (answer == IDYES ? "Yes" : "No") << ")\n";
    }
    m_out.flush();
    return answer;
}

void SetMessagePresenter(IMessagePresenter* presenter)
{
    g_presenter.store(presenter);
}

IMessagePresenter& GetMessagePresenter()
{
    IMessagePresenter* presenter = g_presenter.load();
    return presenter != nullptr ? *presenter : StandardErrorPresenter();
}

int DefaultMessageBoxResult(uint32_t type)
{
    if ((type & MB_TYPEMASK) == MB_YESNO) {
        return (type & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
    }
    return IDOK;
}

std::string FormatMessageText(std::string_view format, const std::string_view* arguments, std::size_t count)
{
    std::string text;
    text.reserve(format.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') {
                if (next < count) {
                    text.append(arguments[next]);
                }
                ++next;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                text.push_back('%');
                ++i;
                continue;
            }
        }
        text.push_back(c);
    }
    return text;
}

void SplitMessageText(uint32_t messageId, std::string_view text, SErrorReport& report)
{
    const std::size_t first = text.find('|');
    const std::size_t last = text.rfind('|');
    const std::string_view title = text.substr(0, first);

    report.messageId = messageId;
    report.error = std::to_string(messageId) + " - " + std::string(title);
    report.reason.clear();
    report.remedy.clear();
    if (first == std::string_view::npos) {
        return;
    }
    if (first == last) {
        report.reason = text.substr(first + 1);
        return;
    }
    report.reason = text.substr(first + 1, last - first - 1);
    report.remedy = text.substr(last + 1);
}

bool ComposeErrorReport(uint32_t messageId, const char* information, const char* argument1,
                        const char* argument2, const char* argument3, SErrorReport& report)
{
    const auto resource = FindResourceString(messageId);
    if (!resource) {
        return false;
    }

    const std::array<const char*, 3> given = {argument1, argument2, argument3};
    std::size_t count = 0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] != nullptr) {
            count = i + 1;
        }
    }

    std::string text;
    if (count == 0) {
        text.assign(*resource);
    } else {
        std::array<std::string_view, 3> arguments{};
        for (std::size_t i = 0; i < count; ++i) {
            arguments[i] = given[i] != nullptr ? std::string_view(given[i]) : std::string_view();
        }
        text = FormatMessageText(*resource, arguments.data(), count);
    }

    SplitMessageText(messageId, text, report);
    report.information = information != nullptr ? information : "";
    return true;
}

bool ReportError(uint32_t messageId, void* parent, const char* information, const char* argument1,
                 const char* argument2, const char* argument3)
{
    SErrorReport report;
    if (!ComposeErrorReport(messageId, information, argument1, argument2, argument3, report)) {
        return false;
    }
    GetMessagePresenter().PresentError(report, parent);
    return true;
}

int ShowMessageBox(uint32_t textId, void* owner, uint32_t type)
{
    const auto text = FindResourceString(textId);
    if (!text) {
        return 0;
    }
    return GetMessagePresenter().PresentMessageBox(std::string(*text), ResourceStringOr(IDS_APP_TITLE, "Orvano"),
                                                   type, owner);
}

std::string ToUnixLineBreaks(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            continue;
        }
        result.push_back(text[i]);
    }
    return result;
}
