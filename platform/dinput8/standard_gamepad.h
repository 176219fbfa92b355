// Game controllers by SDL's standard mapping, beside DirectInput's raw view of them: the same
// opened controller, read as the common twin-stick pad (left stick, A/B/X/Y, shoulders, Start)
// whatever its own button numbers. Only devices SDL knows as game controllers answer; a wheel,
// pedal, throttle or joystick without a mapping stays a plain DirectInput device.
#pragma once

#include <dinput.h>

namespace platform::dinput {

enum class PadButton { A, B, X, Y, LeftShoulder, RightShoulder, Start, Count };

struct StandardGamepadState {
    LONG leftX = 0; // -1000 (left) .. 1000 (right)
    LONG leftY = 0; // -1000 (forward) .. 1000 (back)
    bool buttons[int(PadButton::Count)] = {};
};

// Reads `device` (a controller made by the stand-in's CreateDevice) by the standard mapping.
// DI_OK with the state; DIERR_UNSUPPORTED for a device that is no game controller (nothing is
// read); otherwise as GetDeviceState: DIERR_NOTACQUIRED, or DIERR_INPUTLOST when detached.
HRESULT ReadStandardGamepad(IDirectInputDevice8A* device, StandardGamepadState* state);

} // namespace platform::dinput
