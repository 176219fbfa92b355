// koltrep-inspect msgbox TEXT OUT.png: draws a message box's client area for TEXT as the
// program's MessageBoxA shows it (the same layout and font code) and writes it as a PNG, for
// comparison with a screenshot of the real box. Prints "size W H", "button X Y W H" and
// "missing glyphs N".
#include "commands.h"

#include <platform/d3dx8/image_write.h>
#include <platform/i18n/i18n.h>
#include <platform/win32/message_box_picture.h>

#include <cstdio>
#include <string>
#include <vector>

int RunMessageBoxCommand(int argc, char** argv) {
    if (argc != 2) {
        std::fputs(_("usage: koltrep-inspect msgbox TEXT OUT.png\n"), stderr);
        return 1;
    }
    platform::MessageBoxPicture picture;
    std::string error;
    if (!platform::DrawMessageBox(argv[0], picture, error)) {
        std::fprintf(stderr, "msgbox: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> rgba;
    rgba.reserve(picture.argb.size() * 4);
    for (uint32_t pixel : picture.argb)
        for (int shift : {16, 8, 0, 24})
            rgba.push_back(static_cast<uint8_t>(pixel >> shift));
    if (!platform::d3dx::WritePngRgba(argv[1], picture.width, picture.height, rgba.data())) {
        std::fprintf(stderr, "msgbox: %s\n", FormatText(_("cannot write %s"), argv[1]).c_str());
        return 1;
    }
    const auto& b = picture.button;
    std::printf("size %d %d\nbutton %d %d %d %d\nmissing glyphs %d\n", picture.width,
                picture.height, b.x, b.y, b.width, b.height, picture.missingGlyphs);
    return 0;
}
