// Test seam: an IDirect3DDevice8 that records every call with its arguments instead of drawing,
// and an ID3DXFont that records into the same log, so a test can check the order of calls
// across the device and the font.
//
// The device keeps the state it is given (render states, transforms, textures, stage states,
// material, stream source, vertex shader), so Get* returns what was Set. Textures, vertex and
// index buffers it "creates" are real memory owned by the device: they can be locked and
// filled, and they stay readable after their last Release (check refCount to see whether the
// code under test released them). Draw calls copy the vertices they would read from the
// stream source (or from the user pointer) into the call record.
//
// Limits: no rasterisation, no validation of state values; CreateTexture supports the
// 32-bit formats only (4 bytes a texel, as the program's textures are A8R8G8B8).
#pragma once

#include <d3dx8.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class RecordingDevice;

// One recorded call. `name` is the method name ("SetRenderState", "DrawPrimitive",
// "Font::DrawTextA", ...). Integer-like arguments go to `args` in call order; floats
// (a matrix's 16 entries, a material's 17, a clear's z) to `floats`; text to `text`.
struct DeviceCall {
    std::string name;
    std::vector<int64_t> args;
    std::vector<float> floats;
    std::string text;
    const void* object = nullptr;  // texture, buffer or other interface the call names
    std::vector<uint8_t> vertices; // draw calls: the bytes of the vertices drawn
    DWORD stride = 0;              // draw calls: the stride they were drawn with
    DWORD fvf = 0;                 // draw calls: the vertex shader (FVF) in effect

    // "SetRenderState(137, 1)"; floats are printed with %g after the integers.
    std::string ToString() const;
};

class RecordingTexture final : public IDirect3DTexture8 {
  public:
    RecordingTexture(RecordingDevice* device, UINT width, UINT height, UINT levels,
                     D3DFORMAT format, D3DPOOL pool);
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    struct Level {
        UINT width, height;
        std::vector<uint8_t> texels; // 4 bytes a texel, rows top down, pitch = width * 4
    };
    RecordingDevice* device;
    D3DFORMAT format;
    D3DPOOL pool;
    std::vector<Level> levels;
    int refCount = 1;
    int lockCount = 0;
    std::string label; // free for tests, e.g. the file the texture stands for
};

class RecordingVertexBuffer final : public IDirect3DVertexBuffer8 {
  public:
    RecordingVertexBuffer(RecordingDevice* device, UINT length, DWORD usage, DWORD fvf,
                          D3DPOOL pool);
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    RecordingDevice* device;
    std::vector<uint8_t> bytes;
    DWORD usage, fvf;
    D3DPOOL pool;
    int refCount = 1;
    int lockCount = 0;
};

class RecordingIndexBuffer final : public IDirect3DIndexBuffer8 {
  public:
    RecordingIndexBuffer(RecordingDevice* device, UINT length, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool);
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    RecordingDevice* device;
    std::vector<uint8_t> bytes;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
    int refCount = 1;
    int lockCount = 0;
};

class RecordingDevice final : public IDirect3DDevice8 {
  public:
    RecordingDevice();
    ~RecordingDevice() override;
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    // ---- What was recorded -------------------------------------------------------------
    std::vector<DeviceCall> calls;

    // The names of all calls, in order.
    std::vector<std::string> Names() const;
    // The calls' ToString(), one a line.
    std::string Log() const;
    // Calls with this name, in order.
    std::vector<const DeviceCall*> CallsNamed(const std::string& name) const;
    size_t CountOf(const std::string& name) const;
    void ClearCalls() { calls.clear(); }
    // Appends a call record (used by the font double and by tests that want markers).
    DeviceCall& Record(const std::string& name);

    // ---- Failure injection ---------------------------------------------------------------
    HRESULT createVertexBufferResult = D3D_OK;
    HRESULT lockVertexBufferResult = D3D_OK;
    HRESULT createTextureResult = D3D_OK;
    HRESULT createIndexBufferResult = D3D_OK;
    HRESULT cooperativeLevel = D3D_OK;

    // ---- Kept state ----------------------------------------------------------------------
    std::map<int, D3DMATRIX> transforms;
    std::map<int, DWORD> renderStates;
    std::map<std::pair<DWORD, int>, DWORD> stageStates;
    std::map<DWORD, IDirect3DBaseTexture8*> stageTextures;
    std::map<DWORD, D3DLIGHT8> lights;
    std::map<DWORD, BOOL> lightEnabled;
    D3DMATERIAL8 material{};
    D3DVIEWPORT8 viewport{0, 0, 640, 480, 0.0f, 1.0f};
    DWORD vertexShader = 0;
    IDirect3DVertexBuffer8* streamSource = nullptr;
    UINT streamStride = 0;
    IDirect3DIndexBuffer8* indices = nullptr;
    UINT baseVertexIndex = 0;
    int refCount = 1;

    // Everything the device created, alive until the device goes.
    std::vector<std::unique_ptr<RecordingTexture>> textures;
    std::vector<std::unique_ptr<RecordingVertexBuffer>> vertexBuffers;
    std::vector<std::unique_ptr<RecordingIndexBuffer>> indexBuffers;
    // Created resources whose refCount is still above 0.
    size_t LiveTextures() const;
    size_t LiveVertexBuffers() const;

    // ---- IUnknown ------------------------------------------------------------------------
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override { return --refCount; }

    // ---- IDirect3DDevice8 ----------------------------------------------------------------
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override { return 64u << 20; }
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
};

// Number of vertices a primitive call reads.
UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT primitiveCount);

// An ID3DXFont that records Begin, DrawTextA and End into a device's call log
// ("Font::Begin", "Font::DrawTextA" with args count, left, top, right, bottom, format, color
// and the text, "Font::End").
class RecordingFont final : public ID3DXFont {
  public:
    explicit RecordingFont(RecordingDevice* device) : device(device) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** device) override;
    HRESULT GetLogFont(LOGFONTA* logFont) override;
    HRESULT Begin() override;
    INT DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) override;
    HRESULT End() override;

    RecordingDevice* device;
    LOGFONTA logFont{};
    int refCount = 1;
    INT lineHeight = 16;
};

} // namespace testsupport
