#include "cli/BatchConversion.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "app/DisplayFormat.h"
#include "app/ErrorReport.h"
#include "engine/ConversionRun.h"
#include "engine/RunArithmetic.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kBarWidth = 24;

std::size_t TerminalColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) {
        return size.ws_col;
    }
    return 80;
}

// What every run of a batch reports to, from the workers' threads; the
// main thread redraws and waits here.
class CProgressBoard {
public:
    CProgressBoard(const std::vector<SRunItem>& items, const SBatchOptions& options, std::ostream& out,
                   std::ostream& err)
        : m_items(items), m_options(options), m_out(out), m_err(err), m_percent(items.size(), 0),
          m_ended(items.size(), false), m_start(Clock::now()), m_columns(TerminalColumns())
    {
        for (const SRunItem& item : items) {
            m_total += item.dataLength;
        }
    }

    void ItemProgress(std::size_t item, uint32_t percent)
    {
        std::lock_guard lock(m_mutex);
        m_percent[item] = std::min<uint32_t>(percent, 100);
        DrawLocked(false);
    }

    void ItemEnded(std::size_t item, EItemOutcome outcome)
    {
        std::lock_guard lock(m_mutex);
        m_ended[item] = true;
        ++m_endedCount;
        if (!m_options.quiet) {
            EraseLineLocked();
            const SRunItem& run = m_items[item];
            switch (outcome) {
            case EItemOutcome::Converted:
                m_out << "converted: " << run.sourcePath << " -> " << run.destinationPath << '\n';
                break;
            case EItemOutcome::Failed:
                m_out << "failed: " << run.sourcePath << '\n';
                break;
            case EItemOutcome::PassedOver:
                m_out << "not converted (no file format library): " << run.sourcePath << '\n';
                break;
            case EItemOutcome::Aborted:
                m_out << "aborted, incomplete: " << run.destinationPath << '\n';
                break;
            case EItemOutcome::NotReached:
                break;
            }
            m_out.flush();
        }
        DrawLocked(true);
        m_event = true;
        m_changed.notify_all();
    }

    void RunStopped()
    {
        std::lock_guard lock(m_mutex);
        m_event = true;
        m_changed.notify_all();
    }

    void WaitForEvent(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [this] { return m_event; });
        m_event = false;
        DrawLocked(false);
    }

    void ClearLine()
    {
        std::lock_guard lock(m_mutex);
        EraseLineLocked();
    }

    double ElapsedSeconds() const { return std::chrono::duration<double>(Clock::now() - m_start).count(); }
    uint64_t TotalBytes() const { return m_total; }

private:
    uint64_t DoneBytesLocked() const
    {
        uint64_t done = 0;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            done += m_ended[i] ? m_items[i].dataLength : uint64_t{m_items[i].dataLength} * m_percent[i] / 100;
        }
        return done;
    }

    void EraseLineLocked()
    {
        if (m_lineShown) {
            m_err << "\r\033[K";
            m_err.flush();
            m_lineShown = false;
        }
    }

    void DrawLocked(bool force)
    {
        if (!m_options.progressLine) {
            return;
        }
        const auto now = Clock::now();
        if (!force && m_lineShown && now - m_lastDraw < kRedrawInterval) {
            return;
        }
        m_lastDraw = now;
        const uint64_t done = DoneBytesLocked();
        const double percent = Percentage(done, m_total);
        const auto elapsed =
            static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count());
        const std::optional<uint32_t> rate = RatePerSecond(done, elapsed);
        const std::optional<uint32_t> left =
            DurationAtRate(m_total - std::min(done, m_total), done != 0 ? rate : std::nullopt);

        const std::size_t number = std::min(m_endedCount + 1, m_items.size());
        std::string line = "Item " + std::to_string(number) + " of " + std::to_string(m_items.size()) + " [";
        const std::size_t filled = std::min(static_cast<std::size_t>(percent / 100.0 * kBarWidth), kBarWidth);
        line += std::string(filled, '#') + std::string(kBarWidth - filled, '-');
        line += "] " + std::to_string(static_cast<unsigned>(percent)) + "%  " + RateText(rate) + "  " +
                (left ? FormatDuration(*left, false, false) : std::string(kNoValueText)) + " left";
        if (line.size() >= m_columns) {
            line.resize(m_columns - 1);
        }
        m_err << '\r' << line << "\033[K";
        m_err.flush();
        m_lineShown = true;
    }

    const std::vector<SRunItem>& m_items;
    const SBatchOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_event = false;
    std::vector<uint32_t> m_percent;
    std::vector<bool> m_ended;
    std::size_t m_endedCount = 0;
    uint64_t m_total = 0;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
    bool m_lineShown = false;
    std::size_t m_columns;
};

// One run's display: maps the run's items to the batch's.
class CRunAdapter final : public IConversionDisplay {
public:
    CRunAdapter(CProgressBoard& board, std::vector<std::size_t> batchIndices)
        : m_board(board), m_batchIndices(std::move(batchIndices))
    {
    }

    void SetItemProgress(uint32_t percent) override
    {
        if (m_current < m_batchIndices.size()) {
            m_board.ItemProgress(m_batchIndices[m_current], percent);
        }
    }
    void ItemEnded(std::size_t itemIndex, EItemOutcome outcome) override
    {
        m_board.ItemEnded(m_batchIndices[itemIndex], outcome);
        m_current = itemIndex + 1;
    }
    void WorkerStopped(ERunOutcome) override { m_board.RunStopped(); }

private:
    CProgressBoard& m_board;
    std::vector<std::size_t> m_batchIndices;
    std::size_t m_current = 0;
};

struct SActiveRun {
    std::unique_ptr<CConversionRun> run;
    std::vector<std::size_t> batchIndices;
};

void WriteField(std::ostream& out, const char* label, const std::string& value)
{
    if (value.empty()) {
        return;
    }
    out << "    " << label << ": ";
    for (const char c : ToUnixLineBreaks(value)) {
        out << c;
        if (c == '\n') {
            out << "      ";
        }
    }
    out << '\n';
}

void WriteErrorLog(const std::vector<std::pair<std::size_t, SErrorLogEntry>>& log, std::ostream& err)
{
    for (const auto& [index, entry] : log) {
        err << (entry.severity == kSeverityError ? "error: " : "warning: ") << FormatErrorLogLine(entry) << '\n';
        SErrorReport report;
        if (ComposeErrorLogDetail(entry, report)) {
            err << "    " << ToUnixLineBreaks(report.error) << '\n';
            WriteField(err, "Reason", report.reason);
            WriteField(err, "Remedy", report.remedy);
            WriteField(err, "Information", report.information);
        }
    }
    err.flush();
}

} // namespace

SBatchResult ConvertBatch(const std::vector<SRunItem>& items, const SBatchOptions& options, std::ostream& out,
                          std::ostream& err)
{
    SBatchResult result;
    CProgressBoard board(items, options, out, err);

    std::vector<std::vector<std::size_t>> batches;
    if (options.jobs <= 1) {
        batches.emplace_back();
        for (std::size_t i = 0; i < items.size(); ++i) {
            batches.back().push_back(i);
        }
    } else {
        for (std::size_t i = 0; i < items.size(); ++i) {
            batches.push_back({i});
        }
    }

    std::vector<EItemOutcome> outcomes(items.size(), EItemOutcome::NotReached);
    std::vector<std::pair<std::size_t, SErrorLogEntry>> log;
    std::vector<SActiveRun> active;
    std::size_t next = 0;
    bool aborting = false;
    const auto collect = [&](SActiveRun& finished) {
        finished.run->Wait();
        const std::vector<EItemOutcome> runOutcomes = finished.run->GetItemOutcomes();
        for (std::size_t i = 0; i < runOutcomes.size(); ++i) {
            outcomes[finished.batchIndices[i]] = runOutcomes[i];
        }
        for (SErrorLogEntry entry : finished.run->GetErrorLog()) {
            const std::size_t index = finished.batchIndices[entry.itemIndex];
            entry.itemIndex = index;
            log.emplace_back(index, std::move(entry));
        }
    };

    while (next < batches.size() || !active.empty()) {
        if (!aborting && options.interrupted != nullptr && options.interrupted->load()) {
            aborting = true;
            next = batches.size();
            for (SActiveRun& running : active) {
                running.run->RequestAbort();
            }
        }
        while (!aborting && active.size() < std::max(options.jobs, 1u) && next < batches.size()) {
            SActiveRun started;
            started.batchIndices = batches[next++];
            std::vector<SRunItem> runItems;
            for (const std::size_t index : started.batchIndices) {
                runItems.push_back(items[index]);
            }
            SRunOptions runOptions;
            runOptions.deleteAfterConversion = options.deleteSources;
            started.run = std::make_unique<CConversionRun>(
                std::move(runItems), std::make_shared<CRunAdapter>(board, started.batchIndices), runOptions);
            if (!started.run->Start()) {
                err << "orvano-cli: the conversion thread could not be started\n";
                for (const std::size_t index : started.batchIndices) {
                    outcomes[index] = EItemOutcome::Failed;
                }
                continue;
            }
            active.push_back(std::move(started));
        }
        if (active.empty()) {
            continue;
        }
        board.WaitForEvent(kRedrawInterval);
        for (auto it = active.begin(); it != active.end();) {
            if (it->run->IsAlive()) {
                ++it;
                continue;
            }
            collect(*it);
            it = active.erase(it);
        }
    }
    board.ClearLine();

    std::stable_sort(log.begin(), log.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    WriteErrorLog(log, err);

    for (const EItemOutcome outcome : outcomes) {
        switch (outcome) {
        case EItemOutcome::Converted:
            ++result.converted;
            break;
        case EItemOutcome::Failed:
        case EItemOutcome::PassedOver:
            ++result.failed;
            break;
        case EItemOutcome::NotReached:
        case EItemOutcome::Aborted:
            ++result.notReached;
            break;
        }
    }
    result.interrupted = aborting;
    if (!options.quiet) {
        const double seconds = board.ElapsedSeconds();
        out << "Converted " << result.converted << " of " << items.size() << (items.size() == 1 ? " item" : " items");
        if (result.failed != 0) {
            out << ", " << result.failed << " failed";
        }
        if (result.notReached != 0) {
            out << ", " << result.notReached << " not converted";
        }
        const auto milliseconds = static_cast<uint32_t>(std::min(seconds * 1000.0, 4e9));
        out << " in " << FormatDuration(milliseconds, true, true);
        if (result.interrupted) {
            out << " (interrupted)";
        }
        out << ".\n";
        out.flush();
    }
    return result;
}
