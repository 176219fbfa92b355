// Helpers for the mesh tests: read a mesh's arrays back through its locks, and describe its
// geometry in a form that does not depend on vertex or face order.
#pragma once

#include <d3dx8.h>

#include <array>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace meshtest {

struct MeshArrays {
    DWORD fvf = 0;
    DWORD stride = 0;
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<uint32_t> indices;
    std::vector<DWORD> attributes;
};

inline MeshArrays ReadBack(ID3DXMesh* mesh) {
    MeshArrays a;
    a.fvf = mesh->GetFVF();
    a.stride = 12 + ((a.fvf & D3DFVF_NORMAL) ? 12 : 0) + ((a.fvf & D3DFVF_TEX1) ? 8 : 0);
    BYTE* v = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &v);
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        std::array<float, 3> p, n{};
        std::memcpy(p.data(), v + size_t(i) * a.stride, 12);
        if (a.fvf & D3DFVF_NORMAL) std::memcpy(n.data(), v + size_t(i) * a.stride + 12, 12);
        a.positions.push_back(p);
        a.normals.push_back(n);
    }
    mesh->UnlockVertexBuffer();
    BYTE* ib = nullptr;
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib);
    const bool wide = mesh->GetOptions() & D3DXMESH_32BIT;
    for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i) {
        if (wide) {
            uint32_t x;
            std::memcpy(&x, ib + i * 4, 4);
            a.indices.push_back(x);
        } else {
            uint16_t x;
            std::memcpy(&x, ib + i * 2, 2);
            a.indices.push_back(x);
        }
    }
    mesh->UnlockIndexBuffer();
    DWORD* attributes = nullptr;
    mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
    a.attributes.assign(attributes, attributes + mesh->GetNumFaces());
    mesh->UnlockAttributeBuffer();
    return a;
}

// A triangle by its corner positions, rotated to start at the smallest corner so the same
// triangle compares equal whatever its first corner, while its winding still counts.
using Triangle = std::array<std::array<float, 3>, 3>;
inline Triangle Canonical(Triangle t) {
    int first = 0;
    for (int k = 1; k < 3; ++k)
        if (t[k] < t[first]) first = k;
    return {t[first], t[(first + 1) % 3], t[(first + 2) % 3]};
}

// attribute -> multiset of triangles.
inline std::map<DWORD, std::multiset<Triangle>> TrianglesByAttribute(const MeshArrays& a) {
    std::map<DWORD, std::multiset<Triangle>> out;
    for (size_t f = 0; f < a.attributes.size(); ++f)
        out[a.attributes[f]].insert(
            Canonical({a.positions[a.indices[f * 3]], a.positions[a.indices[f * 3 + 1]],
                       a.positions[a.indices[f * 3 + 2]]}));
    return out;
}

inline std::array<float, 3> Sub(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline std::array<float, 3> Cross(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline float Dot(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace meshtest
