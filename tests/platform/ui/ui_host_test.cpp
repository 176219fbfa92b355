// The panel's host on the real GL device: a window filled whole and unchanged is copied from
// the pixels it left, and those are the pixels drawing it would give.
#include <gtest/gtest.h>

#include "tests/support/platform/d3d_test_support.h"

#include <imgui.h>
#include <platform/ui/ui_host.h>

#include <string>

using d3d_test::OffscreenDevice;
using d3d_test::Picture;
using d3d_test::ReadPicture;

namespace {

struct Frame {
    D3DCOLOR scene = 0xFF204060;
    const char* label = "crank 1.000";
    float left = 300.0f;
    float fill = 0.1f;
};

class UiHost : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(gpu.device, nullptr) << "no GL device on the offscreen driver";
        std::string error;
        ASSERT_TRUE(platform::ui::StartUi("DejaVu Sans", 13.0f, "", error)) << error;
        for (int i = 0; i < 3; ++i) // windows that fit their contents settle in a frame or two
            Draw(Frame{});
    }
    void TearDown() override { platform::ui::StopUi(); }

    // A filled window with text and a button over a scene of one colour, and an unfilled one.
    Picture Draw(const Frame& frame) {
        IDirect3DDevice8* device = gpu.device;
        device->Clear(0, nullptr, D3DCLEAR_TARGET, frame.scene, 1.0f, 0);
        device->BeginScene();
        platform::ui::UiInput input;
        input.width = 640;
        input.height = 480;
        platform::ui::BeginUi(input);
        ImGui::SetNextWindowPos(ImVec2(frame.left, 20.0f));
        ImGui::Begin("kept", nullptr,
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoBackground);
        const float rgb[3] = {frame.fill, frame.fill, 0.12f};
        platform::ui::FillWindowBehind(rgb);
        ImGui::TextUnformatted(frame.label);
        ImGui::Button("Reset");
        ImGui::End();
        ImGui::SetNextWindowPos(ImVec2(20.0f, 300.0f));
        ImGui::Begin("drawn", nullptr, ImGuiWindowFlags_AlwaysAutoResize);
        ImGui::TextUnformatted("always drawn");
        ImGui::End();
        platform::ui::EndUi();
        device->EndScene();
        return ReadPicture(device);
    }

    OffscreenDevice gpu;
};

TEST_F(UiHost, AnUnchangedFilledWindowIsCopiedAndLooksAsDrawn) {
    Frame changed;
    changed.label = "crank 2.000";
    const Picture drawn = Draw(changed);
    ASSERT_EQ(platform::ui::UiWindowsReused(), 0);
    const Picture again = Draw(changed);
    EXPECT_EQ(platform::ui::UiWindowsReused(), 1);
    EXPECT_TRUE(drawn.rgba == again.rgba) << "the copy is the drawing, pixel for pixel";

    // The scene under it changes every frame; the window's pixels do not depend on it.
    Frame green = changed;
    green.scene = 0xFF00FF00;
    const Picture overGreen = Draw(green);
    EXPECT_EQ(platform::ui::UiWindowsReused(), 1);
    int windowPixels = 0, differing = 0;
    for (UINT y = 0; y < 480; ++y)
        for (UINT x = 0; x < 640; ++x) {
            const bool scene = drawn.At(x, y).g == 0x40 && drawn.At(x, y).b == 0x60;
            if (scene) continue;
            ++windowPixels;
            if (y < 250 && drawn.At(x, y).r != overGreen.At(x, y).r) ++differing;
        }
    EXPECT_GT(windowPixels, 2000);
    EXPECT_EQ(differing, 0);
}

TEST_F(UiHost, AChangedOrMovedWindowIsDrawnAfresh) {
    const Picture before = Draw(Frame{});
    Frame changed;
    changed.label = "crank 2.000";
    const Picture after = Draw(changed);
    EXPECT_EQ(platform::ui::UiWindowsReused(), 0);
    EXPECT_FALSE(before.rgba == after.rgba) << "the new text shows";

    Frame lighter = changed;
    lighter.fill = 0.3f;
    const Picture lit = Draw(lighter);
    EXPECT_EQ(platform::ui::UiWindowsReused(), 0) << "the same contents over another fill";
    EXPECT_GT(after.Count({26, 26, 31, 255}, 1), 1000);
    EXPECT_EQ(lit.Count({26, 26, 31, 255}, 1), 0) << "the new fill shows";

    Frame moved;
    moved.left = 100.0f;
    Draw(moved);
    const Picture there = Draw(moved);
    EXPECT_EQ(platform::ui::UiWindowsReused(), 1);
    EXPECT_EQ(there.At(320, 40).g, 0x40) << "the scene where the window was";
    EXPECT_NE(there.At(120, 40).g, 0x40) << "the window where it went";
}

} // namespace
