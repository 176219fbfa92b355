// Pictures drawn through the real GL path (Mesa on SDL's offscreen driver), checked pixel by
// pixel against what Direct3D 8's fixed function would draw.
#include <gtest/gtest.h>

#include "tests/support/platform/d3d_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using d3d_test::OffscreenDevice;
using d3d_test::Picture;
using d3d_test::ReadPicture;
using d3d_test::Rgba;

namespace {

struct ScreenVertex { // FVF XYZRHW | DIFFUSE
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct TexturedScreenVertex { // FVF XYZRHW | DIFFUSE | TEX1: what the text stand-in draws
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
constexpr DWORD kTexturedScreenFvf = 0x144;

struct LitVertex { // FVF XYZ | NORMAL
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct ColourVertex { // FVF XYZ | DIFFUSE
    float x, y, z;
    D3DCOLOR diffuse;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

void ExpectNear(Rgba actual, int r, int g, int b, int tolerance = 2) {
    EXPECT_NEAR(actual.r, r, tolerance);
    EXPECT_NEAR(actual.g, g, tolerance);
    EXPECT_NEAR(actual.b, b, tolerance);
}

class Rendering : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(gpu.device, nullptr) << "no GL device on the offscreen driver";
        device = gpu.device;
        D3DMATRIX identity = Identity();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &identity);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        Clear(D3DCOLOR_XRGB(0, 0, 0));
    }

    void Clear(D3DCOLOR colour) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
    }

    // An axis-aligned rectangle in screen pixels, as two triangles listed clockwise.
    void ScreenRect(float x1, float y1, float x2, float y2, D3DCOLOR colour, float z = 0.5f) {
        ScreenVertex v[6] = {{x1, y1, z, 1, colour}, {x2, y1, z, 1, colour},
                             {x1, y2, z, 1, colour}, {x2, y1, z, 1, colour},
                             {x2, y2, z, 1, colour}, {x1, y2, z, 1, colour}};
        device->SetVertexShader(kScreenFvf);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
    }

    IDirect3DTexture8* MakeTexture(UINT width, UINT height, const std::vector<uint32_t>& argb) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(
            device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
            D3D_OK);
        if (!texture) return nullptr;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &argb[y * width],
                        width * 4);
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        return texture;
    }

    d3d_test::SeamReset seams;
    OffscreenDevice gpu;
    IDirect3DDevice8* device = nullptr;
};

TEST_F(Rendering, ScreenRectanglesCoverDirect3DPixelsTopRowFirst) {
    // Direct3D puts pixel centres on whole coordinates: 10..30 x 20..40 covers columns 10..29
    // and rows 20..39, counted from the top.
    ScreenRect(10, 20, 30, 40, D3DCOLOR_XRGB(255, 255, 255));
    Picture p = ReadPicture(device);
    ASSERT_EQ(p.width, 640u);
    ASSERT_EQ(p.height, 480u);
    ExpectNear(p.At(10, 20), 255, 255, 255, 0);
    ExpectNear(p.At(29, 39), 255, 255, 255, 0);
    ExpectNear(p.At(9, 20), 0, 0, 0, 0);
    ExpectNear(p.At(30, 20), 0, 0, 0, 0);
    ExpectNear(p.At(10, 19), 0, 0, 0, 0);
    ExpectNear(p.At(10, 40), 0, 0, 0, 0);
    EXPECT_EQ(p.Count({255, 255, 255, 255}, 0), 20 * 20);
}

TEST_F(Rendering, CounterClockwiseCullingKeepsClockwiseScreenTriangles) {
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0);
    // Right, then down-left: clockwise with y down.
    ScreenVertex clockwise[3] = {
        {100, 100, 0.5f, 1, red}, {200, 100, 0.5f, 1, red}, {100, 200, 0.5f, 1, red}};
    ScreenVertex counter[3] = {
        {300, 100, 0.5f, 1, green}, {300, 200, 0.5f, 1, green}, {400, 100, 0.5f, 1, green}};
    device->SetVertexShader(kScreenFvf);
    // D3DCULL_CW the other way round, D3DCULL_NONE both.
    const struct {
        DWORD mode;
        int red, green; // what is left of the clockwise and the counter-clockwise triangle
    } cases[] = {{D3DCULL_CCW, 255, 0}, {D3DCULL_CW, 0, 255}, {D3DCULL_NONE, 255, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Clear(0);
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
        Picture p = ReadPicture(device);
        ExpectNear(p.At(120, 120), c.red, 0, 0);
        ExpectNear(p.At(320, 120), 0, c.green, 0);
    }
}

TEST_F(Rendering, CullingOfTransformedTrianglesFollowsTheirWindingOnScreen) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetVertexShader(kColourFvf);
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0);
    // Identity transforms: x right, y up on screen. Left: right then down-left (clockwise on
    // screen); right: down then up-right (counter-clockwise).
    ColourVertex clockwise[3] = {
        {-0.8f, 0.8f, 0.5f, red}, {-0.2f, 0.8f, 0.5f, red}, {-0.8f, 0.2f, 0.5f, red}};
    ColourVertex counter[3] = {
        {0.2f, 0.8f, 0.5f, green}, {0.2f, 0.2f, 0.5f, green}, {0.8f, 0.8f, 0.5f, green}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ColourVertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ColourVertex));
    Picture p = ReadPicture(device);
    // (-0.7, 0.7) lands at column 96, row 72 of the 640 x 480 picture.
    ExpectNear(p.At(96, 72), 255, 0, 0);
    ExpectNear(p.At(448, 72), 0, 0, 0);
    EXPECT_EQ(p.Count({0, 255, 0, 255}), 0);
}

TEST_F(Rendering, DirectionalLightFollowsTheDirect3DLightingEquation) {
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    const float k = 1.0f / std::sqrt(3.0f);
    light.Direction = {k, -k, k};
    light.Range = 1000.0f;
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    D3DMATERIAL8 cyan{};
    cyan.Diffuse = {0.0f, 1.0f, 1.0f, 1.0f};
    cyan.Ambient = {0.0f, 0.4f, 0.8f, 1.0f};
    device->SetMaterial(&cyan);
    device->SetVertexShader(kLitFvf);

    // Three panels, each facing a different way; the camera looks along +z.
    struct Panel {
        float x1, x2;
        float n[3];
    } panels[3] = {{-0.9f, -0.4f, {0.0f, 0.0f, -1.0f}},
                   {-0.2f, 0.3f, {0.0f, 0.70710678f, -0.70710678f}},
                   {0.5f, 0.9f, {1.0f, 0.0f, 0.0f}}};
    auto drawPanels = [&] {
        for (const Panel& panel : panels) {
            LitVertex v[4] = {{panel.x1, 0.5f, 0.5f, panel.n[0], panel.n[1], panel.n[2]},
                              {panel.x2, 0.5f, 0.5f, panel.n[0], panel.n[1], panel.n[2]},
                              {panel.x2, -0.5f, 0.5f, panel.n[0], panel.n[1], panel.n[2]},
                              {panel.x1, -0.5f, 0.5f, panel.n[0], panel.n[1], panel.n[2]}};
            ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof(LitVertex)), D3D_OK);
        }
    };
    // ambientRS * matAmbient + max(0, N.L) * light.Diffuse * matDiffuse, with L = -direction.
    auto expected = [&](const Panel& panel, float channelAmbient, float channelDiffuse) {
        const float nDotL = std::max(0.0f, (-panel.n[0] + panel.n[1] - panel.n[2]) * k);
        const float value = (128.0f / 255.0f) * channelAmbient + nDotL * 0.5f * channelDiffuse;
        return static_cast<int>(std::lround(std::min(value, 1.0f) * 255.0f));
    };
    auto check = [&](const Picture& p) {
        const int columns[3] = {112, 352, 544};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            ExpectNear(p.At(columns[i], 240), 0, expected(panels[i], 0.4f, 1.0f),
                       expected(panels[i], 0.8f, 1.0f));
        }
    };
    drawPanels();
    check(ReadPicture(device));

    // The light stays in world space when the camera rolls half a turn: the same panels,
    // seen upside down, keep their colours.
    Clear(0);
    D3DMATRIX roll = Identity();
    roll._11 = roll._22 = -1.0f;
    device->SetTransform(D3DTS_VIEW, &roll);
    drawPanels();
    Picture rolled = ReadPicture(device);
    const int columns[3] = {640 - 1 - 112, 640 - 1 - 352, 640 - 1 - 544};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ExpectNear(rolled.At(columns[i], 240), 0, expected(panels[i], 0.4f, 1.0f),
                   expected(panels[i], 0.8f, 1.0f));
    }
}

// The device sets only the lit state that changed since the last draw: every change must
// still reach the picture, and vertex colours standing in for the material must not stay.
TEST_F(Rendering, LitStateKeptBetweenDrawsFollowsEveryChange) {
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    auto panel = [&](float x1, float x2) {
        const LitVertex v[4] = {{x1, 0.5f, 0.5f, 0, 0, -1},
                                {x2, 0.5f, 0.5f, 0, 0, -1},
                                {x2, -0.5f, 0.5f, 0, 0, -1},
                                {x1, -0.5f, 0.5f, 0, 0, -1}};
        device->SetVertexShader(kLitFvf);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, v, sizeof v[0]), D3D_OK);
    };
    auto material = [&](float r, float g, float b) {
        D3DMATERIAL8 m{};
        m.Diffuse = {r, g, b, 1.0f};
        device->SetMaterial(&m);
    };
    material(0, 1, 0);
    panel(-0.9f, -0.4f);
    material(0, 0, 1);
    panel(-0.2f, 0.3f);
    struct ColouredLitVertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR colour;
    };
    const ColouredLitVertex red[4] = {{0.5f, 0.5f, 0.5f, 0, 0, -1, 0xFFFF0000},
                                      {0.9f, 0.5f, 0.5f, 0, 0, -1, 0xFFFF0000},
                                      {0.9f, -0.5f, 0.5f, 0, 0, -1, 0xFFFF0000},
                                      {0.5f, -0.5f, 0.5f, 0, 0, -1, 0xFFFF0000}};
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, red, sizeof red[0]), D3D_OK);
    Picture p = ReadPicture(device);
    ExpectNear(p.At(112, 240), 0, 255, 0);
    ExpectNear(p.At(352, 240), 0, 0, 255);
    ExpectNear(p.At(544, 240), 255, 0, 0);

    Clear(0);
    panel(-0.9f, -0.4f); // the material as set, not the red the vertex colours left
    device->LightEnable(0, FALSE);
    panel(-0.2f, 0.3f);
    p = ReadPicture(device);
    ExpectNear(p.At(112, 240), 0, 0, 255);
    ExpectNear(p.At(352, 240), 0, 0, 0);
}

TEST_F(Rendering, LightingOffDrawsVertexColourOrWhite) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ColourVertex coloured[3] = {{-0.9f, 0.9f, 0.5f, D3DCOLOR_XRGB(10, 200, 30)},
                                {-0.1f, 0.9f, 0.5f, D3DCOLOR_XRGB(10, 200, 30)},
                                {-0.9f, 0.1f, 0.5f, D3DCOLOR_XRGB(10, 200, 30)}};
    device->SetVertexShader(kColourFvf);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, coloured, sizeof(ColourVertex));
    struct Plain {
        float x, y, z;
    } plain[3] = {{0.1f, 0.9f, 0.5f}, {0.9f, 0.9f, 0.5f}, {0.1f, 0.1f, 0.5f}};
    device->SetVertexShader(D3DFVF_XYZ);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, plain, sizeof(Plain));
    Picture p = ReadPicture(device);
    ExpectNear(p.At(96, 72), 10, 200, 30, 0);
    ExpectNear(p.At(384, 72), 255, 255, 255, 0);
}

TEST_F(Rendering, DepthTestAndDepthWrite) {
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ScreenRect(100, 100, 300, 300, D3DCOLOR_XRGB(255, 0, 0), 0.2f);
    ScreenRect(200, 200, 400, 400, D3DCOLOR_XRGB(0, 0, 255), 0.8f);
    Picture p = ReadPicture(device);
    ExpectNear(p.At(250, 250), 255, 0, 0); // the nearer one wins where they overlap
    ExpectNear(p.At(350, 350), 0, 0, 255);

    // Without depth writes the near rectangle leaves no mark in the depth buffer.
    Clear(0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ScreenRect(100, 100, 300, 300, D3DCOLOR_XRGB(255, 0, 0), 0.2f);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ScreenRect(200, 200, 400, 400, D3DCOLOR_XRGB(0, 0, 255), 0.8f);
    p = ReadPicture(device);
    ExpectNear(p.At(250, 250), 0, 0, 255);

    // Without the depth test the later one wins.
    Clear(0);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    ScreenRect(100, 100, 300, 300, D3DCOLOR_XRGB(255, 0, 0), 0.2f);
    ScreenRect(200, 200, 400, 400, D3DCOLOR_XRGB(0, 0, 255), 0.8f);
    p = ReadPicture(device);
    ExpectNear(p.At(250, 250), 0, 0, 255);
}

TEST_F(Rendering, SourceAlphaBlending) {
    Clear(D3DCOLOR_XRGB(0, 0, 255));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ScreenRect(0, 0, 100, 100, D3DCOLOR_ARGB(64, 255, 0, 0));
    Picture p = ReadPicture(device);
    // 64/255 of red over 191/255 of blue.
    ExpectNear(p.At(50, 50), 64, 0, 191);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ScreenRect(200, 0, 300, 100, D3DCOLOR_ARGB(64, 255, 0, 0));
    p = ReadPicture(device);
    ExpectNear(p.At(250, 50), 255, 0, 0);
}

TEST_F(Rendering, TextureModulatedByVertexColourAndVertexColourAloneWithout) {
    IDirect3DTexture8* texture = MakeTexture(2, 2, std::vector<uint32_t>(4, 0xFFC86432));
    ASSERT_NE(texture, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTexture(0, texture);
    const D3DCOLOR vertex = D3DCOLOR_XRGB(255, 128, 64);
    TexturedScreenVertex quad[4] = {{10, 10, 0.5f, 1, vertex, 0, 0},
                                    {110, 10, 0.5f, 1, vertex, 1, 0},
                                    {110, 110, 0.5f, 1, vertex, 1, 1},
                                    {10, 110, 0.5f, 1, vertex, 0, 1}};
    device->SetVertexShader(kTexturedScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]), D3D_OK);

    device->SetTexture(0, nullptr);
    for (auto& v : quad)
        v.x += 200;
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]), D3D_OK);
    Picture p = ReadPicture(device);
    ExpectNear(p.At(60, 60), 200, 50, 12); // (200, 100, 50) x (1, 128/255, 64/255)
    ExpectNear(p.At(260, 60), 255, 128, 64);
    texture->Release();
}

TEST_F(Rendering, PointAndLinearFiltering) {
    // Two texels, black and white, stretched over 200 pixels: texel centres at 50 and 150.
    IDirect3DTexture8* texture = MakeTexture(2, 1, {0xFF000000, 0xFFFFFFFF});
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetVertexShader(kTexturedScreenFvf);
    auto draw = [&](float y) {
        const D3DCOLOR white = 0xFFFFFFFF;
        TexturedScreenVertex quad[4] = {{0, y, 0.5f, 1, white, 0, 0},
                                        {200, y, 0.5f, 1, white, 1, 0},
                                        {200, y + 20, 0.5f, 1, white, 1, 1},
                                        {0, y + 20, 0.5f, 1, white, 0, 1}};
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]), D3D_OK);
    };
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    draw(0);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    draw(100);
    Picture p = ReadPicture(device);
    ExpectNear(p.At(50, 10), 0, 0, 0, 8);
    ExpectNear(p.At(150, 10), 255, 255, 255, 8);
    EXPECT_TRUE(p.At(99, 10).r < 8 || p.At(99, 10).r > 247) << p.At(99, 10).r;
    ExpectNear(p.At(50, 110), 0, 0, 0, 8);
    ExpectNear(p.At(150, 110), 255, 255, 255, 8);
    EXPECT_NEAR(p.At(99, 110).r, 127, 12);
    texture->Release();
}

TEST_F(Rendering, TextureAddressWrapsByDefault) {
    IDirect3DTexture8* texture = MakeTexture(2, 1, {0xFFFF0000, 0xFF0000FF});
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetVertexShader(kTexturedScreenFvf);
    // u from 0 to 2: red, blue, red, blue across 200 pixels.
    TexturedScreenVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                    {200, 0, 0.5f, 1, 0xFFFFFFFF, 2, 0},
                                    {200, 20, 0.5f, 1, 0xFFFFFFFF, 2, 1},
                                    {0, 20, 0.5f, 1, 0xFFFFFFFF, 0, 1}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]);
    Picture p = ReadPicture(device);
    ExpectNear(p.At(25, 10), 255, 0, 0);
    ExpectNear(p.At(75, 10), 0, 0, 255);
    ExpectNear(p.At(125, 10), 255, 0, 0);
    ExpectNear(p.At(175, 10), 0, 0, 255);
    texture->Release();
}

TEST_F(Rendering, LineListDrawsOnePixelWideLines) {
    const D3DCOLOR white = 0xFFFFFFFF;
    ScreenVertex lines[4] = {{20, 100, 0.5f, 1, white},
                             {300, 100, 0.5f, 1, white},
                             {400, 50, 0.5f, 1, white},
                             {400, 250, 0.5f, 1, white}};
    device->SetVertexShader(kScreenFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, lines, sizeof lines[0]), D3D_OK);
    Picture p = ReadPicture(device);
    int litInColumn = 0;
    for (UINT y = 95; y <= 105; ++y)
        litInColumn += p.At(150, y).r > 128;
    EXPECT_EQ(litInColumn, 1);
    int litInRow = 0;
    for (UINT x = 395; x <= 405; ++x)
        litInRow += p.At(x, 150).r > 128;
    EXPECT_EQ(litInRow, 1);
    ExpectNear(p.At(310, 100), 0, 0, 0, 0);
}

TEST_F(Rendering, BufferedAndIndexedDrawsMatchUserMemoryDraws) {
    const D3DCOLOR yellow = D3DCOLOR_XRGB(255, 255, 0);
    ScreenVertex corners[4] = {{50, 50, 0.5f, 1, yellow},
                               {150, 50, 0.5f, 1, yellow},
                               {150, 150, 0.5f, 1, yellow},
                               {50, 150, 0.5f, 1, yellow}};
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof corners + 2 * sizeof corners[0], 0, kScreenFvf,
                                         D3DPOOL_MANAGED, &vb),
              D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    // Two unused vertices first, so a base vertex index of 2 is needed.
    std::memset(bytes, 0, 2 * sizeof corners[0]);
    std::memcpy(bytes + 2 * sizeof corners[0], corners, sizeof corners);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    const uint16_t indices[6] = {0, 1, 3, 1, 2, 3};
    ASSERT_EQ(ib->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memcpy(bytes, indices, sizeof indices);
    ib->Unlock();

    device->SetVertexShader(kScreenFvf);
    device->SetStreamSource(0, vb, sizeof(ScreenVertex));
    device->SetIndices(ib, 2);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    Picture p = ReadPicture(device);
    EXPECT_EQ(p.Count({255, 255, 0, 255}, 0), 100 * 100);

    // The same corners as a strip straight from the buffer.
    Clear(0);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 2, 2), D3D_OK);
    p = ReadPicture(device);
    EXPECT_EQ(p.Count({255, 255, 0, 255}, 0), 100 * 100);
    ib->Release();
    vb->Release();
}

// A released vertex buffer may come back for a later one it has room for, of any format: it
// then has the new description and only zeros, in GL too when drawn before any lock.
TEST_F(Rendering, VertexBufferMadeAfterAReleaseHasItsOwnDescriptionAndZeros) {
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0);
    const ScreenVertex screen[6] = {{0, 0, 0.5f, 1, red},     {640, 0, 0.5f, 1, red},
                                    {0, 480, 0.5f, 1, red},   {640, 0, 0.5f, 1, red},
                                    {640, 480, 0.5f, 1, red}, {0, 480, 0.5f, 1, red}};
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof screen + 40, 0, kScreenFvf, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memcpy(bytes, screen, sizeof screen);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);

    ASSERT_EQ(device->CreateVertexBuffer(sizeof screen, 0, kScreenFvf, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    device->SetVertexShader(kScreenFvf);
    device->SetStreamSource(0, vb, sizeof(ScreenVertex));
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(ReadPicture(device).Count({255, 0, 0, 255}), 0);
    ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof screen, [](BYTE b) { return b == 0; }));
    vb->Unlock();
    device->SetStreamSource(0, nullptr, 0);
    vb->Release();

    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(TexturedScreenVertex), 0, kTexturedScreenFvf,
                                         D3DPOOL_MANAGED, &vb),
              D3D_OK);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 4 * sizeof(TexturedScreenVertex));
    EXPECT_EQ(desc.FVF, kTexturedScreenFvf);
    EXPECT_EQ(vb->Lock(0, desc.Size + 1, &bytes, 0), D3DERR_INVALIDCALL);
    vb->Release();
}

TEST_F(Rendering, ClearOfRectanglesStaysInsideThem) {
    D3DRECT rect{100, 50, 200, 150};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0), D3D_OK);
    Picture p = ReadPicture(device);
    EXPECT_EQ(p.Count({0, 255, 0, 255}, 0), 100 * 100);
    ExpectNear(p.At(100, 50), 0, 255, 0, 0);
    ExpectNear(p.At(99, 50), 0, 0, 0, 0);
    ExpectNear(p.At(100, 49), 0, 0, 0, 0);
}

TEST_F(Rendering, MipFilterPicksTheLevelForTheSize) {
    // Level 0 red (8 x 8), level 1 green (4 x 4), level 2 blue (2 x 2), level 3 white.
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    const uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (UINT level = 0; level < 4; ++level) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        const UINT size = 8u >> level;
        for (UINT y = 0; y < size; ++y)
            for (UINT x = 0; x < size; ++x)
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4,
                            &colours[level], 4);
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
    }
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetVertexShader(kTexturedScreenFvf);
    auto draw = [&](float x, float size) {
        TexturedScreenVertex quad[4] = {{x, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                                        {x + size, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                                        {x + size, size, 0.5f, 1, 0xFFFFFFFF, 1, 1},
                                        {x, size, 0.5f, 1, 0xFFFFFFFF, 0, 1}};
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]), D3D_OK);
    };
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    draw(0, 4);  // half size: level 1
    draw(10, 2); // quarter size: level 2
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    draw(20, 2); // no mip filter: level 0 whatever the size
    Picture p = ReadPicture(device);
    ExpectNear(p.At(1, 1), 0, 255, 0);
    ExpectNear(p.At(10, 0), 0, 0, 255);
    ExpectNear(p.At(20, 0), 255, 0, 0);
    texture->Release();
}

TEST_F(Rendering, GouraudBlendsVertexColoursAndFlatTakesTheFirstVertex) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ScreenVertex triangle[3] = {{0, 0, 0.5f, 1, D3DCOLOR_XRGB(255, 0, 0)},
                                {300, 0, 0.5f, 1, D3DCOLOR_XRGB(0, 255, 0)},
                                {0, 300, 0.5f, 1, D3DCOLOR_XRGB(0, 0, 255)}};
    device->SetVertexShader(kScreenFvf);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]);
    Picture p = ReadPicture(device);
    // At (100, 100) the weights are 1/3 each.
    ExpectNear(p.At(100, 100), 85, 85, 85, 3);

    Clear(0);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]);
    p = ReadPicture(device);
    ExpectNear(p.At(100, 100), 255, 0, 0, 0);
}

} // namespace
