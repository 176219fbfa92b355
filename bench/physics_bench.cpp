// The cost of one physics tick: StepPhysics against a bare run of the same library calls on a
// twin world built the same way, ticking side by side so both see the same machine state and
// the same machine load. The "ratio" counter is StepPhysics' time over the bare time.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstring>

#include <ode/ode.h>

#include "sim/contacts.h"
#include "sim/physics_step.h"
#include "sim/world.h"

namespace {

// The handles of a world built by BuildWorld, kept after the globals move on to the next one.
struct TwinWorld {
    dWorldID world;
    dSpaceID space;
    dJointGroupID contacts;
    dJointID cranks[8];
    dGeomID linkGeoms[kLinkCount];
    dGeomID chassisGeom;
    dBodyID chassis;
};

TwinWorld Capture() {
    TwinWorld t;
    t.world = world;
    t.space = worldSpace;
    t.contacts = contactGroup;
    for (int n = 0; n < 8; ++n)
        t.cranks[n] = hinges[n];
    std::memcpy(t.linkGeoms, linkGeoms, sizeof t.linkGeoms);
    t.chassisGeom = groupGeoms[0];
    t.chassis = chassisBody;
    return t;
}

void Destroy(TwinWorld& t) {
    dJointGroupDestroy(t.contacts);
    for (dGeomID g : t.linkGeoms)
        dGeomDestroy(g);
    dGeomDestroy(t.chassisGeom);
    dSpaceDestroy(t.space);
    dWorldDestroy(t.world);
}

void BareCallback(void* data, dGeomID g1, dGeomID g2) {
    TwinWorld* t = static_cast<TwinWorld*>(data);
    dContact c[15];
    const int n = dCollide(g1, g2, 15, &c[0].geom, sizeof(dContact));
    for (int i = 0; i < n; ++i) {
        c[i].surface.mode = dContactBounce | dContactSoftCFM;
        c[i].surface.mu = frictionCoefficient;
        c[i].surface.bounce = 0.01;
        c[i].surface.bounce_vel = 0.04;
        c[i].surface.soft_cfm = 0.0005;
        dJointID j = dJointCreateContact(t->world, t->contacts, &c[i]);
        dJointAttach(j, dGeomGetBody(c[i].geom.g1), dGeomGetBody(c[i].geom.g2));
    }
}

// The same calls with the same values as StepPhysics, written out flat: the eight maximum
// forces, the twelve angle reads and the eight velocities, then collide, step and empty.
void BareTick(TwinWorld& t) {
    constexpr dReal twoPi = 2 * M_PI;
    dJointID* c = t.cranks; // crank (j, e) is c[2 * j + e]
    const float s0 = flankCommand[0] * crankSpeed;
    const float s1 = flankCommand[1] * crankSpeed;
    auto w = [](dReal a) { return a < 0 ? a + twoPi : a; };
    auto h = [&](dReal a) {
        dReal v = w(a) + M_PI;
        return v > twoPi ? v - twoPi : v;
    };
    dJointSetHingeParam(c[0], dParamFMax, 10000.0);
    dJointSetHingeParam(c[0], dParamVel, s0);
    dJointSetHingeParam(c[2], dParamFMax, 10000.0);
    dJointSetHingeParam(c[4], dParamVel, s1);
    dJointSetHingeParam(c[4], dParamFMax, 10000.0);
    dJointSetHingeParam(c[2], dParamVel,
                        s0 + (h(dJointGetHingeAngle(c[0])) - w(dJointGetHingeAngle(c[2]))));
    dJointSetHingeParam(c[6], dParamFMax, 10000.0);
    dJointSetHingeParam(c[6], dParamVel,
                        s1 + (h(dJointGetHingeAngle(c[4])) - w(dJointGetHingeAngle(c[6]))));
    dJointSetHingeParam(c[1], dParamFMax, 10000.0);
    dJointSetHingeParam(c[1], dParamVel,
                        s0 + 3.0 * (w(dJointGetHingeAngle(c[0])) - w(dJointGetHingeAngle(c[1]))));
    dJointSetHingeParam(c[3], dParamFMax, 10000.0);
    dJointSetHingeParam(c[5], dParamVel,
                        s1 + 3.0 * (w(dJointGetHingeAngle(c[4])) - w(dJointGetHingeAngle(c[5]))));
    dJointSetHingeParam(c[5], dParamFMax, 10000.0);
    dJointSetHingeParam(c[3], dParamVel,
                        s0 + (h(dJointGetHingeAngle(c[1])) - w(dJointGetHingeAngle(c[3]))));
    dJointSetHingeParam(c[7], dParamFMax, 10000.0);
    dJointSetHingeParam(c[7], dParamVel,
                        s1 + (h(dJointGetHingeAngle(c[5])) - w(dJointGetHingeAngle(c[7]))));
    dSpaceCollide(t.space, &t, BareCallback);
    dWorldStep(t.world, 0.07);
    dJointGroupEmpty(t.contacts);
}

constexpr int kSettleTicks = 100;
constexpr int kMeasuredTicks = 300;

// Builds the bare twin first and then the program's own world, so the globals belong to the
// latter; both walk forwards (UP) from the same start.
TwinWorld BuildBoth() {
    FillShapeTables();
    BuildWorld();
    TwinWorld bare = Capture();
    BuildWorld();
    flankCommand[0] = flankCommand[1] = -1;
    crankSpeed = 3.0f;
    frictionCoefficient = 350.0f;
    for (int i = 0; i < kSettleTicks; ++i) {
        StepPhysics();
        BareTick(bare);
    }
    return bare;
}

void CheckSameState(benchmark::State& state, const TwinWorld& bare) {
    const dReal* a = dBodyGetPosition(chassisBody);
    const dReal* b = dBodyGetPosition(bare.chassis);
    if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) {
        state.SkipWithError("the bare loop and StepPhysics drove the machine apart");
    }
}

// Thread CPU time in microseconds: the machine is shared, and time spent descheduled belongs to
// neither side of a comparison.
double ThreadCpuMicroseconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

void BM_StepPhysicsAgainstBareLoop(benchmark::State& state) {
    TwinWorld bare = BuildBoth();
    double ours = 0, base = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        // Alternate which goes first, so neither always finds the caches warmed by the other.
        for (int turn = 0; turn < 2; ++turn) {
            const double start = ThreadCpuMicroseconds();
            if ((turn == 0) == oursFirst) {
                StepPhysics();
                ours += ThreadCpuMicroseconds() - start;
            } else {
                BareTick(bare);
                base += ThreadCpuMicroseconds() - start;
            }
        }
        oursFirst = !oursFirst;
    }
    CheckSameState(state, bare);
    const double n = static_cast<double>(state.iterations());
    const double oursUs = ours / n;
    const double baseUs = base / n;
    state.counters["step_us"] = oursUs;
    state.counters["bare_us"] = baseUs;
    state.counters["ratio"] = oursUs / baseUs;
    Destroy(bare);
    ShutDownScene();
}
BENCHMARK(BM_StepPhysicsAgainstBareLoop)
    ->Iterations(kMeasuredTicks)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

// What keeping the contacts costs a step (F4 and the footfall diagram: joint feedback on every
// contact joint, the forces read back, eight legs asked against the ground), against the same
// step without, on the same world in turn. The bare twin keeps step with both: equal states at
// the end show that the feedback leaves the dynamics alone.
void BM_StepPhysicsRecordingContacts(benchmark::State& state) {
    TwinWorld bare = BuildBoth();
    double recording = 0, plain = 0;
    bool recordFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            recordContacts = (turn == 0) == recordFirst;
            const double start = ThreadCpuMicroseconds();
            StepPhysics();
            (recordContacts ? recording : plain) += ThreadCpuMicroseconds() - start;
            BareTick(bare);
        }
        recordFirst = !recordFirst;
    }
    recordContacts = false;
    CheckSameState(state, bare);
    const double n = static_cast<double>(state.iterations());
    state.counters["recording_us"] = recording / n;
    state.counters["plain_us"] = plain / n;
    state.counters["ratio"] = recording / plain;
    Destroy(bare);
    ShutDownScene();
}
BENCHMARK(BM_StepPhysicsRecordingContacts)
    ->Iterations(kMeasuredTicks / 2)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

} // namespace
