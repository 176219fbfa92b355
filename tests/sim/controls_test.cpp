// The driver controls, read through the input module's own key samples, acting on a real world.
#include "tests/sim/physics_test_util.h"

#include <dinput.h>

#include "gfx/device/d3d_device.h"
#include "sim/laser.h"
#include "sim/scene.h"
#include "sim/session_keys.h"
#include "tests/sim/scene_fixture.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"
#include "tests/support/platform/scratch_folder.h"

namespace {

using namespace physics_test;

class ControlsTest : public SimWorldTest {
  protected:
    // Reads the controls for one tick with the listed keys down, without stepping the world.
    static void Read(std::initializer_list<int> down) {
        SetKeys(down);
        ReadControls();
    }
};

TEST_F(ControlsTest, WalkingCommandFirstMatchWins) {
    struct Case {
        std::initializer_list<int> keys;
        int command[2];
    };
    const Case cases[] = {
        {{}, {0, 0}},
        {{DIK_UP}, {-1, -1}},
        {{DIK_DOWN}, {1, 1}},
        {{DIK_LEFT}, {-1, 1}},
        {{DIK_RIGHT}, {1, -1}},
        {{DIK_UP, DIK_LEFT}, {-1, -1}},
        {{DIK_UP, DIK_DOWN}, {-1, -1}},
        {{DIK_DOWN, DIK_RIGHT}, {1, 1}},
        {{DIK_LEFT, DIK_RIGHT}, {-1, 1}},
        {{DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT}, {-1, -1}},
        {{DIK_TAB, DIK_R}, {0, 0}},
    };
    for (const Case& c : cases) {
        // Held from the previous tick as well: a held key counts every tick, not just once.
        Read(c.keys);
        Read(c.keys);
        EXPECT_EQ(flankCommand[0], c.command[0]);
        EXPECT_EQ(flankCommand[1], c.command[1]);
    }
    // Releasing every arrow stops the machine on the next tick.
    Read({DIK_UP});
    Read({});
    EXPECT_EQ(flankCommand[0], 0);
    EXPECT_EQ(flankCommand[1], 0);
}

TEST_F(ControlsTest, TabHeldChangesTheViewOnce) {
    for (int i = 0; i < 10; ++i)
        Read({DIK_TAB});
    EXPECT_EQ(viewMode, 1);
    Read({});
    Read({DIK_TAB});
    EXPECT_EQ(viewMode, 2);
    Read({DIK_TAB});
    EXPECT_EQ(viewMode, 2);
    Read({});
    Read({DIK_TAB});
    EXPECT_EQ(viewMode, 0);
}

TEST_F(ControlsTest, CrankSpeedStepsWhileHeldWithoutLimits) {
    Read({DIK_R, DIK_F});
    EXPECT_NEAR(crankSpeed, 3.0f, 1e-6);
    for (int i = 0; i < 20; ++i)
        Read({DIK_R});
    EXPECT_NEAR(crankSpeed, 4.0f, 1e-4);
    for (int i = 0; i < 140; ++i)
        Read({DIK_F});
    EXPECT_NEAR(crankSpeed, -3.0f, 1e-4);
}

TEST_F(ControlsTest, FrictionStopsAtFiveGoingDown) {
    Read({DIK_T, DIK_G});
    EXPECT_EQ(frictionCoefficient, 350.0f);
    for (int i = 0; i < 100; ++i)
        Read({DIK_G});
    EXPECT_EQ(frictionCoefficient, 5.0f);
    // At 5.0 G does nothing; T and G together go up to 10 and back.
    Read({DIK_G});
    EXPECT_EQ(frictionCoefficient, 5.0f);
    Read({DIK_T, DIK_G});
    EXPECT_EQ(frictionCoefficient, 5.0f);
    Read({DIK_T});
    EXPECT_EQ(frictionCoefficient, 10.0f);
}

// The nudge uses the amount from before the change: nothing on the first tick, then a shift
// that grows by the same step with every further tick. The world is not stepped in between,
// so the chassis orientation stays the same and the shifts compare directly.
TEST_F(ControlsTest, NudgeGrowsFromNothing) {
    Ticks(100); // a settled, slightly turned pose
    auto shiftOf = [](std::initializer_list<int> keys) {
        const Vec3 before = ChassisPosition();
        Read(keys);
        const Vec3 after = ChassisPosition();
        return Vec3{after.x - before.x, after.y - before.y, after.z - before.z};
    };
    // The amount is a float, so its multiples of 0.1 are only near.
    auto expectShift = [](Vec3 got, Vec3 unit, double times) {
        EXPECT_NEAR(got.x, unit.x * times, 1e-6);
        EXPECT_NEAR(got.y, unit.y * times, 1e-6);
        EXPECT_NEAR(got.z, unit.z * times, 1e-6);
    };

    const Vec3 first = shiftOf({DIK_Y});
    EXPECT_EQ(first.x, 0.0);
    EXPECT_EQ(first.y, 0.0);
    EXPECT_EQ(first.z, 0.0);
    EXPECT_NEAR(nudgeAmount, 0.1f, 1e-7);

    const Vec3 unit = shiftOf({DIK_Y}); // the shift of an amount of 0.1
    ASSERT_GT(std::sqrt(Dot(unit, unit)), 1e-6);
    expectShift(shiftOf({DIK_Y}), unit, 2.0);
    EXPECT_NEAR(nudgeAmount, 0.3f, 1e-6);

    // H shifts by the amount before its own change, 0.3, and leaves 0.2.
    expectShift(shiftOf({DIK_H}), unit, 3.0);
    EXPECT_NEAR(nudgeAmount, 0.2f, 1e-6);

    // Y then H in one tick: Y with 0.2, H with the 0.3 that Y left.
    expectShift(shiftOf({DIK_Y, DIK_H}), unit, 5.0);
    EXPECT_NEAR(nudgeAmount, 0.2f, 1e-6);
}

TEST_F(ControlsTest, SpaceFiresOncePerPressAndRecoilActsInTheSameTick) {
    Ticks(100);
    laserBeams[0].travel = laserBeams[1].travel = 0.0f;
    Read({DIK_SPACE});
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 0.1f);
    EXPECT_FLOAT_EQ(laserBeams[1].travel, 0.1f);
    // The recoil waits on the chassis for this tick's step.
    const dReal* force = dBodyGetForce(chassisBody);
    const Vec3 f{force[0], force[1], force[2]};
    EXPECT_NEAR(std::sqrt(Dot(f, f)), 26000.0, 26.0);
    EXPECT_LT(Dot(f, ChassisAxis(0)), -25000.0);
    StepPhysics();

    laserBeams[0].travel = laserBeams[1].travel = 7.0f;
    Read({DIK_SPACE});
    EXPECT_EQ(laserBeams[0].travel, 7.0f);
    Read({});
    Read({DIK_SPACE});
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 0.1f);
}

// The controls are read before the step, so the step of the same tick drives the masters at the
// changed speed.
TEST_F(ControlsTest, CrankSpeedChangeDrivesTheSameTick) {
    Tick({DIK_UP, DIK_R});
    EXPECT_DOUBLE_EQ(dJointGetHingeParam(hinges[HingeIndex(0, 0, 0)], dParamVel), -3.05f);
    EXPECT_DOUBLE_EQ(dJointGetHingeParam(hinges[HingeIndex(0, 2, 0)], dParamVel), -3.05f);
    Tick({DIK_LEFT, DIK_F});
    EXPECT_DOUBLE_EQ(dJointGetHingeParam(hinges[HingeIndex(0, 0, 0)], dParamVel), -crankSpeed);
    EXPECT_DOUBLE_EQ(dJointGetHingeParam(hinges[HingeIndex(0, 2, 0)], dParamVel), crankSpeed);
}

// ---- Pause keeps its word -------------------------------------------------------------------

class PauseTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        drawFrames = false;
        paused = false;
    }
    void TearDown() override {
        drawFrames = true;
        paused = false;
        ControlsTest::TearDown();
    }
    static void Frame(std::initializer_list<int> down) {
        SetKeys(down);
        RunFrame();
    }
    // What the physics reads and what it made: equal when nothing reached it.
    static std::vector<double> PhysicsInputsAndPose() {
        const dReal* v = dBodyGetLinearVel(chassisBody);
        const dReal* f = dBodyGetForce(chassisBody);
        const Vec3 p = ChassisPosition();
        std::vector<double> values = {p.x, p.y, p.z, v[0], v[1], v[2], f[0], f[1], f[2]};
        values.push_back(crankSpeed);
        values.push_back(frictionCoefficient);
        values.push_back(flankCommand[0]);
        values.push_back(flankCommand[1]);
        values.push_back(nudgeAmount);
        values.push_back(laserBeams[0].travel);
        values.push_back(CrankAngle(0, 0));
        return values;
    }
};

TEST_F(PauseTest, PausedTicksTouchNoPhysicsInputAndResetStaysPaused) {
    Ticks(60);
    Frame({DIK_P});
    ASSERT_TRUE(paused);
    const std::vector<double> held = PhysicsInputsAndPose();
    // Three shots, the cranks, the friction, a walk and a nudge, all while paused.
    for (int i = 0; i < 3; ++i) {
        Frame({DIK_SPACE, DIK_R, DIK_T, DIK_UP, DIK_Y});
        Frame({DIK_R, DIK_T, DIK_UP, DIK_Y});
    }
    EXPECT_EQ(PhysicsInputsAndPose(), held);
    Frame({DIK_TAB}); // the view is the camera's, not the machine's: it still changes
    EXPECT_EQ(viewMode, 1);

    Frame({DIK_BACK});
    EXPECT_TRUE(paused) << "a reset keeps the pause";
    EXPECT_EQ(viewMode, 0);
    const std::vector<double> rebuilt = PhysicsInputsAndPose();
    Frame({});
    EXPECT_EQ(PhysicsInputsAndPose(), rebuilt);
}

TEST_F(PauseTest, OStepsExactlyAsAnUnpausedTickWithTheKeysThenHeld) {
    paused = true;
    ResetMachine();
    Frame({DIK_SPACE, DIK_R}); // pressed while paused: no shot waits for the step
    Frame({});
    Frame({DIK_O, DIK_UP, DIK_R, DIK_T, DIK_SPACE});
    const std::vector<double> stepped = PhysicsInputsAndPose();
    EXPECT_TRUE(paused);

    paused = false;
    ResetMachine();
    SetKeys({});
    Frame({DIK_UP, DIK_R, DIK_T, DIK_SPACE});
    EXPECT_EQ(PhysicsInputsAndPose(), stepped);
    EXPECT_FLOAT_EQ(crankSpeed, StartCrankSpeed() + 0.05f) << "one tick of R, not three";
}

} // namespace

namespace {

using testsupport::LogCapture;
using testsupport::RecordingDevice;
using testsupport::ScopedDevice;

// One whole frame on the recording device with the real scene: the keys read first, then the
// step, then the drawing of the stepped world.
class RunFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scene_test::ResetControlState();
        SetDefaultTransforms();
        SetUpScene();
    }
    void TearDown() override { scene_test::ReleaseScene(); }

    RecordingDevice device;
    ScopedDevice installed{&device};
    LogCapture log;
};

TEST_F(RunFrameTest, ReadsTheKeysStepsThenDrawsTheSteppedWorld) {
    ASSERT_NE(chassisBody, nullptr);
    for (int i = 0; i < 20; ++i) {
        SetKeys({});
        RunFrame();
    }
    const Vec3 before = ChassisPosition();
    device.ClearCalls();

    SetKeys({DIK_SPACE, DIK_TAB, DIK_UP});
    RunFrame();

    // Read: the view and the command changed in this frame.
    EXPECT_EQ(viewMode, 1);
    EXPECT_EQ(flankCommand[0], -1);
    // Stepped: the chassis moved.
    const Vec3 after = ChassisPosition();
    const Vec3 moved{after.x - before.x, after.y - before.y, after.z - before.z};
    ASSERT_GT(std::sqrt(Dot(moved, moved)), 0.01);
    // Drawn after the shot: the beams were fired at 0.1 and have flown one frame.
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 1.1f);
    // The chassis drawn where the step left it: some world transform carries its position
    // (graphics y and z exchanged).
    bool drawnAtSteppedPose = false;
    for (const testsupport::DeviceCall* call : device.CallsNamed("SetTransform")) {
        const std::vector<float>& m = call->floats;
        if (m.size() == 16 && std::fabs(m[12] - after.x) < 1e-4 &&
            std::fabs(m[13] - after.z) < 1e-4 && std::fabs(m[14] - after.y) < 1e-4) {
            drawnAtSteppedPose = true;
        }
    }
    EXPECT_TRUE(drawnAtSteppedPose);
}

} // namespace
