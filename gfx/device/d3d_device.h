// The process-wide Direct3D object and device: adapter, display mode, depth format and device
// type choice, and the device's initial transforms, render states and light.
#pragma once

#include <d3dx8.h>

// `windowed`, which the device set-up decides, is kept with the window that reads it.
#include "shell/main_window.h"

extern IDirect3D8* d3dObject;
extern IDirect3DDevice8* d3dDevice;
extern D3DPRESENT_PARAMETERS presentParams;
extern UINT adapterIndex;
extern int backBufferWidth;
extern int backBufferHeight;
extern D3DFORMAT backBufferFormat;
extern const char* deviceTypeName;
extern D3DXMATRIX worldMatrix;
extern D3DXMATRIX viewMatrix;
extern D3DXMATRIX projectionMatrix;
extern D3DXMATRIX identityMatrix;

bool InitDirect3D();
void FreeDirect3D();
bool CreateD3DDevice(int width, int height);
void ChooseAdapter();
bool ChooseDisplayMode();
D3DFORMAT ChooseDepthFormat(D3DFORMAT adapterFormat);
// What the program asks CreateDevice for: one back buffer of the mode, discarded when presented,
// and a depth buffer of `depthFormat`.
D3DPRESENT_PARAMETERS PresentParameters(int width, int height, D3DFORMAT format,
                                        D3DFORMAT depthFormat, HWND window, int windowed);
const char* FormatName(D3DFORMAT format);
void SetDefaultTransforms();
void SetDefaultRenderState();
void SetDefaultLight(D3DXVECTOR3 direction, D3DXCOLOR color);
