#include "tests/support/d3d_test_support.h"

#include "app/shell/debug_log.h"
#include "gfx/device/d3d_device.h"

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
    ReadBackBuffer(device, picture.rgba, picture.width, picture.height);
    return picture;
}

OffscreenDevice::OffscreenDevice(const DeviceOptions& options) {
    UseOffscreenVideo();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d) return;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = options.width;
    params.BackBufferHeight = options.height;
    params.BackBufferFormat = options.backBuffer;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = options.depth != D3DFMT_UNKNOWN;
    params.AutoDepthStencilFormat = options.depth;
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

CommandLine::CommandLine(std::vector<std::string> options) {
    storage_.push_back("koltrep");
    for (auto& option : options)
        storage_.push_back(std::move(option));
    for (auto& argument : storage_)
        argv_.push_back(argument.data());
    argv_.push_back(nullptr);
    SetCommandLine(static_cast<int>(storage_.size()), argv_.data());
}

CommandLine::~CommandLine() {
    SetCommandLine(0, nullptr);
}

D3DDISPLAYMODE Mode(UINT width, UINT height, D3DFORMAT format, UINT refresh) {
    return D3DDISPLAYMODE{width, height, refresh, format};
}

D3DPRESENT_PARAMETERS ProgramPresentParameters(HWND window, BOOL windowed) {
    return PresentParameters(640, 480, D3DFMT_X8R8G8B8, D3DFMT_D16, window, windowed);
}

} // namespace d3d_test
