// CConversionRun: converts the items of a snapshot one after the other on a
// worker thread of its own, writing its progress through a display and its
// failures into an error log.
//
// The worker owns its state together with this object (shared ownership),
// so a run can be left behind: Detach() disconnects the display, asks the
// worker to stop and lets it go; the worker releases its streams, files and
// buffers itself when it next looks at the abort request, once per cycle.
//
// Pause is cooperative: a paused worker waits at the top of its next cycle.
// Every Pause or Resume switches statistics recording off for the rest of
// the run, since a paused item's speed says nothing about the machine.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConversionDisplay.h"
#include "engine/ErrorLog.h"
#include "engine/RunSnapshot.h"
#include "engine/StreamFunctions.h"

struct SRunOptions {
    // Replace the stored "DeleteAfterConversion" / "ActivateLogging" for this
    // run (the command line decides deletion by its own option).
    std::optional<bool> deleteAfterConversion;
    std::optional<bool> activateLogging;
    // Read "PriorityClass" and "Priority" and give the worker that nice value.
    bool applyPriorities = true;
    // The statistics file's folder and the lock's folder; empty: the places
    // the statistics store chooses itself.
    std::string statisticsFolder;
    std::string statisticsLockFolder;
    // Replaceable for tests: the stream calls, the buffer allocation (memory
    // released with free; null: allocation failed) and the millisecond clock.
    SStreamFunctions streams;
    void* (*allocateBuffer)(std::size_t bytes) = nullptr;
    std::function<uint64_t()> clock;
};

enum class EWorkerState {
    NotStarted,
    Running,
    Paused, // waiting at the top of a cycle
    Stopped,
};

class CConversionRun {
public:
    CConversionRun(std::vector<SRunItem> items, std::shared_ptr<IConversionDisplay> display,
                   SRunOptions options = {});
    CConversionRun(const CConversionRun&) = delete;
    CConversionRun& operator=(const CConversionRun&) = delete;
    // A worker that was neither waited for nor detached is asked to stop and
    // waited for: it stops within one cycle.
    ~CConversionRun();

    // Starts the worker once; false when the thread could not be started.
    bool Start();

    void Pause();
    void Resume();
    bool IsPaused() const;
    // A paused worker is resumed so that it sees the request.
    void RequestAbort();

    // True from Start until the worker has stopped.
    bool IsAlive() const;
    EWorkerState GetWorkerState() const;
    // Waits until the worker is in that state (or stopped); false when the
    // timeout passed first.
    bool WaitForWorkerState(EWorkerState state, std::chrono::milliseconds timeout) const;

    // Waits for the worker to stop; its outcome. Not after Detach.
    ERunOutcome Wait();
    // Waits at most timeout; true when the worker has stopped.
    bool WaitUntilStopped(std::chrono::milliseconds timeout) const;

    // No display call is made after this returns. Not from within a display
    // call: it waits for the call in progress.
    void DisconnectDisplay();
    // Forced termination: disconnect, request the abort, let the thread go.
    void Detach();

    std::size_t GetItemCount() const;
    std::vector<SErrorLogEntry> GetErrorLog() const;
    std::vector<EItemOutcome> GetItemOutcomes() const;

    struct SShared;

private:
    std::shared_ptr<SShared> m_shared;
    std::thread m_thread;
};
