// What our additions draw over the picture, after the design's help and camera lines: a dimmed
// panel to keep text readable on any scene, and short notices that say what an action did. A
// session that never calls ShowNotice draws nothing from here.
#pragma once

#include <d3dx8.h>

#include <string>

// About two seconds at the 50 ms tick.
constexpr int kNoticeTicks = 40;

// A translucent rectangle in back-buffer pixels, over everything drawn so far. Puts back the
// states it changes (texture, depth test, blending); call it outside BeginText/EndText.
void DrawScreenPanel(float left, float top, float right, float bottom, D3DCOLOR color);

// What fits on the notice line at the font's 8 pixels a column (a Japanese character takes two).
constexpr int kNoticeColumns = 79;

// Shows `text` (one line) at the bottom of the picture for the next kNoticeTicks frames; a new
// notice replaces the one on screen. A text too long for the line keeps what stands before its
// path (or up to its first ": ") and its end, "..." between: the end of a path names the file.
void ShowNotice(const std::string& text);
// A path as the notice shows it: the home folder as "~".
std::string NoticePath(const std::string& path);
// The notice on screen, or "" when none is.
const std::string& CurrentNotice();
// Draws the notice while it is live and counts its frames down; once per drawn frame.
void DrawNotice();
