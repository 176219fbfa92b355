// The input module against the DirectInput stand-in, with a scripted keyboard and scripted
// controllers, on a real (offscreen) window.
#include "tests/support/program/input_sandbox.h"

#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "input/input.h"

#include <gtest/gtest.h>

#include <string>

using input_test::InputSandbox;
using input_test::Separator;

namespace {

const std::string kInitLog = Separator() + "InitDirectInput\n";
const char* const kKeyboardLost = "キーボードのアクセス権を失いました.\n";
const char* const kMouseLost = "マウスのアクセス権を失いました.\n";

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        input_test::UseOffscreenVideo();
        mainWindow = input_test::TestWindow();
        ASSERT_NE(mainWindow, nullptr);
        clientWidth = 640;
        clientHeight = 480;
        windowed = 1;
    }

    void Start() {
        ASSERT_TRUE(InitDirectInput());
        sandbox.log.Clear();
    }

    // Samples `ticks` times and returns the key's status after the last one.
    int Tick(int key, int ticks = 1) {
        for (int i = 0; i < ticks; ++i)
            UpdateInput();
        return GetKey(key);
    }

    InputSandbox sandbox;
};

// ---- Start-up -----------------------------------------------------------------------------

TEST_F(InputTest, StartUpCreatesKeyboardAndMouseAndLogsOnlyItsName) {
    ASSERT_TRUE(InitDirectInput());
    EXPECT_EQ(sandbox.log.text(), kInitLog); // no controllers: no controller line at all
    EXPECT_TRUE(sandbox.boxes.shown.empty());
    EXPECT_NE(directInput, nullptr);
    EXPECT_NE(keyboardDevice, nullptr);
    EXPECT_NE(mouseDevice, nullptr);
    EXPECT_EQ(joystickCount, 0);
    EXPECT_EQ(closeKey, DIK_ESCAPE);
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 3);

    // Both devices are acquired by the set-up: they read without another Acquire.
    BYTE keys[256];
    DIMOUSESTATE mouse;
    EXPECT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(mouseDevice->GetDeviceState(sizeof(mouse), &mouse), DI_OK);
}

struct StartFailure {
    const char* name;
    void (*inject)(platform::dinput::InputFaults&);
    const char* box;
    int createdObjects; // what FreeInput has to release
};

class InputStartFailureTest : public InputTest,
                              public ::testing::WithParamInterface<StartFailure> {};

TEST_P(InputStartFailureTest, ShowsOneErrorBoxAndFreeInputReleasesWhatWasCreated) {
    const StartFailure& failure = GetParam();
    platform::dinput::InputFaults faults;
    failure.inject(faults);
    platform::dinput::SetInputFaults(faults);
    sandbox.joysticks.Add({});

    EXPECT_FALSE(InitDirectInput());
    ASSERT_EQ(sandbox.boxes.shown.size(), 1u);
    const input_test::ShownBox& box = sandbox.boxes.shown[0];
    EXPECT_EQ(box.text, failure.box);
    EXPECT_EQ(box.caption, "エラー");
    EXPECT_EQ(box.type, UINT(MB_SYSTEMMODAL));
    EXPECT_EQ(box.owner, GetActiveWindow());
    EXPECT_EQ(sandbox.log.text(), kInitLog);
    EXPECT_EQ(sandbox.joysticks.opens(), 0); // later steps are not attempted
    EXPECT_EQ(platform::dinput::LiveInputObjects(), failure.createdObjects);

    FreeInput();
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
    EXPECT_EQ(directInput, nullptr);
    EXPECT_EQ(keyboardDevice, nullptr);
    EXPECT_EQ(mouseDevice, nullptr);
    EXPECT_EQ(sandbox.log.text(), kInitLog + Separator() + "FreeInput\n");
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InputStartFailureTest,
    ::testing::Values(
        StartFailure{"DirectInput", [](auto& f) { f.directInputCreate = DIERR_GENERIC; },
                     "DirectInputが初期化できませんでした.", 0},
        StartFailure{"KeyboardDevice", [](auto& f) { f.keyboard.create = DIERR_GENERIC; },
                     "キーボードデバイスが作成できません.", 1},
        StartFailure{"KeyboardFormat", [](auto& f) { f.keyboard.setDataFormat = DIERR_GENERIC; },
                     "キーボードフォーマットが設定できません.", 2},
        StartFailure{"KeyboardCooperation",
                     [](auto& f) { f.keyboard.setCooperativeLevel = DIERR_INVALIDPARAM; },
                     "キーボードの協調レベルが設定できません.", 2},
        StartFailure{"MouseDevice", [](auto& f) { f.mouse.create = DIERR_DEVICENOTREG; },
                     "マウスデバイスが作成できません.", 2},
        StartFailure{"MouseFormat", [](auto& f) { f.mouse.setDataFormat = DIERR_GENERIC; },
                     "マウスフォーマットが設定できません.", 3},
        StartFailure{"MouseCooperation",
                     [](auto& f) { f.mouse.setCooperativeLevel = DIERR_GENERIC; },
                     "マウスの協調レベルが設定できません.", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, FailedAcquireAndSuccessCodesDoNotFailStartUp) {
    platform::dinput::InputFaults faults;
    faults.keyboard.acquire = DIERR_OTHERAPPHASPRIO;
    faults.keyboard.setDataFormat = S_FALSE;
    faults.mouse.acquire = DIERR_OTHERAPPHASPRIO;
    faults.mouse.setCooperativeLevel = S_FALSE;
    platform::dinput::SetInputFaults(faults);
    EXPECT_TRUE(InitDirectInput());
    EXPECT_TRUE(sandbox.boxes.shown.empty());
    EXPECT_EQ(closeKey, DIK_ESCAPE);
}

TEST_F(InputTest, FreeInputTwiceAndWithoutStartUpIsHarmless) {
    FreeInput();
    EXPECT_EQ(sandbox.log.text(), Separator() + "FreeInput\n");
    Start();
    FreeInput();
    FreeInput();
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
    EXPECT_EQ(sandbox.log.text(), Separator() + "FreeInput\n" + Separator() + "FreeInput\n");
}

// ---- Key status ---------------------------------------------------------------------------

TEST_F(InputTest, KeyReportsPressedHeldReleasedThenUp) {
    Start();
    EXPECT_EQ(Tick(DIK_UP), 0);
    sandbox.keyboard.SetKey(DIK_UP, true);
    EXPECT_EQ(Tick(DIK_UP), 2);
    EXPECT_EQ(Tick(DIK_UP), 3);
    EXPECT_EQ(Tick(DIK_UP), 3);
    sandbox.keyboard.SetKey(DIK_UP, false);
    EXPECT_EQ(Tick(DIK_UP), 1);
    EXPECT_EQ(Tick(DIK_UP), 0);
    EXPECT_EQ(GetKey(DIK_DOWN), 0);
}

TEST_F(InputTest, KeysAreIndependentAndCodesOutsideTheKeyboardReadAsUp) {
    Start();
    sandbox.keyboard.SetKey(DIK_A, true);
    UpdateInput();
    sandbox.keyboard.SetKey(DIK_A, false);
    sandbox.keyboard.SetKey(255, true);
    UpdateInput();
    EXPECT_EQ(GetKey(DIK_A), 1);
    EXPECT_EQ(GetKey(255), 2);
    EXPECT_EQ(GetKey(0), 0);
    for (int outside : {-1, 256, 100000})
        EXPECT_EQ(GetKey(outside), 0) << outside;
}

TEST_F(InputTest, ClearInputForgetsBothSamplesAndAHeldKeyIsPressedAgain) {
    Start();
    sandbox.keyboard.SetKey(DIK_SPACE, true);
    EXPECT_EQ(Tick(DIK_SPACE, 2), 3);
    ClearInput();
    EXPECT_EQ(GetKey(DIK_SPACE), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(keyState[i] | prevKeyState[i], 0) << i;
    EXPECT_EQ(Tick(DIK_SPACE), 2);
    EXPECT_EQ(Tick(DIK_SPACE), 3);
}

TEST_F(InputTest, ShowMessageShowsAPlainBoxOwnedByTheMainWindowThenClearsTheKeys) {
    Start();
    sandbox.keyboard.SetKey(DIK_TAB, true);
    EXPECT_EQ(Tick(DIK_TAB, 2), 3);
    ShowMessage("既に起動しています.");
    ASSERT_EQ(sandbox.boxes.shown.size(), 1u);
    EXPECT_EQ(sandbox.boxes.shown[0].owner, mainWindow);
    EXPECT_EQ(sandbox.boxes.shown[0].text, "既に起動しています.");
    EXPECT_EQ(sandbox.boxes.shown[0].caption, "");
    EXPECT_EQ(sandbox.boxes.shown[0].type, UINT(MB_OK));
    EXPECT_EQ(sandbox.boxes.keysDownWhileShown[0], 1); // cleared only after the box closed
    EXPECT_EQ(GetKey(DIK_TAB), 0);
    EXPECT_EQ(Tick(DIK_TAB), 2);
}

// ---- Failed and lost reads ----------------------------------------------------------------

TEST_F(InputTest, FailedKeyboardReadReadsAllUpWithoutLogOrRetry) {
    Start();
    sandbox.keyboard.SetKey(DIK_R, true);
    EXPECT_EQ(Tick(DIK_R, 2), 3);
    int reads = sandbox.keyboard.reads();
    sandbox.keyboard.FailNextRead(DIERR_NOTACQUIRED);
    UpdateInput();
    EXPECT_EQ(GetKey(DIK_R), 1); // down before, up now
    EXPECT_EQ(GetKey(DIK_F), 0);
    EXPECT_EQ(sandbox.keyboard.reads(), reads + 1);
    EXPECT_EQ(sandbox.log.text(), "");
    EXPECT_EQ(Tick(DIK_R), 2);
}

TEST_F(InputTest, LostKeyboardIsLoggedAndReacquiredOncePerTick) {
    Start();
    sandbox.keyboard.SetKey(DIK_LEFT, true);
    EXPECT_EQ(Tick(DIK_LEFT), 2);
    int reads = sandbox.keyboard.reads();
    sandbox.keyboard.FailNextRead(DIERR_INPUTLOST);
    sandbox.keyboard.FailNextRead(DIERR_INPUTLOST);

    EXPECT_EQ(Tick(DIK_LEFT), 1);
    EXPECT_EQ(sandbox.log.text(), kKeyboardLost);
    EXPECT_EQ(sandbox.keyboard.reads(), reads + 1); // not read again in the same tick

    EXPECT_EQ(Tick(DIK_LEFT), 0);
    EXPECT_EQ(sandbox.log.Count(kKeyboardLost), 2);
    EXPECT_EQ(sandbox.keyboard.reads(), reads + 2);

    // Re-acquired after each loss: the next read works.
    EXPECT_EQ(Tick(DIK_LEFT), 2);
    EXPECT_EQ(sandbox.log.Count(kKeyboardLost), 2);
}

TEST_F(InputTest, LostMouseIsLoggedAndReacquiredWithoutTouchingKeys) {
    Start();
    sandbox.keyboard.SetKey(DIK_W, true);
    platform::dinput::FailNextMouseRead(DIERR_INPUTLOST);
    EXPECT_EQ(Tick(DIK_W), 2);
    EXPECT_EQ(sandbox.log.text(), kMouseLost);
    DIMOUSESTATE mouse;
    EXPECT_EQ(mouseDevice->GetDeviceState(sizeof(mouse), &mouse), DI_OK);
    EXPECT_EQ(Tick(DIK_W), 3);
    EXPECT_EQ(sandbox.log.Count(kMouseLost), 1);
}

TEST_F(InputTest, OtherMouseFailuresAreIgnored) {
    Start();
    platform::dinput::FailNextMouseRead(DIERR_GENERIC);
    platform::dinput::FailNextMouseRead(DIERR_NOTACQUIRED);
    UpdateInput();
    UpdateInput();
    EXPECT_EQ(sandbox.log.text(), "");
}

TEST_F(InputTest, MouseOfADestroyedWindowIsLostAtEveryTick) {
    HWND window = input_test::CreateTestWindow();
    ASSERT_NE(window, nullptr);
    mainWindow = window;
    Start();
    DestroyWindow(window);
    UpdateInput();
    UpdateInput();
    EXPECT_EQ(sandbox.log.text(), std::string(kMouseLost) + kMouseLost);
}

TEST_F(InputTest, UpdateBeforeStartUpReadsNothingAndDoesNotCrash) {
    UpdateInput();
    EXPECT_EQ(GetKey(DIK_ESCAPE), 0);
    EXPECT_EQ(input_test::CloseRequests(), 0);
}

// ---- Close key ----------------------------------------------------------------------------

TEST_F(InputTest, EscapeRequestsCloseAtEveryTickWhileDown) {
    Start();
    UpdateInput();
    EXPECT_EQ(input_test::CloseRequests(), 0);
    sandbox.keyboard.SetKey(DIK_ESCAPE, true);
    for (int tick = 1; tick <= 3; ++tick) {
        UpdateInput();
        EXPECT_EQ(input_test::CloseRequests(), tick);
    }
    sandbox.keyboard.SetKey(DIK_ESCAPE, false);
    UpdateInput();
    EXPECT_EQ(input_test::CloseRequests(), 3);
}

TEST_F(InputTest, CloseKeyCanBeChangedAndALostReadDoesNotClose) {
    Start();
    SetCloseKey(DIK_Q);
    sandbox.keyboard.SetKey(DIK_ESCAPE, true);
    UpdateInput();
    EXPECT_EQ(input_test::CloseRequests(), 0);
    sandbox.keyboard.SetKey(DIK_Q, true);
    sandbox.keyboard.FailNextRead(DIERR_INPUTLOST);
    UpdateInput();
    EXPECT_EQ(input_test::CloseRequests(), 0);
    UpdateInput();
    EXPECT_EQ(input_test::CloseRequests(), 1);
    SetCloseKey(0x100 + DIK_Q); // one byte is kept
    EXPECT_EQ(closeKey, DIK_Q);
}

// ---- Controllers --------------------------------------------------------------------------

TEST_F(InputTest, NineControllersFillEightSlots) {
    for (int i = 0; i < 9; ++i)
        sandbox.joysticks.Add({});
    ASSERT_TRUE(InitDirectInput());
    EXPECT_EQ(sandbox.log.text(), kInitLog + "ジョイスティック数 = 8\n");
    EXPECT_EQ(joystickCount, 8);
    EXPECT_EQ(sandbox.joysticks.opens(), 8);
    for (IDirectInputDevice8A* device : joystickDevices)
        EXPECT_NE(device, nullptr);
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 3 + 8);

    FreeInput();
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
    for (IDirectInputDevice8A* device : joystickDevices)
        EXPECT_EQ(device, nullptr);
    EXPECT_EQ(joystickCount, 8); // kept by FreeInput
}

TEST_F(InputTest, EachControllerProblemIsLoggedWithItsSlotAndLaterSlotsKeepTheirIndex) {
    platform::dinput::ScriptedJoystick healthy;
    platform::dinput::ScriptedJoystick noDevice;
    noDevice.faults.create = DIERR_DEVICENOTREG;
    platform::dinput::ScriptedJoystick noFormat;
    noFormat.faults.setDataFormat = S_FALSE; // a success code other than DI_OK counts as failure
    platform::dinput::ScriptedJoystick noCooperation;
    noCooperation.faults.setCooperativeLevel = DIERR_INVALIDPARAM;
    platform::dinput::ScriptedJoystick noAxes;
    noAxes.faults.enumObjects = DIERR_GENERIC;
    sandbox.joysticks.Add(healthy);
    sandbox.joysticks.Add(noDevice);
    sandbox.joysticks.Add(noFormat);
    sandbox.joysticks.Add(noCooperation);
    sandbox.joysticks.Add(noAxes);
    sandbox.joysticks.Add(healthy);

    ASSERT_TRUE(InitDirectInput());
    EXPECT_EQ(sandbox.log.text(), kInitLog + "ジョイスティック[1]が初期化できません.\n"
                                             "ジョイスティック数 = 6\n"
                                             "ジョイスティック[2]のフォーマットが指定できません.\n"
                                             "ジョイスティック[3]の協調レベルが設定できません.\n"
                                             "ジョイスティック[4]の軸の列挙ができません.\n");
    EXPECT_TRUE(sandbox.boxes.shown.empty());
    EXPECT_EQ(joystickCount, 6);
    EXPECT_EQ(joystickDevices[1], nullptr);

    // Only the healthy ones are acquired; the others stay created but unacquired.
    DIJOYSTATE2 state;
    for (int slot : {0, 5})
        EXPECT_EQ(joystickDevices[slot]->GetDeviceState(sizeof(state), &state), DI_OK);
    for (int slot : {3, 4})
        EXPECT_EQ(joystickDevices[slot]->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);

    EXPECT_EQ(platform::dinput::LiveInputObjects(), 3 + 5);
    FreeInput();
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
}

TEST_F(InputTest, ControllerAxesAreScaledToPlusMinusThousand) {
    platform::dinput::ScriptedJoystick stick;
    stick.axisCount = 3;
    stick.axes = {-32768, 0, 32767};
    sandbox.joysticks.Add(stick);
    ASSERT_TRUE(InitDirectInput());

    IDirectInputDevice8A* device = joystickDevices[0];
    for (int axis = 0; axis < 3; ++axis) {
        DIPROPRANGE range{};
        range.diph = {sizeof(range), sizeof(range.diph),
                      DWORD(DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(axis)), DIPH_BYID};
        ASSERT_EQ(device->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        EXPECT_EQ(range.lMin, -1000);
        EXPECT_EQ(range.lMax, 1000);
    }
    DIJOYSTATE2 state;
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, -1000);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 1000);
}

} // namespace
