// The one top-level window and its window procedure.
#pragma once

#include <windows.h>

extern HWND mainWindow;
extern int clientWidth;
extern int clientHeight;
extern int appActive;
// Non-zero when the device runs in a window: the device set-up decides it, the window procedure
// and the cursor handling read it.
extern int windowed;

bool CreateMainWindow(HINSTANCE instance);
void FitClientSize();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RequestClose();
