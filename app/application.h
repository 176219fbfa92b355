// The process-wide Application: start-up order, the message loop with its fixed tick, and the
// shut-down that runs at process exit.
#pragma once

#include <windows.h>

#include "shell/frame_pacing.h"

typedef void (*FrameCallback)();

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
    // Whether F11 and Alt+Enter switch between a window and full screen. The replay runner,
    // whose window nobody sees, turns them off.
    bool windowModeKeys = true;
    // Called once when the scene is set up, before the first tick, when set; the replay runner
    // moves a perturbed start here. A user's run leaves it empty.
    FrameCallback beforeFirstTick = nullptr;
};

extern Application application;

// Between a window and full screen: the device's presentation, `windowed`, the cursor and the
// client size follow. The back buffer stays as it is.
void SwitchWindowMode();

bool PumpMessages();
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
