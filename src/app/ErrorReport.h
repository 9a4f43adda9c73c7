// How errors and questions reach the user. ReportError and ShowMessageBox
// compose their texts from the string table here and hand them to the
// current presenter: the window shows a dialog or a message box, the command
// line prints to standard error, tests record. Lower layers never present
// anything themselves; they return codes.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

// Message box types and results, numbered as the platform numbers them.
inline constexpr uint32_t MB_OK = 0x0000;
inline constexpr uint32_t MB_YESNO = 0x0004;
inline constexpr uint32_t MB_TYPEMASK = 0x000F;
inline constexpr uint32_t MB_ICONERROR = 0x0010;
inline constexpr uint32_t MB_ICONQUESTION = 0x0020;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x0030;
inline constexpr uint32_t MB_ICONMASK = 0x00F0;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x0100;
inline constexpr uint32_t MB_DEFMASK = 0x0F00;

// The three kinds of box the program asks with.
inline constexpr uint32_t kQuestionBox = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2; // 292
inline constexpr uint32_t kNoticeBox = MB_OK | MB_ICONEXCLAMATION;                    // 48
inline constexpr uint32_t kPlainBox = MB_OK;                                         // 0

inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The four fields of the error dialog.
struct SErrorReport {
    uint32_t messageId = 0;
    std::string error;
    std::string reason;
    std::string remedy;
    std::string information;
};

class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;

    // Shows an error modally. parent: the owner window (a QWidget*), or null
    // for the presenter's main window when there is one.
    virtual void PresentError(const SErrorReport& report, void* parent) = 0;

    // Asks or tells in a message box of the given type (button set, icon and
    // default button as the MB_ bits say); returns the id of the button
    // pressed (IDOK, IDYES, IDNO). owner: a QWidget* or null for none.
    virtual int PresentMessageBox(const std::string& text, const std::string& caption, uint32_t type,
                                  void* owner) = 0;
};

// Writes every message to a text stream (standard error by default) and
// answers every question with its default button, so that nothing headless
// ever waits for input.
class CStreamMessagePresenter final : public IMessagePresenter {
public:
    explicit CStreamMessagePresenter(std::ostream& out);
    void PresentError(const SErrorReport& report, void* parent) override;
    int PresentMessageBox(const std::string& text, const std::string& caption, uint32_t type,
                          void* owner) override;

private:
    std::ostream& m_out;
};

// The presenter ReportError and ShowMessageBox use. The presenter is not
// owned and must outlive its use; null restores the standard error one.
void SetMessagePresenter(IMessagePresenter* presenter);
IMessagePresenter& GetMessagePresenter();

// The button a box of this type answers with when nobody can press one.
int DefaultMessageBoxResult(uint32_t type);

// Formats a message text: each "%s" takes the next argument (an empty text
// once they run out), "%%" becomes "%", anything else stays as written.
std::string FormatMessageText(std::string_view format, const std::string_view* arguments, std::size_t count);

// Splits a composed message text into the Error, Reason and Remedy fields.
void SplitMessageText(uint32_t messageId, std::string_view text, SErrorReport& report);

// Builds the four fields of message messageId. Up to three arguments: the
// number handed to the format is the position of the last non-null one (a
// null before it counts as empty); with none the text is taken as it stands.
// false when the string table has no such message.
bool ComposeErrorReport(uint32_t messageId, const char* information, const char* argument1,
                        const char* argument2, const char* argument3, SErrorReport& report);

// Composes message messageId and presents it. false (nothing shown) when the
// message does not exist; true once the presenter returned.
bool ReportError(uint32_t messageId, void* parent = nullptr, const char* information = nullptr,
                 const char* argument1 = nullptr, const char* argument2 = nullptr,
                 const char* argument3 = nullptr);

// Asks text textId in a box of the given type, captioned with the program's
// title. A missing text shows nothing and answers 0, which is no button.
int ShowMessageBox(uint32_t textId, void* owner, uint32_t type);

// "\r\n" and lone "\r" as "\n", for media that break lines with "\n".
std::string ToUnixLineBreaks(std::string_view text);
