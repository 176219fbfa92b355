// The walking machine and the scenery as physics objects: shape tables, world, spaces, bodies,
// geoms and joints.
#pragma once

#include <ode/ode.h>

struct ShapeSpec {
    float x, y, z;
    float height; // along the body's y axis; a sphere's radius
    float length; // along the body's x axis
    float width;  // along the body's z axis
};

constexpr int kLinkCount = 32;
constexpr int kGroupCount = 5;
constexpr int kHingeCount = 32;
constexpr int kFixedCount = 8;

extern ShapeSpec linkSpecs[kLinkCount];
extern ShapeSpec groupSpecs[kGroupCount];

extern dWorldID world;
extern dSpaceID worldSpace;
extern dSpaceID vehicleSpace;
extern dJointGroupID contactGroup;
extern dGeomID groundPlane;
extern dBodyID linkBodies[kLinkCount];
extern dGeomID linkGeoms[kLinkCount];
extern dBodyID chassisBody;
extern dGeomID groupGeoms[kGroupCount];
extern dJointID hinges[kHingeCount];
extern dJointID fixedJoints[kFixedCount];

// Link r of leg (j, e), hinge k of leg (j, e).
constexpr int LinkIndex(int r, int j, int e) {
    return 8 * r + 2 * j + e;
}
constexpr int HingeIndex(int k, int j, int e) {
    return 8 * k + 2 * j + e;
}

// Whether dInitODE2 has run and dCloseODE has not yet; BuildWorld initialises the library on
// first use and ShutDownScene closes it.
extern bool odeInitialised;

void FillShapeTables();
void BuildWorld();
