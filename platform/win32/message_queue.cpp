// The message queue on SDL's event queue: SendMessageA, PostMessageA, PostQuitMessage,
// PeekMessageA, TranslateMessage, DispatchMessageA, WaitMessage; and the window-manager stand-in
// for tests (InjectWindowEvent, SetWaitHook).
// SDL events become the messages a window procedure expects: window close and SDL_QUIT (SIGINT,
// SIGTERM, SIGHUP) -> WM_CLOSE; focus -> WM_ACTIVATEAPP; size, minimise, maximise, restore ->
// WM_SIZE; expose -> WM_PAINT; display events and desktop mode changes -> WM_DISPLAYCHANGE.
// Posted messages come before them.
// Limits: one thread; keyboard and mouse events make no messages (input is read as device
// state); TranslateMessage makes no character messages; WaitMessage also returns for an event
// that makes no message, and the caller simply waits again.
#include <deque>
#include <functional>
#include <utility>

#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>
#include <platform/win32/window_internal.h>
#include <windows.h>

namespace platform {
namespace detail {
namespace {

struct Queues {
    std::deque<MSG> posted; // PostMessageA and WM_QUIT, delivered first
    std::deque<MSG> system; // made from SDL events
    std::function<void()> waitHook;
};

Queues& TheQueues() {
    static Queues* queues = new Queues;
    return *queues;
}

LPARAM MakeSizeParam(int width, int height) {
    return static_cast<LPARAM>((static_cast<uint32_t>(height & 0xFFFF) << 16) |
                               static_cast<uint32_t>(width & 0xFFFF));
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    return msg;
}

void QueueSystem(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TheQueues().system.push_back(MakeMessage(window, message, wParam, lParam));
}

// One WM_SIZE per real change: SDL reports a user's resize twice (resized, size changed).
void QueueSizeIfChanged(WindowRecord& record) {
    int width = 0, height = 0;
    if (!record.minimized) SDL_GetWindowSize(record.sdl, &width, &height);
    if (width == record.reportedWidth && height == record.reportedHeight &&
        record.minimized == record.reportedMinimized)
        return;
    record.reportedWidth = width;
    record.reportedHeight = height;
    record.reportedMinimized = record.minimized;
    WPARAM kind = record.minimized   ? SIZE_MINIMIZED
                  : record.maximized ? SIZE_MAXIMIZED
                                     : SIZE_RESTORED;
    QueueSystem(HandleOf(record), WM_SIZE, kind, MakeSizeParam(width, height));
}

void QueuePaint(WindowRecord& record) {
    record.needsPaint = true;
    for (const MSG& msg : TheQueues().system)
        if (msg.message == WM_PAINT && msg.hwnd == HandleOf(record)) return; // one is enough
    QueueSystem(HandleOf(record), WM_PAINT, 0, 0);
}

// A size of zero stands for the one SDL knows.
void QueueDisplayChange(int width = 0, int height = 0) {
    SDL_DisplayMode mode{};
    SDL_GetDesktopDisplayMode(0, &mode);
    WPARAM bitsPerPixel = mode.format ? SDL_BITSPERPIXEL(mode.format) : 32;
    if (width <= 0 || height <= 0) {
        width = mode.w;
        height = mode.h;
    }
    // The program has one top-level window; it is the one that hears of it.
    if (WindowRecord* record = FirstWindowRecord())
        QueueSystem(HandleOf(*record), WM_DISPLAYCHANGE, bitsPerPixel,
                    MakeSizeParam(width, height));
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    WindowRecord* record = FindWindowRecordBySdlId(event.windowID);
    if (record == nullptr) return; // a window that is gone, or not one of ours
    HWND window = HandleOf(*record);
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        QueueSystem(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        record->focused = true;
        SDL_DisableScreenSaver();
        QueueSystem(window, WM_ACTIVATEAPP, 1, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        record->focused = false;
        SDL_EnableScreenSaver();
        QueueSystem(window, WM_ACTIVATEAPP, 0, 0);
        break;
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        QueueSizeIfChanged(*record);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        record->minimized = true;
        QueueSizeIfChanged(*record);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        record->minimized = false;
        record->maximized = true;
        QueueSizeIfChanged(*record);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        record->minimized = false;
        record->maximized = false;
        QueueSizeIfChanged(*record);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        QueuePaint(*record);
        break;
    default:
        break;
    }
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_QUIT: // SIGINT or SIGTERM: a close request like the close box
        if (WindowRecord* record = FirstWindowRecord())
            QueueSystem(HandleOf(*record), WM_CLOSE, 0, 0);
        break;
    case SDL_DISPLAYEVENT:
        QueueDisplayChange();
        break;
    case SDL_SYSWMEVENT: {
        WindowRecord* record = FirstWindowRecord();
        int width = 0, height = 0;
        if (record && DesktopModeChanged(event.syswm.msg, record->sdl, width, height))
            QueueDisplayChange(width, height);
        break;
    }
    default:
        break;
    }
}

void PumpSdlEvents() {
    if (!VideoStarted()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        Translate(event);
}

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && msg.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool TakeFrom(std::deque<MSG>& queue, LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
              UINT removeFlags) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (removeFlags & PM_REMOVE) queue.erase(it);
        return true;
    }
    return false;
}

} // namespace

void DropMessagesFor(HWND window) {
    for (auto* queue : {&TheQueues().posted, &TheQueues().system})
        std::erase_if(*queue, [window](const MSG& msg) { return msg.hwnd == window; });
}

} // namespace detail

void SetWaitHook(std::function<void()> hook) {
    detail::TheQueues().waitHook = std::move(hook);
}

bool InjectWindowEvent(HWND window, WindowEvent kind, int width, int height) {
    detail::WindowRecord* record = detail::FindWindowRecord(window);
    if (record == nullptr) return false;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(record->sdl);
    event.window.timestamp = SDL_GetTicks();
    switch (kind) {
    case WindowEvent::FocusGained:
        event.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
        break;
    case WindowEvent::FocusLost:
        event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        break;
    case WindowEvent::Resized:
        if (width <= 0 || height <= 0) return false;
        SDL_SetWindowSize(record->sdl, width, height);
        event.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
        event.window.data1 = width;
        event.window.data2 = height;
        break;
    case WindowEvent::Minimized:
        event.window.event = SDL_WINDOWEVENT_MINIMIZED;
        break;
    case WindowEvent::Restored:
        event.window.event = SDL_WINDOWEVENT_RESTORED;
        break;
    case WindowEvent::Exposed:
        event.window.event = SDL_WINDOWEVENT_EXPOSED;
        break;
    case WindowEvent::Close:
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        break;
    case WindowEvent::DisplayChanged:
        event = SDL_Event{};
        event.type = SDL_DISPLAYEVENT;
        event.display.display = 0;
        event.display.event = SDL_DISPLAYEVENT_ORIENTATION;
        break;
    }
    return SDL_PushEvent(&event) == 1;
}

} // namespace platform

using platform::detail::TheQueues;

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    platform::detail::WindowRecord* record = platform::detail::FindWindowRecord(window);
    if (record == nullptr) return 0; // a null or dead window receives nothing
    if (record->proc == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return record->proc(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A null window posts to the thread's own queue.
    if (window != nullptr && platform::detail::FindWindowRecord(window) == nullptr) return FALSE;
    TheQueues().posted.push_back(platform::detail::MakeMessage(window, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr) return FALSE;
    platform::detail::PumpSdlEvents();
    auto& queues = TheQueues();
    if (platform::detail::TakeFrom(queues.posted, msg, window, filterMin, filterMax, removeFlags))
        return TRUE;
    return platform::detail::TakeFrom(queues.system, msg, window, filterMin, filterMax, removeFlags)
               ? TRUE
               : FALSE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WaitMessage() {
    auto& queues = TheQueues();
    platform::detail::PumpSdlEvents();
    if (!queues.posted.empty() || !queues.system.empty()) return TRUE;
    if (queues.waitHook) {
        queues.waitHook();
        platform::detail::PumpSdlEvents();
        if (!queues.posted.empty() || !queues.system.empty()) return TRUE;
    }
    // Without SDL nothing could ever arrive; blocking would hang the program for good.
    if (!platform::detail::VideoStarted()) return FALSE;
    SDL_Event event;
    if (!SDL_WaitEvent(&event)) return FALSE;
    platform::detail::Translate(event);
    return TRUE;
}
