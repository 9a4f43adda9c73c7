// The run's priority settings as Linux nice values. The process class sets
// the base (idle 19, normal 0, high -10, real-time -20) and the thread
// priority moves the worker from it (lowest +10 ... highest -10). Nice values
// belong to threads on Linux, so the worker sets its own.
#pragma once

#include <cstdint>

int NiceValueOfPriorityClass(int32_t priorityClass);
int NiceOffsetOfPriority(int32_t priority);
// Base plus offset, kept within -20..19.
int WorkerNiceValue(int32_t priorityClass, int32_t priority);

// Sets the calling thread's nice value. Raising a priority needs privileges;
// false when the system refused, which callers ignore.
bool SetCurrentThreadNiceValue(int nice);
int GetCurrentThreadNiceValue();
