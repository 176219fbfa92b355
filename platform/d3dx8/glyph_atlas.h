// Glyph cache of the text stand-in: rasterised glyphs packed into A8R8G8B8 page textures made
// through the device interface (white texels, coverage in alpha), so drawing is a textured quad
// modulated by the text colour.
#pragma once

#include <d3d8.h>

#include <platform/font/font_face.h>

#include <unordered_map>
#include <vector>

namespace platform::d3dx {

struct AtlasGlyph {
    int page = -1; // -1: nothing to draw (blank, or no room)
    int x = 0, y = 0, width = 0, height = 0;
    int left = 0, top = 0, advance = 0;
};

class GlyphAtlas {
  public:
    static constexpr int kMaxPages = 8;

    GlyphAtlas(IDirect3DDevice8* device, font::FontFace* face, UINT pageSize);
    ~GlyphAtlas();
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    // The glyph of a character, rasterised and placed on first use; its texels reach the page
    // texture at the next Upload.
    const AtlasGlyph& Get(char32_t codePoint);
    // Writes the glyphs placed since the last call into their pages (one lock per page).
    // Returns false when the device refused a page; those glyphs are then not drawable.
    bool Upload();

    IDirect3DTexture8* Page(int index) const { return pages_[size_t(index)].texture; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    UINT PageSize() const { return pageSize_; }

  private:
    struct PageState {
        IDirect3DTexture8* texture = nullptr;
        bool fresh = true; // never uploaded: clear it all at the first upload
    };
    struct Pending {
        char32_t codePoint;
        std::vector<uint8_t> coverage;
    };
    bool Place(int width, int height, AtlasGlyph& glyph);

    IDirect3DDevice8* device_;
    font::FontFace* face_;
    UINT pageSize_;
    std::vector<PageState> pages_;
    int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
    std::unordered_map<char32_t, AtlasGlyph> glyphs_;
    std::vector<Pending> pending_;
};

} // namespace platform::d3dx
