// Generated shapes drawn by the real GL device on SDL's offscreen driver: with D3DCULL_CCW the
// faces towards the camera survive, so a light from the camera lights the middle of the shape.
// Were the winding reversed, the culling would leave the far faces, which face away from the
// light and stay black.
#include "tests/support/platform/d3d_test_support.h"

#include <d3dx8.h>

#include <gtest/gtest.h>

namespace {

class ShapesRenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(gpu.device, nullptr)
            << "no GL device on the offscreen driver (result " << gpu.result << ")";
        IDirect3DDevice8* d = gpu.device;
        D3DXMATRIX world, view, projection;
        D3DXMatrixIdentity(&world);
        const D3DXVECTOR3 eye(0, 0, -6), at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 640.0f / 480.0f, 0.1f, 100.0f);
        d->SetTransform(D3DTS_WORLD, &world);
        d->SetTransform(D3DTS_VIEW, &view);
        d->SetTransform(D3DTS_PROJECTION, &projection);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        d->SetRenderState(D3DRS_LIGHTING, TRUE);
        d->SetRenderState(D3DRS_AMBIENT, 0);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Direction = {0, 0, 1}; // shining from the camera into the scene
        d->SetLight(0, &light);
        d->LightEnable(0, TRUE);
        D3DMATERIAL8 material{};
        material.Diffuse = {1, 1, 1, 1};
        d->SetMaterial(&material);
        d->SetTexture(0, nullptr);
    }

    d3d_test::Rgba DrawAndSampleCentre(ID3DXMesh* mesh) {
        IDirect3DDevice8* d = gpu.device;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        EXPECT_EQ(mesh->DrawSubset(0), D3D_OK);
        d->EndScene();
        const d3d_test::Picture picture = d3d_test::ReadPicture(d);
        EXPECT_EQ(picture.width, 640u);
        return picture.At(320, 240);
    }

    d3d_test::SeamReset reset;
    d3d_test::OffscreenDevice gpu;
};

TEST_F(ShapesRenderTest, SphereAndBoxShowTheirLitOutsideWithCounterClockwiseCulling) {
    ID3DXMesh* sphere = nullptr;
    ASSERT_EQ(D3DXCreateSphere(gpu.device, 2.0f, 70, 70, &sphere, nullptr), D3D_OK);
    const d3d_test::Rgba s = DrawAndSampleCentre(sphere);
    EXPECT_GT(s.r, 200);
    EXPECT_GT(s.g, 200);
    sphere->Release();

    ID3DXMesh* box = nullptr;
    ASSERT_EQ(D3DXCreateBox(gpu.device, 2.0f, 2.0f, 2.0f, &box, nullptr), D3D_OK);
    const d3d_test::Rgba b = DrawAndSampleCentre(box);
    EXPECT_GT(b.r, 200);
    box->Release();

    // The other culling shows the inside of the far faces: dark under the same light.
    gpu.device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(D3DXCreateBox(gpu.device, 2.0f, 2.0f, 2.0f, &box, nullptr), D3D_OK);
    EXPECT_LT(DrawAndSampleCentre(box).r, 30);
    box->Release();
}

} // namespace
