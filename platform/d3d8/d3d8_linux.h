// Linux extensions of the Direct3D 8 stand-in: reading the back buffer back (screenshots, the
// replay runner, rendering tests) and the seams through which tests replace what the machine
// would otherwise decide (adapters, device creation, the cooperative level, the GL renderer).
//
// Every seam is process-wide and stays installed until reset; ResetSeams() puts them all back.
#pragma once

#include <d3d8.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::d3d8 {

// The back buffer as 8-bit RGBA, first row at the top (as Direct3D addresses it). False when
// the device is not one of ours or the read fails; the outputs are then left empty / zero.
bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgbaTopDownRows, UINT& width,
                    UINT& height);
// The same straight into the caller's `bytes` bytes (width x height x 4) with the last row
// first, as GL keeps it: no copy and no allocation, for a reader of every frame (a video).
// False when the device is not ours, the size is not the back buffer's, or the read fails.
bool ReadBackBufferBottomUp(IDirect3DDevice8* device, uint8_t* rgbaBottomUpRows, size_t bytes);

// Switches a device of ours between windowed and full-screen presentation, as a program's
// switch between its window and a display mode would, while the device stays as it is: its back
// buffer, resources and state. Full screen covers the desktop with the borderless window and
// fills it with the picture, aspect kept; windowed gives the window back its frame, place and
// size and stretches the picture over it. False for a device that is not ours or has no window.
bool SetWindowedPresentation(IDirect3DDevice8* device, bool windowed);

// Where Present puts the back buffer in the device's window, in window coordinates: the whole
// client area in a window, the centred rectangle between the bars in full screen. A pointer is
// mapped into the picture through it. False for a device that is not ours or has no window.
bool PresentedPictureRect(IDirect3DDevice8* device, RECT& rect);

// An adapter as IDirect3D8 reports it, for start-up tests that need a machine they do not have.
// A device created on a simulated adapter still renders through the first real SDL display.
struct SimulatedAdapter {
    std::string description = "Simulated Adapter";
    std::string driver = "simulated";
    D3DDISPLAYMODE desktop{1024, 768, 60, D3DFMT_X8R8G8B8};
    std::vector<D3DDISPLAYMODE> modes;
};
// Replaces the SDL displays for every IDirect3D8 created afterwards (and the live ones).
// An empty list goes back to the real displays.
void SetSimulatedAdapters(std::vector<SimulatedAdapter> adapters);

// Device kinds as the creation attempts name them: "TnLHAL", "HAL", "REF".
enum class DeviceKind { TnLHal, Hal, Ref };
// Makes CreateDevice fail for the given kind (with D3DERR_NOTAVAILABLE) before it touches GL.
void SetDeviceCreationFailure(DeviceKind kind, bool fail);

// Replaces what TestCooperativeLevel asks the window: each call returns the script's result.
// nullptr restores the window-state answer.
void SetCooperativeLevelScript(std::function<HRESULT()> script);

// The GL_RENDERER text that decides whether a context counts as accelerated (TnLHAL needs one,
// REF needs a software one). std::nullopt goes back to asking GL.
void SetRendererNameOverride(std::optional<std::string> name);

// Adjusts what GetDeviceCaps reports (e.g. a device that takes square textures only), for
// tests of the capability report. nullptr reports the GL limits as they are.
void SetCapsAdjustment(std::function<void(D3DCAPS8&)> adjust);

// Who scales the picture into a desktop-size full-screen window: by default the X server for a
// software GL driver (which would pay for every window pixel itself) and GL otherwise; tests and
// benchmarks pin one way to compare the two.
enum class FullScreenScaling { ByRenderer, Gl, Server };
void SetFullScreenScaling(FullScreenScaling scaling);

// Whether a GL_RENDERER text names a software rasteriser (llvmpipe, softpipe, swrast).
bool IsSoftwareRenderer(const std::string& rendererName);

// The GL_RENDERER text of a device of ours ("" for anything else).
std::string RendererName(IDirect3DDevice8* device);

// Undoes every seam above.
void ResetSeams();

} // namespace platform::d3d8
