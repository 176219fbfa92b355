// The on-screen key list.
#include "sim/key_help.h"

#include <dinput.h>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "gfx/overlay.h"
#include "input/input.h"

bool keyHelpOn = false;

const KeyHelpRow kKeyHelp[] = {
    {"", "Keys (F1 closes this list)"},
    {"Up / Down", "walk forwards / backwards"},
    {"Left / Right", "turn left / right"},
    {"R / F", "crank speed up / down"},
    {"T / G", "ground friction up / down"},
    {"Y / H", "nudge the machine"},
    {"Tab", "next view: Back, Driver, Manual"},
    {"A/S/D/W, mouse", "fly the camera in Manual View"},
    {"Space", "fire the laser"},
    {"P", "pause / resume"},
    {"O", "one tick forward while paused"},
    {"Backspace", "put the machine back at its start"},
    {"F1", "this list on / off"},
    {"F2 / F3", "foot trails / gait panel on / off"},
    {"F11, Alt+Enter", "window / full screen"},
    {"F12", "save the picture in the Pictures folder"},
    {"Escape", "quit"},
    {"", "Gamepad"},
    {"Left stick", "walk and turn, as the arrow keys"},
    {"A / B", "fire / next view"},
    {"Y / X", "crank speed up / down"},
    {"RB / LB", "friction up / down"},
    {"Start", "pause / resume"},
};
const int kKeyHelpRows = sizeof kKeyHelp / sizeof kKeyHelp[0];

namespace {

constexpr int kRowHeight = 17;
constexpr int kPanelLeft = 48, kPanelRight = 592;
constexpr int kKeysLeft = kPanelLeft + 16, kDoesLeft = kKeysLeft + 136;
// Nearly opaque: the help lines under it would otherwise show through between the rows.
constexpr D3DCOLOR kPanelColor = 0xF0000000;
constexpr D3DCOLOR kHeadingColor = 0xFFFFE040;

} // namespace

void UpdateKeyHelp() {
    if (GetKey(DIK_F1) == 2) keyHelpOn = !keyHelpOn;
}

void DrawKeyHelp() {
    if (!keyHelpOn) return;
    // Centred in the picture, whatever the number of rows.
    const int height = kKeyHelpRows * kRowHeight + 16;
    const int top = (backBufferHeight - height) / 2;
    DrawScreenPanel(kPanelLeft, static_cast<float>(top), kPanelRight,
                    static_cast<float>(top + height), kPanelColor);
    BeginText();
    for (int i = 0; i < kKeyHelpRows; ++i) {
        const int y = top + 8 + i * kRowHeight;
        if (*kKeyHelp[i].keys == '\0') {
            const D3DCOLOR textWhite = textColor;
            textColor = kHeadingColor;
            DrawTextAt(kKeysLeft, y, kKeyHelp[i].does);
            textColor = textWhite;
        } else {
            DrawTextAt(kKeysLeft, y, kKeyHelp[i].keys);
            DrawTextAt(kDoesLeft, y, kKeyHelp[i].does);
        }
    }
    EndText();
}
