// The SDL window behind a window handle, for the layers that draw into it or read its input.
#pragma once

#include <SDL.h>

#include "windows.h"

namespace platform {

// Null for a null, destroyed or unknown handle.
SDL_Window* SdlWindowFromHandle(HWND window);
// Null when the SDL window was not made by CreateWindowExA.
HWND HandleFromSdlWindow(SDL_Window* window);

} // namespace platform
