// libFuzzer harness for the image decoders: any bytes must be decoded or refused with a reason,
// never crash, hang or leak, and a success must hold exactly width * height RGBA pixels, within
// the decoding budget.
#include <platform/d3dx8/image_decode.h>

#include <cstdlib>

using platform::d3dx::DecodeImageMemory;
using platform::d3dx::Image;
using platform::d3dx::kMaxDecodedPixels;
using platform::d3dx::kMaxImageDimension;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    std::string error;
    if (DecodeImageMemory(data, size, image, error)) {
        if (image.width == 0 || image.height == 0 || image.width > kMaxImageDimension ||
            image.height > kMaxImageDimension ||
            uint64_t(image.width) * image.height > kMaxDecodedPixels ||
            image.rgba.size() != size_t(image.width) * image.height * 4)
            std::abort();
    } else if (error.empty() || !image.rgba.empty()) {
        std::abort();
    }
    return 0;
}
