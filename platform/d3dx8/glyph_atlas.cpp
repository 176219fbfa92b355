// Glyph pages of the text stand-in, filled through IDirect3DDevice8::CreateTexture and
// IDirect3DTexture8::LockRect/UnlockRect only.
// Packing is by shelves, one pixel apart so neighbours never bleed into a glyph's quad.
// Limits: at most kMaxPages pages; a glyph that finds no room, or is larger than a page, keeps
// its advance but is not drawn.
#include <platform/d3dx8/glyph_atlas.h>

#include <algorithm>
#include <cstring>

namespace platform::d3dx {

namespace {
constexpr int kGap = 1;
}

GlyphAtlas::GlyphAtlas(IDirect3DDevice8* device, font::FontFace* face, UINT pageSize)
    : device_(device), face_(face), pageSize_(pageSize) {}

GlyphAtlas::~GlyphAtlas() {
    for (PageState& page : pages_)
        if (page.texture) page.texture->Release();
}

bool GlyphAtlas::Place(int width, int height, AtlasGlyph& glyph) {
    const int size = static_cast<int>(pageSize_);
    if (width + kGap > size || height + kGap > size) return false;
    if (!pages_.empty() && shelfX_ + width + kGap > size) { // next shelf
        shelfY_ += shelfHeight_;
        shelfX_ = 0;
        shelfHeight_ = 0;
    }
    if (pages_.empty() || shelfY_ + height + kGap > size) { // next page
        if (static_cast<int>(pages_.size()) >= kMaxPages) return false;
        PageState page;
        if (FAILED(device_->CreateTexture(pageSize_, pageSize_, 1, 0, D3DFMT_A8R8G8B8,
                                          D3DPOOL_MANAGED, &page.texture)) ||
            !page.texture)
            return false;
        pages_.push_back(page);
        shelfX_ = shelfY_ = shelfHeight_ = 0;
    }
    glyph.page = static_cast<int>(pages_.size()) - 1;
    glyph.x = shelfX_;
    glyph.y = shelfY_;
    shelfX_ += width + kGap;
    shelfHeight_ = std::max(shelfHeight_, height + kGap);
    return true;
}

const AtlasGlyph& GlyphAtlas::Get(char32_t codePoint) {
    if (auto it = glyphs_.find(codePoint); it != glyphs_.end()) return it->second;
    AtlasGlyph glyph;
    font::GlyphBitmap bitmap;
    if (face_->Render(codePoint, bitmap)) {
        glyph.advance = bitmap.advance;
        glyph.left = bitmap.left;
        glyph.top = bitmap.top;
        if (bitmap.width > 0 && bitmap.height > 0 && Place(bitmap.width, bitmap.height, glyph)) {
            glyph.width = bitmap.width;
            glyph.height = bitmap.height;
            pending_.push_back({codePoint, std::move(bitmap.coverage)});
        } else {
            glyph.page = -1;
        }
    }
    return glyphs_.emplace(codePoint, glyph).first->second;
}

bool GlyphAtlas::Upload() {
    if (pending_.empty()) return true;
    bool ok = true;
    for (int index = 0; index < PageCount(); ++index) {
        PageState& page = pages_[size_t(index)];
        bool any = false;
        for (const Pending& p : pending_)
            any |= glyphs_[p.codePoint].page == index;
        if (!any) continue;
        D3DLOCKED_RECT locked{};
        if (FAILED(page.texture->LockRect(0, &locked, nullptr, 0)) || !locked.pBits ||
            locked.Pitch < static_cast<INT>(pageSize_ * 4)) {
            ok = false;
            for (const Pending& p : pending_)
                if (glyphs_[p.codePoint].page == index) glyphs_[p.codePoint].page = -1;
            continue;
        }
        auto* bits = static_cast<uint8_t*>(locked.pBits);
        if (page.fresh) {
            for (UINT y = 0; y < pageSize_; ++y)
                std::memset(bits + size_t(y) * size_t(locked.Pitch), 0, size_t(pageSize_) * 4);
            page.fresh = false;
        }
        for (const Pending& p : pending_) {
            const AtlasGlyph& glyph = glyphs_[p.codePoint];
            if (glyph.page != index) continue;
            for (int y = 0; y < glyph.height; ++y) {
                uint8_t* texel =
                    bits + size_t(glyph.y + y) * size_t(locked.Pitch) + size_t(glyph.x) * 4;
                const uint8_t* coverage = p.coverage.data() + size_t(y) * size_t(glyph.width);
                for (int x = 0; x < glyph.width; ++x, texel += 4) {
                    texel[0] = texel[1] = texel[2] = 0xFF; // B, G, R: white, tinted by the colour
                    texel[3] = coverage[x];
                }
            }
        }
        page.texture->UnlockRect(0);
    }
    pending_.clear();
    return ok;
}

} // namespace platform::d3dx
