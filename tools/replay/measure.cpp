// Measurement helpers for --timing.
//
// Allocation counting replaces malloc, free, calloc, realloc and the aligned allocators for the
// whole process (glibc lets a program do that) and forwards each call to glibc's own allocator
// (__libc_malloc and friends), so every pointer stays valid for every free. It only counts.
// Limits: glibc only; left out under the address sanitizer, whose allocator must stay in charge.
#include "tools/replay/measure.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define KOLTREP_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KOLTREP_COUNT_ALLOCATIONS 0
#endif
#endif
#if !defined(KOLTREP_COUNT_ALLOCATIONS) && defined(__GLIBC__)
#define KOLTREP_COUNT_ALLOCATIONS 1
#endif
#ifndef KOLTREP_COUNT_ALLOCATIONS
#define KOLTREP_COUNT_ALLOCATIONS 0
#endif

namespace {
std::atomic<uint64_t> allThreads{0};
// Initial-exec TLS in the executable: reading it never allocates, so it is safe inside malloc.
thread_local uint64_t thisThread = 0;

} // namespace

#if KOLTREP_COUNT_ALLOCATIONS
namespace {
inline void Count() {
    allThreads.fetch_add(1, std::memory_order_relaxed);
    ++thisThread;
}
} // namespace

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void free(void* pointer) {
    __libc_free(pointer);
}
void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    Count();
    return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    Count();
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer && size != 0) return ENOMEM;
    *result = pointer;
    return 0;
}
}
#endif

bool AllocationCountingAvailable() {
    return KOLTREP_COUNT_ALLOCATIONS != 0;
}
uint64_t AllocationsOnThisThread() {
    return thisThread;
}
uint64_t AllocationsOnAllThreads() {
    return allThreads.load(std::memory_order_relaxed);
}

long ResidentKiB() {
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (!file) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return kib;
}

int64_t WallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
