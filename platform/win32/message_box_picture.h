// The picture of a message box's client area: the text in the program's Japanese face with an
// OK button under it. The box window shows it; the inspector draws it for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MessageBoxPicture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb; // width * height, rows from the top
    struct Area {
        int x = 0, y = 0, width = 0, height = 0;
        bool Contains(int px, int py) const {
            return px >= x && py >= y && px < x + width && py < y + height;
        }
    } button;
    int missingGlyphs = 0; // characters the face has no glyph for
};

// `text` is UTF-8 (or CP932, converted). False, with the reason, when no face can be opened.
bool DrawMessageBox(const char* text, MessageBoxPicture& picture, std::string& error);

} // namespace platform
