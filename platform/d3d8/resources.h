// Private to the Direct3D 8 stand-in: vertex layouts, the formats it takes, and the textures
// and buffers a device hands out.
#pragma once

#include <d3d8.h>

#include <platform/win32/com_object.h>

#include <epoxy/gl.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::d3d8 {

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

} // namespace platform::d3d8
