// The fixed tick's pacing state and its start.
#include "shell/frame_pacing.h"

#include <windows.h>

FramePacing framePacing;

void StartFramePacing() {
    framePacing.tickMs = 50;
    framePacing.correctionMs = 0;
    framePacing.rateCounter = 0;
    framePacing.parityCounter = 0;
    framePacing.nextTickTime = timeGetTime();
    framePacing.rateMarkTime = framePacing.nextTickTime;
    framePacing.framesPerSecond = 20.0f;
}
