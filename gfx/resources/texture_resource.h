// A texture loaded by file name and used directly by its one owner.
#pragma once

#include <d3d8.h>

#include <string>

class TextureResource {
  public:
    TextureResource() = default;
    ~TextureResource();
    TextureResource(const TextureResource&) = delete;
    TextureResource& operator=(const TextureResource&) = delete;

    bool Load(const char* path, D3DCOLOR colorKey, UINT mipLevels);
    void Release();

    IDirect3DTexture8* texture = nullptr;
    std::string name;
};

// The texture creation that every texture of the program goes through.
HRESULT CreateTextureFromFile(const char* path, D3DCOLOR colorKey, UINT mipLevels,
                              IDirect3DTexture8** texture);
