#include "platform/NamedLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kPollInterval{5};

bool IsUsableFolder(const char* folder)
{
    return folder != nullptr && folder[0] == '/';
}

} // namespace

std::string CNamedLock::DefaultLockFolder()
{
    const char* runtimeFolder = std::getenv("XDG_RUNTIME_DIR");
    if (IsUsableFolder(runtimeFolder)) {
        return runtimeFolder;
    }
    return "/tmp";
}

CNamedLock::CNamedLock(std::string name, std::string lockFolder)
{
    const bool sharedFolder = lockFolder.empty() && !IsUsableFolder(std::getenv("XDG_RUNTIME_DIR"));
    if (lockFolder.empty()) {
        lockFolder = DefaultLockFolder();
    }
    if (lockFolder.back() != '/') {
        lockFolder += '/';
    }
    // /tmp is shared by all users: a lock file another user created there
    // could not be opened, and the lock would never be had.
    if (sharedFolder) {
        name += '-' + std::to_string(::getuid());
    }
    m_lockFilePath = lockFolder + name + ".lock";
}

CNamedLock::~CNamedLock()
{
    Release();
}

bool CNamedLock::Acquire(std::chrono::milliseconds timeout)
{
    if (m_descriptor >= 0) {
        return true;
    }
    int descriptor;
    do {
        descriptor = ::open(m_lockFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return false;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            m_descriptor = descriptor;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPollInterval, deadline - now));
    }
    ::close(descriptor);
    return false;
}

void CNamedLock::Release()
{
    if (m_descriptor >= 0) {
        // Closing the only descriptor of the description drops the lock.
        ::close(m_descriptor);
        m_descriptor = -1;
    }
}
