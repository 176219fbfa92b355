// Shared between the window, message-queue, cursor, icon and message-box stand-ins; not for the
// program's code.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>

#include <windows.h>

namespace platform::detail {

struct WindowRecord {
    uintptr_t id = 0; // the HWND value; numbers are never reused, so stale handles miss
    SDL_Window* sdl = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool focused = false;
    bool minimized = false;
    bool maximized = false;
    bool needsPaint = false;
    std::function<void()> restorePicture; // see SetPictureRestorer
    // What the last WM_SIZE told the window procedure, so SDL's paired notices of one change
    // make one message.
    int reportedWidth = 0;
    int reportedHeight = 0;
    bool reportedMinimized = false;
};

// Starts SDL's video subsystem on first use; false (after a line on stderr) when it cannot.
bool EnsureVideo();
// False, with the reason on stderr, when SDL fell back on its offscreen or dummy driver without
// being asked to (SDL_VIDEODRIVER): a window there is invisible and nobody could end the run.
bool VideoDriverCanShowWindows();
bool VideoStarted();

WindowRecord* FindWindowRecord(HWND window);
WindowRecord* FindWindowRecordBySdlId(uint32_t windowId);
// The first live window: the one top-level window of the program.
WindowRecord* FirstWindowRecord();
inline HWND HandleOf(const WindowRecord& record) {
    return reinterpret_cast<HWND>(record.id);
}

// Once SDL's events run: a hang-up signal ends the program like SIGTERM, and window-system
// events are delivered, so that DesktopModeChanged sees them.
void StartDesktopNotices();
// Whether a window-system event tells of a new desktop size, and the size; `window` is the one
// that hears of it.
bool DesktopModeChanged(const SDL_SysWMmsg* message, SDL_Window* window, int& width, int& height);

// Message queue side of DestroyWindow: nothing queued for a dead window is delivered.
void DropMessagesFor(HWND window);

// The icon image of a LoadIconA handle, or null when the handle is not one of ours. The caller
// frees the surface.
SDL_Surface* CreateIconSurface(HICON icon);

} // namespace platform::detail
