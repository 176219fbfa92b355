// Recording stand-in for the Direct3D device and the D3DX font (see recording_device.h).
// Implements every IDirect3DDevice8 method as "record the call, keep the state"; resources are
// plain memory. Nothing is drawn.
#include "tests/support/platform/recording_device.h"

#include <cstdio>
#include <cstring>

namespace testsupport {

namespace {

constexpr UINT kMaxTextureSide = 16384;
constexpr UINT kMaxBufferBytes = 64u << 20;

void AppendMatrix(DeviceCall& call, const D3DMATRIX* m) {
    if (m == nullptr) return;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            call.floats.push_back(m->m[r][c]);
}

void AppendColor(DeviceCall& call, const D3DCOLORVALUE& c) {
    call.floats.insert(call.floats.end(), {c.r, c.g, c.b, c.a});
}

// A resource's Release: counts down but never frees, so that a test can still look at a
// resource the code under test has let go of.
ULONG CountDown(int& refCount) {
    if (refCount > 0) --refCount;
    return static_cast<ULONG>(refCount);
}

// A resource's GetDevice: the owner, with a reference for the caller.
HRESULT HandOutDevice(RecordingDevice* device, IDirect3DDevice8** out) {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    device->AddRef();
    *out = device;
    return D3D_OK;
}

// A buffer's Lock of `size` bytes at `offset`.
HRESULT LockBytes(std::vector<uint8_t>& bytes, UINT offset, UINT size, BYTE** data,
                  int& lockCount) {
    if (data == nullptr || offset > bytes.size() || size > bytes.size() - offset)
        return D3DERR_INVALIDCALL;
    *data = bytes.data() + offset;
    ++lockCount;
    return D3D_OK;
}

} // namespace

std::string DeviceCall::ToString() const {
    std::string out = name + "(";
    bool first = true;
    char piece[64];
    for (int64_t a : args) {
        std::snprintf(piece, sizeof piece, "%s%lld", first ? "" : ", ", static_cast<long long>(a));
        out += piece;
        first = false;
    }
    for (float f : floats) {
        std::snprintf(piece, sizeof piece, "%s%g", first ? "" : ", ", static_cast<double>(f));
        out += piece;
        first = false;
    }
    if (!text.empty()) {
        out += first ? "\"" : ", \"";
        out += text;
        out += "\"";
    }
    out += ")";
    return out;
}

UINT VertexCountOf(D3DPRIMITIVETYPE type, UINT primitiveCount) {
    switch (type) {
    case D3DPT_POINTLIST:
        return primitiveCount;
    case D3DPT_LINELIST:
        return primitiveCount * 2;
    case D3DPT_LINESTRIP:
        return primitiveCount == 0 ? 0 : primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount == 0 ? 0 : primitiveCount + 2;
    }
    return 0;
}

// ---- Texture ----------------------------------------------------------------------------

RecordingTexture::RecordingTexture(RecordingDevice* owner, UINT width, UINT height, UINT levelCount,
                                   D3DFORMAT textureFormat, D3DPOOL texturePool)
    : device(owner), format(textureFormat), pool(texturePool) {
    UINT w = width, h = height;
    for (UINT i = 0; i < levelCount; ++i) {
        levels.push_back(Level{w, h, std::vector<uint8_t>(size_t(w) * h * 4, 0)});
        if (w == 1 && h == 1) break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
}

ULONG RecordingTexture::Release() {
    return CountDown(refCount);
}

HRESULT RecordingTexture::GetDevice(IDirect3DDevice8** out) {
    return HandOutDevice(device, out);
}

HRESULT RecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (desc == nullptr || level >= levels.size()) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{};
    desc->Format = format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = pool;
    desc->Width = levels[level].width;
    desc->Height = levels[level].height;
    desc->Size = static_cast<UINT>(levels[level].texels.size());
    return D3D_OK;
}

HRESULT RecordingTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
    if (locked == nullptr || level >= levels.size()) return D3DERR_INVALIDCALL;
    Level& l = levels[level];
    size_t offset = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(l.width) ||
            rect->bottom > LONG(l.height) || rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        offset = (size_t(rect->top) * l.width + size_t(rect->left)) * 4;
    }
    locked->Pitch = static_cast<INT>(l.width * 4);
    locked->pBits = l.texels.data() + offset;
    ++lockCount;
    return D3D_OK;
}

HRESULT RecordingTexture::UnlockRect(UINT level) {
    if (level >= levels.size()) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

// ---- Buffers ------------------------------------------------------------------------------

RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* owner, UINT length, DWORD bufferUsage,
                                             DWORD bufferFvf, D3DPOOL bufferPool)
    : device(owner), bytes(length, 0), usage(bufferUsage), fvf(bufferFvf), pool(bufferPool) {}

ULONG RecordingVertexBuffer::Release() {
    return CountDown(refCount);
}

HRESULT RecordingVertexBuffer::GetDevice(IDirect3DDevice8** out) {
    return HandOutDevice(device, out);
}

HRESULT RecordingVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    DeviceCall& call = device->Record("VertexBuffer::Lock");
    call.args = {offset, size, flags};
    call.object = this;
    if (FAILED(device->lockVertexBufferResult)) return device->lockVertexBufferResult;
    return LockBytes(bytes, offset, size, data, lockCount);
}

HRESULT RecordingVertexBuffer::Unlock() {
    device->Record("VertexBuffer::Unlock").object = this;
    return D3D_OK;
}

HRESULT RecordingVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA,
                                 D3DRTYPE_VERTEXBUFFER,
                                 usage,
                                 pool,
                                 static_cast<UINT>(bytes.size()),
                                 fvf};
    return D3D_OK;
}

RecordingIndexBuffer::RecordingIndexBuffer(RecordingDevice* owner, UINT length, DWORD bufferUsage,
                                           D3DFORMAT bufferFormat, D3DPOOL bufferPool)
    : device(owner), bytes(length, 0), usage(bufferUsage), format(bufferFormat), pool(bufferPool) {}

ULONG RecordingIndexBuffer::Release() {
    return CountDown(refCount);
}

HRESULT RecordingIndexBuffer::GetDevice(IDirect3DDevice8** out) {
    return HandOutDevice(device, out);
}

HRESULT RecordingIndexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD) {
    return LockBytes(bytes, offset, size, data, lockCount);
}

HRESULT RecordingIndexBuffer::Unlock() {
    return D3D_OK;
}

HRESULT RecordingIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = D3DINDEXBUFFER_DESC{format, D3DRTYPE_INDEXBUFFER, usage, pool,
                                static_cast<UINT>(bytes.size())};
    return D3D_OK;
}

// ---- Device -------------------------------------------------------------------------------

RecordingDevice::RecordingDevice() = default;
RecordingDevice::~RecordingDevice() = default;

DeviceCall& RecordingDevice::Record(const std::string& name) {
    calls.push_back(DeviceCall{});
    calls.back().name = name;
    return calls.back();
}

std::vector<std::string> RecordingDevice::Names() const {
    std::vector<std::string> names;
    names.reserve(calls.size());
    for (const DeviceCall& c : calls)
        names.push_back(c.name);
    return names;
}

std::string RecordingDevice::Log() const {
    std::string out;
    for (const DeviceCall& c : calls)
        out += c.ToString() + "\n";
    return out;
}

std::vector<const DeviceCall*> RecordingDevice::CallsNamed(const std::string& name) const {
    std::vector<const DeviceCall*> out;
    for (const DeviceCall& c : calls)
        if (c.name == name) out.push_back(&c);
    return out;
}

size_t RecordingDevice::CountOf(const std::string& name) const {
    size_t n = 0;
    for (const DeviceCall& c : calls)
        if (c.name == name) ++n;
    return n;
}

size_t RecordingDevice::LiveTextures() const {
    size_t n = 0;
    for (const auto& t : textures)
        if (t->refCount > 0) ++n;
    return n;
}

size_t RecordingDevice::LiveVertexBuffers() const {
    size_t n = 0;
    for (const auto& b : vertexBuffers)
        if (b->refCount > 0) ++n;
    return n;
}

HRESULT RecordingDevice::TestCooperativeLevel() {
    Record("TestCooperativeLevel");
    return cooperativeLevel;
}

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (caps == nullptr) return D3DERR_INVALIDCALL;
    *caps = D3DCAPS8{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->MaxTextureWidth = caps->MaxTextureHeight = 4096;
    caps->MaxTextureBlendStages = caps->MaxSimultaneousTextures = 2;
    caps->MaxActiveLights = 8;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFF;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 256;
    caps->TextureCaps =
        D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps->TextureOpCaps = D3DTEXOPCAPS_MODULATE;
    return D3D_OK;
}

HRESULT RecordingDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = D3DDISPLAYMODE{640, 480, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT RecordingDevice::Present(const RECT*, const RECT*, HWND, const void*) {
    Record("Present");
    return cooperativeLevel;
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                       D3DFORMAT format, D3DPOOL pool,
                                       IDirect3DTexture8** texture) {
    DeviceCall& call = Record("CreateTexture");
    call.args = {width, height, levels, usage, format, pool};
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (FAILED(createTextureResult)) return createTextureResult;
    if (width == 0 || height == 0 || width > kMaxTextureSide || height > kMaxTextureSide)
        return D3DERR_INVALIDCALL;
    UINT count = levels;
    if (count == 0) {
        count = 1;
        for (UINT w = width, h = height; w > 1 || h > 1; w /= 2, h /= 2)
            ++count;
    }
    textures.push_back(
        std::make_unique<RecordingTexture>(this, width, height, count, format, pool));
    *texture = textures.back().get();
    call.object = *texture;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer8** buffer) {
    DeviceCall& call = Record("CreateVertexBuffer");
    call.args = {length, usage, fvf, pool};
    if (buffer == nullptr) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (FAILED(createVertexBufferResult)) return createVertexBufferResult;
    if (length == 0 || length > kMaxBufferBytes) return D3DERR_INVALIDCALL;
    vertexBuffers.push_back(
        std::make_unique<RecordingVertexBuffer>(this, length, usage, fvf, pool));
    *buffer = vertexBuffers.back().get();
    call.object = *buffer;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer8** buffer) {
    DeviceCall& call = Record("CreateIndexBuffer");
    call.args = {length, usage, format, pool};
    if (buffer == nullptr) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (FAILED(createIndexBufferResult)) return createIndexBufferResult;
    if (length == 0 || length > kMaxBufferBytes) return D3DERR_INVALIDCALL;
    indexBuffers.push_back(
        std::make_unique<RecordingIndexBuffer>(this, length, usage, format, pool));
    *buffer = indexBuffers.back().get();
    call.object = *buffer;
    return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() {
    Record("BeginScene");
    return D3D_OK;
}

HRESULT RecordingDevice::EndScene() {
    Record("EndScene");
    return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT*, DWORD flags, D3DCOLOR color, float z,
                               DWORD stencil) {
    DeviceCall& call = Record("Clear");
    call.args = {count, flags, color, stencil};
    call.floats = {z};
    return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    DeviceCall& call = Record("SetTransform");
    call.args = {state};
    AppendMatrix(call, matrix);
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    transforms[state] = *matrix;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    auto it = transforms.find(state);
    if (it != transforms.end()) {
        *matrix = it->second;
    } else {
        *matrix = D3DMATRIX{};
        matrix->_11 = matrix->_22 = matrix->_33 = matrix->_44 = 1.0f;
    }
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT8* v) {
    DeviceCall& call = Record("SetViewport");
    if (v == nullptr) return D3DERR_INVALIDCALL;
    call.args = {v->X, v->Y, v->Width, v->Height};
    call.floats = {v->MinZ, v->MaxZ};
    viewport = *v;
    return D3D_OK;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT8* v) {
    if (v == nullptr) return D3DERR_INVALIDCALL;
    *v = viewport;
    return D3D_OK;
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8* m) {
    DeviceCall& call = Record("SetMaterial");
    if (m == nullptr) return D3DERR_INVALIDCALL;
    AppendColor(call, m->Diffuse);
    AppendColor(call, m->Ambient);
    AppendColor(call, m->Specular);
    AppendColor(call, m->Emissive);
    call.floats.push_back(m->Power);
    material = *m;
    return D3D_OK;
}

HRESULT RecordingDevice::GetMaterial(D3DMATERIAL8* m) {
    if (m == nullptr) return D3DERR_INVALIDCALL;
    *m = material;
    return D3D_OK;
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    DeviceCall& call = Record("SetLight");
    call.args = {index};
    if (light == nullptr) return D3DERR_INVALIDCALL;
    call.args.push_back(light->Type);
    AppendColor(call, light->Diffuse);
    call.floats.insert(call.floats.end(),
                       {light->Direction.x, light->Direction.y, light->Direction.z});
    lights[index] = *light;
    return D3D_OK;
}

HRESULT RecordingDevice::GetLight(DWORD index, D3DLIGHT8* light) {
    auto it = lights.find(index);
    if (light == nullptr || it == lights.end()) return D3DERR_INVALIDCALL;
    *light = it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    Record("LightEnable").args = {index, enable};
    lightEnabled[index] = enable;
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record("SetRenderState").args = {state, value};
    renderStates[state] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr) return D3DERR_INVALIDCALL;
    auto it = renderStates.find(state);
    *value = it == renderStates.end() ? 0 : it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    auto it = stageTextures.find(stage);
    *texture = it == stageTextures.end() ? nullptr : it->second;
    if (*texture != nullptr) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    DeviceCall& call = Record("SetTexture");
    call.args = {stage};
    call.object = texture;
    stageTextures[stage] = texture;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD* value) {
    if (value == nullptr) return D3DERR_INVALIDCALL;
    auto it = stageStates.find({stage, type});
    *value = it == stageStates.end() ? 0 : it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                              DWORD value) {
    Record("SetTextureStageState").args = {stage, type, value};
    stageStates[{stage, type}] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex,
                                       UINT primitiveCount) {
    DeviceCall& call = Record("DrawPrimitive");
    call.args = {type, startVertex, primitiveCount};
    call.object = streamSource;
    call.stride = streamStride;
    call.fvf = vertexShader;
    auto* vb = static_cast<RecordingVertexBuffer*>(streamSource);
    if (vb != nullptr && streamStride != 0) {
        size_t begin = size_t(startVertex) * streamStride;
        size_t end = begin + size_t(VertexCountOf(type, primitiveCount)) * streamStride;
        if (begin > vb->bytes.size()) begin = vb->bytes.size();
        if (end > vb->bytes.size()) end = vb->bytes.size();
        call.vertices.assign(vb->bytes.begin() + begin, vb->bytes.begin() + end);
    }
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex,
                                              UINT numVertices, UINT startIndex,
                                              UINT primitiveCount) {
    DeviceCall& call = Record("DrawIndexedPrimitive");
    call.args = {type, minIndex, numVertices, startIndex, primitiveCount};
    call.object = indices;
    call.stride = streamStride;
    call.fvf = vertexShader;
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                         const void* vertexData, UINT stride) {
    DeviceCall& call = Record("DrawPrimitiveUP");
    call.args = {type, primitiveCount, stride};
    call.stride = stride;
    call.fvf = vertexShader;
    if (vertexData == nullptr) return D3DERR_INVALIDCALL;
    const auto* bytes = static_cast<const uint8_t*>(vertexData);
    call.vertices.assign(bytes, bytes + size_t(VertexCountOf(type, primitiveCount)) * stride);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                                UINT numVertices, UINT primitiveCount,
                                                const void* indexData, D3DFORMAT indexFormat,
                                                const void* vertexData, UINT stride) {
    DeviceCall& call = Record("DrawIndexedPrimitiveUP");
    call.args = {type, minVertexIndex, numVertices, primitiveCount, indexFormat, stride};
    call.stride = stride;
    call.fvf = vertexShader;
    if (indexData == nullptr || vertexData == nullptr) return D3DERR_INVALIDCALL;
    const auto* bytes = static_cast<const uint8_t*>(vertexData);
    call.vertices.assign(bytes, bytes + size_t(minVertexIndex + numVertices) * stride);
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle) {
    Record("SetVertexShader").args = {handle};
    vertexShader = handle;
    return D3D_OK;
}

HRESULT RecordingDevice::GetVertexShader(DWORD* handle) {
    if (handle == nullptr) return D3DERR_INVALIDCALL;
    *handle = vertexShader;
    return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) {
    DeviceCall& call = Record("SetStreamSource");
    call.args = {stream, stride};
    call.object = data;
    if (stream == 0) {
        streamSource = data;
        streamStride = stride;
    }
    return D3D_OK;
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer8* data, UINT base) {
    DeviceCall& call = Record("SetIndices");
    call.args = {base};
    call.object = data;
    indices = data;
    baseVertexIndex = base;
    return D3D_OK;
}

// ---- Font ---------------------------------------------------------------------------------

ULONG RecordingFont::Release() {
    return CountDown(refCount);
}

HRESULT RecordingFont::GetDevice(IDirect3DDevice8** out) {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    device->AddRef();
    *out = device;
    return D3D_OK;
}

HRESULT RecordingFont::GetLogFont(LOGFONTA* out) {
    if (out == nullptr) return D3DERR_INVALIDCALL;
    *out = logFont;
    return D3D_OK;
}

HRESULT RecordingFont::Begin() {
    device->Record("Font::Begin");
    return D3D_OK;
}

INT RecordingFont::DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format, D3DCOLOR color) {
    DeviceCall& call = device->Record("Font::DrawTextA");
    call.args = {count};
    if (rect != nullptr) {
        call.args.insert(call.args.end(), {rect->left, rect->top, rect->right, rect->bottom});
    } else {
        call.args.insert(call.args.end(), {0, 0, 0, 0});
    }
    call.args.insert(call.args.end(), {format, color});
    if (text != nullptr) call.text = count < 0 ? std::string(text) : std::string(text, count);
    return lineHeight;
}

HRESULT RecordingFont::End() {
    device->Record("Font::End");
    return D3D_OK;
}

} // namespace testsupport
