// Uncompressed BMP decoding: 24-bit and 32-bit pixels, bottom-up or top-down rows, with the
// BITMAPINFOHEADER family of headers (40 bytes and the later 52/56/108/124-byte ones). 32-bit
// pixels are B,G,R,X unless bit fields give byte-aligned masks, which may include alpha.
// Limits: no palettes, 16-bit pixels or RLE compression; at most kMaxImageDimension per side.
#include <platform/d3dx8/image_decoders.h>

#include <cstdlib>

namespace platform::d3dx {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;

// A mask must cover one whole byte of the 32-bit pixel; returns that byte's index, or -1.
int MaskByte(uint32_t mask) {
    for (int i = 0; i < 4; ++i)
        if (mask == 0xFFu << (8 * i)) return i;
    return -1;
}

} // namespace

bool DecodeBmp(const uint8_t* data, size_t size, Image& out, std::string& error) {
    if (size < kFileHeaderBytes + 4) {
        error = "BMP: file is truncated";
        return false;
    }
    const uint32_t pixelOffset = ReadU32(data + 10);
    const uint32_t infoSize = ReadU32(data + 14);
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
        error = "BMP: unsupported header size " + std::to_string(infoSize);
        return false;
    }
    if (size < kFileHeaderBytes + infoSize) {
        error = "BMP: file is truncated";
        return false;
    }
    const uint8_t* info = data + kFileHeaderBytes;
    const int32_t width = static_cast<int32_t>(ReadU32(info + 4));
    const int32_t signedHeight = static_cast<int32_t>(ReadU32(info + 8));
    const uint16_t bitsPerPixel = ReadU16(info + 14);
    const uint32_t compression = ReadU32(info + 16);
    if (width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN) {
        error = "BMP: invalid size " + std::to_string(width) + " x " + std::to_string(signedHeight);
        return false;
    }
    const bool topDown = signedHeight < 0;
    const uint32_t height = static_cast<uint32_t>(std::abs(signedHeight));
    size_t bytes = 0;
    std::string sizeError;
    if (!CheckImageSize(static_cast<uint32_t>(width), height, bytes, sizeError)) {
        error = "BMP: " + sizeError;
        return false;
    }
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        error = "BMP: unsupported bit depth " + std::to_string(bitsPerPixel);
        return false;
    }
    // Byte positions of R, G, B and A inside a pixel; -1 means absent (alpha 0xFF).
    int channel[4] = {2, 1, 0, -1};
    if (compression == kCompressionBitFields && bitsPerPixel == 32) {
        // The masks follow a 40-byte header and are part of the larger ones.
        if (size < kFileHeaderBytes + 40 + 12) {
            error = "BMP: file is truncated";
            return false;
        }
        const uint8_t* masks = info + 40;
        for (int i = 0; i < 3; ++i)
            channel[i] = MaskByte(ReadU32(masks + 4 * i));
        if (infoSize >= 56) {
            const uint32_t alphaMask = ReadU32(masks + 12);
            channel[3] = alphaMask ? MaskByte(alphaMask) : -1;
            if (alphaMask && channel[3] < 0) channel[0] = -1; // refused below
        }
        if (channel[0] < 0 || channel[1] < 0 || channel[2] < 0) {
            error = "BMP: unsupported bit field masks";
            return false;
        }
    } else if (compression != kCompressionNone) {
        error = "BMP: unsupported compression " + std::to_string(compression);
        return false;
    }

    const uint64_t stride = ((static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32) * 4;
    if (pixelOffset < kFileHeaderBytes + infoSize ||
        static_cast<uint64_t>(pixelOffset) + stride * height > size) {
        error = "BMP: file is truncated (pixel data missing)";
        return false;
    }
    const unsigned pixelBytes = bitsPerPixel / 8;
    out.width = static_cast<uint32_t>(width);
    out.height = height;
    out.rgba.resize(bytes);
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = topDown ? row : height - 1 - row;
        const uint8_t* source = data + pixelOffset + stride * row;
        uint8_t* target = out.rgba.data() + static_cast<size_t>(y) * out.width * 4;
        for (uint32_t x = 0; x < out.width; ++x, source += pixelBytes, target += 4) {
            for (int c = 0; c < 3; ++c)
                target[c] = source[channel[c]];
            target[3] = channel[3] >= 0 ? source[channel[3]] : 0xFF;
        }
    }
    return true;
}

} // namespace platform::d3dx
