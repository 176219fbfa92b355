// Measurements for --timing: wall times of ticks on the real clock (the program itself runs on
// the virtual clock), heap allocation counts and resident memory.
#pragma once

#include <cstdint>
#include <vector>

// True when this build counts heap allocations (not under the address sanitizer, which owns
// the allocator there).
bool AllocationCountingAvailable();
// Calls of malloc, calloc, realloc and the aligned allocators since the start: by this thread,
// and by every thread (the GL driver allocates on its own worker threads).
uint64_t AllocationsOnThisThread();
uint64_t AllocationsOnAllThreads();
// Allocations since the start made inside the physics library's collision and step calls (our
// contact callback, which runs inside the collision, included), and those the GL driver made
// itself (outside those calls), directly or through the C and C++ runtime (strdup, operator
// new), each on this thread and on every thread. The rest is the program's and the platform
// layer's own.
struct AllocationSources {
    uint64_t physicsThisThread = 0, physicsAllThreads = 0;
    uint64_t driverThisThread = 0, driverAllThreads = 0;
};
// Starts telling the driver's allocations apart (each allocation then costs a little more).
void CountAllocationSources();
AllocationSources AllocationsBySource();

// Resident set size in KiB from /proc/self/status; 0 if it cannot be read.
long ResidentKiB();

// Wall time in nanoseconds of a monotonic clock.
int64_t WallNs();

struct Percentiles {
    double medianMs = 0;
    double p99Ms = 0;
};
// Nearest-rank percentiles of durations in nanoseconds. Empty input gives zeros.
Percentiles SummariseNs(std::vector<int64_t> durations);
