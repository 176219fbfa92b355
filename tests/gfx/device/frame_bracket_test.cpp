// The frame bracket on a real GL device and the lost-device policy with a scripted cooperative
// level; the capability report as one 16-line block.
#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "gfx/device/frame_bracket.h"
#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/platform/win32_test_support.h"
#include "tests/support/program/command_line.h"

using d3d_test::Picture;
using d3d_test::ReadPicture;
namespace seam = platform::d3d8;

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

class FrameBracket : public ::testing::Test {
  protected:
    void SetUp() override {
        d3d_test::UseOffscreenVideo();
        ASSERT_TRUE(CreateMainWindow(nullptr));
        seam::SimulatedAdapter adapter;
        adapter.description = "Test Adapter";
        adapter.modes = {d3d_test::Mode(640, 480, D3DFMT_X8R8G8B8)};
        seam::SetSimulatedAdapters({adapter});
        program_test::CommandLine commandLine({"-win"});
        ASSERT_TRUE(InitDirect3D());
        log.Clear();
    }
    void TearDown() override {
        FreeDirect3D();
        if (mainWindow) DestroyWindow(mainWindow);
        mainWindow = nullptr;
    }

    void Rect(float x1, float y1, float x2, float y2, float z, D3DCOLOR colour) {
        ScreenVertex v[4] = {{x1, y1, z, 1, colour},
                             {x2, y1, z, 1, colour},
                             {x2, y2, z, 1, colour},
                             {x1, y2, z, 1, colour}};
        d3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
        d3dDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        ASSERT_EQ(d3dDevice->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]), D3D_OK);
    }

    // Whether the window procedure has asked the loop to end.
    static bool QuitPosted() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return true;
            DispatchMessageA(&msg);
        }
        return false;
    }

    d3d_test::SeamReset seams;
    win32_test::DebugOutput log;
    win32_test::MessageBoxes boxes;
};

TEST_F(FrameBracket, UsableDeviceClearsTakesTheViewAndPresents) {
    QuitPosted(); // whatever the window's creation queued
    log.Clear();
    ASSERT_TRUE(BeginFrame(0xFF000000));
    Rect(100, 100, 200, 200, 0.5f, D3DCOLOR_XRGB(255, 0, 0));
    EXPECT_EQ(EndFrame(), D3D_OK);
    // The next frame clears the colour and the depth: a far rectangle lands where the near one
    // was.
    D3DXMatrixTranslation(&viewMatrix, 1.0f, 2.0f, 3.0f);
    ASSERT_TRUE(BeginFrame(D3DCOLOR_XRGB(0, 0, 64)));
    D3DMATRIX view{};
    d3dDevice->GetTransform(D3DTS_VIEW, &view);
    EXPECT_EQ(view._41, 1.0f);
    EXPECT_EQ(view._42, 2.0f);
    EXPECT_EQ(view._43, 3.0f);
    Rect(150, 150, 250, 250, 0.9f, D3DCOLOR_XRGB(0, 255, 0));
    Picture p = ReadPicture(d3dDevice);
    EXPECT_EQ(p.At(120, 120).b, 64);
    EXPECT_EQ(p.At(120, 120).r, 0);
    EXPECT_EQ(p.At(175, 175).g, 255);
    EXPECT_EQ(EndFrame(), D3D_OK);
    EXPECT_EQ(log.text(), "");
    EXPECT_FALSE(QuitPosted());
}

TEST_F(FrameBracket, ClearColourZeroKeepsThePictureButClearsTheDepth) {
    ASSERT_TRUE(BeginFrame(D3DCOLOR_XRGB(0, 0, 255)));
    Rect(100, 100, 200, 200, 0.1f, D3DCOLOR_XRGB(255, 0, 0));
    EndFrame();
    ASSERT_TRUE(BeginFrame(0));
    Rect(150, 150, 250, 250, 0.9f, D3DCOLOR_XRGB(0, 255, 0));
    Picture p = ReadPicture(d3dDevice);
    EndFrame();
    EXPECT_EQ(p.At(10, 10).b, 255);   // last frame's clear colour
    EXPECT_EQ(p.At(120, 120).r, 255); // last frame's drawing
    EXPECT_EQ(p.At(175, 175).g, 255); // depth 1.0 again, so the far one passes
    EXPECT_EQ(p.At(175, 175).r, 0);
}

TEST_F(FrameBracket, LostDeviceLogsEveryTickAndWaits) {
    d3d_test::ScriptedCooperativeLevel level(
        {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3D_OK});
    QuitPosted();
    log.Clear();
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_FALSE(BeginFrame(0xFF000000));
    EXPECT_EQ(log.Count("3Dデバイスがロストしています.\n"), 3);
    EXPECT_EQ(log.Lines().size(), 3u);
    EXPECT_FALSE(QuitPosted());
    // Back again: no scene was left begun on the way, so one begins now.
    ASSERT_TRUE(BeginFrame(0xFF000000));
    EXPECT_EQ(EndFrame(), D3D_OK);
    EXPECT_EQ(level.calls(), 4);
}

TEST_F(FrameBracket, DeviceThatNeedsAResetEndsTheRun) {
    d3d_test::ScriptedCooperativeLevel level({D3DERR_DEVICENOTRESET});
    QuitPosted();
    log.Clear();
    EXPECT_FALSE(BeginFrame(0xFF000000));
    EXPECT_EQ(log.text(), "3Dデバイスのリセットが必要です.\n");
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(d3dDevice->BeginScene(), D3D_OK); // nothing was begun
    d3dDevice->EndScene();
}

TEST_F(FrameBracket, AnyOtherResultStillBeginsTheScene) {
    d3d_test::ScriptedCooperativeLevel level({E_FAIL});
    EXPECT_TRUE(BeginFrame(0xFF000000));
    EXPECT_EQ(EndFrame(), D3D_OK);
    EXPECT_EQ(log.text(), "");
}

TEST_F(FrameBracket, FailedBeginSceneEndsTheFrameSilently) {
    ASSERT_EQ(d3dDevice->BeginScene(), D3D_OK); // a scene already open makes the next fail
    EXPECT_FALSE(BeginFrame(0xFF000000));
    EXPECT_EQ(log.text(), "");
    d3dDevice->EndScene();
}

TEST_F(FrameBracket, CapabilityReportIsOneSixteenLineBlock) {
    seam::SetCapsAdjustment([](D3DCAPS8& caps) {
        caps.MaxPrimitiveCount = 0xFFFFF;
        caps.MaxActiveLights = 8;
        caps.RasterCaps = D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGRANGE;
        caps.MaxTextureWidth = 2048;
        caps.MaxTextureHeight = 1024;
        caps.MaxSimultaneousTextures = 4;
        caps.MaxTextureBlendStages = 8; // not the one reported
        caps.TextureCaps = D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_ALPHA;
        caps.TextureOpCaps = D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_BUMPENVMAP;
    });
    ReportDeviceCaps();
    const int kilobytes = static_cast<int>(d3dDevice->GetAvailableTextureMem() >> 10);
    EXPECT_EQ(log.text(), "最大プリミティブ = 1048575\n"
                          "最大ライト = 8\n"
                          "フォグ{\n"
                          "\t頂点 = 1\n"
                          "\tピクセル = 0\n"
                          "\t範囲 = 1\n"
                          "}\n"
                          "テクスチャー{\n"
                          "\t利用可能メモリ = " +
                              std::to_string(kilobytes) +
                              " KB\n"
                              "\t最大サイズ = 2048 x 1024\n"
                              "\t最大ステージ = 4\n"
                              "\t非正方形テクスチャ = 0\n"
                              "\tアルファブレンド = 1\n"
                              "\tミップマップ = 0\n"
                              "\tバンプマップ = 1\n"
                              "}\n");
    EXPECT_EQ(log.Lines().size(), 16u);
}

} // namespace
