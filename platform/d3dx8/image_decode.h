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
};

enum class ImageFormat { Unknown, Png, Jpeg, Bmp };

// Largest width or height accepted; anything above is refused before any allocation.
constexpr uint32_t kMaxImageDimension = 16384;

ImageFormat SniffImageFormat(const uint8_t* data, size_t size);

bool DecodeImageFile(const char* path, Image& out, std::string& error);
bool DecodeImageMemory(const uint8_t* data, size_t size, Image& out, std::string& error);

// The decoders behind DecodeImageMemory, one per format; each assumes its signature matched.
bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error);

// Checks a width and height against kMaxImageDimension and the RGBA byte count against size_t;
// on success `bytes` is width * height * 4.
bool CheckImageSize(uint64_t width, uint64_t height, size_t& bytes, std::string& error);
