// Immediate geometry and text: lines, the flat textured quad, and lines of screen text.
#pragma once

#include <d3dx8.h>

// The quad's texture range and the text font, which the device set-up puts in place.
#include "gfx/device/device_defaults.h"

class VertexBuffer {
  public:
    VertexBuffer() = default;
    ~VertexBuffer();
    VertexBuffer(const VertexBuffer&) = delete;
    VertexBuffer& operator=(const VertexBuffer&) = delete;

    bool Create(const void* data, DWORD fvf, DWORD byteSize);
    void DrawLineList();
    void DrawFan(DWORD triangles);
    void Release();

    IDirect3DVertexBuffer8* buffer = nullptr;
    DWORD fvf = 0;
    DWORD stride = 0;
    DWORD count = 0;
};

struct LineVertex {
    float x, y, z;
    D3DCOLOR diffuse;
};
struct QuadVertex {
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

// Bytes per vertex of an accepted FVF code, 0 for any other code.
DWORD StrideOfFVF(DWORD fvf);

void DrawLine(float x1, float y1, float z1, float x2, float y2, float z2, D3DCOLOR color1,
              D3DCOLOR color2);
void DrawFlatQuad(float cx, float y, float cz, float width, float depth, D3DCOLOR color);
void BeginText();
void EndText();
void DrawTextAt(int x, int y, const char* text);
