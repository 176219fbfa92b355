// The process-wide Application: start-up order, the message loop with its fixed tick, and the
// shut-down that runs at process exit.
#pragma once

#include <windows.h>

#include <cstdint>

typedef void (*FrameCallback)();

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

class Application {
  public:
    Application() = default;
    ~Application();
    bool Init(HINSTANCE instance);
    void Tick();
    void Shutdown();

    HANDLE mutex = nullptr;
    FrameCallback frameCallback = nullptr;
    // Called at the end of every tick when set; the replay runner writes its trace and frames
    // here. A user's run leaves it empty.
    FrameCallback afterTick = nullptr;
};

extern Application application;

bool PumpMessages();
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
