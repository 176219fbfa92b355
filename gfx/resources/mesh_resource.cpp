// Meshes loaded from .x files or generated as one-colour boxes and spheres.
#include "gfx/resources/mesh_resource.h"

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"
#include "gfx/resources/texture_cache.h"

MeshResource::~MeshResource() {
    Release();
}

bool MeshResource::Load(const char* path, D3DCOLOR colorKey, UINT mipLevels) {
    if (mesh != nullptr) Release();
    DebugPrint("load(%s) ... ", path);
    name = path;

    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materialBuffer = nullptr;
    DWORD loadedCount = 0;
    if (FAILED(D3DXLoadMeshFromX(path, D3DXMESH_SYSTEMMEM, d3dDevice, &adjacency, &materialBuffer,
                                 &loadedCount, &mesh)) ||
        mesh == nullptr) {
        // A failed loader may have filled some of its outputs; keep nothing.
        if (adjacency != nullptr) adjacency->Release();
        if (materialBuffer != nullptr) materialBuffer->Release();
        if (mesh != nullptr) mesh->Release();
        mesh = nullptr;
        DebugPrint("failed.\n");
        return false;
    }
    DebugPrint("ok.\n");

    // The count comes from the file: believe only as many materials as the buffer holds.
    DWORD available = 0;
    if (materialBuffer != nullptr && materialBuffer->GetBufferPointer() != nullptr)
        available = materialBuffer->GetBufferSize() / sizeof(D3DXMATERIAL);
    materialCount = loadedCount < available ? loadedCount : available;
    if (materialCount > 0) {
        const auto* loaded = static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer());
        materials = new D3DMATERIAL8[materialCount];
        textures = new IDirect3DTexture8*[materialCount];
        for (DWORD i = 0; i < materialCount; ++i) {
            materials[i] = loaded[i].MatD3D;
            // The file's ambient colour is not used: the scene's ambient light tints the diffuse.
            materials[i].Ambient = materials[i].Diffuse;
            textures[i] = nullptr;
            if (loaded[i].pTextureFilename != nullptr)
                textures[i] = textureCache.Acquire(loaded[i].pTextureFilename, colorKey, mipLevels);
        }
    }
    if (materialBuffer != nullptr) materialBuffer->Release();

    const DWORD* adjacencyData =
        adjacency != nullptr ? static_cast<const DWORD*>(adjacency->GetBufferPointer()) : nullptr;
    ID3DXMesh* optimized = nullptr;
    if (SUCCEEDED(
            mesh->Optimize(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                           adjacencyData, nullptr, nullptr, nullptr, &optimized)) &&
        optimized != nullptr) {
        mesh->Release();
        mesh = optimized;
    } else {
        DebugPrint("optimization failed.\n");
    }
    if (adjacency != nullptr) adjacency->Release();
    return true;
}

bool MeshResource::CreateSphere(float radius, UINT slices, UINT stacks, D3DXCOLOR color) {
    if (mesh != nullptr) Release();
    if (FAILED(D3DXCreateSphere(d3dDevice, radius, slices, stacks, &mesh, nullptr)) ||
        mesh == nullptr) {
        mesh = nullptr;
        DebugPrint("D3DXCreateSphere\n");
        return false;
    }
    SetColorMaterial(color);
    return true;
}

bool MeshResource::CreateBox(float width, float height, float depth, D3DXCOLOR color) {
    if (mesh != nullptr) Release();
    if (FAILED(D3DXCreateBox(d3dDevice, width, height, depth, &mesh, nullptr)) || mesh == nullptr) {
        mesh = nullptr;
        DebugPrint("D3DXCreateBox\n");
        return false;
    }
    SetColorMaterial(color);
    return true;
}

void MeshResource::SetColorMaterial(D3DXCOLOR color) {
    name.clear();
    materials = new D3DMATERIAL8[1];
    textures = new IDirect3DTexture8*[1];
    materialCount = 1;
    materials[0] = D3DMATERIAL8{};
    materials[0].Diffuse = color;
    materials[0].Ambient = color;
    textures[0] = nullptr;
}

void MeshResource::Release() {
    if (!name.empty()) {
        DebugPrint("release(%s)\n", name.c_str());
        name.clear();
    }
    delete[] materials;
    materials = nullptr;
    if (textures != nullptr) {
        for (DWORD i = 0; i < materialCount; ++i)
            textureCache.Release(textures[i]);
        delete[] textures;
        textures = nullptr;
    }
    materialCount = 0;
    if (mesh != nullptr) {
        mesh->Release();
        mesh = nullptr;
    }
}

void MeshResource::Draw(const D3DXMATRIX* world) {
    if (mesh == nullptr) return;
    d3dDevice->SetTransform(D3DTS_WORLD, world);
    for (DWORD i = 0; i < materialCount; ++i) {
        d3dDevice->SetMaterial(&materials[i]);
        d3dDevice->SetTexture(0, textures[i]);
        mesh->DrawSubset(i);
    }
}
