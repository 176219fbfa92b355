// IDirect3DDevice8 of the Direct3D 8 stand-in: creation, lifetime, the stored state and its
// getters, scenes, Clear, caps, and resource creation.
// Implements: the device's back buffer (a framebuffer object of the requested size with colour
// and depth renderbuffers), Direct3D's default states, GetDeviceCaps from GL limits,
// GetAvailableTextureMem (GL_NVX_gpu_memory_info or GL_ATI_meminfo, else an estimate),
// BeginScene/EndScene, Clear (of the viewport, optionally of rectangles inside it);
// CreateVertexBuffer hands out a spare (a released buffer the device kept) when one of the same
// pool has room for the length: the closest fit, so that a buffer of a new size or format still
// costs no allocation.
// Limits: one stream, two texture stages, no stencil operations beyond clearing, no fog.
// The device keeps its GL context until the last reference, its own or a resource's, is gone.
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/gl_context.h>
#include <platform/d3d8/resources.h>
#include <platform/d3d8/seams.h>

#include <platform/win32/sdl_window.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::d3d8 {
namespace {

Device* liveDevice = nullptr;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

} // namespace

Device* LiveDevice() {
    return liveDevice;
}
void SetLiveDevice(Device* device) {
    liveDevice = device;
}

Device* Device::Create(std::unique_ptr<GlContext> context, HWND window, D3DDEVTYPE type,
                       UINT adapter, const D3DPRESENT_PARAMETERS& params,
                       const D3DDISPLAYMODE& displayMode, HRESULT& result) {
    Device* device = new Device;
    device->context_ = std::move(context);
    device->window_ = window;
    device->type_ = type;
    device->adapter_ = adapter;
    device->params_ = params;
    device->displayMode_ = displayMode;
    device->MakeCurrent();

    UINT width = params.BackBufferWidth, height = params.BackBufferHeight;
    if (width == 0 || height == 0) {
        int w = 0, h = 0;
        if (SDL_Window* target = device->TargetWindow()) SDL_GL_GetDrawableSize(target, &w, &h);
        width = w > 0 ? static_cast<UINT>(w) : 640;
        height = h > 0 ? static_cast<UINT>(h) : 480;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > static_cast<UINT>(maxSize) || height > static_cast<UINT>(maxSize)) {
        ReportProblem("CreateDevice: back buffer %ux%u exceeds GL's %d", width, height, maxSize);
        result = D3DERR_INVALIDCALL;
        device->Release();
        return nullptr;
    }
    device->width_ = width;
    device->height_ = height;
    device->params_.BackBufferWidth = width;
    device->params_.BackBufferHeight = height;
    if (!device->MakeBackBuffer(params.BackBufferFormat, params.EnableAutoDepthStencil
                                                             ? params.AutoDepthStencilFormat
                                                             : D3DFMT_UNKNOWN)) {
        result = D3DERR_OUTOFVIDEOMEMORY;
        device->Release();
        return nullptr;
    }
    glGetIntegerv(GL_MAX_LIGHTS, &device->maxGlLights_);
    device->FillCaps();
    device->SetInitialState();
    SetLiveDevice(device);
    device->KeepPictureOnExpose();
    result = D3D_OK;
    return device;
}

bool Device::MakeBackBuffer(D3DFORMAT colorFormat, D3DFORMAT depthFormat) {
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glGenRenderbuffers(1, &colorBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer_);
    // Every display format renders at 8 bits a channel; the X formats have no alpha to blend
    // against, as on the real thing.
    glRenderbufferStorage(GL_RENDERBUFFER, colorFormat == D3DFMT_A8R8G8B8 ? GL_RGBA8 : GL_RGB8,
                          static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer_);
    if (depthFormat != D3DFMT_UNKNOWN) {
        GLenum internal = GL_DEPTH_COMPONENT16;
        bool stencil = false;
        switch (depthFormat) {
        case D3DFMT_D24X8:
            internal = GL_DEPTH_COMPONENT24;
            break;
        case D3DFMT_D24S8:
            internal = GL_DEPTH24_STENCIL8;
            stencil = true;
            break;
        case D3DFMT_D32:
            internal = GL_DEPTH_COMPONENT32;
            break;
        default:
            break;
        }
        glGenRenderbuffers(1, &depthBuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, internal, static_cast<GLsizei>(width_),
                              static_cast<GLsizei>(height_));
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, depthBuffer_);
    }
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        ReportProblem("CreateDevice: back buffer incomplete (0x%x)", status);
        return false;
    }
    return true;
}

void Device::FillCaps() {
    D3DCAPS8& c = caps_;
    c = D3DCAPS8{};
    c.DeviceType = type_;
    c.AdapterOrdinal = adapter_;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    if (!IsSoftwareRenderer(EffectiveRendererName(*context_)))
        c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    c.TextureOpCaps =
        D3DTEXOPCAPS_MODULATE | 0x2 /* SELECTARG1 */ | 0x4 /* SELECTARG2 */ | 0x1 /* DISABLE */;
    GLint value = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    c.MaxTextureWidth = c.MaxTextureHeight = static_cast<DWORD>(value);
    c.MaxTextureAspectRatio = static_cast<DWORD>(value);
    value = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &value);
    c.MaxSimultaneousTextures = c.MaxTextureBlendStages =
        std::min<DWORD>(static_cast<DWORD>(std::max(value, 1)), kMaxStages);
    c.MaxActiveLights = static_cast<DWORD>(std::min(maxGlLights_, 8));
    value = 0;
    glGetIntegerv(GL_MAX_CLIP_PLANES, &value);
    c.MaxUserClipPlanes = static_cast<DWORD>(value);
    GLfloat pointSizes[2] = {1.0f, 1.0f};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, pointSizes);
    c.MaxPointSize = pointSizes[1];
    c.MaxAnisotropy = 1;
    // GL sets no limit on either count; these keep the byte size of any draw within 32 bits.
    c.MaxPrimitiveCount = 0x00FFFFFF;
    c.MaxVertexIndex = 0x00FFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = 255;
    c.FVFCaps = 2; // texture coordinate sets
    c.MaxVertexW = 1.0e10f;
    c.GuardBandLeft = c.GuardBandTop = -8192.0f;
    c.GuardBandRight = c.GuardBandBottom = 8192.0f;
}

void Device::SetInitialState() {
    renderStates_.fill(0);
    auto& rs = renderStates_;
    rs[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    for (UINT stage = 0; stage < kMaxStages; ++stage) {
        auto& ss = stageStates_[stage];
        ss.fill(0);
        ss[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ss[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ss[D3DTSS_TEXCOORDINDEX] = stage;
        ss[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ss[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ss[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ss[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ss[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        textureTransforms_[stage] = Identity();
    }
    world_ = view_ = projection_ = Identity();
    viewport_ = D3DVIEWPORT8{0, 0, width_, height_, 0.0f, 1.0f};
    material_ = D3DMATERIAL8{};

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    if (context_->provokingVertex()) glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    for (DWORD state :
         {D3DRS_ZENABLE, D3DRS_FILLMODE, D3DRS_SHADEMODE, D3DRS_ZWRITEENABLE, D3DRS_ALPHATESTENABLE,
          D3DRS_SRCBLEND, D3DRS_CULLMODE, D3DRS_ZFUNC, D3DRS_ALPHAFUNC, D3DRS_DITHERENABLE,
          D3DRS_ALPHABLENDENABLE, D3DRS_AMBIENT, D3DRS_NORMALIZENORMALS})
        ApplyRenderState(static_cast<D3DRENDERSTATETYPE>(state));
}

Device::~Device() {
    if (liveDevice == this) liveDevice = nullptr;
    if (window_) SetPictureRestorer(window_, {});
    context_->MakeCurrent();
    for (VertexBuffer*& spare : spares_) {
        if (spare) spare->DestroySpare();
        spare = nullptr;
    }
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (colorBuffer_) glDeleteRenderbuffers(1, &colorBuffer_);
    if (depthBuffer_) glDeleteRenderbuffers(1, &depthBuffer_);
}

bool Device::KeepSpare(VertexBuffer* buffer) {
    // Only while someone else holds the device: the spare gives its reference back.
    if (References() < 2 || buffer->store().capacity() > kMaxSpareBytes) return false;
    for (VertexBuffer*& spare : spares_) {
        if (!spare) {
            spare = buffer;
            return true;
        }
    }
    return false;
}

VertexBuffer* Device::TakeSpare(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
    VertexBuffer** best = nullptr;
    for (VertexBuffer*& spare : spares_) {
        if (!spare || spare->desc().Pool != pool) continue;
        const UINT room = spare->store().capacity();
        if (room >= length && (!best || room < (*best)->store().capacity())) best = &spare;
    }
    if (!best) return nullptr;
    VertexBuffer* found = *best;
    *best = nullptr;
    found->Revive(length, usage, fvf, pool);
    return found;
}

void Device::Forget(const IUnknown* resource) {
    for (auto& texture : textures_)
        if (texture == resource) texture = nullptr;
    if (streamSource_ == resource) streamSource_ = nullptr;
    arraysApplied_ = false; // GL drops the arrays of a buffer that goes
    if (indices_ == resource) indices_ = nullptr;
}

UINT Device::GetAvailableTextureMem() {
    MakeCurrent();
    constexpr UINT kCeiling = 0xFFF00000u;
    GLint kilobytes[4] = {0, 0, 0, 0};
    if (epoxy_has_gl_extension("GL_NVX_gpu_memory_info")) {
        glGetIntegerv(0x9049 /* CURRENT_AVAILABLE_VIDMEM_NVX */, kilobytes);
    } else if (epoxy_has_gl_extension("GL_ATI_meminfo")) {
        glGetIntegerv(0x87FC /* TEXTURE_FREE_MEMORY_ATI */, kilobytes);
    }
    if (kilobytes[0] > 0)
        return static_cast<UINT>(std::min<uint64_t>(uint64_t(kilobytes[0]) * 1024u, kCeiling));
    // No memory report: textures then live in system memory (software rasterisers, shared
    // memory parts), so a quarter of the machine's memory, between 64 MiB and 2 GiB, is what
    // a program could reasonably expect to fill.
    const uint64_t systemMb = static_cast<uint64_t>(std::max(SDL_GetSystemRAM(), 0));
    const uint64_t estimate = std::clamp<uint64_t>(systemMb / 4, 64, 2048) * 1024u * 1024u;
    return static_cast<UINT>(std::min<uint64_t>(estimate, kCeiling));
}

HRESULT Device::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = caps_;
    if (Seams().capsAdjustment) Seams().capsAdjustment(*caps);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return D3DERR_INVALIDCALL;
    *mode = displayMode_;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture8** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    GlTextureFormat gl{};
    if (!TextureFormatToGl(format, gl)) return D3DERR_INVALIDCALL;
    if (width == 0 || height == 0 || width > caps_.MaxTextureWidth ||
        height > caps_.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    UINT fullChain = 1;
    for (UINT w = width, h = height; w > 1 || h > 1;
         w = std::max(w / 2, 1u), h = std::max(h / 2, 1u))
        ++fullChain;
    if (levels == 0 || levels > fullChain) levels = fullChain;
    MakeCurrent();
    try {
        *texture = new Texture(this, width, height, levels, usage, format, pool, gl);
    } catch (const std::bad_alloc&) {
        ReportProblem("CreateTexture: no memory for %u x %u", width, height);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer8** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || length > (1u << 30)) return D3DERR_INVALIDCALL;
    if (fvf != 0) {
        const FvfLayout layout = DescribeFvf(fvf);
        if (!layout.valid || length < layout.stride) return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    if ((*buffer = TakeSpare(length, usage, fvf, pool))) return D3D_OK;
    try {
        *buffer = new VertexBuffer(this, length, usage, fvf, pool);
    } catch (const std::bad_alloc&) {
        ReportProblem("CreateVertexBuffer: no memory for %u bytes", length);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer8** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    if (length == 0 || length > (1u << 30)) return D3DERR_INVALIDCALL;
    MakeCurrent();
    try {
        *buffer = new IndexBuffer(this, length, usage, format, pool);
    } catch (const std::bad_alloc&) {
        ReportProblem("CreateIndexBuffer: no memory for %u bytes", length);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    MakeCurrent();
    glFlush();
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    if (count > 0 && !rects) return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthBuffer_) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && params_.AutoDepthStencilFormat != D3DFMT_D24S8)
        return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
    if (mask == 0) return D3DERR_INVALIDCALL;

    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glClearColor(((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f,
                 (color & 0xff) / 255.0f, ((color >> 24) & 0xff) / 255.0f);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(static_cast<GLint>(stencil & 0xff));
    glDepthMask(GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    // Direct3D clears the viewport only, and within it the rectangles given.
    const LONG vx1 = static_cast<LONG>(viewport_.X), vy1 = static_cast<LONG>(viewport_.Y);
    const LONG vx2 = vx1 + static_cast<LONG>(viewport_.Width);
    const LONG vy2 = vy1 + static_cast<LONG>(viewport_.Height);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max(x1, vx1);
        y1 = std::max(y1, vy1);
        x2 = std::min(x2, vx2);
        y2 = std::min(y2, vy2);
        if (x2 <= x1 || y2 <= y1) return;
        glScissor(x1, static_cast<GLint>(height_) - y2, x2 - x1, y2 - y1);
        glClear(mask);
    };
    if (count == 0) {
        clearRect(vx1, vy1, vx2, vy2);
    } else {
        for (DWORD i = 0; i < count; ++i)
            clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(renderStates_[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
    case D3DTS_WORLD:
        world_ = *matrix;
        return D3D_OK;
    case D3DTS_VIEW:
        view_ = *matrix;
        ++lightsVersion_; // GL keeps light positions as the view placed them
        return D3D_OK;
    case D3DTS_PROJECTION:
        projection_ = *matrix;
        return D3D_OK;
    default:
        if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxStages) {
            textureTransforms_[state - D3DTS_TEXTURE0] = *matrix;
            return D3D_OK;
        }
        return D3DERR_INVALIDCALL;
    }
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    switch (state) {
    case D3DTS_WORLD:
        *matrix = world_;
        return D3D_OK;
    case D3DTS_VIEW:
        *matrix = view_;
        return D3D_OK;
    case D3DTS_PROJECTION:
        *matrix = projection_;
        return D3D_OK;
    default:
        if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxStages) {
            *matrix = textureTransforms_[state - D3DTS_TEXTURE0];
            return D3D_OK;
        }
        return D3DERR_INVALIDCALL;
    }
}

HRESULT Device::SetViewport(const D3DVIEWPORT8* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    if (viewport->Width == 0 || viewport->Height == 0 || viewport->X > width_ ||
        viewport->Y > height_ || viewport->Width > width_ - viewport->X ||
        viewport->Height > height_ - viewport->Y)
        return D3DERR_INVALIDCALL;
    if (!(viewport->MinZ >= 0.0f && viewport->MaxZ <= 1.0f && viewport->MinZ <= viewport->MaxZ))
        return D3DERR_INVALIDCALL;
    viewport_ = *viewport;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT8* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    material_ = *material;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = material_;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (!light) return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_POINT && light->Type != D3DLIGHT_SPOT &&
        light->Type != D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    lights_[index].light = *light;
    ++lightsVersion_;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT8* light) {
    if (!light) return D3DERR_INVALIDCALL;
    auto found = lights_.find(index);
    if (found == lights_.end()) return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    auto found = lights_.find(index);
    if (found == lights_.end()) {
        // Enabling a light never set gives Direct3D's default light: white, straight ahead.
        LightSlot slot;
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
        found = lights_.emplace(index, slot).first;
    }
    found->second.enabled = enable != FALSE;
    ++lightsVersion_;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (static_cast<UINT>(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    renderStates_[state] = value;
    MakeCurrent();
    ApplyRenderState(state);
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || static_cast<UINT>(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    if (!texture || stage >= kMaxStages) return D3DERR_INVALIDCALL;
    *texture = textures_[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    if (stage >= kMaxStages) return D3DERR_INVALIDCALL;
    Texture* ours = nullptr;
    if (texture) {
        ours = dynamic_cast<Texture*>(texture);
        if (!ours || !ours->BelongsTo(this)) return D3DERR_INVALIDCALL;
    }
    textures_[stage] = ours;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= kMaxStages || static_cast<UINT>(type) >= kStageStateCount)
        return D3DERR_INVALIDCALL;
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= kMaxStages || static_cast<UINT>(type) >= kStageStateCount)
        return D3DERR_INVALIDCALL;
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT Device::SetVertexShader(DWORD handle) {
    if (!DescribeFvf(handle).valid) return D3DERR_INVALIDCALL;
    fvf_ = handle;
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = fvf_;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    VertexBuffer* ours = nullptr;
    if (data) {
        ours = dynamic_cast<VertexBuffer*>(data);
        if (!ours || !ours->BelongsTo(this)) return D3DERR_INVALIDCALL;
    }
    streamSource_ = ours;
    streamStride_ = stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer8* indices, UINT baseVertexIndex) {
    IndexBuffer* ours = nullptr;
    if (indices) {
        ours = dynamic_cast<IndexBuffer*>(indices);
        if (!ours || !ours->BelongsTo(this)) return D3DERR_INVALIDCALL;
    }
    indices_ = ours;
    baseVertexIndex_ = baseVertexIndex;
    return D3D_OK;
}

} // namespace platform::d3d8
