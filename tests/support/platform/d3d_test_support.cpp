#include "tests/support/platform/d3d_test_support.h"

#include <SDL.h>

#include <cstdlib>

namespace d3d_test {

void UseOffscreenVideo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

Rgba Picture::At(UINT x, UINT y) const {
    if (x >= width || y >= height) return Rgba{-1, -1, -1, -1};
    const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
}

int Picture::Count(Rgba colour, int tolerance) const {
    int count = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        if (std::abs(rgba[i] - colour.r) <= tolerance &&
            std::abs(rgba[i + 1] - colour.g) <= tolerance &&
            std::abs(rgba[i + 2] - colour.b) <= tolerance)
            ++count;
    return count;
}

Picture ReadPicture(IDirect3DDevice8* device) {
    Picture picture;
    platform::d3d8::ReadBackBuffer(device, picture.rgba, picture.width, picture.height);
    return picture;
}

OffscreenDevice::OffscreenDevice(const DeviceOptions& options) {
    UseOffscreenVideo();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d) return;
    D3DPRESENT_PARAMETERS params = PresentParametersFor(options);
    result = d3d->CreateDevice(D3DADAPTER_DEFAULT, options.type, nullptr, options.behaviour,
                               &params, &device);
}

OffscreenDevice::~OffscreenDevice() {
    if (device) device->Release();
    if (d3d) d3d->Release();
}

ScriptedCooperativeLevel::ScriptedCooperativeLevel(std::vector<HRESULT> results)
    : results_(results.begin(), results.end()) {
    platform::d3d8::SetCooperativeLevelScript([this] {
        ++calls_;
        if (!results_.empty()) {
            last_ = results_.front();
            results_.pop_front();
        }
        return last_;
    });
}

ScriptedCooperativeLevel::~ScriptedCooperativeLevel() {
    platform::d3d8::SetCooperativeLevelScript(nullptr);
}

D3DDISPLAYMODE Mode(UINT width, UINT height, D3DFORMAT format, UINT refresh) {
    return D3DDISPLAYMODE{width, height, refresh, format};
}

D3DPRESENT_PARAMETERS PresentParametersFor(const DeviceOptions& options, HWND window,
                                           BOOL windowed) {
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = options.width;
    params.BackBufferHeight = options.height;
    params.BackBufferFormat = options.backBuffer;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = windowed;
    params.EnableAutoDepthStencil = options.depth != D3DFMT_UNKNOWN;
    params.AutoDepthStencilFormat = options.depth;
    return params;
}

TestWindow::TestWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    // The server paints an uncovered window with it, as it does the program's.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "KOLTREP_TEST_WINDOW";
    RegisterClassExA(&windowClass); // a second registration fails and changes nothing
    handle = CreateWindowExA(0, "KOLTREP_TEST_WINDOW", "Koltrep test", WS_OVERLAPPEDWINDOW, 0, 0,
                             640, 480, GetDesktopWindow(), nullptr, nullptr, nullptr);
    if (handle == nullptr) return;
    RECT rect = {0, 0, 640, 480};
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(handle, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TestWindow::Destroy() {
    if (handle != nullptr) DestroyWindow(handle);
    handle = nullptr;
}

} // namespace d3d_test
