// Windows and the message queue on a real SDL window in a private X server: what the window
// procedure hears of focus, size, close, expose and display changes, in what order, and that a
// destroyed window is never reached again.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>
#include <windows.h>

#include "tests/support/platform/win32_test_support.h"

namespace {

constexpr UINT kUserMessage = 0x0400;

// Gives the private X server's output a mode of this size, as `xrandr --output --mode` does on a
// real desktop (Xvfb has one mode only, so the mode is made first); false when refused.
bool SetDesktopSize(int width, int height) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    bool done = false;
    if (resources && resources->noutput > 0 && resources->ncrtc > 0) {
        RROutput output = resources->outputs[0];
        RRMode mode = None;
        for (int i = 0; i < resources->nmode; ++i)
            if (int(resources->modes[i].width) == width &&
                int(resources->modes[i].height) == height)
                mode = resources->modes[i].id;
        if (mode == None) {
            std::string name = std::to_string(width) + "x" + std::to_string(height);
            XRRModeInfo info{};
            info.width = width;
            info.height = height;
            info.hTotal = width;
            info.vTotal = height;
            info.dotClock = static_cast<unsigned long>(width) * height * 60;
            info.name = name.data();
            info.nameLength = static_cast<unsigned>(name.size());
            mode = XRRCreateMode(display, root, &info);
            XRRAddOutputMode(display, output, mode);
        }
        // The crtc is switched off while the screen takes its new size, as mode setters do.
        const RRCrtc crtc = resources->crtcs[0];
        XGrabServer(display);
        XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr,
                         0);
        XRRSetScreenSize(display, root, width, height, width / 4, height / 4);
        done = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, mode, RR_Rotate_0,
                                &output, 1) == Success;
        XUngrabServer(display);
    }
    if (resources) XRRFreeScreenResources(resources);
    XCloseDisplay(display);
    return done;
}
std::vector<MSG> received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back({window, message, wParam, lParam, 0, {0, 0}});
    if (message == WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    return 0;
}

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(win32_test::StartPrivateXServer());
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(101));
        windowClass.lpszClassName = "TEST_CLASS";
        RegisterClassExA(&windowClass);
    }
    void SetUp() override {
        window = CreateWindowExA(0, "TEST_CLASS", "test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                 GetDesktopWindow(), nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Drain();
        received.clear();
    }
    void TearDown() override {
        DestroyWindow(window);
        platform::SetWaitHook({});
    }
    // Dispatches everything queued; returns the messages taken, WM_QUIT included.
    std::vector<UINT> Drain() {
        std::vector<UINT> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg.message);
            if (msg.message != WM_QUIT) DispatchMessageA(&msg);
        }
        return taken;
    }
    std::vector<MSG> Received(UINT message) const {
        std::vector<MSG> found;
        for (const MSG& msg : received)
            if (msg.message == message) found.push_back(msg);
        return found;
    }
    HWND window = nullptr;
};

TEST_F(WindowTest, CreatedHiddenWithTheRequestedClientAreaAndRoundTripsThroughSdl) {
    SDL_Window* sdl = platform::SdlWindowFromHandle(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(platform::HandleFromSdlWindow(sdl), window);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 640);
    EXPECT_EQ(client.bottom - client.top, 480);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE), static_cast<LONG>(WS_OVERLAPPEDWINDOW));
    RECT adjusted = {0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(adjusted.right, 640); // the SDL window is the client area
    EXPECT_EQ(ShowWindow(window, SW_SHOW), FALSE);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(Received(WM_PAINT).size(), 1u); // shown windows are painted once
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(Received(WM_PAINT).size(), 1u);
}

TEST_F(WindowTest, UnknownClassOrBadSizeMakesNoWindow) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CreateWindowExA(0, "NO_SUCH_CLASS", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("NO_SUCH_CLASS"), std::string::npos);
    EXPECT_FALSE(SetWindowPos(window, nullptr, 0, 0, 0, 480, SWP_NOMOVE));
}

TEST_F(WindowTest, DestroyedWindowIsNeverReachedAgain) {
    HWND other = CreateWindowExA(0, "TEST_CLASS", "other", 0, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(PostMessageA(other, kUserMessage, 7, 0));
    ASSERT_TRUE(platform::InjectWindowEvent(other, platform::WindowEvent::Close));
    ASSERT_TRUE(DestroyWindow(other));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_DESTROY));
    received.clear();

    EXPECT_TRUE(Drain().empty()); // neither the posted message nor the close event
    EXPECT_EQ(platform::SdlWindowFromHandle(other), nullptr);
    EXPECT_EQ(SendMessageA(other, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(other, WM_CLOSE, 0, 0));
    EXPECT_FALSE(DestroyWindow(other));
    RECT rect;
    EXPECT_FALSE(GetClientRect(other, &rect));
    EXPECT_FALSE(platform::InjectWindowEvent(other, platform::WindowEvent::FocusGained));
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(SendMessageA(nullptr, WM_CLOSE, 0, 0), 0); // what the IME handling sends
}

TEST_F(WindowTest, PostedMessagesComeFirstAndQuitIsNeverDispatched) {
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::FocusLost));
    ASSERT_TRUE(PostMessageA(window, kUserMessage, 1, 2));
    PostQuitMessage(3);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(kUserMessage));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(kUserMessage));
    EXPECT_EQ(msg.hwnd, window);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_ACTIVATEAPP));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(received.empty());
}

TEST_F(WindowTest, FocusBecomesActivateAppAndKeepsTheScreenSaverOffWhileActive) {
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::FocusGained));
    Drain();
    ASSERT_EQ(Received(WM_ACTIVATEAPP).size(), 1u);
    EXPECT_EQ(Received(WM_ACTIVATEAPP)[0].wParam, 1u);
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());

    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::FocusLost));
    Drain();
    ASSERT_EQ(Received(WM_ACTIVATEAPP).size(), 2u);
    EXPECT_EQ(Received(WM_ACTIVATEAPP)[1].wParam, 0u);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
}

TEST_F(WindowTest, EachSizeChangeMakesOneSizeMessage) {
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Resized, 800, 600));
    Drain();
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    ASSERT_EQ(Received(WM_SIZE).size(), 1u);
    EXPECT_EQ(LOWORD(Received(WM_SIZE)[0].lParam), 800);
    EXPECT_EQ(HIWORD(Received(WM_SIZE)[0].lParam), 600);
    EXPECT_EQ(Received(WM_SIZE)[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));

    // Minimised, the client area is empty; restored, it is back.
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Minimized));
    Drain();
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
    ASSERT_EQ(Received(WM_SIZE).size(), 2u);
    EXPECT_EQ(Received(WM_SIZE)[1].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Restored));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Restored));
    Drain();
    ASSERT_EQ(Received(WM_SIZE).size(), 3u);
    EXPECT_EQ(LOWORD(Received(WM_SIZE)[2].lParam), 800);
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 800);
}

TEST_F(WindowTest, CloseBoxAndTerminationSignalsBecomeCloseRequests) {
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Close));
    Drain();
    EXPECT_EQ(Received(WM_CLOSE).size(), 1u);
    raise(SIGTERM); // SDL turns it into a quit event instead of ending the process
    Drain();
    EXPECT_EQ(Received(WM_CLOSE).size(), 2u);
    raise(SIGINT);
    Drain();
    EXPECT_EQ(Received(WM_CLOSE).size(), 3u);
    raise(SIGHUP); // a closed terminal ends the program the same orderly way
    Drain();
    EXPECT_EQ(Received(WM_CLOSE).size(), 4u);
    EXPECT_NE(platform::SdlWindowFromHandle(window), nullptr); // closing is the program's call
}

TEST_F(WindowTest, ExposuresCoalesceIntoOnePaintAndDisplayChangesAreReported) {
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::DisplayChanged));
    Drain();
    EXPECT_EQ(Received(WM_PAINT).size(), 1u);
    ASSERT_EQ(Received(WM_DISPLAYCHANGE).size(), 1u);
    EXPECT_EQ(LOWORD(Received(WM_DISPLAYCHANGE)[0].lParam), 1024);
    EXPECT_EQ(HIWORD(Received(WM_DISPLAYCHANGE)[0].lParam), 768);
}

TEST_F(WindowTest, AnExposeWhileInactivePutsTheLastPictureBackOnce) {
    int restored = 0;
    platform::SetPictureRestorer(window, [&] { ++restored; });
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::FocusGained));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    Drain();
    EXPECT_EQ(restored, 0); // the next tick draws
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::FocusLost));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    Drain();
    EXPECT_EQ(restored, 1);
    platform::SetPictureRestorer(window, {});
    ASSERT_TRUE(platform::InjectWindowEvent(window, platform::WindowEvent::Exposed));
    Drain();
    EXPECT_EQ(restored, 1);
}

TEST_F(WindowTest, ADesktopModeChangeThroughRandRIsReportedWithTheNewSize) {
    ShowWindow(window, SW_SHOW); // window-system events start the watch on the desktop
    Drain();
    for (auto [width, height] : {std::pair{800, 600}, std::pair{1024, 768}}) {
        const size_t before = Received(WM_DISPLAYCHANGE).size();
        ASSERT_TRUE(SetDesktopSize(width, height)) << width << "x" << height;
        for (int i = 0; i < 500 && Received(WM_DISPLAYCHANGE).size() == before; ++i) {
            SDL_Delay(10);
            Drain();
        }
        ASSERT_EQ(Received(WM_DISPLAYCHANGE).size(), before + 1) << width << "x" << height;
        EXPECT_EQ(LOWORD(Received(WM_DISPLAYCHANGE).back().lParam), width);
        EXPECT_EQ(HIWORD(Received(WM_DISPLAYCHANGE).back().lParam), height);
    }
}

TEST_F(WindowTest, DefaultProcessingTurnsTheCloseCommandIntoCloseAndCloseIntoDestroy) {
    DefWindowProcA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(Received(WM_CLOSE).size(), 1u);
    HWND other = CreateWindowExA(0, "TEST_CLASS", "other", 0, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    DefWindowProcA(other, WM_CLOSE, 0, 0);
    EXPECT_EQ(platform::SdlWindowFromHandle(other), nullptr);
}

TEST_F(WindowTest, WaitMessageReturnsAtOnceWhenSomethingIsQueuedAndElseWaitsForTheNextEvent) {
    int hookCalls = 0;
    platform::SetWaitHook([&] {
        ++hookCalls;
        platform::InjectWindowEvent(window, platform::WindowEvent::FocusGained);
    });
    PostMessageA(window, kUserMessage, 0, 0);
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(hookCalls, 0);
    Drain();
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(hookCalls, 1);
    Drain();
    EXPECT_EQ(Received(WM_ACTIVATEAPP).size(), 1u);
}

TEST_F(WindowTest, ATerminationSignalWakesAWaitingProgram) {
    // Another process signals this one while it blocks, as `kill` from a shell would; whether
    // the signal comes before or during the wait, the close request must arrive.
    pid_t self = getpid();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        timespec pause{0, 200 * 1000000L};
        nanosleep(&pause, nullptr);
        kill(self, SIGTERM);
        _exit(0);
    }
    // Other events may wake it first; each wait that returns simply waits again.
    while (Received(WM_CLOSE).empty()) {
        ASSERT_TRUE(WaitMessage());
        Drain();
    }
    waitpid(child, nullptr, 0);
    EXPECT_EQ(Received(WM_CLOSE).size(), 1u);
}

TEST_F(WindowTest, CursorPositionsConvertBetweenScreenAndClient) {
    ASSERT_TRUE(SetWindowPos(window, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    POINT point = {130, 95};
    ASSERT_TRUE(ScreenToClient(window, &point));
    EXPECT_EQ(point.x, 30);
    EXPECT_EQ(point.y, 15);
    ASSERT_TRUE(ClientToScreen(window, &point));
    EXPECT_EQ(point.x, 130);
    EXPECT_EQ(point.y, 95);
    EXPECT_FALSE(ScreenToClient(nullptr, &point));

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST(Icon, OnlyTheProgramIconExists) {
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(102)), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), nullptr);
}

} // namespace

namespace {

// A program whose X server goes away must end, not spin in its exit path on the dead
// connection. The death test runs in a fresh process, with no SDL state of this one.
void LoseTheDisplayWhilePumping() {
    win32_test::XServer server;
    if (server.display().empty()) std::exit(3);
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "LOSS_CLASS";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "LOSS_CLASS", "loss", 0, 0, 0, 64, 64, nullptr, nullptr,
                                  nullptr, nullptr);
    if (window == nullptr) std::exit(2);
    ShowWindow(window, SW_SHOW);
    server.Kill();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        WaitMessage();
    }
}

TEST(DisplayLossDeathTest, TheProgramEndsWithALineInsteadOfHanging) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(LoseTheDisplayWhilePumping(), ::testing::ExitedWithCode(1),
                "koltrep: the connection to the X display was lost");
}

} // namespace
