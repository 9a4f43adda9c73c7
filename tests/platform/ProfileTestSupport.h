// An isolated profile store for one test: XDG_CONFIG_HOME points into a
// fresh temporary folder for the object's lifetime (the store looks the
// folder up on every call) and HOME into another, so nothing can reach the
// user's real settings.
#pragma once

#include <filesystem>
#include <string>

#include "support/FileBytes.h"
#include "support/ScratchFolder.h"

class CIsolatedProfile {
public:
    std::string StoreFile() const { return m_folder.ConfigFolder() + "/Orvano/Release 2.1.conf"; }
    std::string HomeFolder() const { return m_folder.HomeFolder(); }
    std::string StoreText() const { return testsupport::ReadText(StoreFile()); }

    // Replaces the store file with hand-written INI text.
    void WriteStoreText(const std::string& text) const
    {
        std::filesystem::create_directories(m_folder.ConfigFolder() + "/Orvano");
        testsupport::WriteText(StoreFile(), text);
    }

private:
    testsupport::UserScratchFolder m_folder;
};
