// Fixtures of the run's tests: files of the fault library, the real and the
// fault libraries, a display that records, and stream calls that count open
// streams and fail a chosen call. Scratch folders, WAVE files, signals and
// format blocks come from the shared support (support/).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ConversionRun.h"
#include "formats/AudioFormat.h"
#include "libhost/FileFormatLibrary.h"
#include "support/FileBytes.h"
#include "support/ScratchFolder.h"
#include "support/core/Libraries.h"

namespace engine_test {

// The folder of the run's statistics file inside a scratch folder, made.
std::string StatisticsFolder(const testsupport::ScratchFolder& folder);

// "FLT1", the size of the format block, the block and the data.
void WriteFaultFile(const std::string& path, const CAudioFormat& format, const testsupport::Bytes& data);

struct SLibraries : testsupport::LoadedLibraries {
    const CFileFormatLibrary* fault = nullptr;
};
// The WAVE, MP3 and fault libraries, in that order.
std::unique_ptr<SLibraries> LoadLibraries();
int FaultLibraryOpenHandles(const SLibraries& libraries);

// An item as the Add and Destination Format commands make it; fails the test
// when the source cannot be described.
SRunItem MakeItem(const std::string& sourcePath, const SLibraries& libraries, const CFileFormatLibrary* destination,
                  const CAudioFormat& destinationFormat, const std::string& destinationPath, uint32_t highQuality = 1);

// Stream calls that count live streams and can fail the n-th call (counted
// from 1 since the last Reset) of one kind.
enum class EStreamCall { None, Open, Prepare, Convert, Unprepare };
struct StreamWatch {
    static SStreamFunctions Functions();
    static void Reset(EStreamCall failing = EStreamCall::None, int failingCall = 0);
    static int LiveStreams();
    static int Calls(EStreamCall call);
};

// An allocation that fails at its n-th call (counted from 1 since the last
// call of FailAllocationAt) and takes memory from malloc otherwise.
void FailAllocationAt(int call);
void* CountingAllocation(std::size_t bytes);

int OpenDescriptorCount();

// Records every display call. onProgress runs on the worker's thread at
// each item progress call.
class CRecordingDisplay final : public IConversionDisplay {
public:
    struct SCall {
        std::string field;
        std::string value;
    };

    void SetHeader(const std::string& text) override { Record("header", text); }
    void SetSourceFileName(const std::string& text) override { Record("source", text); }
    void SetSourceFormat(const std::string& text) override { Record("sourceFormat", text); }
    void SetDestinationFileName(const std::string& text) override { Record("destination", text); }
    void SetDestinationFormat(const std::string& text) override { Record("destinationFormat", text); }
    void SetQuality(const std::string& text) override { Record("quality", text); }
    void SetItemProgress(uint32_t percent) override;
    void SetItemStatistics(const std::string& text) override { Record("itemStatistics", text); }
    void SetItemTimeRunning(const std::string& text) override { Record("itemTimeRunning", text); }
    void SetItemTimeLeft(const std::string& text) override { Record("itemTimeLeft", text); }
    void SetItemCompression(const std::string& text) override { Record("itemCompression", text); }
    void SetProjectProgress(uint32_t percent) override { Record("projectProgress", std::to_string(percent)); }
    void SetProjectStatistics(const std::string& text) override { Record("projectStatistics", text); }
    void SetProjectTimeRunning(const std::string& text) override { Record("projectTimeRunning", text); }
    void SetProjectTimeLeft(const std::string& text) override { Record("projectTimeLeft", text); }
    void SetProjectCompression(const std::string& text) override { Record("projectCompression", text); }
    void SetAbortCaption(const std::string& text) override { Record("caption", text); }
    void SetPauseEnabled(bool enabled) override { Record("pauseEnabled", enabled ? "1" : "0"); }
    void ClearErrorLog() override { Record("clearLog", ""); }
    void AddErrorLogLine(const std::string& line, const SErrorLogEntry& entry) override;
    void ItemEnded(std::size_t itemIndex, EItemOutcome outcome) override;
    void WorkerStopped(ERunOutcome outcome) override;

    std::vector<SCall> Calls() const;
    std::vector<std::string> Values(const std::string& field) const;
    std::string Last(const std::string& field) const;
    std::size_t CallCount() const;

    std::function<void(uint32_t percent)> onProgress;

private:
    void Record(const std::string& field, const std::string& value);

    mutable std::mutex m_mutex;
    std::vector<SCall> m_calls;
};

struct SRunResult {
    ERunOutcome outcome = ERunOutcome::Finished;
    std::vector<EItemOutcome> outcomes;
    std::vector<SErrorLogEntry> log;
};

// Options for a test run: the scratch folder's statistics, the watched
// stream calls, no priority change, a clock that advances 7 ms per reading.
SRunOptions TestOptions(const testsupport::ScratchFolder& folder);

SRunResult RunToEnd(std::vector<SRunItem> items, const SRunOptions& options,
                    std::shared_ptr<CRecordingDisplay> display = std::make_shared<CRecordingDisplay>());

} // namespace engine_test
