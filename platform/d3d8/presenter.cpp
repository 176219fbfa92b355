// Presentation of the Direct3D 8 stand-in.
// Implements: Present (the back buffer scaled into the window: stretched over the client area
// in windowed operation; in full screen as large as the desktop holds it, aspect kept, filtered
// where the scale is not whole; only the bars around the picture are cleared; then
// SDL_GL_SwapWindow; full screen with a software GL driver is scaled by the X server instead,
// see server_scaling.h), TestCooperativeLevel (lost while a full-screen window is minimised),
// and the back-buffer read-back of d3d8_linux.h.
// Limits: the dirty region and the override window of Present are ignored; a window of
// size zero (minimised) presents nothing and reports success.
#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3d8/device_impl.h>
#include <platform/d3d8/presentation.h>
#include <platform/d3d8/seams.h>
#include <platform/d3d8/server_scaling.h>

#include <platform/win32/sdl_window.h>

#include <algorithm>
#include <cstring>

namespace platform::d3d8 {

HRESULT Device::TestCooperativeLevel() {
    if (Seams().cooperativeLevel) return Seams().cooperativeLevel();
    // A GL context keeps its resources, so the device is never in need of a reset here; it is
    // only lost while its full-screen window is out of sight. The window layer's own account
    // (an empty client area) counts as well as SDL's.
    if (params_.Windowed || !window_) return D3D_OK;
    SDL_Window* target = TargetWindow();
    if (target && (SDL_GetWindowFlags(target) & SDL_WINDOW_MINIMIZED)) return D3DERR_DEVICELOST;
    RECT client{};
    if (window_ && GetClientRect(window_, &client) &&
        (client.right <= client.left || client.bottom <= client.top))
        return D3DERR_DEVICELOST;
    return D3D_OK;
}

SDL_Window* Device::TargetWindow() const {
    return window_ ? SdlWindowFromHandle(window_) : context_->window();
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND, const void*) {
    if (inScene_) return D3DERR_INVALIDCALL;
    SDL_Window* target = TargetWindow();
    if (!target) return D3DERR_INVALIDCALL; // the program's window is gone
    MakeCurrent();
    glFlush();
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(target, &drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0) return D3D_OK;

    // Source in back-buffer rows from the top; GL counts from the bottom.
    LONG sx1 = 0, sy1 = 0, sx2 = static_cast<LONG>(width_), sy2 = static_cast<LONG>(height_);
    if (sourceRect) {
        sx1 = std::clamp<LONG>(sourceRect->left, 0, sx2);
        sy1 = std::clamp<LONG>(sourceRect->top, 0, sy2);
        sx2 = std::clamp<LONG>(sourceRect->right, sx1, sx2);
        sy2 = std::clamp<LONG>(sourceRect->bottom, sy1, sy2);
    }
    RECT dest;
    GLenum filter = GL_LINEAR;
    if (destRect) {
        dest = *destRect;
    } else if (params_.Windowed) {
        dest = PresentationRect(sx2 - sx1, sy2 - sy1, drawableWidth, drawableHeight, false);
    } else {
        // Full screen without a mode switch fills the screen as the display mode would, aspect
        // kept; a whole multiple copies whole pixels (sharp, and the cheapest copy there is).
        dest = FullScreenRect(sx2 - sx1, sy2 - sy1, drawableWidth, drawableHeight);
        if (IsWholeMultiple(sx2 - sx1, sy2 - sy1, dest)) filter = GL_NEAREST;
    }
    const LONG dx1 = dest.left, dy1 = dest.top, dx2 = dest.right, dy2 = dest.bottom;
    const LONG source[4] = {sx1, sy1, sx2, sy2};
    if (!params_.Windowed && !destRect &&
        PresentByServer(target, source, dest, drawableWidth, drawableHeight)) {
        framePresented_ = true;
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        return D3D_OK;
    }

    context_->MakeCurrentOn(target);
    if (!swapIntervalSet_) {
        // Full screen waits for the retrace (the default interval); a window presents at once,
        // as a windowed Direct3D 8 device copies without waiting.
        const bool immediate = params_.Windowed || params_.FullScreen_PresentationInterval ==
                                                       UINT(D3DPRESENT_INTERVAL_IMMEDIATE);
        SDL_GL_SetSwapInterval(immediate ? 0 : 1);
        swapIntervalSet_ = true;
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    if (!params_.Windowed || destRect) ClearOutside(dest, drawableWidth, drawableHeight);
    glDisable(GL_SCISSOR_TEST);
    const LONG h = static_cast<LONG>(height_);
    glBlitFramebuffer(sx1, h - sy2, sx2, h - sy1, dx1, drawableHeight - dy2, dx2,
                      drawableHeight - dy1, GL_COLOR_BUFFER_BIT, filter);
    SDL_GL_SwapWindow(target);
    framePresented_ = true;
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return D3D_OK;
}

bool Device::PresentByServer(SDL_Window* target, const LONG source[4], const RECT& dest,
                             int windowWidth, int windowHeight) {
    const FullScreenScaling choice = Seams().fullScreenScaling;
    if (choice == FullScreenScaling::Gl || serverScalingRefused_) return false;
    // A GPU scales for nothing and waits for the retrace; the server's way pays off where GL
    // itself runs on the CPU. The pixels are read upside down in one call where Mesa offers it.
    if (choice == FullScreenScaling::ByRenderer && !IsSoftwareRenderer(context_->renderer()))
        return false;
    const int width = static_cast<int>(width_), height = static_cast<int>(height_);
    if (!serverScaling_ || !serverScaling_->Serves(target, width, height)) {
        serverScaling_.reset();
        if (epoxy_has_gl_extension("GL_MESA_pack_invert"))
            serverScaling_ = ServerScaling::Create(target, width, height);
        if (!serverScaling_) {
            serverScalingRefused_ = true;
            return false;
        }
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(serverScaling_->pitch() / 4));
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 serverScaling_->pixels());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    const int sourceInts[4] = {int(source[0]), int(source[1]), int(source[2]), int(source[3])};
    const int destInts[4] = {int(dest.left), int(dest.top), int(dest.right), int(dest.bottom)};
    if (serverScaling_->Present(sourceInts, destInts, windowWidth, windowHeight)) return true;
    // The window went, or the server refused a request: GL takes over for good.
    serverScaling_.reset();
    serverScalingRefused_ = true;
    return false;
}

RECT PresentationRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                      LONG destinationHeight, bool keepAspect) {
    if (!keepAspect || sourceWidth <= 0 || sourceHeight <= 0)
        return RECT{0, 0, destinationWidth, destinationHeight};
    // Compare w * dh with dw * h in 64 bits: the side that limits the scale fills its extent.
    LONG width = destinationWidth, height = destinationHeight;
    if (int64_t(destinationWidth) * sourceHeight > int64_t(destinationHeight) * sourceWidth)
        width = static_cast<LONG>(int64_t(destinationHeight) * sourceWidth / sourceHeight);
    else
        height = static_cast<LONG>(int64_t(destinationWidth) * sourceHeight / sourceWidth);
    const LONG left = (destinationWidth - width) / 2, top = (destinationHeight - height) / 2;
    return RECT{left, top, left + width, top + height};
}

RECT FullScreenRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                    LONG destinationHeight) {
    return PresentationRect(sourceWidth, sourceHeight, destinationWidth, destinationHeight, true);
}

bool IsWholeMultiple(LONG sourceWidth, LONG sourceHeight, const RECT& dest) {
    const LONG width = dest.right - dest.left, height = dest.bottom - dest.top;
    return sourceWidth > 0 && sourceHeight > 0 && width % sourceWidth == 0 &&
           height % sourceHeight == 0 && width / sourceWidth == height / sourceHeight &&
           width >= sourceWidth;
}

// Black on the window's pixels that the picture does not cover, and nowhere else: clearing
// a whole desktop-size window costs more than the frame it frames.
void ClearOutside(const RECT& picture, LONG width, LONG height) {
    // GL rows count from the bottom.
    const LONG left = std::clamp<LONG>(picture.left, 0, width);
    const LONG right = std::clamp<LONG>(picture.right, left, width);
    const LONG top = std::clamp<LONG>(height - picture.bottom, 0, height);
    const LONG bottom = std::clamp<LONG>(height - picture.top, top, height);
    const LONG bars[4][4] = {{0, 0, width, top},
                             {0, bottom, width, height - bottom},
                             {0, top, left, bottom - top},
                             {right, top, width - right, bottom - top}};
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_SCISSOR_TEST);
    for (const auto& bar : bars) {
        if (bar[2] <= 0 || bar[3] <= 0) continue;
        glScissor(bar[0], bar[1], bar[2], bar[3]);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

bool Device::ReadBack(std::vector<uint8_t>& rgbaTopDown, UINT& width, UINT& height) {
    MakeCurrent();
    glFinish();
    std::vector<uint8_t> rows(size_t(width_) * height_ * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    while (glGetError() != GL_NO_ERROR) {
    }
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGBA,
                 GL_UNSIGNED_BYTE, rows.data());
    if (glGetError() != GL_NO_ERROR) return false;
    const size_t pitch = size_t(width_) * 4;
    rgbaTopDown.resize(rows.size());
    for (UINT y = 0; y < height_; ++y)
        std::memcpy(&rgbaTopDown[size_t(y) * pitch], &rows[size_t(height_ - 1 - y) * pitch], pitch);
    width = width_;
    height = height_;
    return true;
}

bool Device::ReadBackBottomUp(uint8_t* rgba, size_t bytes) {
    if (bytes != size_t(width_) * height_ * 4) return false;
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    while (glGetError() != GL_NO_ERROR) {
    }
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
    return glGetError() == GL_NO_ERROR;
}

std::string RendererName(IDirect3DDevice8* device) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours ? ours->context().renderer() : std::string();
}

bool Device::PictureInWindow(RECT& rect) const {
    SDL_Window* target = TargetWindow();
    if (!target) return false;
    int width = 0, height = 0;
    SDL_GetWindowSize(target, &width, &height);
    if (width <= 0 || height <= 0) return false;
    rect = params_.Windowed ? PresentationRect(LONG(width_), LONG(height_), width, height, false)
                            : FullScreenRect(LONG(width_), LONG(height_), width, height);
    return true;
}

bool PresentedPictureRect(IDirect3DDevice8* device, RECT& rect) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours && ours->PictureInWindow(rect);
}

bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgbaTopDownRows, UINT& width,
                    UINT& height) {
    rgbaTopDownRows.clear();
    width = height = 0;
    auto* ours = dynamic_cast<Device*>(device);
    if (!ours) return false;
    if (!ours->ReadBack(rgbaTopDownRows, width, height)) {
        rgbaTopDownRows.clear();
        width = height = 0;
        return false;
    }
    return true;
}

bool ReadBackBufferBottomUp(IDirect3DDevice8* device, uint8_t* rgbaBottomUpRows, size_t bytes) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours && ours->ReadBackBottomUp(rgbaBottomUpRows, bytes);
}

} // namespace platform::d3d8
