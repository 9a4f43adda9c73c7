// COrvanoApp: the single application object. Its start-up finds and binds
// the file format libraries beside the executable and keeps them, in
// discovery order, for the whole process; the window and the command line
// build on it. The core sequence runs here; the window adds its own steps
// through the virtual hooks.
#pragma once

#include <iosfwd>
#include <string>

#include "app/OwningList.h"
#include "libhost/FileFormatLibrary.h"

class COrvanoApp {
public:
    COrvanoApp();
    COrvanoApp(const COrvanoApp&) = delete;
    COrvanoApp& operator=(const COrvanoApp&) = delete;
    // Releases the libraries, the last discovered first.
    virtual ~COrvanoApp();

    // The application object of the process: the one constructed last, or
    // null once that one is destroyed.
    static COrvanoApp* Current();

    // The folder searched for libraries; empty (the default) means the
    // executable's own folder. Only before InitInstance.
    void SetLibraryFolder(std::string folder) { m_libraryFolder = std::move(folder); }

    // The start-up sequence; false ends the program, after the user was told
    // why. Runs once.
    bool InitInstance();
    // The end of the program's work; returns the exit code.
    virtual int ExitInstance();

    const COwningList<CFileFormatLibrary>& GetLibraries() const { return m_libraries; }
    const std::string& GetLanguageName() const { return m_languageName; }
    const std::string& GetExecutablePath() const { return m_executablePath; }

protected:
    // Platform services the window needs before anything else; false ends
    // start-up (the hook reports its own failure).
    virtual bool InitPlatformServices() { return true; }
    // After the settings are available, before the libraries are searched.
    virtual void CreateFonts() {}
    // Document types, main window, command line; false ends start-up.
    virtual bool StartUserInterface() { return true; }
    // Called by ExitInstance before the core's own exit work.
    virtual void ReleaseUserInterface() {}

private:
    bool DiscoverLibraries();

    COwningList<CFileFormatLibrary> m_libraries;
    std::string m_languageName;
    std::string m_executablePath;
    std::string m_libraryFolder;
    bool m_started = false;
};

// The full path of the running executable, from /proc/self/exe; empty when
// it cannot be determined.
std::string GetExecutablePath();

// True when name matches the library pattern "AUDFF*.so", in any case.
bool IsLibraryFileName(std::string_view name);

// A headless start: finds and binds the libraries in folder (empty: beside
// the executable), reports failures through the current message presenter
// and lists what loaded on out, one line per library. Returns 0 when
// start-up succeeded, 1 otherwise.
int RunLibraryListing(std::ostream& out, const std::string& folder = {});
