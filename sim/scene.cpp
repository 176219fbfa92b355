// Scene set-up before the first tick.
#include "sim/scene.h"

#include "gfx/camera.h"
#include "gfx/device/d3d_device.h"
#include "machine/machine.h"

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

namespace {

// The machine the link and chassis meshes were made for.
Machine meshesMachine;

const D3DXCOLOR kCyan(0.0f, 1.0f, 1.0f, 1.0f);
const D3DXVECTOR3 kOrigin(0.0f, 0.0f, 0.0f);

void PlaceGroupObject(int k) {
    groupObjects[k].Init(&groupMeshes[k], kOrigin, 1.0f);
    groupObjects[k].transform._41 = groupSpecs[k].x;
    groupObjects[k].transform._42 = groupSpecs[k].z;
    groupObjects[k].transform._43 = groupSpecs[k].y;
}

// The links and the chassis, the parts a machine file shapes.
void MakeMachineMeshes() {
    meshesMachine = MachineInForce();
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                int n = LinkIndex(r, j, e);
                const ShapeSpec& spec = linkSpecs[n];
                linkMeshes[n].CreateBox(spec.height, spec.width, spec.length, kCyan);
                linkObjects[n].Init(&linkMeshes[n], kOrigin, 1.0f);
            }
        }
    }

    groupMeshes[0].CreateBox(groupSpecs[0].height, groupSpecs[0].width, groupSpecs[0].length,
                             kCyan);
    PlaceGroupObject(0);
}

} // namespace

void MatchMachineMeshes() {
    if (!SameMachine(meshesMachine, MachineInForce())) MakeMachineMeshes();
}

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
    MakeMachineMeshes();
    for (int k = 1; k < kGroupCount; ++k) {
        groupMeshes[k].CreateSphere(groupSpecs[k].height, 70, 70, kCyan);
        PlaceGroupObject(k);
    }

    bodyMesh.Load("body.x", 0, 1);
    bodyObject.Init(&bodyMesh, kOrigin, 1.0f);

    BuildWorld();
}
