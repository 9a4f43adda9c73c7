#include "engine/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

id_t CurrentThreadId()
{
    return static_cast<id_t>(::syscall(SYS_gettid));
}

} // namespace

int NiceValueOfPriorityClass(int32_t priorityClass)
{
    switch (priorityClass) {
    case 64:
        return 19;
    case 128:
        return -10;
    case 256:
        return -20;
    default:
        return 0;
    }
}

int NiceOffsetOfPriority(int32_t priority)
{
    return -5 * std::clamp<int32_t>(priority, -2, 2);
}

int WorkerNiceValue(int32_t priorityClass, int32_t priority)
{
    return std::clamp(NiceValueOfPriorityClass(priorityClass) + NiceOffsetOfPriority(priority), -20, 19);
}

bool SetCurrentThreadNiceValue(int nice)
{
    return ::setpriority(PRIO_PROCESS, CurrentThreadId(), nice) == 0;
}

int GetCurrentThreadNiceValue()
{
    errno = 0;
    return ::getpriority(PRIO_PROCESS, CurrentThreadId());
}
