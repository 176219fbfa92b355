// A drawable mesh: loaded from a .x file or generated as a box or sphere of one colour, with its
// own copy of the materials and one texture per subset.
#pragma once

#include <d3dx8.h>

#include <string>

class MeshResource {
  public:
    MeshResource() = default;
    ~MeshResource();
    MeshResource(const MeshResource&) = delete;
    MeshResource& operator=(const MeshResource&) = delete;

    bool Load(const char* path, D3DCOLOR colorKey, UINT mipLevels);
    bool CreateSphere(float radius, UINT slices, UINT stacks, D3DXCOLOR color);
    bool CreateBox(float width, float height, float depth, D3DXCOLOR color);
    void Release();
    void Draw(const D3DXMATRIX* world);

    ID3DXMesh* mesh = nullptr;
    D3DMATERIAL8* materials = nullptr;
    IDirect3DTexture8** textures = nullptr;
    DWORD materialCount = 0;
    std::string name;

  private:
    void SetColorMaterial(D3DXCOLOR color);
};
