// D3DXCreateTextureFromFileExA against the recording device: the texture it asks for, the texels
// of every mip level, the colour key, and the failures.
#include "tests/support/platform/recording_device.h"

#include <platform/d3dx8/image_write.h>

#include <d3dx8.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

using testsupport::RecordingDevice;
using testsupport::RecordingTexture;

class TextureCreate : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("koltrep-texture-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes a PNG whose texels are given as D3DCOLOR values, rows from the top.
    std::string WriteArgb(const char* name, uint32_t w, uint32_t h,
                          const std::vector<D3DCOLOR>& argb) {
        std::vector<uint8_t> rgba;
        for (D3DCOLOR c : argb)
            rgba.insert(rgba.end(),
                        {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)});
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(platform::d3dx::WritePngRgba(path.c_str(), w, h, rgba.data()));
        return path;
    }

    HRESULT Create(const std::string& path, UINT mipLevels, D3DCOLOR key,
                   IDirect3DTexture8** texture, D3DXIMAGE_INFO* info = nullptr) {
        return D3DXCreateTextureFromFileExA(&device_, path.c_str(), 0, 0, mipLevels, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                            D3DX_DEFAULT, key, info, nullptr, texture);
    }

    // A texel of a level read back as D3DCOLOR, from the B,G,R,A bytes in memory.
    static D3DCOLOR Texel(IDirect3DTexture8* texture, UINT level, UINT x, UINT y) {
        const auto& l = static_cast<RecordingTexture*>(texture)->levels.at(level);
        const uint8_t* p = l.texels.data() + (size_t(y) * l.width + x) * 4;
        return D3DCOLOR_ARGB(p[3], p[2], p[1], p[0]);
    }

    RecordingDevice device_;
    std::filesystem::path dir_;
};

TEST_F(TextureCreate, OneLevelTakesTheImageSizeAndStoresBgraBytes) {
    const std::vector<D3DCOLOR> argb = {0xFF112233, 0x80445566, 0x00778899,
                                        0xFFFFFFFF, 0xFF000000, 0x01020304};
    const std::string path = WriteArgb("three_by_two.png", 3, 2, argb);
    IDirect3DTexture8* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(Create(path, 1, 0, &texture, &info), D3D_OK);
    ASSERT_NE(texture, nullptr);

    const auto creates = device_.CallsNamed("CreateTexture");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0]->args,
              (std::vector<int64_t>{3, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}));
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    const auto& level = static_cast<RecordingTexture*>(texture)->levels[0];
    EXPECT_EQ(level.texels[0], 0x33); // blue byte first in memory
    EXPECT_EQ(level.texels[3], 0xFF);
    for (UINT i = 0; i < 6; ++i)
        EXPECT_EQ(Texel(texture, 0, i % 3, i / 3), argb[i]) << i;

    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    texture->Release();
    EXPECT_EQ(device_.LiveTextures(), 0u);
}

TEST_F(TextureCreate, EveryDecodedFormatLoadsAndIsNamedInTheInfo) {
    const std::string images = std::string(KOLTREP_SOURCE_DIR) + "/tests/data/images/";
    struct Case {
        const char* file;
        UINT width, height;
        D3DXIMAGE_FILEFORMAT format;
        D3DFORMAT pixels;
    } cases[] = {{"baseline.jpg", 16, 16, D3DXIFF_JPG, D3DFMT_X8R8G8B8},
                 {"rgb24.bmp", 7, 5, D3DXIFF_BMP, D3DFMT_X8R8G8B8},
                 {"palette2.png", 7, 5, D3DXIFF_PNG, D3DFMT_A8R8G8B8}};
    for (const Case& c : cases) {
        IDirect3DTexture8* texture = nullptr;
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(Create(images + c.file, 1, 0, &texture, &info), D3D_OK) << c.file;
        EXPECT_EQ(info.Width, c.width) << c.file;
        EXPECT_EQ(info.Height, c.height) << c.file;
        EXPECT_EQ(info.ImageFileFormat, c.format) << c.file;
        EXPECT_EQ(info.Format, c.pixels) << c.file;
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, c.width);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8); // whatever the file held
        texture->Release();
    }
}

TEST_F(TextureCreate, FullChainIsBoxFilteredDownToOneByOne) {
    // 4 x 4: every 2 x 2 block averages exactly.
    std::vector<D3DCOLOR> argb(16);
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 4; ++x)
            argb[y * 4 + x] = D3DCOLOR_ARGB(255, x * 60, y * 80, (x + y) % 2 ? 255 : 0);
    const std::string even = WriteArgb("even.png", 4, 4, argb);
    for (UINT request : {0u, UINT(D3DX_DEFAULT), 9u}) {
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(Create(even, request, 0, &texture), D3D_OK);
        ASSERT_EQ(texture->GetLevelCount(), 3u) << request;
        // Top-left block: x 0..1, y 0..1 -> red (0+60)/2 = 30, green (0+80)/2 = 40, blue half on.
        EXPECT_EQ(Texel(texture, 1, 0, 0), D3DCOLOR_ARGB(255, 30, 40, 128));
        EXPECT_EQ(Texel(texture, 1, 1, 1), D3DCOLOR_ARGB(255, 150, 200, 128));
        EXPECT_EQ(Texel(texture, 2, 0, 0), D3DCOLOR_ARGB(255, 90, 120, 128));
        texture->Release();
    }
    EXPECT_EQ(device_.CallsNamed("CreateTexture")[0]->args[2], 3);

    // 5 x 1 -> 2 x 1 -> 1 x 1: the middle texel is shared, weighted by the half it covers.
    const std::string odd = WriteArgb("odd.png", 5, 1,
                                      {D3DCOLOR_ARGB(255, 0, 0, 0), D3DCOLOR_ARGB(255, 50, 0, 0),
                                       D3DCOLOR_ARGB(255, 100, 0, 0), D3DCOLOR_ARGB(255, 150, 0, 0),
                                       D3DCOLOR_ARGB(255, 250, 0, 0)});
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(Create(odd, 0, 0, &texture), D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    EXPECT_EQ(Texel(texture, 1, 0, 0), D3DCOLOR_ARGB(255, 40, 0, 0));  // (2*0 + 2*50 + 100) / 5
    EXPECT_EQ(Texel(texture, 1, 1, 0), D3DCOLOR_ARGB(255, 180, 0, 0)); // (100 + 2*150 + 2*250) / 5
    EXPECT_EQ(Texel(texture, 2, 0, 0), D3DCOLOR_ARGB(255, 110, 0, 0)); // (40 + 180) / 2
    texture->Release();
}

TEST_F(TextureCreate, ColourKeyMatchesOpaqueTexelsOnly) {
    const std::vector<D3DCOLOR> argb = {0xFF00FF00, 0x8000FF00, 0xFF00FE00, 0xFF000000};
    const std::string path = WriteArgb("key.png", 2, 2, argb);
    // The key's own alpha does not matter: it is compared as opaque.
    for (D3DCOLOR key : {0xFF00FF00u, 0x0000FF00u}) {
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(Create(path, 2, key, &texture), D3D_OK);
        EXPECT_EQ(Texel(texture, 0, 0, 0), 0x00000000u);
        EXPECT_EQ(Texel(texture, 0, 1, 0), 0x8000FF00u); // not opaque: kept
        EXPECT_EQ(Texel(texture, 0, 0, 1), 0xFF00FE00u); // one step off: kept
        EXPECT_EQ(Texel(texture, 0, 1, 1), 0xFF000000u);
        // The 1 x 1 level averages the keyed texel as transparent black.
        // Alpha (0 + 128 + 255 + 255) / 4 = 159.5 rounds up; green (0 + 255 + 254 + 0) / 4.
        EXPECT_EQ(Texel(texture, 1, 0, 0), D3DCOLOR_ARGB(160, 0, 127, 0));
        texture->Release();
    }
    // Key 0 is no key: opaque black stays.
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(Create(path, 1, 0, &texture), D3D_OK);
    EXPECT_EQ(Texel(texture, 0, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(Texel(texture, 0, 1, 1), 0xFF000000u);
    texture->Release();
}

TEST_F(TextureCreate, FailuresReturnAnErrorAndNoTexture) {
    const std::string good = WriteArgb("good.png", 1, 1, {0xFFFFFFFF});
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(0x1);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(nullptr, good.c_str(), 0, 0, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                           nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(&device_, nullptr, 0, 0, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                           nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(&device_, good.c_str(), 0, 0, 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                           nullptr, nullptr),
              D3DERR_INVALIDCALL);

    EXPECT_LT(Create((dir_ / "missing.png").string(), 1, 0, &texture), 0);
    EXPECT_EQ(texture, nullptr);
    const std::string garbage = (dir_ / "garbage.png").string();
    std::ofstream(garbage) << "\x89PNG\r\n\x1a\n not really";
    EXPECT_LT(Create(garbage, 1, 0, &texture), 0);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device_.CountOf("CreateTexture"), 0u); // nothing asked of the device for bad files

    device_.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(Create(good, 1, 0, &texture), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device_.LiveTextures(), 0u);
}

} // namespace
