// Fuzzes the .x reader from memory and, for what it accepts, the mesh built from it: adjacency
// and Optimize run on the result, as the program's mesh loading does.
#include <platform/d3dx8/d3dx8_mesh_impl.h>
#include <platform/d3dx8/xfile/xfile_reader.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::xfile::MeshData mesh;
    std::string reason;
    if (!platform::xfile::ReadXMemory(data, size, mesh, reason)) return 0;

    ID3DXMesh* built = nullptr;
    if (FAILED(platform::d3dx::CreateMeshFromXData(nullptr, D3DXMESH_SYSTEMMEM, mesh, &built)))
        __builtin_trap(); // the reader's output must always make a valid mesh
    std::vector<DWORD> adjacency(built->GetNumFaces() * 3);
    built->GenerateAdjacency(0.0f, adjacency.data());
    ID3DXMesh* optimized = nullptr;
    if (SUCCEEDED(
            built->Optimize(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                            adjacency.data(), adjacency.data(), nullptr, nullptr, &optimized)))
        optimized->Release();
    built->Release();
    return 0;
}
