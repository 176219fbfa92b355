// Switching a device between windowed and full-screen presentation: what a display-mode switch
// of the platform's would change, and nothing more. The back buffer, the resources and every
// state stay as they are (a GL context keeps them all); the window goes borderless over the
// desktop or back to the frame, place and size it had, and Present scales for the new case.
#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/presentation.h>

#include <platform/win32/sdl_window.h>

namespace platform::d3d8 {

SDL_Rect CoverDesktop(SDL_Window* window) {
    SDL_Rect place{};
    SDL_GetWindowPosition(window, &place.x, &place.y);
    SDL_GetWindowSize(window, &place.w, &place.h);
    // The window is also given the desktop's place and size itself, for X servers without a
    // window manager, where the full-screen request goes unanswered.
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) == 0) {
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowWindow(window);
    return place;
}

bool Device::SetWindowed(bool windowed) {
    SDL_Window* target = window_ ? SdlWindowFromHandle(window_) : nullptr;
    if (!target) return false;
    if ((params_.Windowed != FALSE) == windowed) return true;
    if (windowed) {
        // The server's scaling dresses the window for itself (a black background); a window
        // that GL presents in goes without, or every resize flickers.
        serverScaling_.reset();
        SDL_SetWindowFullscreen(target, 0);
        SDL_SetWindowBordered(target, SDL_TRUE);
        if (windowedPlace_.w > 0 && windowedPlace_.h > 0) {
            SDL_SetWindowSize(target, windowedPlace_.w, windowedPlace_.h);
            SDL_SetWindowPosition(target, windowedPlace_.x, windowedPlace_.y);
        }
    } else {
        windowedPlace_ = CoverDesktop(target);
    }
    params_.Windowed = windowed ? TRUE : FALSE;
    swapIntervalSet_ = false; // full screen waits for the retrace, a window does not
    return true;
}

bool SetWindowedPresentation(IDirect3DDevice8* device, bool windowed) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours && ours->SetWindowed(windowed);
}

} // namespace platform::d3d8
