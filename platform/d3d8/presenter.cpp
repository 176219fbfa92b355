// Presentation of the Direct3D 8 stand-in.
// Implements: Present (the back buffer scaled into the window: stretched over the client area
// in windowed operation, fitted with its aspect kept on a black ground in full screen, then
// SDL_GL_SwapWindow), TestCooperativeLevel (lost while a full-screen window is minimised),
// and the back-buffer read-back of d3d8_linux.h.
// Limits: the dirty region and the override window of Present are ignored; a window of
// size zero (minimised) presents nothing and reports success.
#include "internal.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d8 {

HRESULT Device::TestCooperativeLevel() {
    if (Seams().cooperativeLevel) return Seams().cooperativeLevel();
    // A GL context keeps its resources, so the device is never in need of a reset here.
    if (!params_.Windowed && !context_->ownsWindow() &&
        (SDL_GetWindowFlags(context_->window()) & SDL_WINDOW_MINIMIZED))
        return D3DERR_DEVICELOST;
    return D3D_OK;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND, const void*) {
    if (inScene_) return D3DERR_INVALIDCALL;
    MakeCurrent();
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(context_->window(), &drawableWidth, &drawableHeight);
    if (drawableWidth <= 0 || drawableHeight <= 0) return D3D_OK;

    // Source in back-buffer rows from the top; GL counts from the bottom.
    LONG sx1 = 0, sy1 = 0, sx2 = static_cast<LONG>(width_), sy2 = static_cast<LONG>(height_);
    if (sourceRect) {
        sx1 = std::clamp<LONG>(sourceRect->left, 0, sx2);
        sy1 = std::clamp<LONG>(sourceRect->top, 0, sy2);
        sx2 = std::clamp<LONG>(sourceRect->right, sx1, sx2);
        sy2 = std::clamp<LONG>(sourceRect->bottom, sy1, sy2);
    }
    LONG dx1 = 0, dy1 = 0, dx2 = drawableWidth, dy2 = drawableHeight;
    if (destRect) {
        dx1 = destRect->left;
        dy1 = destRect->top;
        dx2 = destRect->right;
        dy2 = destRect->bottom;
    } else if (!params_.Windowed) {
        // Full screen without a mode switch: the picture as large as fits, aspect kept.
        const double scale = std::min(double(drawableWidth) / double(sx2 - sx1 ? sx2 - sx1 : 1),
                                      double(drawableHeight) / double(sy2 - sy1 ? sy2 - sy1 : 1));
        const LONG w = static_cast<LONG>((sx2 - sx1) * scale + 0.5);
        const LONG h = static_cast<LONG>((sy2 - sy1) * scale + 0.5);
        dx1 = (drawableWidth - w) / 2;
        dy1 = (drawableHeight - h) / 2;
        dx2 = dx1 + w;
        dy2 = dy1 + h;
    }

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glDisable(GL_SCISSOR_TEST);
    if (!params_.Windowed || destRect) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    const LONG h = static_cast<LONG>(height_);
    glBlitFramebuffer(sx1, h - sy2, sx2, h - sy1, dx1, drawableHeight - dy2, dx2,
                      drawableHeight - dy1, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    SDL_GL_SwapWindow(context_->window());
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return D3D_OK;
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

std::string RendererName(IDirect3DDevice8* device) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours ? ours->context().renderer() : std::string();
}

} // namespace platform::d3d8

bool ReadBackBuffer(IDirect3DDevice8* device, std::vector<uint8_t>& rgbaTopDownRows, UINT& width,
                    UINT& height) {
    rgbaTopDownRows.clear();
    width = height = 0;
    auto* ours = dynamic_cast<platform::d3d8::Device*>(device);
    if (!ours) return false;
    if (!ours->ReadBack(rgbaTopDownRows, width, height)) {
        rgbaTopDownRows.clear();
        width = height = 0;
        return false;
    }
    return true;
}
