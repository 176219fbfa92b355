// The drawing state the device set-up puts in place for the immediate geometry and text: the
// flat quad's texture range and the text font. It lives with the device because InitDirect3D
// creates the font and SetDefaultTransforms resets the range; the drawing in gfx/ only reads it.
#pragma once

#include <d3dx8.h>

struct QuadUV {
    float uMin, uMax, vMin, vMax;
};
extern QuadUV quadUV;
extern ID3DXFont* textFont;
// Our own texts that carry paths (the notices): a face whose ASCII is ASCII, where the design's
// Japanese face draws '~' as an overline; Japanese comes from its fallback. Null when no such
// face was made; textFont serves then.
extern ID3DXFont* noticeFont;
extern D3DCOLOR textColor;

void InitFont(int height, D3DCOLOR color, int weight);
void FreeFont();
