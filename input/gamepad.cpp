// Gamepad driving, by SDL's standard mapping: the buttons are named by where they sit on the
// common twin-stick pad, whatever numbers the pad's own driver gives them.
#include "input/gamepad.h"

#include <cstdlib>

#include "input/input.h"

using platform::dinput::PadButton;

const GamepadButtonKey kGamepadButtonKeys[] = {
    {PadButton::A, DIK_SPACE},         // fire
    {PadButton::B, DIK_TAB},           // next view
    {PadButton::X, DIK_F},             // crank speed down
    {PadButton::Y, DIK_R},             // crank speed up
    {PadButton::LeftShoulder, DIK_G},  // friction down
    {PadButton::RightShoulder, DIK_T}, // friction up
    {PadButton::Start, DIK_P},         // pause
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
    platform::dinput::StandardGamepadState state;
    HRESULT result = DIERR_UNSUPPORTED;
    IDirectInputDevice8A* pad = nullptr;
    // The first slot that answers as a game controller; wheels, pedals and other joysticks
    // answer DIERR_UNSUPPORTED and are passed over.
    for (int i = 0; i < joystickCount && i < kMaxJoysticks && result == DIERR_UNSUPPORTED; ++i) {
        if (!joystickDevices[i]) continue;
        pad = joystickDevices[i];
        result = platform::dinput::ReadStandardGamepad(pad, &state);
    }
    if (result == DIERR_UNSUPPORTED) return;
    // A controller whose set-up left it unacquired stays so; one that was read before and then
    // lost is asked back at every tick, so plugging it in again brings it back.
    static bool readBefore = false;
    if (FAILED(result)) {
        if (result == DIERR_INPUTLOST || (readBefore && result == DIERR_NOTACQUIRED))
            pad->Acquire();
        return;
    }
    readBefore = true;
    int stick = StickKey(state.leftX, state.leftY);
    if (stick >= 0) keyState[stick] |= 0x80;
    for (const GamepadButtonKey& mapping : kGamepadButtonKeys)
        if (state.buttons[int(mapping.button)]) keyState[mapping.key] |= 0x80;
}
