// Gamepad driving through SDL's virtual joystick: the real SDL controller path of the
// DirectInput stand-in, read by the input module, walking the real physics world.
#include "tests/support/input_sandbox.h"

#include "app/main_window.h"
#include "gfx/device/d3d_device.h"
#include "input/gamepad.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/world.h"
#include "tools/replay/trace.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// Ticks of input, controls and physics; their trace rows, tick numbers from 0.
std::string RunTicks(int ticks) {
    std::string rows;
    for (int t = 0; t < ticks; ++t) {
        UpdateInput();
        ReadControls();
        StepPhysics();
        FormatTraceRow(CaptureTraceRow(t), rows);
    }
    return rows;
}

TEST(Gamepad, StickWalksAsTheArrowKeysDoAndButtonsStandForTheirKeys) {
    input_test::InputSandbox sandbox;
    input_test::UseOffscreenVideo();
    mainWindow = input_test::TestWindow();
    windowed = 1;
    platform::SetJoystickSource(nullptr); // SDL's controllers, not the sandbox's
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 11, 0);
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    ASSERT_TRUE(InitDirectInput());
    FillShapeTables();
    BuildWorld();

    SDL_JoystickSetVirtualAxis(pad, 1, -30000);
    std::string withStick = RunTicks(80);
    SDL_JoystickSetVirtualAxis(pad, 1, 0);
    ResetMachine();
    ClearInput();
    sandbox.keyboard.SetKey(DIK_UP, true);
    std::string withKey = RunTicks(80);
    EXPECT_EQ(withStick, withKey);
    sandbox.keyboard.SetKey(DIK_UP, false);

    SDL_JoystickSetVirtualAxis(pad, 1, -32767 * (kGamepadDeadZone - 50) / 1000);
    RunTicks(1);
    EXPECT_EQ(flankCommand[0], 0) << "inside the dead zone";
    SDL_JoystickSetVirtualAxis(pad, 0, -32000); // the stronger axis wins: LEFT
    RunTicks(1);
    EXPECT_EQ(flankCommand[0], -1);
    EXPECT_EQ(flankCommand[1], 1);
    SDL_JoystickSetVirtualButton(pad, 1, SDL_PRESSED); // next view, once per press
    SDL_JoystickSetVirtualButton(pad, 3, SDL_PRESSED); // crank speed up while held
    RunTicks(3);
    EXPECT_EQ(viewMode, 1);
    EXPECT_FLOAT_EQ(crankSpeed, kStartCrankSpeed + 3 * 0.05f);

    ResetMachine();
    ShutDownScene();
    FreeInput();
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    platform::SetJoystickSource(&sandbox.joysticks);
}

} // namespace
