// Keyboard, mouse and game controllers through DirectInput: the per-tick key status, the pointer
// position, lost-access recovery and the close key.
#include "input/input.h"

#include <platform/i18n/i18n.h>

#include "shell/debug_log.h"
#include "shell/main_window.h"
#include "input/gamepad.h"

#include <cstring>
#include <string>

IDirectInput8A* directInput = nullptr;
IDirectInputDevice8A* keyboardDevice = nullptr;
IDirectInputDevice8A* mouseDevice = nullptr;
IDirectInputDevice8A* joystickDevices[kMaxJoysticks] = {};
int joystickCount = 0;
BYTE closeKey = 0;
POINT mousePos = {0, 0};
BYTE mouseButtons[4] = {};

// The error boxes' texts are the catalogue's ids; MessageBoxA shows them in the user's language.
static void ShowError(const char* text) {
    MessageBoxA(GetActiveWindow(), text, N_("エラー"), MB_SYSTEMMODAL);
}

// What each failing step of a system device's set-up says.
struct DeviceErrors {
    const char* create;
    const char* format;
    const char* cooperativeLevel;
};

static const DeviceErrors keyboardErrors = {
    N_("キーボードデバイスが作成できません."),
    N_("キーボードフォーマットが設定できません."),
    N_("キーボードの協調レベルが設定できません."),
};

static const DeviceErrors mouseErrors = {
    N_("マウスデバイスが作成できません."),
    N_("マウスフォーマットが設定できません."),
    N_("マウスの協調レベルが設定できません."),
};

// Creates a system device, sets its format and cooperative level, and acquires it; a failing
// step shows its error.
static bool InitSystemDevice(REFGUID guid, const DIDATAFORMAT& format,
                             IDirectInputDevice8A*& device, const DeviceErrors& errors) {
    if (FAILED(directInput->CreateDevice(guid, &device, nullptr))) {
        ShowError(errors.create);
        return false;
    }
    if (FAILED(device->SetDataFormat(&format))) {
        ShowError(errors.format);
        return false;
    }
    if (FAILED(device->SetCooperativeLevel(mainWindow, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))) {
        ShowError(errors.cooperativeLevel);
        return false;
    }
    device->Acquire();
    return true;
}

static bool InitKeyboard() {
    if (!InitSystemDevice(GUID_SysKeyboard, c_dfDIKeyboard, keyboardDevice, keyboardErrors))
        return false;
    SetCloseKey(DIK_ESCAPE);
    return true;
}

static bool InitMouse() {
    if (!InitSystemDevice(GUID_SysMouse, c_dfDIMouse, mouseDevice, mouseErrors)) return false;
    if (!windowed) ShowCursor(FALSE);
    SetMousePos(clientWidth / 2, clientHeight / 2);
    return true;
}

static BOOL CALLBACK EnumJoysticksCallback(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    // The enumeration is asked to stop at the last slot; never write past it even if it doesn't.
    if (joystickCount >= kMaxJoysticks) return DIENUM_STOP;
    if (directInput->CreateDevice(instance->guidInstance, &joystickDevices[joystickCount],
                                  nullptr) != DI_OK)
        DebugPrint("ジョイスティック[%d]が初期化できません.\n", joystickCount);
    joystickCount++;
    return joystickCount >= kMaxJoysticks ? DIENUM_STOP : DIENUM_CONTINUE;
}

static BOOL CALLBACK EnumAxesCallback(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID context) {
    int slot = (int)(intptr_t)context;
    DIPROPRANGE range;
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = object->dwType;
    range.diph.dwHow = DIPH_BYID;
    range.lMin = -1000;
    range.lMax = +1000;
    joystickDevices[slot]->SetProperty(DIPROP_RANGE, &range.diph);
    return DIENUM_CONTINUE;
}

static void InitJoysticks() {
    joystickCount = 0;
    directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoysticksCallback, nullptr,
                             DIEDFL_ATTACHEDONLY);
    if (joystickCount == 0) return;
    DebugPrint("ジョイスティック数 = %d\n", joystickCount);
    for (int i = 0; i < joystickCount; i++) {
        IDirectInputDevice8A* device = joystickDevices[i];
        if (!device) continue;
        if (device->SetDataFormat(&c_dfDIJoystick2) != DI_OK) {
            DebugPrint("ジョイスティック[%d]のフォーマットが指定できません.\n", i);
            continue;
        }
        if (device->SetCooperativeLevel(mainWindow, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND) !=
            DI_OK) {
            DebugPrint("ジョイスティック[%d]の協調レベルが設定できません.\n", i);
            continue;
        }
        if (device->EnumObjects(EnumAxesCallback, (LPVOID)(intptr_t)i, DIDFT_AXIS) != DI_OK) {
            DebugPrint("ジョイスティック[%d]の軸の列挙ができません.\n", i);
            continue;
        }
        device->Acquire();
    }
}

bool InitDirectInput() {
    DebugSeparator();
    DebugPrint("InitDirectInput\n");
    if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION,
                                  IID_IDirectInput8A, (LPVOID*)&directInput, nullptr))) {
        ShowError("DirectInputが初期化できませんでした.");
        return false;
    }
    if (!InitKeyboard()) return false;
    if (!InitMouse()) return false;
    InitJoysticks();
    return true;
}

void FreeInput() {
    DebugSeparator();
    DebugPrint("FreeInput\n");
    for (int i = 0; i < joystickCount && i < kMaxJoysticks; i++) {
        if (joystickDevices[i]) joystickDevices[i]->Unacquire();
        if (joystickDevices[i]) {
            joystickDevices[i]->Release();
            joystickDevices[i] = nullptr;
        }
    }
    if (mouseDevice) {
        mouseDevice->Unacquire();
        mouseDevice->Release();
        mouseDevice = nullptr;
    }
    if (keyboardDevice) {
        keyboardDevice->Unacquire();
        keyboardDevice->Release();
        keyboardDevice = nullptr;
    }
    if (directInput) {
        directInput->Release();
        directInput = nullptr;
    }
}

void UpdateInput() {
    // Keyboard. Without a keyboard device (no successful start-up) every key reads as up.
    memcpy(prevKeyState, keyState, sizeof(keyState));
    HRESULT result = keyboardDevice ? keyboardDevice->GetDeviceState(sizeof(keyState), keyState)
                                    : DIERR_NOTINITIALIZED;
    if (FAILED(result)) {
        memset(keyState, 0, sizeof(keyState));
        if (result == DIERR_INPUTLOST) {
            DebugPrint("キーボードのアクセス権を失いました.\n");
            keyboardDevice->Acquire();
        }
    }

    AddGamepadKeys();

    // Pointer.
    GetCursorPos(&mousePos);
    if (windowed) {
        ScreenToClient(mainWindow, &mousePos);
        if (mousePos.x < 0) mousePos.x = 0;
        if (mousePos.x > clientWidth) mousePos.x = clientWidth;
        if (mousePos.y < 0) mousePos.y = 0;
        if (mousePos.y > clientHeight) mousePos.y = clientHeight;
    }

    // Mouse device: its buttons (the hand and the panel), and lost access.
    std::memset(mouseButtons, 0, sizeof mouseButtons);
    if (mouseDevice) {
        DIMOUSESTATE mouseState;
        const HRESULT mouseResult = mouseDevice->GetDeviceState(sizeof(mouseState), &mouseState);
        if (SUCCEEDED(mouseResult))
            std::memcpy(mouseButtons, mouseState.rgbButtons, sizeof mouseButtons);
        if (mouseResult == DIERR_INPUTLOST) {
            DebugPrint("マウスのアクセス権を失いました.\n");
            mouseDevice->Acquire();
        }
    }

    // Close key.
    if (keyState[closeKey] & 0x80) RequestClose();
}

POINT GetMousePos() {
    return mousePos;
}

void SetMousePos(int x, int y) {
    POINT point = {x, y};
    if (windowed) ClientToScreen(mainWindow, &point);
    SetCursorPos(point.x, point.y);
}

void ShowMessage(const char* text) {
    MessageBoxA(mainWindow, text, "", MB_OK);
    ClearInput();
}

void SetCloseKey(int key) {
    closeKey = (BYTE)key;
}
