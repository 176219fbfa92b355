// Internal to the D3DX stand-in: how meshes are built from plain arrays, shared by the shape
// generators, the .x loader, tools and tests.
#pragma once

#include <d3dx8.h>

#include <cstdint>
#include <vector>

namespace platform::xfile {
struct MeshData;
}

namespace platform::d3dx {

// Bytes per vertex of the formats a mesh can hold (position, normal, one 2D texture
// coordinate); 0 for anything else.
DWORD FvfStride(DWORD fvf);

// Makes a system-memory mesh from vertices laid out as fvf describes, three indices per face and
// one attribute per face. Indices are stored in 16 bits unless options has D3DXMESH_32BIT or
// there are more than 65535 vertices. device may be null for a mesh that is never drawn (tools,
// fuzzing); otherwise the mesh holds a reference to it. Refuses (D3DERR_INVALIDCALL) an unknown
// format, a vertex array that is not a whole number of vertices, an index count that is not a
// multiple of three, a face without an attribute or an index past the last vertex.
HRESULT CreateSystemMesh(IDirect3DDevice8* device, DWORD options, DWORD fvf,
                         std::vector<BYTE> vertices, const std::vector<uint32_t>& indices,
                         std::vector<DWORD> attributes, ID3DXMesh** mesh);

// The system-memory mesh of what the .x reader gave: position, normal and, when the file has
// them, texture coordinates. Takes the attributes out of `data`.
HRESULT CreateMeshFromXData(IDirect3DDevice8* device, DWORD options, xfile::MeshData& data,
                            ID3DXMesh** mesh);

} // namespace platform::d3dx
