// Drawing one frame: the machine, the scenery, the camera, the beams, the ground and the help.
#include "sim/frame.h"

#include "gfx/camera.h"
#include "gfx/device/d3d_device.h"
#include "gfx/device/frame_bracket.h"
#include "gfx/immediate.h"
#include "gfx/overlay.h"
#include "sim/contacts.h"
#include "gfx/video_recording.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/key_help.h"
#include "sim/hand.h"
#include "sim/hand_pointer.h"
#include "sim/laser.h"
#include "sim/panel.h"
#include "sim/physics_step.h"
#include "sim/scene.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"
#include "sim/world.h"

#include <cmath>
#include <cstdio>

#include <platform/i18n/i18n.h>

namespace {

// One buffer for every help line; big enough for any double printed by "%f" (over 300 digits),
// and snprintf bounds it in any case.
char helpLine[400];

// The lines of the time control and the contacts, shown only while they are in use.
const char kRateLine[] = N_("Time Rate            : Push - or = Key : %s x");
const char kContactsLine[] =
    N_("Contacts (F4)        : arrow 1 m per %.0f N, white grips, red slides");

const char* ViewModeName(int mode) {
    if (mode == 0) return "Back View";
    if (mode == 1) return "Driver View";
    return "Manual View";
}

} // namespace

void DrawFrame() {
    BeginFrame(0xFF000000);

    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                int n = LinkIndex(r, j, e);
                linkObjects[n].transform = PoseDrawMatrix(n);
                d3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
                linkObjects[n].Draw();
            }
        }
    }

    D3DXMATRIX chassisMatrix;
    for (int k = 0; k < kGroupCount; ++k) {
        if (k == 0) {
            chassisMatrix = PoseDrawMatrix(kChassisPose);
            groupObjects[0].transform = chassisMatrix;
        }
        d3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
        groupObjects[k].Draw();
    }

    bodyObject.transform = chassisMatrix;
    bodyObject.Draw();

    PlaceViewCamera(viewMode, chassisMatrix, panelOpen);

    DrawLaserBeams();

    d3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d3dDevice->SetTransform(D3DTS_WORLD, &identityMatrix);

    quadUV = QuadUV{0.0f, 30.0f, 0.0f, 30.0f};
    d3dDevice->SetTexture(0, groundTexture.texture);
    DrawFlatQuad(0.0f, 0.0f, 0.0f, 1000.0f, 1000.0f, 0xFFFFFFFF);
    DrawContacts(); // under the gait lab's panels
    DrawGaitLab();
    DrawHand();

    BeginText();
    DrawTextAt(0, 18, "Walking              : Push Arrow Key");
    const dReal* v = dBodyGetLinearVel(chassisBody);
    double speed = std::sqrt(static_cast<double>(v[0]) * v[0] + static_cast<double>(v[1]) * v[1] +
                             static_cast<double>(v[2]) * v[2]);
    std::snprintf(helpLine, sizeof helpLine, "Linear Velocity      : No Control      : %f m/s",
                  speed);
    DrawTextAt(0, 36, helpLine);
    std::snprintf(helpLine, sizeof helpLine, "Rotation/Sec         : Push R or F Key : %f rps",
                  static_cast<double>(crankSpeed));
    DrawTextAt(0, 52, helpLine);
    std::snprintf(helpLine, sizeof helpLine, "Friction Coefficient : Push T or G Key : %f",
                  static_cast<double>(frictionCoefficient));
    DrawTextAt(0, 70, helpLine);
    std::snprintf(helpLine, sizeof helpLine, "View Mode Select     : Togle Tab Key   : %s",
                  ViewModeName(viewMode));
    DrawTextAt(0, 88, helpLine);
    DrawTextAt(0, 106, "Laser Cannon         : Push Space Key");
    DrawTextAt(0, 142, "In Manual View mode  :   A/S/D/W Key:move , Mouse:turn");
    if (paused) DrawTextAt(0, 160, "Paused               : P resume, O one step, Backspace reset");
    if (rateIndex != kNormalRate) {
        std::snprintf(helpLine, sizeof helpLine, Translate(kRateLine), RateName());
        DrawTextAt(0, 178, helpLine);
    }
    if (contactsOn) {
        std::snprintf(helpLine, sizeof helpLine, Translate(kContactsLine),
                      1.0 / kContactArrowScale);
        DrawTextAt(0, 196, helpLine);
    }

    DrawCameraInfo(0, 0);
    EndText();

    RecordVideoFrame();

    // Ours, over the design's picture and only while asked for: the key list, then a notice.
    DrawKeyHelp();
    UpdateHandPointer();
    DrawPanel();
    DrawNotice();

    EndFrame();
}
