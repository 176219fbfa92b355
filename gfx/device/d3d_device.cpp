// The Direct3D object and device: adapter, display mode, depth format and device type choice,
// and the device's initial transforms, render states and light. Every decision is logged, so
// that the log of one start-up documents the machine's graphics configuration.
#include "gfx/device/d3d_device.h"

#include <platform/i18n/i18n.h>

#include "shell/debug_log.h"
#include "shell/main_window.h"
#include "gfx/device/device_defaults.h"
#include "gfx/device/frame_bracket.h"

IDirect3D8* d3dObject = nullptr;
IDirect3DDevice8* d3dDevice = nullptr;
D3DPRESENT_PARAMETERS presentParams;
UINT adapterIndex = 0;
int backBufferWidth = 0;
int backBufferHeight = 0;
D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
const char* deviceTypeName = "";
D3DXMATRIX worldMatrix;
D3DXMATRIX viewMatrix;
D3DXMATRIX projectionMatrix;
D3DXMATRIX identityMatrix;

namespace {

const char* const kErrorCaption = N_("エラー");

struct DeviceKind {
    const char* name;
    D3DDEVTYPE type;
    DWORD behaviorFlags;
};

const DeviceKind kDeviceKinds[] = {
    {"TnLHAL", D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {"HAL", D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {"REF", D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

} // namespace

bool InitDirect3D() {
    DebugSeparator();
    DebugPrint("InitDirect3D\n");

    d3dObject = Direct3DCreate8(D3D_SDK_VERSION);
    if (d3dObject == nullptr) {
        MessageBoxA(GetActiveWindow(), "Direct3Dの初期化に失敗しました.", kErrorCaption,
                    MB_SYSTEMMODAL);
        return false;
    }
    if (!CreateD3DDevice(640, 480)) return false;

    ReportDeviceCaps();
    SetDefaultTransforms();
    SetDefaultRenderState();
    SetDefaultLight(D3DXVECTOR3(1.0f, -1.0f, 1.0f), D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.0f));
    InitFont(16, 0xFFFFFFFF, 400);
    return true;
}

void FreeDirect3D() {
    DebugSeparator();
    DebugPrint("FreeDirect3D\n");

    FreeFont();
    if (d3dDevice != nullptr) {
        d3dDevice->Release();
        d3dDevice = nullptr;
    }
    if (d3dObject != nullptr) {
        d3dObject->Release();
        d3dObject = nullptr;
    }
}

bool CreateD3DDevice(int width, int height) {
    backBufferWidth = width;
    backBufferHeight = height;

    ChooseAdapter();
    ChooseDisplayMode();

    if (windowed) {
        ShowWindow(mainWindow, SW_SHOW);
        UpdateWindow(mainWindow);
    }

    for (const DeviceKind& kind : kDeviceKinds) {
        deviceTypeName = kind.name;
        HRESULT result = d3dObject->CreateDevice(adapterIndex, kind.type, mainWindow,
                                                 kind.behaviorFlags, &presentParams, &d3dDevice);
        if (SUCCEEDED(result)) {
            DebugPrint("デバイスタイプ = %s\n", deviceTypeName);
            return true;
        }
        // A failed attempt may have written to the result place; the next one starts clean.
        d3dDevice = nullptr;
    }

    MessageBoxA(GetActiveWindow(), "3Dデバイスが作成できません.", kErrorCaption, MB_SYSTEMMODAL);
    return false;
}

void ChooseAdapter() {
    UINT count = d3dObject->GetAdapterCount();
    DebugPrint("アダプタ数 = %d\n", count);

    DebugPrint("アダプタID = ");
    if (count >= 2 && HasOption("-2nd")) {
        DebugPrint("1\n");
        adapterIndex = 1;
    } else {
        DebugPrint("D3DADAPTER_DEFAULT\n");
        adapterIndex = D3DADAPTER_DEFAULT;
    }

    D3DADAPTER_IDENTIFIER8 identifier = {};
    d3dObject->GetAdapterIdentifier(adapterIndex, 0, &identifier);
    DebugPrint("アダプタ名 = %s\n", identifier.Description);
}

bool ChooseDisplayMode() {
    UINT modeCount = d3dObject->GetAdapterModeCount(adapterIndex);
    DebugPrint("アダプタのモード数 = %d\n", modeCount);

    D3DDISPLAYMODE desktop = {};
    d3dObject->GetAdapterDisplayMode(adapterIndex, &desktop);
    backBufferFormat = desktop.Format;
    DebugPrint("現在のモード = %d x %d %s\n", desktop.Width, desktop.Height,
               FormatName(desktop.Format));

    bool found = false;
    D3DFORMAT fallbackFormat = D3DFMT_UNKNOWN;
    for (UINT i = 0; i < modeCount; ++i) {
        D3DDISPLAYMODE mode = {};
        if (FAILED(d3dObject->EnumAdapterModes(adapterIndex, i, &mode))) continue;
        if (mode.Width != static_cast<UINT>(backBufferWidth) ||
            mode.Height != static_cast<UINT>(backBufferHeight))
            continue;
        if (mode.Format == backBufferFormat) {
            found = true;
            break;
        }
        fallbackFormat = mode.Format;
    }

    DebugPrint("ウインドウ化 = ");
    if (found) {
        if (HasOption("-win")) {
            DebugPrint("ON\n");
            windowed = 1;
        } else {
            DebugPrint("OFF\n");
            windowed = 0;
        }
    } else {
        backBufferFormat = fallbackFormat;
        DebugPrint("OFF(フォーマット変更)\n");
        windowed = 0;
    }

    DebugPrint("選択されたモード = %d x %d %s ", backBufferWidth, backBufferHeight,
               FormatName(backBufferFormat));

    presentParams = PresentParameters(backBufferWidth, backBufferHeight, backBufferFormat,
                                      ChooseDepthFormat(backBufferFormat), mainWindow, windowed);

    DebugPrint("(%s)\n", FormatName(presentParams.AutoDepthStencilFormat));
    return true;
}

D3DPRESENT_PARAMETERS PresentParameters(int width, int height, D3DFORMAT format,
                                        D3DFORMAT depthFormat, HWND window, int windowed) {
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = static_cast<UINT>(width);
    params.BackBufferHeight = static_cast<UINT>(height);
    params.BackBufferFormat = format;
    params.BackBufferCount = 1;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = windowed;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = depthFormat;
    params.Flags = 0;
    params.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
    params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    return params;
}

D3DFORMAT ChooseDepthFormat(D3DFORMAT adapterFormat) {
    static const D3DFORMAT candidates[] = {D3DFMT_D16,   D3DFMT_D15S1,   D3DFMT_D24X8,
                                           D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    for (D3DFORMAT candidate : candidates) {
        if (FAILED(d3dObject->CheckDeviceFormat(adapterIndex, D3DDEVTYPE_HAL, adapterFormat,
                                                D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                                candidate)))
            continue;
        if (FAILED(d3dObject->CheckDepthStencilMatch(adapterIndex, D3DDEVTYPE_HAL, adapterFormat,
                                                     adapterFormat, candidate)))
            continue;
        return candidate;
    }
    return D3DFMT_UNKNOWN;
}

const char* FormatName(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
        return "D3DFMT_R8G8B8";
    case D3DFMT_A8R8G8B8:
        return "D3DFMT_A8R8G8B8";
    case D3DFMT_X8R8G8B8:
        return "D3DFMT_X8R8G8B8";
    case D3DFMT_R5G6B5:
        return "D3DFMT_R5G6B5";
    case D3DFMT_X1R5G5B5:
        return "D3DFMT_X1R5G5B5";
    case D3DFMT_A1R5G5B5:
        return "D3DFMT_A1R5G5B5";
    case D3DFMT_A4R4G4B4:
        return "D3DFMT_A4R4G4B4";
    case D3DFMT_R3G3B2:
        return "D3DFMT_R3G3B2";
    case D3DFMT_A8:
        return "D3DFMT_A8";
    case D3DFMT_A8R3G3B2:
        return "D3DFMT_A8R3G3B2";
    case D3DFMT_X4R4G4B4:
        return "D3DFMT_X4R4G4B4";
    case D3DFMT_D16_LOCKABLE:
        return "D3DFMT_D16_LOCKABLE";
    case D3DFMT_D32:
        return "D3DFMT_D32";
    case D3DFMT_D15S1:
        return "D3DFMT_D15S1";
    case D3DFMT_D24S8:
        return "D3DFMT_D24S8";
    case D3DFMT_D24X8:
        return "D3DFMT_D24X8";
    case D3DFMT_D24X4S4:
        return "D3DFMT_D24X4S4";
    case D3DFMT_D16:
        return "D3DFMT_D16";
    default:
        return "D3DFMT_UNKNOWN";
    }
}

void SetDefaultTransforms() {
    D3DXMatrixIdentity(&worldMatrix);
    d3dDevice->SetTransform(D3DTS_WORLD, &worldMatrix);

    D3DXVECTOR3 eye(0.0f, 0.0f, -1.0f);
    D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &at, &up);
    d3dDevice->SetTransform(D3DTS_VIEW, &viewMatrix);

    D3DXMatrixPerspectiveFovLH(
        &projectionMatrix, 0.7853982f,
        static_cast<float>(backBufferWidth) / static_cast<float>(backBufferHeight), 0.1f, 500.0f);
    d3dDevice->SetTransform(D3DTS_PROJECTION, &projectionMatrix);

    D3DXMatrixIdentity(&identityMatrix);

    quadUV = QuadUV{0.0f, 1.0f, 0.0f, 1.0f};
}

void SetDefaultRenderState() {
    d3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    d3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    d3dDevice->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    d3dDevice->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    d3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d3dDevice->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    d3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d3dDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    d3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    d3dDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);

    d3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
}

void SetDefaultLight(D3DXVECTOR3 direction, D3DXCOLOR color) {
    D3DLIGHT8 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse.r = color.r;
    light.Diffuse.g = color.g;
    light.Diffuse.b = color.b;
    light.Diffuse.a = color.a;
    D3DXVECTOR3 normalized;
    D3DXVec3Normalize(&normalized, &direction);
    light.Direction = normalized;
    light.Range = 1000.0f;
    d3dDevice->SetLight(0, &light);
    d3dDevice->LightEnable(0, TRUE);
}
