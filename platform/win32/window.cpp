// Window classes and windows on SDL: RegisterClassExA, GetClassInfoExA, CreateWindowExA,
// DestroyWindow, ShowWindow, UpdateWindow, GetDesktopWindow, GetActiveWindow, AdjustWindowRectEx,
// GetWindowLongA, GetMenu, SetWindowPos, GetClientRect, GetWindowRect, BeginPaint, EndPaint,
// DefWindowProcA, GetStockObject, ImmGetDefaultIMEWnd; and SDL's lifetime, including the loss
// of the X display.
// Limits: the SDL window is the client area (the frame belongs to the window manager), so
// AdjustWindowRectEx leaves the rectangle as it is and the outer size set by SetWindowPos is
// the client size; no child windows, menus or class/window extra bytes; GDI objects are
// placeholders, since nothing is drawn through GDI; there is no input-method window, because
// text input is never started.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <platform/win32/sdl_window.h>
#include <platform/win32/window_internal.h>
#include <windows.h>
#include <platform/i18n/i18n.h>

namespace platform {
namespace detail {
namespace {

struct WindowClass {
    WNDPROC proc = nullptr;
    HICON icon = nullptr;
};

struct WindowState {
    std::map<std::string, WindowClass> classes;
    std::vector<std::unique_ptr<WindowRecord>> windows;
    uintptr_t nextId = 0x10000;
    bool videoStarted = false;
};

// Never destroyed: the Application destroys its window from a static destructor at exit.
WindowState& State() {
    static WindowState* state = new WindowState;
    return *state;
}

// Constructed before every object of ordinary priority, so destroyed after all of them: the
// program's process-wide objects still release window and GL resources in their destructors.
struct SdlLifetime {
    ~SdlLifetime() {
        if (!State().videoStarted) return;
        for (auto& window : State().windows)
            SDL_DestroyWindow(window->sdl);
        State().windows.clear();
        SDL_Quit();
    }
};
__attribute__((init_priority(101))) SdlLifetime sdlLifetime;

char desktopWindow;    // its address is the desktop's handle
char stockObjects[20]; // GDI stock objects by index
char paintContext;     // the device context BeginPaint hands out

// Xlib's default reaction to a lost display is exit(), whose static destructors then wait
// forever on the dead connection (destroying the window, the GL context). Nothing can be
// released on a display that is gone, so the process ends at once; the kernel drops the
// single-instance lock, and the next start reads it as abandoned.
int DisplayLost(void*) {
    static const char message[] = "koltrep: the connection to the X display was lost\n";
    ssize_t ignored = write(2, message, sizeof message - 1);
    (void)ignored;
    _exit(1);
}

void HandleLostX11Display() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) return;
    // SDL loads Xlib itself; look it up rather than link a second copy.
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr) return;
    using IoErrorHandler = int (*)(void*);
    auto setHandler =
        reinterpret_cast<IoErrorHandler (*)(IoErrorHandler)>(dlsym(xlib, "XSetIOErrorHandler"));
    if (setHandler) setHandler(DisplayLost);
    dlclose(xlib);
}

// SDL probes its Wayland driver even where no Wayland display is named, and the Wayland client
// library then writes its own complaint to stderr (no XDG_RUNTIME_DIR, say) before our reason
// for not starting. Without WAYLAND_DISPLAY there is no compositor to find, so unless the user
// chose drivers (SDL_VIDEODRIVER), SDL is offered the others, in its own order. The hint is
// taken back after the start, so the check of the driver sees only the user's choice.
bool OfferDriversWithoutWayland() {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if ((asked != nullptr && asked[0] != '\0') || (wayland != nullptr && wayland[0] != '\0'))
        return false;
    std::string drivers;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* name = SDL_GetVideoDriver(i);
        if (name == nullptr || std::strcmp(name, "wayland") == 0) continue;
        drivers += (drivers.empty() ? "" : ",") + std::string(name);
    }
    return !drivers.empty() &&
           SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_DEFAULT);
}

} // namespace

bool EnsureVideo() {
    WindowState& state = State();
    if (state.videoStarted) return true;
    // The screen saver stays off while the program runs; closing the window is a close
    // request to the window procedure, not an end of the program by itself.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "0");
    const bool offered = OfferDriversWithoutWayland();
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    if (offered) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    if (!started) {
        std::fprintf(stderr, _("koltrep: cannot start SDL video: %s\n"), SDL_GetError());
        return false;
    }
    if (!VideoDriverCanShowWindows()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return false;
    }
    SDL_StopTextInput(); // no composition window over the scene
    HandleLostX11Display();
    StartDesktopNotices();
    state.videoStarted = true;
    return true;
}

bool VideoStarted() {
    return State().videoStarted;
}

WindowRecord* FindWindowRecord(HWND window) {
    uintptr_t id = reinterpret_cast<uintptr_t>(window);
    if (id == 0) return nullptr;
    for (auto& record : State().windows)
        if (record->id == id) return record.get();
    return nullptr;
}

WindowRecord* FindWindowRecordBySdlId(uint32_t windowId) {
    for (auto& record : State().windows)
        if (SDL_GetWindowID(record->sdl) == windowId) return record.get();
    return nullptr;
}

WindowRecord* FirstWindowRecord() {
    auto& windows = State().windows;
    return windows.empty() ? nullptr : windows.front().get();
}

} // namespace detail

SDL_Window* SdlWindowFromHandle(HWND window) {
    detail::WindowRecord* record = detail::FindWindowRecord(window);
    return record ? record->sdl : nullptr;
}

HWND HandleFromSdlWindow(SDL_Window* window) {
    if (window == nullptr) return nullptr;
    for (auto& record : detail::State().windows)
        if (record->sdl == window) return detail::HandleOf(*record);
    return nullptr;
}

void SetPictureRestorer(HWND window, std::function<void()> restore) {
    if (detail::WindowRecord* record = detail::FindWindowRecord(window))
        record->restorePicture = std::move(restore);
}

} // namespace platform

using platform::detail::FindWindowRecord;
using platform::detail::WindowRecord;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr)
        return 0;
    auto& classes = platform::detail::State().classes;
    if (classes.count(windowClass->lpszClassName)) return 0; // already registered, as on Windows
    classes[windowClass->lpszClassName] = {windowClass->lpfnWndProc, windowClass->hIcon};
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL GetClassInfoExA(HINSTANCE, LPCSTR className, WNDCLASSEXA* windowClass) {
    if (className == nullptr || windowClass == nullptr) return FALSE;
    const auto& classes = platform::detail::State().classes;
    auto found = classes.find(className);
    if (found == classes.end()) return FALSE;
    windowClass->lpfnWndProc = found->second.proc;
    windowClass->hIcon = found->second.icon;
    windowClass->lpszClassName = className;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    auto& state = platform::detail::State();
    auto found = className ? state.classes.find(className) : state.classes.end();
    if (found == state.classes.end()) {
        std::fprintf(stderr, _("koltrep: cannot create a window of unregistered class %s\n"),
                     className ? className : "(null)");
        return nullptr;
    }
    if (!platform::detail::EnsureVideo()) return nullptr;
    if (x == CW_USEDEFAULT) x = y = SDL_WINDOWPOS_UNDEFINED;
    if (width == CW_USEDEFAULT || width <= 0) width = 640;
    if (height == CW_USEDEFAULT || height <= 0) height = 480;
    SDL_Window* sdl =
        SDL_CreateWindow(windowName ? windowName : "", x, y, width, height,
                         SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
    if (sdl == nullptr) {
        std::fprintf(stderr, _("koltrep: cannot create the window: %s\n"), SDL_GetError());
        return nullptr;
    }
    if (SDL_Surface* icon = platform::detail::CreateIconSurface(found->second.icon)) {
        SDL_SetWindowIcon(sdl, icon);
        SDL_FreeSurface(icon);
    }
    auto record = std::make_unique<WindowRecord>();
    record->id = state.nextId++;
    record->sdl = sdl;
    record->proc = found->second.proc;
    record->style = style;
    record->exStyle = exStyle;
    record->reportedWidth = width;
    record->reportedHeight = height;
    HWND handle = platform::detail::HandleOf(*record);
    state.windows.push_back(std::move(record));
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return FALSE;
    if (record->proc) record->proc(window, WM_DESTROY, 0, 0);
    record = FindWindowRecord(window); // the procedure may have destroyed it already
    if (record == nullptr) return TRUE;
    platform::detail::DropMessagesFor(window);
    SDL_DestroyWindow(record->sdl);
    auto& windows = platform::detail::State().windows;
    for (auto it = windows.begin(); it != windows.end(); ++it)
        if (it->get() == record) {
            windows.erase(it);
            break;
        }
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return FALSE;
    BOOL wasVisible = (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
    if (command == SW_HIDE) {
        SDL_HideWindow(record->sdl);
    } else {
        SDL_ShowWindow(record->sdl);
        record->needsPaint = true;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return FALSE;
    if (record->needsPaint) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HWND GetDesktopWindow() {
    return reinterpret_cast<HWND>(&platform::detail::desktopWindow);
}

HWND GetActiveWindow() {
    for (auto& record : platform::detail::State().windows)
        if (record->focused) return platform::detail::HandleOf(*record);
    return nullptr;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD, BOOL, DWORD) {
    return rect ? TRUE : FALSE;
}

LONG GetWindowLongA(HWND window, int index) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return 0;
    if (index == GWL_STYLE) return static_cast<LONG>(record->style);
    if (index == GWL_EXSTYLE) return static_cast<LONG>(record->exStyle);
    return 0;
}

HMENU GetMenu(HWND) {
    return nullptr;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return FALSE;
    if (!(flags & SWP_NOSIZE)) {
        if (cx <= 0 || cy <= 0) return FALSE; // SDL has no empty windows
        SDL_SetWindowSize(record->sdl, cx, cy);
    }
    if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(record->sdl, x, y);
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || rect == nullptr) return FALSE;
    int width = 0, height = 0;
    if (!record->minimized) SDL_GetWindowSize(record->sdl, &width, &height);
    *rect = {0, 0, width, height};
    return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || rect == nullptr) return FALSE;
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(record->sdl, &x, &y);
    SDL_GetWindowSize(record->sdl, &width, &height);
    *rect = {x, y, x + width, y + height};
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr || paint == nullptr) return nullptr;
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = reinterpret_cast<HDC>(&platform::detail::paintContext);
    GetClientRect(window, &paint->rcPaint);
    record->needsPaint = false; // validated
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    WindowRecord* record = FindWindowRecord(window);
    if (record == nullptr) return FALSE;
    // An active program draws its next frame within a tick anyway.
    if (!record->focused && record->restorePicture) record->restorePicture();
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return 0;
    }
}

HGDIOBJ GetStockObject(int object) {
    if (object < 0 || object >= static_cast<int>(sizeof platform::detail::stockObjects))
        return nullptr;
    return &platform::detail::stockObjects[object];
}

HWND ImmGetDefaultIMEWnd(HWND) {
    return nullptr;
}
