// The scene set-up on the recording device with real ODE, the real mesh and texture loading and
// the shipped data files: what it loads and logs, the shapes and where they are drawn, the
// physics-to-graphics conversions, and how the body mesh sits on the standing machine.
#include "sim/scene.h"

#include "gfx/camera.h"
#include "shell/frame_pacing.h"
#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "gfx/resources/texture_cache.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "tests/sim/scene_fixture.h"

#include <dinput.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using testsupport::LogCapture;
using testsupport::ScratchFolder;

namespace {

struct Bounds {
    D3DXVECTOR3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

// Every vertex position of a mesh (the position is the first field of every format we make).
std::vector<D3DXVECTOR3> Positions(ID3DXMesh* mesh) {
    std::vector<D3DXVECTOR3> out;
    DWORD fvf = mesh->GetFVF();
    DWORD stride = 12;
    if (fvf & D3DFVF_NORMAL) stride += 12;
    if (fvf & D3DFVF_DIFFUSE) stride += 4;
    stride += 8 * ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    BYTE* data = nullptr;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)) || data == nullptr) return out;
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        D3DXVECTOR3 p;
        std::memcpy(&p, data + size_t(i) * stride, sizeof p);
        out.push_back(p);
    }
    mesh->UnlockVertexBuffer();
    return out;
}

Bounds BoundsOf(const std::vector<D3DXVECTOR3>& points) {
    Bounds b;
    for (const D3DXVECTOR3& p : points) {
        b.lo = D3DXVECTOR3(std::min(b.lo.x, p.x), std::min(b.lo.y, p.y), std::min(b.lo.z, p.z));
        b.hi = D3DXVECTOR3(std::max(b.hi.x, p.x), std::max(b.hi.y, p.y), std::max(b.hi.z, p.z));
    }
    return b;
}

D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR4 out;
    D3DXVec3Transform(&out, &v, &m);
    return D3DXVECTOR3(out.x, out.y, out.z);
}

using scene_test::ChassisMatrix;
using scene_test::Tick;
using SceneTest = scene_test::SceneFixture;

TEST_F(SceneTest, LoadsTheShippedFilesAndLogsEachOnce) {
    SetUpScene();
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n"
                          "load(almi.png) ... ok.\n"
                          "load(body.x) ... ok.\n"
                          "load(body.png) ... ok.\n");
    EXPECT_NE(groundTexture.texture, nullptr);
    EXPECT_NE(secondTexture.texture, nullptr);
    ASSERT_NE(bodyMesh.mesh, nullptr);
    EXPECT_TRUE(bodyObject.visible);
    EXPECT_EQ(bodyObject.mesh, &bodyMesh);
    EXPECT_NE(chassisBody, nullptr); // the world was built last

    // The render defaults come first, before any texture is made.
    ASSERT_GE(device.calls.size(), 4u);
    EXPECT_EQ(device.calls[0].ToString(), "SetRenderState(137, 0)");
    EXPECT_EQ(device.calls[1].ToString(), "SetTextureStageState(0, 16, 2)");
    EXPECT_EQ(device.calls[2].ToString(), "SetTextureStageState(0, 17, 2)");
    EXPECT_EQ(device.calls[3].ToString(), "SetTextureStageState(0, 18, 2)");
}

TEST_F(SceneTest, BodyHasATexturedAndAnUntexturedMaterial) {
    SetUpScene();
    ASSERT_GE(bodyMesh.materialCount, 2u);
    int textured = 0, plain = 0;
    for (DWORD i = 0; i < bodyMesh.materialCount; ++i)
        (bodyMesh.textures[i] != nullptr ? textured : plain) += 1;
    EXPECT_GE(textured, 1);
    EXPECT_GE(plain, 1);
}

TEST_F(SceneTest, BodyMeshStandsOnTheChassisPlateWithinItsOutline) {
    SetUpScene();
    Bounds body = BoundsOf(Positions(bodyMesh.mesh));
    Bounds plate = BoundsOf(Positions(groupMeshes[0].mesh));
    EXPECT_NEAR(plate.hi.x, 0.25f, 1e-5f);
    EXPECT_NEAR(plate.hi.z, 8.0f, 1e-5f);
    EXPECT_GE(body.lo.x, plate.hi.x - 1e-4f); // nothing below the plate's top
    EXPECT_LE(body.hi.x, 4.0f);
    EXPECT_GE(body.lo.z, -8.0f);
    EXPECT_LE(body.hi.z, 8.0f);
    EXPECT_LE(std::max(-body.lo.y, body.hi.y), 4.0f);
    EXPECT_GT(body.hi.z - body.lo.z, 12.0f); // runs along most of the plate
}

TEST_F(SceneTest, CameraLineAfterTheSetUp) {
    SetUpScene();
    framesPerSecond = 20.0f;
    DrawCameraInfo(0, 0);
    auto lines = device.CallsNamed("Font::DrawTextA");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->text, "20.0 (3.0, 5.0, 10.0)->(-0.3,-0.4,-0.9)");
}

TEST_F(SceneTest, ShapesAreCyanBoxesOfTheLinkSizesAndExactlyFourSpheres) {
    SetUpScene();
    const DWORD boxFaces = 12;
    for (int n = 0; n < kLinkCount; ++n) {
        ASSERT_NE(linkMeshes[n].mesh, nullptr) << n;
        EXPECT_EQ(linkMeshes[n].mesh->GetNumFaces(), boxFaces) << n;
        EXPECT_EQ(linkMeshes[n].materials[0].Diffuse.r, 0.0f);
        EXPECT_EQ(linkMeshes[n].materials[0].Diffuse.g, 1.0f);
        EXPECT_EQ(linkMeshes[n].materials[0].Diffuse.b, 1.0f);
        EXPECT_EQ(linkObjects[n].mesh, &linkMeshes[n]);
        // width = height field, height = width field, depth = length field
        Bounds b = BoundsOf(Positions(linkMeshes[n].mesh));
        EXPECT_NEAR(b.hi.x - b.lo.x, linkSpecs[n].height, 1e-5f) << n;
        EXPECT_NEAR(b.hi.y - b.lo.y, linkSpecs[n].width, 1e-5f) << n;
        EXPECT_NEAR(b.hi.z - b.lo.z, linkSpecs[n].length, 1e-5f) << n;
    }
    EXPECT_EQ(groupMeshes[0].mesh->GetNumFaces(), boxFaces);
    int spheres = 0;
    for (int k = 1; k < kGroupCount; ++k) {
        ASSERT_NE(groupMeshes[k].mesh, nullptr);
        float radius = 0;
        for (const D3DXVECTOR3& p : Positions(groupMeshes[k].mesh))
            radius = std::max(radius, D3DXVec3Length(&p));
        EXPECT_NEAR(radius, 20.0f, 1e-3f);
        if (groupMeshes[k].mesh->GetNumFaces() > boxFaces) ++spheres;
    }
    EXPECT_EQ(spheres, 4);
}

TEST_F(SceneTest, HillsAreDrawnWhereTheirSpheresAre) {
    SetUpScene();
    const float expected[4][3] = {{20, -17, 20}, {20, -17, -20}, {-20, -17, 20}, {-20, -17, -20}};
    for (int k = 1; k < kGroupCount; ++k) {
        const D3DXMATRIX& m = groupObjects[k].transform;
        EXPECT_EQ(m._41, expected[k - 1][0]) << k;
        EXPECT_EQ(m._42, expected[k - 1][1]) << k;
        EXPECT_EQ(m._43, expected[k - 1][2]) << k;
        EXPECT_EQ(m._11, 1.0f);
        EXPECT_EQ(m._44, 1.0f);
        const dReal* centre = dGeomGetPosition(groupGeoms[k]);
        EXPECT_EQ(m._41, centre[0]);
        EXPECT_EQ(m._42, centre[2]);
        EXPECT_EQ(m._43, centre[1]);
    }
}

TEST_F(SceneTest, MissingOrCorruptDataFilesAreLoggedAndTheSetUpGoesOn) {
    ScratchFolder folder;
    testsupport::WriteFile("body.x", "xof 0303txt 0032\nMesh { 4000000000;");
    testsupport::WriteFile("almi.png", "not an image at all");
    SetUpScene();
    EXPECT_EQ(log.text(), "load(ground.png) ... failed.\n"
                          "load(almi.png) ... failed.\n"
                          "load(body.x) ... failed.\n");
    EXPECT_EQ(groundTexture.texture, nullptr);
    EXPECT_EQ(bodyMesh.mesh, nullptr);
    EXPECT_NE(chassisBody, nullptr);
    EXPECT_NE(linkMeshes[31].mesh, nullptr);
    device.ClearCalls();
    bodyObject.Draw();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(SceneTest, MissingBodyTextureLeavesTheBodyUntextured) {
    ScratchFolder folder;
    folder.CopyData("body.x");
    folder.CopyData("ground.png");
    folder.CopyData("almi.png");
    SetUpScene();
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n"
                          "load(almi.png) ... ok.\n"
                          "load(body.x) ... ok.\n"
                          "load(body.png) ... failed.\n");
    ASSERT_NE(bodyMesh.mesh, nullptr);
    for (DWORD i = 0; i < bodyMesh.materialCount; ++i)
        EXPECT_EQ(bodyMesh.textures[i], nullptr);
}

TEST(DrawTransformTest, IdentityPoseConvertsToIdentityAndSwapsTheTranslation) {
    dMatrix3 identity;
    dRSetIdentity(identity);
    D3DXMATRIX g = PhysicsToGraphicsRotation(identity);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(g.m[r][c], r == c ? 1.0f : 0.0f);

    const dReal p[4] = {1, 2, 3, 0};
    D3DXMATRIX m = MakeBodyDrawMatrix(p, identity);
    EXPECT_EQ(m._41, 1.0f);
    EXPECT_EQ(m._42, 3.0f);
    EXPECT_EQ(m._43, 2.0f);
    EXPECT_EQ(m._44, 1.0f);
    // The turn of 1.57075 about y: not exactly a quarter turn.
    EXPECT_FLOAT_EQ(m._11, std::cos(1.57075f));
    EXPECT_FLOAT_EQ(m._13, -std::sin(1.57075f));
}

TEST(DrawTransformTest, GraphicsRotationTurnsVectorsAsThePhysicsRotationDoes) {
    const double axes[][4] = {{0, 0, 1, 0.7}, {1, 0, 0, -1.5707963}, {0.3, -0.5, 0.8, 2.4}};
    for (const auto& a : axes) {
        dMatrix3 R;
        dRFromAxisAndAngle(R, a[0], a[1], a[2], a[3]);
        D3DXMATRIX g = PhysicsToGraphicsRotation(R);
        EXPECT_EQ(g._14, 0.0f);
        EXPECT_EQ(g._41, 0.0f);
        EXPECT_EQ(g._44, 1.0f);
        const dReal v[3] = {0.2, -1.1, 0.9};
        // Physics: R v (column vectors). Graphics: (x, z, y) as a row vector times G.
        dVector3 turned;
        dMultiply0_331(turned, R, v);
        D3DXVECTOR3 graphics = Transform(D3DXVECTOR3(float(v[0]), float(v[2]), float(v[1])), g);
        EXPECT_NEAR(graphics.x, turned[0], 1e-5);
        EXPECT_NEAR(graphics.y, turned[2], 1e-5);
        EXPECT_NEAR(graphics.z, turned[1], 1e-5);
    }
}

TEST_F(SceneTest, EveryBoxIsDrawnWithThePhysicsBoxsSizeAndPose) {
    SetUpScene();
    for (int i = 0; i < 30; ++i)
        Tick();
    auto check = [](ID3DXMesh* mesh, dBodyID body, dGeomID geom, const char* what) {
        dVector3 lengths;
        dGeomBoxGetLengths(geom, lengths);
        D3DXMATRIX m = MakeBodyDrawMatrix(dBodyGetPosition(body), dBodyGetRotation(body));
        double reach[3] = {0, 0, 0};
        for (const D3DXVECTOR3& v : Positions(mesh)) {
            D3DXVECTOR3 w = Transform(v, m);
            dVector3 local;
            dBodyGetPosRelPoint(body, w.x, w.z, w.y, local);
            for (int a = 0; a < 3; ++a)
                reach[a] = std::max(reach[a], std::fabs(double(local[a])));
        }
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(reach[a], lengths[a] / 2, 2e-3) << what << " axis " << a;
    };
    for (int n = 0; n < kLinkCount; ++n)
        check(linkMeshes[n].mesh, linkBodies[n], linkGeoms[n], "link");
    check(groupMeshes[0].mesh, chassisBody, groupGeoms[0], "chassis");
}

TEST_F(SceneTest, BodyStandsUpAndFacesTheWalkingDirection) {
    SetUpScene();
    for (int i = 0; i < 100; ++i)
        Tick();
    D3DXMATRIX m = ChassisMatrix();
    // Mesh +x is graphics up once the machine stands.
    D3DXVECTOR3 up = Transform(D3DXVECTOR3(1, 0, 0), m) - Transform(D3DXVECTOR3(0, 0, 0), m);
    EXPECT_GT(up.y, 0.9f);
    // Mesh +z (the body's front) is where UP walks to.
    D3DXVECTOR3 front(m._31, m._32, m._33);
    D3DXVECTOR3 start(m._41, m._42, m._43);
    // The chassis' physics x axis is that direction too, which is where the laser fires.
    const dReal* R = dBodyGetRotation(chassisBody);
    EXPECT_GT(front.x * R[0] + front.z * R[4] + front.y * R[8], 0.999f);
    for (int i = 0; i < 100; ++i)
        Tick({DIK_UP});
    D3DXMATRIX after = ChassisMatrix();
    D3DXVECTOR3 walked = D3DXVECTOR3(after._41, after._42, after._43) - start;
    walked.y = 0;
    float along = D3DXVec3Dot(&walked, &front) / D3DXVec3Length(&front);
    std::printf("standing: mesh +x -> graphics (%.3f, %.3f, %.3f); 100 ticks of UP: %.2f along "
                "the body's front of %.2f walked\n",
                up.x, up.y, up.z, along, D3DXVec3Length(&walked));
    EXPECT_GT(along, 5.0f);
    EXPECT_GT(along, 0.9f * D3DXVec3Length(&walked));
}

} // namespace
