// Full-screen presentation against windowed presentation, in one run on a private Xvfb whose
// screen holds the largest size measured. Each frame draws the four hills (the 70 x 70 sphere,
// lit) between BeginScene and Present, so the figure is a frame of real drawing plus its
// presentation; the windowed frame (640 x 480 window) is the baseline. CPU is the whole
// process's: Mesa's rasteriser threads do most of the scaling.
#include <benchmark/benchmark.h>

#include "app/main_window.h"
#include "tests/support/d3d_test_support.h"
#include "tests/support/win32_test_support.h"

#include <d3d8.h>
#include <d3dx8.h>
#include <platform/win32/sdl_window.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdlib>

namespace {

using win32_test::XServer;

// An Xvfb of this process's own, as large as the largest picture measured; SDL goes to it.
bool StartXServer() {
    static const bool started = [] {
        static auto* server = new XServer("2560x1440x24"); // lives as long as the process
        if (server->display().empty()) return false;
        setenv("DISPLAY", server->display().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        return true;
    }();
    return started;
}

struct Stage {
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    ID3DXMesh* sphere = nullptr;

    bool Open(bool windowed, int width, int height) {
        if (!StartXServer() || (!mainWindow && !CreateMainWindow(nullptr))) return false;
        SDL_Window* window = platform::SdlWindowFromHandle(mainWindow);
        if (!window) return false;
        SDL_SetWindowSize(window, width, height);
        SDL_ShowWindow(window);
        SDL_PumpEvents();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        if (!d3d) return false;
        D3DPRESENT_PARAMETERS params = d3d_test::ProgramPresentParameters(mainWindow, windowed);
        // Measure the work, not the retrace.
        params.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, mainWindow,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device)))
            return false;
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

void BM_Frame(benchmark::State& state, bool windowed, int width, int height) {
    Stage stage;
    if (!stage.Open(windowed, width, height)) {
        state.SkipWithError("no X server, window or device");
        return;
    }
    for (int i = 0; i < 5; ++i)
        stage.Frame();
    for (auto _ : state)
        stage.Frame();
}
BENCHMARK_CAPTURE(BM_Frame, windowed_640x480, true, 640, 480)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Frame, full_screen_1920x1080, false, 1920, 1080)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Frame, full_screen_2560x1440, false, 2560, 1440)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace
