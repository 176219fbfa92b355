// Scene set-up before the first tick.
#include "sim/scene.h"

#include "gfx/camera.h"
#include "gfx/device/d3d_device.h"

// Built before the Application and destroyed after it (whose destruction frees the device), and
// after the texture cache (priority 200), to which the meshes hand their textures back.
MeshResource linkMeshes[kLinkCount] __attribute__((init_priority(300)));
SceneObject linkObjects[kLinkCount] __attribute__((init_priority(300)));
MeshResource groupMeshes[kGroupCount] __attribute__((init_priority(300)));
SceneObject groupObjects[kGroupCount] __attribute__((init_priority(300)));
MeshResource bodyMesh __attribute__((init_priority(300)));
SceneObject bodyObject __attribute__((init_priority(300)));
TextureResource groundTexture __attribute__((init_priority(300)));
TextureResource secondTexture __attribute__((init_priority(300)));

void SetUpScene() {
    d3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    d3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    d3dDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);

    groundTexture.Load("ground.png", 0, 1);
    secondTexture.Load("almi.png", 0, 1);

    SetCameraPosition(3.0f, 5.0f, 10.0f);
    AimCamera(D3DXVECTOR3(0.0f, 0.0f, 0.0f));

    FillShapeTables();

    const D3DXCOLOR cyan(0.0f, 1.0f, 1.0f, 1.0f);
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                int n = LinkIndex(r, j, e);
                const ShapeSpec& spec = linkSpecs[n];
                linkMeshes[n].CreateBox(spec.height, spec.width, spec.length, cyan);
                linkObjects[n].Init(&linkMeshes[n], origin, 1.0f);
            }
        }
    }

    groupMeshes[0].CreateBox(groupSpecs[0].height, groupSpecs[0].width, groupSpecs[0].length, cyan);
    for (int k = 1; k < kGroupCount; ++k)
        groupMeshes[k].CreateSphere(groupSpecs[k].height, 70, 70, cyan);
    for (int k = 0; k < kGroupCount; ++k) {
        groupObjects[k].Init(&groupMeshes[k], origin, 1.0f);
        groupObjects[k].transform._41 = groupSpecs[k].x;
        groupObjects[k].transform._42 = groupSpecs[k].z;
        groupObjects[k].transform._43 = groupSpecs[k].y;
    }

    bodyMesh.Load("body.x", 0, 1);
    bodyObject.Init(&bodyMesh, origin, 1.0f);

    BuildWorld();
}
