// Private to the D3DX stand-in: the per-format decoders behind DecodeImageMemory and the size
// checks and reduction they share, which the image writer's size check uses as well.
#pragma once

#include <platform/d3dx8/image_decode.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dx {

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

} // namespace platform::d3dx
