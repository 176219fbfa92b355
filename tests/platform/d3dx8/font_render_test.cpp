// Text and textures through the real GL device (Mesa on SDL's offscreen driver): where the
// pixels land on the back buffer.
#include "tests/support/platform/d3d_test_support.h"

#include <platform/d3dx8/image_write.h>

#include <d3dx8.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace {

using d3d_test::OffscreenDevice;
using d3d_test::Picture;
using d3d_test::ReadPicture;

class TextureAndTextOnGl : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(gpu_.device, nullptr) << "no GL device on the offscreen driver";
        device_ = gpu_.device;
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        std::strcpy(lf.lfFaceName, "ＭＳ ゴシック");
        ASSERT_EQ(D3DXCreateFontIndirect(device_, &lf, &font_), D3D_OK);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }
    void TearDown() override {
        if (font_) font_->Release();
    }

    Picture DrawText(const char* text, RECT rect, D3DCOLOR colour) {
        device_->BeginScene();
        font_->Begin();
        font_->DrawTextA(text, -1, &rect, DT_EXPANDTABS | DT_NOPREFIX, colour);
        font_->End();
        device_->EndScene();
        return ReadPicture(device_);
    }

    // Lit pixels (any channel above `threshold`) inside and outside a rectangle.
    static void CountLit(const Picture& p, const RECT& r, int& inside, int& outside,
                         int threshold = 0) {
        inside = outside = 0;
        for (UINT y = 0; y < p.height; ++y)
            for (UINT x = 0; x < p.width; ++x) {
                const auto c = p.At(x, y);
                if (c.r <= threshold && c.g <= threshold && c.b <= threshold) continue;
                const bool in = LONG(x) >= r.left && LONG(x) < r.right && LONG(y) >= r.top &&
                                LONG(y) < r.bottom;
                (in ? inside : outside)++;
            }
    }

    d3d_test::SeamReset seams_;
    OffscreenDevice gpu_;
    IDirect3DDevice8* device_ = nullptr;
    ID3DXFont* font_ = nullptr;
};

TEST_F(TextureAndTextOnGl, TextLightsPixelsOnlyInsideItsRectangle) {
    RECT measure{0, 0, 640, 480};
    font_->DrawTextA("x", -1, &measure, DT_CALCRECT, 0);
    const int w = measure.right;
    ASSERT_GT(w, 0);

    const RECT rect{100, 200, 640, 480};
    const Picture p = DrawText("Koltrep & co\tx", rect, 0xFFFFFFFF);
    int inside = 0, outside = 0;
    CountLit(p, {100, 200, 640, 216}, inside, outside);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
    // "&" is the ninth character and is printed; the "x" after the tab sits at the second stop.
    int amp = 0, tabbed = 0, gap = 0;
    CountLit(p, {100 + 8 * w, 200, 100 + 9 * w, 216}, amp, outside);
    CountLit(p, {100 + 16 * w, 200, 100 + 17 * w, 216}, tabbed, outside);
    CountLit(p, {100 + 13 * w, 200, 100 + 16 * w, 216}, gap, outside);
    EXPECT_GT(amp, 10);
    EXPECT_GT(tabbed, 5);
    EXPECT_EQ(gap, 0);
    // White text at full coverage is pure white: the texture is modulated, not replaced.
    EXPECT_GT(p.Count({255, 255, 255, 255}, 0), 20);
}

TEST_F(TextureAndTextOnGl, ClippedTextStopsAtTheEdgeAndTakesTheColour) {
    const RECT clip{100, 200, 137, 209}; // cuts through the glyphs on both axes
    const Picture p = DrawText("Koltrep & co\tx", clip, 0xFF00FF00);
    int inside = 0, outside = 0;
    CountLit(p, clip, inside, outside);
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
    for (UINT y = 0; y < p.height; ++y)
        for (UINT x = 0; x < p.width; ++x) {
            const auto c = p.At(x, y);
            EXPECT_TRUE(c.r == 0 && c.b == 0) << x << "," << y;
            if (c.r || c.b) return;
        }
}

TEST_F(TextureAndTextOnGl, LoadedTextureDrawsItsTexels) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("koltrep-real-texture-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "quad.png").string();
    // 2 x 2: red, green / blue, magenta (the key).
    const uint8_t rgba[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 255, 255};
    ASSERT_TRUE(platform::d3dx::WritePngRgba(path.c_str(), 2, 2, rgba));
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, path.c_str(), 0, 0, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFF00FF,
                                           nullptr, nullptr, &texture),
              D3D_OK);
    std::filesystem::remove_all(dir);

    struct Vertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse;
        float u, v;
    };
    const Vertex quad[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                            {199.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                            {199.5f, 199.5f, 0.5f, 1, 0xFFFFFFFF, 1, 1},
                            {-0.5f, 199.5f, 0.5f, 1, 0xFFFFFFFF, 0, 1}};
    device_->BeginScene();
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetTexture(0, texture);
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device_->SetVertexShader(0x144);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof quad[0]);
    device_->EndScene();
    device_->SetTexture(0, nullptr);
    texture->Release();

    const Picture p = ReadPicture(device_);
    auto near = [](d3d_test::Rgba c, int r, int g, int b) {
        return std::abs(c.r - r) <= 2 && std::abs(c.g - g) <= 2 && std::abs(c.b - b) <= 2;
    };
    EXPECT_TRUE(near(p.At(50, 50), 255, 0, 0));
    EXPECT_TRUE(near(p.At(150, 50), 0, 255, 0));
    EXPECT_TRUE(near(p.At(50, 150), 0, 0, 255));
    EXPECT_TRUE(near(p.At(150, 150), 0, 0, 0)); // keyed out: the black clear shows through
}

} // namespace
