// Presentation into a window like the program's: where the picture goes, the cooperative level of a
// full-screen window that is minimised, and a device that outlives the window it presented in.
#include <gtest/gtest.h>

#include "tests/support/platform/d3d_test_support.h"

#include <platform/d3d8/presentation.h>
#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>

#include <optional>
#include <string>

namespace {

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(PresentationRect, StretchesWindowedAndFitsFullScreenKeepingTheAspect) {
    using platform::d3d8::PresentationRect;
    ExpectRect(PresentationRect(640, 480, 1000, 300, false), 0, 0, 1000, 300);
    ExpectRect(PresentationRect(640, 480, 1920, 1080, true), 240, 0, 1680, 1080); // pillars
    ExpectRect(PresentationRect(640, 480, 1024, 1280, true), 0, 256, 1024, 1024); // bars
    ExpectRect(PresentationRect(640, 480, 1600, 1200, true), 0, 0, 1600, 1200);
    ExpectRect(PresentationRect(640, 480, 641, 480, true), 0, 0, 640, 480);
    ExpectRect(PresentationRect(0, 480, 800, 600, true), 0, 0, 800, 600);
    // Large sizes do not overflow the comparison.
    ExpectRect(PresentationRect(65536, 65536, 100000, 50000, true), 25000, 0, 75000, 50000);
}

TEST(FullScreenRect, FillsTheDesktopAspectKeptAndFiltersAllButWholeMultiples) {
    using platform::d3d8::FullScreenRect;
    using platform::d3d8::IsWholeMultiple;
    const struct {
        LONG width, height, left, top, right, bottom;
        bool whole;
    } cases[] = {
        {1366, 768, 171, 0, 1195, 768, false},   {1600, 900, 200, 0, 1400, 900, false},
        {1920, 1080, 240, 0, 1680, 1080, false}, {2560, 1440, 320, 0, 2240, 1440, true}, // 3x
        {1280, 1024, 0, 32, 1280, 992, true},    {640, 480, 0, 0, 640, 480, true},
        {320, 480, 0, 120, 320, 360, false}, // a desktop smaller than the picture: shrunk
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const RECT r = FullScreenRect(640, 480, c.width, c.height);
        ExpectRect(r, c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(IsWholeMultiple(640, 480, r), c.whole);
    }
    ExpectRect(FullScreenRect(0, 480, 800, 600), 0, 0, 800, 600);
    EXPECT_FALSE(IsWholeMultiple(640, 480, RECT{0, 0, 1280, 480})); // twice as wide only
    EXPECT_FALSE(IsWholeMultiple(0, 480, RECT{0, 0, 1280, 960}));
}

class ProgramWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        d3d_test::UseOffscreenVideo();
        testWindow.emplace();
        hwnd = testWindow->handle;
        ASSERT_NE(hwnd, nullptr);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override {
        if (device) device->Release();
        if (d3d) d3d->Release();
        testWindow.reset();
        hwnd = nullptr;
    }
    HRESULT Create(BOOL windowedDevice) {
        D3DPRESENT_PARAMETERS params = d3d_test::PresentParametersFor({}, hwnd, windowedDevice);
        return d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &params, &device);
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    d3d_test::SeamReset seams;
    std::optional<d3d_test::TestWindow> testWindow;
    HWND hwnd = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

TEST_F(ProgramWindow, FullScreenDeviceIsLostWhileItsWindowIsMinimised) {
    ASSERT_EQ(Create(FALSE), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Minimized));
    Pump();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Restored));
    Pump();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(ProgramWindow, WindowedDeviceStaysUsableWhenMinimised) {
    ASSERT_EQ(Create(TRUE), D3D_OK);
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Minimized));
    Pump();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

// F11's switch: the window's size and the lost-while-minimised rule follow the mode; the back
// buffer's picture survives both ways.
TEST_F(ProgramWindow, PresentationSwitchesBetweenWindowAndFullScreenKeepingTheBackBuffer) {
    ASSERT_EQ(Create(FALSE), D3D_OK);
    SDL_Window* window = platform::SdlWindowFromHandle(hwnd);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    SDL_Rect desktop{};
    ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0);

    ASSERT_TRUE(platform::d3d8::SetWindowedPresentation(device, true));
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, 640); // the window as it was before full screen took it
    EXPECT_EQ(height, 480);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    RECT picture{};
    ASSERT_TRUE(platform::d3d8::PresentedPictureRect(device, picture));
    ExpectRect(picture, 0, 0, 640, 480); // a pointer maps through where the picture stands
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Minimized));
    Pump();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Restored));
    Pump();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // Already there: nothing changes.
    ASSERT_TRUE(platform::d3d8::SetWindowedPresentation(device, true));
    ASSERT_TRUE(platform::d3d8::SetWindowedPresentation(device, false));
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, desktop.w);
    EXPECT_EQ(height, desktop.h);
    ASSERT_TRUE(platform::d3d8::PresentedPictureRect(device, picture));
    const RECT between = platform::d3d8::FullScreenRect(640, 480, desktop.w, desktop.h);
    ExpectRect(picture, between.left, between.top, between.right, between.bottom);
    ASSERT_TRUE(platform::InjectWindowEvent(hwnd, platform::WindowEvent::Minimized));
    Pump();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(d3d_test::ReadPicture(device).Count({0, 255, 0, 255}, 0), 640 * 480);
    EXPECT_FALSE(platform::d3d8::SetWindowedPresentation(nullptr, true));
    EXPECT_FALSE(platform::d3d8::PresentedPictureRect(nullptr, picture));
}

TEST_F(ProgramWindow, ResourcesReleasedAfterTheWindowIsGoneStillFindTheirContext) {
    ASSERT_EQ(Create(TRUE), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    // The program's order at exit: device, Direct3D object and window go before the textures.
    device->Release();
    device = nullptr;
    d3d->Release();
    d3d = nullptr;
    testWindow->Destroy();
    hwnd = nullptr;
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(ProgramWindow, PresentingIntoAWindowThatIsGoneFails) {
    ASSERT_EQ(Create(TRUE), D3D_OK);
    testWindow->Destroy();
    hwnd = nullptr;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // Drawing into the back buffer goes on.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    d3d_test::Picture p = d3d_test::ReadPicture(device);
    EXPECT_EQ(p.Count({0, 255, 0, 255}, 0), 640 * 480);
}

} // namespace
