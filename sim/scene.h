// Scene set-up before the first tick; the conversions from physics poses to graphics world
// matrices come with it.
#pragma once

#include <d3dx8.h>
#include <ode/ode.h>

#include "gfx/resources/mesh_resource.h"
#include "gfx/resources/scene_object.h"
#include "gfx/resources/texture_resource.h"
#include "sim/body_matrix.h"
#include "sim/world.h"

extern MeshResource linkMeshes[kLinkCount];
extern SceneObject linkObjects[kLinkCount];
extern MeshResource groupMeshes[kGroupCount];
extern SceneObject groupObjects[kGroupCount];
extern MeshResource bodyMesh;
extern SceneObject bodyObject;
extern TextureResource groundTexture;
extern TextureResource secondTexture;

void SetUpScene();
// Makes the machine's link and chassis meshes again when the machine in force is not the one
// they were made for (the panel rebuilt it).
void MatchMachineMeshes();
