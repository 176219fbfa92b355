// D3DXCreateTextureFromFileExA: decodes PNG, JPEG or BMP (image_decode.h) and builds a 32-bit
// ARGB texture through the device interface alone (CreateTexture, then LockRect/UnlockRect per
// level), so it serves the GL device and test devices alike.
// Mip levels below the top are made with an area-weighted box filter (an exact 2 x 2 average for
// even sizes; odd sizes weigh the shared texel by its coverage). The colour key turns matching
// texels into transparent black before the chain is built.
// A picture larger than the device's largest texture (or the decoding budget of image_decode.h)
// comes from the decoder already reduced, so the texture is made at that size.
// Limits: the filter arguments are not looked at; a requested size other than the image's is
// reached by point sampling; formats other than A8R8G8B8 / X8R8G8B8 are not offered; the palette
// argument is ignored.
#include <d3dx8.h>

#include <platform/d3dx8/image_decode.h>
#include <platform/win32/install_folders.h>
#include <platform/win32/regular_file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <platform/i18n/i18n.h>

namespace {

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;
using platform::d3dx::ImageFormat;
using platform::d3dx::kMaxImageDimension;
using platform::d3dx::SniffImageFormat;

// The extension library's "invalid data" result, returned for files that cannot be decoded.
constexpr HRESULT kInvalidData = MAKE_HRESULT(1, _FACD3D, 2905);

// Texels as D3DCOLOR values (0xAARRGGBB), rows from the top.
struct ArgbLevel {
    UINT width = 0, height = 0;
    std::vector<D3DCOLOR> texels;
};

ArgbLevel ToArgb(const Image& image) {
    ArgbLevel level{image.width, image.height, {}};
    level.texels.resize(size_t(image.width) * image.height);
    const uint8_t* p = image.rgba.data();
    for (D3DCOLOR& texel : level.texels) {
        texel = D3DCOLOR_ARGB(p[3], p[0], p[1], p[2]);
        p += 4;
    }
    return level;
}

ArgbLevel PointResize(const ArgbLevel& source, UINT width, UINT height) {
    ArgbLevel level{width, height, std::vector<D3DCOLOR>(size_t(width) * height)};
    for (UINT y = 0; y < height; ++y) {
        const UINT sy = UINT(uint64_t(y) * source.height / height);
        for (UINT x = 0; x < width; ++x) {
            const UINT sx = UINT(uint64_t(x) * source.width / width);
            level.texels[size_t(y) * width + x] = source.texels[size_t(sy) * source.width + sx];
        }
    }
    return level;
}

// Which source texels a target texel covers along one axis, with integer weights: in units
// where a source texel is `target` long and a target texel `source` long, so the weights of one
// target texel sum to `source`.
struct Tap {
    UINT index;
    UINT weight;
};
std::vector<std::vector<Tap>> AxisTaps(UINT source, UINT target) {
    std::vector<std::vector<Tap>> taps(target);
    for (UINT t = 0; t < target; ++t) {
        const uint64_t begin = uint64_t(t) * source, end = begin + source;
        for (UINT s = UINT(begin / target); s < source && uint64_t(s) * target < end; ++s) {
            const uint64_t lo = std::max<uint64_t>(begin, uint64_t(s) * target);
            const uint64_t hi = std::min<uint64_t>(end, uint64_t(s + 1) * target);
            if (hi > lo) taps[t].push_back({s, UINT(hi - lo)});
        }
    }
    return taps;
}

ArgbLevel BoxDownsample(const ArgbLevel& source) {
    ArgbLevel level;
    level.width = std::max(1u, source.width / 2);
    level.height = std::max(1u, source.height / 2);
    level.texels.resize(size_t(level.width) * level.height);
    const auto columns = AxisTaps(source.width, level.width);
    const auto rows = AxisTaps(source.height, level.height);
    const uint64_t total = uint64_t(source.width) * source.height;
    for (UINT y = 0; y < level.height; ++y)
        for (UINT x = 0; x < level.width; ++x) {
            uint64_t sum[4] = {0, 0, 0, 0};
            for (const Tap& row : rows[y])
                for (const Tap& column : columns[x]) {
                    const D3DCOLOR c =
                        source.texels[size_t(row.index) * source.width + column.index];
                    const uint64_t w = uint64_t(row.weight) * column.weight;
                    for (int shift = 0; shift < 4; ++shift)
                        sum[shift] += ((c >> (8 * shift)) & 0xFF) * w;
                }
            D3DCOLOR out = 0;
            for (int shift = 0; shift < 4; ++shift)
                out |= D3DCOLOR((sum[shift] + total / 2) / total) << (8 * shift);
            level.texels[size_t(y) * level.width + x] = out;
        }
    return level;
}

UINT FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

// D3DCOLOR A8R8G8B8 in memory is little-endian: B, G, R, A.
HRESULT FillLevel(IDirect3DTexture8* texture, UINT index, const ArgbLevel& level) {
    D3DLOCKED_RECT locked{};
    HRESULT hr = texture->LockRect(index, &locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (!locked.pBits || locked.Pitch < 0 || UINT(locked.Pitch) < level.width * 4) {
        texture->UnlockRect(index);
        return D3DERR_INVALIDCALL;
    }
    for (UINT y = 0; y < level.height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(locked.pBits) + size_t(y) * UINT(locked.Pitch);
        const D3DCOLOR* source = level.texels.data() + size_t(y) * level.width;
        for (UINT x = 0; x < level.width; ++x) {
            const D3DCOLOR c = source[x];
            row[4 * x + 0] = uint8_t(c);
            row[4 * x + 1] = uint8_t(c >> 8);
            row[4 * x + 2] = uint8_t(c >> 16);
            row[4 * x + 3] = uint8_t(c >> 24);
        }
    }
    return texture->UnlockRect(index);
}

D3DXIMAGE_FILEFORMAT FileFormatOf(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpeg:
        return D3DXIFF_JPG;
    case ImageFormat::Bmp:
        return D3DXIFF_BMP;
    default:
        return D3DXIFF_PNG;
    }
}

ImageFormat SniffFile(const char* path) {
    uint8_t head[8] = {};
    size_t got = 0;
    std::string why;
    const int fd = platform::OpenRegularFile(path, O_RDONLY, why);
    if (fd >= 0) {
        const ssize_t n = read(fd, head, sizeof head);
        got = n > 0 ? size_t(n) : 0;
        close(fd);
    }
    return SniffImageFormat(head, got);
}

} // namespace

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice8* device, LPCSTR srcFile, UINT width,
                                     UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                     IDirect3DTexture8** texture) {
    (void)usage, (void)filter, (void)mipFilter, (void)palette;
    if (texture) *texture = nullptr;
    if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
    if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;

    // Named relative to the current folder; an installed program finds it in its data folder.
    const std::string path = platform::FindDataFile(srcFile);
    // A picture larger than the device's largest texture is decoded straight into one it takes,
    // never whole.
    D3DCAPS8 caps{};
    uint32_t maxSide = kMaxImageDimension;
    if (SUCCEEDED(device->GetDeviceCaps(&caps)) && caps.MaxTextureWidth > 0 &&
        caps.MaxTextureHeight > 0)
        maxSide = std::min<uint32_t>({maxSide, caps.MaxTextureWidth, caps.MaxTextureHeight});
    Image image;
    std::string error;
    if (!DecodeImageFile(path.c_str(), image, error, maxSide)) {
        std::fprintf(stderr, _("texture: %s\n"), error.c_str());
        return kInvalidData;
    }

    if (width == 0 || width == D3DX_DEFAULT) width = image.width;
    if (height == 0 || height == D3DX_DEFAULT) height = image.height;
    if (width > kMaxImageDimension || height > kMaxImageDimension) return D3DERR_INVALIDCALL;
    const UINT chain = FullChainLength(width, height);
    const UINT levels =
        (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? chain : std::min(mipLevels, chain);

    ArgbLevel level = ToArgb(image);
    bool anyAlpha = false;
    for (D3DCOLOR c : level.texels)
        anyAlpha |= (c >> 24) != 0xFF;
    if (srcInfo) {
        srcInfo->Width = image.fileWidth;
        srcInfo->Height = image.fileHeight;
        srcInfo->Depth = 1;
        srcInfo->MipLevels = 1;
        srcInfo->Format = anyAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        srcInfo->ResourceType = D3DRTYPE_TEXTURE;
        srcInfo->ImageFileFormat = FileFormatOf(SniffFile(path.c_str()));
    }
    image = Image{};
    if (level.width != width || level.height != height) level = PointResize(level, width, height);
    if (colorKey != 0) {
        // The key is matched as an opaque colour, so only fully opaque texels can match it.
        const D3DCOLOR key = colorKey | 0xFF000000u;
        for (D3DCOLOR& c : level.texels)
            if (c == key) c = 0;
    }

    IDirect3DTexture8* created = nullptr;
    HRESULT hr = device->CreateTexture(width, height, levels, 0, format, pool, &created);
    if (FAILED(hr) || !created) return FAILED(hr) ? hr : D3DERR_INVALIDCALL;
    for (UINT index = 0; index < levels; ++index) {
        if (index > 0) level = BoxDownsample(level);
        hr = FillLevel(created, index, level);
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
    }
    *texture = created;
    return D3D_OK;
}
