// The camera: its position and direction read back from the view matrix, the three view modes,
// Manual View's keys, cursor turning and re-centring, and the camera line.
#include "gfx/camera.h"

#include "shell/frame_pacing.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "input/input.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using testsupport::DeviceCall;
using testsupport::RecordingDevice;
using testsupport::RecordingFont;
using testsupport::ScopedDevice;

namespace {

D3DXVECTOR3 Direction() {
    return D3DXVECTOR3(viewMatrix._13, viewMatrix._23, viewMatrix._33);
}

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance,
                const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

// A chassis draw matrix that only carries what the camera reads: F in the third row, P in the
// fourth.
D3DXMATRIX Chassis(D3DXVECTOR3 p, D3DXVECTOR3 f) {
    return D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, f.x, f.y, f.z, 0, p.x, p.y, p.z, 1);
}

// Heading of the viewing direction about the vertical, positive towards +x.
float Heading() {
    return std::atan2(Direction().x, Direction().z);
}

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        manualCamera = ManualCameraState{0, 0, 0.0f, 0.0f, false};
        clientWidth = 640;
        clientHeight = 480;
        framesPerSecond = 20.0f;
        std::memset(keyState, 0, sizeof keyState);
        std::memset(prevKeyState, 0, sizeof prevKeyState);
        mousePos = POINT{320, 240};
        // Level camera at (0, 5, 0) looking along +z, right along +x.
        SetCameraLookAt(D3DXVECTOR3(0, 5, 0), D3DXVECTOR3(0, 5, 10), D3DXVECTOR3(0, 1, 0));
    }
    void Hold(std::initializer_list<int> keys) {
        std::memset(keyState, 0, sizeof keyState);
        for (int k : keys)
            keyState[k] = 0x80;
    }
    float YawDivisor640() const { return 640.0f * 0.95492965f; }
    // The text calls of DrawCameraInfo(0, 0), made through a recording font.
    static std::vector<DeviceCall> CameraLine() {
        RecordingDevice device;
        ScopedDevice installed(&device);
        RecordingFont font(&device);
        ID3DXFont* saved = textFont;
        textFont = &font;
        DrawCameraInfo(0, 0);
        textFont = saved;
        std::vector<DeviceCall> lines;
        for (const DeviceCall* call : device.CallsNamed("Font::DrawTextA"))
            lines.push_back(*call);
        return lines;
    }
};

TEST_F(CameraTest, CameraLineAfterTheSceneSetUp) {
    // The device's default camera, then the scene set-up's two steps.
    SetCameraLookAt(D3DXVECTOR3(0, 0, -1), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
    SetCameraPosition(3, 5, 10);
    AimCamera(D3DXVECTOR3(0, 0, 0));
    framesPerSecond = 20.0f;
    const auto lines = CameraLine();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "20.0 (3.0, 5.0, 10.0)->(-0.3,-0.4,-0.9)");
    EXPECT_EQ(lines[0].args[1], 0);
    EXPECT_EQ(lines[0].args[2], 0);
}

TEST_F(CameraTest, CameraLineNeverOverrunsItsBuffer) {
    viewMatrix = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -3e37f, 2e37f, -1e37f, 1);
    framesPerSecond = std::numeric_limits<float>::max();
    const auto lines = CameraLine();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.size(), 79u) << lines[0].text; // cut to the 80-character buffer
}

TEST_F(CameraTest, SetCameraPositionMovesTheEyeAndKeepsTheDirection) {
    SetCameraLookAt(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(4, 0, -2), D3DXVECTOR3(0, 1, 0));
    D3DXVECTOR3 before = Direction();
    SetCameraPosition(-7, 8.5f, 100);
    ExpectNear(CameraPosition(), D3DXVECTOR3(-7, 8.5f, 100), 1e-4f, "eye");
    ExpectNear(Direction(), before, 1e-6f, "direction");
}

TEST_F(CameraTest, AimCameraKeepsTheEyeAndLooksAtTheTarget) {
    SetCameraPosition(3, 5, 10);
    AimCamera(D3DXVECTOR3(3, 5, 20));
    ExpectNear(CameraPosition(), D3DXVECTOR3(3, 5, 10), 1e-5f, "eye");
    ExpectNear(Direction(), D3DXVECTOR3(0, 0, 1), 1e-6f, "direction");
}

TEST_F(CameraTest, BackViewStandsTwentyBehindAtHeightFive) {
    PlaceViewCamera(0, Chassis(D3DXVECTOR3(10, 1, 0), D3DXVECTOR3(0, 0, 1)));
    ExpectNear(CameraPosition(), D3DXVECTOR3(10, 5, -20), 1e-4f, "eye");
    D3DXVECTOR3 toTarget(0, -4, 20);
    D3DXVec3Normalize(&toTarget, &toTarget);
    ExpectNear(Direction(), toTarget, 1e-6f, "looks at (10, 1, 0)");
}

TEST_F(CameraTest, DriverViewSitsAboveTheChassisLookingAlongIt) {
    PlaceViewCamera(1, Chassis(D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(1, 0, 0)));
    ExpectNear(CameraPosition(), D3DXVECTOR3(0.6f, 4, 0), 1e-5f, "eye");
    ExpectNear(Direction(), D3DXVECTOR3(1, 0, 0), 1e-6f, "direction");
    EXPECT_NEAR(viewMatrix._22, 1.0f, 1e-6f); // no roll
}

TEST_F(CameraTest, LookingStraightAlongTheVerticalKeepsThePreviousCamera) {
    D3DXMATRIX before = viewMatrix;
    PlaceViewCamera(1, Chassis(D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 1, 0)));
    EXPECT_EQ(std::memcmp(&before, &viewMatrix, sizeof before), 0);
    // Back View straight above the chassis: the same.
    PlaceViewCamera(0, Chassis(D3DXVECTOR3(2, 1, 3), D3DXVECTOR3(0, -1, 0)));
    EXPECT_EQ(std::memcmp(&before, &viewMatrix, sizeof before), 0);
}

TEST_F(CameraTest, ManualViewMovesDiagonallyWithWAndD) {
    Hold({DIK_W, DIK_D});
    D3DXVECTOR3 start = CameraPosition();
    PlaceViewCamera(2, Chassis(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1)));
    D3DXVECTOR3 moved = CameraPosition() - start;
    // 0.55 / sqrt(2) along the right axis (+x) and along the forward axis (+z).
    ExpectNear(moved, D3DXVECTOR3(0.3889f, 0, 0.3889f), 1e-4f, "W and D");
    ExpectNear(Direction(), D3DXVECTOR3(0, 0, 1), 1e-6f, "no turn with the cursor still");
}

TEST_F(CameraTest, ManualViewLaterKeysWin) {
    struct Case {
        std::initializer_list<int> keys;
        D3DXVECTOR3 move;
    } cases[] = {
        {{DIK_W}, {0, 0, 0.55f}},
        {{DIK_S}, {0, 0, -0.55f}},
        {{DIK_W, DIK_S}, {0, 0, -0.55f}}, // S over W
        {{DIK_D}, {0.55f, 0, 0}},
        {{DIK_A, DIK_D}, {-0.55f, 0, 0}}, // A over D
        {{DIK_S, DIK_A}, {-0.3889f, 0, -0.3889f}},
        {{}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SetUp();
        Hold(c.keys);
        D3DXVECTOR3 start = CameraPosition();
        UpdateManualCamera(0.55f);
        ExpectNear(CameraPosition() - start, c.move, 1e-4f, "keys");
    }
}

TEST_F(CameraTest, ManualViewMovementScalesWithTheFrameRate) {
    framesPerSecond = 10.0f; // half the nominal rate: twice the step per tick
    Hold({DIK_W});
    D3DXVECTOR3 start = CameraPosition();
    UpdateManualCamera(0.55f);
    ExpectNear(CameraPosition() - start, D3DXVECTOR3(0, 0, 1.1f), 1e-4f, "10 ticks a second");

    framesPerSecond = 1.0f; // the lowest rate that still moves
    start = CameraPosition();
    UpdateManualCamera(0.55f);
    ExpectNear(CameraPosition() - start, D3DXVECTOR3(0, 0, 11.0f), 1e-3f, "1 tick a second");
}

TEST_F(CameraTest, BelowOneTickASecondOnlyTheTurnApplies) {
    for (float rate : {0.5f, 0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        SetUp();
        framesPerSecond = rate;
        Hold({DIK_W, DIK_D});
        mousePos = POINT{330, 240}; // 10 pixels right of the centre
        UpdateManualCamera(0.55f);
        ExpectNear(CameraPosition(), D3DXVECTOR3(0, 5, 0), 1e-5f, "no movement");
        EXPECT_NEAR(Heading(), 10.0f / YawDivisor640(), 1e-5f) << "turned right";
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_TRUE(std::isfinite(viewMatrix.m[r][c]));
    }
}

TEST_F(CameraTest, CursorTurnsTheViewByPixelsPerRadian) {
    mousePos = POINT{320, 250}; // 10 pixels down: look down
    UpdateManualCamera(0.55f);
    float pitch = std::asin(Direction().y);
    EXPECT_NEAR(pitch, -10.0f / (480.0f * 0.63661975f), 1e-5f);
    EXPECT_NEAR(Heading(), 0.0f, 1e-6f);
    EXPECT_EQ(manualCamera.prevCursorY, 250);
    // The full client width is a turn of pi/3.
    EXPECT_NEAR(640.0f / manualCamera.yawDivisor, 3.14159265f / 3, 1e-5f);
    EXPECT_NEAR(480.0f / manualCamera.pitchDivisor, 3.14159265f / 2, 1e-5f);
}

TEST_F(CameraTest, CursorOutsideTheMiddleHalfIsRecentredAndTheNextTurnStartsThere) {
    mousePos = POINT{512, 300}; // 0.8 of the width
    UpdateManualCamera(0.55f);
    EXPECT_EQ(manualCamera.prevCursorX, 320);
    EXPECT_EQ(manualCamera.prevCursorY, 300); // only the horizontal position is re-centred
    EXPECT_NEAR(Heading(), 192.0f / YawDivisor640(), 1e-5f);

    float before = Heading();
    mousePos = POINT{330, 300};
    UpdateManualCamera(0.55f);
    EXPECT_NEAR(Heading() - before, 10.0f / YawDivisor640(), 1e-5f);
}

// While the panel is open the pointer is free for it: far out of the middle band it neither
// turns the camera nor is put back, and once the panel closes the turn starts from where it is.
TEST_F(CameraTest, AFreePointerNeitherTurnsNorIsRecentred) {
    mousePos = POINT{600, 100};
    UpdateManualCamera(0.55f, true);
    EXPECT_EQ(manualCamera.prevCursorX, 600);
    EXPECT_NEAR(Heading(), 0.0f, 1e-6f);
    EXPECT_NEAR(Direction().y, 0.0f, 1e-6f);
    mousePos = POINT{470, 100};
    UpdateManualCamera(0.55f);
    EXPECT_NEAR(Heading(), -130.0f / YawDivisor640(), 1e-5f) << "from the free pointer's place";
}

TEST_F(CameraTest, TheBandsEdgesThemselvesAreNotRecentred) {
    struct Case {
        int x, kept;
    } cases[] = {{160, 160}, {480, 480}, {159, 320}, {481, 320}, {0, 320}, {639, 320}};
    for (const Case& c : cases) {
        SetUp();
        mousePos = POINT{c.x, 240};
        UpdateManualCamera(0.55f);
        EXPECT_EQ(manualCamera.prevCursorX, c.kept) << "cursor at " << c.x;
    }
}

TEST_F(CameraTest, ResizingAfterTheFirstTickMovesTheBandButNotTheTurnRate) {
    UpdateManualCamera(0.55f);
    clientWidth = 1280;
    clientHeight = 960;
    mousePos = POINT{200, 240}; // inside the old band, left of the new one (320)
    UpdateManualCamera(0.55f);
    EXPECT_EQ(manualCamera.prevCursorX, 640);
    EXPECT_FLOAT_EQ(manualCamera.yawDivisor, YawDivisor640());
    EXPECT_NEAR(Heading(), -120.0f / YawDivisor640(), 1e-5f);
}

TEST_F(CameraTest, ManualStateSurvivesOtherViewModes) {
    mousePos = POINT{300, 240};
    UpdateManualCamera(0.55f);
    PlaceViewCamera(1, Chassis(D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1)));
    // Back in Manual View the turn is measured from the last manual tick's cursor.
    mousePos = POINT{310, 240};
    PlaceViewCamera(2, Chassis(D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1)));
    EXPECT_NEAR(Heading(), 10.0f / YawDivisor640(), 1e-5f);
    ExpectNear(CameraPosition(), D3DXVECTOR3(0, 4, 0.6f), 1e-5f,
               "Manual View starts where Driver View left the camera");
}

} // namespace
