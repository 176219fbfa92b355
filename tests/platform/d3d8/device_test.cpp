// The Direct3D object and device of the stand-in on a real GL (Mesa on SDL's offscreen
// driver): adapters and formats, the device kinds and their seams, resource lifetime, and
// hostile arguments refused instead of reaching GL.
#include <gtest/gtest.h>

#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/platform/recording_device.h"

#include <algorithm>
#include <cstring>

using d3d_test::DeviceOptions;
using d3d_test::OffscreenDevice;
namespace seam = platform::d3d8;

namespace {

class Direct3DObject : public ::testing::Test {
  protected:
    void SetUp() override {
        d3d_test::UseOffscreenVideo();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override {
        if (d3d) d3d->Release();
    }
    d3d_test::SeamReset seams;
    IDirect3D8* d3d = nullptr;
};

TEST_F(Direct3DObject, OnlyTheDirectX81SdkVersionIsAccepted) {
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
}

TEST_F(Direct3DObject, DisplayModesIncludeTheSmallSizesInTheDesktopFormat) {
    ASSERT_GE(d3d->GetAdapterCount(), 1u);
    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    EXPECT_TRUE(desktop.Format == D3DFMT_X8R8G8B8 || desktop.Format == D3DFMT_R5G6B5 ||
                desktop.Format == D3DFMT_X1R5G5B5)
        << desktop.Format;
    bool has640 = false;
    const UINT count = d3d->GetAdapterModeCount(0);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode{};
        ASSERT_EQ(d3d->EnumAdapterModes(0, i, &mode), D3D_OK);
        EXPECT_NE(mode.Format, D3DFMT_UNKNOWN);
        has640 |= mode.Width == 640 && mode.Height == 480 && mode.Format == desktop.Format;
    }
    EXPECT_TRUE(has640);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d->EnumAdapterModes(0, count, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(d3d->GetAdapterCount(), &mode), D3DERR_INVALIDCALL);
    D3DADAPTER_IDENTIFIER8 id{};
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_GT(std::strlen(id.Description), 0u);
}

TEST_F(Direct3DObject, DepthFormatsAreThoseGLAllocatesAsRenderbuffers) {
    D3DDISPLAYMODE desktop{};
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    struct Case {
        D3DFORMAT format;
        bool ok;
    } cases[] = {{D3DFMT_D16, true},      {D3DFMT_D15S1, false},   {D3DFMT_D24X8, true},
                 {D3DFMT_D24S8, true},    {D3DFMT_D24X4S4, false}, {D3DFMT_D32, true},
                 {D3DFMT_UNKNOWN, false}, {D3DFMT_X8R8G8B8, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        HRESULT format = d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, desktop.Format,
                                                D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, c.format);
        HRESULT match = d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, desktop.Format,
                                                    desktop.Format, c.format);
        EXPECT_EQ(SUCCEEDED(format), c.ok);
        EXPECT_EQ(SUCCEEDED(match), c.ok);
    }
    // An adapter format that is no display format passes nothing.
    EXPECT_TRUE(FAILED(d3d->CheckDeviceFormat(
        0, D3DDEVTYPE_HAL, D3DFMT_UNKNOWN, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16)));
}

TEST_F(Direct3DObject, UnknownBackBufferOrDepthFormatFailsCreation) {
    for (auto [back, depth] :
         {std::pair{D3DFMT_UNKNOWN, D3DFMT_D16}, std::pair{D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN},
          std::pair{D3DFMT_X8R8G8B8, D3DFMT_D15S1}}) {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 640;
        params.BackBufferHeight = 480;
        params.BackBufferFormat = back;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = depth;
        IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(0x1);
        EXPECT_TRUE(FAILED(d3d->CreateDevice(
            0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device)));
        EXPECT_EQ(device, nullptr);
    }
}

// The device kinds: "TnLHAL" needs an accelerated GL, "REF" a software one, "HAL" any.
TEST(DeviceKinds, FollowWhetherTheRendererIsASoftwareRasteriser) {
    d3d_test::SeamReset seams;
    DeviceOptions tnl;
    tnl.behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    DeviceOptions ref;
    ref.type = D3DDEVTYPE_REF;

    bool software = false;
    {
        OffscreenDevice hal;
        ASSERT_EQ(hal.result, D3D_OK);
        software = seam::IsSoftwareRenderer(seam::RendererName(hal.device));
    }
    EXPECT_EQ(SUCCEEDED(OffscreenDevice(tnl).result), !software);

    seam::SetRendererNameOverride("llvmpipe (LLVM 15.0.6, 256 bits)");
    EXPECT_EQ(OffscreenDevice(tnl).result, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(OffscreenDevice().result, D3D_OK);
    if (software) {
        EXPECT_EQ(OffscreenDevice(ref).result, D3D_OK);
    }

    seam::SetRendererNameOverride("Radeon Test Part");
    EXPECT_EQ(OffscreenDevice(tnl).result, D3D_OK);
    EXPECT_EQ(OffscreenDevice(ref).result, D3DERR_NOTAVAILABLE);
}

TEST(DeviceKinds, RecognisesMesaSoftwareRasterisers) {
    EXPECT_TRUE(seam::IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(seam::IsSoftwareRenderer("softpipe"));
    EXPECT_TRUE(seam::IsSoftwareRenderer("Mesa X11 swrast"));
    EXPECT_FALSE(seam::IsSoftwareRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(seam::IsSoftwareRenderer(""));
}

TEST(DeviceKinds, InjectedFailuresHitOnlyTheirKind) {
    d3d_test::SeamReset seams;
    seam::SetDeviceCreationFailure(seam::DeviceKind::Hal, true);
    EXPECT_EQ(OffscreenDevice().result, D3DERR_NOTAVAILABLE);
    DeviceOptions ref;
    ref.type = D3DDEVTYPE_REF;
    seam::SetRendererNameOverride("llvmpipe");
    EXPECT_EQ(OffscreenDevice(ref).result, D3D_OK);
    seam::SetDeviceCreationFailure(seam::DeviceKind::Hal, false);
    EXPECT_EQ(OffscreenDevice().result, D3D_OK);
}

TEST(SimulatedAdapters, ReplaceTheDisplaysAndStillRender) {
    d3d_test::SeamReset seams;
    seam::SimulatedAdapter first, second;
    second.description = "Second Card";
    second.desktop = d3d_test::Mode(1280, 1024, D3DFMT_R5G6B5, 75);
    second.modes = {d3d_test::Mode(640, 480, D3DFMT_R5G6B5)};
    seam::SetSimulatedAdapters({first, second});
    OffscreenDevice gpu;
    ASSERT_NE(gpu.d3d, nullptr);
    EXPECT_EQ(gpu.d3d->GetAdapterCount(), 2u);
    D3DADAPTER_IDENTIFIER8 id{};
    ASSERT_EQ(gpu.d3d->GetAdapterIdentifier(1, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "Second Card");
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(gpu.d3d->GetAdapterDisplayMode(1, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1280u);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(gpu.d3d->GetAdapterModeCount(1), 1u);
    EXPECT_EQ(gpu.d3d->GetAdapterModeCount(2), 0u);
    ASSERT_EQ(gpu.result, D3D_OK);
    gpu.device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);
    d3d_test::Picture p = d3d_test::ReadPicture(gpu.device);
    EXPECT_EQ(p.Count({1, 2, 3, 255}, 0), 640 * 480);
}

TEST(CooperativeLevel, WindowedDeviceIsUsableAndTheScriptOverridesIt) {
    d3d_test::SeamReset seams;
    OffscreenDevice gpu;
    ASSERT_EQ(gpu.result, D3D_OK);
    EXPECT_EQ(gpu.device->TestCooperativeLevel(), D3D_OK);
    d3d_test::ScriptedCooperativeLevel script({D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET});
    EXPECT_EQ(gpu.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(gpu.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(gpu.device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(script.calls(), 3);
}

TEST(Caps, ComeFromGLLimits) {
    d3d_test::SeamReset seams;
    OffscreenDevice gpu;
    ASSERT_EQ(gpu.result, D3D_OK);
    D3DCAPS8 caps{};
    ASSERT_EQ(gpu.device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_GE(caps.MaxActiveLights, 8u);
    EXPECT_GE(caps.MaxTextureWidth, 1024u);
    EXPECT_EQ(caps.MaxTextureWidth, caps.MaxTextureHeight);
    EXPECT_GE(caps.MaxSimultaneousTextures, 1u);
    EXPECT_EQ(caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY, 0u);
    EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP, 0u);
    EXPECT_GT(caps.MaxPrimitiveCount, 0xFFFFu);
    EXPECT_GE(gpu.device->GetAvailableTextureMem(), 64u << 20);
    // IDirect3D8 answers for the adapter as the device does.
    D3DCAPS8 adapterCaps{};
    ASSERT_EQ(gpu.d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &adapterCaps), D3D_OK);
    EXPECT_EQ(adapterCaps.MaxTextureWidth, caps.MaxTextureWidth);

    seam::SetCapsAdjustment([](D3DCAPS8& c) { c.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY; });
    ASSERT_EQ(gpu.device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY, 0u);
}

// ---- Resources ------------------------------------------------------------------------------

TEST(Lifetime, ResourcesKeepTheDeviceAndItsContextUntilTheLastGoes) {
    d3d_test::UseOffscreenVideo();
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 64;
    params.BackBufferHeight = 64;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                &params, &device),
              D3D_OK);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    device->SetTexture(0, texture);
    device->SetStreamSource(0, vb, 12);

    // The program's order at exit: the device and the object first, the resources after.
    EXPECT_EQ(device->Release(), 2u);
    EXPECT_EQ(d3d->Release(), 0u);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    std::memset(locked.pBits, 0xff, 4 * 4 * 4);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u); // the device goes with it
}

class Resources : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(gpu.result, D3D_OK); }
    d3d_test::SeamReset seams;
    OffscreenDevice gpu;
};

TEST_F(Resources, TextureSizesFormatsAndLevels) {
    IDirect3DDevice8* device = gpu.device;
    IDirect3DTexture8* texture = nullptr;
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(caps.MaxTextureWidth + 1, 4, 1, 0, D3DFMT_A8R8G8B8,
                                    D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(0xFFFFFFFF, 0xFFFFFFFF, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);

    // Levels 0 asks for the whole chain: 8 x 2, 4 x 1, 2 x 1, 1 x 1.
    ASSERT_EQ(device->CreateTexture(8, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(1, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(texture->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);
    texture->Release();

    for (D3DFORMAT format :
         {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8, D3DFMT_A8}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(device->CreateTexture(16, 16, 1, 0, format, D3DPOOL_MANAGED, &texture), D3D_OK);
        texture->Release();
    }
}

TEST_F(Resources, LocksOutsideTheResourceAreRefused) {
    IDirect3DDevice8* device = gpu.device;
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    RECT outside{4, 4, 9, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    RECT inverted{4, 4, 2, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &inverted, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    RECT inside{2, 3, 4, 5};
    ASSERT_EQ(texture->LockRect(0, &locked, &inside, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // locked twice
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    texture->Release();

    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(48, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    BYTE* bytes = nullptr;
    EXPECT_EQ(vb->Lock(40, 16, &bytes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(49, 0, &bytes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(0xFFFFFFF0u, 0x20, &bytes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    vb->Release();
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb),
              D3DERR_INVALIDCALL); // smaller than one vertex
}

TEST_F(Resources, DrawsThatWouldReadPastTheirDataAreRefused) {
    IDirect3DDevice8* device = gpu.device;
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb), D3D_OK);
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
    const uint16_t indices[6] = {0, 1, 2, 2, 3, 60000};
    std::memcpy(bytes, indices, sizeof indices);
    ib->Unlock();
    device->SetVertexShader(D3DFVF_XYZ);
    device->SetStreamSource(0, vb, 12);
    device->SetIndices(ib, 0);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 3), D3DERR_INVALIDCALL);
    device->SetIndices(ib, 2); // index 2 + base 2 is past the four vertices
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0x7FFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16,
                                             bytes, 12),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 12), D3DERR_INVALIDCALL);
    float small[9] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, small, 8), D3DERR_INVALIDCALL);
    // Vertex formats beyond positions, normals, colours and 2D texture coordinates.
    EXPECT_EQ(device->SetVertexShader(0x006 /* XYZB1 */), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShader(D3DFVF_XYZ | 0x00030000 /* 1D coordinates */),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShader(0), D3DERR_INVALIDCALL);
    ib->Release();
    vb->Release();
}

TEST_F(Resources, ForeignInterfacesAreNotBound) {
    testsupport::RecordingDevice recorder;
    IDirect3DTexture8* foreign = nullptr;
    ASSERT_EQ(recorder.CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &foreign),
              D3D_OK);
    EXPECT_EQ(gpu.device->SetTexture(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(gpu.device->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    std::vector<uint8_t> rgba;
    UINT width = 1, height = 1;
    EXPECT_FALSE(platform::d3d8::ReadBackBuffer(&recorder, rgba, width, height));
    EXPECT_EQ(width, 0u);
    EXPECT_TRUE(rgba.empty());
    foreign->Release();
}

} // namespace
