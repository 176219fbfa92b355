// The walking machine and the scenery as physics objects. The order in which bodies, joints and
// geoms are created below is deliberate: the physics library keeps them in lists ordered by
// creation and its results depend on that order, so the loops must not be regrouped.
#include "sim/world.h"

#include <cmath>

#include "machine/four_bar.h"
#include "machine/machine.h"

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

// Hinge k joins link hingeBodies[k][0] to link hingeBodies[k][1] at the leg's anchor k.
const int hingeBodies[4][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};

// The hills are scenery, not machine: they stay wherever the machine file puts the legs.
const ShapeSpec hillTable[kGroupCount - 1] = {
    {20.0f, 20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
    {20.0f, -20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
    {-20.0f, 20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
    {-20.0f, -20.0f, -17.0f, 20.0f, 0.3f, 0.3f},
};

constexpr ShapeSpec kDefaultSpec = {0.0f, 0.0f, 0.0f, 0.3f, 0.3f, 0.3f};

// The leg of the machine in force, laid out by its four-bar loop (checked when the machine was
// put in force, so the loop closes).
LegBuildPose legPose;

// Build-plane z of leg j; legs 0 and 1 form flank 0, legs 2 and 3 flank 1.
float LegZ(int j) {
    return static_cast<float>(MachineInForce().legs.planes[j]);
}

float EndX(int e) {
    return static_cast<float>(MachineInForce().legs.endSpacing) * e;
}

// The base link lies along x; the other links along their box's y axis.
void SetLinkShape(ShapeSpec& s, int r, const LinkPose& link, float thickness) {
    s.x = static_cast<float>(link.x);
    s.y = static_cast<float>(link.y);
    s.height = r == 1 ? thickness : static_cast<float>(link.along);
    s.length = r == 1 ? static_cast<float>(link.along) : thickness;
    s.width = thickness;
}

} // namespace

void FillShapeTables() {
    const Machine& machine = MachineInForce();
    BuildPoseOf(machine.linkage, legPose);
    const float thickness = static_cast<float>(machine.links.thickness);
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                ShapeSpec& s = linkSpecs[LinkIndex(r, j, e)];
                s = kDefaultSpec;
                SetLinkShape(s, r, legPose.links[r], thickness);
                s.z = LegZ(j);
            }
        }
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                linkSpecs[LinkIndex(r, j, e)].x += EndX(e);
            }
        }
    }
    const Chassis& chassis = machine.chassis;
    groupSpecs[0] = {static_cast<float>(chassis.centre[0]), static_cast<float>(chassis.centre[1]),
                     static_cast<float>(chassis.centre[2]), static_cast<float>(chassis.height),
                     static_cast<float>(chassis.length),    static_cast<float>(chassis.width)};
    for (int k = 1; k < kGroupCount; ++k) {
        groupSpecs[k] = hillTable[k - 1];
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

    const Machine& machine = MachineInForce();
    dMass m;
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                const int n = LinkIndex(r, j, e);
                const ShapeSpec& s = linkSpecs[n];
                dMassSetZero(&m);
                linkBodies[n] = dBodyCreate(world);
                dBodySetPosition(linkBodies[n], s.x, s.y, s.z);
                // The design turns only the coupler; a rocker that does not stand straight up
                // in the build pose turns too.
                if (legPose.links[r].turn != 0.0) {
                    dQuaternion q;
                    dQFromAxisAndAngle(q, 0, 0, 1, legPose.links[r].turn);
                    dBodySetQuaternion(linkBodies[n], q);
                }
                dMassSetBox(&m, 1.0, s.length, s.height, s.width);
                dMassAdjust(&m, s.length * s.width * s.height * machine.links.density);
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
            dMassSetBox(&m, 1.0, s.length, s.height, s.width);
            dMassAdjust(&m, machine.chassis.mass);
            dBodySetMass(chassisBody, &m);
            groupGeoms[0] = dCreateBox(0, s.length, s.height, s.width);
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
        const float x0 = EndX(e);
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                dJointID hinge = hinges[HingeIndex(k, j, e)];
                dJointAttach(hinge, linkBodies[LinkIndex(hingeBodies[k][0], j, e)],
                             linkBodies[LinkIndex(hingeBodies[k][1], j, e)]);
                const PlanePoint& anchor = legPose.anchors[k];
                dJointSetHingeAnchor(hinge, x0 + static_cast<float>(anchor.x),
                                     static_cast<float>(anchor.y), LegZ(j));
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
