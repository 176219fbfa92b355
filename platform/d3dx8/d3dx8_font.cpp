#include <d3dx8.h>
HRESULT D3DXCreateFontIndirect(IDirect3DDevice8*, const LOGFONTA*, ID3DXFont**) { return E_NOTIMPL; }
