// PNG decoding through libpng's sequential reader, from memory. Every colour type and bit depth
// comes out as 8-bit RGBA: palettes expanded (tRNS becomes alpha), grey widened to RGB, 16-bit
// samples scaled to 8, missing alpha filled with 0xFF, Adam7 interlacing undone. Gamma and colour
// profiles are ignored: texels keep the stored values.
// Platform calls: png_create_read_struct, png_set_read_fn, png_read_info, png_read_image,
// png_read_end, png_set_keep_unknown_chunks and the expansion transforms. Limits: at most
// kMaxImageDimension per side; the compressed size must be able to hold the image; every chunk
// must lie within the file, and the ancillary chunks we do not use are skipped unread. A picture
// above the decoding budget is read row by row into a box filter (never whole); an interlaced
// one that large is refused, since its passes can only be put together in a whole picture.
#include <platform/d3dx8/image_decoders.h>

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace platform::d3dx {

namespace {

// Reached from libpng's callbacks through png_get_io_ptr / png_get_error_ptr. Plain data only:
// libpng leaves these frames with longjmp.
struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t position;
    char message[256];
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) png_error(png, "file is truncated");
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

[[noreturn]] void RaiseError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Deflate cannot shrink data by more than about 1032:1, so a file too small for the filtered
// rows it claims is truncated. Checking this first keeps a forged header from making us allocate
// the whole image.
bool CompressedSizeCanHold(uint64_t width, uint64_t height, int bitDepth, int channels,
                           size_t fileSize) {
    const uint64_t rowBytes = (width * static_cast<uint64_t>(bitDepth) * channels + 7) / 8 + 1;
    return rowBytes * height / 1032 <= fileSize;
}

uint32_t LoadU32BE(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Walks the chunk layout before libpng sees it: a chunk whose declared length runs past the
// bytes present is refused here, so no length is ever trusted for an allocation.
bool ChunksLieWithinFile(const uint8_t* data, size_t size, std::string& error) {
    size_t at = 8;
    while (size - at >= 12) {
        const uint32_t length = LoadU32BE(data + at);
        char name[5] = {};
        for (int i = 0; i < 4; ++i) {
            const uint8_t c = data[at + 4 + i];
            name[i] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? char(c) : '?';
        }
        if (length > 0x7FFFFFFFu || length > size - at - 12) {
            error = std::string("chunk ") + name + " declares " + std::to_string(length) +
                    " bytes, more than the file holds";
            return false;
        }
        at += 12 + size_t(length);
        if (std::memcmp(name, "IEND", 4) == 0) return true;
    }
    error = "file is truncated (no IEND chunk)";
    return false;
}

// Ancillary chunks that change nothing in our RGBA output; libpng skips them without reading
// them into memory. Unknown chunks are skipped as well.
const png_byte kUnusedChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0"
                                 "pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

// All objects that must outlive a longjmp live here, created before setjmp.
struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> row;
    RowReducer reducer;
    ~PngReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

} // namespace

bool DecodePng(const uint8_t* data, size_t size, Image& out, std::string& error, uint32_t maxSide) {
    PngSource source{data, size, 0, {}};
    PngReadState state;
    size_t bytes = 0;
    std::string sizeError;
    if (!ChunksLieWithinFile(data, size, sizeError)) {
        error = "PNG: " + sizeError;
        return false;
    }

    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, RaiseError, IgnoreWarning);
    if (!state.png) {
        error = "PNG: out of memory";
        return false;
    }
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        error = "PNG: out of memory";
        return false;
    }
    // Everything below until the end of decoding may leave through this point; only plain data
    // and objects declared above are touched in between.
    if (setjmp(png_jmpbuf(state.png))) {
        error = std::string("PNG: ") + source.message;
        out = Image{};
        return false;
    }
    png_set_read_fn(state.png, &source, ReadFromMemory);
    png_set_user_limits(state.png, kMaxImageDimension, kMaxImageDimension);
    png_set_chunk_malloc_max(state.png, 8u << 20);
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks,
                                int(sizeof kUnusedChunks / 5));
    png_read_info(state.png, state.info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(state.png, state.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr,
                 nullptr);
    if (!CheckImageSize(width, height, bytes, sizeError)) {
        error = "PNG: " + sizeError;
        return false;
    }
    if (!CompressedSizeCanHold(width, height, bitDepth, png_get_channels(state.png, state.info),
                               size)) {
        error = "PNG: file is truncated (too small for " + std::to_string(width) + " x " +
                std::to_string(height) + ")";
        return false;
    }

    const uint32_t factor = ReductionFactor(width, height, maxSide);
    if (factor > 1 && interlace != PNG_INTERLACE_NONE) {
        error = "PNG: interlaced image too large to scale down (" + std::to_string(width) + " x " +
                std::to_string(height) + ")";
        return false;
    }

    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(state.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(state.png);
    if (png_get_valid(state.png, state.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(state.png);
    if (bitDepth == 16) png_set_scale_16(state.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(state.png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(state.png, state.info, PNG_INFO_tRNS))
        png_set_filler(state.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);

    if (png_get_rowbytes(state.png, state.info) != static_cast<size_t>(width) * 4) {
        error = "PNG: unsupported pixel layout";
        return false;
    }
    out.fileWidth = width;
    out.fileHeight = height;
    if (factor > 1) {
        state.row.resize(static_cast<size_t>(width) * 4);
        state.reducer.Start(width, height, factor, out);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(state.png, state.row.data(), nullptr);
            state.reducer.AddRow(state.row.data());
        }
        png_read_end(state.png, nullptr);
        return true;
    }
    out.width = width;
    out.height = height;
    out.rgba.assign(bytes, 0);
    state.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        state.rows[y] = out.rgba.data() + static_cast<size_t>(y) * width * 4;
    png_read_image(state.png, state.rows.data());
    png_read_end(state.png, nullptr);
    return true;
}

} // namespace platform::d3dx
