// Test seams for the input module: a scripted keyboard and controllers, recorded log lines and
// message boxes, and a real window whose procedure counts close requests. An InputSandbox puts
// them all in place and clears the module's process-wide state; its destructor undoes both.
#pragma once

#include <dinput.h>
#include <platform/win32/services.h>
#include <platform/dinput8/sources.h>

#include "tests/support/platform/win32_test_support.h"

#include <string>
#include <vector>

namespace input_test {

using ShownBox = win32_test::Box;

// Records message boxes like win32_test::MessageBoxes, and the keys held while each was up.
class RecordingBoxes final : public platform::MessageBoxSink {
  public:
    int Show(HWND owner, const char* text, const char* caption, UINT type) override;
    std::vector<ShownBox> shown;
    // For each box: how many keys of the current sample were down while it was up.
    std::vector<int> keysDownWhileShown;
};

// Where test windows are placed on the screen, so that client and screen coordinates differ.
constexpr int kTestWindowLeft = 100;
constexpr int kTestWindowTop = 80;

// A 640 x 480 window of a class of its own, made through CreateWindowExA and shown; its
// procedure counts WM_CLOSE. Null when no window can be made.
HWND CreateTestWindow();
// One such window per process, made on first use.
HWND TestWindow();
int CloseRequests();
void ResetCloseRequests();

// The 40-dash separator line the log writes before each start-up and shut-down step.
std::string Separator();

class InputSandbox {
  public:
    InputSandbox();
    ~InputSandbox();
    InputSandbox(const InputSandbox&) = delete;
    InputSandbox& operator=(const InputSandbox&) = delete;

    platform::dinput::ScriptedKeyboard keyboard;
    platform::dinput::ScriptedJoysticks joysticks;
    win32_test::DebugOutput log;
    RecordingBoxes boxes;
};

// Starts SDL video on the offscreen driver unless a driver was chosen already.
void UseOffscreenVideo();

} // namespace input_test
