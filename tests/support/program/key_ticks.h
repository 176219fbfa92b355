// One tick of controls and physics as the application runs it, without the drawing, shared by
// the simulation tests: the key sample moves on (the previous sample becomes this tick's
// "before"), the listed keys are down, then the controls are read and the world is stepped.
#pragma once

#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"

#include <cstring>
#include <initializer_list>

namespace testsupport {

inline void SetKeys(std::initializer_list<int> down) {
    std::memcpy(prevKeyState, keyState, sizeof keyState);
    std::memset(keyState, 0, sizeof keyState);
    for (int key : down)
        keyState[key] = 0x80;
}

inline void Tick(std::initializer_list<int> down = {}) {
    SetKeys(down);
    ReadControls();
    StepPhysics();
}

} // namespace testsupport
