// Notices from outside the program that SDL does not turn into events of its own: a closed
// terminal (SIGHUP) and a change of the desktop's display mode.
// SIGHUP is passed on as SIGTERM, which SDL turns into its quit event, so a hang-up ends the
// program through the same orderly close as `kill`. SDL 2 on X11 listens only for outputs
// coming and going; a new mode on the running output (xrandr --mode, a rotation, a new screen
// size) reaches it as RandR's screen-change notice, which the program's window asks for here
// and which arrives as a window-system event. The window, not the root: an X server keeps the
// first RandR selection a client makes on a window, and SDL has made its own on the root.
// Limits: X11 only; elsewhere SDL's own display events stand alone. The X libraries are the
// ones SDL loaded, looked up rather than linked a second time. Only a new desktop size counts:
// a new refresh rate or an upside-down turn at the same size is not reported.
#include <dlfcn.h>
#include <signal.h>

#include <SDL_syswm.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>

#include <platform/win32/window_internal.h>

namespace platform::detail {
namespace {

void HangUpAsTermination(int) {
    raise(SIGTERM);
}

struct ScreenWatch {
    Window window = 0; // the X window the selection was made on
    int eventBase = -1;
    int (*updateConfiguration)(XEvent*) = nullptr;
    int width = 0, height = 0; // the desktop as last reported
};

ScreenWatch& TheWatch() {
    static ScreenWatch watch;
    return watch;
}

template <typename Function> Function Lookup(void* library, const char* name) {
    return reinterpret_cast<Function>(dlsym(library, name));
}

void Flush(Display* display) {
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr) return;
    if (auto flush = Lookup<int (*)(Display*)>(xlib, "XFlush")) flush(display);
    dlclose(xlib);
}

// Asks for RandR's screen-change notices on the window's X window.
void Watch(SDL_Window* window) {
    ScreenWatch& watch = TheWatch();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    watch.window = info.info.x11.window;
    void* xrandr = dlopen("libXrandr.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (xrandr == nullptr) return; // SDL runs without RandR: no modes to change either
    auto query = Lookup<Bool (*)(Display*, int*, int*)>(xrandr, "XRRQueryExtension");
    auto select = Lookup<void (*)(Display*, Window, int)>(xrandr, "XRRSelectInput");
    watch.updateConfiguration = Lookup<int (*)(XEvent*)>(xrandr, "XRRUpdateConfiguration");
    Display* display = info.info.x11.display;
    int errorBase = 0;
    if (query && select && query(display, &watch.eventBase, &errorBase)) {
        select(display, watch.window, RRScreenChangeNotifyMask);
        Flush(display); // a change made before SDL's next flush must not go unseen
        watch.width = DisplayWidth(display, DefaultScreen(display));
        watch.height = DisplayHeight(display, DefaultScreen(display));
    } else {
        watch.eventBase = -1;
    }
    dlclose(xrandr); // SDL keeps it loaded
}

} // namespace

void StartDesktopNotices() {
    struct sigaction current {};
    // A hang-up that is ignored (nohup) stays ignored.
    if (sigaction(SIGHUP, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction forward {};
        forward.sa_handler = HangUpAsTermination;
        sigemptyset(&forward.sa_mask);
        sigaction(SIGHUP, &forward, nullptr);
    }
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool DesktopModeChanged(const SDL_SysWMmsg* message, SDL_Window* window, int& width, int& height) {
    if (message == nullptr || message->subsystem != SDL_SYSWM_X11 || window == nullptr)
        return false;
    ScreenWatch& watch = TheWatch();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.info.x11.window != watch.window) Watch(window);
    XEvent event = message->msg.x11.event;
    if (watch.eventBase < 0 || event.type != watch.eventBase + RRScreenChangeNotify) return false;
    if (watch.updateConfiguration) watch.updateConfiguration(&event); // Xlib's screen size
    XRRScreenChangeNotifyEvent change;
    std::memcpy(&change, &event, sizeof change);
    // A mode setter sends several notices for one change (output off, new size, output on).
    const bool sideways = change.rotation & (RR_Rotate_90 | RR_Rotate_270);
    width = sideways ? change.height : change.width;
    height = sideways ? change.width : change.height;
    if (width == watch.width && height == watch.height) return false;
    watch.width = width;
    watch.height = height;
    return true;
}

} // namespace platform::detail
