// What a conversion run shows while it works: one call per display field.
// The worker calls these on its own thread, in the order the fields change.
// An adapter that hands the calls to another thread must not wait for the
// thread that may disconnect it (CConversionRun::DisconnectDisplay), and may
// coalesce progress-type fields, but never error-log lines or the end of the
// worker. Every call has an empty default, so an adapter implements only the
// fields it shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ErrorLog.h"

enum class ERunOutcome {
    Finished, // went through every item
    Aborted,  // stopped at an abort request
};

enum class EItemOutcome {
    NotReached, // the run ended before the item (abort)
    Converted,  // got through; warnings may have been logged
    Failed,     // one 'E' line was logged
    PassedOver, // a library is missing: counted and shown, not converted
    Aborted,    // the abort came while the item was converting
};

class IConversionDisplay {
public:
    virtual ~IConversionDisplay() = default;

    virtual void SetHeader(const std::string& /*text*/) {}
    virtual void SetSourceFileName(const std::string& /*text*/) {}
    virtual void SetSourceFormat(const std::string& /*text*/) {}
    virtual void SetDestinationFileName(const std::string& /*text*/) {}
    virtual void SetDestinationFormat(const std::string& /*text*/) {}
    virtual void SetQuality(const std::string& /*text*/) {}

    virtual void SetItemProgress(uint32_t /*percent*/) {}
    virtual void SetItemStatistics(const std::string& /*text*/) {}
    virtual void SetItemTimeRunning(const std::string& /*text*/) {}
    virtual void SetItemTimeLeft(const std::string& /*text*/) {}
    virtual void SetItemCompression(const std::string& /*text*/) {}

    virtual void SetProjectProgress(uint32_t /*percent*/) {}
    virtual void SetProjectStatistics(const std::string& /*text*/) {}
    virtual void SetProjectTimeRunning(const std::string& /*text*/) {}
    virtual void SetProjectTimeLeft(const std::string& /*text*/) {}
    virtual void SetProjectCompression(const std::string& /*text*/) {}

    virtual void SetAbortCaption(const std::string& /*text*/) {}
    virtual void SetPauseEnabled(bool /*enabled*/) {}
    virtual void ClearErrorLog() {}
    virtual void AddErrorLogLine(const std::string& /*line*/, const SErrorLogEntry& /*entry*/) {}

    // An item of the run is through, whichever way.
    virtual void ItemEnded(std::size_t /*itemIndex*/, EItemOutcome /*outcome*/) {}
    // The worker's last call; it has released everything it held.
    virtual void WorkerStopped(ERunOutcome /*outcome*/) {}
};
