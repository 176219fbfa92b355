// timeGetTime and Sleep on the monotonic clock, through a replaceable Clock.
// Limits: the counter starts wherever CLOCK_MONOTONIC stands (not at boot on every kernel);
// only differences are meaningful, as with the Windows counter.
#include <platform/win32/clock.h>

#include <cerrno>
#include <ctime>

#include <windows.h>

namespace platform {
namespace {
RealClock realClock;
Clock* currentClock = nullptr;
} // namespace

uint32_t RealClock::NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms); // wraps like the 32-bit counter it stands in for
}

void RealClock::SleepMs(uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000u),
                       static_cast<long>(milliseconds % 1000u) * 1000000L};
    // A signal (SIGINT becoming a close request) must not cut the tick short.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

void SetClock(Clock* clock) {
    currentClock = clock;
}

Clock& CurrentClock() {
    return currentClock ? *currentClock : realClock;
}

} // namespace platform

DWORD timeGetTime() {
    return platform::CurrentClock().NowMs();
}

void Sleep(DWORD milliseconds) {
    platform::CurrentClock().SleepMs(milliseconds);
}
