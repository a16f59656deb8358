#pragma once
// A cheap millisecond clock for guards that look at the time often.
//
// CLOCK_MONOTONIC_COARSE is read without a system call in a few nanoseconds
// (a precise clock costs several times that); it moves in steps of a few
// milliseconds, which is plenty for limits of a second or for flushing files.

#include <time.h>

#include <cstdint>

namespace ef2 {

inline int64_t coarseMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

}  // namespace ef2
