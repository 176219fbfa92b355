// Private to the Direct3D 8 stand-in: the device class behind IDirect3DDevice8 (the public
// interface is d3d8.h's) and the adapter's live device.
#pragma once

#include <platform/d3d8/gl_context.h>
#include <platform/d3d8/resources.h>
#include <platform/d3d8/server_scaling.h>

#include <SDL.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace platform::d3d8 {

constexpr UINT kMaxStages = 2;
constexpr UINT kRenderStateCount = 256;
constexpr UINT kStageStateCount = 32;

class Device final : public ComObject<IDirect3DDevice8> {
  public:
    // Takes over `context`; the framebuffer object is made here. Null with `result` set on
    // failure.
    static Device* Create(std::unique_ptr<GlContext> context, HWND window, D3DDEVTYPE type,
                          UINT adapter, const D3DPRESENT_PARAMETERS& params,
                          const D3DDISPLAYMODE& displayMode, HRESULT& result);

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture8** texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer8** buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer8** buffer) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData,
                                   D3DFORMAT indexFormat, const void* vertexData,
                                   UINT stride) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer8* indices, UINT baseVertexIndex) override;

    void MakeCurrent() { context_->MakeCurrent(); }
    void Forget(const IUnknown* resource);
    // Takes a vertex buffer whose last reference went, to hand it out again; false when the
    // device keeps no more spares (the caller then deletes it).
    bool KeepSpare(VertexBuffer* buffer);
    const GlContext& context() const { return *context_; }
    bool ReadBack(std::vector<uint8_t>& rgbaTopDown, UINT& width, UINT& height);
    bool ReadBackBottomUp(uint8_t* rgba, size_t bytes);
    // present_again.cpp: the window's picture kept across exposes while the program is idle.
    void KeepPictureOnExpose();
    void PresentAgain();
    bool ScaledByServer() const { return serverScaling_ != nullptr; }
    // window_mode.cpp: see SetWindowedPresentation. The place is where the window goes back to
    // from full screen.
    bool SetWindowed(bool windowed);
    // Where Present puts the picture in the window, in window coordinates.
    bool PictureInWindow(RECT& rect) const;
    void RememberWindowedPlace(const SDL_Rect& place) { windowedPlace_ = place; }

  private:
    Device() = default;
    ~Device() override;
    bool MakeBackBuffer(D3DFORMAT colorFormat, D3DFORMAT depthFormat);
    // The program's window when it still exists, else null.
    SDL_Window* TargetWindow() const;
    // presenter.cpp: full screen through the X server's scaling; false when that way is not
    // taken (or no longer works) and GL is to scale instead.
    bool PresentByServer(SDL_Window* target, const LONG source[4], const RECT& dest,
                         int windowWidth, int windowHeight);
    void FillCaps();
    void SetInitialState();
    void ApplyRenderState(D3DRENDERSTATETYPE state);
    // fixed_function.cpp: everything a draw needs, from the stored state.
    bool PrepareDraw(const FvfLayout& layout);
    void ApplyTransforms(bool rhw);
    void ApplyLighting(const FvfLayout& layout);
    // The enabled lights into GL, placed by the view loaded as the modelview.
    void ApplyLights(bool specular);
    void ApplyStages(const FvfLayout& layout);
    void BindArrays(const FvfLayout& layout, const uint8_t* base, UINT stride, UINT vertexCount);
    void UnbindArrays();

    std::unique_ptr<GlContext> context_;
    HWND window_ = nullptr; // null: headless, presents into the context's hidden window
    bool swapIntervalSet_ = false;
    D3DDEVTYPE type_ = D3DDEVTYPE_HAL;
    UINT adapter_ = 0;
    D3DPRESENT_PARAMETERS params_{};
    D3DDISPLAYMODE displayMode_{};
    D3DCAPS8 caps_{};
    GLuint framebuffer_ = 0, colorBuffer_ = 0, depthBuffer_ = 0;
    UINT width_ = 0, height_ = 0;
    bool inScene_ = false;
    bool framePresented_ = false; // the back buffer holds a whole presented frame
    std::unique_ptr<ServerScaling> serverScaling_;
    bool serverScalingRefused_ = false; // tried and failed: GL scales from then on
    SDL_Rect windowedPlace_{};          // the window's place and size before full screen took it

    std::array<DWORD, kRenderStateCount> renderStates_{};
    std::array<std::array<DWORD, kStageStateCount>, kMaxStages> stageStates_{};
    // Bindings do not hold references: a resource holds one on the device, so the reverse
    // would keep both alive for ever. A resource that goes away unbinds itself (Forget).
    std::array<Texture*, kMaxStages> textures_{};
    D3DMATRIX world_{}, view_{}, projection_{};
    std::array<D3DMATRIX, kMaxStages> textureTransforms_{};
    D3DVIEWPORT8 viewport_{};
    D3DMATERIAL8 material_{};
    struct LightSlot {
        D3DLIGHT8 light{};
        bool enabled = false;
    };
    std::map<DWORD, LightSlot> lights_;
    GLint maxGlLights_ = 8;
    DWORD fvf_ = 0;
    VertexBuffer* streamSource_ = nullptr;
    UINT streamStride_ = 0;
    IndexBuffer* indices_ = nullptr;
    UINT baseVertexIndex_ = 0;
    std::vector<uint8_t> colorScratch_;
    // What the last draw left in GL, so that a draw sets only what differs: the scene
    // projection and viewport, the lights (as of lightsVersion_), the material, and the arrays
    // of a buffer.
    bool sceneProjectionApplied_ = false;
    D3DMATRIX appliedProjection_{};
    D3DVIEWPORT8 appliedViewport_{};
    uint64_t lightsVersion_ = 1, appliedLightsVersion_ = 0;
    DWORD appliedSpecular_ = 0;
    bool materialApplied_ = false, appliedMaterialSpecular_ = false;
    D3DMATERIAL8 appliedMaterial_{};
    struct ArrayBinding {
        GLuint buffer;
        DWORD fvf;
        UINT stride;
        size_t offset;
        DWORD texCoordIndex[kMaxStages];
        bool operator==(const ArrayBinding&) const = default;
    };
    bool arraysApplied_ = false;
    ArrayBinding appliedArrays_{};
    // BindArrays for a buffer-backed draw, skipped when the arrays are already these.
    void BindBufferArrays(const FvfLayout& layout, const BufferStore& store, size_t offset,
                          UINT stride, UINT vertexCount);
    // Small vertex buffers whose last reference went: a program that makes one a frame (as
    // Direct3D's managed pool allows cheaply) reuses them without a GL buffer or heap block.
    static constexpr size_t kMaxSpares = 8;
    static constexpr UINT kMaxSpareBytes = 64 * 1024;
    std::array<VertexBuffer*, kMaxSpares> spares_{};
    VertexBuffer* TakeSpare(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
};

// The live device of an adapter, if any (IDirect3D8::GetDeviceCaps answers from it).
Device* LiveDevice();
void SetLiveDevice(Device* device);

} // namespace platform::d3d8
