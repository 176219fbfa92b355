// Layout and drawing of a message box: lines of text at the top left, an OK button centred under
// them, in the face the program uses for its Japanese text (fontconfig's answer for
// "ＭＳ ゴシック"), black on the light grey of a dialog.
// Limits: at most kMaxLines lines of at most kMaxTextWidth pixels; more is cut off. No word
// wrapping: the program's messages are one short line each.
#include <platform/win32/message_box_picture.h>

#include <algorithm>
#include <memory>

#include <platform/font/font_face.h>
#include <platform/font/text_codec.h>

namespace platform {
namespace {

constexpr char kFaceName[] = "ＭＳ ゴシック";
constexpr long kEmHeight = -16;
constexpr int kMargin = 20;
constexpr int kMaxLines = 30;
constexpr int kMaxTextWidth = 960;
constexpr int kMinWidth = 240;
constexpr int kButtonWidth = 88, kButtonHeight = 28;
constexpr int kTabStop = 8; // average characters per tab

constexpr uint32_t kBackground = 0xFFF0F0F0;
constexpr uint32_t kInk = 0xFF000000;
constexpr uint32_t kButtonFace = 0xFFE1E1E1;
constexpr uint32_t kButtonBorder = 0xFF0078D7; // the default button's border

using Lines = std::vector<std::vector<char32_t>>;

Lines SplitLines(const char* text) {
    const std::string utf8 = font::TextToUtf8(text);
    std::vector<char32_t> all;
    font::DecodeUtf8(utf8.data(), utf8.size(), all);
    while (!all.empty() && (all.back() == '\n' || all.back() == '\r'))
        all.pop_back();
    Lines lines(1);
    for (char32_t c : all) {
        if (c == '\n') {
            if (lines.size() == kMaxLines) break;
            lines.emplace_back();
        } else if (c == '\t' || c >= 0x20) {
            lines.back().push_back(c);
        }
    }
    return lines;
}

class Painter {
  public:
    Painter(MessageBoxPicture& picture, font::FontFace& face) : picture_(picture), face_(face) {}

    // Pen advance of one character from `x` (a tab moves to the next stop).
    int Advance(char32_t c, int x) {
        if (c == '\t') {
            const int stop = kTabStop * face_.AverageCharWidth();
            return (x / stop + 1) * stop - x;
        }
        font::GlyphBitmap glyph;
        return face_.Render(c, glyph) ? glyph.advance : 0;
    }

    int Width(const std::vector<char32_t>& line) {
        int x = 0;
        for (char32_t c : line)
            x += Advance(c, x);
        return std::min(x, kMaxTextWidth);
    }

    // Draws `line` with its cell's top at `top`, clipped at `right`.
    void Text(const std::vector<char32_t>& line, int left, int top, int right) {
        int x = 0;
        for (char32_t c : line) {
            font::GlyphBitmap glyph;
            if (c != '\t' && face_.Render(c, glyph)) {
                if (!face_.HasGlyph(c)) ++picture_.missingGlyphs;
                Glyph(glyph, left + x, top + face_.Ascent(), right);
            }
            x += Advance(c, x);
            if (left + x >= right) break;
        }
    }

    void Fill(const MessageBoxPicture::Area& area, uint32_t colour) {
        for (int y = std::max(area.y, 0); y < std::min(area.y + area.height, picture_.height); ++y)
            for (int x = std::max(area.x, 0); x < std::min(area.x + area.width, picture_.width);
                 ++x)
                picture_.argb[size_t(y) * picture_.width + x] = colour;
    }

  private:
    void Glyph(const font::GlyphBitmap& glyph, int penX, int baseline, int right) {
        for (int gy = 0; gy < glyph.height; ++gy) {
            const int y = baseline - glyph.top + gy;
            if (y < 0 || y >= picture_.height) continue;
            for (int gx = 0; gx < glyph.width; ++gx) {
                const int x = penX + glyph.left + gx;
                if (x < 0 || x >= right || x >= picture_.width) continue;
                uint32_t& pixel = picture_.argb[size_t(y) * picture_.width + x];
                pixel = Blend(pixel, glyph.coverage[size_t(gy) * glyph.width + gx]);
            }
        }
    }

    static uint32_t Blend(uint32_t ground, uint8_t coverage) {
        uint32_t out = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8) {
            const int g = (ground >> shift) & 0xFF, ink = (kInk >> shift) & 0xFF;
            out |= uint32_t(g + (ink - g) * coverage / 255) << shift;
        }
        return out;
    }

    MessageBoxPicture& picture_;
    font::FontFace& face_;
};

} // namespace

bool DrawMessageBox(const char* text, MessageBoxPicture& picture, std::string& error) {
    picture = MessageBoxPicture{};
    std::unique_ptr<font::FontFace> face = font::FontFace::Open(kFaceName, kEmHeight, false, error);
    if (!face) return false;
    Painter painter(picture, *face);
    const Lines lines = SplitLines(text ? text : "");
    int textWidth = 0;
    for (const auto& line : lines)
        textWidth = std::max(textWidth, painter.Width(line));
    const int lineHeight = face->CellHeight();
    const int textHeight = lineHeight * static_cast<int>(lines.size());

    picture.width = std::max(kMinWidth, textWidth + 2 * kMargin);
    picture.button = {(picture.width - kButtonWidth) / 2, kMargin + textHeight + kMargin,
                      kButtonWidth, kButtonHeight};
    picture.height = picture.button.y + kButtonHeight + kMargin / 2 + 4;
    picture.argb.assign(size_t(picture.width) * picture.height, kBackground);

    for (size_t i = 0; i < lines.size(); ++i)
        painter.Text(lines[i], kMargin, kMargin + static_cast<int>(i) * lineHeight,
                     kMargin + textWidth);
    const auto& b = picture.button;
    painter.Fill(b, kButtonBorder);
    painter.Fill({b.x + 1, b.y + 1, b.width - 2, b.height - 2}, kButtonFace);
    const std::vector<char32_t> ok = {'O', 'K'};
    painter.Text(ok, b.x + (b.width - painter.Width(ok)) / 2, b.y + (b.height - lineHeight) / 2,
                 b.x + b.width);
    return true;
}

} // namespace platform
