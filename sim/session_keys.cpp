// Pause, single step and reset.
#include "sim/session_keys.h"

#include <dinput.h>

#include "shell/debug_log.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/laser.h"
#include "sim/hand.h"
#include "sim/panel_actions.h"
#include "sim/physics_step.h"
#include "sim/time_control.h"
#include "sim/walk_measures.h"
#include "sim/world.h"

bool paused = false;
bool simulationAdvances = true;

void ResetMachine() {
    // The world is rebuilt from nothing, library included, so that every list the physics keeps
    // is in creation order again and the ticks after the reset repeat those after start-up.
    ShutDownScene();
    BuildWorld();
    flankCommand[0] = flankCommand[1] = 0;
    crankSpeed = StartCrankSpeed();
    frictionCoefficient = StartFrictionCoefficient();
    viewMode = 0;
    nudgeAmount = 0.0f;
    laserBeams[0] = laserBeams[1] = LaserBeam{};
    ClearGaitRecord();
    ClearWalkRecord();
    ReleaseBody();
    ForgetPoseBeforeStep();
    DebugPrint("Reset: the machine is back at its start.\n");
}

void ReadSessionKeys() {
    if (GetKey(DIK_BACK) == 2) ResetMachine();
    if (GetKey(DIK_P) == 2) paused = !paused;
    simulationAdvances = TakeStepRequest() || !paused || GetKey(DIK_O) == 2;
}
