// The physics world as built: shape tables, masses, spaces, joints and the upright build pose,
// checked against real ODE.
#include "tests/sim/physics_test_util.h"

namespace {

using physics_test::SimWorldTest;

TEST(ShapeTables, LinkIndexMapsBackToLegAndLink) {
    for (int n = 0; n < kLinkCount; ++n) {
        const int r = n / 8, j = (n % 8) / 2, e = n % 2;
        EXPECT_EQ(LinkIndex(r, j, e), n);
        EXPECT_EQ(HingeIndex(r, j, e), n);
    }
}

TEST(ShapeTables, LastLinkIsFrontCouplerOfLegThree) {
    FillShapeTables();
    const ShapeSpec& s = linkSpecs[31];
    EXPECT_FLOAT_EQ(s.x, 12.0f);
    EXPECT_FLOAT_EQ(s.y, 2.5f);
    EXPECT_FLOAT_EQ(s.z, 11.4f);
    EXPECT_FLOAT_EQ(s.height, 5.0f);
    EXPECT_FLOAT_EQ(s.length, 0.3f);
    EXPECT_FLOAT_EQ(s.width, 0.3f);
}

// The links of every leg must meet at the hinge anchors: crank top at the coupler's end, rocker
// top at the coupler's midpoint, and so on. A wrong entry leaves a leg that cannot assemble.
TEST(ShapeTables, LinkEndsMeetAtTheHingeAnchors) {
    FillShapeTables();
    const double couplerTurn = -std::atan2(1.3333333333333333, 1.0);
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            const ShapeSpec& crank = linkSpecs[LinkIndex(0, j, e)];
            const ShapeSpec& base = linkSpecs[LinkIndex(1, j, e)];
            const ShapeSpec& rocker = linkSpecs[LinkIndex(2, j, e)];
            const ShapeSpec& coupler = linkSpecs[LinkIndex(3, j, e)];
            const double x0 = 10.0 * e;
            SCOPED_TRACE(testing::Message() << "leg " << j << " end " << e);
            for (const ShapeSpec* s : {&crank, &base, &rocker, &coupler}) {
                EXPECT_FLOAT_EQ(s->z, linkSpecs[LinkIndex(0, j, 0)].z);
            }
            // Crank from the pivot (x0, 0) up to (x0, 1).
            EXPECT_NEAR(crank.x, x0, 1e-6);
            EXPECT_NEAR(crank.y - crank.height / 2, 0.0, 1e-6);
            EXPECT_NEAR(crank.y + crank.height / 2, 1.0, 1e-6);
            // Base link from (x0, 0) to (x0 + 2, 0).
            EXPECT_NEAR(base.x - base.length / 2, x0, 1e-6);
            EXPECT_NEAR(base.x + base.length / 2, x0 + 2.0, 1e-6);
            EXPECT_NEAR(base.y, 0.0, 1e-6);
            // Rocker from (x0 + 2, 0) up to (x0 + 2, 2.5).
            EXPECT_NEAR(rocker.x, x0 + 2.0, 1e-6);
            EXPECT_NEAR(rocker.y - rocker.height / 2, 0.0, 1e-6);
            EXPECT_NEAR(rocker.y + rocker.height / 2, 2.5, 1e-6);
            // Coupler, turned about z, from the crank top (x0, 1) through the rocker top (its
            // midpoint) to the foot (x0 + 4, 4).
            const double hx = -std::sin(couplerTurn) * coupler.height / 2;
            const double hy = std::cos(couplerTurn) * coupler.height / 2;
            EXPECT_NEAR(coupler.x - hx, x0, 1e-6);
            EXPECT_NEAR(coupler.y - hy, 1.0, 1e-6);
            EXPECT_NEAR(coupler.x + hx, x0 + 4.0, 1e-6);
            EXPECT_NEAR(coupler.y + hy, 4.0, 1e-6);
            EXPECT_NEAR(coupler.x, rocker.x, 1e-6);
            EXPECT_NEAR(coupler.y, rocker.y + rocker.height / 2, 1e-6);
        }
    }
}

TEST_F(SimWorldTest, MassesAreDensityFourOfTheBoxes) {
    const double expected[4] = {0.36, 0.72, 0.9, 1.8};
    for (int n = 0; n < kLinkCount; ++n) {
        dMass m;
        dBodyGetMass(linkBodies[n], &m);
        EXPECT_NEAR(m.mass, expected[n / 8], 1e-6) << "link " << n;
    }
    dMass m;
    dBodyGetMass(chassisBody, &m);
    EXPECT_DOUBLE_EQ(m.mass, 192.0);
    // The chassis' inertia is that of its 16 x 0.5 x 6 box.
    EXPECT_NEAR(m.I[0], 192.0 / 12 * (0.5 * 0.5 + 6.0 * 6.0), 1e-9);
    EXPECT_NEAR(m.I[5], 192.0 / 12 * (16.0 * 16.0 + 6.0 * 6.0), 1e-9);
    EXPECT_NEAR(m.I[10], 192.0 / 12 * (16.0 * 16.0 + 0.5 * 0.5), 1e-9);
}

TEST_F(SimWorldTest, SpacesHoldSceneryAndVehicleApart) {
    EXPECT_EQ(dSpaceGetNumGeoms(worldSpace), 6);
    EXPECT_EQ(dSpaceGetNumGeoms(vehicleSpace), 33);
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(vehicleSpace)), worldSpace);

    int spheres = 0, planes = 0, spaces = 0;
    for (int i = 0; i < dSpaceGetNumGeoms(worldSpace); ++i) {
        dGeomID g = dSpaceGetGeom(worldSpace, i);
        switch (dGeomGetClass(g)) {
        case dSphereClass: {
            ++spheres;
            EXPECT_DOUBLE_EQ(dGeomSphereGetRadius(g), 20.0);
            const dReal* p = dGeomGetPosition(g);
            EXPECT_DOUBLE_EQ(p[2], -17.0);
            EXPECT_DOUBLE_EQ(std::fabs(p[0]), 20.0);
            EXPECT_DOUBLE_EQ(std::fabs(p[1]), 20.0);
            EXPECT_EQ(dGeomGetBody(g), nullptr);
            break;
        }
        case dPlaneClass: {
            ++planes;
            dVector4 plane;
            dGeomPlaneGetParams(g, plane);
            EXPECT_DOUBLE_EQ(plane[2], 1.0);
            EXPECT_DOUBLE_EQ(plane[3], 0.0);
            break;
        }
        case dSimpleSpaceClass:
            ++spaces;
            break;
        default:
            ADD_FAILURE() << "unexpected member of class " << dGeomGetClass(g);
        }
    }
    EXPECT_EQ(spheres, 4);
    EXPECT_EQ(planes, 1);
    EXPECT_EQ(spaces, 1);
    EXPECT_EQ(dGeomGetClass(groundPlane), dPlaneClass);

    // Every link geom and the chassis box sit in the vehicle space on their own bodies.
    for (int n = 0; n < kLinkCount; ++n) {
        EXPECT_TRUE(dSpaceQuery(vehicleSpace, linkGeoms[n])) << "link " << n;
        EXPECT_EQ(dGeomGetBody(linkGeoms[n]), linkBodies[n]);
    }
    EXPECT_TRUE(dSpaceQuery(vehicleSpace, groupGeoms[0]));
    EXPECT_EQ(dGeomGetBody(groupGeoms[0]), chassisBody);
    dVector3 size;
    dGeomBoxGetLengths(groupGeoms[0], size);
    EXPECT_DOUBLE_EQ(size[0], 16.0);
    EXPECT_DOUBLE_EQ(size[1], 0.5);
    EXPECT_DOUBLE_EQ(size[2], 6.0);
}

TEST_F(SimWorldTest, BuildPoseIsTurnedUprightInPlace) {
    dMatrix3 R;
    dRFromAxisAndAngle(R, 1, 0, 0, -M_PI / 2);
    auto expectPose = [&](dBodyID body, const ShapeSpec& s) {
        const dReal* p = dBodyGetPosition(body);
        EXPECT_DOUBLE_EQ(p[0], s.x);
        EXPECT_DOUBLE_EQ(p[1], s.y);
        EXPECT_DOUBLE_EQ(p[2], s.z);
        const dReal* r = dBodyGetRotation(body);
        for (int i = 0; i < 12; ++i) {
            if (i % 4 != 3) {
                EXPECT_NEAR(r[i], R[i], 1e-12) << "element " << i;
            }
        }
    };
    for (int n = 0; n < kLinkCount; ++n) {
        SCOPED_TRACE(testing::Message() << "link " << n);
        expectPose(linkBodies[n], linkSpecs[n]);
    }
    SCOPED_TRACE("chassis");
    expectPose(chassisBody, groupSpecs[0]);
    // Build +y is world -z now: the legs will hang below the chassis.
    EXPECT_NEAR(physics_test::ChassisAxis(1).z, -1.0, 1e-12);
}

TEST_F(SimWorldTest, JointsJoinTheLinksOfTheirOwnLeg) {
    const int joined[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                dJointID h = hinges[HingeIndex(k, j, e)];
                EXPECT_EQ(dJointGetType(h), dJointTypeHinge);
                EXPECT_EQ(dJointGetBody(h, 0), linkBodies[LinkIndex(joined[k][0], j, e)]);
                EXPECT_EQ(dJointGetBody(h, 1), linkBodies[LinkIndex(joined[k][1], j, e)]);
                // Angles count from the build pose, in which the coupler still had its turn; the
                // upright turn replaced that, so the coupler's hinges start a turn's worth off.
                const double start = k < 2 ? 0.0 : std::atan2(1.3333333333333333, 1.0);
                EXPECT_NEAR(std::fabs(dJointGetHingeAngle(h)), start, 1e-9) << "hinge " << k;
            }
            dJointID f = fixedJoints[2 * j + e];
            EXPECT_EQ(dJointGetType(f), dJointTypeFixed);
            EXPECT_EQ(dJointGetBody(f, 0), linkBodies[LinkIndex(1, j, e)]);
            EXPECT_EQ(dJointGetBody(f, 1), chassisBody);
        }
    }
    EXPECT_DOUBLE_EQ(dWorldGetCFM(world), 1e-5);
    EXPECT_DOUBLE_EQ(dWorldGetERP(world), 0.2);
    dVector3 g;
    dWorldGetGravity(world, g);
    EXPECT_DOUBLE_EQ(g[2], -9.8);
}

// Once the solver has drawn the links into the turned arrangement, the two bodies of every
// hinge agree on where the pin is: the anchors were recorded on consistent link ends.
TEST_F(SimWorldTest, LegsAssembleAroundTheirPins) {
    physics_test::Ticks(100);
    for (int n = 0; n < kHingeCount; ++n) {
        dVector3 a1, a2;
        dJointGetHingeAnchor(hinges[n], a1);
        dJointGetHingeAnchor2(hinges[n], a2);
        const double gap =
            std::sqrt((a1[0] - a2[0]) * (a1[0] - a2[0]) + (a1[1] - a2[1]) * (a1[1] - a2[1]) +
                      (a1[2] - a2[2]) * (a1[2] - a2[2]));
        EXPECT_LT(gap, 0.05) << "hinge " << n;
    }
}

// The library is closed at shut-down and opened again by the next build, so a second world in
// the same process behaves like the first.
TEST(WorldLifecycle, RebuildAfterShutDownGivesTheSameWorld) {
    FillShapeTables();
    BuildWorld();
    EXPECT_TRUE(odeInitialised);
    ShutDownScene();
    EXPECT_FALSE(odeInitialised);
    BuildWorld();
    EXPECT_EQ(dSpaceGetNumGeoms(worldSpace), 6);
    EXPECT_EQ(dSpaceGetNumGeoms(vehicleSpace), 33);
    ShutDownScene();
}

// Shut-down leaves no dangling handles behind, and a second shut-down (or one without a built
// world) finds nothing to destroy.
TEST(WorldLifecycle, ShutDownClearsTheHandlesAndIsSafeToRepeat) {
    FillShapeTables();
    BuildWorld();
    ShutDownScene();
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(worldSpace, nullptr);
    EXPECT_EQ(vehicleSpace, nullptr);
    EXPECT_EQ(contactGroup, nullptr);
    EXPECT_EQ(chassisBody, nullptr);
    for (int n = 0; n < kLinkCount; ++n) {
        EXPECT_EQ(linkBodies[n], nullptr);
        EXPECT_EQ(linkGeoms[n], nullptr);
        EXPECT_EQ(hinges[n], nullptr);
    }
    ShutDownScene();
    EXPECT_FALSE(odeInitialised);
}

} // namespace
