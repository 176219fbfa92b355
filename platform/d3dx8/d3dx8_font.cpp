// D3DXCreateFontIndirect and ID3DXFont on FreeType (font_face.cpp) with a glyph cache in device
// textures (glyph_atlas.cpp).
// DrawTextA takes UTF-8 text and honours DT_EXPANDTABS (stops every 8 average character
// widths), DT_NOPREFIX (without it "&&" prints "&" and a lone "&" is dropped; no underline is
// drawn), DT_SINGLELINE, DT_WORDBREAK (at spaces), DT_NOCLIP and DT_CALCRECT. Each glyph is a
// quad of FVF XYZRHW | DIFFUSE | TEX1 drawn with DrawPrimitiveUP, texel for pixel (pixel centres
// on whole numbers, as for all pretransformed vertices), its texture modulated by the colour and
// clipped to the rectangle, so no pixel outside it is touched.
// Begin/End (or DrawTextA alone, which brackets itself) save and restore every device state the
// drawing changes.
// Limits: left/top alignment only; no underline, strike-out or italic; no kerning.
#include <com_object.h>
#include <d3dx8.h>

#include "platform/d3dx8/font_face.h"
#include "platform/d3dx8/glyph_atlas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kGlyphFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr int kTabColumns = 8;

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(GlyphVertex) == 28);

// Decodes UTF-8 into `out` (cleared first, its capacity kept); malformed sequences, overlong
// forms and surrogates become U+FFFD.
void DecodeUtf8(const char* text, size_t length, std::vector<char32_t>& out) {
    out.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = 0, minimum = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        int k = 1;
        for (; k <= extra && i + k < length && (s[i + k] & 0xC0) == 0x80; ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        if (k <= extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i += k; // the lead byte and the continuation bytes that were there
            continue;
        }
        out.push_back(cp);
        i += 1 + extra;
    }
}

// The render and stage states the text drawing sets, with the values it sets them to.
struct StateValue {
    D3DRENDERSTATETYPE state;
    DWORD value;
};
const StateValue kTextRenderStates[] = {
    {D3DRS_LIGHTING, FALSE},
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_ZWRITEENABLE, FALSE},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
};
struct StageValue {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE type;
    DWORD value;
};
const StageValue kTextStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_MODULATE},    {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},    {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
    {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},    {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_MINFILTER, D3DTEXF_POINT},    {0, D3DTSS_MAGFILTER, D3DTEXF_POINT},
    {0, D3DTSS_MIPFILTER, D3DTEXF_NONE},     {0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP},
    {0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP}, {0, D3DTSS_TEXCOORDINDEX, 0},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},     {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
};

struct PlacedGlyph {
    char32_t c;
    const AtlasGlyph* glyph;
    int x;    // pen position from the rectangle's left edge
    int line; // visual line index
};

class Font final : public platform::ComObject<ID3DXFont> {
  public:
    Font(IDirect3DDevice8* device, const LOGFONTA& logFont, std::unique_ptr<FontFace> face)
        : device_(device), logFont_(logFont), face_(std::move(face)),
          atlas_(device, face_.get(), PageSizeFor(face_->CellHeight())) {
        device_->AddRef();
    }
    ~Font() override {
        while (beginDepth_ > 0)
            End();
        device_->Release();
    }

    // ASCII goes onto the first page now, so ordinary text never waits for an upload.
    bool Prefill() {
        for (char32_t c = 0x20; c < 0x7F; ++c)
            atlas_.Get(c);
        return atlas_.Upload() && atlas_.PageCount() > 0;
    }

    HRESULT GetDevice(IDirect3DDevice8** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }
    HRESULT GetLogFont(LOGFONTA* logFont) override {
        if (!logFont) return D3DERR_INVALIDCALL;
        *logFont = logFont_;
        return D3D_OK;
    }
    HRESULT Begin() override {
        if (beginDepth_++ == 0) SaveAndSetState();
        return D3D_OK;
    }
    HRESULT End() override {
        if (beginDepth_ == 0) return D3DERR_INVALIDCALL;
        if (--beginDepth_ == 0) RestoreState();
        return D3D_OK;
    }
    INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override;

  private:
    static UINT PageSizeFor(int cell) {
        return cell <= 24 ? 256 : cell <= 64 ? 512 : cell <= 256 ? 1024 : 2048;
    }
    void SaveAndSetState();
    void RestoreState();
    // Lays the text out from x = 0; returns the number of visual lines and the widest line.
    int Layout(const std::vector<char32_t>& text, DWORD format, int wrapWidth,
               std::vector<PlacedGlyph>& placed, int& widest);
    void Draw(const std::vector<PlacedGlyph>& placed, const RECT& rect, DWORD format,
              D3DCOLOR color);

    IDirect3DDevice8* device_;
    LOGFONTA logFont_;
    // Scratch reused by every DrawTextA, so drawing the same lines each frame allocates nothing.
    std::vector<char32_t> decoded_;
    std::vector<char32_t> chars_;
    std::vector<PlacedGlyph> placed_;
    std::vector<GlyphVertex> vertices_;
    std::unique_ptr<FontFace> face_;
    GlyphAtlas atlas_;
    int beginDepth_ = 0;

    DWORD savedRender_[std::size(kTextRenderStates)] = {};
    DWORD savedStage_[std::size(kTextStageStates)] = {};
    IDirect3DBaseTexture8* savedTexture_ = nullptr;
    DWORD savedShader_ = 0;
};

void Font::SaveAndSetState() {
    for (size_t i = 0; i < std::size(kTextRenderStates); ++i) {
        device_->GetRenderState(kTextRenderStates[i].state, &savedRender_[i]);
        device_->SetRenderState(kTextRenderStates[i].state, kTextRenderStates[i].value);
    }
    for (size_t i = 0; i < std::size(kTextStageStates); ++i) {
        const StageValue& s = kTextStageStates[i];
        device_->GetTextureStageState(s.stage, s.type, &savedStage_[i]);
        device_->SetTextureStageState(s.stage, s.type, s.value);
    }
    savedTexture_ = nullptr;
    device_->GetTexture(0, &savedTexture_); // holds a reference until RestoreState
    device_->GetVertexShader(&savedShader_);
    device_->SetVertexShader(kGlyphFvf);
}

void Font::RestoreState() {
    for (size_t i = 0; i < std::size(kTextRenderStates); ++i)
        device_->SetRenderState(kTextRenderStates[i].state, savedRender_[i]);
    for (size_t i = 0; i < std::size(kTextStageStates); ++i)
        device_->SetTextureStageState(kTextStageStates[i].stage, kTextStageStates[i].type,
                                      savedStage_[i]);
    device_->SetTexture(0, savedTexture_);
    if (savedTexture_) savedTexture_->Release();
    savedTexture_ = nullptr;
    device_->SetVertexShader(savedShader_);
}

int Font::Layout(const std::vector<char32_t>& text, DWORD format, int wrapWidth,
                 std::vector<PlacedGlyph>& placed, int& widest) {
    const bool singleLine = format & DT_SINGLELINE;
    const bool expandTabs = format & DT_EXPANDTABS;
    const bool prefix = !(format & DT_NOPREFIX);
    const bool wordBreak = (format & DT_WORDBREAK) && !singleLine;
    const int tabWidth = std::max(1, kTabColumns * face_->AverageCharWidth());

    // Characters as they will print: prefix marks resolved, line breaks kept as '\n'.
    std::vector<char32_t>& chars = chars_;
    chars.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (!singleLine) chars.push_back('\n');
            continue;
        }
        if (prefix && c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                ++i;
            } else {
                continue; // marks the next character; printed without the underline
            }
        }
        chars.push_back(c);
    }

    int line = 0;
    int x = 0;
    widest = 0;
    size_t lineStart = placed.size();
    size_t breakAfter = SIZE_MAX; // index in `chars` after the last space on this line
    size_t breakPlaced = 0;       // placed.size() at that point
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i];
        if (c == '\n') {
            widest = std::max(widest, x);
            ++line;
            x = 0;
            lineStart = placed.size();
            breakAfter = SIZE_MAX;
            continue;
        }
        if (c == '\t') {
            if (expandTabs) x = (x / tabWidth + 1) * tabWidth;
            if (wordBreak) breakAfter = i + 1, breakPlaced = placed.size();
            continue;
        }
        const AtlasGlyph& glyph = atlas_.Get(c);
        if (wordBreak && c != ' ' && x + glyph.advance > wrapWidth && breakAfter != SIZE_MAX &&
            breakPlaced > lineStart) {
            // Move the word that overflows to a new line; the spaces before it go.
            placed.resize(breakPlaced);
            while (placed.size() > lineStart && placed.back().c == ' ')
                placed.pop_back();
            if (placed.size() > lineStart)
                widest = std::max(widest, placed.back().x + placed.back().glyph->advance);
            ++line;
            x = 0;
            lineStart = placed.size();
            i = breakAfter;
            while (i < chars.size() && (chars[i] == ' ' || chars[i] == '\t'))
                ++i;
            breakAfter = SIZE_MAX;
            --i; // the loop's increment lands on the first character of the word
            continue;
        }
        placed.push_back({c, &glyph, x, line});
        x += glyph.advance;
        if (wordBreak && c == ' ') breakAfter = i + 1, breakPlaced = placed.size();
    }
    widest = std::max(widest, x);
    return chars.empty() ? 0 : line + 1;
}

void Font::Draw(const std::vector<PlacedGlyph>& placed, const RECT& rect, DWORD format,
                D3DCOLOR color) {
    const bool clip = !(format & DT_NOCLIP);
    const float texel = 1.0f / static_cast<float>(atlas_.PageSize());
    const int cell = face_->CellHeight();
    for (int page = 0; page < atlas_.PageCount(); ++page) {
        std::vector<GlyphVertex>& vertices = vertices_;
        vertices.clear();
        for (const PlacedGlyph& p : placed) {
            const AtlasGlyph& g = *p.glyph;
            if (g.page != page) continue;
            int x0 = rect.left + p.x + g.left;
            int y0 = rect.top + p.line * cell + face_->Ascent() - g.top;
            int x1 = x0 + g.width, y1 = y0 + g.height;
            int u0 = g.x, v0 = g.y;
            if (clip) {
                if (x0 < rect.left) u0 += rect.left - x0, x0 = rect.left;
                if (y0 < rect.top) v0 += rect.top - y0, y0 = rect.top;
                x1 = std::min<int>(x1, rect.right);
                y1 = std::min<int>(y1, rect.bottom);
            }
            if (x1 <= x0 || y1 <= y0) continue;
            const int u1 = u0 + (x1 - x0), v1 = v0 + (y1 - y0);
            // Pixel centres sit on whole numbers: the quad's edges go half a pixel before them.
            const float l = x0 - 0.5f, t = y0 - 0.5f, r = x1 - 0.5f, b = y1 - 0.5f;
            const GlyphVertex topLeft{l, t, 0, 1, color, u0 * texel, v0 * texel};
            const GlyphVertex topRight{r, t, 0, 1, color, u1 * texel, v0 * texel};
            const GlyphVertex bottomLeft{l, b, 0, 1, color, u0 * texel, v1 * texel};
            const GlyphVertex bottomRight{r, b, 0, 1, color, u1 * texel, v1 * texel};
            vertices.insert(vertices.end(),
                            {topLeft, topRight, bottomLeft, topRight, bottomRight, bottomLeft});
        }
        if (vertices.empty()) continue;
        device_->SetTexture(0, atlas_.Page(page));
        device_->SetVertexShader(kGlyphFvf);
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                 vertices.data(), sizeof(GlyphVertex));
    }
}

INT Font::DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) {
    if (!text || !rect || count < -1) return 0;
    const size_t length = count == -1 ? std::strlen(text) : strnlen(text, size_t(count));
    DecodeUtf8(text, length, decoded_);
    std::vector<PlacedGlyph>& placed = placed_;
    placed.clear();
    int widest = 0;
    const int wrapWidth = std::max<int>(0, rect->right - rect->left);
    const int lines = Layout(decoded_, format, wrapWidth, placed, widest);
    const int height = lines * face_->CellHeight();
    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    atlas_.Upload();
    const bool bracket = beginDepth_ == 0;
    if (bracket) Begin();
    Draw(placed, *rect, format, color);
    if (bracket) End();
    return height;
}

} // namespace

HRESULT D3DXCreateFontIndirect(IDirect3DDevice8* device, const LOGFONTA* logFont,
                               ID3DXFont** font) {
    if (font) *font = nullptr;
    if (!device || !logFont || !font) return D3DERR_INVALIDCALL;
    std::string error;
    std::unique_ptr<FontFace> face = FontFace::Open(*logFont, error);
    if (!face) {
        std::fprintf(stderr, "font: %s\n", error.c_str());
        return E_FAIL;
    }
    auto* created = new Font(device, *logFont, std::move(face));
    if (!created->Prefill()) {
        std::fprintf(stderr, "font: the device refused the glyph texture\n");
        created->Release();
        return E_OUTOFMEMORY;
    }
    *font = created;
    return D3D_OK;
}
