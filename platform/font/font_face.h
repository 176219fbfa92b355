// One scaled font face, shared by the text stand-in and the message boxes: fontconfig picks the
// file for a face name, FreeType rasterises glyphs to 8-bit coverage.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::font {

struct GlyphBitmap {
    int width = 0, height = 0;     // pixels of coverage
    int left = 0;                  // from the pen position to the bitmap's left edge
    int top = 0;                   // from the baseline up to the bitmap's top edge
    int advance = 0;               // pen movement, whole pixels
    std::vector<uint8_t> coverage; // width * height, rows from the top, 0..255
};

// A font file chosen for a face name, with the route that found it.
struct FontMatch {
    std::string file;
    int index = 0;      // face inside a collection
    std::string family; // as fontconfig names it
    bool synthesiseBold = false;
};

// Asks fontconfig for `faceName` (UTF-8, or CP932 which is converted); when no installed family
// has that name, for a Japanese monospace face; then for any monospace face. Returns false when
// fontconfig offers no usable file.
bool MatchFontFile(const char* faceName, bool bold, FontMatch& match, std::string& error);

class FontFace {
  public:
    // Opens the face named `faceName` (as MatchFontFile finds it) and scales it: a positive
    // height is the cell height (ascent + descent, by the Windows metrics of the face), a
    // negative one the em height, zero a default cell.
    static std::unique_ptr<FontFace> Open(const char* faceName, long height, bool bold,
                                          std::string& error);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    int CellHeight() const { return cellHeight_; }
    int Ascent() const { return ascent_; }
    // The advance of 'x', which tab stops are measured in.
    int AverageCharWidth() const { return averageCharWidth_; }
    const FontMatch& Match() const { return match_; }

    // Whether the face, or its fallback, has a glyph of its own for the character (not the
    // missing-glyph shape).
    bool HasGlyph(char32_t codePoint) const;

    // Rasterises one character: the face's own glyph, else the fallback's, else the face's
    // missing-glyph shape. Returns false only when FreeType fails; the bitmap may be empty.
    bool Render(char32_t codePoint, GlyphBitmap& out);

    // A face for the characters this one lacks (Japanese ones beside a Latin face), drawn on
    // this face's baseline; opened at the same cell height.
    void SetFallback(std::unique_ptr<FontFace> fallback) { fallback_ = std::move(fallback); }

  private:
    FontFace() = default;
    struct Library;
    bool HasOwnGlyph(char32_t codePoint) const;

    std::unique_ptr<Library> library_;
    std::unique_ptr<FontFace> fallback_;
    FontMatch match_;
    int cellHeight_ = 0;
    int ascent_ = 0;
    int averageCharWidth_ = 0;
};

} // namespace platform::font
