// The gait lab on the recording device with real ODE: F2 and F3 toggle, the drawing leaves the
// device as it found it, and the phase errors name the right leaders.
#include "tests/sim/scene_fixture.h"

#include "sim/frame.h"
#include "sim/gait_lab.h"

#include <dinput.h>

#include <cmath>
#include <set>

namespace {

using scene_test::Tick;

class GaitLabTest : public scene_test::SceneFixture {
  protected:
    void SetUp() override {
        SceneFixture::SetUp();
        SetUpScene();
        footTrailsOn = gaitPanelOn = false;
    }
    void TearDown() override {
        footTrailsOn = gaitPanelOn = false;
        SceneFixture::TearDown();
    }
    // A tick as RunFrame takes it, without the drawing.
    void LabTick(std::initializer_list<int> down = {}) {
        Tick(down);
        RecordGaitStep();
        UpdateGaitLab();
    }
};

TEST_F(GaitLabTest, KeysToggleOnPressAndBothOnLeaveTheDeviceAsFound) {
    for (int i = 0; i < 100; ++i)
        LabTick();
    LabTick({DIK_F2, DIK_F3});
    LabTick({DIK_F2, DIK_F3}); // held: no second toggle
    ASSERT_TRUE(footTrailsOn && gaitPanelOn);

    device.ClearCalls();
    DrawFrame();
    // Eight trails of distinct colours, in the scene's (untransformed) vertex format.
    std::set<D3DCOLOR> trailColors;
    for (const auto* draw : device.CallsNamed("DrawPrimitive")) {
        if (draw->fvf != 0x042 || draw->vertices.size() < 16 * 60) continue;
        D3DCOLOR color;
        std::memcpy(&color, draw->vertices.data() + 12, 4);
        trailColors.insert(color & 0x00FFFFFF);
    }
    EXPECT_EQ(trailColors.size(), 8u);
    // The help lines and the next frame get the states and texture the ground left.
    EXPECT_EQ(device.renderStates[D3DRS_ZENABLE], D3DZB_TRUE);
    EXPECT_EQ(device.renderStates[D3DRS_ALPHABLENDENABLE], FALSE);
    EXPECT_EQ(device.renderStates[D3DRS_LIGHTING], FALSE);
    EXPECT_EQ(device.stageTextures[0], groundTexture.texture);
    EXPECT_EQ(device.CallsNamed("Font::DrawTextA").size(), 8u + 8u); // panel, then help

    LabTick();
    LabTick({DIK_F2, DIK_F3});
    EXPECT_FALSE(footTrailsOn || gaitPanelOn);
}

TEST_F(GaitLabTest, FollowersSettleOnTheirLeadersPhase) {
    crankSpeed = 3.0f;
    for (int i = 0; i < 200; ++i)
        LabTick({DIK_UP});
    double degrees = 0.0;
    EXPECT_FALSE(CrankPhaseError(0, 0, degrees));
    EXPECT_FALSE(CrankPhaseError(2, 0, degrees));
    int followers = 0;
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            if (!CrankPhaseError(j, e, degrees)) continue;
            ++followers;
            EXPECT_LT(std::abs(degrees), 90.0) << "leg " << j << ", end " << e;
        }
    }
    EXPECT_EQ(followers, 6);
    EXPECT_EQ(RecordedTicks(), 200);
    EXPECT_GT(WalkingSpeed(0), 0.1f);
}

} // namespace
