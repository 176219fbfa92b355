// The flat quad's texture range and the text font: the device's initial drawing state.
#include "gfx/device/device_defaults.h"

#include "gfx/device/d3d_device.h"

#include <cstring>
#include <initializer_list>

QuadUV quadUV = {0.0f, 1.0f, 0.0f, 1.0f};
ID3DXFont* textFont = nullptr;
ID3DXFont* noticeFont = nullptr;
D3DCOLOR textColor = 0xFFFFFFFF;

namespace {

void InitNoticeFont(LOGFONTA logFont) {
    // Named, not "monospace": in a Japanese locale that is the Japanese face again.
    static const char faceName[] = "DejaVu Sans Mono";
    static_assert(sizeof faceName <= LF_FACESIZE);
    std::memset(logFont.lfFaceName, 0, sizeof logFont.lfFaceName);
    std::memcpy(logFont.lfFaceName, faceName, sizeof faceName);
    logFont.lfCharSet = DEFAULT_CHARSET;
    if (FAILED(D3DXCreateFontIndirect(d3dDevice, &logFont, &noticeFont))) noticeFont = nullptr;
}

} // namespace

void InitFont(int height, D3DCOLOR color, int weight) {
    FreeFont();
    LOGFONTA logFont = {};
    logFont.lfHeight = height;
    logFont.lfWidth = 0;
    logFont.lfEscapement = 0;
    logFont.lfOrientation = 0;
    logFont.lfWeight = weight;
    logFont.lfItalic = 0;
    logFont.lfUnderline = 0;
    logFont.lfStrikeOut = 0;
    logFont.lfCharSet = SHIFTJIS_CHARSET;
    logFont.lfOutPrecision = 0;
    logFont.lfClipPrecision = 0;
    logFont.lfQuality = 0;
    logFont.lfPitchAndFamily = 0;
    // Strings handed to the platform layer are UTF-8; the rest of the field stays zero.
    static const char faceName[] = "ＭＳ ゴシック";
    static_assert(sizeof faceName <= LF_FACESIZE);
    std::memcpy(logFont.lfFaceName, faceName, sizeof faceName);
    if (FAILED(D3DXCreateFontIndirect(d3dDevice, &logFont, &textFont))) textFont = nullptr;
    textColor = color;
    InitNoticeFont(logFont);
}

void FreeFont() {
    for (ID3DXFont** font : {&textFont, &noticeFont}) {
        if (*font != nullptr) {
            (*font)->Release();
            *font = nullptr;
        }
    }
}
