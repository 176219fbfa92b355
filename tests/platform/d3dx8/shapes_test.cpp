// Generated box and sphere: counts, bounds, normals, winding and the argument edges.
#include "mesh_test_util.h"

#include "tests/support/platform/recording_device.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using meshtest::Cross;
using meshtest::Dot;
using meshtest::MeshArrays;
using meshtest::ReadBack;
using meshtest::Sub;

// In the left-handed frame, a face wound clockwise as seen from outside has
// (b - a) x (c - a) pointing outwards; D3DCULL_CCW then keeps it.
void ExpectClockwiseFromOutside(const MeshArrays& a) {
    for (size_t f = 0; f < a.indices.size() / 3; ++f) {
        const auto& p0 = a.positions[a.indices[f * 3]];
        const auto& p1 = a.positions[a.indices[f * 3 + 1]];
        const auto& p2 = a.positions[a.indices[f * 3 + 2]];
        const std::array<float, 3> centre = {
            (p0[0] + p1[0] + p2[0]) / 3, (p0[1] + p1[1] + p2[1]) / 3, (p0[2] + p1[2] + p2[2]) / 3};
        ASSERT_GT(Dot(Cross(Sub(p1, p0), Sub(p2, p0)), centre), 0) << "face " << f;
    }
}

void ExpectClosedSurface(ID3DXMesh* mesh) {
    std::vector<DWORD> adjacency(mesh->GetNumFaces() * 3);
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), D3D_OK);
    for (size_t i = 0; i < adjacency.size(); ++i) {
        const DWORD other = adjacency[i];
        ASSERT_LT(other, mesh->GetNumFaces()) << "edge " << i << " has no neighbour";
        // The neighbour names this face back on one of its edges.
        const DWORD self = static_cast<DWORD>(i / 3);
        EXPECT_TRUE(adjacency[other * 3] == self || adjacency[other * 3 + 1] == self ||
                    adjacency[other * 3 + 2] == self);
    }
}

class ShapesTest : public ::testing::Test {
  protected:
    testsupport::RecordingDevice device;
};

TEST_F(ShapesTest, BoxHasFlatOutwardFacesAndItsExtents) {
    ID3DXMesh* box = nullptr;
    ASSERT_EQ(D3DXCreateBox(&device, 0.5f, 6.0f, 16.0f, &box, nullptr), D3D_OK);
    EXPECT_EQ(box->GetNumVertices(), 24u);
    EXPECT_EQ(box->GetNumFaces(), 12u);
    EXPECT_EQ(box->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    const MeshArrays a = ReadBack(box);
    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (const auto& p : a.positions)
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], p[k]);
            high[k] = std::max(high[k], p[k]);
        }
    EXPECT_FLOAT_EQ(low[0], -0.25f);
    EXPECT_FLOAT_EQ(high[0], 0.25f);
    EXPECT_FLOAT_EQ(low[1], -3.0f);
    EXPECT_FLOAT_EQ(high[1], 3.0f);
    EXPECT_FLOAT_EQ(low[2], -8.0f);
    EXPECT_FLOAT_EQ(high[2], 8.0f);
    // Every face: its three corners share one axis-aligned unit normal, which points away from
    // the centre and along which the corners lie on the box's side.
    for (size_t f = 0; f < 12; ++f) {
        const auto& n = a.normals[a.indices[f * 3]];
        EXPECT_FLOAT_EQ(std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]), 1.0f);
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = a.indices[f * 3 + k];
            EXPECT_EQ(a.normals[v], n);
            EXPECT_GT(Dot(a.positions[v], n), 0);
        }
    }
    ExpectClockwiseFromOutside(a);
    ExpectClosedSurface(box);
    DWORD size = 0;
    box->GetAttributeTable(nullptr, &size);
    EXPECT_EQ(size, 1u);
    box->Release();
}

TEST_F(ShapesTest, SphereOfSeventyByStacksHasUnitNormalsOnItsSurface) {
    ID3DXMesh* sphere = nullptr;
    ASSERT_EQ(D3DXCreateSphere(&device, 20.0f, 70, 70, &sphere, nullptr), D3D_OK);
    EXPECT_EQ(sphere->GetNumVertices(), 2u + 70u * 69u);
    EXPECT_EQ(sphere->GetNumFaces(), 2u * 70u * 69u);
    EXPECT_EQ(sphere->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(sphere->GetOptions() & D3DXMESH_32BIT, 0u);
    const MeshArrays a = ReadBack(sphere);
    for (size_t v = 0; v < a.positions.size(); ++v) {
        const auto& p = a.positions[v];
        const auto& n = a.normals[v];
        ASSERT_NEAR(std::sqrt(Dot(p, p)), 20.0f, 1e-3f);
        ASSERT_NEAR(Dot(n, n), 1.0f, 1e-5f);
        ASSERT_NEAR(Dot(n, p), 20.0f, 1e-3f); // along the radius, outwards
    }
    ExpectClockwiseFromOutside(a);
    ExpectClosedSurface(sphere);
    sphere->Release();
}

TEST_F(ShapesTest, SphereDivisionEdges) {
    ID3DXMesh* sphere = nullptr;
    // Two slices and two stacks: the least there is, two poles and a ring of two.
    ASSERT_EQ(D3DXCreateSphere(&device, 1.0f, 2, 2, &sphere, nullptr), D3D_OK);
    EXPECT_EQ(sphere->GetNumVertices(), 4u);
    EXPECT_EQ(sphere->GetNumFaces(), 4u);
    sphere->Release();

    for (auto [slices, stacks] : {std::pair{1u, 10u}, {10u, 1u}, {0u, 0u}}) {
        sphere = reinterpret_cast<ID3DXMesh*>(0x1);
        EXPECT_EQ(D3DXCreateSphere(&device, 1.0f, slices, stacks, &sphere, nullptr),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(sphere, nullptr);
    }

    // Above 240 counts as 240.
    ASSERT_EQ(D3DXCreateSphere(&device, 1.0f, 241, 100000, &sphere, nullptr), D3D_OK);
    EXPECT_EQ(sphere->GetNumVertices(), 2u + 240u * 239u);
    EXPECT_EQ(sphere->GetNumFaces(), 2u * 240u * 239u);
    ExpectClockwiseFromOutside(ReadBack(sphere));
    sphere->Release();
}

TEST_F(ShapesTest, RequiredArgumentsAndBadSizesAreRefused) {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateBox(nullptr, 1, 1, 1, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateBox(&device, 1, 1, 1, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(nullptr, 1, 8, 8, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(&device, 1, 8, 8, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateBox(&device, -1, 1, 1, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateBox(&device, 1, NAN, 1, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateSphere(&device, -2, 8, 8, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(device.refCount, 1);
}

TEST_F(ShapesTest, MeshHoldsADeviceReferenceUntilReleased) {
    ID3DXMesh* box = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ASSERT_EQ(D3DXCreateBox(&device, 1, 1, 1, &box, &adjacency), D3D_OK);
    EXPECT_EQ(device.refCount, 2);
    ASSERT_NE(adjacency, nullptr);
    EXPECT_EQ(adjacency->GetBufferSize(), 12u * 3u * sizeof(DWORD));
    IDirect3DDevice8* got = nullptr;
    ASSERT_EQ(box->GetDevice(&got), D3D_OK);
    EXPECT_EQ(got, &device);
    EXPECT_EQ(device.refCount, 3);
    got->Release();
    EXPECT_EQ(box->AddRef(), 2u);
    EXPECT_EQ(box->Release(), 1u);
    EXPECT_EQ(box->Release(), 0u);
    EXPECT_EQ(device.refCount, 1);
    adjacency->Release();
}

} // namespace
