// Decoding of the committed test images (made by tests/data/make_test_images.py) to known pixels,
// and refusal of truncated, corrupt and forged files.
#include <platform/d3dx8/image_decode.h>
#include <platform/d3dx8/image_write.h>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t kW = 7, kH = 5;

std::string ImagePath(const char* name) {
    return std::string(KOLTREP_SOURCE_DIR) + "/tests/data/images/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::array<int, 4> Pattern(uint32_t x, uint32_t y) {
    return {int((x * 40 + y) & 255), int((y * 50 + x * 3) & 255), int((x * y * 9) & 255),
            int((255 - x * 20 - y * 7) & 255)};
}
// The pattern as a format without alpha stores it.
std::array<int, 4> OpaquePattern(uint32_t x, uint32_t y) {
    auto p = Pattern(x, y);
    p[3] = 255;
    return p;
}
int Grey(uint32_t x, uint32_t y) {
    return int((x * 36 + y * 5) & 255);
}

std::array<int, 4> Pixel(const Image& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.rgba.data() + (size_t(y) * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

Image Decode(const char* name) {
    Image image;
    std::string error;
    EXPECT_TRUE(DecodeImageFile(ImagePath(name).c_str(), image, error)) << name << ": " << error;
    EXPECT_EQ(image.rgba.size(), size_t(image.width) * image.height * 4);
    return image;
}

// Checks every pixel against `expected`, allowing `tolerance` per channel.
template <typename Expected>
void ExpectPixels(const char* name, const Image& image, Expected expected, int tolerance = 0) {
    ASSERT_EQ(image.width, kW) << name;
    ASSERT_EQ(image.height, kH) << name;
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            const auto got = Pixel(image, x, y);
            const std::array<int, 4> want = expected(x, y);
            for (int c = 0; c < 4; ++c)
                ASSERT_LE(std::abs(got[c] - want[c]), tolerance)
                    << name << " pixel " << x << "," << y << " channel " << c;
        }
}

TEST(ImageDecode, PngColourTypesAndDepthsGiveTheStoredPixels) {
    ExpectPixels("rgb8", Decode("rgb8.png"), OpaquePattern);
    ExpectPixels("rgba8", Decode("rgba8.png"), Pattern);
    ExpectPixels("interlaced", Decode("interlaced.png"), Pattern);
    // 16-bit samples have different high and low bytes: scaling may round either way, but a
    // decoder that keeps the low byte is far off.
    ExpectPixels("rgb16", Decode("rgb16.png"), OpaquePattern, 1);
    ExpectPixels("rgba16", Decode("rgba16.png"), Pattern, 1);
}

TEST(ImageDecode, PngGreyAndPaletteAreWidenedToRgba) {
    ExpectPixels("grey8", Decode("grey8.png"), [](uint32_t x, uint32_t y) {
        const int g = Grey(x, y);
        return std::array<int, 4>{g, g, g, 255};
    });
    ExpectPixels(
        "grey16", Decode("grey16.png"),
        [](uint32_t x, uint32_t y) {
            const int g = Grey(x, y);
            return std::array<int, 4>{g, g, g, 255};
        },
        1);
    ExpectPixels("greyalpha8", Decode("greyalpha8.png"), [](uint32_t x, uint32_t y) {
        const int g = Grey(x, y);
        return std::array<int, 4>{g, g, g, Pattern(x, y)[3]};
    });
    // Sub-byte grey is scaled to the full range, not left as 0/1.
    ExpectPixels("grey1", Decode("grey1.png"), [](uint32_t x, uint32_t y) {
        const int g = ((x + y) & 1) ? 255 : 0;
        return std::array<int, 4>{g, g, g, 255};
    });
    ExpectPixels("interlaced_grey2", Decode("interlaced_grey2.png"), [](uint32_t x, uint32_t y) {
        const int g = int((x * 3 + y) % 4) * 85;
        return std::array<int, 4>{g, g, g, 255};
    });
    // tRNS gives alpha to the first three entries; the fourth stays opaque.
    ExpectPixels("palette2", Decode("palette2.png"), [](uint32_t x, uint32_t y) {
        static const std::array<int, 4> entries[4] = {
            {255, 0, 0, 0}, {0, 255, 0, 128}, {0, 0, 255, 255}, {10, 20, 30, 255}};
        return entries[(x + 2 * y) % 4];
    });
}

TEST(ImageDecode, BmpRowsComeOutTopFirstInBothOrders) {
    ExpectPixels("rgb24", Decode("rgb24.bmp"), OpaquePattern);
    ExpectPixels("rgb32_topdown", Decode("rgb32_topdown.bmp"), OpaquePattern);
    // Bit fields name the channels' bytes, alpha included.
    ExpectPixels("rgba32_bitfields", Decode("rgba32_bitfields.bmp"), Pattern);
}

TEST(ImageDecode, JpegQuadrantsDecodeWithinTolerance) {
    const std::array<int, 4> colours[4] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    const int levels[4] = {0, 85, 170, 255};
    // cmyk.jpg is Adobe's inverted CMYK, which must come back as the same colours.
    for (const char* name : {"baseline.jpg", "progressive.jpg", "grey.jpg", "cmyk.jpg"}) {
        const bool grey = std::string(name) == "grey.jpg";
        const Image image = Decode(name);
        ASSERT_EQ(image.width, 16u) << name;
        ASSERT_EQ(image.height, 16u) << name;
        // Sample away from the quadrant borders, where ringing is largest.
        for (uint32_t y : {2u, 5u, 10u, 13u})
            for (uint32_t x : {2u, 5u, 10u, 13u}) {
                const int q = (x >= 8 ? 1 : 0) + (y >= 8 ? 2 : 0);
                const std::array<int, 4> want =
                    grey ? std::array<int, 4>{levels[q], levels[q], levels[q], 255} : colours[q];
                const auto got = Pixel(image, x, y);
                for (int c = 0; c < 4; ++c)
                    EXPECT_LE(std::abs(got[c] - want[c]), 12)
                        << name << " " << x << "," << y << " channel " << c;
            }
    }
}

// Every prefix of every test file is refused with a reason; none decodes as a success.
TEST(ImageDecode, EveryTruncationIsRefused) {
    for (const char* name :
         {"rgb8.png", "rgba16.png", "palette2.png", "interlaced.png", "rgb24.bmp",
          "rgb32_topdown.bmp", "baseline.jpg", "progressive.jpg", "grey.jpg"}) {
        const std::vector<uint8_t> bytes = ReadBytes(ImagePath(name));
        ASSERT_GT(bytes.size(), 50u) << name;
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            Image image;
            std::string error;
            EXPECT_FALSE(DecodeImageMemory(bytes.data(), cut, image, error))
                << name << " cut at " << cut;
            EXPECT_FALSE(error.empty()) << name << " cut at " << cut;
            EXPECT_TRUE(image.rgba.empty());
        }
    }
}

void StoreU32BE(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// Rewrites the IHDR size of a PNG and fixes its CRC, so only the size check can refuse it.
std::vector<uint8_t> PngWithSize(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bytes = ReadBytes(ImagePath("rgb8.png"));
    StoreU32BE(&bytes[16], width);
    StoreU32BE(&bytes[20], height);
    StoreU32BE(&bytes[29], uint32_t(crc32(0, &bytes[12], 17)));
    return bytes;
}

bool Refused(const std::vector<uint8_t>& bytes, const char* reason) {
    Image image;
    std::string error;
    const bool ok = DecodeImageMemory(bytes.data(), bytes.size(), image, error);
    EXPECT_NE(error.find(reason), std::string::npos) << "error was: " << error;
    return !ok && image.rgba.empty();
}

TEST(ImageDecode, ForgedAndCorruptHeadersAreRefusedBeforeAllocation) {
    EXPECT_TRUE(Refused(PngWithSize(16385, 4), "")); // over the side limit
    EXPECT_TRUE(Refused(PngWithSize(0x7FFFFFFF, 0x7FFFFFFF), ""));
    // Within the limits, but 1 GiB of pixels cannot come out of a 178-byte file.
    EXPECT_TRUE(Refused(PngWithSize(16384, 16384), "truncated"));

    std::vector<uint8_t> badCrc = ReadBytes(ImagePath("rgb8.png"));
    badCrc[40] ^= 0x55; // inside IDAT
    EXPECT_TRUE(Refused(badCrc, "PNG"));

    // A JPEG claiming 16384 x 16384 in its frame header.
    std::vector<uint8_t> jpeg = ReadBytes(ImagePath("baseline.jpg"));
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        ++sof;
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = 0x40, jpeg[sof + 6] = 0x00, jpeg[sof + 7] = 0x40, jpeg[sof + 8] = 0x00;
    EXPECT_TRUE(Refused(jpeg, "truncated"));
    std::vector<uint8_t> noFrame = ReadBytes(ImagePath("baseline.jpg"));
    noFrame[sof + 1] = 0xCF; // an arithmetic-coded lossless frame type
    EXPECT_TRUE(Refused(noFrame, "JPEG"));

    std::vector<uint8_t> bmp = ReadBytes(ImagePath("rgb24.bmp"));
    auto storeLE = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = uint8_t(v >> (8 * i));
    };
    const std::vector<uint8_t> goodBmp = bmp;
    storeLE(22, 0x80000000u); // height INT32_MIN
    EXPECT_TRUE(Refused(bmp, "invalid size"));
    bmp = goodBmp;
    storeLE(18, 16384);
    storeLE(22, 16384);
    EXPECT_TRUE(Refused(bmp, "truncated"));
    bmp = goodBmp;
    storeLE(10, 0xFFFFFFF0u); // pixel offset far past the end
    EXPECT_TRUE(Refused(bmp, "truncated"));
    bmp = goodBmp;
    bmp[28] = 8; // palette images are not read
    EXPECT_TRUE(Refused(bmp, "bit depth"));
}

void StoreChunk(std::vector<uint8_t>& out, const char* name, uint32_t length,
                const std::vector<uint8_t>& data) {
    uint8_t head[8];
    StoreU32BE(head, length);
    std::memcpy(head + 4, name, 4);
    out.insert(out.end(), head, head + 8);
    out.insert(out.end(), data.begin(), data.end());
    uint8_t crc[4];
    StoreU32BE(crc, uint32_t(crc32(crc32(0, head + 4, 4), data.data(), uInt(data.size()))));
    out.insert(out.end(), crc, crc + 4);
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A chunk the decoder does not use may declare up to 2^31 - 1 bytes in a file of a few dozen:
// the declaration is refused, not trusted for an allocation. Present but large, such a chunk is
// skipped unread.
TEST(ImageDecode, UnusedChunksCostNoMemoryBeyondTheirBytes) {
    const std::vector<uint8_t> png = ReadBytes(ImagePath("rgb8.png"));
    const std::vector<uint8_t> head(png.begin(), png.begin() + 33); // signature and IHDR
    for (const char* name : {"tEXt", "zTXt", "iTXt", "sPLT", "vpAg"}) {
        std::vector<uint8_t> forged = head;
        StoreChunk(forged, name, 0x7FFFFFFFu, {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'});
        forged.resize(forged.size() - 4); // no CRC: the file ends inside the chunk
        const long before = PeakResidentKb();
        EXPECT_TRUE(Refused(forged, "more than the file holds")) << name;
        EXPECT_LT(PeakResidentKb() - before, 32 * 1024) << name;
    }
    std::vector<uint8_t> large = head;
    StoreChunk(large, "zTXt", 9u << 20, std::vector<uint8_t>(9u << 20, 'z'));
    large.insert(large.end(), png.begin() + 33, png.end());
    Image image;
    std::string error;
    ASSERT_TRUE(DecodeImageMemory(large.data(), large.size(), image, error)) << error;
    EXPECT_EQ(image.width, kW);
}

TEST(ImageDecode, UnknownEmptyAndMissingInputsAreRefused) {
    const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0};
    Image image;
    std::string error;
    EXPECT_FALSE(DecodeImageMemory(gif, sizeof gif, image, error));
    EXPECT_NE(error.find("unknown image format"), std::string::npos);
    EXPECT_FALSE(DecodeImageMemory(nullptr, 10, image, error));
    EXPECT_FALSE(DecodeImageMemory(gif, 0, image, error));
    const uint8_t justB[] = {'B'};
    EXPECT_FALSE(DecodeImageMemory(justB, 1, image, error));

    EXPECT_FALSE(DecodeImageFile("no-such-image.png", image, error));
    EXPECT_NE(error.find("no-such-image.png"), std::string::npos);
    EXPECT_FALSE(DecodeImageFile(nullptr, image, error));
    // A directory opens but cannot be read as a file.
    EXPECT_FALSE(DecodeImageFile(KOLTREP_SOURCE_DIR, image, error));
}

TEST(ImageWrite, WrittenPngDecodesToTheSamePixels) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("koltrep-image-write-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> rgba(kW * kH * 4);
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            const auto p = Pattern(x, y);
            for (int c = 0; c < 4; ++c)
                rgba[(y * kW + x) * 4 + c] = uint8_t(p[c]);
        }
    const std::string path = (dir / "frame.png").string();
    ASSERT_TRUE(WritePngRgba(path.c_str(), kW, kH, rgba.data()));
    Image image;
    std::string error;
    ASSERT_TRUE(DecodeImageFile(path.c_str(), image, error)) << error;
    EXPECT_EQ(image.rgba, rgba);

    // Failures say so and leave no file behind.
    const std::string missingDir = (dir / "missing" / "frame.png").string();
    EXPECT_FALSE(WritePngRgba(missingDir.c_str(), kW, kH, rgba.data()));
    const std::string empty = (dir / "empty.png").string();
    EXPECT_FALSE(WritePngRgba(empty.c_str(), 0, kH, rgba.data()));
    EXPECT_FALSE(WritePngRgba(empty.c_str(), kW, kH, nullptr));
    EXPECT_FALSE(std::filesystem::exists(empty));
    EXPECT_FALSE(std::filesystem::exists(empty + ".partial"));
    std::filesystem::remove_all(dir);
}

} // namespace
