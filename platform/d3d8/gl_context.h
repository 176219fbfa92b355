// Private to the Direct3D 8 stand-in: the GL context behind a device, and the start-up helpers
// that come with making one.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

namespace platform::d3d8 {

// Starts SDL's video subsystem unless it runs already; it is never stopped from here.
bool StartVideo();

// Why a creation failed, for whoever runs the program: one line on stderr (the program's own
// log records only what the program itself decides to write).
void ReportProblem(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A GL 2.1 compatibility context on a hidden SDL window of its own.
class GlContext {
  public:
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // nullptr with `error` set when no usable context can be made. `software` asks Mesa for its
    // software rasteriser.
    static std::unique_ptr<GlContext> Create(bool software, std::string& error);
    // Current, on its own window unless it is current on the window it last presented in:
    // all drawing goes to the back-buffer object, so either serves, and staying on the
    // program's window keeps the GL driver from dropping and re-making that window's buffers
    // (a full-screen window's are large) at every present.
    void MakeCurrent();
    // Current on the program's window, to present there.
    void MakeCurrentOn(SDL_Window* target);

    SDL_Window* window() const { return window_; }
    const std::string& renderer() const { return renderer_; }
    // Whether glColorPointer takes GL_BGRA, so D3DCOLOR arrays need no conversion.
    bool bgraColorArrays() const { return bgraColorArrays_; }
    bool provokingVertex() const { return provokingVertex_; }

  private:
    GlContext() = default;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_Window* presenting_ = nullptr; // the window of the last present, while current on it
    std::string renderer_;
    bool bgraColorArrays_ = false;
    bool provokingVertex_ = false;
};

// The renderer text that counts for the accelerated / software decision (seam aware).
std::string EffectiveRendererName(const GlContext& context);

} // namespace platform::d3d8
