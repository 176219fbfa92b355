// JPEG decoding through libjpeg, from memory: baseline and progressive, greyscale, YCbCr/RGB and
// Adobe CMYK/YCCK, all delivered as 8-bit RGBA with alpha 0xFF. Errors leave libjpeg through a
// longjmp from error_exit; a premature end of data or a corrupt entropy segment is an error here
// too, since libjpeg would otherwise pad the picture with grey and call it a success.
// Platform calls: jpeg_create_decompress, jpeg_mem_src, jpeg_read_header,
// jpeg_start_decompress, jpeg_read_scanlines, jpeg_finish_decompress, jpeg_destroy_decompress.
// Limits: at most kMaxImageDimension per side; the compressed scan data must be able to hold the
// image; a picture above the decoding budget is decoded at 1/8 to 7/8 of its size by libjpeg's DCT
// scaling and box-filtered further if need be; libjpeg's own working memory is capped.
#include <platform/d3dx8/image_decoders.h>

#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>

namespace platform::d3dx {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr base; // first, so the library's pointer converts back
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ExitWithError(j_common_ptr info) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    manager->base.format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

void EmitMessage(j_common_ptr info, int level) {
    if (level >= 0) return; // trace output
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC)
        ExitWithError(info);
    ++info->err->num_warnings;
}

// What libjpeg may allocate on its own (a progressive image keeps all its coefficients): a
// picture that needs more is refused ("backing store not supported").
constexpr long kJpegWorkingMemory = 24l << 20;

// The bytes of entropy-coded data in all scans: what follows each SOS header up to the next
// marker other than a restart marker. Comments, application blocks and tables do not count.
uint64_t ScanDataBytes(const uint8_t* data, size_t size) {
    uint64_t total = 0;
    size_t at = 2; // after SOI
    while (at + 1 < size) {
        if (data[at] != 0xFF) break; // not a marker where one belongs: nothing more to count
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        at += 2;
        if (marker == 0xD9) break;                                          // EOI
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length
        if (at + 2 > size) break;
        const size_t length = (size_t(data[at]) << 8) | data[at + 1];
        if (length < 2 || length > size - at) break;
        at += length;
        if (marker != 0xDA) continue;
        const size_t start = at;
        while (at + 1 < size && !(data[at] == 0xFF && data[at + 1] != 0 &&
                                  (data[at + 1] < 0xD0 || data[at + 1] > 0xD7)))
            ++at;
        if (at + 1 >= size) at = size;
        total += at - start;
    }
    return total;
}

// Every block of the most finely sampled component costs at least one bit in any scan order, so
// scan data shorter than that is truncated; refusing it before start_decompress keeps a forged
// header (padded out with comments, say) from making libjpeg and us allocate the whole image.
bool DataCanHold(uint64_t width, uint64_t height, uint64_t scanBytes) {
    const uint64_t blocks = ((width + 7) / 8) * ((height + 7) / 8);
    return blocks <= scanBytes * 8;
}

// Objects that must outlive a longjmp, created before setjmp.
struct JpegReadState {
    jpeg_decompress_struct info{};
    JpegErrorManager errors{};
    std::vector<uint8_t> row;
    std::vector<uint8_t> rgbaRow;
    RowReducer reducer;
    bool created = false;
    ~JpegReadState() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error,
                uint32_t maxSide) {
    JpegReadState state;
    size_t bytes = 0;
    std::string sizeError;

    state.info.err = jpeg_std_error(&state.errors.base);
    state.errors.base.error_exit = ExitWithError;
    state.errors.base.emit_message = EmitMessage;
    if (setjmp(state.errors.jump)) {
        error = std::string("JPEG: ") + state.errors.message;
        out = Image{};
        return false;
    }
    jpeg_create_decompress(&state.info);
    state.created = true;
    state.info.mem->max_memory_to_use = kJpegWorkingMemory;
    jpeg_mem_src(&state.info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&state.info, TRUE);

    if (!CheckImageSize(state.info.image_width, state.info.image_height, bytes, sizeError)) {
        error = "JPEG: " + sizeError;
        return false;
    }
    if (!DataCanHold(state.info.image_width, state.info.image_height, ScanDataBytes(data, size))) {
        error = "JPEG: file is truncated (too small for " + std::to_string(state.info.image_width) +
                " x " + std::to_string(state.info.image_height) + ")";
        return false;
    }
    int components = 0;
    switch (state.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        state.info.out_color_space = JCS_GRAYSCALE;
        components = 1;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        state.info.out_color_space = JCS_CMYK;
        components = 4;
        break;
    default:
        state.info.out_color_space = JCS_RGB;
        components = 3;
        break;
    }
    // The largest DCT scaling (in eighths) that fits the budget; the box filter does the rest.
    for (unsigned eighths = 8; eighths >= 1; --eighths) {
        state.info.scale_num = eighths;
        state.info.scale_denom = 8;
        jpeg_calc_output_dimensions(&state.info);
        if (ReductionFactor(state.info.output_width, state.info.output_height, maxSide) == 1) break;
    }
    const uint32_t scaledWidth = state.info.output_width;
    const uint32_t scaledHeight = state.info.output_height;
    jpeg_start_decompress(&state.info);
    if (state.info.output_width != scaledWidth || state.info.output_height != scaledHeight ||
        state.info.output_components != components) {
        error = "JPEG: unsupported component layout";
        return false;
    }
    const uint32_t width = state.info.output_width;
    const uint32_t height = state.info.output_height;
    state.row.resize(static_cast<size_t>(width) * components);
    state.rgbaRow.resize(static_cast<size_t>(width) * 4);
    state.reducer.Start(width, height, ReductionFactor(width, height, maxSide), out);
    out.fileWidth = state.info.image_width;
    out.fileHeight = state.info.image_height;

    // Adobe writes CMYK inverted, which is the only kind libjpeg hands back.
    const bool adobeInverted = state.info.saw_Adobe_marker;
    while (state.info.output_scanline < height) {
        JSAMPROW rowPointer = state.row.data();
        if (jpeg_read_scanlines(&state.info, &rowPointer, 1) != 1) {
            error = "JPEG: no scanline delivered";
            out = Image{};
            return false;
        }
        uint8_t* target = state.rgbaRow.data();
        const uint8_t* source = state.row.data();
        for (uint32_t x = 0; x < width; ++x, target += 4, source += components) {
            if (components == 1) {
                target[0] = target[1] = target[2] = source[0];
            } else if (components == 3) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
            } else {
                const unsigned c = adobeInverted ? source[0] : 255 - source[0];
                const unsigned m = adobeInverted ? source[1] : 255 - source[1];
                const unsigned yellow = adobeInverted ? source[2] : 255 - source[2];
                const unsigned k = adobeInverted ? source[3] : 255 - source[3];
                target[0] = static_cast<uint8_t>((c * k + 127) / 255);
                target[1] = static_cast<uint8_t>((m * k + 127) / 255);
                target[2] = static_cast<uint8_t>((yellow * k + 127) / 255);
            }
            target[3] = 0xFF;
        }
        state.reducer.AddRow(state.rgbaRow.data());
    }
    jpeg_finish_decompress(&state.info);
    return true;
}

} // namespace platform::d3dx
