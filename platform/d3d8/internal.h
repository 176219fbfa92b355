// Private to the Direct3D 8 stand-in: the GL context, the device and resource classes, and the
// seams' storage. Outside platform/d3d8 only the tests that look inside see it, through
// koltrep_d3d8_internals.
#pragma once

#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3d8/server_scaling.h>

#include <platform/win32/com_object.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::d3d8 {

// ---- Seams ---------------------------------------------------------------------------------
struct SeamState {
    std::vector<SimulatedAdapter> adapters;
    bool failCreation[3] = {false, false, false};
    std::function<HRESULT()> cooperativeLevel;
    std::optional<std::string> rendererName;
    std::function<void(D3DCAPS8&)> capsAdjustment;
    FullScreenScaling fullScreenScaling = FullScreenScaling::ByRenderer;
};
SeamState& Seams();

// Starts SDL's video subsystem unless it runs already; it is never stopped from here.
bool StartVideo();

// Why a creation failed, for whoever runs the program: one line on stderr (the program's own
// log records only what the program itself decides to write).
void ReportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- GL context ----------------------------------------------------------------------------
// A GL 2.1 compatibility context on a hidden SDL window of its own.
class GlContext {
  public:
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // nullptr with `error` set when no usable context can be made. `software` asks Mesa for its
    // software rasteriser.
    static std::unique_ptr<GlContext> Create(bool software, std::string& error);
    // Current, on its own window unless it is current on the window it last presented in:
    // all drawing goes to the back-buffer object, so either serves, and staying on the
    // program's window keeps the GL driver from dropping and re-making that window's buffers
    // (a full-screen window's are large) at every present.
    void MakeCurrent();
    // Current on the program's window, to present there.
    void MakeCurrentOn(SDL_Window* target);

    SDL_Window* window() const { return window_; }
    const std::string& renderer() const { return renderer_; }
    // Whether glColorPointer takes GL_BGRA, so D3DCOLOR arrays need no conversion.
    bool bgraColorArrays() const { return bgraColorArrays_; }
    bool provokingVertex() const { return provokingVertex_; }

  private:
    GlContext() = default;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_Window* presenting_ = nullptr; // the window of the last present, while current on it
    std::string renderer_;
    bool bgraColorArrays_ = false;
    bool provokingVertex_ = false;
};

// The renderer text that counts for the accelerated / software decision (seam aware).
std::string EffectiveRendererName(const GlContext& context);

// ---- Vertex formats ------------------------------------------------------------------------
struct FvfLayout {
    bool valid = false;
    bool rhw = false;
    bool normal = false;
    bool diffuse = false;
    UINT texCount = 0;
    UINT normalOffset = 0, diffuseOffset = 0, texOffset = 0;
    UINT stride = 0;
};
FvfLayout DescribeFvf(DWORD fvf);
// Vertices a draw of `primitives` primitives of `type` consumes; 0 for an unknown type.
UINT VertexCountFor(D3DPRIMITIVETYPE type, UINT primitives);

// ---- Depth and surface formats -------------------------------------------------------------
bool IsRenderbufferDepthFormat(D3DFORMAT format);
bool IsDisplayFormat(D3DFORMAT format);
// GL upload description of a texture format; false for formats we do not take.
struct GlTextureFormat {
    GLint internalFormat;
    GLenum format;
    GLenum type;
    UINT bytesPerPixel;
};
bool TextureFormatToGl(D3DFORMAT format, GlTextureFormat& out);

class Device;

// ---- Resources -----------------------------------------------------------------------------
class Texture final : public ComObject<IDirect3DTexture8> {
  public:
    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
            D3DPOOL pool, const GlTextureFormat& gl);
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    bool BelongsTo(const Device* device) const { return device_ == device; }
    GLuint name() const { return name_; }
    // Sets the GL sampling parameters when they differ from the last ones set.
    void ApplySampling(GLint minFilter, GLint magFilter, GLint wrapS, GLint wrapT);

  private:
    ~Texture() override;
    struct Level {
        UINT width, height;
        std::vector<uint8_t> bits;
        bool locked = false;
    };
    Device* device_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    GlTextureFormat gl_;
    std::vector<Level> levels_;
    GLuint name_ = 0;
    GLint minFilter_ = -1, magFilter_ = -1, wrapS_ = -1, wrapT_ = -1;
    bool readOnlyLock_ = false;
};

// Vertex and index data: a system-memory copy (what Lock hands out) mirrored into a GL buffer
// when unlocked.
class BufferStore {
  public:
    BufferStore(Device* device, UINT length);
    ~BufferStore();
    HRESULT Lock(UINT offset, UINT size, BYTE** data, bool readOnly);
    HRESULT Unlock();
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    GLuint name() const { return name_; }
    bool locked() const { return lockCount_ > 0; }
    // The most bytes the store holds without allocating: the length it was made with.
    UINT capacity() const { return capacity_; }
    // Back to the zeroed state of a new store of `length` bytes (at most capacity()), its
    // storage kept. The zeros reach GL with the next upload.
    void Reset(UINT length);
    // Sends what changed since the last upload to GL, unless a lock is still open. The last
    // Unlock does this; so must a draw, since a reset store may be drawn without a lock.
    void Upload();

  private:
    Device* device_;
    std::vector<uint8_t> bytes_;
    UINT capacity_;
    GLuint name_ = 0;
    int lockCount_ = 0;
    UINT dirtyBegin_ = 0, dirtyEnd_ = 0;
};

class VertexBuffer final : public ComObject<IDirect3DVertexBuffer8> {
  public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
    bool BelongsTo(const Device* device) const { return device_ == device; }
    const BufferStore& store() const { return *store_; }
    const D3DVERTEXBUFFER_DESC& desc() const { return desc_; }
    // A spare buffer handed out again by CreateVertexBuffer with the description asked for
    // (a length within its store's capacity): zeroed, one reference.
    void Revive(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    // Before a draw reads the buffer: the store's pending bytes to GL.
    void Upload() { store_->Upload(); }
    // Deletes a spare buffer; only the device that keeps it calls this.
    void DestroySpare();

  private:
    ~VertexBuffer() override;
    // The last release hands the buffer to the device's spares where it has room.
    bool KeepAfterLastRelease() override;
    Device* device_;
    D3DVERTEXBUFFER_DESC desc_;
    std::unique_ptr<BufferStore> store_;
    bool spare_ = false; // kept by the device, which it holds no reference on
};

class IndexBuffer final : public ComObject<IDirect3DIndexBuffer8> {
  public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    bool BelongsTo(const Device* device) const { return device_ == device; }
    const BufferStore& store() const { return *store_; }
    D3DFORMAT format() const { return desc_.Format; }
    // The largest index the buffer holds, found when its last lock ended, so that a draw
    // whose vertices reach past it needs no look at its indices.
    uint32_t largestIndex() const { return largestIndex_; }

  private:
    ~IndexBuffer() override;
    Device* device_;
    D3DINDEXBUFFER_DESC desc_;
    std::unique_ptr<BufferStore> store_;
    uint32_t largestIndex_ = 0;
};

// ---- Device --------------------------------------------------------------------------------
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

// Where Present puts a source x sourceHeight picture in a destination x destinationHeight
// window: all of it when stretching, else the largest centred rectangle of the same aspect.
RECT PresentationRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                      LONG destinationHeight, bool keepAspect);

// Where full-screen Present puts the picture: the largest centred rectangle of its aspect that
// the destination holds, as a display mode of the picture's size would fill the screen.
RECT FullScreenRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                    LONG destinationHeight);
// Whether `dest` holds the source at one whole multiple (1x included) in both directions: there
// nearest sampling copies whole pixels, elsewhere the picture is filtered.
bool IsWholeMultiple(LONG sourceWidth, LONG sourceHeight, const RECT& dest);
// Clears to black the parts of a width x height window outside `picture` (window coordinates,
// rows from the top); leaves the scissor test off.
void ClearOutside(const RECT& picture, LONG width, LONG height);

// Makes `window` a borderless full-screen window over its desktop; returns the place and size
// it had before.
SDL_Rect CoverDesktop(SDL_Window* window);

// The live device of an adapter, if any (IDirect3D8::GetDeviceCaps answers from it).
Device* LiveDevice();
void SetLiveDevice(Device* device);

} // namespace platform::d3d8
