// Full screen on real X servers of the usual desktop sizes: what the screen shows, read back
// from the server's root window, whichever side scales the picture. Each case needs a server of
// its own size, so each runs in a process of its own (as ctest runs them); a case whose size
// differs from the process's server skips.
#include <gtest/gtest.h>

#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/platform/win32_test_support.h"

#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3d8/device_impl.h>
#include <platform/win32/sdl_window.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::d3d8::FullScreenScaling;

struct Case {
    FullScreenScaling scaling;
    int screenWidth, screenHeight;
    int pictureWidth, pictureHeight; // the largest 4:3 rectangle the screen holds
};

// The four quarters of the back buffer, flat colours none of which is black.
constexpr uint32_t kQuarters[4] = {0xC03020, 0x20C040, 0x3040C0, 0xC0C020};

Display* DisplayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

// The screen's pixels as the server holds them, 0xRRGGBB each.
struct Screen {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

Screen ReadScreen(Display* display) {
    Screen screen;
    const ::Window root = DefaultRootWindow(display);
    screen.width = DisplayWidth(display, DefaultScreen(display));
    screen.height = DisplayHeight(display, DefaultScreen(display));
    XImage* image = XGetImage(display, root, 0, 0, unsigned(screen.width), unsigned(screen.height),
                              AllPlanes, ZPixmap);
    if (!image) return Screen{};
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            screen.pixels.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
    XDestroyImage(image);
    return screen;
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
    return true;
}

class FullScreen : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        const Case& c = GetParam();
        const std::string size =
            std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
        ASSERT_NE(win32_test::PrivateXServer(size + "x24"), nullptr);
        testWindow.emplace();
        hwnd = testWindow->handle;
        ASSERT_NE(hwnd, nullptr);
        window = platform::SdlWindowFromHandle(hwnd);
        display = DisplayOf(window);
        ASSERT_NE(display, nullptr);
        if (DisplayWidth(display, DefaultScreen(display)) != c.screenWidth ||
            DisplayHeight(display, DefaultScreen(display)) != c.screenHeight)
            GTEST_SKIP() << "needs a process of its own for a " << size << " screen";
        platform::d3d8::SetFullScreenScaling(c.scaling);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS params = d3d_test::PresentParametersFor({}, hwnd, FALSE);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &params, &device),
                  D3D_OK);
    }
    void TearDown() override {
        if (device) device->Release();
        if (d3d) d3d->Release();
        testWindow.reset();
        hwnd = nullptr;
    }
    void DrawQuarters() {
        const D3DRECT quarters[4] = {
            {0, 0, 320, 240}, {320, 0, 640, 240}, {0, 240, 320, 480}, {320, 240, 640, 480}};
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(
                device->Clear(1, &quarters[i], D3DCLEAR_TARGET, 0xFF000000 | kQuarters[i], 1.0f, 0),
                D3D_OK);
    }
    // Another window left the whole of ours uncovered: the server paints it with the window's
    // background and sends an expose. Scribbled white first, so a window without a background
    // of its own shows.
    void Uncover() {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
        GC gc = XCreateGC(display, info.info.x11.window, 0, nullptr);
        XSetForeground(display, gc, WhitePixel(display, DefaultScreen(display)));
        XFillRectangle(display, info.info.x11.window, gc, 0, 0, 4096, 4096);
        XFreeGC(display, gc);
        XClearArea(display, info.info.x11.window, 0, 0, 0, 0, True);
        XSync(display, False);
    }

    d3d_test::SeamReset seams;
    SDL_Window* window = nullptr;
    Display* display = nullptr;
    std::optional<d3d_test::TestWindow> testWindow;
    HWND hwnd = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

TEST_P(FullScreen, FillsTheScreenAspectKeptCentredOnBlackAfterAnExposeToo) {
    const Case& c = GetParam();
    DrawQuarters();
    auto* ours = dynamic_cast<platform::d3d8::Device*>(device);
    ASSERT_NE(ours, nullptr);
    const int left = (c.screenWidth - c.pictureWidth) / 2;
    const int top = (c.screenHeight - c.pictureHeight) / 2;
    const int right = left + c.pictureWidth, bottom = top + c.pictureHeight;
    const int middleX = left + c.pictureWidth / 2, middleY = top + c.pictureHeight / 2;
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame == 0 ? "first frame" : "frame after an expose");
        if (frame == 1) Uncover();
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ours->ScaledByServer(), c.scaling == FullScreenScaling::Server);

        const Screen shown = ReadScreen(display);
        ASSERT_EQ(shown.width, c.screenWidth);
        ASSERT_EQ(shown.height, c.screenHeight);
        int wrong = 0, blended = 0;
        auto report = [&](int x, int y, const char* what) {
            if (++wrong <= 5)
                ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex
                              << shown.At(x, y);
        };
        for (int y = 0; y < shown.height; ++y) {
            for (int x = 0; x < shown.width; ++x) {
                const uint32_t pixel = shown.At(x, y);
                const bool inside = x >= left && x < right && y >= top && y < bottom;
                if (!inside) {
                    if (pixel != 0) report(x, y, "not black outside the picture");
                    continue;
                }
                // The picture's own edges are flat colour: its bounding box is the rectangle.
                const bool nearSeam = std::abs(x - middleX) < 2 || std::abs(y - middleY) < 2;
                const uint32_t quarter = kQuarters[(y >= middleY) * 2 + (x >= middleX)];
                if (!nearSeam && !Near(pixel, quarter)) report(x, y, "a quarter's colour wrong");
                if (nearSeam && y == middleY - 4 && !Near(pixel, kQuarters[0]) &&
                    !Near(pixel, kQuarters[1]))
                    ++blended;
            }
        }
        EXPECT_EQ(wrong, 0);
        // Enlarged by no whole multiple: the seam between two quarters is filtered, not a hard
        // step. (A shrink samples the seam's sides only.)
        if (c.pictureWidth > 640) {
            EXPECT_GT(blended, 0);
        }
    }
}

// The cases a window going away is checked in: one for each side that scales.
class FullScreenWindowGone : public FullScreen {};

TEST_P(FullScreenWindowGone, ADeviceOutlivingItsWindowPresentsNothingAndReleasesCleanly) {
    DrawQuarters();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    testWindow->Destroy();
    hwnd = nullptr;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // The server has freed the window's picture already; releasing must not end the process.
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
}

constexpr Case kCases[] = {
    {FullScreenScaling::Gl, 1366, 768, 1024, 768},
    {FullScreenScaling::Server, 1366, 768, 1024, 768},
    {FullScreenScaling::Gl, 1600, 900, 1200, 900},
    {FullScreenScaling::Server, 1600, 900, 1200, 900},
    {FullScreenScaling::Gl, 1920, 1080, 1440, 1080},
    {FullScreenScaling::Server, 1920, 1080, 1440, 1080},
    // A desktop smaller than the picture: shrunk to fit, pillars at the sides.
    {FullScreenScaling::Server, 512, 300, 400, 300},
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return std::string(c.scaling == FullScreenScaling::Gl ? "Gl" : "Server") + "_" +
           std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
}

INSTANTIATE_TEST_SUITE_P(Screens, FullScreen, ::testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Screens, FullScreenWindowGone, ::testing::Values(kCases[0], kCases[1]),
                         CaseName);

} // namespace
