// The kept pixels live in a renderbuffer of their own; both copies are framebuffer blits of
// the same size, which the driver does as plain copies rather than drawing.
#include "platform/ui/window_cache.h"

#include <algorithm>
#include <cstring>

namespace platform::ui {

namespace {

// The fill's rectangle within the back buffer, in GL's pixels (origin at the bottom left):
// pixels outside the buffer exist in neither copy.
struct GlRect {
    int x0, y0, x1, y1;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

GlRect InBuffer(const Placement& at) {
    const int bottom = at.bufferHeight - at.top - at.height;
    return GlRect{std::max(at.left, 0), std::max(bottom, 0),
                  std::min(at.left + at.width, at.bufferWidth),
                  std::min(bottom + at.height, at.bufferHeight)};
}

bool SameCommand(const ImDrawCmd& a, const ImDrawCmd& b) {
    return a.ClipRect.x == b.ClipRect.x && a.ClipRect.y == b.ClipRect.y &&
           a.ClipRect.z == b.ClipRect.z && a.ClipRect.w == b.ClipRect.w &&
           a.TextureId == b.TextureId && a.VtxOffset == b.VtxOffset && a.IdxOffset == b.IdxOffset &&
           a.ElemCount == b.ElemCount && a.UserCallback == b.UserCallback;
}

template <typename T> bool SameBytes(const ImVector<T>& a, const ImVector<T>& b) {
    return a.Size == b.Size && (a.Size == 0 || std::memcmp(a.Data, b.Data, a.size_in_bytes()) == 0);
}

// A blit between the back buffer and the kept pixels, with the scissor (which blits obey) off
// and the bindings given back as they were.
void Blit(GLuint from, GLuint to, const GlRect& source, const GlRect& target) {
    GLint read = 0, draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from != 0 ? from : GLuint(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to != 0 ? to : GLuint(draw));
    glBlitFramebuffer(source.x0, source.y0, source.x1, source.y1, target.x0, target.y0, target.x1,
                      target.y1, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

} // namespace

bool WindowCache::SameAsKept(const ImDrawList& list, const Placement& at) const {
    if (!kept_ || at != at_ || list.CmdBuffer.Size != commands_.Size) return false;
    for (int i = 0; i < commands_.Size; ++i)
        if (!SameCommand(list.CmdBuffer[i], commands_[i])) return false;
    return SameBytes(list.VtxBuffer, vertices_) && SameBytes(list.IdxBuffer, indices_);
}

bool WindowCache::Show(const ImDrawList& list, const Placement& at) {
    if (!SameAsKept(list, at)) return false;
    const GlRect target = InBuffer(at);
    if (target.Empty()) return true;
    const GlRect source{0, 0, target.x1 - target.x0, target.y1 - target.y0};
    Blit(framebuffer_, 0, source, target);
    return true;
}

void WindowCache::Keep(const ImDrawList& list, const Placement& at) {
    kept_ = false;
    for (const ImDrawCmd& command : list.CmdBuffer)
        if (command.UserCallback != nullptr) return; // what a callback draws cannot be compared
    const GlRect source = InBuffer(at);
    if (!source.Empty()) {
        if (!Storage(source.x1 - source.x0, source.y1 - source.y0)) return;
        Blit(0, framebuffer_, source, GlRect{0, 0, source.x1 - source.x0, source.y1 - source.y0});
    }
    vertices_ = list.VtxBuffer;
    indices_ = list.IdxBuffer;
    commands_ = list.CmdBuffer;
    at_ = at;
    kept_ = true;
}

// Grows the kept pixels' storage to hold a rectangle; it never shrinks, since a window that
// resizes as it is used would otherwise reallocate every time.
bool WindowCache::Storage(int width, int height) {
    if (width <= storedWidth_ && height <= storedHeight_) return true;
    GLint renderbuffer = 0, read = 0, draw = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    if (renderbuffer_ == 0) glGenRenderbuffers(1, &renderbuffer_);
    if (framebuffer_ == 0) glGenFramebuffers(1, &framebuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, std::max(width, storedWidth_),
                          std::max(height, storedHeight_));
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer_);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindRenderbuffer(GL_RENDERBUFFER, GLuint(renderbuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
    if (!complete) {
        Release();
        return false;
    }
    storedWidth_ = std::max(width, storedWidth_);
    storedHeight_ = std::max(height, storedHeight_);
    return true;
}

void WindowCache::Release() {
    if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
    if (renderbuffer_ != 0) glDeleteRenderbuffers(1, &renderbuffer_);
    framebuffer_ = renderbuffer_ = 0;
    storedWidth_ = storedHeight_ = 0;
    kept_ = false;
}

} // namespace platform::ui
