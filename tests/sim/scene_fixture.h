// Shared set-up of the scene, frame and laser tests: the program's initial control state, the
// recording device with a recording font installed, the debug log captured, and everything the
// scene set-up made given back at the end (the scene's objects live for the whole process).
#pragma once

#include "shell/frame_pacing.h"
#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "gfx/resources/texture_cache.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/laser.h"
#include "sim/physics_step.h"
#include "sim/scene.h"
#include "tests/support/program/key_ticks.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"
#include "tests/support/platform/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace scene_test {

using testsupport::Tick;

inline D3DXMATRIX ChassisMatrix() {
    return MakeBodyDrawMatrix(dBodyGetPosition(chassisBody), dBodyGetRotation(chassisBody));
}

// The program's initial control state: no keys, the start-up values of the control inputs, the
// driver state and the measured rate, idle beams, and the 640 x 480 back buffer.
inline void ResetControlState() {
    std::memset(keyState, 0, sizeof keyState);
    std::memset(prevKeyState, 0, sizeof prevKeyState);
    flankCommand[0] = flankCommand[1] = 0;
    crankSpeed = 3.0f;
    frictionCoefficient = 350.0f;
    viewMode = 0;
    framesPerSecond = 20.0f;
    laserBeams[0] = laserBeams[1] = LaserBeam{};
    backBufferWidth = 640;
    backBufferHeight = 480;
}

// Gives back everything the scene set-up made, and the world if it is built: the scene's
// objects are process-wide and would otherwise be released at exit, after the test's device.
inline void ReleaseScene() {
    if (chassisBody != nullptr) ShutDownScene();
    for (MeshResource& m : linkMeshes)
        m.Release();
    for (MeshResource& m : groupMeshes)
        m.Release();
    bodyMesh.Release();
    groundTexture.Release();
    secondTexture.Release();
}

class SceneFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetControlState();
        savedFont = textFont;
        textFont = &font;
        textColor = 0xFFFFFFFF;
        // The device's start-up leaves the default camera; the set-up starts from it.
        SetDefaultTransforms();
        device.ClearCalls();
    }
    void TearDown() override {
        textFont = savedFont;
        ReleaseScene();
        EXPECT_EQ(textureCache.head, nullptr);
    }

    testsupport::RecordingDevice device;
    testsupport::ScopedDevice installed{&device};
    testsupport::RecordingFont font{&device};
    testsupport::LogCapture log;
    ID3DXFont* savedFont = nullptr;
};

} // namespace scene_test
