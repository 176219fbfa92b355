// Test seams for the Direct3D 8 stand-in and the device module: a real GL device on SDL's
// offscreen video driver (no window system needed), the back buffer as pixels, the stand-in's
// seams undone at the end of a test, and a command line for HasOption.
#pragma once

#include <d3d8.h>
#include <platform/d3d8/d3d8_linux.h>

#include <deque>
#include <string>
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

// Holds an argument vector for HasOption while it lives ("koltrep" is argument 0).
class CommandLine {
  public:
    explicit CommandLine(std::vector<std::string> options = {});
    ~CommandLine();

  private:
    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

D3DDISPLAYMODE Mode(UINT width, UINT height, D3DFORMAT format, UINT refresh = 60);

// The program's presentation parameters (640 x 480, 32-bit colour, 16-bit depth) for a device
// on `window`, windowed or full screen.
D3DPRESENT_PARAMETERS ProgramPresentParameters(HWND window, BOOL windowed);

} // namespace d3d_test
