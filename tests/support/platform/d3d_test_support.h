// Test seams for the Direct3D 8 stand-in: a real GL device on SDL's offscreen video driver (no
// window system needed) or on a window of the stand-in, the back buffer as pixels, and the
// stand-in's seams undone at the end of a test.
#pragma once

#include <d3d8.h>
#include <platform/d3d8/d3d8_linux.h>

#include <deque>
#include <vector>

namespace d3d_test {

// Points SDL at its offscreen driver (EGL) unless a video driver was chosen already. Call
// before the first SDL call of the process.
void UseOffscreenVideo();

struct Rgba {
    int r, g, b, a;
};

// The back buffer, top row first.
struct Picture {
    std::vector<uint8_t> rgba;
    UINT width = 0, height = 0;
    Rgba At(UINT x, UINT y) const;
    // Pixels whose colour is within `tolerance` of `colour` on r, g and b.
    int Count(Rgba colour, int tolerance = 2) const;
};
Picture ReadPicture(IDirect3DDevice8* device);

struct DeviceOptions {
    UINT width = 640, height = 480;
    D3DFORMAT backBuffer = D3DFMT_X8R8G8B8;
    D3DFORMAT depth = D3DFMT_D16; // D3DFMT_UNKNOWN: no depth buffer
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    DWORD behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
};

// A Direct3D object and a device on a hidden window of the stand-in's own.
class OffscreenDevice {
  public:
    explicit OffscreenDevice(const DeviceOptions& options = {});
    ~OffscreenDevice();
    OffscreenDevice(const OffscreenDevice&) = delete;
    OffscreenDevice& operator=(const OffscreenDevice&) = delete;

    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    HRESULT result = E_FAIL;
};

// Undoes every seam of the stand-in when it goes.
struct SeamReset {
    SeamReset() = default;
    ~SeamReset() { platform::d3d8::ResetSeams(); }
};

// TestCooperativeLevel answers from this list in order; the last answer repeats.
class ScriptedCooperativeLevel {
  public:
    explicit ScriptedCooperativeLevel(std::vector<HRESULT> results);
    ~ScriptedCooperativeLevel();
    int calls() const { return calls_; }

  private:
    std::deque<HRESULT> results_;
    HRESULT last_ = D3D_OK;
    int calls_ = 0;
};

D3DDISPLAYMODE Mode(UINT width, UINT height, D3DFORMAT format, UINT refresh = 60);

// What CreateDevice is asked for: one back buffer of the options' size and format, discarded
// when presented, for `window` (null: the stand-in's own hidden window).
D3DPRESENT_PARAMETERS PresentParametersFor(const DeviceOptions& options, HWND window = nullptr,
                                           BOOL windowed = TRUE);

// A 640 x 480 overlapped window with a black background, as the program opens, made through the
// Win32 stand-in; presentation is tested into it. Destroyed when it goes, unless already.
class TestWindow {
  public:
    TestWindow();
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    void Destroy();

    HWND handle = nullptr;
};

} // namespace d3d_test
