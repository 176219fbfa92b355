// The physics step against real ODE: phase locking of the crank motors, the contact joints made
// for each colliding pair, and the step's use of the control inputs of the same tick.
#include "tests/sim/physics_test_util.h"

#include <dinput.h>
#include <dlfcn.h>

#include <algorithm>

namespace {

// Every contact joint the program asks for, as it asked. Recording is off unless a test turns
// it on; the joint itself is always made by the library.
struct ContactLog {
    bool enabled = false;
    std::vector<dContact> contacts;
};
ContactLog contactLog;

} // namespace

// Recording wrapper around the library's contact joint constructor: the program's own calls
// resolve here first, and every call is passed on unchanged.
extern "C" dJointID dJointCreateContact(dWorldID w, dJointGroupID group, const dContact* c) {
    using Create = dJointID (*)(dWorldID, dJointGroupID, const dContact*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "dJointCreateContact"));
    if (contactLog.enabled) contactLog.contacts.push_back(*c);
    return real(w, group, c);
}

namespace {

using namespace physics_test;

double HingeVelocity(int j, int e) {
    return dJointGetHingeParam(hinges[HingeIndex(0, j, e)], dParamVel);
}

// Turns crank (j, e) by angle about its hinge axis relative to its base link, so the hinge
// reads that angle.
void SetCrankAngle(int j, int e, double angle) {
    dBodyID crank = linkBodies[LinkIndex(0, j, e)];
    dBodyID base = linkBodies[LinkIndex(1, j, e)];
    dMatrix3 turn, R;
    dRFromAxisAndAngle(turn, 0, 0, 1, angle);
    dMultiply0_333(R, dBodyGetRotation(base), turn);
    dBodySetRotation(crank, R);
}

class PhysicsStepTest : public SimWorldTest {
  protected:
    void TearDown() override {
        contactLog.enabled = false;
        contactLog.contacts.clear();
        SimWorldTest::TearDown();
    }
};

// With no command the motors hold both masters where they were built, while the followers turn
// to take their places: half a turn from their masters, the front end in phase with the rear.
TEST_F(PhysicsStepTest, StandingStillHoldsMastersAndSettlesFollowers) {
    // The machine lands and rocks for a while after assembly; by 200 ticks it is at rest.
    Ticks(200);
    for (int e = 0; e < 2; ++e) {
        SCOPED_TRACE(testing::Message() << "end " << e);
        EXPECT_NEAR(HingeVelocity(0, 0), 0.0, 0.0);
        EXPECT_NEAR(HingeVelocity(2, 0), 0.0, 0.0);
        EXPECT_NEAR(CrankAngle(0, 0), 0.0, 0.02);
        EXPECT_NEAR(CrankAngle(2, 0), 0.0, 0.02);
        EXPECT_NEAR(std::fabs(AngleDifference(CrankAngle(1, e), CrankAngle(0, e))), M_PI, 0.05);
        EXPECT_NEAR(std::fabs(AngleDifference(CrankAngle(3, e), CrankAngle(2, e))), M_PI, 0.05);
    }
    EXPECT_NEAR(AngleDifference(CrankAngle(0, 1), CrankAngle(0, 0)), 0.0, 0.05);
    EXPECT_NEAR(AngleDifference(CrankAngle(2, 1), CrankAngle(2, 0)), 0.0, 0.05);
}

// While walking, the ground loads the legs unevenly and the followers lag at times; the phase
// relations still hold most of the time, and exactly again once the machine stops.
TEST_F(PhysicsStepTest, WalkingKeepsTheGaitInStep) {
    Ticks(100);
    std::vector<double> halfTurn[4], inPhase[2];
    double masterTurn = 0, last = CrankAngle(0, 0);
    for (int i = 0; i < 300; ++i) {
        Tick({DIK_UP});
        masterTurn += AngleDifference(CrankAngle(0, 0), last);
        last = CrankAngle(0, 0);
        if (i < 100) continue;
        for (int e = 0; e < 2; ++e) {
            halfTurn[2 * e].push_back(
                std::fabs(AngleDifference(CrankAngle(1, e), CrankAngle(0, e) + M_PI)));
            halfTurn[2 * e + 1].push_back(
                std::fabs(AngleDifference(CrankAngle(3, e), CrankAngle(2, e) + M_PI)));
        }
        inPhase[0].push_back(std::fabs(AngleDifference(CrankAngle(0, 1), CrankAngle(0, 0))));
        inPhase[1].push_back(std::fabs(AngleDifference(CrankAngle(2, 1), CrankAngle(2, 0))));
    }
    // UP drives the masters backwards at the crank speed: 300 ticks of 0.07 at 3 rad/s.
    EXPECT_NEAR(masterTurn, -3.0 * 0.07 * 300, 1.0);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (auto& v : halfTurn)
        EXPECT_LT(median(v), 0.3);
    for (auto& v : inPhase)
        EXPECT_LT(median(v), 0.05);

    Ticks(100);
    EXPECT_EQ(HingeVelocity(0, 0), 0.0);
    for (int e = 0; e < 2; ++e) {
        EXPECT_NEAR(std::fabs(AngleDifference(CrankAngle(1, e), CrankAngle(0, e))), M_PI, 0.05);
        EXPECT_NEAR(std::fabs(AngleDifference(CrankAngle(3, e), CrankAngle(2, e))), M_PI, 0.05);
    }
    EXPECT_NEAR(AngleDifference(CrankAngle(0, 1), CrankAngle(0, 0)), 0.0, 0.05);
    EXPECT_NEAR(AngleDifference(CrankAngle(2, 1), CrankAngle(2, 0)), 0.0, 0.05);
}

TEST_F(PhysicsStepTest, CommandsSetTheMasterSpeedsPerFlank) {
    struct Case {
        int command[2];
        float speed;
    };
    const Case cases[] = {
        {{-1, -1}, 3.0f}, {{1, 1}, 3.0f},   {{-1, 1}, 3.0f},
        {{1, -1}, 3.0f},  {{1, -1}, -2.5f}, {{1, 1}, 0.0f},
    };
    for (const Case& c : cases) {
        flankCommand[0] = c.command[0];
        flankCommand[1] = c.command[1];
        crankSpeed = c.speed;
        StepPhysics();
        EXPECT_DOUBLE_EQ(HingeVelocity(0, 0), c.command[0] * c.speed);
        EXPECT_DOUBLE_EQ(HingeVelocity(2, 0), c.command[1] * c.speed);
        for (int n = 0; n < 8; ++n) {
            EXPECT_EQ(dJointGetHingeParam(hinges[n], dParamFMax), 10000.0) << "crank " << n;
        }
    }
}

// The phase errors are used as they are, not wrapped: a follower just past the seam from its
// reference gets a kick of nearly a full turn times the gain.
TEST_F(PhysicsStepTest, PhaseErrorsAcrossTheSeamStayUnwrapped) {
    SetCrankAngle(0, 0, -0.1);
    SetCrankAngle(0, 1, 0.1);
    ASSERT_NEAR(CrankAngle(0, 0), -0.1, 1e-9);
    ASSERT_NEAR(CrankAngle(0, 1), 0.1, 1e-9);
    StepPhysics();
    // Reference W = 2pi - 0.1, follower W = 0.1.
    EXPECT_NEAR(HingeVelocity(0, 1), 3.0 * (2 * M_PI - 0.2), 1e-9);
    // Half a turn from a master at 2pi - 0.1 is pi - 0.1, reached from the follower's 0.
    EXPECT_NEAR(HingeVelocity(1, 0), M_PI - 0.1, 1e-9);
    // Half a turn from the front master at 0.1 is pi + 0.1; the front follower sits at 0.
    EXPECT_NEAR(HingeVelocity(1, 1), 0.1 + M_PI, 1e-9);
}

TEST_F(PhysicsStepTest, HalfTurnMarkWrapsPastTwoPi) {
    SetCrankAngle(0, 0, -(M_PI - 0.1));
    SetCrankAngle(1, 0, 3.0);
    ASSERT_NEAR(CrankAngle(0, 0), -(M_PI - 0.1), 1e-9);
    StepPhysics();
    // W(-(pi - 0.1)) + pi = 2pi + 0.1, past 2pi, so the mark is 0.1; the follower sits at 3.0.
    EXPECT_NEAR(HingeVelocity(1, 0), 0.1 - 3.0, 1e-9);
}

TEST_F(PhysicsStepTest, ContactSurfaceIsBouncySoftAndUsesTheCurrentFriction) {
    Ticks(100);
    contactLog.enabled = true;
    frictionCoefficient = 123.0f;
    StepPhysics();
    ASSERT_FALSE(contactLog.contacts.empty());
    for (const dContact& c : contactLog.contacts) {
        EXPECT_EQ(c.surface.mode, dContactBounce | dContactSoftCFM);
        EXPECT_EQ(c.surface.mode, 0x14);
        EXPECT_DOUBLE_EQ(c.surface.mu, 123.0);
        EXPECT_DOUBLE_EQ(c.surface.bounce, 0.01);
        EXPECT_DOUBLE_EQ(c.surface.bounce_vel, 0.04);
        EXPECT_DOUBLE_EQ(c.surface.soft_cfm, 0.0005);
    }
}

// The controls are read before the step, so the contacts of the very tick in which T goes down
// already carry the raised friction, and those of the tick G is held the lowered one.
TEST_F(PhysicsStepTest, FrictionKeysReachTheContactsOfTheSameTick) {
    Ticks(100);
    contactLog.enabled = true;
    Tick({DIK_T});
    ASSERT_FALSE(contactLog.contacts.empty());
    for (const dContact& c : contactLog.contacts)
        EXPECT_DOUBLE_EQ(c.surface.mu, 355.0);
    contactLog.contacts.clear();
    Tick({DIK_G});
    ASSERT_FALSE(contactLog.contacts.empty());
    for (const dContact& c : contactLog.contacts)
        EXPECT_DOUBLE_EQ(c.surface.mu, 350.0);
}

// The machine standing on its eight feet touches the ground at far more than 15 corners; the
// whole vehicle space against the plane is one pair and gets 15 contacts, each attached to the
// vehicle body whose geom touched.
TEST_F(PhysicsStepTest, OnePairGetsAtMostFifteenContacts) {
    Ticks(100);
    contactLog.enabled = true;
    NearCallback(nullptr, reinterpret_cast<dGeomID>(vehicleSpace), groundPlane);
    ASSERT_EQ(contactLog.contacts.size(), 15u);
    int couplerContacts = 0;
    for (const dContact& c : contactLog.contacts) {
        const bool planeFirst = c.geom.g1 == groundPlane;
        dGeomID vehicleGeom = planeFirst ? c.geom.g2 : c.geom.g1;
        EXPECT_EQ(planeFirst ? c.geom.g1 : c.geom.g2, groundPlane);
        EXPECT_TRUE(dSpaceQuery(vehicleSpace, vehicleGeom));
        for (int n = 3 * 8; n < 4 * 8; ++n)
            couplerContacts += vehicleGeom == linkGeoms[n];
    }
    // The feet are the couplers' free ends.
    EXPECT_EQ(couplerContacts, 15);
    dJointGroupEmpty(contactGroup);

    // The step itself collides the same pair once per tick, through the same callback. The
    // scenery collides with itself as well (each hill sunk into the plane, and neighbouring
    // hills just touching): eight contacts joined to no body at all.
    contactLog.contacts.clear();
    StepPhysics();
    int vehicleContacts = 0, staticContacts = 0;
    for (const dContact& c : contactLog.contacts) {
        const bool moving = dGeomGetBody(c.geom.g1) || dGeomGetBody(c.geom.g2);
        if (moving) {
            EXPECT_TRUE(c.geom.g1 == groundPlane || c.geom.g2 == groundPlane);
            ++vehicleContacts;
        } else {
            ++staticContacts;
        }
    }
    EXPECT_EQ(vehicleContacts, 15);
    EXPECT_EQ(staticContacts, 8);
}

// A pair whose bounds the hash space let through but whose shapes do not touch makes no joints.
TEST_F(PhysicsStepTest, SeparatedPairMakesNoJoints) {
    contactLog.enabled = true;
    NearCallback(nullptr, linkGeoms[0], groupGeoms[1]);
    EXPECT_TRUE(contactLog.contacts.empty());
}

} // namespace
