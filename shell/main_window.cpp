// The one top-level window and its window procedure.
#include "shell/main_window.h"

#include "shell/debug_log.h"

HWND mainWindow = nullptr;
int clientWidth = 0;
int clientHeight = 0;
int appActive = 0;
int windowed = 0;

bool CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass;
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "VARN_CLASS";
    windowClass.hIconSm = nullptr;
    RegisterClassExA(&windowClass);

    HWND window = CreateWindowExA(0, "VARN_CLASS", "Koltrep", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  GetDesktopWindow(), nullptr, instance, nullptr);
    if (window == nullptr) return false;

    mainWindow = window;
    clientWidth = 640;
    clientHeight = 480;
    FitClientSize();
    appActive = 1;
    return true;
}

void FitClientSize() {
    RECT rect = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_STYLE)),
                       GetMenu(mainWindow) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(mainWindow, GWL_EXSTYLE)));
    SetWindowPos(mainWindow, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (windowed) {
            RECT rect;
            GetClientRect(mainWindow, &rect);
            clientWidth = rect.right - rect.left;
            clientHeight = rect.bottom - rect.top;
            DebugPrint("<クライアント領域 %d x %d>\n", clientWidth, clientHeight);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(mainWindow, &paint);
        EndPaint(mainWindow, &paint);
        return 0;
    }
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATEAPP:
        appActive = static_cast<int>(wParam);
        DebugPrint(wParam ? "<アクティブ>\n" : "<非アクティブ>\n");
        return 0;
    case WM_DISPLAYCHANGE:
        DebugPrint("<ディスプレイモードの変更>\n");
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 1;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_IME_SETCONTEXT:
        SendMessageA(ImmGetDefaultIMEWnd(window), WM_CLOSE, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void RequestClose() {
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
}
