// Time control, contacts and footfalls with real ODE on the recording device: the rate keys'
// range, slow motion drawing poses between two steps, the contact forces carrying the machine's
// weight, and the footfall record of a standing and a walking machine.
#include "tests/sim/scene_fixture.h"

#include "sim/contacts.h"
#include "sim/gait_lab.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"

#include <dinput.h>

#include <cmath>
#include <cstring>

namespace {

class TimeControlTest : public scene_test::SceneFixture {
  protected:
    void SetUp() override {
        SceneFixture::SetUp();
        SetUpScene();
        rateIndex = kNormalRate;
        recordContacts = true;
        paused = false;
    }
    void TearDown() override {
        rateIndex = kNormalRate;
        recordContacts = false;
        SceneFixture::TearDown();
    }
    // A tick as RunFrame takes it, without the drawing.
    void RunTick(std::initializer_list<int> down = {}) {
        testsupport::SetKeys(down);
        ReadSessionKeys();
        ReadTimeKeys();
        ReadControls();
        RunPhysicsSteps();
    }
};

D3DXVECTOR3 Translation(const D3DXMATRIX& m) {
    return {m._41, m._42, m._43};
}

// The angle of the turn from the rotation part of a to that of b, in radians.
double TurnAngle(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    double trace = 0.0; // of a's 3 x 3 transposed times b's
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            trace += static_cast<double>(a(r, c)) * b(r, c);
    return std::acos(std::fmin(1.0, std::fmax(-1.0, (trace - 1.0) / 2.0)));
}

TEST_F(TimeControlTest, KeysStepThroughTheRatesAndStopAtBothEnds) {
    const int expected[] = {3, 2, 1, 0, 0};
    for (int want : expected) {
        RunTick({DIK_MINUS});
        RunTick({DIK_MINUS}); // held: no second change
        EXPECT_EQ(rateIndex, want);
        RunTick();
    }
    EXPECT_STREQ(RateName(), "1/16");
    EXPECT_EQ(TicksPerStep(), 16);
    for (int i = 0; i < 8; ++i) {
        RunTick({DIK_EQUALS});
        RunTick();
    }
    EXPECT_STREQ(RateName(), "4");
    RunTick();
    EXPECT_EQ(stepsThisTick, 4);
    EXPECT_FLOAT_EQ(SimulatedTicksThisTick(), 4.0f);
}

TEST_F(TimeControlTest, SlowMotionDrawsPosesBetweenTheLastTwoSteps) {
    for (int i = 0; i < 80; ++i)
        RunTick({DIK_UP}); // walking, so every body moves
    // At rate 1 the drawn pose is the body's own, to the bit.
    D3DXMATRIX live = scene_test::ChassisMatrix(), drawn = PoseDrawMatrix(kChassisPose);
    EXPECT_EQ(std::memcmp(&live, &drawn, sizeof live), 0);

    RunTick({DIK_UP, DIK_MINUS});
    RunTick({DIK_UP});
    RunTick({DIK_UP, DIK_MINUS}); // now 1/4; this tick took its first step
    ASSERT_EQ(TicksPerStep(), 4);
    ASSERT_EQ(stepsThisTick, 1);
    for (int skip = 0; skip < 3; ++skip)
        RunTick({DIK_UP});
    // The next step tick, then the three between, against the poses on either side.
    const D3DXMATRIX beforeMatrix = scene_test::ChassisMatrix();
    const D3DXVECTOR3 before = Translation(beforeMatrix);
    RunTick({DIK_UP});
    ASSERT_EQ(stepsThisTick, 1);
    const D3DXVECTOR3 after = Translation(scene_test::ChassisMatrix());
    const D3DXMATRIX afterMatrix = scene_test::ChassisMatrix();
    const D3DXVECTOR3 whole = after - before;
    ASSERT_GT(D3DXVec3Length(&whole), 1e-3f);
    const double turn = TurnAngle(beforeMatrix, afterMatrix);
    ASSERT_GT(turn, 1e-4);
    float last = 0.0f;
    for (int i = 1; i <= 4; ++i) {
        const D3DXMATRIX m = PoseDrawMatrix(kChassisPose);
        const D3DXVECTOR3 p = Translation(m);
        const D3DXVECTOR3 gone = p - before, left = after - p;
        // Along the straight line, at i quarters of the way.
        const float share = D3DXVec3Dot(&gone, &whole) / D3DXVec3Dot(&whole, &whole);
        EXPECT_NEAR(share, 0.25f * i, 1e-3f) << "tick " << i;
        EXPECT_GT(share, last);
        last = share;
        if (i < 4) {
            EXPECT_GT(D3DXVec3Length(&gone), 1e-4f);
            EXPECT_GT(D3DXVec3Length(&left), 1e-4f);
            // The turn is shared the same way, on the arc between the two rotations.
            const double turned = TurnAngle(beforeMatrix, m), rest = TurnAngle(m, afterMatrix);
            EXPECT_NEAR(turned, 0.25 * i * turn, 0.05 * turn);
            EXPECT_NEAR(turned + rest, turn, 0.05 * turn);
        } else {
            EXPECT_EQ(std::memcmp(&m, &afterMatrix, sizeof m), 0) << "the last tick shows the step";
        }
        if (i < 4) {
            RunTick({DIK_UP});
            ASSERT_EQ(stepsThisTick, 0);
        }
    }
}

TEST_F(TimeControlTest, PauseHoldsSlowMotionAndResetForgetsThePoseBefore) {
    for (int i = 0; i < 40; ++i)
        RunTick({DIK_UP});
    rateIndex = 1; // 1/8
    RunTick({DIK_UP});
    RunTick({DIK_UP});
    const float shown = DrawFraction();
    ASSERT_LT(shown, 1.0f);
    RunTick({DIK_UP, DIK_P});
    RunTick({DIK_UP});
    EXPECT_EQ(stepsThisTick, 0);
    EXPECT_EQ(DrawFraction(), shown);
    RunTick({DIK_UP, DIK_BACK});
    EXPECT_EQ(DrawFraction(), 1.0f) << "a rebuilt machine has no pose before";
}

TEST_F(TimeControlTest, ContactForcesCarryTheWeightOfAStandingMachine) {
    for (int i = 0; i < 150; ++i)
        RunTick();
    ASSERT_GT(ContactCount(), 0);
    EXPECT_EQ(DroppedContacts(), 0);
    double lift = 0.0;
    int sliding = 0;
    for (int i = 0; i < ContactCount(); ++i) {
        const ContactPoint& c = ContactAt(i);
        // Under the feet: on the ground plane, on a link (not the chassis).
        EXPECT_NEAR(c.position[2], 0.0, 0.1);
        EXPECT_GE(c.leg, 0);
        sliding += c.slides;
        lift += kContactArrowScale * c.force[2]; // the arrow's vertical length
    }
    EXPECT_LT(sliding, ContactCount() / 4) << "a machine at rest grips";
    // As documented for users: 1 m of arrow per 100 N, and on a standing machine the arrows'
    // vertical lengths add up to its weight, 2178 N.
    constexpr double kWeight = 2178.0, kMetresPerNewton = 1.0 / 100;
    EXPECT_NEAR(MachineWeight(), kWeight, 0.5);
    EXPECT_NEAR(lift, kWeight * kMetresPerNewton, 0.05 * kWeight * kMetresPerNewton);
}

TEST_F(TimeControlTest, FootfallsOfAStandingAndAWalkingMachine) {
    for (int i = 0; i < 300; ++i)
        RunTick();
    // Standing, each foot stays as it is: seven on the ground, and leg 3 of end 1, whose crank
    // stopped in the lifted arc of its path, hanging just above it.
    for (int leg = 0; leg < kLegCount; ++leg) {
        for (int age = 0; age < 50; ++age)
            ASSERT_EQ(FootDown(leg, age), leg != 7) << "leg " << leg << ", " << age << " ago";
    }

    for (int i = 0; i < kSpeedTicks; ++i)
        RunTick({DIK_UP});
    // Walking, every foot lifts and lands again and again, and the legs take turns.
    int allDown = 0;
    for (int age = 0; age < kSpeedTicks; ++age) {
        int down = 0;
        for (int leg = 0; leg < kLegCount; ++leg)
            down += FootDown(leg, age);
        if (down == kLegCount) ++allDown;
    }
    EXPECT_LT(allDown, kSpeedTicks / 10);
    double carried = 0.0;
    for (int leg = 0; leg < kLegCount; ++leg) {
        int landings = 0;
        for (int age = 0; age + 1 < kSpeedTicks; ++age)
            if (FootDown(leg, age) && !FootDown(leg, age + 1)) ++landings;
        EXPECT_GE(landings, 4) << "leg " << leg;
        double duty = 0.0, force = 0.0;
        ASSERT_TRUE(FootfallSummary(leg, duty, force));
        EXPECT_GT(duty, 0.05);
        EXPECT_LT(duty, 0.95);
        carried += force;
    }
    // Over the strides the feet carry the whole weight.
    EXPECT_NEAR(carried, MachineWeight(), 0.05 * MachineWeight());
}

} // namespace
