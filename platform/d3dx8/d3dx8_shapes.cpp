// Generated shapes: D3DXCreateBox and D3DXCreateSphere as system-memory meshes.
#include "d3dx8_mesh_impl.h"

HRESULT D3DXCreateBox(IDirect3DDevice8*, float, float, float, ID3DXMesh**, ID3DXBuffer**) {
    return E_NOTIMPL;
}

HRESULT D3DXCreateSphere(IDirect3DDevice8*, float, UINT, UINT, ID3DXMesh**, ID3DXBuffer**) {
    return E_NOTIMPL;
}
