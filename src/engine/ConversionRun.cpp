#include "engine/ConversionRun.h"

#include <system_error>

#include "app/AppSettings.h"
#include "engine/RunShared.h"
#include "engine/ThreadPriority.h"

CConversionRun::CConversionRun(std::vector<SRunItem> items, std::shared_ptr<IConversionDisplay> display,
                               SRunOptions options)
    : m_shared(std::make_shared<SShared>(std::move(items), std::move(display), std::move(options)))
{
}

CConversionRun::~CConversionRun()
{
    if (m_thread.joinable()) {
        RequestAbort();
        m_thread.join();
    }
}

bool CConversionRun::Start()
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->state != EWorkerState::NotStarted) {
            return false;
        }
        m_shared->paused = false;
        m_shared->abortRequested = false;
        m_shared->loggingActive = m_shared->options.activateLogging.value_or(ReadActivateLogging());
        m_shared->applyNice = m_shared->options.applyPriorities;
        if (m_shared->applyNice) {
            m_shared->workerNice = WorkerNiceValue(ReadPriorityClass(), ReadPriority());
        }
        m_shared->state = EWorkerState::Running;
    }
    try {
        m_thread = std::thread([shared = m_shared] {
            if (shared->applyNice) {
                SetCurrentThreadNiceValue(shared->workerNice);
            }
            const ERunOutcome outcome = RunConversionWorker(*shared);
            {
                std::lock_guard lock(shared->mutex);
                shared->outcome = outcome;
                shared->abortRequested = false;
                shared->paused = false;
                shared->state = EWorkerState::Stopped;
                shared->changed.notify_all();
            }
            shared->Show([outcome](IConversionDisplay& d) { d.WorkerStopped(outcome); });
        });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_shared->mutex);
        m_shared->state = EWorkerState::Stopped;
        m_shared->changed.notify_all();
        return false;
    }
    return true;
}

void CConversionRun::Pause()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->loggingActive = false;
    m_shared->paused = true;
    m_shared->changed.notify_all();
}

void CConversionRun::Resume()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->loggingActive = false;
    m_shared->paused = false;
    m_shared->changed.notify_all();
}

bool CConversionRun::IsPaused() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->paused;
}

void CConversionRun::RequestAbort()
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->state == EWorkerState::Stopped || m_shared->state == EWorkerState::NotStarted) {
        return;
    }
    m_shared->paused = false;
    m_shared->abortRequested = true;
    m_shared->changed.notify_all();
}

bool CConversionRun::IsAlive() const
{
    const EWorkerState state = GetWorkerState();
    return state == EWorkerState::Running || state == EWorkerState::Paused;
}

EWorkerState CConversionRun::GetWorkerState() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->state;
}

bool CConversionRun::WaitForWorkerState(EWorkerState state, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, timeout, [&] {
        return m_shared->state == state || m_shared->state == EWorkerState::Stopped;
    }) && m_shared->state == state;
}

ERunOutcome CConversionRun::Wait()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard lock(m_shared->mutex);
    return m_shared->outcome;
}

bool CConversionRun::WaitUntilStopped(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, timeout, [&] {
        return m_shared->state == EWorkerState::Stopped || m_shared->state == EWorkerState::NotStarted;
    });
}

void CConversionRun::DisconnectDisplay()
{
    std::lock_guard lock(m_shared->displayMutex);
    m_shared->display.reset();
}

void CConversionRun::Detach()
{
    DisconnectDisplay();
    RequestAbort();
    if (m_thread.joinable()) {
        m_thread.detach();
    }
}

std::size_t CConversionRun::GetItemCount() const
{
    return m_shared->items.size();
}

std::vector<SErrorLogEntry> CConversionRun::GetErrorLog() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->errorLog;
}

std::vector<EItemOutcome> CConversionRun::GetItemOutcomes() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->outcomes;
}
