// The worker of a conversion run. Per item: one codec stream per step of the
// chain, one buffer per stage, the source read through its library and the
// destination written through its library, in cycles of read, convert
// through every step, write, until the data is through and every stream has
// delivered its tail.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "app/AppSettings.h"
#include "app/DisplayFormat.h"
#include "app/StringIds.h"
#include "app/StringTable.h"
#include "engine/RunArithmetic.h"
#include "engine/RunShared.h"
#include "libhost/FileFormatLibrary.h"
#include "stats/PerformanceStatistics.h"

namespace {

constexpr std::size_t kMaxSteps = 3;

struct SFreeBuffer {
    void operator()(uint8_t* buffer) const { std::free(buffer); }
};
using BufferPointer = std::unique_ptr<uint8_t, SFreeBuffer>;

uint64_t SteadyMilliseconds()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The tag's name and the format's own description, as the display shows them.
std::string FormatText(const CAudioFormat& format)
{
    std::string text;
    ACMFORMATTAGDETAILS tagDetails{};
    if (format.GetFormatTagDetails(tagDetails)) {
        text = tagDetails.szFormatTag;
    }
    ACMFORMATDETAILS details{};
    if (format.GetFormatDetails(details)) {
        if (!text.empty()) {
            text += " - ";
        }
        text += details.szFormat;
    }
    return text.empty() ? std::string(kNoValueText) : text;
}

bool IsRunnable(const SRunItem& item)
{
    return item.chain.size() >= 2 && !item.destinationPath.empty();
}

std::string ZeroStatisticsLine(uint32_t textId)
{
    return FormatRunText(ResourceStringOr(textId, ""),
                         {FormatByteSize(0), FormatByteSize(0), 0.0, FormatByteSize(0) + "/sec."});
}

class CRunWorker {
public:
    explicit CRunWorker(CConversionRun::SShared& run) : m_run(run) {}

    ERunOutcome Run();

private:
    enum class EStep {
        Ran,     // converted (or had nothing to do)
        Waiting, // the stream refused a piece that is not the last: more input first
        Failed,  // logged, everything released
    };

    // Per item; rebuilt when an item starts.
    struct SItemWork {
        std::size_t steps = 0;
        std::vector<HACMSTREAM> streams;
        std::vector<BufferPointer> buffers;
        std::vector<uint32_t> sizes;
        std::vector<uint32_t> carried;
        uint32_t produced[kMaxSteps] = {0, 0, 0};
        bool stageDone[kMaxSteps] = {false, false, false};
        std::size_t firstActive = 0;
        uint32_t consumed = 0;
        bool progress = false;
        AUDFF_HANDLE source = 0;
        AUDFF_HANDLE destination = 0;
        bool sourceOpen = false;
        bool destinationOpen = false;
        uint64_t start = 0;
        std::optional<uint32_t> rate;
        std::string sizeText;
        SStepCounters counters;
    };

    uint64_t Now() const { return m_run.options.clock ? m_run.options.clock() : SteadyMilliseconds(); }

    EItemOutcome ConvertItem(std::size_t index);
    bool OpenStreamsAndBuffers(std::size_t index);
    bool OpenFiles(std::size_t index);
    EItemOutcome RunCycles(std::size_t index);
    bool ReadSource(std::size_t index, uint32_t& got);
    EStep ConvertStep(std::size_t index, std::size_t k, uint32_t input, bool lastPiece);
    EStep FlushStep(std::size_t index, std::size_t k);
    EItemOutcome FinishItem(std::size_t index);
    void UpdateDisplay(const SRunItem& item);

    void ReleaseStreamsAndBuffers();
    void CloseFiles(const SRunItem& item);
    void AddErrorLogEntry(std::size_t index, char side, const CFileFormatLibrary* library, uint32_t messageId,
                          int32_t code, char severity);
    // Releases everything the item holds and logs its one 'E' line.
    EItemOutcome Fail(std::size_t index, char side, const CFileFormatLibrary* library, uint32_t messageId,
                      int32_t code);
    void* Allocate(std::size_t bytes) const
    {
        return m_run.options.allocateBuffer ? m_run.options.allocateBuffer(bytes) : std::malloc(bytes);
    }

    CConversionRun::SShared& m_run;
    const SStreamFunctions& m_acm = m_run.options.streams;
    SRunSettings m_settings;
    bool m_deleteAfterConversion = false;
    std::unique_ptr<CPerformanceStatistics> m_statistics;

    uint32_t m_itemCount = 0;
    uint32_t m_itemNumber = 0;
    uint64_t m_runTotal = 0;
    uint64_t m_runConsumed = 0;
    uint64_t m_runStart = 0;
    std::string m_runTotalText;
    SStepCounters m_runCounters;

    SItemWork m_work;
};

ERunOutcome CRunWorker::Run()
{
    m_run.Show([](IConversionDisplay& d) {
        d.SetAbortCaption(ResourceStringOr(IDS_CONV_ABORT, "&Abort"));
        d.SetItemProgress(0);
        d.SetProjectProgress(0);
        d.SetItemTimeLeft("");
        d.SetItemCompression("");
        d.SetItemStatistics("");
        d.SetItemTimeRunning("");
        d.SetProjectTimeLeft("");
        d.SetProjectCompression("");
        d.SetProjectStatistics("");
        d.SetProjectTimeRunning("");
        d.SetPauseEnabled(true);
        d.ClearErrorLog();
    });

    m_settings = ReadRunSettings();
    m_deleteAfterConversion = m_run.options.deleteAfterConversion.value_or(m_settings.deleteAfterConversion);
    m_statistics = m_run.options.statisticsFolder.empty()
                       ? std::make_unique<CPerformanceStatistics>()
                       : std::make_unique<CPerformanceStatistics>(m_run.options.statisticsFolder,
                                                                  m_run.options.statisticsLockFolder);

    for (const SRunItem& item : m_run.items) {
        if (IsRunnable(item)) {
            ++m_itemCount;
            m_runTotal += item.dataLength;
        }
    }
    const std::string zeroLine = ZeroStatisticsLine(IDS_CONV_PROJECT_STATISTICS_LINE);
    m_run.Show([&](IConversionDisplay& d) { d.SetProjectStatistics(zeroLine); });
    m_runStart = Now();
    m_runTotalText = ByteSizeText(m_runTotal);
    m_runCounters = {};

    for (std::size_t index = 0; index < m_run.items.size(); ++index) {
        const EItemOutcome outcome = ConvertItem(index);
        {
            std::lock_guard lock(m_run.mutex);
            m_run.outcomes[index] = outcome;
        }
        if (outcome == EItemOutcome::NotReached) {
            continue;
        }
        m_run.Show([&](IConversionDisplay& d) { d.ItemEnded(index, outcome); });
        if (outcome == EItemOutcome::Aborted) {
            return ERunOutcome::Aborted;
        }
    }

    m_run.Show([](IConversionDisplay& d) {
        d.SetHeader(ResourceStringOr(IDS_CONV_FINISHED, ""));
        d.SetAbortCaption(ResourceStringOr(IDS_CONV_BACK, "&Back"));
        d.SetItemProgress(100);
        d.SetProjectProgress(100);
        d.SetItemTimeLeft("");
        d.SetItemStatistics("");
        d.SetProjectTimeLeft("");
        d.SetProjectStatistics("");
        d.SetPauseEnabled(false);
    });
    return ERunOutcome::Finished;
}

EItemOutcome CRunWorker::ConvertItem(std::size_t index)
{
    const SRunItem& item = m_run.items[index];
    m_work = SItemWork{};
    m_work.start = Now();
    if (!IsRunnable(item)) {
        return EItemOutcome::NotReached;
    }

    m_work.sizeText = FormatByteSize(item.dataLength);
    ++m_itemNumber;
    const std::string header =
        FormatRunText(ResourceStringOr(IDS_CONV_PROCESSING_ITEM, ""), {m_itemNumber, m_itemCount});
    const std::string sourceText = FormatText(item.chain.front());
    const std::string destinationText = FormatText(item.chain.back());
    m_run.Show([&](IConversionDisplay& d) {
        d.SetHeader(header);
        d.SetSourceFileName(item.sourcePath);
        d.SetSourceFormat(sourceText);
        d.SetDestinationFileName(item.destinationPath);
        d.SetDestinationFormat(destinationText);
        d.SetQuality(item.highQuality != 0 ? ResourceStringOr(IDS_CONV_HIGH_QUALITY, "High Quality")
                                           : ResourceStringOr(IDS_CONV_LOW_QUALITY, "Low Quality"));
        d.SetItemProgress(0);
        d.SetItemStatistics(ZeroStatisticsLine(IDS_CONV_ITEM_STATISTICS_LINE));
    });

    if (item.sourceLibrary == nullptr || item.destinationLibrary == nullptr) {
        return EItemOutcome::PassedOver;
    }

    try {
        if (!OpenStreamsAndBuffers(index) || !OpenFiles(index)) {
            return EItemOutcome::Failed;
        }
        return RunCycles(index);
    } catch (const std::bad_alloc&) {
        // Out of memory in the worker's own small tables: the item fails as
        // a failed buffer allocation does.
        return Fail(index, kSideSource, nullptr, IDL_STREAM_OPEN, 0);
    }
}

bool CRunWorker::OpenStreamsAndBuffers(std::size_t index)
{
    const SRunItem& item = m_run.items[index];
    const std::size_t steps = item.chain.size() - 1;
    if (steps > kMaxSteps) {
        Fail(index, kSideSource, nullptr, IDL_STREAM_OPEN, 0);
        return false;
    }
    m_work.steps = steps;

    std::vector<uint32_t> rates;
    for (const CAudioFormat& format : item.chain) {
        rates.push_back(format.GetFormat() != nullptr ? format.GetFormat()->nAvgBytesPerSec : 0);
    }
    SBufferShares shares;
    if (!ShareBuffers(rates, static_cast<uint32_t>(m_settings.maxBufferSize),
                      static_cast<uint32_t>(m_settings.bufferOverhead), shares)) {
        Fail(index, kSideSource, nullptr, IDL_STREAM_OPEN, 0);
        return false;
    }

    m_work.streams.reserve(steps);
    m_work.buffers.reserve(steps + 1);
    m_work.sizes.assign(steps + 1, 0);
    m_work.carried.assign(steps + 1, 0);
    const uint32_t openFlags = item.highQuality != 0 ? ACM_STREAMOPENF_NONREALTIME : 0;
    const auto allocateStage = [&](std::size_t stage) {
        m_work.sizes[stage] = shares.sizes[stage];
        // At least one byte, so that an empty share is still a valid buffer.
        m_work.buffers.emplace_back(static_cast<uint8_t*>(Allocate(std::max<uint32_t>(shares.sizes[stage], 1))));
        return m_work.buffers.back() != nullptr;
    };
    for (std::size_t k = 0; k < steps; ++k) {
        HACMSTREAM stream = nullptr;
        if (m_acm.open(&stream, nullptr, item.chain[k].GetFormat(), item.chain[k + 1].GetFormat(), nullptr, 0, 0,
                       openFlags) != MMSYSERR_NOERROR ||
            stream == nullptr) {
            Fail(index, kSideSource, nullptr, IDL_STREAM_OPEN, 0);
            return false;
        }
        m_work.streams.push_back(stream);
        if ((k == 0 && !allocateStage(0)) || !allocateStage(k + 1)) {
            Fail(index, kSideSource, nullptr, IDL_STREAM_OPEN, 0);
            return false;
        }
    }
    return true;
}

bool CRunWorker::OpenFiles(std::size_t index)
{
    const SRunItem& item = m_run.items[index];
    int32_t code = item.sourceLibrary->OpenRead(item.sourcePath, m_work.source);
    if (code != 0) {
        Fail(index, kSideSource, item.sourceLibrary, IDL_SOURCE_OPEN, code);
        return false;
    }
    m_work.sourceOpen = true;
    code = item.destinationLibrary->OpenWrite(item.destinationPath, m_work.destination);
    if (code != 0) {
        Fail(index, kSideDestination, item.destinationLibrary, IDL_DESTINATION_OPEN, code);
        return false;
    }
    m_work.destinationOpen = true;
    code = item.sourceLibrary->PreRead(m_work.source);
    if (code != 0) {
        Fail(index, kSideSource, item.sourceLibrary, IDL_PREPARE_READ, code);
        return false;
    }
    code = item.destinationLibrary->PutFormat(m_work.destination, item.chain.back());
    if (code != 0) {
        Fail(index, kSideDestination, item.destinationLibrary, IDL_FORMAT_WRITE, code);
        return false;
    }
    code = item.destinationLibrary->PreWrite(m_work.destination);
    if (code != 0) {
        Fail(index, kSideDestination, item.destinationLibrary, IDL_PREPARE_WRITE, code);
        return false;
    }
    return true;
}

EItemOutcome CRunWorker::RunCycles(std::size_t index)
{
    const SRunItem& item = m_run.items[index];
    const std::size_t steps = m_work.steps;
    for (;;) {
        if (m_work.consumed == item.dataLength && m_work.firstActive == steps) {
            return FinishItem(index);
        }
        if (m_run.WaitWhilePausedAndCheckAbort()) {
            // The destination stays as far as it was written, closed.
            ReleaseStreamsAndBuffers();
            CloseFiles(item);
            return EItemOutcome::Aborted;
        }

        m_work.progress = false;
        std::fill(std::begin(m_work.produced), std::end(m_work.produced), 0u);
        uint32_t got = 0;
        if (!ReadSource(index, got)) {
            return EItemOutcome::Failed;
        }

        for (std::size_t k = m_work.firstActive; k < steps; ++k) {
            const uint32_t input = m_work.carried[k] + (k == 0 ? got : m_work.produced[k - 1]);
            // A step's input is complete once everything before it is through.
            const bool inputComplete = k == 0 ? uint64_t{m_work.consumed} + input == item.dataLength
                                              : m_work.stageDone[k - 1];
            if (input != 0) {
                const EStep step = ConvertStep(index, k, input, inputComplete);
                if (step == EStep::Failed) {
                    return EItemOutcome::Failed;
                }
                if (step == EStep::Waiting) {
                    continue;
                }
            }
            if (inputComplete && m_work.carried[k] == 0 && !m_work.stageDone[k] &&
                FlushStep(index, k) == EStep::Failed) {
                return EItemOutcome::Failed;
            }
        }

        const uint32_t output = m_work.produced[steps - 1];
        if (output != 0) {
            const int32_t code =
                item.destinationLibrary->Write(m_work.destination, m_work.buffers[steps].get(), output);
            if (code != 0) {
                return Fail(index, kSideDestination, item.destinationLibrary, IDL_AUDIO_WRITE, code);
            }
        }

        UpdateDisplay(item);

        while (m_work.firstActive < steps && m_work.stageDone[m_work.firstActive]) {
            ++m_work.firstActive;
        }
        if (!m_work.progress) {
            // Nothing was read, consumed, produced or finished: the buffers
            // cannot take what the streams need.
            return Fail(index, kSideSource, nullptr, IDL_STREAM_PREPARE, 0);
        }
    }
}

bool CRunWorker::ReadSource(std::size_t index, uint32_t& got)
{
    const SRunItem& item = m_run.items[index];
    const uint32_t carried = m_work.carried[0];
    const uint32_t unread = item.dataLength - m_work.consumed - carried;
    const uint32_t want = std::min(unread, m_work.sizes[0] - carried);
    got = 0;
    if (want == 0) {
        return true;
    }
    uint32_t count = want;
    const int32_t code = item.sourceLibrary->Read(m_work.source, m_work.buffers[0].get() + carried, count);
    if (code != 0) {
        Fail(index, kSideSource, item.sourceLibrary, IDL_AUDIO_READ, code);
        return false;
    }
    // A source that ends before its stated length, or claims more than it was
    // asked for, cannot be read on.
    if (count == 0 || count > want) {
        Fail(index, kSideSource, item.sourceLibrary, IDL_AUDIO_READ, 0);
        return false;
    }
    got = count;
    m_work.progress = true;
    return true;
}

CRunWorker::EStep CRunWorker::ConvertStep(std::size_t index, std::size_t k, uint32_t input, bool lastPiece)
{
    uint8_t* source = m_work.buffers[k].get();
    const uint32_t outputOffset = m_work.carried[k + 1];
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = source;
    header.cbSrcLength = input;
    header.pbDst = m_work.buffers[k + 1].get() + outputOffset;
    header.cbDstLength = m_work.sizes[k + 1] - outputOffset;

    uint32_t padding = 0;
    MMRESULT result = m_acm.prepareHeader(m_work.streams[k], &header, 0);
    if (result != MMSYSERR_NOERROR) {
        if (!lastPiece) {
            m_work.carried[k] = input;
            return EStep::Waiting;
        }
        // The last piece of a step is padded with silence until the stream
        // takes it.
        const uint32_t increment = static_cast<uint32_t>(m_settings.lengthIncrement);
        while (result != MMSYSERR_NOERROR && uint64_t{input} + padding + increment <= m_work.sizes[k]) {
            std::memset(source + input + padding, 0, increment);
            padding += increment;
            header.cbSrcLength = input + padding;
            result = m_acm.prepareHeader(m_work.streams[k], &header, 0);
        }
        if (result != MMSYSERR_NOERROR) {
            Fail(index, kSideSource, nullptr, IDL_STREAM_PREPARE, 0);
            return EStep::Failed;
        }
    }

    uint8_t* const destination = header.pbDst;
    const uint32_t room = header.cbDstLength;
    result = m_acm.convert(m_work.streams[k], &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    uint32_t usedIn = header.cbSrcLengthUsed;
    uint32_t usedOut = header.cbDstLengthUsed;
    if (result == MMSYSERR_NOERROR && usedIn == 0) {
        // Less than a block consumed: once more without block alignment,
        // behind what the first call produced. A call that consumed anything
        // is progress; converting its source again would repeat audio.
        header.pbDst = destination + usedOut;
        header.cbDstLength = room - usedOut;
        result = m_acm.convert(m_work.streams[k], &header, 0);
        usedIn = header.cbSrcLengthUsed;
        usedOut += header.cbDstLengthUsed;
        header.pbDst = destination;
        header.cbDstLength = room;
        if (result == MMSYSERR_NOERROR && usedIn == 0 && usedOut == 0) {
            result = MMSYSERR_ERROR;
        }
    }
    if (result != MMSYSERR_NOERROR) {
        m_acm.unprepareHeader(m_work.streams[k], &header, 0);
        Fail(index, kSideSource, nullptr, IDL_CONVERSION, 0);
        return EStep::Failed;
    }

    // With padding only the real bytes count: a room too small for the whole
    // padded piece leaves the unconverted rest of the audio for the next
    // cycle, never the silence behind it.
    const uint32_t realUsed = std::min(usedIn, input);
    m_work.carried[k] = input - realUsed;
    m_work.produced[k] = usedOut;
    if (k == 0) {
        m_work.consumed += realUsed;
        m_runConsumed += realUsed;
    }
    if (usedIn != 0 && usedOut != 0 && padding == 0) {
        m_work.counters.consumed[k] += usedIn;
        m_work.counters.produced[k] += usedOut;
        m_runCounters.consumed[k] += usedIn;
        m_runCounters.produced[k] += usedOut;
    }
    if (m_work.carried[k] != 0 && realUsed != 0) {
        std::memmove(source, source + realUsed, m_work.carried[k]);
    }
    if (usedIn != 0 || usedOut != 0) {
        m_work.progress = true;
    }
    if (m_acm.unprepareHeader(m_work.streams[k], &header, 0) != MMSYSERR_NOERROR) {
        AddErrorLogEntry(index, kSideSource, nullptr, IDL_STREAM_UNPREPARE, 0, kSeverityWarning);
    }
    return EStep::Ran;
}

CRunWorker::EStep CRunWorker::FlushStep(std::size_t index, std::size_t k)
{
    // The stream's tail (resampler, encoder delay, decoded frames held back)
    // comes out with END calls on an empty source until a call leaves room.
    for (;;) {
        const uint32_t offset = m_work.carried[k + 1] + m_work.produced[k];
        const uint32_t room = m_work.sizes[k + 1] - offset;
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = m_work.buffers[k].get();
        header.cbSrcLength = 0;
        header.pbDst = m_work.buffers[k + 1].get() + offset;
        header.cbDstLength = room;
        if (m_acm.prepareHeader(m_work.streams[k], &header, 0) != MMSYSERR_NOERROR) {
            // No room for another piece of the tail in this cycle.
            return EStep::Waiting;
        }
        const MMRESULT result = m_acm.convert(m_work.streams[k], &header, ACM_STREAMCONVERTF_END);
        if (result != MMSYSERR_NOERROR) {
            m_acm.unprepareHeader(m_work.streams[k], &header, 0);
            Fail(index, kSideSource, nullptr, IDL_CONVERSION, 0);
            return EStep::Failed;
        }
        const uint32_t usedOut = header.cbDstLengthUsed;
        m_work.produced[k] += usedOut;
        if (m_acm.unprepareHeader(m_work.streams[k], &header, 0) != MMSYSERR_NOERROR) {
            AddErrorLogEntry(index, kSideSource, nullptr, IDL_STREAM_UNPREPARE, 0, kSeverityWarning);
        }
        if (usedOut != 0) {
            m_work.progress = true;
        }
        if (usedOut < room) {
            m_work.stageDone[k] = true;
            m_work.progress = true;
            return EStep::Ran;
        }
    }
}

void CRunWorker::UpdateDisplay(const SRunItem& item)
{
    const uint64_t now = Now();
    const uint64_t itemElapsed = now - m_work.start;
    m_work.rate = RatePerSecond(m_work.consumed, itemElapsed);
    const double itemPercent = Percentage(m_work.consumed, item.dataLength);
    const std::string itemLine =
        FormatRunText(ResourceStringOr(IDS_CONV_ITEM_STATISTICS_LINE, ""),
                      {FormatByteSize(m_work.consumed), m_work.sizeText, itemPercent, RateText(m_work.rate)});
    const std::string itemCompression = CompressionText(CompressionPercentage(m_work.counters, m_work.steps));
    const auto itemLeft = DurationAtRate(item.dataLength - m_work.consumed, m_work.rate);
    const auto itemWhole = DurationAtRate(item.dataLength, m_work.rate);
    const std::string itemTimeLeft =
        itemLeft && itemWhole ? FormatRunText(ResourceStringOr(IDS_CONV_ITEM_TIME_LEFT_VALUE, "%s of %s"),
                                              {FormatDuration(*itemLeft, false, false),
                                               FormatDuration(*itemWhole, false, false)})
                              : std::string(kNoValueText);
    const std::string itemRunning = FormatDuration(static_cast<uint32_t>(std::min<uint64_t>(itemElapsed, UINT32_MAX)),
                                                   false, false);

    const uint64_t runElapsed = now - m_runStart;
    const std::optional<uint32_t> runRate = RatePerSecond(m_runConsumed, runElapsed);
    const double runPercent = Percentage(m_runConsumed, m_runTotal);
    const std::string runLine =
        FormatRunText(ResourceStringOr(IDS_CONV_PROJECT_STATISTICS_LINE, ""),
                      {ByteSizeText(m_runConsumed), m_runTotalText, runPercent, RateText(runRate)});
    const std::string runCompression = CompressionText(CompressionPercentage(m_runCounters, kMaxSteps));
    const auto runLeft = DurationAtRate(m_runTotal - std::min(m_runConsumed, m_runTotal), runRate);
    const auto runWhole = DurationAtRate(m_runTotal, runRate);
    const std::string runTimeLeft =
        runLeft && runWhole ? FormatRunText(ResourceStringOr(IDS_CONV_PROJECT_TIME_LEFT_VALUE, "%s of %s"),
                                            {FormatDuration(*runLeft, false, false),
                                             FormatDuration(*runWhole, false, false)})
                            : std::string(kNoValueText);
    const std::string runRunning =
        FormatDuration(static_cast<uint32_t>(std::min<uint64_t>(runElapsed, UINT32_MAX)), false, false);

    m_run.Show([&](IConversionDisplay& d) {
        d.SetItemStatistics(itemLine);
        d.SetItemCompression(itemCompression);
        d.SetItemTimeLeft(itemTimeLeft);
        d.SetItemTimeRunning(itemRunning);
        d.SetItemProgress(static_cast<uint32_t>(itemPercent));
        d.SetProjectStatistics(runLine);
        d.SetProjectCompression(runCompression);
        d.SetProjectTimeLeft(runTimeLeft);
        d.SetProjectTimeRunning(runRunning);
        d.SetProjectProgress(static_cast<uint32_t>(std::min(runPercent, 100.0)));
    });
}

EItemOutcome CRunWorker::FinishItem(std::size_t index)
{
    const SRunItem& item = m_run.items[index];
    // A rate measured over no time says nothing; it is not recorded.
    if (m_run.IsLoggingActive() && m_work.rate && *m_work.rate != 0) {
        m_statistics->SetRate(*m_work.rate);
        m_statistics->RecordPerformance(item.chain.front(), item.chain.back(), item.highQuality);
    }
    ReleaseStreamsAndBuffers();

    int32_t code = item.sourceLibrary->PostRead(m_work.source);
    if (code != 0) {
        AddErrorLogEntry(index, kSideSource, item.sourceLibrary, IDL_FINALIZE_READ, code, kSeverityWarning);
    }
    code = item.destinationLibrary->PostWrite(m_work.destination);
    if (code != 0) {
        CloseFiles(item);
        AddErrorLogEntry(index, kSideDestination, item.destinationLibrary, IDL_FINALIZE_WRITE, code, kSeverityError);
        return EItemOutcome::Failed;
    }
    code = item.destinationLibrary->CloseWrite(m_work.destination);
    m_work.destinationOpen = false;
    if (code != 0) {
        CloseFiles(item);
        AddErrorLogEntry(index, kSideDestination, item.destinationLibrary, IDL_DESTINATION_CLOSE, code,
                         kSeverityError);
        return EItemOutcome::Failed;
    }
    code = item.sourceLibrary->CloseRead(m_work.source);
    m_work.sourceOpen = false;
    if (code != 0) {
        AddErrorLogEntry(index, kSideSource, item.sourceLibrary, IDL_SOURCE_CLOSE, code, kSeverityWarning);
    }
    if (m_deleteAfterConversion) {
        std::remove(item.sourcePath.c_str());
    }
    return EItemOutcome::Converted;
}

void CRunWorker::ReleaseStreamsAndBuffers()
{
    while (!m_work.streams.empty()) {
        m_acm.close(m_work.streams.back(), 0);
        m_work.streams.pop_back();
    }
    m_work.buffers.clear();
    m_work.sizes.clear();
    m_work.carried.clear();
}

void CRunWorker::CloseFiles(const SRunItem& item)
{
    if (m_work.sourceOpen) {
        item.sourceLibrary->CloseRead(m_work.source);
        m_work.sourceOpen = false;
    }
    if (m_work.destinationOpen) {
        item.destinationLibrary->CloseWrite(m_work.destination);
        m_work.destinationOpen = false;
    }
}

void CRunWorker::AddErrorLogEntry(std::size_t index, char side, const CFileFormatLibrary* library,
                                  uint32_t messageId, int32_t code, char severity)
{
    const SRunItem& item = m_run.items[index];
    SErrorLogEntry entry;
    entry.itemIndex = index;
    entry.projectItem = item.projectItem;
    entry.messageId = messageId;
    if (library != nullptr && code != 0) {
        library->GetErrorMessage(code, entry.libraryMessage);
    }
    entry.severity = severity;
    entry.side = side;
    entry.path = side == kSideDestination ? item.destinationPath : item.sourcePath;
    const std::string line = FormatErrorLogLine(entry);
    {
        std::lock_guard lock(m_run.mutex);
        m_run.errorLog.push_back(entry);
    }
    m_run.Show([&](IConversionDisplay& d) { d.AddErrorLogLine(line, entry); });
}

EItemOutcome CRunWorker::Fail(std::size_t index, char side, const CFileFormatLibrary* library, uint32_t messageId,
                              int32_t code)
{
    ReleaseStreamsAndBuffers();
    CloseFiles(m_run.items[index]);
    AddErrorLogEntry(index, side, library, messageId, code, kSeverityError);
    return EItemOutcome::Failed;
}

} // namespace

ERunOutcome RunConversionWorker(CConversionRun::SShared& shared)
{
    CRunWorker worker(shared);
    return worker.Run();
}
