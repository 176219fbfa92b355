// The gait lab's keys and its record of the last ticks.
#include "sim/gait_lab.h"

#include <dinput.h>

#include <cmath>

#include "input/input.h"
#include "sim/contacts.h"
#include "sim/walk_measures.h"
#include "sim/world.h"

bool footTrailsOn = false;
bool gaitPanelOn = false;
bool footfallPanelOn = false;

namespace {

constexpr int kHistoryTicks = kTrailTicks > kSpeedTicks ? kTrailTicks : kSpeedTicks;

// In the chassis's own frame: seen from the machine, each foot runs round the same closed path.
dVector3 footPoints[kTrailTicks][kLegCount];
float speeds[kSpeedTicks];
bool footDown[kSpeedTicks][kLegCount];
bool footCarries[kSpeedTicks][kLegCount];
float footForce[kSpeedTicks][kLegCount];
int newest = -1;  // slot of the newest sample in each ring
int recorded = 0; // samples so far, up to kHistoryTicks

int Slot(int age, int size) {
    return ((newest - age) % size + size) % size;
}

} // namespace

void RecordGaitStep() {
    if (chassisBody == nullptr) return; // no world built yet
    ++newest;
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            FootInChassisFrame(j, e, footPoints[newest % kTrailTicks][2 * j + e]);
        }
    }
    const dReal* v = dBodyGetLinearVel(chassisBody);
    speeds[newest % kSpeedTicks] = static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1]));
    for (int leg = 0; leg < kLegCount; ++leg) {
        footDown[newest % kSpeedTicks][leg] = recordContacts && LegTouches(leg);
        footCarries[newest % kSpeedTicks][leg] = recordContacts && LegCarries(leg);
        footForce[newest % kSpeedTicks][leg] =
            recordContacts ? static_cast<float>(LegVerticalForce(leg)) : 0.0f;
    }
    if (recorded < kHistoryTicks) ++recorded;
    // Keeps the slot arithmetic far from overflow in a run of any length.
    if (newest >= kTrailTicks * kSpeedTicks) newest -= kTrailTicks * kSpeedTicks;
}

namespace {

double Wrapped(double radians) {
    double turns = std::floor((radians + M_PI) / (2 * M_PI));
    return radians - turns * 2 * M_PI;
}

} // namespace

int RecordedTicks() {
    return recorded;
}

D3DXVECTOR3 FootPoint(int leg, int age) {
    const dReal* local = footPoints[Slot(age, kTrailTicks)][leg];
    dVector3 foot;
    dBodyGetRelPointPos(chassisBody, local[0], local[1], local[2], foot);
    // Physics (x, y, z) is graphics (x, z, y).
    return D3DXVECTOR3(static_cast<float>(foot[0]), static_cast<float>(foot[2]),
                       static_cast<float>(foot[1]));
}

float WalkingSpeed(int age) {
    return speeds[Slot(age, kSpeedTicks)];
}

bool FootDown(int leg, int age) {
    return footDown[Slot(age, kSpeedTicks)][leg];
}

bool FootCarries(int leg, int age) {
    return footCarries[Slot(age, kSpeedTicks)][leg];
}

float FootForce(int leg, int age) {
    return footForce[Slot(age, kSpeedTicks)][leg];
}

bool FootfallSummary(int leg, double& dutyFactor, double& meanForce) {
    const int samples = recorded < kSpeedTicks ? recorded : kSpeedTicks;
    if (samples == 0) return false;
    int down = 0;
    double force = 0.0;
    for (int age = 0; age < samples; ++age) {
        if (FootDown(leg, age)) ++down;
        force += FootForce(leg, age);
    }
    dutyFactor = static_cast<double>(down) / samples;
    meanForce = force / samples;
    return true;
}

bool CrankPhaseError(int j, int e, double& degrees) {
    // Legs 1 and 3 run half a turn behind legs 0 and 2 of their end; end 1's cranks 0 and 2
    // run in phase with end 0's.
    int leaderJ = j, leaderE = e;
    double offset = 0.0;
    if (j == 1 || j == 3) {
        leaderJ = j - 1;
        offset = M_PI;
    } else if (e == 1) {
        leaderE = 0;
    } else {
        return false;
    }
    double leader = dJointGetHingeAngle(hinges[HingeIndex(0, leaderJ, leaderE)]);
    double own = dJointGetHingeAngle(hinges[HingeIndex(0, j, e)]);
    degrees = Wrapped(leader + offset - own) * 180.0 / M_PI;
    return true;
}

void UpdateGaitLab() {
    if (GetKey(DIK_F2) == 2) footTrailsOn = !footTrailsOn;
    if (GetKey(DIK_F3) == 2) gaitPanelOn = !gaitPanelOn;
    if (GetKey(DIK_F5) == 2) footfallPanelOn = !footfallPanelOn;
}

void ClearGaitRecord() {
    newest = -1;
    recorded = 0;
}
