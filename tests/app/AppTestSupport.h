// Helpers shared by the application shell's and the library host's tests: a
// presenter that records instead of showing, and a look at the process's
// mappings. Scratch folders and whole files come from the shared support
// (support/).
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ErrorReport.h"
#include "support/FileBytes.h"
#include "support/ScratchFolder.h"

// True when a file of this path is mapped into the process.
inline bool IsMapped(const std::string& path)
{
    std::istringstream maps(testsupport::ReadText("/proc/self/maps"));
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
