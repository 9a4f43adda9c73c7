#include "platform/NamedLock.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/ScratchFolder.h"

using testsupport::ScratchFolder;

namespace {

TEST(NamedLock, IsExclusiveBetweenObjectsAndThreadsOfOneProcess)
{
    ScratchFolder folder;
    CNamedLock first("Orvano", folder.Path());
    CNamedLock second("Orvano", folder.Path());
    CNamedLock otherName("Other", folder.Path());

    ASSERT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire(std::chrono::milliseconds(10)));
    bool acquiredInThread = true;
    std::thread([&] {
        CNamedLock inThread("Orvano", folder.Path());
        acquiredInThread = inThread.Acquire(std::chrono::milliseconds(10));
    }).join();
    EXPECT_FALSE(acquiredInThread);
    EXPECT_TRUE(otherName.Acquire(std::chrono::milliseconds(10)));

    first.Release();
    EXPECT_TRUE(second.Acquire(std::chrono::milliseconds(10)));
    EXPECT_TRUE(second.IsHeld());
}

TEST(NamedLock, ALockHeldByAKilledProcessDoesNotBlockTheNext)
{
    ScratchFolder folder;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CNamedLock held("Orvano", folder.Path());
        const char answer = held.Acquire() ? 'y' : 'n';
        if (::write(ready[1], &answer, 1) != 1) {
            ::_exit(2);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(answer, 'y');

    CNamedLock next("Orvano", folder.Path());
    EXPECT_FALSE(next.Acquire(std::chrono::milliseconds(10))) << "the child holds it";

    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(next.Acquire());
}

TEST(NamedLock, DefaultFolderIsTheRuntimeFolderOrATmpFilePerUser)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved != nullptr ? saved : "";

    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(CNamedLock("Orvano").GetLockFilePath(), "/run/user/4242/Orvano.lock");

    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(CNamedLock("Orvano").GetLockFilePath(), "/tmp/Orvano-" + std::to_string(::getuid()) + ".lock");

    if (saved != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    }
}

TEST(NamedLock, AnUnopenableLockFileIsNoLock)
{
    ScratchFolder folder;
    CNamedLock lock("Orvano", folder.File("missing-folder"));
    EXPECT_FALSE(lock.Acquire(std::chrono::milliseconds(1)));
    EXPECT_FALSE(lock.IsHeld());
}

} // namespace
