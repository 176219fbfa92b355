// A mesh placed in the world with a transform and a visible flag.
#pragma once

#include "gfx/resources/mesh_resource.h"

class SceneObject {
  public:
    SceneObject();
    virtual ~SceneObject() = default;
    virtual void Draw();
    void Init(MeshResource* mesh, D3DXVECTOR3 position, float scale);

    MeshResource* mesh = nullptr;
    D3DXMATRIX transform;
    BOOL visible = FALSE;
};
