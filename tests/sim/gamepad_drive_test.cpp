// Gamepad driving through SDL's virtual joysticks: the real SDL controller path of the
// DirectInput stand-in, read by the input module, walking the real physics world.
#include "tests/support/program/input_sandbox.h"

#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "input/gamepad.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/world.h"
#include "sim/trace_capture.h"

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

// A wheel with its axes at their ends and every button down stands in front of the game
// controller: it is opened, as every controller is, and never read; the pad behind it drives.
TEST(Gamepad, OnlyTheGameControllerDrivesByItsStandardMapping) {
    input_test::InputSandbox sandbox;
    input_test::UseOffscreenVideo();
    mainWindow = input_test::TestWindow();
    windowed = 1;
    platform::dinput::SetJoystickSource(nullptr); // SDL's controllers, not the sandbox's
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    int wheelIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_WHEEL, 6, 11, 0);
    SDL_Joystick* wheel = SDL_JoystickOpen(wheelIndex);
    ASSERT_NE(wheel, nullptr) << SDL_GetError();
    ASSERT_FALSE(SDL_IsGameController(wheelIndex));
    for (int axis = 0; axis < 6; ++axis)
        SDL_JoystickSetVirtualAxis(wheel, axis, axis % 2 ? 32767 : -32768);
    for (int button = 0; button < 11; ++button)
        SDL_JoystickSetVirtualButton(wheel, button, SDL_PRESSED);
    int padIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 11, 0);
    ASSERT_TRUE(SDL_IsGameController(padIndex));
    SDL_Joystick* pad = SDL_JoystickOpen(padIndex);
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    ASSERT_TRUE(InitDirectInput());
    ASSERT_EQ(joystickCount, 2);
    ASSERT_NE(joystickDevices[0], nullptr) << "the wheel is opened all the same";
    FillShapeTables();
    BuildWorld();

    std::string withWheel = RunTicks(80);
    for (int key = 0; key < 256; ++key)
        ASSERT_EQ(keyState[key], 0) << "the wheel stood for key " << key;
    ResetMachine();
    ClearInput();
    EXPECT_EQ(withWheel, RunTicks(80)) << "the wheel moved the machine";

    // The pad's virtual mapping is SDL's standard order: a0/a1 the left stick, b1 B, b3 Y,
    // b6 Start, b9/b10 the shoulders.
    ResetMachine();
    ClearInput();
    SDL_JoystickSetVirtualAxis(pad, 1, -30000);
    std::string withStick = RunTicks(80);
    SDL_JoystickSetVirtualAxis(pad, 1, 0);
    ResetMachine();
    ClearInput();
    sandbox.keyboard.SetKey(DIK_UP, true);
    std::string withKey = RunTicks(80);
    EXPECT_EQ(withStick, withKey);
    sandbox.keyboard.SetKey(DIK_UP, false);

    // The stick walks beyond 40 % of its travel, as documented for users.
    SDL_JoystickSetVirtualAxis(pad, 1, -32767 * 39 / 100);
    RunTicks(1);
    EXPECT_EQ(flankCommand[0], 0) << "inside the dead zone";
    SDL_JoystickSetVirtualAxis(pad, 1, -32767 * 41 / 100);
    RunTicks(1);
    EXPECT_NE(flankCommand[0], 0) << "beyond the dead zone";
    SDL_JoystickSetVirtualAxis(pad, 1, 0);
    SDL_JoystickSetVirtualAxis(pad, 0, -32000); // the stronger axis wins: LEFT
    RunTicks(1);
    EXPECT_EQ(flankCommand[0], -1);
    EXPECT_EQ(flankCommand[1], 1);
    SDL_JoystickSetVirtualButton(pad, 1, SDL_PRESSED);  // B: next view, once per press
    SDL_JoystickSetVirtualButton(pad, 3, SDL_PRESSED);  // Y: crank speed up while held
    SDL_JoystickSetVirtualButton(pad, 10, SDL_PRESSED); // right shoulder: friction up
    SDL_JoystickSetVirtualButton(pad, 6, SDL_PRESSED);  // Start stands for P
    RunTicks(3);
    EXPECT_EQ(viewMode, 1);
    EXPECT_FLOAT_EQ(crankSpeed, StartCrankSpeed() + 3 * 0.05f);
    EXPECT_FLOAT_EQ(frictionCoefficient, StartFrictionCoefficient() + 3 * 5.0f);
    EXPECT_GE(GetKey(DIK_P), 2);

    ResetMachine();
    ShutDownScene();
    FreeInput();
    SDL_JoystickClose(pad);
    SDL_JoystickClose(wheel);
    SDL_JoystickDetachVirtual(padIndex);
    SDL_JoystickDetachVirtual(wheelIndex);
    platform::dinput::SetJoystickSource(&sandbox.joysticks);
}

} // namespace
