// The one table from SDL scancodes (key positions) to DIK codes (c_dfDIKeyboard offsets).
#pragma once

#include <dinput.h>

#include <SDL.h>

#include <span>

namespace platform::dinput {

struct ScancodeMapping {
    SDL_Scancode scancode;
    BYTE dik;
};

// Every DIK code that some SDL scancode produces, each once, each scancode once.
std::span<const ScancodeMapping> ScancodeTable();

// 0 for a scancode without a DIK code (0 is not a key in c_dfDIKeyboard).
BYTE DikFromScancode(int scancode);

} // namespace platform::dinput
