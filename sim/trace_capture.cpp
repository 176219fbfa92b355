// Trace rows from the live world: the chassis body and the crank hinges as ODE holds them, the
// driver controls and the view mode.
#include "sim/trace_capture.h"

#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/world.h"

TraceRow CaptureTraceRow(long tick) {
    TraceRow row;
    row.tick = tick;
    double* v = row.values;
    if (chassisBody) {
        const dReal* p = dBodyGetPosition(chassisBody);
        const dReal* vel = dBodyGetLinearVel(chassisBody);
        const dReal* q = dBodyGetQuaternion(chassisBody);
        for (int i = 0; i < 3; ++i) {
            v[kX + i] = p[i];
            v[kVx + i] = vel[i];
        }
        for (int i = 0; i < 4; ++i)
            v[kQw + i] = q[i]; // ODE keeps w first
    }
    int column = kCrank00;
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j) {
            dJointID hinge = hinges[HingeIndex(0, j, e)];
            v[column++] = hinge ? dJointGetHingeAngle(hinge) : 0.0;
        }
    v[kCrankSpeed] = crankSpeed;
    v[kFriction] = frictionCoefficient;
    v[kFlank0] = flankCommand[0];
    v[kFlank1] = flankCommand[1];
    v[kViewMode] = viewMode;
    return row;
}
