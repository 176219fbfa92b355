// The process-wide store of textures keyed by file name, with a count of users.
#pragma once

#include <d3d8.h>

#include <string>

struct TextureCacheEntry {
    IDirect3DTexture8* texture;
    std::string name;
    int32_t refCount;
    TextureCacheEntry* next;
};

class TextureCache {
  public:
    IDirect3DTexture8* Acquire(const char* name, D3DCOLOR colorKey, UINT mipLevels);
    void Release(IDirect3DTexture8* texture);

    TextureCacheEntry* head = nullptr;
};

extern TextureCache textureCache;
