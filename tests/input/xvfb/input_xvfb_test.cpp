// The input module on a real X server: a private Xvfb, the real window through CreateWindowExA,
// the SDL keyboard fed by xdotool key events, and the real pointer moved by the server.
#include "tests/support/program/input_sandbox.h"
#include "tests/support/platform/win32_test_support.h"

#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "input/input.h"

#include <platform/win32/sdl_window.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// A private Xvfb for the whole run (so parallel runs never collide), with SDL pointed at it.
class XvfbServer : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(win32_test::StartPrivateXServer()) << "Xvfb did not start (is it installed?)";
    }
};

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// Event delivery takes a moment; look again a bounded number of times (never a timing test).
constexpr int kAttempts = 300;

class InputXvfbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mainWindow = input_test::TestWindow();
        ASSERT_NE(mainWindow, nullptr);
        clientWidth = 640;
        clientHeight = 480;
        windowed = 1;
        PumpMessages();
    }

    // Samples until the key's status differs from `from`, pumping the window's messages first
    // as the program's loop does; returns the first different status.
    int SampleUntilChanged(int key, int from) {
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            PumpMessages();
            UpdateInput();
            if (GetKey(key) != from) return GetKey(key);
            SDL_Delay(10);
        }
        return from;
    }

    POINT ClientOrigin() {
        POINT origin = {0, 0};
        for (int attempt = 0; attempt < kAttempts && origin.x == 0; ++attempt) {
            PumpMessages(); // the server reports the placement as an event
            origin = {0, 0};
            ClientToScreen(mainWindow, &origin);
            if (origin.x == 0) SDL_Delay(10);
        }
        return origin;
    }

    POINT PointerAt(int x, int y) {
        SetCursorPos(x, y);
        UpdateInput();
        return GetMousePos();
    }

    input_test::InputSandbox sandbox;
};

TEST_F(InputXvfbTest, RealKeyEventsGoThroughPressedHeldReleasedAndUp) {
    platform::dinput::SetKeyboardSource(nullptr); // the real SDL keyboard
    ASSERT_TRUE(InitDirectInput());
    ASSERT_TRUE(Shell("xdotool search --name '^Koltrep$' windowfocus"));
    SDL_Window* window = platform::SdlWindowFromHandle(mainWindow);
    for (int attempt = 0; attempt < kAttempts && SDL_GetKeyboardFocus() != window; ++attempt) {
        PumpMessages();
        SDL_Delay(10);
    }
    ASSERT_EQ(SDL_GetKeyboardFocus(), window) << "the window never got the keyboard focus";

    UpdateInput();
    ASSERT_EQ(GetKey(DIK_UP), 0);
    ASSERT_TRUE(Shell("xdotool keydown Up"));
    EXPECT_EQ(SampleUntilChanged(DIK_UP, 0), 2);
    PumpMessages();
    UpdateInput();
    EXPECT_EQ(GetKey(DIK_UP), 3);
    ASSERT_TRUE(Shell("xdotool keyup Up"));
    EXPECT_EQ(SampleUntilChanged(DIK_UP, 3), 1);
    PumpMessages();
    UpdateInput();
    EXPECT_EQ(GetKey(DIK_UP), 0);

    // Escape from the real keyboard asks the window to close.
    ASSERT_TRUE(Shell("xdotool keydown Escape"));
    EXPECT_EQ(SampleUntilChanged(DIK_ESCAPE, 0), 2);
    EXPECT_GE(input_test::CloseRequests(), 1);
    ASSERT_TRUE(Shell("xdotool keyup Escape"));
    EXPECT_EQ(SampleUntilChanged(DIK_ESCAPE, 2), 1);
}

TEST_F(InputXvfbTest, WindowedPointerStartsCentredAndIsClampedToTheClientArea) {
    POINT origin = ClientOrigin();
    ASSERT_EQ(origin.x, input_test::kTestWindowLeft);
    ASSERT_EQ(origin.y, input_test::kTestWindowTop);
    ASSERT_TRUE(InitDirectInput());
    UpdateInput();
    EXPECT_EQ(GetMousePos().x, 320);
    EXPECT_EQ(GetMousePos().y, 240);

    POINT p = PointerAt(origin.x + 10, origin.y + 20);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    p = PointerAt(origin.x - 30, origin.y - 1);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = PointerAt(origin.x + 640, origin.y + 480); // the upper bounds are inclusive
    EXPECT_EQ(p.x, 640);
    EXPECT_EQ(p.y, 480);
    p = PointerAt(origin.x + 700, origin.y + 600);
    EXPECT_EQ(p.x, 640);
    EXPECT_EQ(p.y, 480);
    p = PointerAt(origin.x + 641, origin.y - 5);
    EXPECT_EQ(p.x, 640);
    EXPECT_EQ(p.y, 0);

    SetMousePos(600, 30); // client coordinates; the sample changes only at the next update
    EXPECT_EQ(GetMousePos().x, 640);
    UpdateInput();
    EXPECT_EQ(GetMousePos().x, 600);
    EXPECT_EQ(GetMousePos().y, 30);
}

TEST_F(InputXvfbTest, FullScreenPointerIsInScreenCoordinatesUnclampedAndHidden) {
    windowed = 0;
    int shownBefore = ShowCursor(TRUE);
    ShowCursor(FALSE);
    ASSERT_TRUE(InitDirectInput());
    int shownAfter = ShowCursor(TRUE);
    ShowCursor(FALSE);
    EXPECT_EQ(shownAfter, shownBefore - 1); // hidden once by the mouse set-up
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    UpdateInput(); // the centre of the client size, taken as a screen position
    EXPECT_EQ(GetMousePos().x, 320);
    EXPECT_EQ(GetMousePos().y, 240);
    POINT p = PointerAt(5, 7);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7);
    p = PointerAt(1000, 700);
    EXPECT_EQ(p.x, 1000);
    EXPECT_EQ(p.y, 700);
    ShowCursor(TRUE);
}

} // namespace
