// Lines, the flat textured quad and screen text, each drawn at once through a vertex buffer
// that lives for the one call.
#include "gfx/immediate.h"

#include "gfx/device/d3d_device.h"

#include <cstring>

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
