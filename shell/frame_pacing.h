// The fixed tick's pacing state. It sits below the rest of the program with the window and the
// log, since the camera reads the measured rate.
#pragma once

#include <cstdint>

struct FramePacing {
    uint32_t tickMs;
    uint32_t correctionMs;
    int32_t rateCounter;
    int32_t parityCounter;
    uint32_t nextTickTime;
    uint32_t rateMarkTime;
    float framesPerSecond;
};

extern FramePacing framePacing;
// Measured ticks per second, read by the camera; it lives in the pacing state.
inline float& framesPerSecond = framePacing.framesPerSecond;

// The pacing state start-up leaves: a 50 ms tick from now, the rate taken as 20 per second.
void StartFramePacing();
