// The state a conversion run and its worker share. Internal to the engine.
#pragma once

#include <condition_variable>
#include <mutex>
#include <utility>

#include "engine/ConversionRun.h"

struct CConversionRun::SShared {
    SShared(std::vector<SRunItem> runItems, std::shared_ptr<IConversionDisplay> runDisplay, SRunOptions runOptions)
        : items(std::move(runItems)), options(std::move(runOptions)), outcomes(items.size(), EItemOutcome::NotReached),
          display(std::move(runDisplay))
    {
    }

    const std::vector<SRunItem> items;
    const SRunOptions options;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool paused = false;
    bool abortRequested = false;
    bool loggingActive = true;
    bool applyNice = false;
    int workerNice = 0;
    EWorkerState state = EWorkerState::NotStarted;
    ERunOutcome outcome = ERunOutcome::Finished;
    std::vector<SErrorLogEntry> errorLog;
    std::vector<EItemOutcome> outcomes;

    // Held for the whole of each display call, so that a disconnect waits for
    // a call in progress and no call follows it.
    std::mutex displayMutex;
    std::shared_ptr<IConversionDisplay> display;

    template <typename Call>
    void Show(Call&& call)
    {
        std::lock_guard lock(displayMutex);
        if (display) {
            call(*display);
        }
    }

    // At the top of a cycle: waits while paused; true when an abort is asked.
    bool WaitWhilePausedAndCheckAbort()
    {
        std::unique_lock lock(mutex);
        if (paused && !abortRequested) {
            state = EWorkerState::Paused;
            changed.notify_all();
            changed.wait(lock, [this] { return !paused || abortRequested; });
            state = EWorkerState::Running;
            changed.notify_all();
        }
        return abortRequested;
    }

    bool IsLoggingActive() const
    {
        std::lock_guard lock(mutex);
        return loggingActive;
    }
};

// The worker's body; returns when the run went through or stopped on an abort.
ERunOutcome RunConversionWorker(CConversionRun::SShared& shared);
