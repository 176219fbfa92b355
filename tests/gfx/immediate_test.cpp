// Immediate lines, the flat quad and the text calls, on the recording device: the buffers they
// create, the vertices they draw, and that they touch no state but the stream and the format.
#include "gfx/immediate.h"

#include "gfx/device/d3d_device.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"

#include <gtest/gtest.h>

#include <cstring>

using testsupport::DeviceCall;
using testsupport::RecordingDevice;
using testsupport::RecordingFont;
using testsupport::RecordingVertexBuffer;
using testsupport::ScopedDevice;

namespace {

template <typename Vertex> std::vector<Vertex> VerticesOf(const DeviceCall& draw) {
    std::vector<Vertex> out(draw.vertices.size() / sizeof(Vertex));
    std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(Vertex));
    return out;
}

class ImmediateTest : public ::testing::Test {
  protected:
    void SetUp() override { quadUV = QuadUV{0, 1, 0, 1}; }
    RecordingDevice device;
    ScopedDevice installed{&device};
};

TEST_F(ImmediateTest, StrideTableHoldsExactlyTheEightFormats) {
    const std::pair<DWORD, DWORD> table[] = {{0x042, 16}, {0x044, 20}, {0x052, 28}, {0x142, 24},
                                             {0x144, 28}, {0x152, 36}, {0x242, 32}, {0x252, 44}};
    for (auto [fvf, stride] : table)
        EXPECT_EQ(StrideOfFVF(fvf), stride) << std::hex << fvf;
    for (DWORD other : {0x000u, 0x002u, 0x012u, 0x040u, 0x142u | 0x080u, 0x342u})
        EXPECT_EQ(StrideOfFVF(other), 0u) << std::hex << other;
}

TEST_F(ImmediateTest, LineIsOneManagedBufferDrawnOnceAndReleased) {
    DrawLine(1, 2, 3, 4, 5, 6, 0xF0FF0000, 0xF0FF0000);
    auto created = device.CallsNamed("CreateVertexBuffer");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args, (std::vector<int64_t>{32, 0, 0x042, D3DPOOL_MANAGED}));
    auto draws = device.CallsNamed("DrawPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->args, (std::vector<int64_t>{D3DPT_LINELIST, 0, 1}));
    EXPECT_EQ(draws[0]->stride, 16u);
    EXPECT_EQ(draws[0]->fvf, 0x042u);
    auto v = VerticesOf<LineVertex>(*draws[0]);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].x, 1);
    EXPECT_EQ(v[1].z, 6);
    EXPECT_EQ(device.LiveVertexBuffers(), 0u);
    // Nothing but the stream and the vertex format is touched.
    EXPECT_EQ(device.Names(), (std::vector<std::string>{"CreateVertexBuffer", "VertexBuffer::Lock",
                                                        "VertexBuffer::Unlock", "SetStreamSource",
                                                        "SetVertexShader", "DrawPrimitive"}));
}

TEST_F(ImmediateTest, SecondColourZeroMeansTheFirstColour) {
    struct Case {
        D3DCOLOR c1, c2, end1, end2;
    } cases[] = {
        {0xFF112233, 0, 0xFF112233, 0xFF112233},
        {0, 0, 0, 0},
        {0xFF112233, 0x80445566, 0xFF112233, 0x80445566},
        {0, 0xFF00FF00, 0, 0xFF00FF00},
    };
    for (const Case& c : cases) {
        device.ClearCalls();
        DrawLine(0, 0, 0, 1, 1, 1, c.c1, c.c2);
        auto draws = device.CallsNamed("DrawPrimitive");
        ASSERT_EQ(draws.size(), 1u);
        auto v = VerticesOf<LineVertex>(*draws[0]);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0].diffuse, c.end1) << std::hex << c.c1 << " " << c.c2;
        EXPECT_EQ(v[1].diffuse, c.end2) << std::hex << c.c1 << " " << c.c2;
    }
}

TEST_F(ImmediateTest, UnknownFormatIsRefusedWithoutABuffer) {
    VertexBuffer vb;
    const LineVertex two[2] = {};
    ASSERT_TRUE(vb.Create(two, 0x042, sizeof two));
    EXPECT_EQ(vb.stride, 16u);
    EXPECT_EQ(vb.count, 2u);
    device.ClearCalls();

    EXPECT_FALSE(vb.Create(two, 0x012, sizeof two));
    EXPECT_EQ(vb.buffer, nullptr); // the earlier buffer went, no new one came
    EXPECT_EQ(vb.fvf, 0x012u);
    EXPECT_EQ(vb.stride, 16u); // stride and count keep their old values
    EXPECT_EQ(vb.count, 2u);
    EXPECT_EQ(device.CountOf("CreateVertexBuffer"), 0u);
    EXPECT_EQ(device.LiveVertexBuffers(), 0u);
}

TEST_F(ImmediateTest, ByteSizeNotAMultipleOfTheStrideRoundsTheCountDownButCopiesAll) {
    uint8_t bytes[40];
    for (int i = 0; i < 40; ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    VertexBuffer vb;
    ASSERT_TRUE(vb.Create(bytes, 0x042, sizeof bytes));
    EXPECT_EQ(vb.count, 2u);
    auto* held = static_cast<RecordingVertexBuffer*>(vb.buffer);
    ASSERT_EQ(held->bytes.size(), 40u);
    EXPECT_EQ(std::memcmp(held->bytes.data(), bytes, 40), 0);
}

TEST_F(ImmediateTest, OddVertexCountDrawsTheWholeLinesOnly) {
    const LineVertex three[3] = {{0, 0, 0, 1}, {1, 0, 0, 2}, {2, 0, 0, 3}};
    VertexBuffer vb;
    ASSERT_TRUE(vb.Create(three, 0x042, sizeof three));
    vb.DrawLineList();
    auto draws = device.CallsNamed("DrawPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->args[2], 1); // one line; the third vertex is not drawn
    EXPECT_EQ(draws[0]->vertices.size(), 32u);
}

TEST_F(ImmediateTest, FailedCreationOrLockDrawsNothing) {
    device.createVertexBufferResult = D3DERR_OUTOFVIDEOMEMORY;
    DrawLine(0, 0, 0, 1, 1, 1, 0xFFFFFFFF, 0);
    DrawFlatQuad(0, 0, 0, 1, 1, 0xFFFFFFFF);
    EXPECT_EQ(device.CountOf("DrawPrimitive"), 0u);

    device.createVertexBufferResult = D3D_OK;
    device.lockVertexBufferResult = D3DERR_INVALIDCALL;
    DrawLine(0, 0, 0, 1, 1, 1, 0xFFFFFFFF, 0);
    EXPECT_EQ(device.CountOf("DrawPrimitive"), 0u);
    EXPECT_EQ(device.CountOf("CreateVertexBuffer"), 3u);
    EXPECT_EQ(device.LiveVertexBuffers(), 0u); // the locked-out buffer is still released
}

TEST_F(ImmediateTest, GroundQuadHasTheTabulatedCornersAndTextureCoordinates) {
    quadUV = QuadUV{0, 30, 0, 30};
    DrawFlatQuad(0, 0, 0, 1000, 1000, 0xFFFFFFFF);
    auto created = device.CallsNamed("CreateVertexBuffer");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args, (std::vector<int64_t>{96, 0, 0x142, D3DPOOL_MANAGED}));
    auto draws = device.CallsNamed("DrawPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->args, (std::vector<int64_t>{D3DPT_TRIANGLEFAN, 0, 2}));
    EXPECT_EQ(draws[0]->stride, 24u);
    auto v = VerticesOf<QuadVertex>(*draws[0]);
    ASSERT_EQ(v.size(), 4u);
    const float expected[4][5] = {
        {-500, 0, -500, 0, 30}, {-500, 0, 500, 0, 0}, {500, 0, 500, 30, 0}, {500, 0, -500, 30, 30}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_EQ(v[i].z, expected[i][2]) << i;
        EXPECT_EQ(v[i].u, expected[i][3]) << i;
        EXPECT_EQ(v[i].v, expected[i][4]) << i;
        EXPECT_EQ(v[i].diffuse, 0xFFFFFFFFu) << i;
    }
    // Both fan triangles face up: clockwise seen from above in the left-handed frame, so the
    // default culling keeps them.
    for (int t = 1; t <= 2; ++t) {
        D3DXVECTOR3 a(v[0].x, v[0].y, v[0].z), b(v[t].x, v[t].y, v[t].z),
            c(v[t + 1].x, v[t + 1].y, v[t + 1].z);
        D3DXVECTOR3 ab = b - a, ac = c - a;
        float normalY = ab.z * ac.x - ab.x * ac.z;
        EXPECT_GT(normalY, 0.0f) << "triangle " << t;
    }
    EXPECT_EQ(device.CountOf("SetTransform") + device.CountOf("SetTexture") +
                  device.CountOf("SetRenderState"),
              0u);
}

TEST_F(ImmediateTest, QuadUsesTheCurrentUVRectangleAndHeight) {
    quadUV = QuadUV{0.25f, 0.75f, 0.1f, 0.9f};
    DrawFlatQuad(10, -2, 20, 4, 6, 0x80FF00FF);
    auto v = VerticesOf<QuadVertex>(*device.CallsNamed("DrawPrimitive").at(0));
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].x, 8);
    EXPECT_EQ(v[0].z, 17);
    EXPECT_EQ(v[2].x, 12);
    EXPECT_EQ(v[2].z, 23);
    for (const QuadVertex& q : v) {
        EXPECT_EQ(q.y, -2);
        EXPECT_EQ(q.diffuse, 0x80FF00FFu);
    }
    EXPECT_EQ(v[0].u, 0.25f);
    EXPECT_EQ(v[0].v, 0.9f);
    EXPECT_EQ(v[2].u, 0.75f);
    EXPECT_EQ(v[2].v, 0.1f);
}

class TextTest : public ImmediateTest {
  protected:
    void SetUp() override {
        ImmediateTest::SetUp();
        savedFont = textFont;
        savedColor = textColor;
        textFont = &font;
    }
    void TearDown() override {
        textFont = savedFont;
        textColor = savedColor;
    }
    RecordingFont font{&device};
    ID3DXFont* savedFont = nullptr;
    D3DCOLOR savedColor = 0;
};

TEST_F(TextTest, TextIsDrawnFromItsCornerToTheBackBufferEdges) {
    textColor = 0xFFFFFFFF;
    BeginText();
    DrawTextAt(0, 470, "Walking & running\tfast");
    DrawTextAt(12, 34, "second");
    EndText();
    EXPECT_EQ(device.Names(), (std::vector<std::string>{"Font::Begin", "Font::DrawTextA",
                                                        "Font::DrawTextA", "Font::End"}));
    auto lines = device.CallsNamed("Font::DrawTextA");
    // count, left, top, right, bottom, format, colour
    EXPECT_EQ(lines[0]->args, (std::vector<int64_t>{-1, 0, 470, backBufferWidth, backBufferHeight,
                                                    0x840, 0xFFFFFFFF}));
    EXPECT_EQ(lines[0]->text, "Walking & running\tfast");
    EXPECT_EQ(lines[1]->args[1], 12);
    EXPECT_EQ(lines[1]->args[2], 34);
    EXPECT_EQ(0x840u, DWORD(DT_EXPANDTABS | DT_NOPREFIX));
}

TEST_F(TextTest, WithoutAFontTextDoesNothing) {
    textFont = nullptr;
    BeginText();
    DrawTextAt(0, 0, "nothing");
    EndText();
    FreeFont();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(TextTest, FreeFontReleasesOnce) {
    font.refCount = 1;
    FreeFont();
    EXPECT_EQ(font.refCount, 0);
    EXPECT_EQ(textFont, nullptr);
    FreeFont();
    EXPECT_EQ(font.refCount, 0);
}

TEST_F(TextTest, InitFontAsksForTheDesignedFaceAndKeepsTheColour) {
    textFont = nullptr;
    InitFont(16, 0xFF00FF00, 400);
    EXPECT_EQ(textColor, 0xFF00FF00u);
    ASSERT_NE(textFont, nullptr) << "the font stand-in found no face for the designed name";
    LOGFONTA logFont{};
    ASSERT_EQ(textFont->GetLogFont(&logFont), D3D_OK);
    EXPECT_EQ(logFont.lfHeight, 16);
    EXPECT_EQ(logFont.lfWidth, 0);
    EXPECT_EQ(logFont.lfWeight, 400);
    EXPECT_EQ(logFont.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_STREQ(logFont.lfFaceName, "ＭＳ ゴシック");
    // A second InitFont replaces the font rather than leaking it.
    ID3DXFont* first = textFont;
    first->AddRef();
    InitFont(16, 0xFFFFFFFF, 400);
    EXPECT_EQ(first->Release(), 0u);
    FreeFont();
}

} // namespace
