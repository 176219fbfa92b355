// Textures of the Direct3D 8 stand-in.
// Implements: IDirect3DTexture8 for the formats below, with a mip chain of the requested
// length; LockRect hands out a system-memory copy of the level, UnlockRect uploads it.
// Formats: A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, A8, L8, A8L8.
// Limits: whole levels are uploaded on unlock; mip levels are only what the caller writes.
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/resources.h>

#include <algorithm>

namespace platform::d3d8 {

bool TextureFormatToGl(D3DFORMAT format, GlTextureFormat& out) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
        out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4};
        return true;
    case D3DFMT_X8R8G8B8:
        out = {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, 4};
        return true;
    case D3DFMT_R5G6B5:
        out = {GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
        return true;
    case D3DFMT_X1R5G5B5:
        out = {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2};
        return true;
    case D3DFMT_A1R5G5B5:
        out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2};
        return true;
    case D3DFMT_A4R4G4B4:
        out = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2};
        return true;
    case D3DFMT_A8:
        out = {GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, 1};
        return true;
    case D3DFMT_L8:
        out = {GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1};
        return true;
    case D3DFMT_A8L8:
        out = {GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, 2};
        return true;
    default:
        return false;
    }
}

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage,
                 D3DFORMAT format, D3DPOOL pool, const GlTextureFormat& gl)
    : device_(device), usage_(usage), format_(format), pool_(pool), gl_(gl) {
    // The caller checked width and height against the GL maximum, so these sizes are bounded.
    for (UINT level = 0; level < levels; ++level) {
        Level entry{width, height, {}, false};
        entry.bits.assign(size_t(width) * height * gl.bytesPerPixel, 0);
        levels_.push_back(std::move(entry));
        width = std::max(width / 2, 1u);
        height = std::max(height / 2, 1u);
    }
    device_->AddRef();
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    for (UINT level = 0; level < levels; ++level)
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), gl_.internalFormat,
                     static_cast<GLsizei>(levels_[level].width),
                     static_cast<GLsizei>(levels_[level].height), 0, gl_.format, gl_.type,
                     levels_[level].bits.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

Texture::~Texture() {
    device_->MakeCurrent();
    glDeleteTextures(1, &name_);
    device_->Forget(this);
    device_->Release();
}

HRESULT Texture::GetDevice(IDirect3DDevice8** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = static_cast<UINT>(levels_[level].bits.size());
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = levels_[level].width;
    desc->Height = levels_[level].height;
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || level >= levels_.size()) return D3DERR_INVALIDCALL;
    Level& entry = levels_[level];
    if (entry.locked) return D3DERR_INVALIDCALL;
    LONG left = 0, top = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left ||
            rect->bottom <= rect->top || static_cast<UINT>(rect->right) > entry.width ||
            static_cast<UINT>(rect->bottom) > entry.height)
            return D3DERR_INVALIDCALL;
        left = rect->left;
        top = rect->top;
    }
    const size_t pitch = size_t(entry.width) * gl_.bytesPerPixel;
    locked->Pitch = static_cast<INT>(pitch);
    locked->pBits = entry.bits.data() + size_t(top) * pitch + size_t(left) * gl_.bytesPerPixel;
    entry.locked = true;
    readOnlyLock_ = (flags & D3DLOCK_READONLY) != 0;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& entry = levels_[level];
    entry.locked = false;
    if (readOnlyLock_) return D3D_OK;
    device_->MakeCurrent();
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0,
                    static_cast<GLsizei>(entry.width), static_cast<GLsizei>(entry.height),
                    gl_.format, gl_.type, entry.bits.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return D3D_OK;
}

void Texture::ApplySampling(GLint minFilter, GLint magFilter, GLint wrapS, GLint wrapT) {
    if (minFilter != minFilter_) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    if (magFilter != magFilter_) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    if (wrapS != wrapS_) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapS);
    if (wrapT != wrapT_) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapT);
    minFilter_ = minFilter;
    magFilter_ = magFilter;
    wrapS_ = wrapS;
    wrapT_ = wrapT;
}

} // namespace platform::d3d8
