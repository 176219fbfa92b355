// Gamepad driving. Button numbers are those of the common twin-stick pads on Linux
// (0 A, 1 B, 2 X, 3 Y, 4 left shoulder, 5 right shoulder, 7 start).
#include "input/gamepad.h"

#include <cstdlib>

#include "input/input.h"

const GamepadButtonKey kGamepadButtonKeys[] = {
    {0, DIK_SPACE}, // fire
    {1, DIK_TAB},   // next view
    {2, DIK_F},     // crank speed down
    {3, DIK_R},     // crank speed up
    {4, DIK_G},     // friction down
    {5, DIK_T},     // friction up
    {7, DIK_P},     // pause
};
const int kGamepadButtonKeyCount = sizeof kGamepadButtonKeys / sizeof kGamepadButtonKeys[0];

namespace {

// The stick's stronger axis wins, so a slightly diagonal push still walks straight or turns.
int StickKey(LONG x, LONG y) {
    if (std::labs(y) >= std::labs(x)) {
        if (y < -kGamepadDeadZone) return DIK_UP;
        if (y > kGamepadDeadZone) return DIK_DOWN;
    } else {
        if (x < -kGamepadDeadZone) return DIK_LEFT;
        if (x > kGamepadDeadZone) return DIK_RIGHT;
    }
    return -1;
}

} // namespace

void AddGamepadKeys() {
    IDirectInputDevice8A* pad = nullptr;
    for (int i = 0; i < joystickCount && i < 8 && !pad; ++i)
        pad = joystickDevices[i];
    if (!pad) return;
    DIJOYSTATE2 state;
    HRESULT result = pad->GetDeviceState(sizeof state, &state);
    // A controller whose set-up left it unacquired stays so; one that was read before and then
    // lost is asked back at every tick, so plugging it in again brings it back.
    static bool readBefore = false;
    if (FAILED(result)) {
        if (result == DIERR_INPUTLOST || (readBefore && result == DIERR_NOTACQUIRED))
            pad->Acquire();
        return;
    }
    readBefore = true;
    int stick = StickKey(state.lX, state.lY);
    if (stick >= 0) keyState[stick] |= 0x80;
    for (const GamepadButtonKey& mapping : kGamepadButtonKeys)
        if (state.rgbButtons[mapping.button] & 0x80) keyState[mapping.key] |= 0x80;
}
