// A mesh placed in the world.
#include "gfx/resources/scene_object.h"

SceneObject::SceneObject() : transform(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1) {}

void SceneObject::Init(MeshResource* meshResource, D3DXVECTOR3 position, float scale) {
    transform = D3DXMATRIX(scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0, position.x, position.y,
                           position.z, 1);
    mesh = meshResource;
    visible = TRUE;
}

void SceneObject::Draw() {
    if (mesh != nullptr && visible) mesh->Draw(&transform);
}
