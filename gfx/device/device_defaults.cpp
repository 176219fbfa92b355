// The flat quad's texture range and the text font: the device's initial drawing state.
#include "gfx/device/device_defaults.h"

#include "gfx/device/d3d_device.h"

#include <cstring>

QuadUV quadUV = {0.0f, 1.0f, 0.0f, 1.0f};
ID3DXFont* textFont = nullptr;
D3DCOLOR textColor = 0xFFFFFFFF;

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
}

void FreeFont() {
    if (textFont != nullptr) {
        textFont->Release();
        textFont = nullptr;
    }
}
