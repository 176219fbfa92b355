// The on-screen key list.
#include "sim/key_help.h"

#include <dinput.h>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "gfx/overlay.h"
#include "input/input.h"
#include "sim/controls.h"

#include <platform/i18n/i18n.h>

const KeyHelpRow kKeyHelp[] = {
    {"", N_("Keys (F1 closes this list)")},
    {"Up / Down", N_("walk forwards / backwards")},
    {"Left / Right", N_("turn left / right")},
    {"R / F", N_("crank speed up / down")},
    {"T / G", N_("ground friction up / down")},
    {"Y / H", N_("nudge the machine")},
    {"Tab", N_("next view: Back, Driver, Manual")},
    {"A/S/D/W, mouse", N_("fly the camera in Manual View")},
    {"Space", N_("fire the laser")},
    {"P", N_("pause / resume")},
    {"O", N_("one tick forward while paused")},
    {"Backspace", N_("put the machine back at its start")},
    {"F1", N_("this list on / off")},
    {"F2 / F3", N_("foot trails / gait panel on / off")},
    {"F4 / F5", N_("contact forces / footfall diagram on / off")},
    {"F6", N_("settings panel with live plots on / off")},
    {"Ctrl+left drag", N_("pull the machine by the point grabbed")},
    {"- / =", N_("slower / faster simulation (1/16 to 4)")},
    {"F9", N_("start / stop a video in the Videos folder")},
    {"F11, Alt+Enter", N_("window / full screen")},
    {"F12", N_("save the picture in the Pictures folder")},
    {"Escape", N_("quit")},
    {"", N_("Gamepad")},
    {"Left stick", N_("walk and turn, as the arrow keys")},
    {"A / B", N_("fire / next view")},
    {"Y / X", N_("crank speed up / down")},
    {"RB / LB", N_("friction up / down")},
    {"Start", N_("pause / resume")},
};
const int kKeyHelpRows = sizeof kKeyHelp / sizeof kKeyHelp[0];

namespace {

constexpr int kRowHeight = 17;
constexpr int kKeysLeft = 64, kDoesLeft = kKeysLeft + 136;
// Nearly opaque: the help lines under it would otherwise show through between the rows.
constexpr D3DCOLOR kPanelColor = 0xF0000000;
constexpr D3DCOLOR kHeadingColor = 0xFFFFE040;

} // namespace

void UpdateKeyHelp() {
    if (GetKey(DIK_F1) == 2) keyHelpOn = !keyHelpOn;
}

void DrawKeyHelp() {
    if (!keyHelpOn) return;
    // Centred in the picture, whatever the number of rows, and across its whole width: the
    // design's help lines start at its left edge, and their first words would show beside it.
    const int height = kKeyHelpRows * kRowHeight + 16;
    const int top = (backBufferHeight - height) / 2;
    DrawScreenPanel(0.0f, static_cast<float>(top), static_cast<float>(backBufferWidth),
                    static_cast<float>(top + height), kPanelColor);
    BeginText();
    for (int i = 0; i < kKeyHelpRows; ++i) {
        const int y = top + 8 + i * kRowHeight;
        if (*kKeyHelp[i].keys == '\0') {
            const D3DCOLOR textWhite = textColor;
            textColor = kHeadingColor;
            DrawTextAt(kKeysLeft, y, Translate(kKeyHelp[i].does));
            textColor = textWhite;
        } else {
            DrawTextAt(kKeysLeft, y, kKeyHelp[i].keys);
            DrawTextAt(kDoesLeft, y, Translate(kKeyHelp[i].does));
        }
    }
    EndText();
}
