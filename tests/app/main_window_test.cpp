// The main window and its procedure on a real SDL window in a private X server, and the main
// loop's pieces (PumpMessages, Tick, WaitMessage) around activation and closing.
#include <gtest/gtest.h>

#include <vector>

#include <platform/win32/clock.h>
#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>

#include "app/application.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "tests/support/platform/win32_test_support.h"

namespace {

using platform::WindowEvent;

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(win32_test::StartPrivateXServer()); }
    void SetUp() override {
        ASSERT_TRUE(CreateMainWindow(GetModuleHandleA(nullptr)));
        windowed = 1;
        PumpMessages();
        log.Clear();
    }
    void TearDown() override {
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        windowed = 0;
        platform::SetWaitHook({});
        platform::SetClock(nullptr);
    }
    void Inject(WindowEvent event, int width = 0, int height = 0) {
        ASSERT_TRUE(platform::InjectWindowEvent(mainWindow, event, width, height));
    }
    win32_test::DebugOutput log;
};

TEST_F(MainWindowTest, CreatedHiddenAtTheTopLeftWithA640x480ClientArea) {
    EXPECT_EQ(clientWidth, 640);
    EXPECT_EQ(clientHeight, 480);
    EXPECT_EQ(appActive, 1);
    RECT client, outer;
    ASSERT_TRUE(GetClientRect(mainWindow, &client));
    EXPECT_EQ(client.right - client.left, 640);
    EXPECT_EQ(client.bottom - client.top, 480);
    ASSERT_TRUE(GetWindowRect(mainWindow, &outer));
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    SDL_Window* sdl = platform::SdlWindowFromHandle(mainWindow);
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "Koltrep");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_HIDDEN);
    EXPECT_EQ(GetWindowLongA(mainWindow, GWL_STYLE), static_cast<LONG>(WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(log.text(), ""); // creation logs nothing
}

TEST_F(MainWindowTest, WindowedSizeChangesRenewTheClientSizeAndAreLogged) {
    Inject(WindowEvent::Resized, 800, 600);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(clientWidth, 800);
    EXPECT_EQ(clientHeight, 600);
    Inject(WindowEvent::Minimized);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(clientWidth, 0);
    EXPECT_EQ(clientHeight, 0);
    Inject(WindowEvent::Restored);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(log.text(), "<クライアント領域 800 x 600>\n"
                          "<クライアント領域 0 x 0>\n"
                          "<クライアント領域 800 x 600>\n");
    EXPECT_EQ(clientWidth, 800);
}

TEST_F(MainWindowTest, FullScreenSizeChangesChangeNothing) {
    windowed = 0;
    Inject(WindowEvent::Resized, 800, 600);
    Inject(WindowEvent::Minimized);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(clientWidth, 640);
    EXPECT_EQ(clientHeight, 480);
    EXPECT_EQ(log.text(), "");
}

TEST_F(MainWindowTest, ActivationAndDisplayChangesAreFollowedAndLogged) {
    Inject(WindowEvent::FocusLost);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(appActive, 0);
    Inject(WindowEvent::FocusGained);
    Inject(WindowEvent::DisplayChanged);
    Inject(WindowEvent::Exposed);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(appActive, 1);
    EXPECT_EQ(log.text(), "<非アクティブ>\n<アクティブ>\n<ディスプレイモードの変更>\n");
}

TEST_F(MainWindowTest, ScreenSaverAndMonitorPowerAreSwallowedOtherCommandsAreNot) {
    EXPECT_EQ(SendMessageA(mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
    EXPECT_EQ(SendMessageA(mainWindow, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 1);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(SendMessageA(mainWindow, WM_IME_SETCONTEXT, 1, 0), 0);
    EXPECT_NE(platform::SdlWindowFromHandle(mainWindow), nullptr);
    EXPECT_TRUE(PumpMessages());
    // The system menu's close goes the way of the close box.
    EXPECT_EQ(SendMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_FALSE(PumpMessages());
    EXPECT_NE(platform::SdlWindowFromHandle(mainWindow), nullptr);
}

TEST_F(MainWindowTest, CloseRequestsEndTheLoopButLeaveTheWindowAlive) {
    RequestClose(); // handled at once: the quit message is already queued
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(PumpMessages());
    EXPECT_TRUE(PumpMessages()); // taken once

    Inject(WindowEvent::Close);
    EXPECT_FALSE(PumpMessages());
    EXPECT_NE(platform::SdlWindowFromHandle(mainWindow), nullptr);
    EXPECT_EQ(log.text(), "");
}

// The main loop around an inactive spell: what each tick did and when.
std::vector<uint32_t> tickStarts;
platform::VirtualClock* loopClock = nullptr;

void ScriptedFrame() {
    tickStarts.push_back(loopClock->NowMs());
    if (tickStarts.size() == 3) platform::InjectWindowEvent(mainWindow, WindowEvent::FocusLost);
    if (tickStarts.size() == 7) platform::InjectWindowEvent(mainWindow, WindowEvent::Close);
}

TEST_F(MainWindowTest, NoTicksWhileInactiveAndNoBurstAfterReactivation) {
    platform::VirtualClock clock(5000);
    loopClock = &clock;
    platform::SetClock(&clock);
    tickStarts.clear();
    framePacing = {50, 0, 0, 0, timeGetTime(), timeGetTime(), 20.0f};
    application.frameCallback = ScriptedFrame;
    int waits = 0;
    size_t ticksWhenWoken = 0;
    platform::SetWaitHook([&] {
        ++waits;
        ticksWhenWoken = tickStarts.size();
        clock.Advance(1000); // the user is away for a second
        platform::InjectWindowEvent(mainWindow, WindowEvent::FocusGained);
    });

    int rounds = 0;
    while (PumpMessages() && ++rounds < 100) {
        if (appActive)
            application.Tick();
        else
            WaitMessage();
    }

    EXPECT_EQ(waits, 1);
    EXPECT_EQ(ticksWhenWoken, 3u);
    // Three ticks at the pace; back after the inactive second, the first tick is the late one
    // that drops the backlog, one more follows at once, then the pace again.
    EXPECT_EQ(tickStarts, (std::vector<uint32_t>{5000, 5050, 5100, 6150, 6150, 6150, 6200}));
    EXPECT_EQ(log.Count("<非アクティブ>\n"), 1);
    EXPECT_EQ(log.Count("<アクティブ>\n"), 1);
    EXPECT_LT(rounds, 100);
    EXPECT_NE(platform::SdlWindowFromHandle(mainWindow), nullptr);
}

} // namespace

namespace {

// Without any usable display the window cannot be made: start-up stops without a message box or
// a log line, and stderr says why. A fresh process, since SDL's state is process-wide.
void CreateWithoutADisplay() {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    win32_test::MessageBoxes boxes;
    win32_test::DebugOutput log;
    bool created = CreateMainWindow(GetModuleHandleA(nullptr));
    bool silent = boxes.shown.empty() && log.text().empty();
    std::exit(!created && mainWindow == nullptr && appActive == 0 && silent ? 7 : 1);
}

TEST(MainWindowDeathTest, WithoutADisplayCreationFailsSilentlyButForOneLineOnStderr) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CreateWithoutADisplay(), ::testing::ExitedWithCode(7),
                "koltrep: cannot start SDL video: .+");
}

} // namespace
