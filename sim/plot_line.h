// A plot's line thinned to what its pixels show.
#pragma once

#include <imgui.h>

// Keeps, in place and in order, the points of a line whose x strictly rise or strictly fall that
// it needs to pass within half a pixel of every one of them; the first and the last are always
// kept. Returns how many are kept.
int KeepVisiblePoints(ImVec2* points, int count);
