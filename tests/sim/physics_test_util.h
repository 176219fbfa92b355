// Shared set-up for the tests of the physics world, step and driver controls: a freshly built
// world per test, ticks driven through the input module's own key bytes, and chassis pose
// helpers.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <ode/ode.h>

#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/world.h"
#include "tests/support/program/key_ticks.h"

namespace physics_test {

struct Vec3 {
    double x, y, z;
};

inline Vec3 ChassisPosition() {
    const dReal* p = dBodyGetPosition(chassisBody);
    return {p[0], p[1], p[2]};
}

// Column c of the chassis rotation: where the body's own axis c points in the world.
inline Vec3 ChassisAxis(int c) {
    const dReal* R = dBodyGetRotation(chassisBody);
    return {R[c], R[4 + c], R[8 + c]};
}

inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Angle of the chassis' long (x) axis in the ground plane.
inline double ChassisHeading() {
    const Vec3 x = ChassisAxis(0);
    return std::atan2(x.y, x.x);
}

// a - b brought into (-pi, pi].
inline double AngleDifference(double a, double b) {
    double d = std::fmod(a - b, 2 * M_PI);
    if (d > M_PI) d -= 2 * M_PI;
    if (d <= -M_PI) d += 2 * M_PI;
    return d;
}

inline double CrankAngle(int j, int e) {
    return dJointGetHingeAngle(hinges[HingeIndex(0, j, e)]);
}

using testsupport::SetKeys;
using testsupport::Tick;

inline void Ticks(int count, std::initializer_list<int> down = {}) {
    for (int i = 0; i < count; ++i)
        Tick(down);
}

// Every test starts from the program's initial state and a freshly built world.
class SimWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        flankCommand[0] = 0;
        flankCommand[1] = 0;
        crankSpeed = 3.0f;
        frictionCoefficient = 350.0f;
        viewMode = 0;
        nudgeAmount = 0.0f;
        std::memset(keyState, 0, sizeof keyState);
        std::memset(prevKeyState, 0, sizeof prevKeyState);
        FillShapeTables();
        BuildWorld();
    }
    void TearDown() override { ShutDownScene(); }
};

} // namespace physics_test
