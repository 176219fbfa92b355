#include <d3dx8.h>
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8*, LPCSTR, UINT, UINT, UINT, DWORD, D3DFORMAT,
                                     D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                     PALETTEENTRY*, IDirect3DTexture8**) {
    return E_NOTIMPL;
}
