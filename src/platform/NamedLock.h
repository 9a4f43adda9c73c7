// CNamedLock: a lock shared by every process and thread of the user that
// names it, held as a kernel lock on a file in the runtime folder. The kernel
// drops it when its holder dies, so a crashed instance never blocks the next.
#pragma once

#include <chrono>
#include <string>

class CNamedLock {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{500};

    // lockFolder empty: $XDG_RUNTIME_DIR, or /tmp when that is not set.
    explicit CNamedLock(std::string name, std::string lockFolder = {});
    ~CNamedLock();

    CNamedLock(const CNamedLock&) = delete;
    CNamedLock& operator=(const CNamedLock&) = delete;

    // Polls until the lock is held or the timeout has passed. Each call opens
    // its own descriptor: flock belongs to the open file description, and a
    // shared one would let two threads of this process hold the lock at once.
    bool Acquire(std::chrono::milliseconds timeout = kDefaultTimeout);
    void Release();
    bool IsHeld() const { return m_descriptor >= 0; }

    const std::string& GetLockFilePath() const { return m_lockFilePath; }

    // The folder used when none is given.
    static std::string DefaultLockFolder();

private:
    std::string m_lockFilePath;
    int m_descriptor = -1;
};
