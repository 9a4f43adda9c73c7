#include "app/OrvanoApp.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ostream>
#include <vector>

#include "app/ErrorReport.h"
#include "app/StringTable.h"

namespace {

std::atomic<COrvanoApp*> g_currentApp{nullptr};

constexpr char kFatalErrorCaption[] = "Fatal Error";
constexpr char kExecutablePathUnknownText[] =
    "The path of the application's executable can't be determined (ErrorCode 1001).\n\nPlease inform the "
    "software developer about the problem if it persists.";

bool EqualsIgnoringCase(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != pattern[i]) {
            return false;
        }
    }
    return true;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The matching names of folder in the order the directory yields them.
std::vector<std::string> FindLibraryFiles(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (IsLibraryFileName(name) && IsRegularFile(folder + "/" + name)) {
            names.push_back(name);
        }
    }
    closedir(directory);
    return names;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string GetExecutablePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsLibraryFileName(std::string_view name)
{
    constexpr std::string_view kPrefix = "AUDFF";
    constexpr std::string_view kSuffix = ".SO";
    return name.size() >= kPrefix.size() + kSuffix.size() && EqualsIgnoringCase(name.substr(0, kPrefix.size()), kPrefix) &&
           EqualsIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

COrvanoApp::COrvanoApp()
{
    g_currentApp.store(this);
}

COrvanoApp::~COrvanoApp()
{
    COrvanoApp* self = this;
    g_currentApp.compare_exchange_strong(self, nullptr);
    m_libraries.Clear();
}

COrvanoApp* COrvanoApp::Current()
{
    return g_currentApp.load();
}

bool COrvanoApp::InitInstance()
{
    if (m_started) {
        return false;
    }
    m_started = true;

    if (!InitPlatformServices()) {
        return false;
    }
    CreateFonts();
    if (!DiscoverLibraries()) {
        return false;
    }
    return StartUserInterface();
}

int COrvanoApp::ExitInstance()
{
    ReleaseUserInterface();
    return 0;
}

bool COrvanoApp::DiscoverLibraries()
{
    m_languageName = ResourceStringOr(IDS_LANGUAGE_NAME, "English");

    m_executablePath = ::GetExecutablePath();
    if (m_executablePath.empty()) {
        GetMessagePresenter().PresentMessageBox(kExecutablePathUnknownText, kFatalErrorCaption, MB_OK | MB_ICONERROR,
                                                nullptr);
        return false;
    }

    const std::string folder = m_libraryFolder.empty() ? FolderOf(m_executablePath) : m_libraryFolder;
    const std::vector<std::string> names = FindLibraryFiles(folder);
    if (names.empty()) {
        ReportError(IDE_LIBRARIES_MISSING);
        return false;
    }

    bool anyInput = false;
    bool anyOutput = false;
    for (const std::string& name : names) {
        auto library = std::make_unique<CFileFormatLibrary>();
        if (!library->Load(folder + "/" + name, m_languageName)) {
            // The loader's reason helps more than silence when a dependency is missing.
            ReportError(IDE_LIBRARY_INIT_FAILED, nullptr, library->LastLoadError().c_str(), name.c_str());
            continue;
        }
        anyInput = anyInput || library->HasInput();
        anyOutput = anyOutput || library->HasOutput();
        m_libraries.Append(std::move(library));
    }

    if (m_libraries.empty()) {
        ReportError(IDE_NO_LIBRARY_LOADED);
        return false;
    }
    if (!anyInput) {
        ReportError(IDE_NO_INPUT_LIBRARY);
        return false;
    }
    if (!anyOutput) {
        ReportError(IDE_NO_OUTPUT_LIBRARY);
        return false;
    }
    return true;
}

int RunLibraryListing(std::ostream& out, const std::string& folder)
{
    COrvanoApp app;
    app.SetLibraryFolder(folder);
    if (!app.InitInstance()) {
        return 1;
    }
    for (const auto& library : app.GetLibraries()) {
        out << library->GetExtension() << '\t' << (library->HasInput() ? "read" : "-") << '\t'
            << (library->HasOutput() ? "write" : "-") << '\t' << library->GetName() << '\t' << library->GetPath()
            << '\n';
    }
    return app.ExitInstance();
}
