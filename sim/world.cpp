// The walking machine and the scenery as physics objects. The order in which bodies, joints and
// geoms are created below is deliberate: the physics library keeps them in lists ordered by
// creation and its results depend on that order, so the loops must not be regrouped.
#include "sim/world.h"

#include <cmath>

ShapeSpec linkSpecs[kLinkCount];
ShapeSpec groupSpecs[kGroupCount];

dWorldID world;
dSpaceID worldSpace;
dSpaceID vehicleSpace;
dJointGroupID contactGroup;
dGeomID groundPlane;
dBodyID linkBodies[kLinkCount];
dGeomID linkGeoms[kLinkCount];
dBodyID chassisBody;
dGeomID groupGeoms[kGroupCount];
dJointID hinges[kHingeCount];
dJointID fixedJoints[kFixedCount];

bool odeInitialised = false;

namespace {

// Build-plane z of legs 0..3; legs 0 and 1 form flank 0, legs 2 and 3 flank 1.
const float legZ[4] = {4.0f, 4.7f, 10.7f, 11.4f};

// Link proportions of the lambda linkage: crank 1, base 2, rocker 2.5, coupler 5.
struct LinkShape {
    float x, y; // centre, relative to the leg's crank pivot
    float height, length;
};
const LinkShape linkShapes[4] = {
    {0.0f, 0.5f, 1.0f, 0.3f},  // crank
    {1.0f, 0.0f, 0.3f, 2.0f},  // base link
    {2.0f, 1.25f, 2.5f, 0.3f}, // rocker
    {2.0f, 2.5f, 5.0f, 0.3f},  // coupler
};

// Hinge k joins link hingeBodies[k][0] to link hingeBodies[k][1] at hingeAnchors[k] (pivot
// relative).
const int hingeBodies[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
const float hingeAnchors[4][2] = {{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 2.5f}, {0.0f, 1.0f}};

const ShapeSpec groupTable[kGroupCount] = {
    {8.0f, -0.5f, 7.7f, 0.5f, 16.0f, 6.0f}, // chassis
    {20.0f, 20.0f, -17.0f, 20.0f, 0.3f, 0.3f},  {20.0f, -20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
    {-20.0f, 20.0f, -17.0f, 20.0f, 0.3f, 0.3f}, {-20.0f, -20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
};

constexpr ShapeSpec kDefaultSpec = {0.0f, 0.0f, 0.0f, 0.3f, 0.3f, 0.3f};

} // namespace

void FillShapeTables() {
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                ShapeSpec& s = linkSpecs[LinkIndex(r, j, e)];
                s = kDefaultSpec;
                s.x = linkShapes[r].x;
                s.y = linkShapes[r].y;
                s.z = legZ[j];
                s.height = linkShapes[r].height;
                s.length = linkShapes[r].length;
            }
        }
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                linkSpecs[LinkIndex(r, j, e)].x += 10.0f * e;
            }
        }
    }
    for (int k = 0; k < kGroupCount; ++k) {
        groupSpecs[k] = groupTable[k];
    }
}

void BuildWorld() {
    if (!odeInitialised) {
        dInitODE2(0);
        odeInitialised = true;
    }

    world = dWorldCreate();
    // The machine is tuned for ERP 0.2 and CFM 1e-5, the library's defaults in single precision.
    // The double-precision build defaults to CFM 1e-10, with which the redundant constraints of
    // the closed four-bar legs turn stiff: the machine lands on its back after assembly and
    // cannot turn. Set before any joint exists, so every joint sees the same values.
    dWorldSetERP(world, 0.2);
    dWorldSetCFM(world, 1e-5);
    worldSpace = dHashSpaceCreate(0);
    contactGroup = dJointGroupCreate(0);
    dWorldSetGravity(world, 0, 0, -9.8);
    groundPlane = dCreatePlane(worldSpace, 0, 0, 1, 0);

    dMass m;
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                const int n = LinkIndex(r, j, e);
                const ShapeSpec& s = linkSpecs[n];
                dMassSetZero(&m);
                linkBodies[n] = dBodyCreate(world);
                dBodySetPosition(linkBodies[n], s.x, s.y, s.z);
                if (r == 3) {
                    dQuaternion q;
                    dQFromAxisAndAngle(q, 0, 0, 1, -std::atan2(1.3333333333333333, 1.0));
                    dBodySetQuaternion(linkBodies[n], q);
                }
                dMassSetBox(&m, 1.0, s.length, s.height, s.width);
                dMassAdjust(&m, s.length * s.width * s.height * 4.0);
                dBodySetMass(linkBodies[n], &m);
                linkGeoms[n] = dCreateBox(0, s.length, s.height, s.width);
                dGeomSetBody(linkGeoms[n], linkBodies[n]);
                dBodySetFiniteRotationMode(linkBodies[n], 1);
            }
        }
    }

    for (int k = 0; k < kGroupCount; ++k) {
        const ShapeSpec& s = groupSpecs[k];
        if (k == 0) {
            dMassSetZero(&m);
            chassisBody = dBodyCreate(world);
            dBodySetPosition(chassisBody, s.x, s.y, s.z);
            dMassSetBox(&m, 1.0, 16.0, 0.5, 6.0);
            dMassAdjust(&m, 192.0);
            dBodySetMass(chassisBody, &m);
            groupGeoms[0] = dCreateBox(0, 16.0, 0.5, 6.0);
            dGeomSetBody(groupGeoms[0], chassisBody);
            dBodySetFiniteRotationMode(chassisBody, 1);
        } else {
            groupGeoms[k] = dCreateSphere(worldSpace, 20.0);
            dGeomSetPosition(groupGeoms[k], s.x, s.y, s.z);
        }
    }

    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                hinges[HingeIndex(k, j, e)] = dJointCreateHinge(world, 0);
            }
        }
    }

    for (int e = 0; e < 2; ++e) {
        const float x0 = 10.0f * e;
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                dJointID hinge = hinges[HingeIndex(k, j, e)];
                dJointAttach(hinge, linkBodies[LinkIndex(hingeBodies[k][0], j, e)],
                             linkBodies[LinkIndex(hingeBodies[k][1], j, e)]);
                dJointSetHingeAnchor(hinge, x0 + hingeAnchors[k][0], hingeAnchors[k][1], legZ[j]);
                dJointSetHingeAxis(hinge, 0, 0, 1);
            }
            dJointID fixed = dJointCreateFixed(world, 0);
            fixedJoints[2 * j + e] = fixed;
            dJointAttach(fixed, linkBodies[LinkIndex(1, j, e)], chassisBody);
            dJointSetFixed(fixed);
        }
    }

    vehicleSpace = dSimpleSpaceCreate(worldSpace);
    // The link and chassis geoms are destroyed one by one at shut-down, not with this space.
    dSpaceSetCleanup(vehicleSpace, 0);

    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                dSpaceAdd(vehicleSpace, linkGeoms[LinkIndex(r, j, e)]);
            }
        }
    }
    dSpaceAdd(vehicleSpace, groupGeoms[0]);

    // The legs were laid out rising along +y; turning every body about x maps that to -z, so
    // they hang below the chassis. Positions stay: the joints remember the build pose, and the
    // solver draws the links into the turned arrangement during the first steps.
    dMatrix3 R;
    dRFromAxisAndAngle(R, 1, 0, 0, -M_PI / 2);
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                dBodySetRotation(linkBodies[LinkIndex(r, j, e)], R);
            }
        }
    }
    dBodySetRotation(chassisBody, R);
}
