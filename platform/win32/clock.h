// The time base behind timeGetTime and Sleep. The program reads time only through those two
// calls; tests and the replay runner install a VirtualClock so that nothing waits and every run
// sees the same times.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds, truncated to 32 bits: wraps every 49.7 days like the Windows counter.
    virtual uint32_t NowMs() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
};

// Monotonic system time; Sleep really sleeps.
class RealClock final : public Clock {
  public:
    uint32_t NowMs() override;
    void SleepMs(uint32_t milliseconds) override;
};

// Time that moves only when told to: SleepMs advances it, and so does Advance (standing in
// for the time a tick's work takes).
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(uint32_t startMs = 0) : nowMs_(startMs) {}
    uint32_t NowMs() override { return nowMs_; }
    void SleepMs(uint32_t milliseconds) override {
        nowMs_ += milliseconds;
        sleptMs_ += milliseconds;
        lastSleepMs_ = milliseconds;
        ++sleepCalls_;
    }
    void Advance(uint32_t milliseconds) { nowMs_ += milliseconds; }
    uint32_t sleptMs() const { return sleptMs_; }
    uint32_t sleepCalls() const { return sleepCalls_; }
    uint32_t lastSleepMs() const { return lastSleepMs_; }

  private:
    uint32_t nowMs_;
    uint32_t sleptMs_ = 0;
    uint32_t sleepCalls_ = 0;
    uint32_t lastSleepMs_ = 0;
};

// Installs the clock used by timeGetTime and Sleep; nullptr restores the real clock.
// The caller keeps ownership and must outlive its use.
void SetClock(Clock* clock);
Clock& CurrentClock();

} // namespace platform
