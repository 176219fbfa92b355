// Image decoding for the texture loader: PNG (libpng), JPEG (libjpeg) and uncompressed BMP,
// recognised by their signatures, decoded to 8-bit RGBA rows from the top. Every file is treated
// as hostile: sizes are checked before anything is allocated, and a corrupt or truncated file is
// refused with a reason in `error`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The decoders behind DecodeImageMemory, one per format; each assumes its signature matched.
bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string& error,
               uint32_t maxSide = kMaxImageDimension);
bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error,
                uint32_t maxSide = kMaxImageDimension);
bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error);

// The smallest whole factor that brings width x height within `maxSide` per side and
// kMaxDecodedPixels in all (1 when it fits as it is).
uint32_t ReductionFactor(uint64_t width, uint64_t height, uint32_t maxSide);

// Box-filters RGBA rows, given from the top one at a time, into an image `factor` times smaller
// each way (sides rounded up; the blocks at the right and bottom edges average what they hold).
class RowReducer {
  public:
    // Sizes `out` for the reduced picture.
    void Start(uint32_t width, uint32_t height, uint32_t factor, Image& out);
    void AddRow(const uint8_t* rgba); // width * 4 bytes

  private:
    void Emit();
    uint32_t width_ = 0, height_ = 0, factor_ = 1, rows_ = 0;
    Image* out_ = nullptr;
    std::vector<uint64_t> sums_;
};

// Checks a width and height against kMaxImageDimension and the RGBA byte count against size_t;
// on success `bytes` is width * height * 4.
bool CheckImageSize(uint64_t width, uint64_t height, size_t& bytes, std::string& error);
