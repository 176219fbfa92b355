// D3DXLoadMeshFromX on our own .x reader.
#include "d3dx8_mesh_impl.h"

HRESULT D3DXLoadMeshFromX(LPCSTR, DWORD, IDirect3DDevice8*, ID3DXBuffer**, ID3DXBuffer**, DWORD*,
                          ID3DXMesh**) {
    return E_NOTIMPL;
}
