// Generated shapes as system-memory meshes of positions and normals, one subset (attribute 0).
// Implements D3DXCreateBox (24 vertices with flat normals, 12 faces) and D3DXCreateSphere
// (poles on the z axis, 2 + slices * (stacks - 1) vertices, 2 * slices * (stacks - 1) faces).
// Every face is wound clockwise as seen from outside, so culling D3DCULL_CCW shows the outside.
// Limits: slices and stacks below 2 are refused, above 240 clamped; negative or non-finite sizes
// are refused.
#include <platform/d3dx8/d3dx8_mesh_impl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr UINT kMaxDivisions = 240;

struct PositionNormal {
    float px, py, pz, nx, ny, nz;
};

std::vector<BYTE> Bytes(const std::vector<PositionNormal>& vertices) {
    std::vector<BYTE> bytes(vertices.size() * sizeof(PositionNormal));
    std::memcpy(bytes.data(), vertices.data(), bytes.size());
    return bytes;
}

bool ValidSize(float value) {
    return std::isfinite(value) && value >= 0.0f;
}

HRESULT FinishShape(IDirect3DDevice8* device, const std::vector<PositionNormal>& vertices,
                    const std::vector<uint32_t>& indices, ID3DXMesh** mesh,
                    ID3DXBuffer** adjacency) {
    ID3DXMesh* created = nullptr;
    HRESULT hr = platform::d3dx::CreateSystemMesh(
        device, D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_NORMAL, Bytes(vertices), indices,
        std::vector<DWORD>(indices.size() / 3, 0), &created);
    if (FAILED(hr)) return hr;
    if (adjacency) {
        hr = D3DXCreateBuffer(created->GetNumFaces() * 3 * sizeof(DWORD), adjacency);
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
        created->GenerateAdjacency(0.0f, static_cast<DWORD*>((*adjacency)->GetBufferPointer()));
    }
    *mesh = created;
    return D3D_OK;
}

} // namespace

HRESULT D3DXCreateBox(IDirect3DDevice8* device, float width, float height, float depth,
                      ID3DXMesh** mesh, ID3DXBuffer** adjacency) {
    if (adjacency) *adjacency = nullptr;
    if (!device || !mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!ValidSize(width) || !ValidSize(height) || !ValidSize(depth)) return D3DERR_INVALIDCALL;
    const float half[3] = {width * 0.5f, height * 0.5f, depth * 0.5f};

    // Each face: outward normal n and in-plane axes u, v with u x v = n, so the corners
    // n-u-v, n+u-v, n+u+v, n-u+v run clockwise as seen from outside (left-handed frame).
    struct Face {
        int n[3], u[3], v[3];
    };
    static const Face faces[6] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    static const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    std::vector<PositionNormal> vertices;
    std::vector<uint32_t> indices;
    for (const Face& face : faces) {
        const uint32_t base = static_cast<uint32_t>(vertices.size());
        for (const auto& c : corners) {
            float p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = (face.n[k] + c[0] * face.u[k] + c[1] * face.v[k]) * half[k];
            vertices.push_back(
                {p[0], p[1], p[2], float(face.n[0]), float(face.n[1]), float(face.n[2])});
        }
        for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
            indices.push_back(base + i);
    }
    return FinishShape(device, vertices, indices, mesh, adjacency);
}

HRESULT D3DXCreateSphere(IDirect3DDevice8* device, float radius, UINT slices, UINT stacks,
                         ID3DXMesh** mesh, ID3DXBuffer** adjacency) {
    if (adjacency) *adjacency = nullptr;
    if (!device || !mesh) return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (slices < 2 || stacks < 2 || !ValidSize(radius)) return D3DERR_INVALIDCALL;
    slices = std::min(slices, kMaxDivisions);
    stacks = std::min(stacks, kMaxDivisions);

    std::vector<PositionNormal> vertices;
    vertices.push_back({0, 0, radius, 0, 0, 1});
    for (UINT i = 1; i < stacks; ++i) {
        const double theta = M_PI * i / stacks;
        const double ringZ = std::cos(theta), ringRadius = std::sin(theta);
        for (UINT j = 0; j < slices; ++j) {
            const double phi = 2.0 * M_PI * j / slices;
            const float nx = float(ringRadius * std::cos(phi)),
                        ny = float(ringRadius * std::sin(phi));
            const float nz = float(ringZ);
            vertices.push_back({nx * radius, ny * radius, nz * radius, nx, ny, nz});
        }
    }
    vertices.push_back({0, 0, -radius, 0, 0, -1});
    const uint32_t bottom = static_cast<uint32_t>(vertices.size() - 1);

    auto ring = [slices](UINT i, UINT j) { return 1 + (i - 1) * slices + j % slices; };
    std::vector<uint32_t> indices;
    // Triangles (upper j, lower j, upper j+1) and (upper j+1, lower j, lower j+1) face outward;
    // the caps are the same with the pole standing for the missing ring.
    for (UINT j = 0; j < slices; ++j)
        indices.insert(indices.end(), {0u, ring(1, j), ring(1, j + 1)});
    for (UINT i = 1; i + 1 < stacks; ++i)
        for (UINT j = 0; j < slices; ++j) {
            indices.insert(indices.end(), {ring(i, j), ring(i + 1, j), ring(i, j + 1)});
            indices.insert(indices.end(), {ring(i, j + 1), ring(i + 1, j), ring(i + 1, j + 1)});
        }
    for (UINT j = 0; j < slices; ++j)
        indices.insert(indices.end(), {ring(stacks - 1, j), bottom, ring(stacks - 1, j + 1)});
    return FinishShape(device, vertices, indices, mesh, adjacency);
}
