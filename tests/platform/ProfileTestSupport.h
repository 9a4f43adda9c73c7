// An isolated profile store for one test: XDG_CONFIG_HOME points into a
// fresh temporary folder for the object's lifetime (the store looks the
// folder up on every call) and HOME into another, so nothing can reach the
// user's real settings.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/FileBytes.h"
#include "support/ScratchFolder.h"

class CIsolatedProfile {
public:
    CIsolatedProfile()
    {
        Remember("XDG_CONFIG_HOME", m_savedConfigHome);
        Remember("HOME", m_savedHome);
        setenv("XDG_CONFIG_HOME", m_folder.File("config").c_str(), 1);
        setenv("HOME", m_folder.File("home").c_str(), 1);
    }
    ~CIsolatedProfile()
    {
        Restore("XDG_CONFIG_HOME", m_savedConfigHome);
        Restore("HOME", m_savedHome);
    }

    std::string StoreFile() const { return m_folder.File("config/Orvano/Release 2.1.conf"); }
    std::string HomeFolder() const { return m_folder.File("home"); }
    std::string StoreText() const { return testsupport::ReadText(StoreFile()); }

    // Replaces the store file with hand-written INI text.
    void WriteStoreText(const std::string& text) const
    {
        std::filesystem::create_directories(m_folder.File("config/Orvano"));
        testsupport::WriteText(StoreFile(), text);
    }

private:
    static void Remember(const char* name, std::optional<std::string>& saved)
    {
        if (const char* value = getenv(name)) {
            saved = value;
        }
    }
    static void Restore(const char* name, const std::optional<std::string>& saved)
    {
        if (saved) {
            setenv(name, saved->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

    testsupport::ScratchFolder m_folder;
    std::optional<std::string> m_savedConfigHome;
    std::optional<std::string> m_savedHome;
};
