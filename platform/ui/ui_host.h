// The panel's host: one Dear ImGui context drawn over the picture in the back buffer. Nothing
// exists until StartUi, so a program that never shows the panel never creates it.
#pragma once

#include <string>

namespace platform::ui {

// One tick's input, already in back-buffer pixels. `keys` are 256 DIK states (0x80 = down).
struct UiInput {
    int width = 0, height = 0;
    float mouseX = -1.0f, mouseY = -1.0f;
    bool mouseDown[3] = {};
    bool ctrl = false, shift = false;
    const unsigned char* keys = nullptr;
    std::string typed; // UTF-8 characters typed this tick
    float seconds = 0.05f;
};

// Creates the context with the face fontconfig gives for `faceName` at `pixelHeight`, holding
// the Latin glyphs and every character of `glyphText` (the panel's texts in the user's
// language). False with the reason when the face or the renderer cannot be had.
bool StartUi(const char* faceName, float pixelHeight, const std::string& glyphText,
             std::string& error);
bool UiStarted();
void BeginUi(const UiInput& input);
// Fills a rectangle of the back buffer (pixels from the top left) with one opaque colour just
// before the current window is drawn over it: a background at the cost of a clear, where the
// renderer would texture and blend every pixel of it. At most kMaxFills a frame.
constexpr int kMaxFills = 8;
void FillBehind(float x, float y, float width, float height, const float rgb[3]);
// Fills the current window's whole rectangle so. Such a window, filled nowhere else, that draws
// what it drew the frame before is copied from the pixels it left then, not drawn again.
void FillWindowBehind(const float rgb[3]);
// Draws what was built since BeginUi into the bound back buffer, leaving the GL state the
// stand-in relies on as it found it.
void EndUi();
// How many filled windows the last EndUi copied from their kept pixels rather than drew.
int UiWindowsReused();
// What the last frame built wants for itself: the pointer (over a window, or dragging in one)
// and the keyboard (a text field being typed into).
bool UiWantsMouse();
bool UiWantsText();
void StopUi();

} // namespace platform::ui
