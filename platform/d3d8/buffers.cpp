// Vertex and index buffers of the Direct3D 8 stand-in.
// Implements: IDirect3DVertexBuffer8 and IDirect3DIndexBuffer8 (Lock, Unlock, GetDesc) as a
// system-memory copy mirrored into a GL buffer object; the locked range is uploaded when the
// last lock ends; an index buffer then finds its largest index once, for the draws' range check.
// A vertex buffer's last Release may hand it to its device as a spare instead of deleting it;
// the device gives it out again to a CreateVertexBuffer of a length it has room for, in the
// same pool, under the new description. Its zeros are uploaded with its first Unlock or draw.
// Limits: lock flags other than D3DLOCK_READONLY are accepted and make no difference.
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/resources.h>

#include <algorithm>
#include <cstring>

namespace platform::d3d8 {

BufferStore::BufferStore(Device* device, UINT length)
    : device_(device), bytes_(length, 0), capacity_(length) {
    glGenBuffers(1, &name_);
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(length), bytes_.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void BufferStore::Reset(UINT length) {
    bytes_.assign(std::min(length, capacity_), uint8_t(0)); // within the capacity: no allocation
    lockCount_ = 0;
    // One upload with the data the caller is about to lock in, instead of one for the zeros
    // and one for the data: each costs the GL driver an allocation.
    dirtyBegin_ = 0;
    dirtyEnd_ = static_cast<UINT>(bytes_.size());
}

BufferStore::~BufferStore() {
    device_->MakeCurrent();
    glDeleteBuffers(1, &name_);
}

HRESULT BufferStore::Lock(UINT offset, UINT size, BYTE** data, bool readOnly) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    const UINT length = static_cast<UINT>(bytes_.size());
    if (offset > length) return D3DERR_INVALIDCALL;
    if (size == 0) size = length - offset; // the rest of the buffer, as Direct3D reads 0
    if (size > length - offset) return D3DERR_INVALIDCALL;
    if (!readOnly) {
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = offset + size;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, offset + size);
        }
    }
    ++lockCount_;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT BufferStore::Unlock() {
    if (lockCount_ == 0) return D3DERR_INVALIDCALL;
    --lockCount_;
    Upload();
    return D3D_OK;
}

void BufferStore::Upload() {
    if (lockCount_ > 0 || dirtyBegin_ == dirtyEnd_) return;
    device_->MakeCurrent();
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    glBufferSubData(GL_ARRAY_BUFFER, dirtyBegin_, dirtyEnd_ - dirtyBegin_,
                    bytes_.data() + dirtyBegin_);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    dirtyBegin_ = dirtyEnd_ = 0;
}

// ---- Vertex buffer -------------------------------------------------------------------------

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device_(device), desc_{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf},
      store_(std::make_unique<BufferStore>(device, length)) {
    device_->AddRef();
}

VertexBuffer::~VertexBuffer() {
    store_.reset();
    if (spare_) return; // the device is going, and it holds no binding of a spare
    device_->Forget(this);
    device_->Release();
}

void VertexBuffer::Revive(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
    desc_ = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    spare_ = false;
    ResetReferences();
    store_->Reset(length);
    device_->AddRef();
}

void VertexBuffer::DestroySpare() {
    delete this;
}

bool VertexBuffer::KeepAfterLastRelease() {
    if (!device_->KeepSpare(this)) return false;
    spare_ = true;
    device_->Forget(this);
    device_->Release(); // the device still has another holder: KeepSpare checked
    return true;
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice8** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    return store_->Lock(offset, size, data, (flags & D3DLOCK_READONLY) != 0);
}

HRESULT VertexBuffer::Unlock() {
    return store_->Unlock();
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

// ---- Index buffer --------------------------------------------------------------------------

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), desc_{format, D3DRTYPE_INDEXBUFFER, usage, pool, length},
      store_(std::make_unique<BufferStore>(device, length)) {
    device_->AddRef();
}

IndexBuffer::~IndexBuffer() {
    store_.reset();
    device_->Forget(this);
    device_->Release();
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice8** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT IndexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    return store_->Lock(offset, size, data, (flags & D3DLOCK_READONLY) != 0);
}

HRESULT IndexBuffer::Unlock() {
    const HRESULT result = store_->Unlock();
    if (FAILED(result) || store_->locked()) return result;
    const std::vector<uint8_t>& bytes = store_->bytes();
    largestIndex_ = 0;
    if (desc_.Format == D3DFMT_INDEX16) {
        for (size_t i = 0; i + 2 <= bytes.size(); i += 2) {
            uint16_t index;
            std::memcpy(&index, &bytes[i], 2);
            largestIndex_ = std::max<uint32_t>(largestIndex_, index);
        }
    } else {
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            uint32_t index;
            std::memcpy(&index, &bytes[i], 4);
            largestIndex_ = std::max(largestIndex_, index);
        }
    }
    return result;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

} // namespace platform::d3d8
