// CPerformanceStatistics: how fast each kind of conversion runs on this
// machine, kept in "Orvano.STX" as 40-byte records (source head, destination
// head, quality, bytes of source data per second), shared by every running
// instance under the named lock "Orvano".
//
// Store objects are short-lived (one per run, estimate or listing); they only
// cache the file's path. Every file error is absorbed: an operation that
// cannot lock, open, read or write answers false and leaves the file whole.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "formats/AudioFormat.h"
#include "platform/NamedLock.h"

class CPerformanceStatistics {
public:
    static constexpr const char* kFileName = "Orvano.STX";
    static constexpr const char* kLockName = "Orvano";
    static constexpr uint32_t kRecordSize = 40;
    static constexpr uint32_t kKeySize = 36;

    // The file beside the executable, or in the per-user data folder when the
    // executable's folder cannot be written.
    CPerformanceStatistics();
    // The file in statisticsFolder and the lock in lockFolder (empty: the
    // runtime folder); for tests and for callers that know better.
    CPerformanceStatistics(std::string statisticsFolder, std::string lockFolder,
                           std::chrono::milliseconds lockTimeout = CNamedLock::kDefaultTimeout);

    // In and out value of the operations below, bytes of source data per second.
    uint32_t GetRate() const { return m_rate; }
    void SetRate(uint32_t rate) { m_rate = rate; }

    // Merges the rate member into the record of the key: a new key is
    // appended; a known one keeps (stored + measured) / 2, which also becomes
    // the rate member.
    bool RecordPerformance(const CAudioFormat& source, const CAudioFormat& destination, uint32_t quality);
    // Rate member := the recorded rate of the key, 0 when it has none. False
    // only when the file could not be had at all.
    bool LookupPerformance(const CAudioFormat& source, const CAudioFormat& destination, uint32_t quality);
    // The n-th record, counted from 1, with its formats as bare heads. Past the
    // last record (and for n = 0) the answer is true with rate 0.
    bool GetPerformanceRecord(uint32_t n, CAudioFormat& source, CAudioFormat& destination, uint32_t& quality);

    // The reset itself (after the user agreed): removes the file without the
    // lock. A missing file is no failure.
    bool DeleteStatisticsFile();

    // Full path of the file; empty when no place for it could be found.
    const std::string& GetPath();

    // Where the default constructor puts the file, for the given executable
    // folder: that folder when the file there can be written, otherwise
    // $XDG_DATA_HOME/Orvano/ (~/.local/share/Orvano/), created on demand.
    // Empty when neither is usable.
    static std::string ChooseStatisticsFolder(const std::string& executableFolder);

private:
    class LockedFile;

    bool BuildPath();

    uint32_t m_rate = 0;
    std::string m_path;
    std::string m_folder;
    bool m_folderGiven = false;
    std::string m_lockFolder;
    std::chrono::milliseconds m_lockTimeout = CNamedLock::kDefaultTimeout;
};

// The "Reset Performance Statistics" command: asks the user (question 364)
// and on Yes removes the file. Nothing else is reported, a missing file
// included. True when the file was removed.
bool ResetPerformanceStatistics(void* parentWindow, CPerformanceStatistics& statistics);
bool ResetPerformanceStatistics(void* parentWindow);
