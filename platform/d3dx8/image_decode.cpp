// Image decoding front end: recognises PNG, JPEG and BMP by their leading bytes and hands the
// bytes to the matching decoder. Files are read whole (with a size limit) so every decoder works
// on memory with a known length.
// Platform calls: open (regular files only, never blocking), read. Limits: files above 256 MiB
// are refused, by their size when it is known before reading.
#include <platform/d3dx8/image_decode.h>

#include <platform/win32/regular_file.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace {

constexpr uint64_t kMaxImageFileBytes = 256ull << 20;

struct ScopedFd {
    int fd;
    ~ScopedFd() { close(fd); }
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
    uint64_t declared = 0;
    std::string why;
    const int fd = platform::OpenRegularFile(path, O_RDONLY, why, &declared);
    if (fd < 0) {
        error = std::string("cannot open ") + path + ": " + why;
        return false;
    }
    const ScopedFd closer{fd};
    if (declared > kMaxImageFileBytes) {
        error = std::string(path) + ": file too large for an image";
        return false;
    }
    // The size is a hint, not a promise (files of /proc say 0, a file may grow): the reading is
    // bounded on its own.
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(declared));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::string("cannot read ") + path + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        if (bytes.size() + size_t(got) > kMaxImageFileBytes) {
            error = std::string(path) + ": file too large for an image";
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (!DecodeImageMemory(bytes.data(), bytes.size(), out, error)) {
        error = std::string(path) + ": " + error;
        return false;
    }
    return true;
}
