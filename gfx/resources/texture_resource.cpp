// Textures loaded by file name for one owner, and the texture creation shared with the cache.
#include "gfx/resources/texture_resource.h"

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"

#include <d3dx8.h>

HRESULT CreateTextureFromFile(const char* path, D3DCOLOR colorKey, UINT mipLevels,
                              IDirect3DTexture8** texture) {
    // Every texture becomes a managed 32-bit ARGB texture of the image's own size, whatever the
    // file holds, so the drawing code never has to care about formats.
    return D3DXCreateTextureFromFileExA(d3dDevice, path, 0, 0, mipLevels, 0, D3DFMT_A8R8G8B8,
                                        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, colorKey,
                                        nullptr, nullptr, texture);
}

TextureResource::~TextureResource() {
    Release();
}

bool TextureResource::Load(const char* path, D3DCOLOR colorKey, UINT mipLevels) {
    Release();
    DebugPrint("load(%s) ... ", path);
    name = path;
    if (FAILED(CreateTextureFromFile(path, colorKey, mipLevels, &texture))) {
        // A failing loader may still have written to the out pointer; we hold nothing.
        texture = nullptr;
        DebugPrint("failed.\n");
        return false;
    }
    DebugPrint("ok.\n");
    return true;
}

void TextureResource::Release() {
    if (!name.empty()) {
        DebugPrint("release(%s)\n", name.c_str());
        name.clear();
    }
    if (texture != nullptr) {
        texture->Release();
        texture = nullptr;
    }
}
