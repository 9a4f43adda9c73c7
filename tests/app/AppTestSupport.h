// Helpers shared by the application shell's and the library host's tests:
// a temporary folder of the test's own, a presenter that records instead of
// showing, and a look at the process's mappings.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/ErrorReport.h"

class CTestFolder {
public:
    explicit CTestFolder(const std::string& tag = "orvano")
    {
        std::string pattern = ::testing::TempDir() + tag + "-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed for " << pattern;
        }
        m_path = pattern;
    }
    ~CTestFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// True when a file of this path is mapped into the process.
inline bool IsMapped(const std::string& path)
{
    std::istringstream maps(ReadWholeFile("/proc/self/maps"));
    std::string line;
    while (std::getline(maps, line)) {
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) {
            return true;
        }
    }
    return false;
}

struct SRecordedBox {
    std::string text;
    std::string caption;
    uint32_t type = 0;
    void* owner = nullptr;
};

// Installed as the current presenter for its lifetime.
class CRecordingPresenter final : public IMessagePresenter {
public:
    CRecordingPresenter() { SetMessagePresenter(this); }
    ~CRecordingPresenter() override { SetMessagePresenter(nullptr); }

    void PresentError(const SErrorReport& report, void* parent) override
    {
        errors.push_back(report);
        parents.push_back(parent);
    }
    int PresentMessageBox(const std::string& text, const std::string& caption, uint32_t type, void* owner) override
    {
        boxes.push_back({text, caption, type, owner});
        return answer;
    }

    std::vector<uint32_t> ErrorIds() const
    {
        std::vector<uint32_t> ids;
        for (const SErrorReport& report : errors) {
            ids.push_back(report.messageId);
        }
        return ids;
    }

    std::vector<SErrorReport> errors;
    std::vector<void*> parents;
    std::vector<SRecordedBox> boxes;
    int answer = IDYES;
};
