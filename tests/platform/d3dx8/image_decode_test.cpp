// Decoding of the committed test images (made by tests/data/make_test_images.py) to known pixels,
// and refusal of truncated, corrupt and forged files.
#include <platform/d3dx8/image_decode.h>
#include <platform/d3dx8/image_write.h>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::DecodeImageMemory;
using platform::d3dx::Image;
using platform::d3dx::WritePngRgba;

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
    const uLong named = crc32(0, head + 4, 4); // zlib takes no data pointer as "start over"
    StoreU32BE(crc, uint32_t(data.empty() ? named : crc32(named, data.data(), uInt(data.size()))));
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
    std::filesystem::remove_all(dir);
}

// What is at the path decides: a pipe or a device is refused untouched (a pipe without a reader
// would block an open), a regular file is replaced whole with its permissions, and a write that
// fails half-way (here the file size limit, as a full disk would) leaves the old file and says
// why in the system's words.
TEST(ImageWrite, ReplacesRegularFilesWholeAndLeavesEverythingElseAlone) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("koltrep-image-replace-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> rgba(64 * 64 * 4, 0x5A);
    std::string error;

    const std::string pipe = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(WritePngRgba(pipe.c_str(), 64, 64, rgba.data(), error));
    EXPECT_NE(error.find("named pipe"), std::string::npos) << error;
    struct stat info {};
    ASSERT_EQ(stat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_FALSE(WritePngRgba("/dev/null", 64, 64, rgba.data(), error));
    EXPECT_NE(error.find("device"), std::string::npos) << error;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    const std::string old = (dir / "old.png").string();
    { std::ofstream(old) << "the old picture"; }
    ASSERT_EQ(chmod(old.c_str(), 0640), 0);
    const std::string link = (dir / "link.png").string();
    ASSERT_EQ(symlink(old.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WritePngRgba(link.c_str(), 64, 64, rgba.data(), error)) << error;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself was replaced";
    ASSERT_EQ(stat(old.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    Image image;
    ASSERT_TRUE(DecodeImageFile(old.c_str(), image, error)) << error;

    // In a child: the size limit is the process's own.
    const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes(256 * 256 * 4);
        uint32_t state = 1;
        for (uint8_t& b : bytes)
            b = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
        return bytes;
    }();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string reason;
        const bool ok = WritePngRgba(old.c_str(), 256, 256, noise.data(), reason);
        _exit(!ok && reason.find(std::strerror(EFBIG)) != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no EFBIG reason";
    Image still;
    ASSERT_TRUE(DecodeImageFile(old.c_str(), still, error)) << error;
    EXPECT_EQ(still.rgba, image.rgba);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        ++files, (void)entry;
    EXPECT_EQ(files, 3u) << "a temporary file was left behind";
    std::filesystem::remove_all(dir);
}

// A 16384 x 16384 one-bit PNG of about 33 KB: every row is zero, which deflate packs tightly.
std::vector<uint8_t> OneBitPngOfSide(uint32_t side) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header(13, 0);
    StoreU32BE(&header[0], side);
    StoreU32BE(&header[4], side);
    header[8] = 1; // bit depth; grey, no interlacing
    StoreChunk(png, "IHDR", 13, header);
    z_stream z{};
    deflateInit(&z, 9);
    const std::vector<uint8_t> row(1 + side / 8, 0);
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    for (uint32_t y = 0; y < side; ++y) {
        z.next_in = const_cast<Bytef*>(row.data());
        z.avail_in = uInt(row.size());
        do {
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            deflate(&z, y + 1 == side ? Z_FINISH : Z_NO_FLUSH);
            data.insert(data.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    StoreChunk(png, "IDAT", uint32_t(data.size()), data);
    StoreChunk(png, "IEND", 0, {});
    return png;
}

// A 16 x 16 JPEG whose frame header says 16384 x 16384, padded with comments to about 656 KB.
std::vector<uint8_t> JpegPaddedWithComments() {
    std::vector<uint8_t> jpeg = ReadBytes(ImagePath("baseline.jpg"));
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        ++sof;
    jpeg[sof + 5] = 0x40, jpeg[sof + 6] = 0x00, jpeg[sof + 7] = 0x40, jpeg[sof + 8] = 0x00;
    std::vector<uint8_t> comment = {0xFF, 0xFE, 0xFF, 0xFF};
    comment.resize(4 + 0xFFFF - 2, 'c');
    for (int i = 0; i < 10; ++i)
        jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
    return jpeg;
}

struct Inspected {
    int exitCode = -1;
    long peakKb = 0;
    std::string out;
};

// `koltrep-inspect image FILE` in a process of its own, with its peak resident memory; what it
// prints goes to `output`.
Inspected Inspect(const std::string& file, const std::string& output) {
    const std::string program = KOLTREP_BINARY_DIR "/koltrep-inspect";
    Inspected result;
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        dup2(fd, 2);
        execl(program.c_str(), program.c_str(), "image", file.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.peakKb = usage.ru_maxrss;
    }
    const std::vector<uint8_t> printed = ReadBytes(output);
    result.out.assign(printed.begin(), printed.end());
    return result;
}

TEST(ImageDecode, ImageBombsStayWithinTheMemoryBudget) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("koltrep-image-bombs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto save = [&](const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    };
    const std::vector<uint8_t> pngBytes = OneBitPngOfSide(16384);
    const std::vector<uint8_t> jpegBytes = JpegPaddedWithComments();
    EXPECT_LT(pngBytes.size(), 40000u);
    EXPECT_GT(jpegBytes.size(), 650000u);

    const std::string printed = (dir / "printed.txt").string();
    const Inspected baseline = Inspect(ImagePath("rgb8.png"), printed);
    ASSERT_EQ(baseline.exitCode, 0) << baseline.out;
    const Inspected png = Inspect(save("bomb.png", pngBytes), printed);
    const Inspected jpeg = Inspect(save("bomb.jpg", jpegBytes), printed);
    std::printf("peak memory: baseline %ld KiB, PNG %ld KiB, JPEG %ld KiB\n", baseline.peakKb,
                png.peakKb, jpeg.peakKb);
    // The PNG is valid: it is decoded, reduced on the way to the budget's 2048 x 2048.
    EXPECT_EQ(png.exitCode, 0) << png.out;
    EXPECT_EQ(png.out, "size 2048 2048\n");
    EXPECT_LT(png.peakKb - baseline.peakKb, 64 * 1024);
    // The JPEG's comments are no image data: it is refused as the truncated file it is.
    EXPECT_EQ(jpeg.exitCode, 1);
    EXPECT_NE(jpeg.out.find("truncated"), std::string::npos) << jpeg.out;
    EXPECT_LT(jpeg.peakKb - baseline.peakKb, 64 * 1024);
    std::filesystem::remove_all(dir);
}

// Reduced pictures are the average of the blocks they stand for; the size the file declares is
// kept beside the decoded one.
TEST(ImageDecode, PicturesLargerThanTheDeviceTakesAreReducedByAverage) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("koltrep-image-reduce-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> rgba(5 * 2 * 4);
    for (size_t i = 0; i < rgba.size(); ++i)
        rgba[i] = uint8_t(i * 5);
    const std::string path = (dir / "five.png").string();
    std::string error;
    ASSERT_TRUE(WritePngRgba(path.c_str(), 5, 2, rgba.data(), error)) << error;
    Image image;
    ASSERT_TRUE(DecodeImageFile(path.c_str(), image, error, 2)) << error;
    ASSERT_EQ(image.width, 2u); // factor 3: columns 0-2 and 3-4, both rows
    ASSERT_EQ(image.height, 1u);
    EXPECT_EQ(image.fileWidth, 5u);
    for (int c = 0; c < 4; ++c) {
        const int left =
            (rgba[c] + rgba[4 + c] + rgba[8 + c] + rgba[20 + c] + rgba[24 + c] + rgba[28 + c] + 3) /
            6;
        const int right = (rgba[12 + c] + rgba[16 + c] + rgba[32 + c] + rgba[36 + c] + 2) / 4;
        EXPECT_EQ(Pixel(image, 0, 0)[c], left) << c;
        EXPECT_EQ(Pixel(image, 1, 0)[c], right) << c;
    }
    // JPEG: the DCT scaling alone reaches the size.
    ASSERT_TRUE(DecodeImageFile(ImagePath("baseline.jpg").c_str(), image, error, 4)) << error;
    EXPECT_LE(std::max(image.width, image.height), 4u);
    EXPECT_EQ(image.fileWidth, 16u);
    std::filesystem::remove_all(dir);
}

} // namespace
