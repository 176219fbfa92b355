// IDirect3D8 of the Direct3D 8 stand-in.
// Implements: Direct3DCreate8; adapters (one per SDL display, or the simulated ones), their
// identifiers, desktop modes and mode lists (the display's modes plus 640 x 480, 800 x 600 and
// 1024 x 768 in the desktop format, since full screen scales the back buffer); device type and
// format checks; GetDeviceCaps; CreateDevice with the "TnLHAL" / "HAL" / "REF" kinds.
// Limits: formats come from the SDL pixel format (4 bytes -> X8R8G8B8, 16-bit -> R5G6B5 or
// X1R5G5B5); depth formats are those GL allocates as renderbuffers (D16, D24X8, D24S8, D32).
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/gl_context.h>
#include <platform/d3d8/presentation.h>
#include <platform/d3d8/resources.h>
#include <platform/d3d8/seams.h>

#include <platform/win32/sdl_window.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform::d3d8 {
namespace {

D3DFORMAT FormatOfSdl(Uint32 format) {
    if (format == SDL_PIXELFORMAT_RGB555 || format == SDL_PIXELFORMAT_ARGB1555)
        return D3DFMT_X1R5G5B5;
    switch (SDL_BYTESPERPIXEL(format)) {
    case 4:
        return D3DFMT_X8R8G8B8;
    case 2:
        return D3DFMT_R5G6B5;
    default:
        return SDL_BITSPERPIXEL(format) == 24 ? D3DFMT_X8R8G8B8 : D3DFMT_UNKNOWN;
    }
}

D3DDISPLAYMODE ModeOfSdl(const SDL_DisplayMode& mode) {
    return D3DDISPLAYMODE{static_cast<UINT>(mode.w), static_cast<UINT>(mode.h),
                          static_cast<UINT>(std::max(mode.refresh_rate, 0)),
                          FormatOfSdl(mode.format)};
}

bool SameMode(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate &&
           a.Format == b.Format;
}

struct AdapterInfo {
    std::string description;
    std::string driver;
    D3DDISPLAYMODE desktop{};
    std::vector<D3DDISPLAYMODE> modes;
};

// The GL renderer's name, as the adapter's description names the graphics part on Windows. A
// short-lived hidden context asks once per process; "" when none can be made.
const std::string& ProbedRendererName() {
    static const std::string name = [] {
        std::string error;
        std::unique_ptr<GlContext> probe = GlContext::Create(false, error);
        return probe ? probe->renderer() : std::string();
    }();
    return name;
}

AdapterInfo RealAdapter(int display) {
    AdapterInfo info;
    info.description = ProbedRendererName();
    if (info.description.empty()) {
        const char* name = SDL_GetDisplayName(display);
        char fallback[32];
        snprintf(fallback, sizeof fallback, "Display %d", display);
        info.description = name && *name ? name : fallback;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    info.driver = std::string("SDL ") + (driver ? driver : "video");
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(display, &desktop) == 0) info.desktop = ModeOfSdl(desktop);
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        D3DDISPLAYMODE converted = ModeOfSdl(mode);
        if (converted.Format == D3DFMT_UNKNOWN) continue;
        info.modes.push_back(converted);
    }
    // Full screen scales the back buffer into a desktop-size window, so the usual small sizes
    // work on every desktop; 640 x 480 is always offered.
    if (info.desktop.Format != D3DFMT_UNKNOWN) {
        const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}};
        for (const auto& size : sizes) {
            const bool fits = size[0] <= info.desktop.Width && size[1] <= info.desktop.Height;
            if (!fits && size[0] != 640) continue;
            D3DDISPLAYMODE extra{size[0], size[1], info.desktop.RefreshRate, info.desktop.Format};
            bool present = std::any_of(info.modes.begin(), info.modes.end(),
                                       [&](const D3DDISPLAYMODE& m) { return SameMode(m, extra); });
            if (!present) info.modes.push_back(extra);
        }
    }
    return info;
}

class Direct3D final : public ComObject<IDirect3D8> {
  public:
    Direct3D() = default;
    bool Init() {
        if (!Seams().adapters.empty()) return true;
        if (!StartVideo()) {
            ReportProblem("Direct3DCreate8: SDL video: %s", SDL_GetError());
            return false;
        }
        return true;
    }

    UINT GetAdapterCount() override {
        if (!Seams().adapters.empty()) return static_cast<UINT>(Seams().adapters.size());
        return static_cast<UINT>(std::max(SDL_GetNumVideoDisplays(), 0));
    }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* identifier) override {
        AdapterInfo info;
        if (!identifier || !Lookup(adapter, info)) return D3DERR_INVALIDCALL;
        std::memset(identifier, 0, sizeof *identifier);
        snprintf(identifier->Driver, sizeof identifier->Driver, "%s", info.driver.c_str());
        snprintf(identifier->Description, sizeof identifier->Description, "%s",
                 info.description.c_str());
        identifier->DeviceIdentifier.Data1 = adapter;
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter) override {
        AdapterInfo info;
        if (!Lookup(adapter, info)) return 0;
        return static_cast<UINT>(info.modes.size());
    }

    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override {
        AdapterInfo info;
        if (!displayMode || !Lookup(adapter, info) || mode >= info.modes.size())
            return D3DERR_INVALIDCALL;
        *displayMode = info.modes[mode];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        AdapterInfo info;
        if (!mode || !Lookup(adapter, info)) return D3DERR_INVALIDCALL;
        *mode = info.desktop;
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL) override {
        if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (checkType != D3DDEVTYPE_HAL && checkType != D3DDEVTYPE_REF) return D3DERR_NOTAVAILABLE;
        if (!IsDisplayFormat(displayFormat) || !IsDisplayFormat(backBufferFormat))
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                              DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)
            return D3DERR_NOTAVAILABLE;
        if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            if (resourceType != D3DRTYPE_SURFACE && resourceType != D3DRTYPE_TEXTURE)
                return D3DERR_NOTAVAILABLE;
            return IsRenderbufferDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
        }
        GlTextureFormat gl{};
        if (usage & D3DUSAGE_RENDERTARGET)
            return IsDisplayFormat(checkFormat) || checkFormat == D3DFMT_A8R8G8B8
                       ? D3D_OK
                       : D3DERR_NOTAVAILABLE;
        if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
            return TextureFormatToGl(checkFormat, gl) ? D3D_OK : D3DERR_NOTAVAILABLE;
        return D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat,
                                   D3DFORMAT depthStencilFormat) override {
        if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)
            return D3DERR_NOTAVAILABLE;
        if (!IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        if (!IsDisplayFormat(renderTargetFormat) && renderTargetFormat != D3DFMT_A8R8G8B8)
            return D3DERR_NOTAVAILABLE;
        return IsRenderbufferDepthFormat(depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) override {
        if (!caps || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)
            return D3DERR_NOTAVAILABLE;
        if (Device* live = LiveDevice()) {
            HRESULT result = live->GetDeviceCaps(caps);
            caps->DeviceType = deviceType;
            caps->AdapterOrdinal = adapter;
            return result;
        }
        // No device yet: a small hidden one answers for the GL behind this adapter.
        D3DPRESENT_PARAMETERS probe{};
        probe.BackBufferWidth = 1;
        probe.BackBufferHeight = 1;
        probe.BackBufferFormat = D3DFMT_X8R8G8B8;
        probe.Windowed = TRUE;
        IDirect3DDevice8* device = nullptr;
        HRESULT result = CreateDevice(adapter, deviceType, nullptr,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &probe, &device);
        if (FAILED(result)) return result;
        result = device->GetDeviceCaps(caps);
        device->Release();
        return result;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice8** returnedDevice) override {
        if (!params || !returnedDevice) return D3DERR_INVALIDCALL;
        *returnedDevice = nullptr;
        AdapterInfo info;
        if (!Lookup(adapter, info)) return D3DERR_INVALIDCALL;

        DeviceKind kind;
        if (deviceType == D3DDEVTYPE_REF)
            kind = DeviceKind::Ref;
        else if (deviceType == D3DDEVTYPE_HAL)
            kind = (behaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) ? DeviceKind::TnLHal
                                                                         : DeviceKind::Hal;
        else
            return D3DERR_NOTAVAILABLE;
        const DWORD processing = behaviorFlags & (D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                                  D3DCREATE_MIXED_VERTEXPROCESSING);
        if (processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
            processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
            processing != D3DCREATE_MIXED_VERTEXPROCESSING)
            return D3DERR_INVALIDCALL;
        if (Seams().failCreation[static_cast<int>(kind)]) return D3DERR_NOTAVAILABLE;

        if (!IsDisplayFormat(params->BackBufferFormat)) return D3DERR_INVALIDCALL;
        if (params->EnableAutoDepthStencil &&
            !IsRenderbufferDepthFormat(params->AutoDepthStencilFormat))
            return D3DERR_INVALIDCALL;
        if (params->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;

        HWND windowHandle = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        SDL_Window* window = nullptr;
        if (windowHandle) {
            window = SdlWindowFromHandle(windowHandle);
            if (!window) return D3DERR_INVALIDCALL;
        }

        std::string error;
        std::unique_ptr<GlContext> context = GlContext::Create(kind == DeviceKind::Ref, error);
        if (!context) {
            ReportProblem("CreateDevice: %s", error.c_str());
            return D3DERR_NOTAVAILABLE;
        }
        const bool software = IsSoftwareRenderer(EffectiveRendererName(*context));
        if ((kind == DeviceKind::TnLHal && software) || (kind == DeviceKind::Ref && !software))
            return D3DERR_NOTAVAILABLE;

        // Full screen without a mode switch: a borderless window over the desktop.
        SDL_Rect windowedPlace{};
        if (!params->Windowed && window) windowedPlace = CoverDesktop(window);

        HRESULT result = D3D_OK;
        Device* device = Device::Create(std::move(context), windowHandle, deviceType, adapter,
                                        *params, info.desktop, result);
        if (!device) return result;
        device->RememberWindowedPlace(windowedPlace);
        *returnedDevice = device;
        return D3D_OK;
    }

  private:
    ~Direct3D() override = default;

    bool Lookup(UINT adapter, AdapterInfo& info) {
        const auto& simulated = Seams().adapters;
        if (!simulated.empty()) {
            if (adapter >= simulated.size()) return false;
            const SimulatedAdapter& s = simulated[adapter];
            info.description = s.description;
            info.driver = s.driver;
            info.desktop = s.desktop;
            info.modes = s.modes;
            return true;
        }
        if (adapter >= GetAdapterCount()) return false;
        info = RealAdapter(static_cast<int>(adapter));
        return true;
    }
};

} // namespace

bool IsRenderbufferDepthFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D24X8:
    case D3DFMT_D24S8:
    case D3DFMT_D32:
        return true;
    default:
        return false;
    }
}

bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

} // namespace platform::d3d8

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    auto* object = new platform::d3d8::Direct3D;
    if (!object->Init()) {
        object->Release();
        return nullptr;
    }
    return object;
}
