// Full-screen presentation scaled by the X server, private to the Direct3D 8 stand-in.
// With a software GL driver every pixel of a scaled picture, and every pixel of a desktop-size
// window handed to X, costs the program's own CPU: at 1920 x 1080 that is three times the frame
// it shows. Here the back buffer travels to the server at its own size (shared memory where the
// server offers it) and the RENDER extension scales it into the window by any factor, so the
// program pays for 640 x 480 pixels whatever the desktop. A whole multiple is copied pixel for
// pixel; any other scale, a shrink included, is filtered bilinearly.
// Limits: X11 with RENDER only; no retrace wait (a software driver has none to offer either).
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::d3d8 {

class ServerScaling {
  public:
    // Null where the window is not on X11, the server lacks RENDER or a 24-bit true-colour
    // visual, or any set-up request fails: the caller then scales with GL.
    static std::unique_ptr<ServerScaling> Create(SDL_Window* window, int width, int height);
    ~ServerScaling();
    ServerScaling(const ServerScaling&) = delete;
    ServerScaling& operator=(const ServerScaling&) = delete;

    bool Serves(SDL_Window* window, int width, int height) const {
        return window == window_ && width == width_ && height == height_;
    }
    // Where the caller writes the picture: 32-bit pixels (blue in the lowest byte), top row
    // first, rows pitch() bytes apart.
    uint8_t* pixels() const { return pixels_; }
    size_t pitch() const { return pitch_; }

    // Shows the pixels' source rectangle (left, top, right, bottom) scaled onto the window's
    // rectangle `dest` (left, top, right, bottom), and black on the rest of a window of the
    // given size. Returns once the server has drawn it, so the pixels may be written again;
    // false on an X error, after which this object is of no further use.
    bool Present(const int source[4], const int dest[4], int windowWidth, int windowHeight);

  private:
    struct X;
    ServerScaling();
    void FillBars(int left, int top, int width, int height, int windowWidth, int windowHeight);

    std::unique_ptr<X> x_;
    SDL_Window* window_ = nullptr;
    int width_ = 0, height_ = 0;
    int scaledFor_[4] = {0, 0, 0, 0};        // the source and destination sizes of the transform
    int barsDrawnFor_[4] = {-1, -1, -1, -1}; // picture's left and top, window's size
    uint8_t* pixels_ = nullptr;
    size_t pitch_ = 0;
};

} // namespace platform::d3d8
