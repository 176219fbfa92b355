// SDL's choice of video driver, checked before the first window: with no display SDL falls back
// on its offscreen driver, where a window is never seen. That fallback is refused unless
// SDL_VIDEODRIVER asked for it (the replay runner and the tests do).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <platform/win32/window_internal.h>
#include <platform/i18n/i18n.h>

namespace platform::detail {

bool VideoDriverCanShowWindows() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) return false;
    const bool headless = std::strcmp(driver, "offscreen") == 0 ||
                          std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "evdev") == 0;
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (!headless || (asked != nullptr && asked[0] != '\0')) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || x11[0] == '\0') && (wayland == nullptr || wayland[0] == '\0'))
        std::fprintf(stderr, _("koltrep: no display to show the window on (DISPLAY and "
                               "WAYLAND_DISPLAY are not set); start it in a desktop session, or "
                               "in a virtual X server: xvfb-run -a koltrep -win\n"));
    else
        std::fprintf(stderr,
                     _("koltrep: cannot open the display (DISPLAY=%s, WAYLAND_DISPLAY=%s); "
                       "check that the display server runs and lets you in\n"),
                     x11 ? x11 : "", wayland ? wayland : "");
    return false;
}

} // namespace platform::detail
