// Image decoding for the texture loader: PNG (libpng), JPEG (libjpeg) and uncompressed BMP,
// recognised by their signatures, decoded to 8-bit RGBA rows from the top. Every file is treated
// as hostile: sizes are checked before anything is allocated, and a corrupt or truncated file is
// refused with a reason in `error`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dx {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba; // width * height * 4 bytes, R, G, B, A, rows from the top
    // The size the file declares; larger than width x height when the image was scaled down.
    uint32_t fileWidth = 0;
    uint32_t fileHeight = 0;
};

enum class ImageFormat { Unknown, Png, Jpeg, Bmp };

// Largest width or height accepted; anything above is refused before any allocation.
constexpr uint32_t kMaxImageDimension = 16384;

// The memory budget of one image. A file is read whole, so it may be at most 16 MiB; its
// picture is decoded to at most 2048 x 2048 pixels' worth (16 MiB as RGBA) and to no side longer
// than the caller's `maxSide` (the device's largest texture): a larger picture is decoded
// straight into a size that fits, reduced by a whole factor (libjpeg's DCT scaling, then a box
// filter over the rows as they come). libjpeg may use 24 MiB besides for a progressive image's
// coefficients; one that needs more is refused.
constexpr uint64_t kMaxImageFileBytes = 16ull << 20;
constexpr uint64_t kMaxDecodedPixels = 2048ull * 2048ull;

ImageFormat SniffImageFormat(const uint8_t* data, size_t size);

bool DecodeImageFile(const char* path, Image& out, std::string& error,
                     uint32_t maxSide = kMaxImageDimension);
bool DecodeImageMemory(const uint8_t* data, size_t size, Image& out, std::string& error,
                       uint32_t maxSide = kMaxImageDimension);

} // namespace platform::d3dx
