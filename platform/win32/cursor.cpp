// The mouse cursor: LoadCursorA, ShowCursor, GetCursorPos, SetCursorPos, ScreenToClient,
// ClientToScreen.
// Limits: only the system arrow (SDL's default cursor); positions are in SDL's global
// coordinates, and a window's client origin is its SDL position; where SDL cannot move the
// pointer globally (offscreen driver) it is moved inside the program's window instead.
#include <platform/win32/sdl_window.h>
#include <platform/win32/window_internal.h>
#include <windows.h>

namespace {
char arrowCursor;    // its address is the arrow's handle
int cursorCount = 0; // shown while not negative, as the Windows display counter
} // namespace

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr || name != IDC_ARROW) return nullptr;
    return reinterpret_cast<HCURSOR>(&arrowCursor);
}

int ShowCursor(BOOL show) {
    cursorCount += show ? 1 : -1;
    if (platform::detail::VideoStarted())
        SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount;
}

BOOL GetCursorPos(LPPOINT point) {
    if (point == nullptr || !platform::detail::VideoStarted()) return FALSE;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    point->x = x;
    point->y = y;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    if (!platform::detail::VideoStarted()) return FALSE;
    if (SDL_WarpMouseGlobal(x, y) == 0) return TRUE;
    platform::detail::WindowRecord* record = platform::detail::FirstWindowRecord();
    if (record == nullptr) return FALSE;
    int left = 0, top = 0;
    SDL_GetWindowPosition(record->sdl, &left, &top);
    SDL_WarpMouseInWindow(record->sdl, x - left, y - top);
    return TRUE;
}

namespace {
// Moves a point by the window's client origin, forwards (+1: client to screen) or back (-1).
BOOL MoveByClientOrigin(HWND window, LPPOINT point, int direction) {
    SDL_Window* sdl = platform::SdlWindowFromHandle(window);
    if (sdl == nullptr || point == nullptr) return FALSE;
    int left = 0, top = 0;
    SDL_GetWindowPosition(sdl, &left, &top);
    point->x += direction * left;
    point->y += direction * top;
    return TRUE;
}
} // namespace

BOOL ScreenToClient(HWND window, LPPOINT point) {
    return MoveByClientOrigin(window, point, -1);
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    return MoveByClientOrigin(window, point, +1);
}
