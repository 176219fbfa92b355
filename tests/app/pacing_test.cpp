// The fixed 50 ms tick on a virtual clock: sleeping out the rest of a tick, catching up after a
// late one, dropping a backlog, the counter's wrap, and the measured rate.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <platform/win32/clock.h>

#include "app/application.h"

namespace {

platform::VirtualClock* frameClock = nullptr;
std::vector<uint32_t> frameStarts;
std::vector<uint32_t> workMs; // work of each tick, by tick number; 0 past the end

void TimedFrame() {
    size_t tick = frameStarts.size();
    frameStarts.push_back(frameClock->NowMs());
    if (tick < workMs.size()) frameClock->Advance(workMs[tick]);
}

class PacingTest : public ::testing::Test {
  protected:
    void Start(uint32_t startMs, std::vector<uint32_t> work) {
        clock = platform::VirtualClock(startMs);
        frameClock = &clock;
        platform::SetClock(&clock);
        frameStarts.clear();
        workMs = std::move(work);
        StartFramePacing();
        application.frameCallback = TimedFrame;
    }
    void TearDown() override { platform::SetClock(nullptr); }

    // Runs ticks; returns how long each slept.
    std::vector<uint32_t> Run(int ticks) {
        std::vector<uint32_t> sleeps;
        for (int i = 0; i < ticks; ++i) {
            uint32_t before = clock.sleptMs();
            application.Tick();
            sleeps.push_back(clock.sleptMs() - before);
        }
        return sleeps;
    }
    // Tick starts relative to the clock's start.
    std::vector<uint32_t> Starts(uint32_t startMs) const {
        std::vector<uint32_t> relative;
        for (uint32_t start : frameStarts)
            relative.push_back(start - startMs);
        return relative;
    }

    platform::VirtualClock clock;
};

using Ms = std::vector<uint32_t>;

TEST_F(PacingTest, EachTickSleepsTheRestOfItsFiftyMilliseconds) {
    Start(1000, {0, 10, 49, 50 - 1});
    EXPECT_EQ(Run(5), (Ms{50, 40, 1, 1, 50}));
    EXPECT_EQ(Starts(1000), (Ms{0, 50, 100, 150, 200}));
}

TEST_F(PacingTest, LateTicksAreFollowedByTicksWithoutSleepUntilTheScheduleIsKept) {
    Start(0, {60});
    EXPECT_EQ(Run(3), (Ms{0, 40, 50}));
    EXPECT_EQ(Starts(0), (Ms{0, 60, 100}));

    Start(0, {190}); // just under four ticks late
    EXPECT_EQ(Run(6), (Ms{0, 0, 0, 10, 50, 50}));
    EXPECT_EQ(Starts(0), (Ms{0, 190, 190, 190, 200, 250}));
}

TEST_F(PacingTest, AStallOfFourTicksOrMoreDropsTheBacklog) {
    for (uint32_t stall : {200u, 201u, 1000u, 3600000u}) {
        Start(0, {stall});
        // The stalled tick, exactly one late tick, then the 50 ms pace again.
        EXPECT_EQ(Run(4), (Ms{0, 0, 50, 50})) << stall;
        EXPECT_EQ(Starts(0), (Ms{0, stall, stall, stall + 50})) << stall;
    }
}

TEST_F(PacingTest, TheCounterWrappingPast32BitsChangesNothing) {
    std::vector<uint32_t> work = {0, 20, 120, 0, 0, 300, 0, 0, 10};
    Start(0, work);
    Ms sleepsFromZero = Run(12);
    Ms startsFromZero = Starts(0);
    for (uint32_t start : {0xFFFFFFFFu - 100u, 0xFFFFFFFFu - 20u, 0xFFFFFFFFu}) {
        Start(start, work);
        EXPECT_EQ(Run(12), sleepsFromZero) << start;
        EXPECT_EQ(Starts(start), startsFromZero) << start;
    }
}

TEST_F(PacingTest, TheRateIsTheMeanOfTheLastTenTicks) {
    Start(0, {});
    Run(9);
    EXPECT_EQ(framesPerSecond, 20.0f); // not renewed before the tenth tick
    Run(11);
    EXPECT_EQ(framesPerSecond, 20.0f);

    Start(0, Ms(40, 80));
    Run(10);
    EXPECT_EQ(framesPerSecond, 12.5f);
    Run(10);
    EXPECT_EQ(framesPerSecond, 12.5f);
}

// Time that stands still: ten ticks take no time at all.
class FrozenClock final : public platform::Clock {
  public:
    uint32_t NowMs() override { return 777; }
    void SleepMs(uint32_t) override {}
};

TEST_F(PacingTest, TenTicksInNoTimeKeepThePreviousRate) {
    Start(0, Ms(10, 80));
    Run(10);
    ASSERT_EQ(framesPerSecond, 12.5f);
    FrozenClock frozen;
    platform::SetClock(&frozen);
    framePacing.rateMarkTime = 777;
    framePacing.rateCounter = 0;
    application.frameCallback = [] {};
    for (int i = 0; i < 30; ++i)
        application.Tick();
    EXPECT_EQ(framesPerSecond, 12.5f);
    EXPECT_TRUE(std::isfinite(framesPerSecond));
}

TEST_F(PacingTest, TheCorrectionLengthensEverySecondTick) {
    Start(0, {});
    framePacing.correctionMs = 10;
    EXPECT_EQ(Run(4), (Ms{50, 60, 50, 60}));
}

} // namespace

// The hook sees each tick once, after its frame and its sleep: the next tick's start time.
TEST_F(PacingTest, TheAfterTickHookRunsOnceAfterEachTicksSleep) {
    Start(0, {20, 70});
    static std::vector<uint32_t> hookTimes;
    hookTimes.clear();
    application.afterTick = [] { hookTimes.push_back(frameClock->NowMs()); };
    Run(2);
    application.afterTick = nullptr;
    EXPECT_EQ(Starts(0), (Ms{0, 50}));
    EXPECT_EQ(hookTimes, (Ms{50, 120}));
}
