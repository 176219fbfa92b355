// Keyboard, mouse and game controllers through DirectInput: the per-tick key status, the
// pointer position, lost-access recovery and the close key.
#pragma once

#include <dinput.h>

// Controller slots; the enumeration stops when they are all used.
constexpr int kMaxJoysticks = 8;

extern IDirectInput8A* directInput;
extern IDirectInputDevice8A* keyboardDevice;
extern IDirectInputDevice8A* mouseDevice;
extern IDirectInputDevice8A* joystickDevices[kMaxJoysticks];
extern int joystickCount;
extern BYTE keyState[256];
extern BYTE prevKeyState[256];
extern BYTE closeKey;
extern POINT mousePos;
// The mouse buttons of the tick's sample (0x80 = down): left, right, middle, fourth.
extern BYTE mouseButtons[4];

bool InitDirectInput();
void FreeInput();
void UpdateInput();
int GetKey(int key);
POINT GetMousePos();
void SetMousePos(int x, int y);
void ClearInput();
void ShowMessage(const char* text);
void SetCloseKey(int key);
