// Measurement helpers for --timing.
//
// Allocation counting replaces malloc, free, calloc, realloc and the aligned allocators for the
// whole process (glibc lets a program do that) and forwards each call to glibc's own allocator
// (__libc_malloc and friends), so every pointer stays valid for every free. It only counts.
// Each allocation is also put down to its source: the physics calls of a tick (interposed
// here), the GL driver (the code that called malloc, or when that is the C or C++ runtime, as
// in strdup or operator new, any of the next few callers up the stack), or the rest.
// Limits: glibc only; left out under the address sanitizer, whose allocator must stay in charge.
#include "tools/replay/measure.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <unwind.h>

#include <algorithm>
#include <mutex>

#include <ode/ode.h>

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
std::atomic<uint64_t> allThreads{0}, physicsAllThreads{0}, driverAllThreads{0};
// Initial-exec TLS in the executable: reading it never allocates, so it is safe inside malloc.
thread_local uint64_t thisThread = 0, physicsThisThread = 0, driverThisThread = 0;
thread_local int physicsDepth = 0;
// Unused where the sanitizers own the allocator and nothing is counted.
[[maybe_unused]] thread_local bool classifying = false;

std::atomic<bool> sourcesCounted{false};

// Whose code an address is in: the GL driver's (Mesa's driver, its LLVM and its loaders), a
// runtime library's that allocates for its callers, or anyone else's.
enum class Owner : uint8_t { kOther, kDriver, kRuntime };

// The address range of each loaded object met so far, and its owner. Looked up without the
// loader's symbol search, which would cost more than the allocation it classifies.
struct ObjectRange {
    uintptr_t begin, end;
    Owner owner;
};
constexpr int kMaxRanges = 64;
ObjectRange ranges[kMaxRanges];
std::atomic<int> rangeCount{0};
std::mutex rangesLock;

bool IsDriverName(const char* name) {
    return std::strstr(name, "/dri/") || std::strstr(name, "libgallium") ||
           std::strstr(name, "libLLVM") || std::strstr(name, "_mesa") ||
           std::strstr(name, "libglapi") || std::strstr(name, "libGL") ||
           std::strstr(name, "libEGL");
}

bool IsRuntimeName(const char* name) {
    return std::strstr(name, "/libc.so") || std::strstr(name, "/libstdc++") ||
           std::strstr(name, "/libgcc_s") || std::strstr(name, "/libzstd") ||
           std::strstr(name, "/libz.so") || std::strstr(name, "/ld-linux");
}

Owner OwnerOfName(const char* name) {
    if (!name) return Owner::kOther;
    if (IsDriverName(name)) return Owner::kDriver;
    return IsRuntimeName(name) ? Owner::kRuntime : Owner::kOther;
}

int FindRange(dl_phdr_info* info, size_t, void* data) {
    auto* found = static_cast<ObjectRange*>(data);
    uintptr_t begin = UINTPTR_MAX, end = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        begin = std::min<uintptr_t>(begin, info->dlpi_addr + segment.p_vaddr);
        end = std::max<uintptr_t>(end, info->dlpi_addr + segment.p_vaddr + segment.p_memsz);
    }
    if (found->begin < begin || found->begin >= end) return 0;
    *found = {begin, end, OwnerOfName(info->dlpi_name)};
    return 1;
}

Owner OwnerOf(uintptr_t at) {
    const int count = rangeCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i)
        if (at >= ranges[i].begin && at < ranges[i].end) return ranges[i].owner;
    ObjectRange found{at, 0, Owner::kOther};
    if (!dl_iterate_phdr(FindRange, &found)) return Owner::kOther;
    std::lock_guard<std::mutex> hold(rangesLock);
    const int now = rangeCount.load(std::memory_order_relaxed);
    if (now < kMaxRanges) {
        ranges[now] = found;
        rangeCount.store(now + 1, std::memory_order_release);
    }
    return found.owner;
}

// Walks the stack from the frame that called malloc (a runtime library's) through a few of its
// callers, looking for the driver's code. Not just up to the first frame outside the runtime
// libraries: the executable's own copies of the C++ library's templates (std::string's, which
// the driver's LLVM binds to) stand between the driver and operator new.
struct CallerWalk {
    uintptr_t mallocCaller;
    bool reached = false;
    int frames = 0;
    bool driver = false;
};
constexpr int kMaxWalkedFrames = 16;

_Unwind_Reason_Code WalkStep(_Unwind_Context* context, void* data) {
    auto* walk = static_cast<CallerWalk*>(data);
    const uintptr_t ip = _Unwind_GetIP(context);
    if (ip == 0 || ++walk->frames > kMaxWalkedFrames) return _URC_END_OF_STACK;
    if (!walk->reached) { // this file's own frames, up to malloc's caller
        walk->reached = ip == walk->mallocCaller;
        return _URC_NO_REASON;
    }
    walk->driver = OwnerOf(ip - 1) == Owner::kDriver; // the call, not the instruction after it
    return walk->driver ? _URC_END_OF_STACK : _URC_NO_REASON;
}

[[maybe_unused]] bool InGlDriver(const void* caller) {
    const auto at = reinterpret_cast<uintptr_t>(caller);
    const Owner owner = OwnerOf(at);
    if (owner != Owner::kRuntime) return owner == Owner::kDriver;
    CallerWalk walk{at};
    _Unwind_Backtrace(WalkStep, &walk);
    return walk.driver;
}
} // namespace

#if KOLTREP_COUNT_ALLOCATIONS
namespace {
inline void Count(const void* caller) {
    // What the unwinder allocates while a source is looked up (it sorts the frame tables LLVM
    // registers for new code on its first search) is the measurement's own: not counted.
    if (classifying) return;
    allThreads.fetch_add(1, std::memory_order_relaxed);
    ++thisThread;
    if (physicsDepth > 0) {
        physicsAllThreads.fetch_add(1, std::memory_order_relaxed);
        ++physicsThisThread;
    } else if (sourcesCounted.load(std::memory_order_relaxed)) {
        classifying = true;
        if (InGlDriver(caller)) {
            driverAllThreads.fetch_add(1, std::memory_order_relaxed);
            ++driverThisThread;
        }
        classifying = false;
    }
}
} // namespace

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) {
    Count(__builtin_return_address(0));
    return __libc_malloc(size);
}
void free(void* pointer) {
    __libc_free(pointer);
}
void* calloc(size_t count, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    Count(__builtin_return_address(0));
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer && size != 0) return ENOMEM;
    *result = pointer;
    return 0;
}
}
#endif

void CountAllocationSources() {
    // The unwinder sets itself up on its first walk, which may allocate: done here, not
    // inside a counted allocation.
    CallerWalk walk{0};
    _Unwind_Backtrace(WalkStep, &walk);
    sourcesCounted.store(true, std::memory_order_relaxed);
}

AllocationSources AllocationsBySource() {
    return {physicsThisThread, physicsAllThreads.load(std::memory_order_relaxed), driverThisThread,
            driverAllThreads.load(std::memory_order_relaxed)};
}

// The physics calls of a tick, interposed: the program's calls land here (the executable's
// definitions come first) and go on to the library's own.
namespace {
template <typename Function> Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
struct PhysicsScope {
    PhysicsScope() { ++physicsDepth; }
    ~PhysicsScope() { --physicsDepth; }
};
} // namespace

extern "C" {
void dSpaceCollide(dSpaceID space, void* data, dNearCallback* callback) {
    static const auto next = Next<void (*)(dSpaceID, void*, dNearCallback*)>("dSpaceCollide");
    PhysicsScope scope;
    next(space, data, callback);
}
int dWorldStep(dWorldID world, dReal stepSize) {
    static const auto next = Next<int (*)(dWorldID, dReal)>("dWorldStep");
    PhysicsScope scope;
    return next(world, stepSize);
}
void dJointGroupEmpty(dJointGroupID group) {
    static const auto next = Next<void (*)(dJointGroupID)>("dJointGroupEmpty");
    PhysicsScope scope;
    next(group);
}
}

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
