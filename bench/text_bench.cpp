// One help line, and a block of eight as the frame draws them, through ID3DXFont::DrawTextA on
// the real device (offscreen driver), against the same number of glyph quads drawn with one
// DrawPrimitiveUP from ready-made vertices, with the same states and glyph page. The difference
// is what the text stand-in adds: UTF-8 decoding, layout, glyph lookup, clipping, building the
// vertices and the state save/restore of Begin/End. Both wait for GL to finish; CPU is the
// whole process's.
#include <benchmark/benchmark.h>

#include "bench/bench_device.h"

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"

#include <platform/win32/services.h>

#include <d3dx8.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kHelpLine[] = "Rotation/Sec         : Push R or F Key : 3.000000 rps";

ID3DXFont* HelpFont() {
    static ID3DXFont* font = [] {
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        std::strcpy(lf.lfFaceName, "ＭＳ ゴシック");
        ID3DXFont* created = nullptr;
        return SUCCEEDED(D3DXCreateFontIndirect(d3dDevice, &lf, &created)) ? created : nullptr;
    }();
    return font;
}

// As the frame draws its help: `lines` lines inside one Begin/End.
void BM_TextDrawText(benchmark::State& state) {
    if (!BenchDeviceReady() || !HelpFont()) {
        state.SkipWithError("no Direct3D device or font");
        return;
    }
    ID3DXFont* font = HelpFont();
    const int lines = int(state.range(0));
    for (auto _ : state) {
        font->Begin();
        for (int line = 0; line < lines; ++line) {
            RECT rect{0, 16 * (line + 1), 640, 480};
            benchmark::DoNotOptimize(
                font->DrawTextA(kHelpLine, -1, &rect, DT_EXPANDTABS | DT_NOPREFIX, 0xFFFFFFFF));
        }
        font->End();
        glFinish();
    }
}
BENCHMARK(BM_TextDrawText)
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// Baseline: as many 8 x 16 textured quads as the lines have visible characters, one draw call.
void BM_TextBareQuads(benchmark::State& state) {
    if (!BenchDeviceReady() || !HelpFont()) {
        state.SkipWithError("no Direct3D device or font");
        return;
    }
    IDirect3DTexture8* page = nullptr;
    if (FAILED(d3dDevice->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &page))) {
        state.SkipWithError("no texture");
        return;
    }
    std::vector<GlyphVertex> vertices;
    for (int line = 0; line < int(state.range(0)); ++line) {
        float x = 0;
        const float top = 16.0f * float(line + 1) - 0.5f, bottom = top + 16.0f;
        for (const char* c = kHelpLine; *c; ++c, x += 8) {
            if (*c == ' ') continue;
            const float l = x - 0.5f, r = x + 7.5f;
            const GlyphVertex tl{l, top, 0, 1, 0xFFFFFFFF, 0, 0};
            const GlyphVertex tr{r, top, 0, 1, 0xFFFFFFFF, 0.03f, 0};
            const GlyphVertex bl{l, bottom, 0, 1, 0xFFFFFFFF, 0, 0.06f};
            const GlyphVertex br{r, bottom, 0, 1, 0xFFFFFFFF, 0.03f, 0.06f};
            vertices.insert(vertices.end(), {tl, tr, bl, tr, br, bl});
        }
    }
    // The same states the font sets, set once outside the loop.
    HelpFont()->Begin();
    d3dDevice->SetTexture(0, page);
    for (auto _ : state) {
        d3dDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        d3dDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(vertices.size() / 3), vertices.data(),
                                   sizeof(GlyphVertex));
        glFinish();
    }
    HelpFont()->End();
    page->Release();
    state.counters["quads"] = double(vertices.size() / 6);
}
BENCHMARK(BM_TextBareQuads)
    ->Arg(1)
    ->Arg(8)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace
