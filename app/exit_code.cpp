// The process exit code after WinMain.
#include "app/exit_code.h"

#include <windows.h>

#include "app/application.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"

int ExitCodeAfterWinMain() {
    if (application.frameCallback != nullptr) return kExitNormal;
    // The class is registered by the window creation, the step right after the mutex.
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExA(GetModuleHandleA(nullptr), "VARN_CLASS", &windowClass))
        return kExitAlreadyRunning;
    if (mainWindow == nullptr) return kExitNoWindow;
    if (d3dDevice == nullptr) return kExitNoDirect3D;
    return kExitNoDirectInput;
}
