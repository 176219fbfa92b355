// Applying the panel's actions to the simulation's own variables, the ones the keys change.
#include "sim/panel_actions.h"

#include "sim/contacts.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/hand.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"

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

void Apply(const PanelAction& action) {
    switch (action.verb) {
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
    applied.swap(queued);
    for (const PanelAction& action : applied)
        Apply(action);
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
