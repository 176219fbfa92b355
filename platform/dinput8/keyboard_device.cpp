// The system keyboard device and its sources. Platform calls: SDL_WasInit, SDL_PumpEvents,
// SDL_GetKeyboardState, SDL_GetScancodeName.
// Limits: the state is the one SDL keeps for the window that has the keyboard focus, so keys
// pressed in other applications' windows read as up; immediate data only.
#include <platform/dinput8/device.h>
#include <platform/dinput8/scancode_table.h>
#include <platform/dinput8/sources.h>

#include <SDL.h>

#include <cstring>

namespace platform::dinput {

HRESULT SdlKeyboard::Read(BYTE state[256]) {
    // Pumping moves pending key events into SDL's state without taking them off the queue the
    // window's message loop reads.
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_PumpEvents();
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    std::memset(state, 0, 256);
    if (!keys) return DI_OK;
    for (const ScancodeMapping& mapping : ScancodeTable())
        if (mapping.scancode < count && keys[mapping.scancode]) state[mapping.dik] = 0x80;
    return DI_OK;
}

void ScriptedKeyboard::SetKey(int dik, bool down) {
    if (dik < 0 || dik > 255) return;
    keys_[dik] = down ? 0x80 : 0;
}

bool ScriptedKeyboard::IsDown(int dik) const {
    return dik >= 0 && dik <= 255 && keys_[dik] != 0;
}

void ScriptedKeyboard::ReleaseAll() {
    keys_.fill(0);
}

void ScriptedKeyboard::FailNextRead(HRESULT result) {
    failures_.push_back(result);
}

HRESULT ScriptedKeyboard::Read(BYTE state[256]) {
    ++reads_;
    if (!failures_.empty()) {
        HRESULT result = failures_.front();
        failures_.pop_front();
        return result;
    }
    std::memcpy(state, keys_.data(), 256);
    return DI_OK;
}

namespace {

SdlKeyboard sdlKeyboard;
KeyboardSource* keyboardSource = nullptr;

} // namespace

void SetKeyboardSource(KeyboardSource* source) {
    keyboardSource = source;
}

KeyboardSource& CurrentKeyboardSource() {
    return keyboardSource ? *keyboardSource : sdlKeyboard;
}

namespace {

std::vector<DeviceObject> KeyboardObjects() {
    std::vector<DeviceObject> objects;
    for (const ScancodeMapping& mapping : ScancodeTable())
        objects.push_back({&GUID_Key, mapping.dik,
                           DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(mapping.dik), 0,
                           SDL_GetScancodeName(mapping.scancode)});
    return objects;
}

class KeyboardDevice final : public Device {
  public:
    KeyboardDevice() : Device(c_dfDIKeyboard, KeyboardObjects()) {}

  private:
    HRESULT Read(void* data) override {
        return CurrentKeyboardSource().Read(static_cast<BYTE*>(data));
    }
    SetUpFaults Faults() override { return CurrentInputFaults().keyboard; }
};

} // namespace

IDirectInputDevice8A* CreateKeyboardDevice() {
    return new KeyboardDevice();
}

} // namespace platform::dinput
