// The start-up of the graphics device as its log records it: whole InitDirect3D blocks for the
// command-line options, the adapters and display modes, and each step of the device-type
// fall-back, on a real GL device (Mesa, SDL's offscreen driver) with simulated adapters.
#include <gtest/gtest.h>

#include "shell/debug_log.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "gfx/device/device_defaults.h"
#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/platform/win32_test_support.h"
#include "tests/support/program/command_line.h"

#include <platform/win32/sdl_window.h>

#include <cmath>
#include <cstdio>

using d3d_test::Mode;
namespace seam = platform::d3d8;

namespace {

const std::string kSeparator = "----------------------------------------\n";

// The capability report as the live device answers it (its memory figure is the machine's).
std::string CapsBlock() {
    D3DCAPS8 caps{};
    d3dDevice->GetDeviceCaps(&caps);
    const UINT memory = d3dDevice->GetAvailableTextureMem();
    char text[1024];
    snprintf(
        text, sizeof text,
        "最大プリミティブ = %d\n最大ライト = %d\nフォグ{\n\t頂点 = %d\n\tピクセル = %d\n\t範囲 = "
        "%d\n}\nテクスチャー{\n\t利用可能メモリ = %d KB\n\t最大サイズ = %d x %d\n\t最大ステージ = "
        "%d\n\t非正方形テクスチャ = %d\n\tアルファブレンド = %d\n\tミップマップ = "
        "%d\n\tバンプマップ "
        "= %d\n}\n",
        int(caps.MaxPrimitiveCount), int(caps.MaxActiveLights),
        (caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) ? 1 : 0,
        (caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE) ? 1 : 0,
        (caps.RasterCaps & D3DPRASTERCAPS_FOGRANGE) ? 1 : 0, int(memory >> 10),
        int(caps.MaxTextureWidth), int(caps.MaxTextureHeight), int(caps.MaxSimultaneousTextures),
        (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 0 : 1,
        (caps.TextureCaps & D3DPTEXTURECAPS_ALPHA) ? 1 : 0,
        (caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? 1 : 0,
        (caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP) ? 1 : 0);
    return text;
}

seam::SimulatedAdapter TestAdapter() {
    seam::SimulatedAdapter adapter;
    adapter.description = "Test Adapter";
    adapter.desktop = Mode(1024, 768, D3DFMT_X8R8G8B8);
    adapter.modes = {Mode(640, 480, D3DFMT_R5G6B5), Mode(640, 480, D3DFMT_X8R8G8B8),
                     Mode(800, 600, D3DFMT_X8R8G8B8), Mode(1024, 768, D3DFMT_X8R8G8B8)};
    return adapter;
}

// The block up to the device line, for one adapter out of `count`.
std::string Head(int count, const char* adapterId, const char* name, int modes, const char* desktop,
                 const char* windowedText, const char* selected) {
    return kSeparator + "InitDirect3D\n" + "アダプタ数 = " + std::to_string(count) + "\n" +
           "アダプタID = " + adapterId + "\n" + "アダプタ名 = " + name + "\n" +
           "アダプタのモード数 = " + std::to_string(modes) + "\n" + "現在のモード = " + desktop +
           "\n" + "ウインドウ化 = " + windowedText + "\n" + "選択されたモード = " + selected + "\n";
}

class DeviceLog : public ::testing::Test {
  protected:
    void SetUp() override {
        d3d_test::UseOffscreenVideo();
        ASSERT_TRUE(CreateMainWindow(nullptr));
        log.Clear();
    }
    void TearDown() override {
        FreeDirect3D();
        if (mainWindow) DestroyWindow(mainWindow);
        mainWindow = nullptr;
    }
    // Runs the start-up with these options and hands back its result.
    bool Start(std::vector<std::string> options) {
        program_test::CommandLine commandLine(std::move(options));
        return InitDirect3D();
    }

    d3d_test::SeamReset seams;
    win32_test::DebugOutput log;
    win32_test::MessageBoxes boxes;
};

TEST_F(DeviceLog, DefaultStartIsFullScreenInTheDesktopFormat) {
    seam::SetSimulatedAdapters({TestAdapter()});
    quadUV = QuadUV{0.25f, 0.5f, 0.25f, 0.5f};
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(windowed, 0);
    EXPECT_STREQ(deviceTypeName, "HAL");
    EXPECT_EQ(adapterIndex, 0u);
    EXPECT_EQ(presentParams.BackBufferWidth, 640u);
    EXPECT_EQ(presentParams.BackBufferHeight, 480u);
    EXPECT_EQ(presentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(presentParams.BackBufferCount, 1u);
    EXPECT_EQ(presentParams.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(presentParams.hDeviceWindow, mainWindow);
    EXPECT_EQ(presentParams.Windowed, 0);
    EXPECT_EQ(presentParams.EnableAutoDepthStencil, TRUE);
    EXPECT_EQ(presentParams.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(presentParams.FullScreen_PresentationInterval, 0u);

    // The initial state the rest of the program assumes.
    EXPECT_EQ(quadUV.uMin, 0.0f);
    EXPECT_EQ(quadUV.uMax, 1.0f);
    EXPECT_EQ(quadUV.vMin, 0.0f);
    EXPECT_EQ(quadUV.vMax, 1.0f);
    D3DMATRIX projection{};
    d3dDevice->GetTransform(D3DTS_PROJECTION, &projection);
    const float yScale = 1.0f / std::tan(0.7853982f / 2.0f);
    EXPECT_NEAR(projection._22, yScale, 1e-5);
    EXPECT_NEAR(projection._11, yScale / (640.0f / 480.0f), 1e-5);
    EXPECT_NEAR(projection._33, 500.0f / (500.0f - 0.1f), 1e-5);
    EXPECT_EQ(projection._34, 1.0f);
    D3DMATRIX view{};
    d3dDevice->GetTransform(D3DTS_VIEW, &view);
    EXPECT_NEAR(view._43, 1.0f, 1e-6); // the eye one unit behind the origin
    DWORD value = 0;
    d3dDevice->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0xFF808080u);
    d3dDevice->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CCW));
    d3dDevice->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, DWORD(D3DBLEND_INVSRCALPHA));
    d3dDevice->GetTextureStageState(0, D3DTSS_ALPHAOP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));
    d3dDevice->GetTextureStageState(0, D3DTSS_MIPFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
    D3DLIGHT8 light{};
    ASSERT_EQ(d3dDevice->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_NEAR(light.Direction.x, 0.57735f, 1e-5);
    EXPECT_NEAR(light.Direction.y, -0.57735f, 1e-5);
    EXPECT_NEAR(light.Direction.z, 0.57735f, 1e-5);
    EXPECT_EQ(light.Diffuse.r, 0.5f);
    EXPECT_EQ(light.Diffuse.a, 0.0f);
    EXPECT_EQ(light.Range, 1000.0f);
    EXPECT_EQ(light.Ambient.r, 0.0f);
    EXPECT_EQ(light.Attenuation0, 0.0f);
}

TEST_F(DeviceLog, WinOptionRunsWindowedAndShowsTheWindow) {
    seam::SetSimulatedAdapters({TestAdapter()});
    SDL_Window* window = platform::SdlWindowFromHandle(mainWindow);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN);
    ASSERT_TRUE(Start({"-win"}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "ON",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_EQ(windowed, 1);
    EXPECT_EQ(presentParams.Windowed, 1);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
    // Options are matched exactly.
    FreeDirect3D();
    log.Clear();
    ASSERT_TRUE(Start({"-WIN", "-win2"}));
    EXPECT_EQ(windowed, 0);
}

TEST_F(DeviceLog, DesktopFormatWithoutThe640x480ModeTakesTheLastOtherFormat) {
    seam::SimulatedAdapter adapter = TestAdapter();
    adapter.modes = {Mode(640, 480, D3DFMT_R5G6B5), Mode(800, 600, D3DFMT_X8R8G8B8),
                     Mode(640, 480, D3DFMT_X1R5G5B5, 75), Mode(1024, 768, D3DFMT_X8R8G8B8)};
    seam::SetSimulatedAdapters({adapter});
    ASSERT_TRUE(Start({"-win"}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8",
                   "OFF(フォーマット変更)", "640 x 480 D3DFMT_X1R5G5B5 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_EQ(windowed, 0); // "-win" has no effect
    EXPECT_EQ(backBufferFormat, D3DFMT_X1R5G5B5);
}

TEST_F(DeviceLog, No640x480ModeAtAllFailsWithTheDeviceMessage) {
    seam::SimulatedAdapter adapter = TestAdapter();
    adapter.modes = {Mode(800, 600, D3DFMT_X8R8G8B8), Mode(640, 400, D3DFMT_X8R8G8B8)};
    seam::SetSimulatedAdapters({adapter});
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 2, "1024 x 768 D3DFMT_X8R8G8B8",
                   "OFF(フォーマット変更)", "640 x 480 D3DFMT_UNKNOWN (D3DFMT_UNKNOWN)"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "3Dデバイスが作成できません.");
    EXPECT_EQ(boxes.shown[0].caption, "エラー");
    EXPECT_EQ(boxes.shown[0].type, UINT(MB_SYSTEMMODAL));
    EXPECT_EQ(d3dDevice, nullptr);
}

TEST_F(DeviceLog, SecondAdapterOptionWithOneAdapterIsIgnored) {
    seam::SetSimulatedAdapters({TestAdapter()});
    ASSERT_TRUE(Start({"-2nd"}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_EQ(adapterIndex, 0u);
}

TEST_F(DeviceLog, SecondAdapterOptionWithTwoAdaptersUsesTheSecond) {
    seam::SimulatedAdapter second;
    second.description = "Second Card";
    second.desktop = Mode(1280, 1024, D3DFMT_R5G6B5, 75);
    second.modes = {Mode(640, 480, D3DFMT_R5G6B5), Mode(1280, 1024, D3DFMT_R5G6B5)};
    seam::SetSimulatedAdapters({TestAdapter(), second});
    ASSERT_TRUE(Start({"-dbg", "-2nd", "-win"}));
    EXPECT_EQ(log.text(), Head(2, "1", "Second Card", 2, "1280 x 1024 D3DFMT_R5G6B5", "ON",
                               "640 x 480 D3DFMT_R5G6B5 (D3DFMT_D16)") +
                              "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_EQ(adapterIndex, 1u);

    // Without the option the first adapter serves, though there are two.
    FreeDirect3D();
    log.Clear();
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(log.text(),
              Head(2, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
}

// Each step of the device-type chain: the first kind that can be created names the device.
TEST_F(DeviceLog, HardwareVertexProcessingComesFirst) {
    seam::SetSimulatedAdapters({TestAdapter()});
    seam::SetRendererNameOverride("Test GPU");
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = TnLHAL\n" + CapsBlock());
}

TEST_F(DeviceLog, WithoutHardwareVertexProcessingTheSecondAttemptIsHAL) {
    seam::SetSimulatedAdapters({TestAdapter()});
    seam::SetRendererNameOverride("Test GPU");
    seam::SetDeviceCreationFailure(seam::DeviceKind::TnLHal, true);
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = HAL\n" + CapsBlock());
    EXPECT_STREQ(deviceTypeName, "HAL");
}

TEST_F(DeviceLog, ReferenceRasteriserIsTheLastResort) {
    seam::SetSimulatedAdapters({TestAdapter()});
    seam::SetRendererNameOverride("llvmpipe (LLVM 15.0.6, 256 bits)");
    seam::SetDeviceCreationFailure(seam::DeviceKind::Hal, true);
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)") +
                  "デバイスタイプ = REF\n" + CapsBlock());
    EXPECT_STREQ(deviceTypeName, "REF");
}

TEST_F(DeviceLog, NoDeviceKindAtAllEndsStartUpWithOneMessage) {
    seam::SetSimulatedAdapters({TestAdapter()});
    for (auto kind : {seam::DeviceKind::TnLHal, seam::DeviceKind::Hal, seam::DeviceKind::Ref})
        seam::SetDeviceCreationFailure(kind, true);
    EXPECT_FALSE(Start({}));
    EXPECT_EQ(log.text(),
              Head(1, "D3DADAPTER_DEFAULT", "Test Adapter", 4, "1024 x 768 D3DFMT_X8R8G8B8", "OFF",
                   "640 x 480 D3DFMT_X8R8G8B8 (D3DFMT_D16)"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "3Dデバイスが作成できません.");
    EXPECT_EQ(boxes.shown[0].caption, "エラー");
    EXPECT_EQ(boxes.shown[0].type, UINT(MB_SYSTEMMODAL));
    EXPECT_EQ(d3dDevice, nullptr);

    // Shut-down after the failed start releases what exists and logs only its own lines.
    log.Clear();
    FreeDirect3D();
    EXPECT_EQ(log.text(), kSeparator + "FreeDirect3D\n");
    EXPECT_EQ(d3dObject, nullptr);
}

TEST_F(DeviceLog, FreeWithNothingCreatedWritesOnlyItsTwoLines) {
    FreeDirect3D();
    FreeDirect3D();
    EXPECT_EQ(log.text(), kSeparator + "FreeDirect3D\n" + kSeparator + "FreeDirect3D\n");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DeviceLog, RealOffscreenDisplayStartsWithASoftwareDevice) {
    ASSERT_TRUE(Start({"-win"}));
    const std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], kSeparator);
    EXPECT_EQ(lines[2], "アダプタ数 = 1\n");
    EXPECT_EQ(lines[3], "アダプタID = D3DADAPTER_DEFAULT\n");
    EXPECT_EQ(lines[7], "ウインドウ化 = ON\n");
    EXPECT_EQ(lines[8].rfind("選択されたモード = 640 x 480 D3DFMT_", 0), 0u) << lines[8];
    const bool software = seam::IsSoftwareRenderer(seam::RendererName(d3dDevice));
    EXPECT_EQ(lines[9], software ? "デバイスタイプ = HAL\n" : "デバイスタイプ = TnLHAL\n");
}

TEST(DepthFormat, SmallestWorkingFormatIsChosen) {
    d3d_test::UseOffscreenVideo();
    d3d_test::SeamReset seams;
    seam::SetSimulatedAdapters({TestAdapter()});
    d3dObject = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3dObject, nullptr);
    adapterIndex = 0;
    // D16 is supported and comes first, though D24S8 is supported too.
    EXPECT_EQ(ChooseDepthFormat(D3DFMT_X8R8G8B8), D3DFMT_D16);
    EXPECT_EQ(ChooseDepthFormat(D3DFMT_R5G6B5), D3DFMT_D16);
    EXPECT_EQ(ChooseDepthFormat(D3DFMT_UNKNOWN), D3DFMT_UNKNOWN);
    EXPECT_EQ(ChooseDepthFormat(D3DFMT_P8), D3DFMT_UNKNOWN);
    d3dObject->Release();
    d3dObject = nullptr;
}

TEST(FormatNames, KnownFormatsByNameAndEverythingElseUnknown) {
    const std::pair<int, const char*> named[] = {
        {20, "D3DFMT_R8G8B8"},   {21, "D3DFMT_A8R8G8B8"}, {22, "D3DFMT_X8R8G8B8"},
        {23, "D3DFMT_R5G6B5"},   {24, "D3DFMT_X1R5G5B5"}, {25, "D3DFMT_A1R5G5B5"},
        {26, "D3DFMT_A4R4G4B4"}, {27, "D3DFMT_R3G3B2"},   {28, "D3DFMT_A8"},
        {29, "D3DFMT_A8R3G3B2"}, {30, "D3DFMT_X4R4G4B4"}, {70, "D3DFMT_D16_LOCKABLE"},
        {71, "D3DFMT_D32"},      {73, "D3DFMT_D15S1"},    {75, "D3DFMT_D24S8"},
        {77, "D3DFMT_D24X8"},    {79, "D3DFMT_D24X4S4"},  {80, "D3DFMT_D16"}};
    for (auto [value, name] : named)
        EXPECT_STREQ(FormatName(static_cast<D3DFORMAT>(value)), name);
    for (int value : {0, 19, 31, 41, 50, 69, 72, 74, 76, 78, 81, 101, 0x7fffffff})
        EXPECT_STREQ(FormatName(static_cast<D3DFORMAT>(value)), "D3DFMT_UNKNOWN") << value;
}

} // namespace
