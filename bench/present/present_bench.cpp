// Full-screen presentation against windowed presentation, in one run on a private Xvfb whose
// screen holds the largest size measured. Each frame draws the four hills (the 70 x 70 sphere,
// lit) between BeginScene and Present, so the figure is a frame of real drawing plus its
// presentation; the windowed frame (640 x 480 window) is the baseline. CPU is the whole
// process's: Mesa's rasteriser threads do most of GL's scaling. The X server's own CPU a frame
// is the counter server_ms: where the server scales, that is where the scaling's cost went.
// SDL learns the desktop's size once per process, so a desktop smaller than the server's screen
// is a full-screen window of that size: what presenting costs follows the window, not the
// screen around it.
#include <benchmark/benchmark.h>

#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/platform/win32_test_support.h"

#include <d3d8.h>
#include <d3dx8.h>
#include <platform/d3d8/d3d8_linux.h>
#include <platform/win32/sdl_window.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

using win32_test::XServer;

// An Xvfb of this process's own, as large as the largest picture measured; SDL goes to it.
const XServer* server = nullptr;

bool StartXServer() {
    server = win32_test::PrivateXServer("2560x1440x24");
    return server != nullptr;
}

// One window for every stage, as the program has one; it stays until the process ends.
HWND StageWindow() {
    static const auto* window = new d3d_test::TestWindow;
    return window->handle;
}

struct Stage {
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    ID3DXMesh* sphere = nullptr;

    bool Open(bool windowed, int width, int height, platform::d3d8::FullScreenScaling scaling) {
        platform::d3d8::SetFullScreenScaling(scaling);
        if (!StartXServer()) return false;
        const HWND handle = StageWindow();
        SDL_Window* window = platform::SdlWindowFromHandle(handle);
        if (!window) return false;
        SDL_SetWindowSize(window, width, height);
        SDL_ShowWindow(window);
        SDL_PumpEvents();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        if (!d3d) return false;
        D3DPRESENT_PARAMETERS params = d3d_test::PresentParametersFor({}, handle, windowed);
        // Measure the work, not the retrace.
        params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, handle, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &params, &device)))
            return false;
        if (!windowed) {
            // The device made the window cover the whole screen; shrink it to the desktop
            // measured. (SDL keeps a full-screen window's size, so it leaves that state first.)
            SDL_SetWindowFullscreen(window, 0);
            SDL_SetWindowSize(window, width, height);
            SDL_PumpEvents();
            int shownWidth = 0, shownHeight = 0;
            SDL_GL_GetDrawableSize(window, &shownWidth, &shownHeight);
            if (shownWidth != width || shownHeight != height) return false;
        }
        if (FAILED(D3DXCreateSphere(device, 20.0f, 70, 70, &sphere, nullptr))) return false;
        SetUpView();
        return true;
    }
    void SetUpView() {
        D3DXMATRIX view, projection;
        const D3DXVECTOR3 eye(0, 60, -160), at(0, 0, 0), up(0, 1, 0);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, 0.8f, 640.0f / 480.0f, 1.0f, 1000.0f);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Direction = {0.3f, -1.0f, 0.5f};
        device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        D3DMATERIAL8 material{};
        material.Diffuse = material.Ambient = {0.2f, 0.8f, 0.3f, 1.0f};
        device->SetMaterial(&material);
    }
    void Frame() {
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        for (int hill = 0; hill < 4; ++hill) {
            D3DXMATRIX world;
            D3DXMatrixTranslation(&world, -75.0f + 50.0f * hill, 0.0f, 40.0f);
            device->SetTransform(D3DTS_WORLD, &world);
            sphere->DrawSubset(0);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        glFinish();
    }
    ~Stage() {
        if (sphere) sphere->Release();
        if (device) device->Release();
        if (d3d) d3d->Release();
    }
};

// CPU seconds the X server has used so far (user and system), from /proc.
double ServerCpuSeconds() {
    if (!server || server->pid() <= 0) return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(server->pid()));
    FILE* file = std::fopen(path, "r");
    if (!file) return 0;
    unsigned long user = 0, system = 0;
    // Fields 14 and 15; the command name (field 2) holds no spaces for Xvfb.
    const int read = std::fscanf(
        file, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system);
    std::fclose(file);
    return read == 2 ? double(user + system) / double(sysconf(_SC_CLK_TCK)) : 0;
}

void BM_Frame(benchmark::State& state, bool windowed, int width, int height,
              platform::d3d8::FullScreenScaling scaling) {
    Stage stage;
    if (!stage.Open(windowed, width, height, scaling)) {
        state.SkipWithError("no X server, window or device");
        return;
    }
    for (int i = 0; i < 5; ++i)
        stage.Frame();
    const double serverBefore = ServerCpuSeconds();
    for (auto _ : state)
        stage.Frame();
    state.counters["server_ms"] = 1e3 * (ServerCpuSeconds() - serverBefore) /
                                  double(std::max<int64_t>(state.iterations(), 1));
    platform::d3d8::SetFullScreenScaling(platform::d3d8::FullScreenScaling::ByRenderer);
}

using platform::d3d8::FullScreenScaling;
#define FRAME_BENCHMARK(name, ...)                                                                 \
    BENCHMARK_CAPTURE(BM_Frame, name, __VA_ARGS__)                                                 \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->MeasureProcessCPUTime()                                                                  \
        ->UseRealTime()                                                                            \
        ->MinTime(3.0) /* the server's CPU comes in 10 ms clock ticks: many frames */
// The picture fills 1024 x 768, 1200 x 900, 1440 x 1080 (filtered) and 1920 x 1440 (3x, whole
// pixels) of these desktops.
FRAME_BENCHMARK(windowed_640x480, true, 640, 480, FullScreenScaling::ByRenderer);
FRAME_BENCHMARK(full_screen_1366x768, false, 1366, 768, FullScreenScaling::ByRenderer);
FRAME_BENCHMARK(full_screen_1600x900, false, 1600, 900, FullScreenScaling::ByRenderer);
FRAME_BENCHMARK(full_screen_1920x1080, false, 1920, 1080, FullScreenScaling::ByRenderer);
FRAME_BENCHMARK(full_screen_2560x1440, false, 2560, 1440, FullScreenScaling::ByRenderer);
FRAME_BENCHMARK(full_screen_1920x1080_gl_scaling, false, 1920, 1080, FullScreenScaling::Gl);

} // namespace
