// Font file choice and glyph rasterising for the text stand-in and the message boxes.
// Platform calls: FcPatternCreate, FcConfigSubstitute, FcDefaultSubstitute, FcFontMatch and the
// pattern getters (fontconfig); FT_Init_FreeType, FT_New_Face, FT_Get_Sfnt_Table,
// FT_Request_Size, FT_Load_Char, FT_GlyphSlot_Embolden, FT_Render_Glyph (FreeType); iconv for
// CP932 face names (text_codec).
// Limits: horizontal text only; grey and monochrome glyph bitmaps (no colour or LCD glyphs);
// glyphs larger than 1024 pixels a side are dropped.
#include <platform/font/font_face.h>
#include <platform/font/text_codec.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::font {

namespace {

constexpr int kMaxGlyphSide = 1024;
constexpr int kDefaultCellHeight = 16;

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

Pattern Match(Pattern pattern) {
    if (!pattern) return nullptr;
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    return Pattern(FcFontMatch(nullptr, pattern.get(), &result));
}

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(value, reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
            return true;
    return false;
}

bool SupportsJapanese(FcPattern* font) {
    FcLangSet* langs = nullptr;
    return FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch &&
           FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

bool Take(FcPattern* font, bool bold, FontMatch& match) {
    FcChar8* file = nullptr;
    if (!font || FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file)
        return false;
    match.file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch) match.index = index;
    FcChar8* family = nullptr;
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch && family)
        match.family = reinterpret_cast<const char*>(family);
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    // fontconfig says whether the face needs emboldening; its weight may just echo the request.
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(font, FC_EMBOLDEN, 0, &embolden) == FcResultMatch)
        match.synthesiseBold = bold && embolden;
    else
        match.synthesiseBold = bold && weight < FC_WEIGHT_DEMIBOLD;
    return true;
}

Pattern NewPattern(bool bold) {
    Pattern pattern(FcPatternCreate());
    if (pattern)
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    return pattern;
}

} // namespace

namespace {

bool MatchWithFontconfig(const char* faceName, bool bold, FontMatch& match, std::string& error) {
    match = FontMatch{};
    const std::string name = faceName ? TextToUtf8(faceName) : std::string();
    if (!name.empty()) {
        Pattern pattern = NewPattern(bold);
        if (pattern)
            FcPatternAddString(pattern.get(), FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(name.c_str()));
        Pattern font = Match(std::move(pattern));
        if (font && HasFamily(font.get(), name) && Take(font.get(), bold, match)) return true;
    }
    {
        Pattern pattern = NewPattern(bold);
        if (pattern) {
            FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
            FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
        }
        Pattern font = Match(std::move(pattern));
        if (font && SupportsJapanese(font.get()) && Take(font.get(), bold, match)) return true;
    }
    {
        Pattern pattern = NewPattern(bold);
        if (pattern)
            FcPatternAddString(pattern.get(), FC_FAMILY,
                               reinterpret_cast<const FcChar8*>("monospace"));
        Pattern font = Match(std::move(pattern));
        if (font && Take(font.get(), bold, match)) return true;
    }
    error = "no font found for \"" + name + "\" (nor a Japanese or monospace fallback)";
    return false;
}

} // namespace

bool MatchFontFile(const char* faceName, bool bold, FontMatch& match, std::string& error) {
    const bool found = MatchWithFontconfig(faceName, bold, match, error);
    // Fonts are chosen once, at start-up; fontconfig's process-wide state is not needed after
    // that, and leaving it would show as a leak at exit.
    FcFini();
    return found;
}

struct FontFace::Library {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const char* faceName, long height, bool bold,
                                         std::string& error) {
    std::unique_ptr<FontFace> font(new FontFace);
    if (!MatchFontFile(faceName, bold, font->match_, error)) return nullptr;
    height = std::clamp<long>(height, -kMaxGlyphSide, kMaxGlyphSide);
    font->library_ = std::make_unique<Library>();
    Library& lib = *font->library_;
    if (FT_Init_FreeType(&lib.library) != 0) {
        error = "FreeType could not start";
        return nullptr;
    }
    if (FT_New_Face(lib.library, font->match_.file.c_str(), font->match_.index, &lib.face) != 0) {
        error = "cannot open font file " + font->match_.file;
        return nullptr;
    }
    FT_Face face = lib.face;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
        // Windows measures a cell by usWinAscent + usWinDescent; other faces by their ascender
        // and descender.
        double ascentUnits = face->ascender, descentUnits = -face->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
        if (ascentUnits + descentUnits <= 0) ascentUnits = face->units_per_EM, descentUnits = 0;
        const double cellUnits = ascentUnits + descentUnits;
        double emPixels = 0;
        int cell = 0;
        if (height < 0) {
            emPixels = -static_cast<double>(height);
            cell = static_cast<int>(std::lround(emPixels * cellUnits / face->units_per_EM));
        } else {
            cell = height > 0 ? static_cast<int>(height) : kDefaultCellHeight;
            emPixels = cell * face->units_per_EM / cellUnits;
        }
        FT_Size_RequestRec request{};
        request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
        request.height = static_cast<FT_Long>(std::lround(emPixels * 64));
        if (FT_Request_Size(face, &request) != 0) {
            error = "cannot scale font " + font->match_.family;
            return nullptr;
        }
        font->cellHeight_ = std::max(1, cell);
        font->ascent_ = static_cast<int>(std::lround(cell * ascentUnits / cellUnits));
    } else if (face->num_fixed_sizes > 0) {
        // A bitmap face: the strike nearest the wanted cell.
        const int wanted = height != 0 ? std::abs(static_cast<int>(height)) : kDefaultCellHeight;
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i)
            if (std::abs(face->available_sizes[i].height - wanted) <
                std::abs(face->available_sizes[best].height - wanted))
                best = i;
        if (FT_Select_Size(face, best) != 0) {
            error = "cannot select a size of font " + font->match_.family;
            return nullptr;
        }
        font->ascent_ = static_cast<int>(face->size->metrics.ascender >> 6);
        font->cellHeight_ = std::max(
            1,
            static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender) >> 6));
    } else {
        error = "font " + font->match_.file + " has no usable sizes";
        return nullptr;
    }
    GlyphBitmap x;
    font->averageCharWidth_ =
        font->Render('x', x) && x.advance > 0 ? x.advance : std::max(1, font->cellHeight_ / 2);
    return font;
}

bool FontFace::HasOwnGlyph(char32_t codePoint) const {
    return FT_Get_Char_Index(library_->face, codePoint) != 0;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
    return HasOwnGlyph(codePoint) || (fallback_ && fallback_->HasGlyph(codePoint));
}

bool FontFace::Render(char32_t codePoint, GlyphBitmap& out) {
    if (fallback_ && !HasOwnGlyph(codePoint) && fallback_->HasGlyph(codePoint))
        return fallback_->Render(codePoint, out);
    out = GlyphBitmap{};
    FT_Face face = library_->face;
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (match_.synthesiseBold) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.width == 0 || bitmap.rows == 0) return true;
    if (bitmap.width > unsigned(kMaxGlyphSide) || bitmap.rows > unsigned(kMaxGlyphSide) ||
        (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO))
        return true; // nothing drawable; the advance still counts
    out.width = static_cast<int>(bitmap.width);
    out.height = static_cast<int>(bitmap.rows);
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.coverage.resize(size_t(out.width) * out.height);
    const int pitch = bitmap.pitch;
    for (int y = 0; y < out.height; ++y) {
        // A negative pitch means the rows are stored bottom-up.
        const uint8_t* row = pitch >= 0
                                 ? bitmap.buffer + size_t(y) * pitch
                                 : bitmap.buffer + size_t(out.height - 1 - y) * size_t(-pitch);
        uint8_t* target = out.coverage.data() + size_t(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                target[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else
                target[x] = bitmap.num_grays == 256 || bitmap.num_grays < 2
                                ? row[x]
                                : static_cast<uint8_t>(row[x] * 255 / (bitmap.num_grays - 1));
        }
    }
    return true;
}

} // namespace platform::font
