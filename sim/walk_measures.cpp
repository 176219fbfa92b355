// The cranks' positive work and the feet's stance and path, for the measures' trace columns.
#include "sim/walk_measures.h"

#include <cmath>

#include "machine/machine.h"
#include "sim/contacts.h"
#include "sim/world.h"

bool walkMeasuresOn = false;

namespace {

// The foot is the free end of the coupler, the lower link: half the coupler box's length along
// its body's y axis from its centre (in the design, where the rocker pins it).
float FootOffset() {
    return static_cast<float>(MachineInForce().linkage.foot / 2);
}

constexpr double kStepSeconds = 0.07; // one physics step

dJointFeedback crankFeedback[2][4];
double positiveWork = 0.0; // J since the machine was built

double Dot(const dReal* a, const dReal* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The motor's torque about the hinge axis times the crank's rate. The feedback's torque is about
// the first body's centre, so it also holds the moment of the joint's force there; taking that
// moment away leaves the torque about the hinge's own anchor, where the motor acts.
double CrankPower(int j, int e) {
    dJointID hinge = hinges[HingeIndex(0, j, e)];
    const dJointFeedback& f = crankFeedback[e][j];
    dVector3 anchor, axis;
    dJointGetHingeAnchor(hinge, anchor);
    dJointGetHingeAxis(hinge, axis);
    const dReal* centre = dBodyGetPosition(dJointGetBody(hinge, 0));
    const dReal arm[3] = {anchor[0] - centre[0], anchor[1] - centre[1], anchor[2] - centre[2]};
    const dReal moment[3] = {arm[1] * f.f1[2] - arm[2] * f.f1[1],
                             arm[2] * f.f1[0] - arm[0] * f.f1[2],
                             arm[0] * f.f1[1] - arm[1] * f.f1[0]};
    const dReal torque[3] = {f.t1[0] - moment[0], f.t1[1] - moment[1], f.t1[2] - moment[2]};
    return Dot(torque, axis) * dJointGetHingeAngleRate(hinge);
}

} // namespace

void FootInChassisFrame(int j, int e, dVector3 out) {
    dVector3 foot;
    dBodyGetRelPointPos(linkBodies[LinkIndex(3, j, e)], 0, FootOffset(), 0, foot);
    dBodyGetPosRelPoint(chassisBody, foot[0], foot[1], foot[2], out);
}

void PrepareWalkStep() {
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j)
            dJointSetFeedback(hinges[HingeIndex(0, j, e)], &crankFeedback[e][j]);
}

void RecordWalkStep() {
    // The motors cannot take energy back: a crank the ground drives costs nothing and gives
    // nothing to the others.
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j)
            positiveWork += std::fmax(0.0, CrankPower(j, e)) * kStepSeconds;
}

void ClearWalkRecord() {
    positiveWork = 0.0;
}

void CaptureWalkMeasures(TraceRow& row) {
    row.measured = true;
    double* m = row.measures;
    m[kWork] = positiveWork;
    m[kWeight] = MachineWeight();
    if (chassisBody == nullptr) return;
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j) {
            const int column = 4 * e + j;
            dVector3 foot;
            FootInChassisFrame(j, e, foot);
            m[kStance + column] = LegTouches(2 * j + e) ? 1.0 : 0.0;
            m[kFootAlong + column] = foot[0];
            m[kFootHeight + column] = -foot[1];
        }
}
