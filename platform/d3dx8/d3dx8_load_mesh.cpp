// D3DXLoadMeshFromX on our own .x reader (platform/d3dx8/xfile).
// Implements D3DXLoadMeshFromX: one system-memory mesh with position, normal and, when the file
// has them, texture coordinates; one subset per material; a D3DXMATERIAL buffer whose texture
// names live in the same buffer after the records; three adjacency DWORDs per face.
// Limits: the reader's reason for a failure is not reported here (the caller logs the failure);
// koltrep-inspect shows it.
#include <platform/d3dx8/d3dx8_mesh_impl.h>
#include <platform/d3dx8/xfile/xfile_reader.h>

#include <platform/win32/install_folders.h>

#include <cstring>

namespace {

HRESULT MaterialBuffer(const std::vector<platform::xfile::MaterialData>& materials,
                       ID3DXBuffer** buffer) {
    size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const auto& m : materials)
        if (m.hasTexture) size += m.textureFilename.size() + 1;
    if (size > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), buffer);
    if (FAILED(hr)) return hr;
    BYTE* bytes = static_cast<BYTE*>((*buffer)->GetBufferPointer());
    auto* records = reinterpret_cast<D3DXMATERIAL*>(bytes);
    char* names = reinterpret_cast<char*>(bytes + materials.size() * sizeof(D3DXMATERIAL));
    for (size_t i = 0; i < materials.size(); ++i) {
        records[i].MatD3D = materials[i].material;
        records[i].pTextureFilename = nullptr;
        if (materials[i].hasTexture) {
            const std::string& name = materials[i].textureFilename;
            std::memcpy(names, name.c_str(), name.size() + 1);
            records[i].pTextureFilename = names;
            names += name.size() + 1;
        }
    }
    return D3D_OK;
}

} // namespace

namespace platform::d3dx {

HRESULT CreateMeshFromXData(IDirect3DDevice8* device, DWORD options, xfile::MeshData& data,
                            ID3DXMesh** mesh) {
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | (data.hasTexCoords ? D3DFVF_TEX1 : 0);
    const DWORD stride = FvfStride(fvf);
    std::vector<BYTE> vertices(data.vertices.size() * stride);
    for (size_t v = 0; v < data.vertices.size(); ++v)
        std::memcpy(vertices.data() + v * stride, &data.vertices[v], stride);
    return CreateSystemMesh(device, options, fvf, std::move(vertices), data.indices,
                            std::move(data.attributes), mesh);
}

} // namespace platform::d3dx

HRESULT D3DXLoadMeshFromX(LPCSTR fileName, DWORD options, IDirect3DDevice8* device,
                          ID3DXBuffer** adjacency, ID3DXBuffer** materials, DWORD* numMaterials,
                          ID3DXMesh** mesh) {
    if (adjacency) *adjacency = nullptr;
    if (materials) *materials = nullptr;
    if (mesh) *mesh = nullptr;
    if (!fileName || !device || !mesh) return D3DERR_INVALIDCALL;

    platform::xfile::MeshData data;
    std::string reason;
    // Named relative to the current folder; an installed program finds it in its data folder.
    if (!platform::xfile::ReadXFile(platform::FindDataFile(fileName).c_str(), data, reason))
        return E_FAIL;

    ID3DXMesh* created = nullptr;
    HRESULT hr = platform::d3dx::CreateMeshFromXData(device, options, data, &created);
    if (FAILED(hr)) return hr;

    ID3DXBuffer* adjacencyBuffer = nullptr;
    ID3DXBuffer* materialBuffer = nullptr;
    if (adjacency) {
        hr = D3DXCreateBuffer(created->GetNumFaces() * 3 * sizeof(DWORD), &adjacencyBuffer);
        if (SUCCEEDED(hr))
            hr = created->GenerateAdjacency(
                0.0f, static_cast<DWORD*>(adjacencyBuffer->GetBufferPointer()));
    }
    if (SUCCEEDED(hr) && materials) hr = MaterialBuffer(data.materials, &materialBuffer);
    if (FAILED(hr)) {
        if (adjacencyBuffer) adjacencyBuffer->Release();
        if (materialBuffer) materialBuffer->Release();
        created->Release();
        return hr;
    }
    if (adjacency) *adjacency = adjacencyBuffer;
    if (materials) *materials = materialBuffer;
    if (numMaterials) *numMaterials = static_cast<DWORD>(data.materials.size());
    *mesh = created;
    return D3D_OK;
}
