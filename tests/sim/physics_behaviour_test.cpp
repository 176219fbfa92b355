// The walking machine as a whole, on real ODE: it assembles, lands upright, walks and turns
// under the arrow keys. The figures seen are written to the test's output.
#include "tests/sim/physics_test_util.h"

#include <dinput.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using namespace physics_test;

class MachineTest : public SimWorldTest {
  protected:
    // The chassis' build y axis points straight down when the machine stands on its legs.
    static double TiltDegrees() {
        const double down = -ChassisAxis(1).z;
        return std::acos(std::clamp(down, -1.0, 1.0)) * 180 / M_PI;
    }

    // Walks for the given ticks with the key held and returns the distance covered along the
    // facing direction of the start.
    double WalkAlongFacing(int key, int ticks) {
        const Vec3 start = ChassisPosition();
        const Vec3 facing = ChassisAxis(0);
        Ticks(ticks, {key});
        const Vec3 end = ChassisPosition();
        return Dot({end.x - start.x, end.y - start.y, end.z - start.z}, facing);
    }

    // Turns for the given ticks with the key held and returns the heading change in degrees,
    // counted through every full turn.
    double TurnDegrees(int key, int ticks) {
        double turned = 0, heading = ChassisHeading();
        for (int i = 0; i < ticks; ++i) {
            Tick({key});
            const double now = ChassisHeading();
            turned += AngleDifference(now, heading);
            heading = now;
        }
        return turned * 180 / M_PI;
    }
};

TEST_F(MachineTest, StandsUprightAfterLanding) {
    Ticks(100);
    const double height = ChassisPosition().z;
    RecordProperty("chassis_height", std::to_string(height));
    std::printf("standing after 100 ticks: height %.3f, tilt %.2f degrees\n", height,
                TiltDegrees());
    EXPECT_LT(TiltDegrees(), 20.0);
    EXPECT_GT(height, 4.0);
    EXPECT_LT(height, 5.0);
}

TEST_F(MachineTest, UpWalksForwardWithoutTippingOver) {
    Ticks(100);
    const Vec3 start = ChassisPosition();
    const Vec3 facing = ChassisAxis(0);
    double worstTilt = 0;
    for (int i = 0; i < 200; ++i) {
        Tick({DIK_UP});
        worstTilt = std::max(worstTilt, TiltDegrees());
    }
    const Vec3 end = ChassisPosition();
    const double along = Dot({end.x - start.x, end.y - start.y, end.z - start.z}, facing);
    std::printf("200 ticks of UP: %.2f units along the facing direction, worst tilt %.1f\n", along,
                worstTilt);
    EXPECT_GT(along, 20.0);
    EXPECT_LT(worstTilt, 60.0);
    EXPECT_LT(TiltDegrees(), 20.0);
}

// Walking backwards is the less steady gait: the figure is taken over 100 ticks, before the
// machine may rear up.
TEST_F(MachineTest, DownWalksBackwards) {
    Ticks(100);
    const double along = WalkAlongFacing(DIK_DOWN, 100);
    std::printf("100 ticks of DOWN: %.2f units along the facing direction\n", along);
    EXPECT_LT(along, -5.0);
}

// The flanks walk against each other: LEFT turns the heading up (anticlockwise seen from
// above), RIGHT down.
TEST_F(MachineTest, LeftTurnsAnticlockwise) {
    Ticks(100);
    const Vec3 start = ChassisPosition();
    const double turned = TurnDegrees(DIK_LEFT, 200);
    const Vec3 end = ChassisPosition();
    std::printf("200 ticks of LEFT: turned %.1f degrees, moved %.2f\n", turned,
                std::hypot(end.x - start.x, end.y - start.y));
    EXPECT_GT(turned, 30.0);
    EXPECT_LT(TiltDegrees(), 20.0);
}

TEST_F(MachineTest, RightTurnsClockwise) {
    Ticks(100);
    const double turned = TurnDegrees(DIK_RIGHT, 200);
    std::printf("200 ticks of RIGHT: turned %.1f degrees\n", turned);
    EXPECT_LT(turned, -30.0);
    EXPECT_LT(TiltDegrees(), 20.0);
}

} // namespace
