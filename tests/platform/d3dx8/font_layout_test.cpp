// The text stand-in against the recording device: which face is chosen, where glyph quads land
// (tabs, "&", line breaks, word breaks, clipping), the vertices and states it draws with, and
// the glyph pages it fills.
#include "tests/support/platform/recording_device.h"

#include <platform/font/font_face.h>

#include <d3dx8.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using platform::font::FontFace;
using platform::font::FontMatch;
using platform::font::MatchFontFile;

namespace {

using testsupport::DeviceCall;
using testsupport::RecordingDevice;
using testsupport::RecordingTexture;

// "ＭＳ ゴシック" as the program stores it.
const char kGothicUtf8[] = "ＭＳ ゴシック";
// The same name in code page 932.
const char kGothicCp932[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";

LOGFONTA MakeLogFont(LONG height, LONG weight = FW_NORMAL, const char* face = kGothicUtf8) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

struct Quad {
    float left, top, right, bottom; // vertex positions
    float u0, v0, u1, v1;
    D3DCOLOR colour;
    const void* page;
};

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

class FontLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        const LOGFONTA lf = MakeLogFont(16);
        ASSERT_EQ(D3DXCreateFontIndirect(&device_, &lf, &font_), D3D_OK);
        ASSERT_NE(font_, nullptr);
        RECT measure{0, 0, 640, 480};
        font_->DrawTextA("x", -1, &measure, DT_CALCRECT, 0);
        charWidth_ = measure.right;
        ASSERT_GT(charWidth_, 0);
        device_.ClearCalls();
    }
    void TearDown() override {
        if (font_) {
            EXPECT_EQ(font_->Release(), 0u);
        }
        EXPECT_EQ(device_.LiveTextures(), 0u) << "glyph pages not released";
    }

    // Draws and returns the quads sent, in order; the texture each was drawn with is its page.
    std::vector<Quad> Draw(const char* text, RECT rect, DWORD format = DT_EXPANDTABS | DT_NOPREFIX,
                           D3DCOLOR colour = 0xFFFFFFFF, INT* height = nullptr, INT count = -1) {
        device_.ClearCalls();
        const INT h = font_->DrawTextA(text, count, &rect, format, colour);
        if (height) *height = h;
        return Sent(colour);
    }

    // The quads drawn since the calls were last cleared.
    std::vector<Quad> Sent(D3DCOLOR colour = 0xFFFFFFFF) {
        std::vector<Quad> quads;
        const void* page = nullptr;
        for (const DeviceCall& call : device_.calls) {
            if (call.name == "SetTexture") page = call.object;
            if (call.name != "DrawPrimitiveUP" && call.name != "DrawPrimitive") continue;
            EXPECT_EQ(call.args[0], D3DPT_TRIANGLELIST);
            EXPECT_EQ(call.stride, 28u);
            EXPECT_EQ(call.fvf, 0x144u);
            const auto* v = reinterpret_cast<const GlyphVertex*>(call.vertices.data());
            const size_t n = call.vertices.size() / sizeof(GlyphVertex);
            EXPECT_EQ(n % 6, 0u);
            for (size_t i = 0; i + 6 <= n; i += 6) {
                Quad q{1e9f, 1e9f, -1e9f, -1e9f, 1e9f, 1e9f, -1e9f, -1e9f, v[i].diffuse, page};
                for (size_t k = i; k < i + 6; ++k) {
                    q.left = std::min(q.left, v[k].x), q.right = std::max(q.right, v[k].x);
                    q.top = std::min(q.top, v[k].y), q.bottom = std::max(q.bottom, v[k].y);
                    q.u0 = std::min(q.u0, v[k].u), q.u1 = std::max(q.u1, v[k].u);
                    q.v0 = std::min(q.v0, v[k].v), q.v1 = std::max(q.v1, v[k].v);
                    EXPECT_EQ(v[k].z, 0.0f);
                    EXPECT_EQ(v[k].rhw, 1.0f);
                    EXPECT_EQ(v[k].diffuse, colour);
                }
                quads.push_back(q);
            }
        }
        return quads;
    }

    // The quad of a single character drawn alone at the origin: its shape and texels.
    Quad Alone(const char* character) {
        auto quads = Draw(character, {0, 0, 640, 480});
        EXPECT_EQ(quads.size(), 1u) << character;
        return quads.empty() ? Quad{} : quads[0];
    }
    static bool SameGlyph(const Quad& a, const Quad& b) {
        return a.u0 == b.u0 && a.v0 == b.v0 && a.u1 == b.u1 && a.v1 == b.v1;
    }

    RecordingDevice device_;
    ID3DXFont* font_ = nullptr;
    int charWidth_ = 0;
};

TEST(FontFaceChoice, GothicNameResolvesToAJapaneseFaceInEitherEncoding) {
    FontMatch utf8, cp932, unknown;
    std::string error;
    ASSERT_TRUE(MatchFontFile(kGothicUtf8, false, utf8, error)) << error;
    ASSERT_TRUE(MatchFontFile(kGothicCp932, false, cp932, error)) << error;
    ASSERT_TRUE(MatchFontFile("No Such Face 123", false, unknown, error)) << error;
    EXPECT_EQ(utf8.family, "IPAGothic"); // the face installed for Japanese text
    EXPECT_EQ(cp932.file, utf8.file);
    EXPECT_EQ(unknown.file, utf8.file);
    // A name that exists is taken as it is.
    FontMatch dejavu;
    ASSERT_TRUE(MatchFontFile("DejaVu Sans Mono", false, dejavu, error));
    EXPECT_EQ(dejavu.family, "DejaVu Sans Mono");
    // Bold with no bold face installed is synthesised.
    FontMatch bold;
    ASSERT_TRUE(MatchFontFile(kGothicUtf8, true, bold, error));
    EXPECT_TRUE(bold.synthesiseBold);
}

// The notices' face: a Latin one whose '~' is a tilde at mid-height (the Japanese face draws it
// up at the cap line, where it reads as an overline), with Japanese from its fallback.
TEST(FontFaceChoice, ALatinFaceDrawsATildeAtMidHeightAndJapaneseFromItsFallback) {
    std::string error;
    auto latin = FontFace::Open("DejaVu Sans Mono", 16, false, error);
    auto gothic = FontFace::Open(kGothicUtf8, 16, false, error);
    ASSERT_TRUE(latin && gothic) << error;
    ASSERT_FALSE(latin->HasGlyph(U'あ'));
    latin->SetFallback(FontFace::Open(nullptr, 16, false, error));
    EXPECT_TRUE(latin->HasGlyph(U'あ'));
    platform::font::GlyphBitmap kana, latinTilde, gothicTilde;
    ASSERT_TRUE(latin->Render(U'あ', kana));
    EXPECT_GT(kana.height, 8);
    EXPECT_NEAR(kana.advance, 2 * latin->AverageCharWidth(), 1); // two columns of the Latin face
    ASSERT_TRUE(latin->Render('~', latinTilde) && gothic->Render('~', gothicTilde));
    // Heights of the glyphs' middles above the baseline.
    const double latinMiddle = latinTilde.top - latinTilde.height / 2.0;
    const double gothicMiddle = gothicTilde.top - gothicTilde.height / 2.0;
    EXPECT_LT(latinMiddle, 0.6 * latin->Ascent()) << "the tilde stands at the top";
    EXPECT_GT(gothicMiddle, latinMiddle + 2) << "the design's face draws it low as well";
}

TEST(FontFaceChoice, PositiveHeightIsTheCellNegativeTheEm) {
    std::string error;
    auto cell = FontFace::Open(kGothicUtf8, 16, false, error);
    ASSERT_TRUE(cell) << error;
    EXPECT_EQ(cell->CellHeight(), 16);
    EXPECT_GT(cell->Ascent(), 8);
    EXPECT_LT(cell->Ascent(), 16);
    auto em = FontFace::Open(kGothicUtf8, -16, false, error);
    ASSERT_TRUE(em) << error;
    EXPECT_GT(em->CellHeight(), 16); // ascent + descent exceed the em square
    // Half-width Latin in a Japanese monospace face: half the em.
    EXPECT_EQ(em->AverageCharWidth(), 8);
}

TEST_F(FontLayout, CreationFillsAsciiIntoOneDevicePageAndKeepsTheLogFont) {
    RecordingDevice device;
    const LOGFONTA lf = MakeLogFont(16);
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontIndirect(&device, &lf, &font), D3D_OK);
    const auto creates = device.CallsNamed("CreateTexture");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0]->args[2], 1);
    EXPECT_EQ(creates[0]->args[4], D3DFMT_A8R8G8B8);
    EXPECT_EQ(creates[0]->args[5], D3DPOOL_MANAGED);
    EXPECT_EQ(device.textures[0]->lockCount, 1);
    LOGFONTA back{};
    ASSERT_EQ(font->GetLogFont(&back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &lf, sizeof lf), 0);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(font->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, &device);
    owner->Release();
    // Drawing ASCII needs no further upload.
    RECT rect{0, 0, 640, 480};
    font->DrawTextA("Rotation/Sec : Push R or F Key", -1, &rect, DT_EXPANDTABS | DT_NOPREFIX,
                    0xFFFFFFFF);
    EXPECT_EQ(device.textures[0]->lockCount, 1);
    EXPECT_EQ(font->Release(), 0u);
    EXPECT_EQ(device.LiveTextures(), 0u);
}

TEST_F(FontLayout, GlyphsAdvanceAlongOneBaselineTexelForPixel) {
    INT height = 0;
    const auto quads =
        Draw("xxxx", {10, 20, 640, 480}, DT_EXPANDTABS | DT_NOPREFIX, 0x80FF2040, &height);
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(height, 16);
    for (size_t i = 0; i < quads.size(); ++i) {
        const Quad& q = quads[i];
        EXPECT_FLOAT_EQ(q.left - quads[0].left, float(i * charWidth_));
        EXPECT_EQ(q.top, quads[0].top);
        EXPECT_TRUE(SameGlyph(q, quads[0]));
        // Pixel centres on whole numbers: edges half a pixel before them, one texel a pixel.
        EXPECT_EQ(q.left + 0.5f, std::floor(q.left + 0.5f));
        EXPECT_EQ(q.top + 0.5f, std::floor(q.top + 0.5f));
        const float pageSize = 256.0f;
        EXPECT_NEAR((q.u1 - q.u0) * pageSize, q.right - q.left, 1e-3);
        EXPECT_NEAR((q.v1 - q.v0) * pageSize, q.bottom - q.top, 1e-3);
    }
    // The glyph sits inside its cell: below the rectangle's top, above the next line.
    EXPECT_GE(quads[0].top + 0.5f, 20.0f);
    EXPECT_LE(quads[0].bottom + 0.5f, 36.0f);
    EXPECT_GE(quads[0].left + 0.5f, 10.0f);
}

TEST_F(FontLayout, TabsStopEveryEightCharacterWidthsOnlyWhenExpanded) {
    const float tab = 8.0f * charWidth_;
    for (const char* text : {"x\tx", "xxxxxxx\tx"}) {
        const auto quads = Draw(text, {0, 0, 640, 480});
        EXPECT_FLOAT_EQ(quads.back().left - quads.front().left, tab) << text;
    }
    // Exactly on a stop, the tab goes to the next one.
    auto quads = Draw("xxxxxxxx\tx", {0, 0, 640, 480});
    EXPECT_FLOAT_EQ(quads.back().left - quads.front().left, 2 * tab);
    // Stops are counted from the rectangle's left edge.
    quads = Draw("x\tx", {100, 0, 640, 480});
    EXPECT_FLOAT_EQ(quads.back().left - quads.front().left, tab);
    // Without DT_EXPANDTABS the tab takes no room.
    quads = Draw("x\tx", {0, 0, 640, 480}, DT_NOPREFIX);
    EXPECT_FLOAT_EQ(quads.back().left - quads.front().left, float(charWidth_));
}

TEST_F(FontLayout, AmpersandPrintsWithNoPrefixAndMarksOtherwise) {
    const Quad amp = Alone("&");
    const Quad x = Alone("x");
    auto quads = Draw("x&x", {0, 0, 640, 480}, DT_NOPREFIX);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_TRUE(SameGlyph(quads[1], amp));
    quads = Draw("x&x", {0, 0, 640, 480}, 0);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_TRUE(SameGlyph(quads[1], x));
    EXPECT_FLOAT_EQ(quads[1].left - quads[0].left, float(charWidth_)); // no gap left behind
    quads = Draw("a&&b", {0, 0, 640, 480}, 0);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_TRUE(SameGlyph(quads[1], amp));
    EXPECT_EQ(Draw("a&", {0, 0, 640, 480}, 0).size(), 1u);
}

TEST_F(FontLayout, LineBreaksStartNewLinesAtTheLeftEdge) {
    INT height = 0;
    for (const char* text : {"xx\nx", "xx\r\nx", "xx\rx"}) {
        const auto quads =
            Draw(text, {5, 7, 640, 480}, DT_EXPANDTABS | DT_NOPREFIX, 0xFFFFFFFF, &height);
        ASSERT_EQ(quads.size(), 3u) << text;
        EXPECT_EQ(height, 32) << text;
        EXPECT_EQ(quads[2].left, quads[0].left) << text;
        EXPECT_EQ(quads[2].top, quads[0].top + 16) << text;
    }
    // One line only when asked for.
    const auto quads =
        Draw("xx\nx", {0, 0, 640, 480}, DT_SINGLELINE | DT_NOPREFIX, 0xFFFFFFFF, &height);
    EXPECT_EQ(height, 16);
    EXPECT_EQ(quads[2].top, quads[0].top);
    // Blank lines count; an empty text has no height.
    Draw("x\n\nx", {0, 0, 640, 480}, DT_NOPREFIX, 0xFFFFFFFF, &height);
    EXPECT_EQ(height, 48);
    EXPECT_TRUE(Draw("", {0, 0, 640, 480}, DT_NOPREFIX, 0xFFFFFFFF, &height).empty());
    EXPECT_EQ(height, 0);
}

TEST_F(FontLayout, LongLinesAreClippedAtTheRightEdgeNotWrapped) {
    const std::string wide(100, 'x'); // 100 characters: wider than 640 pixels
    const RECT rect{0, 0, 640, 480};
    const auto quads = Draw(wide.c_str(), rect);
    ASSERT_FALSE(quads.empty());
    EXPECT_LT(quads.size(), 100u);
    for (const Quad& q : quads) {
        EXPECT_LE(q.right + 0.5f, 640.0f);
        EXPECT_EQ(q.top, quads[0].top);                              // one line
        EXPECT_NEAR((q.u1 - q.u0) * 256.0f, q.right - q.left, 1e-3); // clipped texels follow
    }
    // A glyph cut by the edge keeps its left texels.
    const Quad whole = Alone("x");
    const Quad& last = quads.back();
    EXPECT_FLOAT_EQ(last.u0, whole.u0);
    // The same with the clip inside the glyph run: nothing right of it.
    const auto clipped = Draw(wide.c_str(), {0, 0, 37, 480});
    for (const Quad& q : clipped)
        EXPECT_LE(q.right + 0.5f, 37.0f);
    EXPECT_FALSE(clipped.empty());
    // DT_NOCLIP draws everything.
    EXPECT_EQ(Draw(wide.c_str(), {0, 0, 37, 480}, DT_NOPREFIX | DT_NOCLIP).size(), 100u);
}

TEST_F(FontLayout, TextNearTheBottomShowsOnlyItsTop) {
    const auto quads = Draw("xXgj", {0, 470, 640, 480});
    ASSERT_FALSE(quads.empty());
    for (const Quad& q : quads) {
        EXPECT_LE(q.bottom + 0.5f, 480.0f);
        EXPECT_GE(q.top + 0.5f, 470.0f);
    }
    EXPECT_TRUE(Draw("x\nx", {0, 480, 640, 480}).empty());
}

TEST_F(FontLayout, CalcRectMeasuresWithoutDrawing) {
    RECT rect{10, 20, 11, 21};
    EXPECT_EQ(font_->DrawTextA("xx\nxxxx", -1, &rect, DT_CALCRECT | DT_NOPREFIX, 0xFFFFFFFF), 32);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 10 + 4 * charWidth_);
    EXPECT_EQ(rect.bottom, 52);
    EXPECT_EQ(device_.CountOf("DrawPrimitiveUP") + device_.CountOf("DrawPrimitive"), 0u);
    EXPECT_EQ(device_.CountOf("SetRenderState"), 0u);
}

TEST_F(FontLayout, WordBreakWrapsAtSpacesOnlyWhenAsked) {
    const RECT narrow{0, 0, 5 * charWidth_, 480};
    INT height = 0;
    auto quads = Draw("xxx xxx", narrow, DT_NOPREFIX | DT_WORDBREAK, 0xFFFFFFFF, &height);
    ASSERT_EQ(quads.size(), 6u);
    EXPECT_EQ(height, 32);
    EXPECT_EQ(quads[3].left, quads[0].left);
    EXPECT_EQ(quads[3].top, quads[0].top + 16);
    // A word longer than the line stays whole and is clipped.
    quads = Draw("aaaaaaaa", narrow, DT_NOPREFIX | DT_WORDBREAK, 0xFFFFFFFF, &height);
    EXPECT_EQ(height, 16);
    quads = Draw("xxx xxx", narrow, DT_NOPREFIX, 0xFFFFFFFF, &height);
    EXPECT_EQ(height, 16);
}

TEST_F(FontLayout, BeginEndSetsTextStatesAndPutsTheCallersBack) {
    RecordingTexture* bound =
        new RecordingTexture(&device_, 4, 4, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    device_.textures.emplace_back(bound);
    device_.SetRenderState(D3DRS_LIGHTING, TRUE);
    device_.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device_.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device_.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device_.SetTexture(0, bound);
    device_.SetVertexShader(0x112);
    const auto before = device_.renderStates;
    const auto stagesBefore = device_.stageStates;
    const int refsBefore = bound->refCount;

    ASSERT_EQ(font_->Begin(), D3D_OK);
    EXPECT_EQ(device_.renderStates[D3DRS_LIGHTING], DWORD(FALSE));
    EXPECT_EQ(device_.renderStates[D3DRS_ALPHABLENDENABLE], DWORD(TRUE));
    EXPECT_EQ(device_.renderStates[D3DRS_ZENABLE], DWORD(D3DZB_FALSE));
    EXPECT_EQ(device_.renderStates[D3DRS_CULLMODE], DWORD(D3DCULL_NONE));
    // Everything drawn inside the bracket goes out at End, in one draw.
    Draw("ok", {0, 0, 640, 480});
    RECT second{0, 16, 640, 480};
    font_->DrawTextA("ok", -1, &second, DT_NOPREFIX, 0xFFFFFFFF);
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(font_->End(), D3D_OK);
    const auto quads = Sent();
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(device_.CountOf("DrawPrimitive") + device_.CountOf("DrawPrimitiveUP"), 1u);
    EXPECT_NE(quads[0].page, bound);
    EXPECT_EQ(quads[2].top, quads[0].top + 16.0f);

    // Every state is back to what the device held (0 for those never set).
    for (const auto& [state, value] : device_.renderStates)
        EXPECT_EQ(value, before.count(state) ? before.at(state) : 0u) << "render state " << state;
    for (const auto& [key, value] : device_.stageStates)
        EXPECT_EQ(value, stagesBefore.count(key) ? stagesBefore.at(key) : 0u)
            << "stage " << key.first << " state " << key.second;
    EXPECT_EQ(device_.stageTextures[0], bound);
    EXPECT_EQ(device_.vertexShader, 0x112u);
    EXPECT_EQ(bound->refCount, refsBefore);
    EXPECT_EQ(font_->End(), D3DERR_INVALIDCALL); // unmatched

    // Drawing outside Begin/End brackets itself.
    Draw("ok", {0, 0, 640, 480});
    EXPECT_EQ(device_.renderStates[D3DRS_LIGHTING], DWORD(TRUE));
    EXPECT_EQ(device_.renderStates[D3DRS_CULLMODE], DWORD(D3DCULL_CCW));
    EXPECT_EQ(device_.stageTextures[0], bound);
    EXPECT_EQ(device_.vertexShader, 0x112u);
    EXPECT_EQ(bound->refCount, refsBefore);
    bound->Release();
}

TEST_F(FontLayout, NewCharactersAreAddedToThePageOnFirstUse) {
    auto* page = device_.textures[0].get();
    const int locks = page->lockCount;
    const auto quads = Draw("ゴシック", {0, 0, 640, 480});
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(page->lockCount, locks + 1); // one upload for the whole text
    RECT measure{0, 0, 640, 480};
    font_->DrawTextA("ゴシック", -1, &measure, DT_CALCRECT, 0);
    EXPECT_GT(measure.right, 6 * charWidth_); // full-width characters: about two cells each
    // The texels under the first quad are white with coverage in alpha, and some are set.
    const Quad& q = quads[0];
    int covered = 0;
    for (int y = int(q.v0 * 256); y < int(q.v1 * 256); ++y)
        for (int x = int(q.u0 * 256); x < int(q.u1 * 256); ++x) {
            const uint8_t* t = page->levels[0].texels.data() + (y * 256 + x) * 4;
            if (t[3]) {
                ++covered;
                EXPECT_EQ(t[0] & t[1] & t[2], 0xFF);
            }
        }
    EXPECT_GT(covered, 10);
    Draw("ゴシック", {0, 0, 640, 480});
    EXPECT_EQ(page->lockCount, locks + 1); // cached
}

TEST_F(FontLayout, CountsAndBadInputAreHandled) {
    EXPECT_EQ(Draw("abc", {0, 0, 640, 480}, DT_NOPREFIX, 0xFFFFFFFF, nullptr, 2).size(), 2u);
    EXPECT_EQ(Draw("ab\0c", {0, 0, 640, 480}, DT_NOPREFIX, 0xFFFFFFFF, nullptr, 4).size(), 2u);
    RECT rect{0, 0, 640, 480};
    EXPECT_EQ(font_->DrawTextA(nullptr, -1, &rect, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(font_->DrawTextA("abc", -1, nullptr, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(font_->DrawTextA("abc", -5, &rect, 0, 0xFFFFFFFF), 0);
    // Broken UTF-8 draws something for each bad sequence and goes on.
    const auto quads = Draw("a\xff\xe3\x82z", {0, 0, 640, 480}, DT_NOPREFIX);
    EXPECT_GE(quads.size(), 2u);
    // An upside-down rectangle clips everything.
    EXPECT_TRUE(Draw("abc", {100, 100, 50, 50}).empty());
}

TEST(FontCreate, RefusesNullArgumentsAndADeviceWithoutTextures) {
    RecordingDevice device;
    const LOGFONTA lf = MakeLogFont(16);
    ID3DXFont* font = reinterpret_cast<ID3DXFont*>(0x1);
    EXPECT_EQ(D3DXCreateFontIndirect(nullptr, &lf, &font), D3DERR_INVALIDCALL);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(D3DXCreateFontIndirect(&device, nullptr, &font), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateFontIndirect(&device, &lf, nullptr), D3DERR_INVALIDCALL);
    device.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_LT(D3DXCreateFontIndirect(&device, &lf, &font), 0);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(device.refCount, 1); // the failed font let go of the device
}

TEST(FontCreate, BoldGlyphsAreHeavier) {
    RecordingDevice device;
    auto coverage = [&device](LONG weight) {
        const LOGFONTA lf = MakeLogFont(16, weight);
        ID3DXFont* font = nullptr;
        EXPECT_EQ(D3DXCreateFontIndirect(&device, &lf, &font), D3D_OK);
        long sum = 0;
        for (uint8_t b : device.textures.back()->levels[0].texels)
            sum += b;
        font->Release();
        return sum;
    };
    EXPECT_GT(coverage(FW_BOLD), coverage(FW_NORMAL) * 11 / 10);
}

} // namespace
