// The leg as a four-bar loop: whether its crank can turn a full circle, where its joints sit for
// a crank angle, and the boxes that make up the leg in the build pose.
#pragma once

#include <string>

#include "machine/machine.h"

struct PlanePoint {
    double x, y;
};

// The joints of one leg, relative to the crank pivot A = (0, 0); the rocker pivot D = (base, 0).
struct LoopPoints {
    PlanePoint crankEnd;  // B
    PlanePoint rockerEnd; // C
    PlanePoint foot;      // P
};

// Empty when the crank turns a full circle relative to the base (the crank is the shortest link
// and shortest + longest < the other two); else why not, with the numbers.
std::string CrankTurnProblem(const Linkage& linkage);

// The joints for crank angle `angle` (radians from +x), with C on the branch left of the line
// B -> D, the side the build lays the leg out on. False when the circles about B and D do not
// meet: the loop cannot close at that angle.
bool SolveLoop(const Linkage& linkage, double angle, LoopPoints& points);

// One link's box in the build pose, relative to the crank pivot: its centre, its extent along
// the link (the box's y axis, or x for the base) and its turn about +z (0: none).
struct LinkPose {
    double x, y;
    double along;
    double turn;
};

// The leg laid out for building, crank straight up (90 degrees): the four links' boxes in the
// order crank, base link, rocker, coupler, and the four hinge anchors (crank-base, base-rocker,
// rocker-coupler, coupler-crank).
struct LegBuildPose {
    LinkPose links[4];
    PlanePoint anchors[4];
};

// The pose solved from the loop. At the design's linkage it is the design's stored pose, to the
// last bit, so that the default machine runs exactly as it always has. False when the loop
// cannot close at the build angle.
bool BuildPoseOf(const Linkage& linkage, LegBuildPose& pose);
