// Time control. The physics trajectory per step does not depend on the rate: a step reads the
// control inputs as they stand when it runs, and the keys change those once a tick as they
// always have. Only what a tick shows, and how many steps it takes, follow the rate.
#include "sim/time_control.h"

#include <dinput.h>

#include <cmath>

#include "input/input.h"
#include "sim/body_matrix.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/hand.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/walk_measures.h"
#include "sim/world.h"

int rateIndex = kNormalRate;
int stepsThisTick = 1;
void (*afterPhysicsStep)() = nullptr;

namespace {

// Rate = 2^(index - kNormalRate).
const char* const kRateNames[kRateCount] = {"1/16", "1/8", "1/4", "1/2", "1", "2", "4"};

constexpr int kPoseCount = kLinkCount + 1;
dReal positionBefore[kPoseCount][3];
dReal rotationBefore[kPoseCount][4]; // quaternion, w first as ODE keeps it
bool haveBefore = false;
int phase = 0; // ticks since the last step in slow motion
float drawFraction = 1.0f;

dBodyID PoseBody(int index) {
    return index == kChassisPose ? chassisBody : linkBodies[index];
}

void KeepPoseBeforeStep() {
    for (int i = 0; i < kPoseCount; ++i) {
        const dReal* p = dBodyGetPosition(PoseBody(i));
        const dReal* q = dBodyGetQuaternion(PoseBody(i));
        for (int k = 0; k < 3; ++k)
            positionBefore[i][k] = p[k];
        for (int k = 0; k < 4; ++k)
            rotationBefore[i][k] = q[k];
    }
    haveBefore = true;
}

// Spherical interpolation along the shorter arc; nearly equal rotations fall back to a
// normalised straight line, where the sine would lose its precision.
void Slerp(const dReal* a, const dReal* b, double t, dQuaternion out) {
    double dot = 0.0;
    for (int k = 0; k < 4; ++k)
        dot += a[k] * b[k];
    const double sign = dot < 0.0 ? -1.0 : 1.0;
    dot *= sign;
    double wa = 1.0 - t, wb = t;
    if (dot < 0.9995) {
        const double angle = std::acos(dot);
        const double s = std::sin(angle);
        wa = std::sin((1.0 - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    double length = 0.0;
    for (int k = 0; k < 4; ++k) {
        out[k] = wa * a[k] + wb * sign * b[k];
        length += out[k] * out[k];
    }
    length = std::sqrt(length);
    for (int k = 0; k < 4; ++k)
        out[k] /= length;
}

} // namespace

int TicksPerStep() {
    return rateIndex < kNormalRate ? 1 << (kNormalRate - rateIndex) : 1;
}

int StepsPerTick() {
    return rateIndex > kNormalRate ? 1 << (rateIndex - kNormalRate) : 1;
}

const char* RateName() {
    return kRateNames[rateIndex];
}

float SimulatedTicksThisTick() {
    if (!simulationAdvances) return 0.0f;
    return static_cast<float>(StepsPerTick()) / static_cast<float>(TicksPerStep());
}

void ReadTimeKeys() {
    int wanted = rateIndex;
    if (GetKey(DIK_MINUS) == 2 && wanted > 0) --wanted;
    if (GetKey(DIK_EQUALS) == 2 && wanted < kRateCount - 1) ++wanted;
    if (wanted != rateIndex) {
        rateIndex = wanted;
        phase = 0; // the new rate starts with a step
    }
    if (!simulationAdvances) {
        stepsThisTick = 0; // paused: the picture holds where it stands
        return;
    }
    const int k = TicksPerStep();
    stepsThisTick = phase == 0 ? StepsPerTick() : 0;
    // At rate 1 and above the fraction is exactly 1, and the bodies are drawn from their own
    // poses as always.
    drawFraction = k == 1 ? 1.0f : static_cast<float>(phase + 1) / static_cast<float>(k);
    phase = (phase + 1) % k;
}

void RunPhysicsSteps() {
    for (int s = 0; s < stepsThisTick; ++s) {
        if (s + 1 == stepsThisTick && TicksPerStep() > 1) KeepPoseBeforeStep();
        ApplyHandForce();
        if (walkMeasuresOn) PrepareWalkStep();
        StepPhysics();
        if (drawFrames) RecordGaitStep();
        if (walkMeasuresOn) RecordWalkStep();
        if (afterPhysicsStep) afterPhysicsStep();
    }
}

void ForgetPoseBeforeStep() {
    haveBefore = false;
}

float DrawFraction() {
    return haveBefore ? drawFraction : 1.0f;
}

D3DXMATRIX PoseDrawMatrix(int index) {
    dBodyID body = PoseBody(index);
    const float f = DrawFraction();
    if (f >= 1.0f) return MakeBodyDrawMatrix(dBodyGetPosition(body), dBodyGetRotation(body));
    const dReal* p1 = dBodyGetPosition(body);
    const dReal* q1 = dBodyGetQuaternion(body);
    dVector3 p;
    for (int k = 0; k < 3; ++k)
        p[k] = positionBefore[index][k] + f * (p1[k] - positionBefore[index][k]);
    dQuaternion q;
    Slerp(rotationBefore[index], q1, f, q);
    dMatrix3 R;
    dQtoR(q, R);
    return MakeBodyDrawMatrix(p, R);
}
