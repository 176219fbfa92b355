// Plot lines with no more points than their pixels show.
#include "sim/plot_line.h"

#include <algorithm>
#include <cmath>

// Drops the points a line through its neighbours would pass within half a pixel of, so that a
// line costs a segment per bend it shows rather than per sample: with a software rasteriser
// every segment is two triangles to set up. The kept line stays within half a pixel of every
// dropped sample: of the chords from the last kept point, only those that pass every dropped
// point so closely are taken (their slopes narrow as the chord grows).
int KeepVisiblePoints(ImVec2* points, int count) {
    constexpr float kHalfPixel = 0.5f;
    if (count < 3) return count;
    // points[0, kept) are kept; the last of them, sample `anchor`, starts the chord.
    int kept = 1, anchor = 0;
    ImVec2 from = points[0];
    float lowest = -INFINITY, highest = INFINITY;
    for (int i = 1; i < count; ++i) {
        const float dx = points[i].x - from.x;
        const float slope = (points[i].y - from.y) / dx;
        if (i > anchor + 1 && (slope < lowest || slope > highest)) {
            // The chord to i would leave a dropped point: the one before i starts the next.
            anchor = i - 1;
            from = points[anchor];
            points[kept++] = from;
            lowest = -INFINITY;
            highest = INFINITY;
            --i;
            continue;
        }
        const float a = (points[i].y - kHalfPixel - from.y) / dx;
        const float b = (points[i].y + kHalfPixel - from.y) / dx;
        lowest = std::max(lowest, std::min(a, b));
        highest = std::min(highest, std::max(a, b));
    }
    points[kept++] = points[count - 1];
    return kept;
}
