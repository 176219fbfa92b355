// ID3DXBuffer: a reference-counted block of zeroed bytes in system memory.
// Implements D3DXCreateBuffer and the buffer's IUnknown, GetBufferPointer, GetBufferSize.
// Limits: no interface identifiers, so QueryInterface answers E_NOINTERFACE.
#include <platform/d3dx8/d3dx8_mesh_impl.h>

#include <platform/win32/com_object.h>

#include <new>

namespace {

class MemoryBuffer final : public platform::ComObject<ID3DXBuffer> {
  public:
    MemoryBuffer(BYTE* bytes, DWORD size) : bytes_(bytes), size_(size) {}
    LPVOID GetBufferPointer() override { return bytes_; }
    DWORD GetBufferSize() override { return size_; }

  private:
    ~MemoryBuffer() override { delete[] bytes_; }
    BYTE* bytes_;
    DWORD size_;
};

} // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    // One byte at least, so an empty buffer still has a distinct, valid pointer.
    BYTE* bytes = new (std::nothrow) BYTE[numBytes ? numBytes : 1]();
    if (!bytes) return E_OUTOFMEMORY;
    auto* created = new (std::nothrow) MemoryBuffer(bytes, numBytes);
    if (!created) {
        delete[] bytes;
        return E_OUTOFMEMORY;
    }
    *buffer = created;
    return D3D_OK;
}
