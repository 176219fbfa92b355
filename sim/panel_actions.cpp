// Applying the panel's actions to the simulation's own variables, the ones the keys change.
#include "sim/panel_actions.h"

#include "machine/machine_values.h"

#include "sim/contacts.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/hand.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"
#include "sim/world.h"

namespace {

std::vector<PanelAction> queued;
std::vector<PanelAction> applied;
bool requests[kPanelCommandCount] = {};

void ApplySetting(int which, double value) {
    const bool on = value != 0.0;
    switch (which) {
    case kSetCrankSpeed:
        crankSpeed = static_cast<float>(value);
        break;
    case kSetFriction:
        frictionCoefficient = static_cast<float>(value);
        break;
    case kSetRate:
        rateIndex = static_cast<int>(value);
        break;
    case kSetPaused:
        paused = on;
        break;
    case kSetTrails:
        footTrailsOn = on;
        break;
    case kSetGaitPanel:
        gaitPanelOn = on;
        break;
    case kSetContacts:
        contactsOn = on;
        break;
    case kSetFootfall:
        footfallPanelOn = on;
        break;
    case kSetKeyList:
        keyHelpOn = on;
        break;
    case kSetView:
        viewMode = static_cast<int>(value);
        break;
    default:
        break;
    }
}

// The edited machine is put in force and the world built from it as the reset key builds it. A
// machine that does not check changes nothing (the panel and the replay check it beforehand).
bool RebuildWith(const std::vector<MachineEdit>& edits) {
    Machine edited;
    std::string error;
    if (!VaryMachine(MachineInForce(), MachineValuesOf(edits), edited, error)) return false;
    RebuildFrom(edited);
    return true;
}

bool Apply(const PanelAction& action) {
    switch (action.verb) {
    case PanelVerb::Machine:
        return RebuildWith(action.edits);
    case PanelVerb::Set:
        ApplySetting(action.which, action.value);
        break;
    case PanelVerb::Do:
        if (action.which == kDoReset)
            ResetMachine();
        else if (action.which >= 0 && action.which < kPanelCommandCount)
            requests[action.which] = true;
        break;
    case PanelVerb::Pull:
        HoldBody(action.body, action.point, action.target);
        break;
    case PanelVerb::Release:
        ReleaseBody();
        break;
    }
    return true;
}

bool Take(int command) {
    const bool asked = requests[command];
    requests[command] = false;
    return asked;
}

} // namespace

void QueuePanelAction(const PanelAction& action) {
    queued.push_back(action);
}

void ApplyPanelActions() {
    applied.clear();
    // A request nobody took (a tick without drawing) does not linger into a later one.
    for (bool& request : requests)
        request = false;
    if (queued.empty()) return;
    // Only what acted is this tick's, so a recording never holds an action its replay refuses.
    for (const PanelAction& action : queued)
        if (Apply(action)) applied.push_back(action);
    queued.clear();
}

void RebuildFrom(const Machine& machine) {
    PutMachineInForce(machine);
    FillShapeTables();
    ResetMachine();
}

std::vector<MachineValue> MachineValuesOf(const std::vector<MachineEdit>& edits) {
    std::vector<MachineValue> values;
    for (const MachineEdit& edit : edits)
        values.push_back({edit.path, edit.value});
    return values;
}

bool CheckMachineLines(const std::vector<PanelAction>& actions, const Machine& start,
                       std::string& error) {
    Machine machine = start, edited;
    for (const PanelAction& action : actions) {
        if (action.verb != PanelVerb::Machine) continue;
        if (!VaryMachine(machine, MachineValuesOf(action.edits), edited, error)) {
            error = "script:" + std::to_string(action.line) + ": " + error;
            return false;
        }
        machine = edited;
    }
    return true;
}

const std::vector<PanelAction>& PanelActionsThisTick() {
    return applied;
}

bool TakeStepRequest() {
    return Take(kDoStep);
}
bool TakeScreenshotRequest() {
    return Take(kDoScreenshot);
}
bool TakeVideoRequest() {
    return Take(kDoVideo);
}
