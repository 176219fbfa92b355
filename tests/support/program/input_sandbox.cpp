#include "tests/support/program/input_sandbox.h"

#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "input/input.h"

#include <cstdlib>
#include <cstring>

namespace input_test {

namespace {

int closeRequests = 0;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ++closeRequests;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int RecordingBoxes::Show(HWND owner, const char* text, const char* caption, UINT type) {
    shown.push_back({owner, text ? text : "", caption ? caption : "", type});
    int down = 0;
    for (BYTE key : keyState)
        down += (key & 0x80) ? 1 : 0;
    keysDownWhileShown.push_back(down);
    return IDOK;
}

HWND CreateTestWindow() {
    static bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.lpszClassName = "INPUT_TEST_CLASS";
        return RegisterClassExA(&windowClass) != 0;
    }();
    if (!registered) return nullptr;
    HWND created =
        CreateWindowExA(0, "INPUT_TEST_CLASS", "Koltrep", WS_OVERLAPPEDWINDOW, kTestWindowLeft,
                        kTestWindowTop, 640, 480, nullptr, nullptr, nullptr, nullptr);
    if (created) ShowWindow(created, SW_SHOW);
    return created;
}

HWND TestWindow() {
    static HWND window = CreateTestWindow();
    return window;
}

int CloseRequests() {
    return closeRequests;
}
void ResetCloseRequests() {
    closeRequests = 0;
}

std::string Separator() {
    return std::string(40, '-') + "\n";
}

void UseOffscreenVideo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

InputSandbox::InputSandbox() {
    platform::dinput::SetKeyboardSource(&keyboard);
    platform::dinput::SetJoystickSource(&joysticks);
    platform::dinput::SetInputFaults({});
    platform::dinput::ClearMouseReadFailures();
    platform::SetMessageBoxSink(&boxes);
    ClearInput();
    closeKey = 0;
    joystickCount = 0;
    mousePos = {0, 0};
    ResetCloseRequests();
}

InputSandbox::~InputSandbox() {
    FreeInput();
    platform::dinput::SetKeyboardSource(nullptr);
    platform::dinput::SetJoystickSource(nullptr);
    platform::dinput::SetInputFaults({});
    platform::dinput::ClearMouseReadFailures();
    platform::SetMessageBoxSink(nullptr);
}

} // namespace input_test
