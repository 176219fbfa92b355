// D3DXCreateFontIndirect and ID3DXFont on FreeType (font_face.cpp) with a glyph cache in device
// textures (glyph_atlas.cpp).
// DrawTextA takes UTF-8 text and honours DT_EXPANDTABS (stops every 8 average character
// widths), DT_NOPREFIX (without it "&&" prints "&" and a lone "&" is dropped; no underline is
// drawn), DT_SINGLELINE, DT_WORDBREAK (at spaces), DT_NOCLIP and DT_CALCRECT. Each glyph is a
// quad of FVF XYZRHW | DIFFUSE | TEX1, texel for pixel (pixel centres on whole numbers, as for
// all pretransformed vertices), its texture modulated by the colour and clipped to the
// rectangle, so no pixel outside it is touched.
// Begin/End (or DrawTextA alone, which brackets itself) save and restore every device state the
// drawing changes. The quads of everything drawn between them are gathered and drawn at End, in
// one DrawPrimitive from a vertex buffer the font keeps (one per run of glyphs on the same
// page, so the order of drawing stays that of the calls).
// Limits: left/top alignment only; no underline, strike-out or italic; no kerning; states the
// caller changes between Begin and End apply to all the text drawn in that bracket.
#include <platform/win32/com_object.h>
#include <d3dx8.h>

#include <platform/font/font_face.h>
#include <platform/font/text_codec.h>
#include <platform/d3dx8/glyph_atlas.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <platform/i18n/i18n.h>

namespace {

using platform::d3dx::AtlasGlyph;
using platform::d3dx::GlyphAtlas;
using platform::font::DecodeUtf8;
using platform::font::FontFace;

constexpr DWORD kGlyphFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr int kTabColumns = 8;

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(GlyphVertex) == 28);

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
        if (glyphBuffer_) glyphBuffer_->Release();
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
        if (--beginDepth_ == 0) {
            Flush();
            RestoreState();
        }
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
    // Draws the gathered quads of one page and empties the batch.
    void Flush();
    bool FillGlyphBuffer();

    IDirect3DDevice8* device_;
    LOGFONTA logFont_;
    // Scratch reused by every DrawTextA, so drawing the same lines each frame allocates nothing.
    std::vector<char32_t> decoded_;
    std::vector<char32_t> chars_;
    std::vector<PlacedGlyph> placed_;
    std::vector<GlyphVertex> batch_; // quads waiting for End, all on page batchPage_
    int batchPage_ = -1;
    IDirect3DVertexBuffer8* glyphBuffer_ = nullptr;
    UINT glyphBufferVertices_ = 0;
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
            if (batchPage_ != page) {
                Flush();
                batchPage_ = page;
            }
            const int u1 = u0 + (x1 - x0), v1 = v0 + (y1 - y0);
            // Pixel centres sit on whole numbers: the quad's edges go half a pixel before them.
            const float l = x0 - 0.5f, t = y0 - 0.5f, r = x1 - 0.5f, b = y1 - 0.5f;
            const GlyphVertex topLeft{l, t, 0, 1, color, u0 * texel, v0 * texel};
            const GlyphVertex topRight{r, t, 0, 1, color, u1 * texel, v0 * texel};
            const GlyphVertex bottomLeft{l, b, 0, 1, color, u0 * texel, v1 * texel};
            const GlyphVertex bottomRight{r, b, 0, 1, color, u1 * texel, v1 * texel};
            batch_.insert(batch_.end(),
                          {topLeft, topRight, bottomLeft, topRight, bottomRight, bottomLeft});
        }
    }
}

// Copies the batch into the font's vertex buffer, which grows to the largest batch seen and
// is kept, so that drawing the same text every frame allocates nothing.
bool Font::FillGlyphBuffer() {
    const size_t count = batch_.size();
    if (count > 0x3FFFFFFF / sizeof(GlyphVertex)) return false;
    if (count > glyphBufferVertices_) {
        const size_t previous = glyphBufferVertices_;
        if (glyphBuffer_) glyphBuffer_->Release();
        glyphBuffer_ = nullptr;
        glyphBufferVertices_ = 0;
        // Doubled, so that text that grows a little at a time does not make a buffer a frame.
        const UINT vertices = static_cast<UINT>(std::min<size_t>(
            std::max<size_t>({count, previous * 2, 4096}), 0x3FFFFFFF / sizeof(GlyphVertex)));
        if (FAILED(device_->CreateVertexBuffer(vertices * sizeof(GlyphVertex),
                                               D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kGlyphFvf,
                                               D3DPOOL_DEFAULT, &glyphBuffer_)))
            return false;
        glyphBufferVertices_ = vertices;
    }
    const UINT bytes = static_cast<UINT>(count * sizeof(GlyphVertex));
    BYTE* target = nullptr;
    if (FAILED(glyphBuffer_->Lock(0, bytes, &target, D3DLOCK_DISCARD))) return false;
    std::memcpy(target, batch_.data(), bytes);
    glyphBuffer_->Unlock();
    return true;
}

void Font::Flush() {
    if (batch_.empty() || batchPage_ < 0) {
        batch_.clear();
        return;
    }
    device_->SetTexture(0, atlas_.Page(batchPage_));
    device_->SetVertexShader(kGlyphFvf);
    const UINT triangles = static_cast<UINT>(batch_.size() / 3);
    if (FillGlyphBuffer()) {
        device_->SetStreamSource(0, glyphBuffer_, sizeof(GlyphVertex));
        device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
        device_->SetStreamSource(0, nullptr, 0); // as a draw from user memory leaves it
    } else {
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, batch_.data(), sizeof(GlyphVertex));
    }
    batch_.clear();
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
    const std::string faceName(logFont->lfFaceName, strnlen(logFont->lfFaceName, LF_FACESIZE));
    std::unique_ptr<FontFace> face =
        FontFace::Open(faceName.c_str(), logFont->lfHeight, logFont->lfWeight >= FW_BOLD, error);
    if (!face) {
        std::fprintf(stderr, _("font: %s\n"), error.c_str());
        return E_FAIL;
    }
    // A face asked for without the Japanese character set still draws Japanese text (a
    // translated line), from the Japanese face the lookup falls back on.
    if (logFont->lfCharSet != SHIFTJIS_CHARSET && !face->HasGlyph(U'\u3042')) {
        std::string ignored;
        face->SetFallback(
            FontFace::Open(nullptr, logFont->lfHeight, logFont->lfWeight >= FW_BOLD, ignored));
    }
    auto* created = new Font(device, *logFont, std::move(face));
    if (!created->Prefill()) {
        std::fprintf(stderr, _("font: the device refused the glyph texture\n"));
        created->Release();
        return E_OUTOFMEMORY;
    }
    *font = created;
    return D3D_OK;
}
