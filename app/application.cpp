// The Application: start-up, the fixed-rate tick and shut-down; WinMain and its message loop.
#include "app/application.h"

#include "shell/debug_log.h"
#include "app/drive_record.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "gfx/video_recording.h"
#include "input/input.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/scene.h"

#include <platform/d3d8/d3d8_linux.h>
#include <dinput.h>

// No init_priority: the process-wide meshes, textures and the texture cache are constructed
// before this object, so they are destroyed after Shutdown has run.
Application application;

Application::~Application() {
    Shutdown();
}

bool Application::Init(HINSTANCE instance) {
    DebugPrint("多重起動を禁止します.\n");

    mutex = CreateMutexA(nullptr, FALSE, "varn mutex");
    DWORD waitResult = WaitForSingleObject(mutex, 0);
    if (waitResult != WAIT_OBJECT_0 && waitResult != WAIT_ABANDONED) {
        ShowMessage("このプログラムは既に起動しています.\n");
        return false;
    }

    CoInitialize(nullptr);

    InitDebugStream();

    if (!CreateMainWindow(instance)) return false;

    if (!InitDirect3D()) return false;

    if (!InitDirectInput()) return false;

    StartFramePacing();

    frameCallback = RunFrame;
    return true;
}

namespace {

// F11, or Enter with an Alt key held. Keys the design leaves free, read from the tick's key
// sample as the other additions are.
bool WindowModeKeyPressed() {
    if (GetKey(DIK_F11) == 2) return true;
    return GetKey(DIK_RETURN) == 2 && (GetKey(DIK_LMENU) >= 2 || GetKey(DIK_RMENU) >= 2);
}

} // namespace

void SwitchWindowMode() {
    const bool toWindowed = !windowed;
    if (!platform::d3d8::SetWindowedPresentation(d3dDevice, toWindowed)) return;
    windowed = toWindowed ? 1 : 0;
    presentParams.Windowed = windowed;
    // What start-up gives each mode: the cursor only over a window, and in full screen a client
    // area of the mode's size. A window's own size comes with its next WM_SIZE.
    ShowCursor(windowed ? TRUE : FALSE);
    if (!windowed) {
        clientWidth = backBufferWidth;
        clientHeight = backBufferHeight;
    }
    DebugPrint(windowed ? "Display: in a window.\n" : "Display: full screen.\n");
}

void Application::Tick() {
    UpdateInput();
    if (windowModeKeys && WindowModeKeyPressed()) SwitchWindowMode();

    frameCallback();

    uint32_t now = timeGetTime();
    uint32_t elapsed = now - framePacing.nextTickTime;

    ++framePacing.rateCounter;
    if (framePacing.rateCounter >= 10) {
        uint32_t span = now - framePacing.rateMarkTime;
        // Ten ticks within one millisecond have no measurable rate: the last one stands.
        if (span != 0) framePacing.framesPerSecond = 10000.0f / static_cast<float>(span);
        framePacing.rateMarkTime = now;
        framePacing.rateCounter = 0;
    }

    uint32_t wait;
    ++framePacing.parityCounter;
    if (framePacing.parityCounter >= 2) {
        framePacing.parityCounter = 0;
        wait = framePacing.tickMs + framePacing.correctionMs;
    } else {
        wait = framePacing.tickMs;
    }

    if (elapsed < wait) {
        Sleep(wait - elapsed);
        framePacing.nextTickTime += wait;
    } else if (elapsed < 4 * wait) {
        framePacing.nextTickTime += wait;
    } else {
        framePacing.nextTickTime = now - wait;
    }

    if (afterTick) afterTick();
}

void Application::Shutdown() {
    FreeInput();
    FreeDirect3D();
    DestroyWindow(mainWindow);
    CoUninitialize();
    ReleaseMutex(mutex);
}

bool PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!application.Init(instance)) return 0;

    SetUpScene();
    if (application.beforeFirstTick) application.beforeFirstTick();
    StartDriveRecording();

    while (PumpMessages()) {
        if (appActive)
            application.Tick();
        else
            WaitMessage();
    }

    FinishVideoRecording();
    ShutDownScene();
    return 0;
}
