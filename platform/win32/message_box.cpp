// MessageBoxA: an SDL message box over the owner window; where no display can show one
// (no X or Wayland display, or SDL's offscreen or dummy video driver) the caption and text go
// to stderr instead. A test may install a sink that records the call.
// Limits: one OK button whatever the type asks for; the return value is always IDOK.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sdl_window.h"
#include "services.h"
#include "window_internal.h"
#include "windows.h"

namespace platform {
namespace {

MessageBoxSink* messageBoxSink = nullptr;

bool DisplayCanShowBoxes() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
        return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && x11[0]) || (wayland && wayland[0]);
}

void WriteToStderr(const char* text, const char* caption) {
    size_t length = std::strlen(text);
    std::fprintf(stderr, "%s%s%s%s", caption, caption[0] ? ": " : "", text,
                 (length == 0 || text[length - 1] != '\n') ? "\n" : "");
    std::fflush(stderr);
}

} // namespace

void SetMessageBoxSink(MessageBoxSink* sink) {
    messageBoxSink = sink;
}

} // namespace platform

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (text == nullptr) text = "";
    if (caption == nullptr) caption = "";
    if (platform::messageBoxSink) return platform::messageBoxSink->Show(owner, text, caption, type);
    if (!platform::DisplayCanShowBoxes()) {
        platform::WriteToStderr(text, caption);
        return IDOK;
    }
    Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption, text, platform::SdlWindowFromHandle(owner)) != 0)
        platform::WriteToStderr(text, caption);
    return IDOK;
}
