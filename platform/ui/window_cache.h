// An opaque window's pixels, kept while what it draws stays the same. A software rasteriser
// spends most of the panel's time blending glyphs and frames that are identical tick after
// tick; one copy of the kept rectangle gives the same pixels for a fraction of that.
#pragma once

#include <epoxy/gl.h>

#include "imgui.h"

namespace platform::ui {

// Where a window's opaque fill lies: a rectangle in pixels from the top left of a back buffer
// of the given size.
struct Placement {
    int left = 0, top = 0, width = 0, height = 0;
    int bufferWidth = 0, bufferHeight = 0;
    ImU32 colour = 0;
    bool operator==(const Placement&) const = default;
};

class WindowCache {
  public:
    WindowCache() = default;
    WindowCache(const WindowCache&) = delete;
    WindowCache& operator=(const WindowCache&) = delete;

    // True when `list` drawn over its fill at `at` is what was kept: the kept pixels are then
    // copied into the bound back buffer and the list need not be drawn.
    bool Show(const ImDrawList& list, const Placement& at);
    // After `list` was drawn over its fill: keeps the rectangle's pixels and what they show.
    void Keep(const ImDrawList& list, const Placement& at);
    // Drops what was kept, for another window to keep its own.
    void Forget() { kept_ = false; }
    // Deleting GL names needs the context, so the host calls this while it is current.
    void Release();

  private:
    bool SameAsKept(const ImDrawList& list, const Placement& at) const;
    bool Storage(int width, int height);

    GLuint renderbuffer_ = 0, framebuffer_ = 0;
    int storedWidth_ = 0, storedHeight_ = 0;
    bool kept_ = false;
    Placement at_;
    ImVector<ImDrawVert> vertices_;
    ImVector<ImDrawIdx> indices_;
    ImVector<ImDrawCmd> commands_;
};

} // namespace platform::ui
