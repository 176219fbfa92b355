// Image decoding front end: recognises PNG, JPEG and BMP by their leading bytes and hands the
// bytes to the matching decoder. Files are read whole (with a size limit) so every decoder works
// on memory with a known length.
// Platform calls: fopen/fread (C stdio). Limits: files above 256 MiB are refused.
#include "platform/d3dx8/image_decode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr uint64_t kMaxImageFileBytes = 256ull << 20;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

} // namespace

ImageFormat SniffImageFormat(const uint8_t* data, size_t size) {
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data) return ImageFormat::Unknown;
    if (size >= 8 && std::memcmp(data, pngSignature, 8) == 0) return ImageFormat::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return ImageFormat::Jpeg;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFormat::Bmp;
    return ImageFormat::Unknown;
}

bool CheckImageSize(uint64_t width, uint64_t height, size_t& bytes, std::string& error) {
    if (width == 0 || height == 0) {
        error =
            "image has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return false;
    }
    if (width > kMaxImageDimension || height > kMaxImageDimension) {
        error = "image too large (" + std::to_string(width) + " x " + std::to_string(height) +
                ", limit " + std::to_string(kMaxImageDimension) + ")";
        return false;
    }
    // Both factors are at most 2^14, so the product fits 64 bits; size_t may be narrower.
    const uint64_t total = width * height * 4;
    if (total > std::numeric_limits<size_t>::max()) {
        error = "image byte count overflows";
        return false;
    }
    bytes = static_cast<size_t>(total);
    return true;
}

bool DecodeImageMemory(const uint8_t* data, size_t size, Image& out, std::string& error) {
    out = Image{};
    if (!data || size == 0) {
        error = "empty image data";
        return false;
    }
    bool ok = false;
    switch (SniffImageFormat(data, size)) {
    case ImageFormat::Png:
        ok = DecodePng(data, size, out, error);
        break;
    case ImageFormat::Jpeg:
        ok = DecodeJpeg(data, size, out, error);
        break;
    case ImageFormat::Bmp:
        ok = DecodeBmp(data, size, out, error);
        break;
    case ImageFormat::Unknown:
        error = "unknown image format (not PNG, JPEG or BMP)";
        return false;
    }
    if (!ok) {
        out = Image{};
        if (error.empty()) error = "image could not be decoded";
    }
    return ok;
}

bool DecodeImageFile(const char* path, Image& out, std::string& error) {
    out = Image{};
    if (!path || !*path) {
        error = "no file name";
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    // Read in chunks instead of trusting a size from fseek: pipes and special files report none.
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got == 0) break;
        if (bytes.size() + got > kMaxImageFileBytes) {
            error = std::string(path) + ": file too large for an image";
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) {
        error = std::string("cannot read ") + path;
        return false;
    }
    if (!DecodeImageMemory(bytes.data(), bytes.size(), out, error)) {
        error = std::string(path) + ": " + error;
        return false;
    }
    return true;
}
