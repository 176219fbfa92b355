// System-memory meshes: subset drawing through the device interface, Optimize, locks and
// adjacency; and D3DXLoadMeshFromX's buffers.
#include "mesh_test_util.h"

#include "tests/support/platform/recording_device.h"

#include <platform/d3dx8/d3dx8_mesh_impl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <set>
#include <string>

namespace {

using meshtest::MeshArrays;
using meshtest::ReadBack;
using meshtest::TrianglesByAttribute;

const DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

std::string Corpus(const char* name) {
    return std::string(KOLTREP_SOURCE_DIR) + "/tests/data/x/" + name;
}

// A strip of unit quads along x, two triangles each, with normals up. Vertices past the strip
// (unused) are appended when asked.
struct Strip {
    std::vector<BYTE> vertices;
    std::vector<uint32_t> indices;
    std::vector<DWORD> attributes;
};
Strip MakeStrip(int quads, const std::vector<DWORD>& quadAttributes, int unused = 0) {
    Strip s;
    auto add = [&](float x, float z) {
        const float v[6] = {x, 0, z, 0, 1, 0};
        const BYTE* b = reinterpret_cast<const BYTE*>(v);
        s.vertices.insert(s.vertices.end(), b, b + sizeof v);
    };
    for (int i = 0; i <= quads; ++i) {
        add(float(i), 0);
        add(float(i), 1);
    }
    for (int u = 0; u < unused; ++u)
        add(100.0f + u, 100.0f);
    for (int q = 0; q < quads; ++q) {
        const uint32_t a = q * 2, b = q * 2 + 1, c = q * 2 + 3, d = q * 2 + 2;
        s.indices.insert(s.indices.end(), {a, b, c, a, c, d});
        s.attributes.push_back(quadAttributes[q]);
        s.attributes.push_back(quadAttributes[q]);
    }
    return s;
}

ID3DXMesh* MakeMesh(IDirect3DDevice8* device, const Strip& s, DWORD options = 0) {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(platform::d3dx::CreateSystemMesh(device, options, kFvf, s.vertices, s.indices,
                                               s.attributes, &mesh),
              D3D_OK);
    return mesh;
}

const DWORD kOptimizeFlags = D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE;

class MeshTest : public ::testing::Test {
  protected:
    testsupport::RecordingDevice device;
};

TEST_F(MeshTest, DrawSubsetIsOneIndexedDrawPerSubsetAfterOptimize) {
    // Attributes interleaved: subset 0 and 1 are each split into two runs before sorting.
    ID3DXMesh* mesh = MakeMesh(&device, MakeStrip(5, {0, 1, 0, 1, 2}));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_EQ(device.CountOf("DrawIndexedPrimitive"), 2u); // unsorted: one draw per run
    device.ClearCalls();

    std::vector<DWORD> adjacency(mesh->GetNumFaces() * 3);
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), D3D_OK);
    ID3DXMesh* optimized = nullptr;
    ASSERT_EQ(
        mesh->Optimize(kOptimizeFlags, adjacency.data(), nullptr, nullptr, nullptr, &optimized),
        D3D_OK);
    const DWORD expectedFaces[3] = {4, 4, 2};
    for (DWORD subset = 0; subset < 3; ++subset) {
        device.ClearCalls();
        ASSERT_EQ(optimized->DrawSubset(subset), D3D_OK);
        ASSERT_EQ(device.Names(), (std::vector<std::string>{"SetVertexShader", "SetStreamSource",
                                                            "SetIndices", "DrawIndexedPrimitive"}));
        EXPECT_EQ(device.calls[0].args[0], kFvf);
        const auto& draw = device.calls[3];
        EXPECT_EQ(draw.args[0], D3DPT_TRIANGLELIST);
        EXPECT_EQ(draw.args[4], expectedFaces[subset]); // primitive count
        EXPECT_EQ(draw.stride, 24u);
    }
    // The attribute table agrees: one range per subset, faces and vertices in range.
    DWORD size = 0;
    optimized->GetAttributeTable(nullptr, &size);
    ASSERT_EQ(size, 3u);
    std::vector<D3DXATTRIBUTERANGE> table(size);
    optimized->GetAttributeTable(table.data(), &size);
    const MeshArrays a = ReadBack(optimized);
    for (const auto& range : table) {
        EXPECT_EQ(range.FaceCount, expectedFaces[range.AttribId]);
        for (DWORD f = range.FaceStart; f < range.FaceStart + range.FaceCount; ++f)
            for (int k = 0; k < 3; ++k) {
                EXPECT_GE(a.indices[f * 3 + k], range.VertexStart);
                EXPECT_LT(a.indices[f * 3 + k], range.VertexStart + range.VertexCount);
            }
    }
    // A subset without faces draws nothing at all.
    device.ClearCalls();
    EXPECT_EQ(optimized->DrawSubset(7), D3D_OK);
    EXPECT_TRUE(device.calls.empty());
    optimized->Release();
    mesh->Release();
}

TEST_F(MeshTest, OptimizeKeepsTrianglesPerSubsetAndLeavesTheSourceAlone) {
    ID3DXMesh* box = nullptr;
    ASSERT_EQ(D3DXCreateSphere(&device, 3.0f, 12, 9, &box, nullptr), D3D_OK);
    // Spread the faces over three subsets in a scattered pattern.
    DWORD* attributes = nullptr;
    box->LockAttributeBuffer(0, &attributes);
    for (DWORD f = 0; f < box->GetNumFaces(); ++f)
        attributes[f] = (f * 7) % 3;
    box->UnlockAttributeBuffer();
    const MeshArrays before = ReadBack(box);

    ID3DXMesh* optimized = nullptr;
    std::vector<DWORD> faceRemap(box->GetNumFaces());
    ID3DXBuffer* vertexRemap = nullptr;
    ASSERT_EQ(
        box->Optimize(kOptimizeFlags, nullptr, nullptr, faceRemap.data(), &vertexRemap, &optimized),
        D3D_OK);
    const MeshArrays after = ReadBack(optimized);
    EXPECT_EQ(TrianglesByAttribute(after), TrianglesByAttribute(before));
    EXPECT_TRUE(std::is_sorted(after.attributes.begin(), after.attributes.end()));
    // The source mesh is unchanged.
    const MeshArrays again = ReadBack(box);
    EXPECT_EQ(again.positions, before.positions);
    EXPECT_EQ(again.indices, before.indices);
    EXPECT_EQ(again.attributes, before.attributes);
    // The face remap is a permutation that names each new face's source.
    std::vector<DWORD> sorted = faceRemap;
    std::sort(sorted.begin(), sorted.end());
    for (DWORD i = 0; i < sorted.size(); ++i)
        ASSERT_EQ(sorted[i], i);
    for (size_t f = 0; f < faceRemap.size(); ++f) {
        EXPECT_EQ(after.attributes[f], before.attributes[faceRemap[f]]);
        std::multiset<std::array<float, 3>> newCorners, oldCorners;
        for (int k = 0; k < 3; ++k) {
            newCorners.insert(after.positions[after.indices[f * 3 + k]]);
            oldCorners.insert(before.positions[before.indices[faceRemap[f] * 3 + k]]);
        }
        EXPECT_EQ(newCorners, oldCorners);
    }
    // The vertex remap names each new vertex's source.
    ASSERT_NE(vertexRemap, nullptr);
    ASSERT_EQ(vertexRemap->GetBufferSize(), after.positions.size() * sizeof(DWORD));
    const DWORD* remap = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    for (size_t v = 0; v < after.positions.size(); ++v)
        EXPECT_EQ(after.positions[v], before.positions[remap[v]]);
    vertexRemap->Release();
    optimized->Release();
    box->Release();
}

TEST_F(MeshTest, VertexCacheAloneKeepsEachRunInPlaceAndTwoSidedFacesApart) {
    // Quad 1 is drawn from both sides: the same corners in both windings.
    Strip s = MakeStrip(4, {0, 1, 0, 2});
    s.indices.insert(s.indices.end(), {2, 5, 3});
    s.attributes.push_back(2);
    ID3DXMesh* mesh = MakeMesh(&device, s);
    const MeshArrays before = ReadBack(mesh);
    ID3DXMesh* optimized = nullptr;
    std::vector<DWORD> faceRemap(mesh->GetNumFaces());
    ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_VERTEXCACHE, nullptr, nullptr, faceRemap.data(), nullptr,
                             &optimized),
              D3D_OK);
    const MeshArrays after = ReadBack(optimized);
    EXPECT_EQ(after.attributes, before.attributes); // runs stay where they were
    EXPECT_EQ(TrianglesByAttribute(after), TrianglesByAttribute(before));
    for (size_t f = 0; f < faceRemap.size(); ++f)
        EXPECT_EQ(meshtest::Canonical({after.positions[after.indices[f * 3]],
                                       after.positions[after.indices[f * 3 + 1]],
                                       after.positions[after.indices[f * 3 + 2]]}),
                  meshtest::Canonical({before.positions[before.indices[faceRemap[f] * 3]],
                                       before.positions[before.indices[faceRemap[f] * 3 + 1]],
                                       before.positions[before.indices[faceRemap[f] * 3 + 2]]}))
            << "face " << f;
    optimized->Release();
    mesh->Release();
}

TEST_F(MeshTest, CompactionDropsUnusedVertices) {
    ID3DXMesh* mesh = MakeMesh(&device, MakeStrip(2, {0, 0}, 10));
    EXPECT_EQ(mesh->GetNumVertices(), 16u);
    ID3DXMesh* optimized = nullptr;
    ASSERT_EQ(mesh->Optimize(kOptimizeFlags, nullptr, nullptr, nullptr, nullptr, &optimized),
              D3D_OK);
    EXPECT_EQ(optimized->GetNumVertices(), 6u);
    EXPECT_EQ(TrianglesByAttribute(ReadBack(optimized)), TrianglesByAttribute(ReadBack(mesh)));
    optimized->Release();
    // Without COMPACT every vertex stays.
    ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr, &optimized),
              D3D_OK);
    EXPECT_EQ(optimized->GetNumVertices(), 16u);
    optimized->Release();
    mesh->Release();
}

TEST_F(MeshTest, AdjacencyIsCarriedThroughOptimize) {
    ID3DXMesh* sphere = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXCreateSphere(&device, 1.0f, 16, 8, &sphere, &adjacency), D3D_OK);
    ID3DXMesh* optimized = nullptr;
    std::vector<DWORD> carried(sphere->GetNumFaces() * 3);
    ASSERT_EQ(sphere->Optimize(kOptimizeFlags,
                               static_cast<const DWORD*>(adjacency->GetBufferPointer()),
                               carried.data(), nullptr, nullptr, &optimized),
              D3D_OK);
    std::vector<DWORD> fresh(carried.size());
    optimized->GenerateAdjacency(0.0f, fresh.data());
    EXPECT_EQ(carried, fresh);
    optimized->Release();
    sphere->Release();
    adjacency->Release();
}

TEST_F(MeshTest, AdjacencyEpsilonJoinsNearbyCorners) {
    // Two triangles meant to share the edge (0,0,0)-(1,0,1); the second triangle's copy of the
    // far corner is off by 1e-4 in x.
    const float v[6][6] = {{0, 0, 0, 0, 1, 0},       {0, 0, 1, 0, 1, 0}, {1, 0, 1, 0, 1, 0},
                           {1.0001f, 0, 1, 0, 1, 0}, {0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0}};
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(v),
                            reinterpret_cast<const BYTE*>(v) + sizeof v);
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(platform::d3dx::CreateSystemMesh(&device, 0, kFvf, bytes, {0, 1, 2, 4, 3, 5}, {0, 0},
                                               &mesh),
              D3D_OK);
    DWORD adjacency[6];
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency), D3D_OK);
    EXPECT_EQ(std::count(adjacency, adjacency + 6, 0xFFFFFFFFu), 6);
    ASSERT_EQ(mesh->GenerateAdjacency(0.001f, adjacency), D3D_OK);
    EXPECT_EQ(adjacency[2], 1u); // face 0's edge 2 -> 0
    EXPECT_EQ(adjacency[3], 0u); // face 1's edge 4 -> 3
    EXPECT_EQ(std::count(adjacency, adjacency + 6, 0xFFFFFFFFu), 4);
    EXPECT_EQ(mesh->GenerateAdjacency(0.0f, nullptr), D3DERR_INVALIDCALL);
    mesh->Release();
}

TEST_F(MeshTest, IndicesWidenPastSixtyFiveThousandVerticesOrOnRequest) {
    const Strip big = MakeStrip(1, {0}, 70000);
    ID3DXMesh* mesh = MakeMesh(&device, big);
    EXPECT_NE(mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    mesh->DrawSubset(0);
    EXPECT_EQ(device.CallsNamed("CreateIndexBuffer").at(0)->args[2], D3DFMT_INDEX32);
    EXPECT_EQ(device.CountOf("DrawIndexedPrimitive"), 1u);
    mesh->Release();

    ID3DXMesh* wide = MakeMesh(&device, MakeStrip(1, {0}), D3DXMESH_32BIT | D3DXMESH_SYSTEMMEM);
    EXPECT_EQ(wide->GetOptions(), DWORD(D3DXMESH_32BIT | D3DXMESH_SYSTEMMEM));
    EXPECT_EQ(ReadBack(wide).indices, (std::vector<uint32_t>{0, 1, 3, 0, 3, 2}));
    wide->Release();
}

TEST_F(MeshTest, IndexWrittenPastTheVerticesIsRefusedNotDrawn) {
    ID3DXMesh* mesh = MakeMesh(&device, MakeStrip(1, {0}));
    BYTE* indices = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(0, &indices), D3D_OK);
    const uint16_t bad = 999;
    std::memcpy(indices + 2, &bad, 2);
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device.CountOf("DrawIndexedPrimitive"), 0u);
    ID3DXMesh* optimized = nullptr;
    EXPECT_EQ(mesh->Optimize(kOptimizeFlags, nullptr, nullptr, nullptr, nullptr, &optimized),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(optimized, nullptr);
    mesh->Release();
}

TEST_F(MeshTest, DeviceBuffersFollowUnlockAndArraysServeWhenTheDeviceRefusesThem) {
    ID3DXMesh* mesh = MakeMesh(&device, MakeStrip(1, {0}));
    ASSERT_EQ(device.vertexBuffers.size(), 1u);
    BYTE* vertices = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(0, &vertices), D3D_OK);
    vertices[0] ^= 0x55;
    mesh->UnlockVertexBuffer();
    EXPECT_EQ(device.vertexBuffers.back()->bytes[0], vertices[0]);
    EXPECT_EQ(device.CountOf("CreateVertexBuffer"), 1u); // same size: the buffer is kept
    mesh->Release();

    device.createIndexBufferResult = D3DERR_OUTOFVIDEOMEMORY;
    ID3DXMesh* fallback = MakeMesh(&device, MakeStrip(1, {0}));
    device.ClearCalls();
    ASSERT_EQ(fallback->DrawSubset(0), D3D_OK);
    EXPECT_EQ(device.Names(),
              (std::vector<std::string>{"SetVertexShader", "DrawIndexedPrimitiveUP"}));
    fallback->Release();
    EXPECT_EQ(device.refCount, 1);
}

TEST_F(MeshTest, CreateRefusesInconsistentArrays) {
    const Strip s = MakeStrip(1, {0});
    ID3DXMesh* mesh = nullptr;
    using platform::d3dx::CreateSystemMesh;
    EXPECT_EQ(CreateSystemMesh(&device, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, s.vertices, s.indices,
                               s.attributes, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(CreateSystemMesh(&device, 0, kFvf, {s.vertices.begin(), s.vertices.end() - 1},
                               s.indices, s.attributes, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(CreateSystemMesh(&device, 0, kFvf, s.vertices, {0, 1}, {0}, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(CreateSystemMesh(&device, 0, kFvf, s.vertices, s.indices, {0}, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(device.refCount, 1);
}

TEST_F(MeshTest, LoadCubeGivesTexturedMaterialAndClosedAdjacency) {
    ID3DXBuffer *adjacency = nullptr, *materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromX(Corpus("cube.x").c_str(), D3DXMESH_SYSTEMMEM, &device, &adjacency,
                                &materials, &count, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(mesh->GetNumVertices(), 24u);
    EXPECT_EQ(mesh->GetNumFaces(), 12u);
    ASSERT_EQ(count, 1u);
    const auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    EXPECT_FLOAT_EQ(records[0].MatD3D.Diffuse.r, 0.8f);
    EXPECT_FLOAT_EQ(records[0].MatD3D.Power, 12.0f);
    ASSERT_NE(records[0].pTextureFilename, nullptr);
    EXPECT_STREQ(records[0].pTextureFilename, "cube.png");
    // The name lives inside the same buffer, after the records.
    const char* begin = static_cast<const char*>(materials->GetBufferPointer());
    EXPECT_GE(records[0].pTextureFilename, begin + sizeof(D3DXMATERIAL));
    EXPECT_LE(records[0].pTextureFilename + 9, begin + materials->GetBufferSize());
    ASSERT_EQ(adjacency->GetBufferSize(), 12u * 3u * sizeof(DWORD));
    const DWORD* adjacent = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    EXPECT_EQ(std::count(adjacent, adjacent + 36, 0xFFFFFFFFu), 0); // a closed cube
    EXPECT_EQ(device.refCount, 2);

    // As the program uses it: optimise, then subset i draws material i's faces.
    ID3DXMesh* optimized = nullptr;
    ASSERT_EQ(mesh->Optimize(kOptimizeFlags, adjacent, nullptr, nullptr, nullptr, &optimized),
              D3D_OK);
    ASSERT_EQ(optimized->DrawSubset(0), D3D_OK);
    ASSERT_EQ(device.CountOf("DrawIndexedPrimitive"), 1u);
    EXPECT_EQ(device.CallsNamed("DrawIndexedPrimitive")[0]->args[4], 12);
    EXPECT_EQ(device.CallsNamed("DrawIndexedPrimitive")[0]->stride, 32u);
    optimized->Release();
    mesh->Release();
    adjacency->Release();
    materials->Release();
    EXPECT_EQ(device.refCount, 1);
}

TEST_F(MeshTest, LoadTwoMaterialFileDrawsEachMaterialsFacesAsItsSubset) {
    ID3DXBuffer *adjacency = nullptr, *materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromX(Corpus("frames_bzip.x").c_str(), D3DXMESH_SYSTEMMEM, &device,
                                &adjacency, &materials, &count, &mesh),
              D3D_OK);
    ASSERT_EQ(count, 3u);
    const auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    EXPECT_STREQ(records[0].pTextureFilename, "metal.png");
    EXPECT_STREQ(records[1].pTextureFilename, "glass.png");
    EXPECT_STREQ(records[2].pTextureFilename, "glass.png");
    ID3DXMesh* optimized = nullptr;
    ASSERT_EQ(mesh->Optimize(kOptimizeFlags,
                             static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr,
                             nullptr, nullptr, &optimized),
              D3D_OK);
    EXPECT_EQ(TrianglesByAttribute(ReadBack(optimized)), TrianglesByAttribute(ReadBack(mesh)));
    const int faces[3] = {4, 2, 1}; // four sides, the two-triangle base, the lone triangle
    for (DWORD i = 0; i < 3; ++i) {
        device.ClearCalls();
        optimized->DrawSubset(i);
        ASSERT_EQ(device.CountOf("DrawIndexedPrimitive"), 1u);
        EXPECT_EQ(device.CallsNamed("DrawIndexedPrimitive")[0]->args[4], faces[i]);
    }
    optimized->Release();
    mesh->Release();
    adjacency->Release();
    materials->Release();
}

TEST_F(MeshTest, LoadWithoutMaterialsGivesTheDefaultMaterial) {
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromX(Corpus("nomaterials_bin.x").c_str(), D3DXMESH_SYSTEMMEM, &device,
                                nullptr, &materials, &count, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    ASSERT_EQ(count, 1u);
    const D3DXMATERIAL& m = *static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    const float expected[17] = {0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0.5f,
                                0.5f, 0.5f, 0,    0, 0, 0, 0, 0};
    float actual[17];
    std::memcpy(actual, &m.MatD3D, sizeof actual);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(actual[i], expected[i]) << "float " << i;
    EXPECT_EQ(m.pTextureFilename, nullptr);
    mesh->Release();
    materials->Release();
}

TEST_F(MeshTest, LoadFailuresReturnFailureAndNoObjects) {
    ID3DXBuffer *adjacency = reinterpret_cast<ID3DXBuffer*>(1), *materials = adjacency;
    DWORD count = 77;
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(1);
    EXPECT_TRUE(FAILED(D3DXLoadMeshFromX(Corpus("missing.x").c_str(), D3DXMESH_SYSTEMMEM, &device,
                                         &adjacency, &materials, &count, &mesh)));
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(adjacency, nullptr);
    EXPECT_EQ(materials, nullptr);
    EXPECT_TRUE(FAILED(D3DXLoadMeshFromX(KOLTREP_SOURCE_DIR "/tests/data/x", D3DXMESH_SYSTEMMEM,
                                         &device, nullptr, nullptr, nullptr, &mesh)));
    EXPECT_EQ(D3DXLoadMeshFromX(nullptr, 0, &device, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        D3DXLoadMeshFromX(Corpus("cube.x").c_str(), 0, nullptr, nullptr, nullptr, nullptr, &mesh),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(
        D3DXLoadMeshFromX(Corpus("cube.x").c_str(), 0, &device, nullptr, nullptr, nullptr, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device.refCount, 1);
}

TEST(MeshBuffer, CreateBufferZeroedAndCounted) {
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &buffer), D3D_OK);
    EXPECT_EQ(buffer->GetBufferSize(), 64u);
    const BYTE* bytes = static_cast<const BYTE*>(buffer->GetBufferPointer());
    EXPECT_EQ(std::accumulate(bytes, bytes + 64, 0), 0);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    ASSERT_EQ(D3DXCreateBuffer(0, &buffer), D3D_OK);
    EXPECT_NE(buffer->GetBufferPointer(), nullptr);
    buffer->Release();
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

} // namespace
