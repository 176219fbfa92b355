// The first game controller as a second set of driving keys: its stick and buttons are added
// to the tick's key sample, so everything that reads keys (the controls, a recording of the
// drive) sees the controller as the keys it stands for. Only devices SDL knows as game
// controllers drive, by their standard mapping; any other joystick stays opened and unread.
#pragma once

#include <dinput.h>

#include <platform/dinput8/standard_gamepad.h>

// Stick axes beyond this (of the +-1000 range) count as pushed.
constexpr LONG kGamepadDeadZone = 400;

struct GamepadButtonKey {
    platform::dinput::PadButton button;
    int key; // DIK code
};
extern const GamepadButtonKey kGamepadButtonKeys[];
extern const int kGamepadButtonKeyCount;

// Reads the first game controller among the opened controllers and marks its keys down in
// keyState. A controller that cannot be read adds nothing; it is acquired again for the next
// tick.
void AddGamepadKeys();
