// The driver controls and the tick's advance of the simulation, which run with or without the
// picture; the frame function that adds the picture is run_frame.cpp's.
#include "sim/controls.h"

#include <dinput.h>

#include "input/input.h"
#include "sim/contacts.h"
#include "sim/laser.h"
#include "sim/panel_actions.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"
#include "sim/walk_measures.h"
#include "sim/world.h"

int viewMode = 0;
float nudgeAmount = 0.0f;
bool drawFrames = true;
// F1's list is drawn above, but defined here with the other switches: a replay's panel lines
// set it in runs that draw nothing.
bool keyHelpOn = false;

namespace {

bool IsDown(int key) {
    return GetKey(key) >= 2;
}
bool IsPressed(int key) {
    return GetKey(key) == 2;
}

// Shifts the chassis by the quaternion derivative of (0, nudgeAmount, nudgeAmount), then
// changes nudgeAmount: the shift uses the value from before the change.
void Nudge(double change) {
    const dReal* p = dBodyGetPosition(chassisBody);
    const dReal* q = dBodyGetQuaternion(chassisBody);
    const dVector3 w = {0, nudgeAmount, nudgeAmount};
    dReal dq[4];
    dDQfromW(dq, w, q);
    nudgeAmount += change;
    dBodySetPosition(chassisBody, p[0] + dq[0], p[1] + dq[1], p[2] + dq[2]);
    // In slow motion the pose before the last step no longer leads to this one.
    ForgetPoseBeforeStep();
}

void NextViewOnTab() {
    if (IsPressed(DIK_TAB)) {
        viewMode = viewMode + 1;
        if (viewMode == 3) viewMode = 0;
    }
}

} // namespace

void ReadControls() {
    if (IsDown(DIK_UP)) {
        flankCommand[0] = -1;
        flankCommand[1] = -1;
    } else if (IsDown(DIK_DOWN)) {
        flankCommand[0] = 1;
        flankCommand[1] = 1;
    } else if (IsDown(DIK_LEFT)) {
        flankCommand[0] = -1;
        flankCommand[1] = 1;
    } else if (IsDown(DIK_RIGHT)) {
        flankCommand[0] = 1;
        flankCommand[1] = -1;
    } else {
        flankCommand[0] = 0;
        flankCommand[1] = 0;
    }

    NextViewOnTab();

    if (IsDown(DIK_R)) crankSpeed += 0.05;
    if (IsDown(DIK_F)) crankSpeed -= 0.05;

    if (IsDown(DIK_T)) frictionCoefficient += 5.0;
    if (IsDown(DIK_G)) {
        if (frictionCoefficient > 5.0f) frictionCoefficient -= 5.0;
    }

    if (IsDown(DIK_Y)) Nudge(0.1);
    if (IsDown(DIK_H)) Nudge(-0.1);

    if (IsPressed(DIK_SPACE)) FireLaser();
}

void AdvanceSimulation() {
    ApplyPanelActions();
    ReadSessionKeys();
    ReadTimeKeys();
    // A paused tick reads only the view: a key held or pressed meanwhile (a shot, a nudge, the
    // crank speed) acts at the tick that runs, not all at once at the first step after resuming.
    if (simulationAdvances) {
        ReadControls();
    } else {
        NextViewOnTab();
    }
    // The measures' stance comes from the contact record too.
    recordContacts = drawFrames || walkMeasuresOn;
    RunPhysicsSteps();
}
