// MessageBoxA: the caption and text, in the user's language (the program's texts are the
// catalogue's ids), go to stderr in UTF-8, and where a display can show it, a box window of our
// own shows them too: the text drawn with FreeType in the program's Japanese face (a toolkit's
// X11 box draws with core X fonts, which have no Japanese glyphs on most desktops), the caption
// as its title (the program's name where the caption is empty, so the window manager has one to
// show), and an OK button that Return, Escape, Space, a click or the window manager's close box
// ends. The window manager is told it is a dialog of fixed size: no maximise, no resize. Being
// an ordinary SDL window, it carries the program's WM_CLASS and _NET_WM_PID. A test may install
// a sink that records the call, untranslated, instead.
// Limits: one OK button whatever the type asks for; the return value is always IDOK. While the
// box is up, events for the program's other windows are held back and queued again after it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <platform/font/text_codec.h>
#include <platform/i18n/i18n.h>
#include <platform/win32/message_box_picture.h>
#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>
#include <platform/win32/window_internal.h>
#include <windows.h>

namespace platform {
namespace {

MessageBoxSink* messageBoxSink = nullptr;

constexpr size_t kMaxHeldEvents = 256;

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

void WriteToStderr(const std::string& text, const std::string& caption) {
    const bool ends = !text.empty() && text.back() == '\n';
    std::fprintf(stderr, "%s%s%s%s", caption.c_str(), caption.empty() ? "" : ": ", text.c_str(),
                 ends ? "" : "\n");
    std::fflush(stderr);
}

void Paint(SDL_Window* window, const MessageBoxPicture& picture) {
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (target == nullptr) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(picture.argb.data()), picture.width, picture.height, 32,
        picture.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (source == nullptr) return;
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window);
}

bool IsCloseKey(SDL_Keycode key) {
    return key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE || key == SDLK_SPACE;
}

// The window an input or window event is for; 0 for the others.
Uint32 EventWindow(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return event.key.windowID;
    case SDL_TEXTINPUT:
        return event.text.windowID;
    case SDL_MOUSEMOTION:
        return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return event.button.windowID;
    case SDL_MOUSEWHEEL:
        return event.wheel.windowID;
    default:
        return 0;
    }
}

// Handles one event of the box's own window; true once the box is to close.
bool BoxEvent(SDL_Window* window, const MessageBoxPicture& picture, const SDL_Event& event,
              bool& pressed) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            Paint(window, picture);
        return false;
    case SDL_KEYDOWN:
        return IsCloseKey(event.key.keysym.sym);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        if (event.button.button != SDL_BUTTON_LEFT) return false;
        const bool inside = picture.button.Contains(event.button.x, event.button.y);
        const bool released = event.type == SDL_MOUSEBUTTONUP;
        const bool click = released && pressed && inside;
        pressed = !released && inside;
        return click;
    }
    default:
        return false;
    }
}

// Runs the box until it is closed. Everything else that arrives meanwhile is held and queued
// again afterwards, so the program's own window loses none of its messages.
void RunBox(SDL_Window* window, const MessageBoxPicture& picture) {
    const Uint32 id = SDL_GetWindowID(window);
    std::vector<SDL_Event> held;
    bool pressed = false, done = false;
    Paint(window, picture);
    while (!done) {
        SDL_Event event;
        if (SDL_WaitEvent(&event) == 0) break;
        if (EventWindow(event) == id) {
            done = BoxEvent(window, picture, event, pressed);
            continue;
        }
        // A termination request closes the box and stays for the program to see.
        done = event.type == SDL_QUIT;
        if (held.size() < kMaxHeldEvents) held.push_back(event);
    }
    for (SDL_Event& event : held)
        SDL_PushEvent(&event);
}

// False when no window can be made or no face opened; the text is on stderr already.
bool ShowBox(HWND owner, const char* text, const std::string& caption) {
    MessageBoxPicture picture;
    std::string error;
    if (!DrawMessageBox(text, picture, error)) {
        std::fprintf(stderr, _("koltrep: cannot draw a message box: %s\n"), error.c_str());
        return false;
    }
    if (!detail::EnsureVideo()) return false;
    // A dialog to the window manager (no maximise button, kept over its owner), of fixed size
    // (SDL gives a window that is not resizable equal minimum and maximum sizes). SDL gives an
    // X11 window its type when it makes it, and makes it again when the window surface first
    // needs a renderer, so the hint stays set until the surface exists.
    SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
    SDL_Window* window =
        SDL_CreateWindow(caption.empty() ? "Koltrep" : caption.c_str(), SDL_WINDOWPOS_CENTERED,
                         SDL_WINDOWPOS_CENTERED, picture.width, picture.height, SDL_WINDOW_HIDDEN);
    if (window != nullptr) SDL_GetWindowSurface(window);
    SDL_ResetHint(SDL_HINT_X11_WINDOW_TYPE);
    if (window == nullptr) {
        std::fprintf(stderr, _("koltrep: cannot open a message box: %s\n"), SDL_GetError());
        return false;
    }
    if (SDL_Window* parent = SdlWindowFromHandle(owner)) SDL_SetWindowModalFor(window, parent);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    RunBox(window, picture);
    SDL_DestroyWindow(window);
    return true;
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
    // The ids are the texts in UTF-8, whichever of the two encodings the caller holds them in.
    const std::string textUtf8 = platform::font::TextToUtf8(text),
                      captionUtf8 = platform::font::TextToUtf8(caption);
    const std::string shownText = Translate(textUtf8.c_str());
    const std::string shownCaption = Translate(captionUtf8.c_str());
    platform::WriteToStderr(shownText, shownCaption);
    if (platform::DisplayCanShowBoxes()) platform::ShowBox(owner, shownText.c_str(), shownCaption);
    return IDOK;
}
