// The simulation's per-tick frame function: the tick's advance, then the keys of the picture
// and the picture itself.
#include "sim/controls.h"

#include <dinput.h>

#include "gfx/screenshot.h"
#include "gfx/video_recording.h"
#include "input/input.h"
#include "sim/contacts.h"
#include "sim/frame.h"
#include "sim/gait_lab.h"
#include "sim/key_help.h"
#include "sim/panel.h"
#include "sim/panel_actions.h"
#include "sim/scene.h"

void RunFrame() {
    // The panel's changes and pulls of this tick are queued before the tick applies them.
    ReadPanelInput();
    AdvanceSimulation();
    if (!drawFrames) return;
    if (GetKey(DIK_F9) == 2 || TakeVideoRequest()) ToggleVideoRecording();
    UpdateGaitLab();
    UpdateContactKey();
    UpdateKeyHelp();
    UpdatePanelKey();
    MatchMachineMeshes();
    DrawFrame();
    if (GetKey(DIK_F12) == 2 || TakeScreenshotRequest()) SaveScreenshot();
}
