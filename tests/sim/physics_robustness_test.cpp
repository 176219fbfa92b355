// A long session of random driving on real ODE: keys held and released at random, the crank
// speed driven into the hundreds, the friction into the tens of thousands, the chassis nudged
// about. The machine may end up anywhere, but its state stays finite.
#include "tests/sim/physics_test_util.h"

#include <dinput.h>

#include <cstdio>
#include <random>

namespace {

using namespace physics_test;

bool BodyIsFinite(dBodyID body) {
    const dReal* parts[] = {dBodyGetPosition(body), dBodyGetLinearVel(body),
                            dBodyGetAngularVel(body), dBodyGetQuaternion(body)};
    for (const dReal* v : parts) {
        for (int i = 0; i < 3; ++i) {
            if (!std::isfinite(v[i])) return false;
        }
    }
    return std::isfinite(dBodyGetQuaternion(body)[3]);
}

TEST_F(SimWorldTest, RandomDrivingKeepsTheStateFinite) {
    struct Key {
        int code;
        int percentHeld; // chance to be held in each stretch of 50 ticks
    };
    // R and T more often than F and G, so speed and friction climb.
    const Key keys[] = {
        {DIK_UP, 30},  {DIK_DOWN, 20}, {DIK_LEFT, 20}, {DIK_RIGHT, 20},
        {DIK_TAB, 10}, {DIK_R, 60},    {DIK_F, 10},    {DIK_T, 70},
        {DIK_G, 10},   {DIK_Y, 20},    {DIK_H, 20},    {DIK_SPACE, 10},
    };
    std::mt19937 rng(20240607);
    bool held[std::size(keys)] = {};
    float highestSpeed = crankSpeed, highestFriction = frictionCoefficient, widestNudge = 0;

    for (int tick = 0; tick < 20000; ++tick) {
        if (tick % 50 == 0) {
            for (size_t k = 0; k < std::size(keys); ++k) {
                held[k] = static_cast<int>(rng() % 100) < keys[k].percentHeld;
            }
        }
        SetKeys({});
        for (size_t k = 0; k < std::size(keys); ++k) {
            if (held[k]) keyState[keys[k].code] = 0x80;
        }
        ReadControls();
        StepPhysics();

        highestSpeed = std::max(highestSpeed, crankSpeed);
        highestFriction = std::max(highestFriction, frictionCoefficient);
        widestNudge = std::max(widestNudge, std::fabs(nudgeAmount));
        ASSERT_TRUE(BodyIsFinite(chassisBody)) << "chassis at tick " << tick;
        EXPECT_GE(viewMode, 0);
        EXPECT_LE(viewMode, 2);
    }
    for (int n = 0; n < kLinkCount; ++n)
        EXPECT_TRUE(BodyIsFinite(linkBodies[n])) << "link " << n;
    std::printf("highest crank speed %.1f, friction %.0f, nudge %.1f\n", highestSpeed,
                highestFriction, widestNudge);
    // The run did reach the extremes it is meant to cover.
    EXPECT_GT(highestSpeed, 100.0f);
    EXPECT_GT(highestFriction, 10000.0f);
    EXPECT_GT(widestNudge, 10.0f);
}

} // namespace
