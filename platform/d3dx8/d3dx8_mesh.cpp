// ID3DXMesh in system memory.
#include "d3dx8_mesh_impl.h"

namespace koltrep::d3dx {

DWORD FvfStride(DWORD) {
    return 0;
}

HRESULT CreateSystemMesh(IDirect3DDevice8*, DWORD, DWORD, std::vector<BYTE>,
                         const std::vector<uint32_t>&, std::vector<DWORD>, ID3DXMesh**) {
    return E_NOTIMPL;
}

} // namespace koltrep::d3dx
