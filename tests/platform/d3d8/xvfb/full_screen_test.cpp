// Full screen on a real X server larger than twice the picture: what the window shows, read
// back from the server, whichever side scales it.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/support/d3d_test_support.h"
#include "tests/support/win32_test_support.h"

#include <platform/d3d8/internal.h>
#include <platform/win32/sdl_window.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <vector>

namespace {

using platform::d3d8::FullScreenScaling;

// One server for the whole run, 1400 x 1000: the picture fits twice with bars on every side.
bool StartServer() {
    return win32_test::PrivateXServer("1400x1000x24") != nullptr;
}

// The window's pixels as the server holds them, 0xRRGGBB each.
std::vector<uint32_t> WindowPixels(SDL_Window* window, int& width, int& height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    std::vector<uint32_t> pixels;
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return pixels;
    XWindowAttributes attributes{};
    XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes);
    width = attributes.width;
    height = attributes.height;
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, width, height,
                              AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

class FullScreen : public ::testing::TestWithParam<FullScreenScaling> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(StartServer());
        ASSERT_TRUE(CreateMainWindow(nullptr));
        window = platform::SdlWindowFromHandle(mainWindow);
        SDL_SetWindowSize(window, 1400, 1000);
        SDL_ShowWindow(window);
        platform::d3d8::SetFullScreenScaling(GetParam());
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS params = d3d_test::ProgramPresentParameters(mainWindow, FALSE);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, mainWindow,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device),
                  D3D_OK);
    }
    void TearDown() override {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (mainWindow) DestroyWindow(mainWindow);
        mainWindow = nullptr;
    }
    // A picture whose every edge pixel differs from its neighbours, so a scale that is off by
    // one pixel anywhere shows.
    void DrawPattern() {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0), D3D_OK);
        const D3DRECT spots[] = {{0, 0, 1, 1},         {639, 0, 640, 1},   {0, 479, 1, 480},
                                 {639, 479, 640, 480}, {320, 0, 321, 480}, {0, 240, 640, 241}};
        DWORD colour = 0xFFFF0000;
        for (const D3DRECT& spot : spots) {
            ASSERT_EQ(device->Clear(1, &spot, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
            colour = 0xFF000000 | ((colour * 7 + 0x123457) & 0xFFFFFF);
        }
    }

    d3d_test::SeamReset seams;
    SDL_Window* window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

// Another window left the whole of ours uncovered: the server paints it with the window's
// background and sends an expose. Scribbled white first, so a window without a background of
// its own shows.
void Uncover(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
    Display* display = info.info.x11.display;
    GC gc = XCreateGC(display, info.info.x11.window, 0, nullptr);
    XSetForeground(display, gc, WhitePixel(display, DefaultScreen(display)));
    XFillRectangle(display, info.info.x11.window, gc, 0, 0, 1400, 1000);
    XFreeGC(display, gc);
    XClearArea(display, info.info.x11.window, 0, 0, 0, 0, True);
    XSync(display, False);
}

TEST_P(FullScreen, ShowsTheBackBufferTwiceItsSizeCentredOnBlackAfterAnExposeToo) {
    DrawPattern();
    const d3d_test::Picture picture = d3d_test::ReadPicture(device);
    auto* ours = dynamic_cast<platform::d3d8::Device*>(device);
    ASSERT_NE(ours, nullptr);
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame == 0 ? "first frame" : "frame after an expose");
        if (frame == 1) Uncover(window);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ours->ScaledByServer(), GetParam() == FullScreenScaling::Server);

        int width = 0, height = 0;
        const std::vector<uint32_t> shown = WindowPixels(window, width, height);
        ASSERT_EQ(width, 1400);
        ASSERT_EQ(height, 1000);
        const int left = (1400 - 1280) / 2, top = (1000 - 960) / 2;
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t expected = 0;
                if (x >= left && x < left + 1280 && y >= top && y < top + 960) {
                    const d3d_test::Rgba p = picture.At(UINT(x - left) / 2, UINT(y - top) / 2);
                    expected = uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | uint32_t(p.b);
                }
                if (shown[size_t(y) * width + x] != expected && ++wrong <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex
                                  << shown[size_t(y) * width + x] << " instead of " << expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_P(FullScreen, ADeviceOutlivingItsWindowPresentsNothingAndReleasesCleanly) {
    DrawPattern();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // The server has freed the window's picture already; releasing must not end the process.
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
}

INSTANTIATE_TEST_SUITE_P(ByGlAndByServer, FullScreen,
                         ::testing::Values(FullScreenScaling::Gl, FullScreenScaling::Server),
                         [](const auto& info) {
                             return info.param == FullScreenScaling::Gl ? "Gl" : "Server";
                         });

} // namespace
