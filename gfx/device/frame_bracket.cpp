// The capability report written once at start-up, and the per-tick frame bracket with the
// system's whole lost-device policy: wait while lost, end the run when a reset is needed.
#include "gfx/device/frame_bracket.h"

#include "shell/debug_log.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"

void ReportDeviceCaps() {
    D3DCAPS8 caps = {};
    d3dDevice->GetDeviceCaps(&caps);
    UINT textureMemory = d3dDevice->GetAvailableTextureMem();

    int maxPrimitives = static_cast<int>(caps.MaxPrimitiveCount);
    int maxLights = static_cast<int>(caps.MaxActiveLights);
    int vertexFog = (caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) ? 1 : 0;
    int pixelFog = (caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE) ? 1 : 0;
    int rangeFog = (caps.RasterCaps & D3DPRASTERCAPS_FOGRANGE) ? 1 : 0;
    int textureMemoryKb = static_cast<int>(textureMemory >> 10);
    int maxWidth = static_cast<int>(caps.MaxTextureWidth);
    int maxHeight = static_cast<int>(caps.MaxTextureHeight);
    int maxStages = static_cast<int>(caps.MaxSimultaneousTextures);
    int nonSquare = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 0 : 1;
    int alpha = (caps.TextureCaps & D3DPTEXTURECAPS_ALPHA) ? 1 : 0;
    int mipmap = (caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? 1 : 0;
    int bumpMap = (caps.TextureOpCaps & D3DTEXOPCAPS_BUMPENVMAP) ? 1 : 0;

    DebugPrint("最大プリミティブ = %d\n最大ライト = %d\nフォグ{\n\t頂点 = %d\n\tピクセル = "
               "%d\n\t範囲 = %d\n}\n",
               maxPrimitives, maxLights, vertexFog, pixelFog, rangeFog);
    DebugPrint("テクスチャー{\n\t利用可能メモリ = %d KB\n\t最大サイズ = %d x %d\n\t最大ステージ = "
               "%d\n\t非正方形テクスチャ = %d\n\tアルファブレンド = %d\n\tミップマップ = "
               "%d\n\tバンプマップ = %d\n}\n",
               textureMemoryKb, maxWidth, maxHeight, maxStages, nonSquare, alpha, mipmap, bumpMap);
}

bool BeginFrame(D3DCOLOR clearColor) {
    HRESULT result = d3dDevice->TestCooperativeLevel();
    if (result == D3DERR_DEVICELOST) {
        DebugPrint("3Dデバイスがロストしています.\n");
        return false;
    }
    if (result == D3DERR_DEVICENOTRESET) {
        DebugPrint("3Dデバイスのリセットが必要です.\n");
        RequestClose();
        return false;
    }

    if (FAILED(d3dDevice->BeginScene())) return false;

    DWORD flags = D3DCLEAR_ZBUFFER;
    if (clearColor != 0) flags |= D3DCLEAR_TARGET;
    d3dDevice->Clear(0, nullptr, flags, clearColor, 1.0f, 0);

    d3dDevice->SetTransform(D3DTS_VIEW, &viewMatrix);
    return true;
}

HRESULT EndFrame() {
    d3dDevice->EndScene();
    return d3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
}
