// The SDL window behind a window handle, for the layers that draw into it or read its input.
#pragma once

#include <SDL.h>

#include <functional>

#include <windows.h>

namespace platform {

// Null for a null, destroyed or unknown handle.
SDL_Window* SdlWindowFromHandle(HWND window);
// Null when the SDL window was not made by CreateWindowExA.
HWND HandleFromSdlWindow(SDL_Window* window);

// What puts the window's last picture back when it is exposed while inactive: the program draws
// only in its ticks, which stop then, and without a compositor the X server keeps no copy. Runs
// in EndPaint. An empty function removes it; an unknown handle is ignored.
void SetPictureRestorer(HWND window, std::function<void()> restore);

} // namespace platform
