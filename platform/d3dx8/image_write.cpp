// PNG writing through libpng: 8-bit RGBA, no interlacing, default compression. The file is
// written beside its final name and renamed into place, so a failed write leaves nothing behind.
// Platform calls: png_create_write_struct, png_init_io, png_write_info, png_write_image,
// png_write_end, fopen/fclose, rename/remove.
#include <platform/d3dx8/image_write.h>

#include <platform/d3dx8/image_decode.h>

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

namespace {

[[noreturn]] void RaiseWriteError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWriteWarning(png_structp, png_const_charp) {}

struct PngWriteState {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    ~PngWriteState() {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

bool WriteRows(PngWriteState& state, uint32_t width, uint32_t height) {
    if (setjmp(png_jmpbuf(state.png))) return false;
    png_init_io(state.png, state.file);
    png_set_IHDR(state.png, state.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(state.png, state.info);
    png_write_image(state.png, state.rows.data());
    png_write_end(state.png, nullptr);
    return true;
}

} // namespace

bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba) {
    size_t bytes = 0;
    std::string error;
    if (!path || !*path || !rgba || !CheckImageSize(width, height, bytes, error)) return false;
    const std::string temporary = std::string(path) + ".partial";
    {
        PngWriteState state;
        state.file = std::fopen(temporary.c_str(), "wb");
        if (!state.file) return false;
        state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, RaiseWriteError,
                                            IgnoreWriteWarning);
        if (state.png) state.info = png_create_info_struct(state.png);
        bool ok = state.info != nullptr;
        if (ok) {
            state.rows.resize(height);
            for (uint32_t y = 0; y < height; ++y)
                state.rows[y] = const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4);
            ok = WriteRows(state, width, height);
        }
        FILE* file = state.file;
        state.file = nullptr;
        if (std::fclose(file) != 0) ok = false;
        if (!ok) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
