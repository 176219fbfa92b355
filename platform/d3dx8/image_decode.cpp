// Image decoding front end: recognises PNG, JPEG and BMP by their leading bytes and hands the
// bytes to the matching decoder. Files are read whole (with a size limit) so every decoder works
// on memory with a known length.
// Platform calls: open (regular files only, never blocking), read. Limits: files above
// kMaxImageFileBytes are refused, by their size when it is known before reading; a picture above
// the decoding budget that its decoder could not reduce on the way (BMP) is reduced afterwards.
#include <platform/d3dx8/image_decode.h>
#include <platform/d3dx8/image_decoders.h>

#include <platform/win32/regular_file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace platform::d3dx {

namespace {

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

uint32_t ReductionFactor(uint64_t width, uint64_t height, uint32_t maxSide) {
    if (maxSide == 0) maxSide = kMaxImageDimension;
    uint64_t factor = 1;
    for (;; ++factor) {
        const uint64_t w = (width + factor - 1) / factor, h = (height + factor - 1) / factor;
        if (w <= maxSide && h <= maxSide && w * h <= kMaxDecodedPixels) break;
    }
    return uint32_t(factor);
}

void RowReducer::Start(uint32_t width, uint32_t height, uint32_t factor, Image& out) {
    width_ = width;
    height_ = height;
    factor_ = factor == 0 ? 1 : factor;
    rows_ = 0;
    out_ = &out;
    out.width = (width + factor_ - 1) / factor_;
    out.height = (height + factor_ - 1) / factor_;
    out.rgba.assign(size_t(out.width) * out.height * 4, 0);
    sums_.assign(factor_ > 1 ? size_t(out.width) * 4 : 0, 0);
}

void RowReducer::AddRow(const uint8_t* rgba) {
    if (rows_ >= height_) return;
    if (factor_ == 1) {
        std::memcpy(out_->rgba.data() + size_t(rows_) * width_ * 4, rgba, size_t(width_) * 4);
        ++rows_;
        return;
    }
    // Block by block: each block's row sum fits 32 bits (at most 16384 * 255).
    const uint8_t* pixel = rgba;
    uint64_t* sum = sums_.data();
    for (uint32_t x = 0; x < width_; x += factor_, sum += 4) {
        const uint32_t end = std::min(width_, x + factor_);
        uint32_t r = 0, g = 0, b = 0, a = 0;
        for (uint32_t i = x; i < end; ++i, pixel += 4) {
            r += pixel[0];
            g += pixel[1];
            b += pixel[2];
            a += pixel[3];
        }
        sum[0] += r;
        sum[1] += g;
        sum[2] += b;
        sum[3] += a;
    }
    ++rows_;
    if (rows_ % factor_ == 0 || rows_ == height_) Emit();
}

void RowReducer::Emit() {
    const uint32_t y = (rows_ - 1) / factor_;
    const uint64_t rows = rows_ - uint64_t(y) * factor_;
    uint8_t* target = out_->rgba.data() + size_t(y) * out_->width * 4;
    for (uint32_t x = 0; x < out_->width; ++x) {
        const uint64_t columns = std::min<uint64_t>(factor_, width_ - uint64_t(x) * factor_);
        const uint64_t count = rows * columns;
        for (int c = 0; c < 4; ++c)
            target[size_t(x) * 4 + c] = uint8_t((sums_[size_t(x) * 4 + c] + count / 2) / count);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
}

bool DecodeImageMemory(const uint8_t* data, size_t size, Image& out, std::string& error,
                       uint32_t maxSide) {
    out = Image{};
    if (!data || size == 0) {
        error = "empty image data";
        return false;
    }
    bool ok = false;
    switch (SniffImageFormat(data, size)) {
    case ImageFormat::Png:
        ok = DecodePng(data, size, out, error, maxSide);
        break;
    case ImageFormat::Jpeg:
        ok = DecodeJpeg(data, size, out, error, maxSide);
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
        return false;
    }
    if (out.fileWidth == 0) {
        out.fileWidth = out.width;
        out.fileHeight = out.height;
    }
    const uint32_t factor = ReductionFactor(out.width, out.height, maxSide);
    if (factor > 1) {
        Image whole = std::move(out);
        RowReducer reducer;
        reducer.Start(whole.width, whole.height, factor, out);
        for (uint32_t y = 0; y < whole.height; ++y)
            reducer.AddRow(whole.rgba.data() + size_t(y) * whole.width * 4);
        out.fileWidth = whole.fileWidth;
        out.fileHeight = whole.fileHeight;
    }
    return true;
}

bool DecodeImageFile(const char* path, Image& out, std::string& error, uint32_t maxSide) {
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
    if (!DecodeImageMemory(bytes.data(), bytes.size(), out, error, maxSide)) {
        error = std::string(path) + ": " + error;
        return false;
    }
    return true;
}

} // namespace platform::d3dx
