// Lines, the flat textured quad and screen text, each drawn at once through a vertex buffer
// that lives for the one call.
#include "gfx/immediate.h"

#include "gfx/device/d3d_device.h"

#include <cstring>

QuadUV quadUV = {0.0f, 1.0f, 0.0f, 1.0f};
ID3DXFont* textFont = nullptr;
D3DCOLOR textColor = 0xFFFFFFFF;

DWORD StrideOfFVF(DWORD fvf) {
    switch (fvf) {
    case 0x042:
        return 16;
    case 0x044:
        return 20;
    case 0x052:
        return 28;
    case 0x142:
        return 24;
    case 0x144:
        return 28;
    case 0x152:
        return 36;
    case 0x242:
        return 32;
    case 0x252:
        return 44;
    default:
        return 0;
    }
}

VertexBuffer::~VertexBuffer() {
    Release();
}

bool VertexBuffer::Create(const void* data, DWORD vertexFormat, DWORD byteSize) {
    Release();
    fvf = vertexFormat;
    DWORD vertexStride = StrideOfFVF(vertexFormat);
    if (vertexStride == 0) return false;
    stride = vertexStride;
    count = byteSize / stride;
    if (d3dDevice == nullptr || data == nullptr) return false;
    if (FAILED(d3dDevice->CreateVertexBuffer(byteSize, 0, fvf, D3DPOOL_MANAGED, &buffer))) {
        buffer = nullptr;
        return false;
    }
    BYTE* locked = nullptr;
    if (FAILED(buffer->Lock(0, byteSize, &locked, 0)) || locked == nullptr) return false;
    std::memcpy(locked, data, byteSize);
    buffer->Unlock();
    return true;
}

void VertexBuffer::DrawLineList() {
    d3dDevice->SetStreamSource(0, buffer, stride);
    d3dDevice->SetVertexShader(fvf);
    d3dDevice->DrawPrimitive(D3DPT_LINELIST, 0, count / 2);
}

void VertexBuffer::DrawFan(DWORD triangles) {
    d3dDevice->SetStreamSource(0, buffer, stride);
    d3dDevice->SetVertexShader(fvf);
    d3dDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, triangles);
}

void VertexBuffer::Release() {
    if (buffer != nullptr) {
        buffer->Release();
        buffer = nullptr;
    }
}

void DrawLine(float x1, float y1, float z1, float x2, float y2, float z2, D3DCOLOR color1,
              D3DCOLOR color2) {
    const LineVertex vertices[2] = {
        {x1, y1, z1, color1},
        {x2, y2, z2, color2 != 0 ? color2 : color1},
    };
    VertexBuffer vb;
    if (vb.Create(vertices, 0x042, sizeof vertices)) vb.DrawLineList();
}

void DrawFlatQuad(float cx, float y, float cz, float width, float depth, D3DCOLOR color) {
    float hw = width * 0.5f;
    float hd = depth * 0.5f;
    const QuadVertex vertices[4] = {
        {cx - hw, y, cz - hd, color, quadUV.uMin, quadUV.vMax},
        {cx - hw, y, cz + hd, color, quadUV.uMin, quadUV.vMin},
        {cx + hw, y, cz + hd, color, quadUV.uMax, quadUV.vMin},
        {cx + hw, y, cz - hd, color, quadUV.uMax, quadUV.vMax},
    };
    VertexBuffer vb;
    if (vb.Create(vertices, 0x142, sizeof vertices)) vb.DrawFan(2);
}

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

void BeginText() {
    if (textFont != nullptr) textFont->Begin();
}

void EndText() {
    if (textFont != nullptr) textFont->End();
}

void DrawTextAt(int x, int y, const char* text) {
    if (textFont == nullptr) return;
    RECT rect = {x, y, backBufferWidth, backBufferHeight};
    textFont->DrawTextA(text, -1, &rect, DT_EXPANDTABS | DT_NOPREFIX, textColor);
}
