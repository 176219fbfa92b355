// Meshes and scene objects on the recording device with the real mesh loading and shape
// generation: log lines, materials, the shared textures of a loaded mesh, and the calls a draw
// makes.
#include "gfx/resources/mesh_resource.h"
#include "gfx/resources/scene_object.h"
#include "gfx/resources/texture_cache.h"

#include "tests/support/program/resource_fixture.h"

#include <gtest/gtest.h>

using testsupport::DeviceCall;
using testsupport::RecordingDevice;
using testsupport::RecordingTexture;
using testsupport::ScopedDevice;

namespace {

// Three triangles, one per material; the first and the last material name the same texture,
// the middle one none.
const char* const kThreeMaterials = R"(xof 0303txt 0032
Mesh Three {
  9;
  0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;,
  2.0;0.0;0.0;, 2.0;1.0;0.0;, 3.0;0.0;0.0;,
  4.0;0.0;0.0;, 4.0;1.0;0.0;, 5.0;0.0;0.0;;
  3;
  3;0,1,2;, 3;3,4,5;, 3;6,7,8;;
  MeshMaterialList {
    3;
    3;
    0,1,2;;
    Material {
      1.0;0.0;0.0;1.0;;
      5.0;
      0.1;0.2;0.3;;
      0.0;0.0;0.0;;
      TextureFilename { "shared.png"; }
    }
    Material {
      0.0;1.0;0.0;0.5;;
      0.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
    }
    Material {
      0.0;0.0;1.0;1.0;;
      0.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
      TextureFilename { "shared.png"; }
    }
  }
}
)";

// One triangle whose material names a texture that is not there.
const char* const kMissingTexture = R"(xof 0303txt 0032
Mesh One {
  3;
  0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;;
  1;
  3;0,1,2;;
  MeshMaterialList {
    1;
    1;
    0;;
    Material {
      0.5;0.5;0.5;1.0;;
      0.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
      TextureFilename { "nowhere.png"; }
    }
  }
}
)";

bool SameColor(const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// The calls MeshResource::Draw makes itself, leaving out those of the mesh's DrawSubset.
std::vector<const DeviceCall*> OwnDrawCalls(const RecordingDevice& device) {
    std::vector<const DeviceCall*> out;
    for (const DeviceCall& c : device.calls)
        if (c.name == "SetTransform" || c.name == "SetMaterial" || c.name == "SetTexture")
            out.push_back(&c);
    return out;
}

using MeshTest = testsupport::ResourceTest;

TEST_F(MeshTest, GeneratedShapesHaveOneColourMaterialAndLogNothing) {
    {
        MeshResource box;
        ASSERT_TRUE(box.CreateBox(0.5f, 6.0f, 16.0f, D3DXCOLOR(0, 1, 1, 1)));
        ASSERT_NE(box.mesh, nullptr);
        EXPECT_EQ(box.materialCount, 1u);
        EXPECT_TRUE(box.name.empty());
        const D3DMATERIAL8& m = box.materials[0];
        EXPECT_TRUE(SameColor(m.Diffuse, {0, 1, 1, 1}));
        EXPECT_TRUE(SameColor(m.Ambient, {0, 1, 1, 1}));
        EXPECT_TRUE(SameColor(m.Specular, {0, 0, 0, 0}));
        EXPECT_TRUE(SameColor(m.Emissive, {0, 0, 0, 0}));
        EXPECT_EQ(m.Power, 0.0f);
        EXPECT_EQ(box.textures[0], nullptr);

        MeshResource sphere;
        ASSERT_TRUE(sphere.CreateSphere(20.0f, 70, 70, D3DXCOLOR(0.25f, 0.5f, 0.75f, 1)));
        EXPECT_TRUE(SameColor(sphere.materials[0].Ambient, {0.25f, 0.5f, 0.75f, 1}));

        // Making a shape again on the same object gives the first one back.
        ID3DXMesh* first = sphere.mesh;
        first->AddRef();
        ASSERT_TRUE(sphere.CreateBox(1, 1, 1, D3DXCOLOR(1, 1, 1, 1)));
        EXPECT_EQ(first->Release(), 0u);
    }
    EXPECT_EQ(log.text(), "");
}

TEST_F(MeshTest, FailedShapeCreationIsLoggedAndLeavesNoMesh) {
    MeshResource sphere;
    EXPECT_FALSE(sphere.CreateSphere(1.0f, 1, 70, D3DXCOLOR(1, 1, 1, 1))); // too few slices
    EXPECT_EQ(sphere.mesh, nullptr);
    {
        ScopedDevice none(nullptr);
        MeshResource box;
        EXPECT_FALSE(box.CreateBox(1, 1, 1, D3DXCOLOR(1, 1, 1, 1)));
        EXPECT_EQ(box.mesh, nullptr);
    }
    EXPECT_EQ(log.text(), "D3DXCreateSphere\nD3DXCreateBox\n");

    device.ClearCalls();
    D3DXMATRIX world(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    sphere.Draw(&world);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(MeshTest, DrawOnAnEmptyMeshMakesNoDeviceCallAtAll) {
    MeshResource empty;
    D3DXMATRIX world(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    empty.Draw(&world);
    EXPECT_TRUE(device.calls.empty()) << device.Log();
}

TEST_F(MeshTest, DrawSetsTheWorldThenMaterialAndTextureBeforeEachSubset) {
    MeshResource box;
    ASSERT_TRUE(box.CreateBox(1, 2, 3, D3DXCOLOR(0, 1, 1, 1)));
    device.ClearCalls();
    D3DXMATRIX world(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1);
    box.Draw(&world);
    auto own = OwnDrawCalls(device);
    ASSERT_EQ(own.size(), 3u) << device.Log();
    EXPECT_EQ(own[0]->name, "SetTransform");
    EXPECT_EQ(own[0]->args[0], D3DTS_WORLD);
    EXPECT_EQ(own[0]->floats[12], 7.0f);
    EXPECT_EQ(own[1]->name, "SetMaterial");
    EXPECT_EQ(own[2]->name, "SetTexture");
    EXPECT_EQ(own[2]->object, nullptr); // an untextured subset unbinds stage 0
    // The subset is drawn after its material and texture are set, never before.
    size_t firstDraw = device.calls.size();
    for (size_t i = 0; i < device.calls.size(); ++i)
        if (device.calls[i].name.rfind("Draw", 0) == 0) {
            firstDraw = i;
            break;
        }
    ASSERT_LT(firstDraw, device.calls.size()) << device.Log();
    EXPECT_GT(&device.calls[firstDraw], own[2]);
    // Draw sets no render state of its own.
    EXPECT_EQ(device.CountOf("SetRenderState"), 0u);
}

TEST_F(MeshTest, MaterialsNamingOneTextureShareItUntilTheLastHandBack) {
    testsupport::WriteFile("three.x", kThreeMaterials);
    folder.CopyData("almi.png", "shared.png");
    {
        MeshResource mesh;
        ASSERT_TRUE(mesh.Load("three.x", 0, 1));
        EXPECT_EQ(log.text(), "load(three.x) ... ok.\nload(shared.png) ... ok.\n");
        ASSERT_EQ(mesh.materialCount, 3u);
        EXPECT_EQ(mesh.name, "three.x");
        ASSERT_NE(mesh.textures[0], nullptr);
        EXPECT_EQ(mesh.textures[0], mesh.textures[2]);
        EXPECT_EQ(mesh.textures[1], nullptr);
        EXPECT_EQ(device.CountOf("CreateTexture"), 1u);
        ASSERT_NE(textureCache.head, nullptr);
        EXPECT_EQ(textureCache.head->refCount, 2);

        // The file's ambient colour is replaced by the diffuse one; the rest is copied.
        EXPECT_TRUE(SameColor(mesh.materials[0].Diffuse, {1, 0, 0, 1}));
        EXPECT_TRUE(SameColor(mesh.materials[0].Ambient, {1, 0, 0, 1}));
        EXPECT_TRUE(SameColor(mesh.materials[1].Ambient, {0, 1, 0, 0.5f}));
        EXPECT_FLOAT_EQ(mesh.materials[0].Specular.g, 0.2f);
        EXPECT_FLOAT_EQ(mesh.materials[0].Power, 5.0f);

        device.ClearCalls();
        D3DXMATRIX world(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
        mesh.Draw(&world);
        auto own = OwnDrawCalls(device);
        ASSERT_EQ(own.size(), 7u) << device.Log();
        EXPECT_EQ(own[2]->object, mesh.textures[0]);
        EXPECT_EQ(own[4]->object, nullptr);
        EXPECT_EQ(own[6]->object, mesh.textures[2]);
        EXPECT_FLOAT_EQ(own[3]->floats[1], 1.0f); // material 1 (diffuse green) with subset 1
    }
    EXPECT_EQ(log.text(), "load(three.x) ... ok.\nload(shared.png) ... ok.\n"
                          "release(three.x)\nrelease(shared.png)\n");
    EXPECT_EQ(device.LiveTextures(), 0u);
}

TEST_F(MeshTest, MeshesShareTexturesThroughTheCache) {
    testsupport::WriteFile("three.x", kThreeMaterials);
    folder.CopyData("almi.png", "shared.png");
    MeshResource a, b;
    ASSERT_TRUE(a.Load("three.x", 0, 1));
    ASSERT_TRUE(b.Load("three.x", 0, 1));
    EXPECT_EQ(a.textures[0], b.textures[0]);
    EXPECT_EQ(textureCache.head->refCount, 4);
    a.Release();
    EXPECT_EQ(device.LiveTextures(), 1u);
    b.Release();
    EXPECT_EQ(device.LiveTextures(), 0u);
    EXPECT_EQ(log.text(), "load(three.x) ... ok.\nload(shared.png) ... ok.\n"
                          "load(three.x) ... ok.\n"
                          "release(three.x)\n"
                          "release(three.x)\nrelease(shared.png)\n");
}

TEST_F(MeshTest, AMissingTextureLeavesThatSubsetUntexturedAndTheLoadSucceeds) {
    testsupport::WriteFile("one.x", kMissingTexture);
    MeshResource mesh;
    ASSERT_TRUE(mesh.Load("one.x", 0, 1));
    EXPECT_EQ(log.text(), "load(one.x) ... ok.\nload(nowhere.png) ... failed.\n");
    ASSERT_EQ(mesh.materialCount, 1u);
    EXPECT_EQ(mesh.textures[0], nullptr);
    EXPECT_NE(mesh.mesh, nullptr);
}

TEST_F(MeshTest, MissingOrCorruptFileFailsAndKeepsTheNameForItsRelease) {
    testsupport::WriteFile("corrupt.x", "xof 0303txt 0032\nMesh Bad { 99999999; 1.0;");
    {
        MeshResource missing;
        EXPECT_FALSE(missing.Load("absent.x", 0, 1));
        EXPECT_EQ(missing.mesh, nullptr);
        EXPECT_EQ(missing.materials, nullptr);
        EXPECT_EQ(missing.name, "absent.x");

        MeshResource corrupt;
        EXPECT_FALSE(corrupt.Load("corrupt.x", 0, 1));
        EXPECT_EQ(corrupt.mesh, nullptr);

        device.ClearCalls();
        D3DXMATRIX world(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
        corrupt.Draw(&world);
        EXPECT_TRUE(device.calls.empty());
    }
    EXPECT_EQ(log.text(), "load(absent.x) ... failed.\n"
                          "load(corrupt.x) ... failed.\n"
                          "release(corrupt.x)\n"
                          "release(absent.x)\n");
}

TEST_F(MeshTest, ReloadAndReplacingALoadedMeshWriteItsReleaseFirst) {
    testsupport::WriteFile("one.x", kMissingTexture);
    testsupport::WriteFile("three.x", kThreeMaterials);
    folder.CopyData("almi.png", "shared.png");
    MeshResource mesh;
    ASSERT_TRUE(mesh.Load("three.x", 0, 1));
    ASSERT_TRUE(mesh.Load("one.x", 0, 1));
    EXPECT_EQ(log.text(), "load(three.x) ... ok.\nload(shared.png) ... ok.\n"
                          "release(three.x)\nrelease(shared.png)\n"
                          "load(one.x) ... ok.\nload(nowhere.png) ... failed.\n");
    log.Clear();
    // A generated shape replaces it too, and the old name is released on the way.
    ASSERT_TRUE(mesh.CreateBox(1, 1, 1, D3DXCOLOR(1, 1, 1, 1)));
    EXPECT_EQ(log.text(), "release(one.x)\n");
    EXPECT_TRUE(mesh.name.empty());
}

TEST_F(MeshTest, SceneObjectDrawsOnlyWithAMeshAndWhenVisible) {
    MeshResource box;
    ASSERT_TRUE(box.CreateBox(1, 1, 1, D3DXCOLOR(1, 1, 1, 1)));
    device.ClearCalls();

    SceneObject unplaced;
    EXPECT_EQ(unplaced.mesh, nullptr);
    EXPECT_FALSE(unplaced.visible);
    unplaced.Draw();
    unplaced.visible = TRUE; // visible but still without a mesh
    unplaced.Draw();
    EXPECT_TRUE(device.calls.empty());

    SceneObject placed;
    placed.Init(&box, D3DXVECTOR3(1, 2, 3), 2.5f);
    EXPECT_TRUE(placed.visible);
    placed.visible = FALSE;
    placed.Draw();
    EXPECT_TRUE(device.calls.empty());

    placed.visible = TRUE;
    placed.Draw();
    auto transforms = device.CallsNamed("SetTransform");
    ASSERT_EQ(transforms.size(), 1u);
    const std::vector<float> expected = {2.5f, 0, 0, 0, 0, 2.5f, 0, 0, 0, 0, 2.5f, 0, 1, 2, 3, 1};
    EXPECT_EQ(transforms[0]->floats, expected);
}

TEST_F(MeshTest, SceneObjectStartsWithTheIdentityAndNeverReleasesItsMesh) {
    MeshResource box;
    ASSERT_TRUE(box.CreateBox(1, 1, 1, D3DXCOLOR(1, 1, 1, 1)));
    {
        SceneObject object;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(object.transform.m[r][c], r == c ? 1.0f : 0.0f);
        object.Init(&box, D3DXVECTOR3(0, 0, 0), 1.0f);
    }
    EXPECT_NE(box.mesh, nullptr);
    EXPECT_EQ(box.materialCount, 1u);
}

} // namespace
