// The system mouse device. Platform calls: SDL_WasInit, SDL_GetGlobalMouseState, and the Win32
// stand-in's SdlWindowFromHandle to learn whether the window it cooperates with still exists.
// Limits: motion is the change of the desktop pointer position between reads (no raw motion,
// no acceleration); the wheel (lZ) reads 0, since SDL reports it only as events, which belong to
// the window's message loop. Access is lost, as SDL sees it, when the cooperating window is gone.
#include <platform/dinput8/device.h>
#include <platform/dinput8/sources.h>

#include <platform/win32/sdl_window.h>

#include <SDL.h>

#include <deque>

namespace platform::dinput {

namespace {

std::deque<HRESULT> mouseReadFailures;

} // namespace

void FailNextMouseRead(HRESULT result) {
    mouseReadFailures.push_back(result);
}

void ClearMouseReadFailures() {
    mouseReadFailures.clear();
}

namespace {

std::vector<DeviceObject> MouseObjects() {
    return {
        {&GUID_XAxis, 0, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(0), 0, "X Axis"},
        {&GUID_YAxis, 4, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1), 0, "Y Axis"},
        {&GUID_ZAxis, 8, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(2), 0, "Wheel"},
        {&GUID_Button, 12, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(0), 0, "Button 0"},
        {&GUID_Button, 13, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(1), 0, "Button 1"},
        {&GUID_Button, 14, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(2), 0, "Button 2"},
        {&GUID_Button, 15, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(3), 0, "Button 3"},
    };
}

class MouseDevice final : public Device {
  public:
    MouseDevice() : Device(c_dfDIMouse, MouseObjects()) {}

  private:
    HRESULT Read(void* data) override {
        if (!mouseReadFailures.empty()) {
            HRESULT result = mouseReadFailures.front();
            mouseReadFailures.pop_front();
            return result;
        }
        if (window() && !SdlWindowFromHandle(window())) return DIERR_INPUTLOST;
        auto* state = static_cast<DIMOUSESTATE*>(data);
        if (!SDL_WasInit(SDL_INIT_VIDEO)) return DI_OK;
        int x = 0, y = 0;
        Uint32 buttons = SDL_GetGlobalMouseState(&x, &y);
        if (havePosition_) {
            state->lX = x - lastX_;
            state->lY = y - lastY_;
        }
        lastX_ = x;
        lastY_ = y;
        havePosition_ = true;
        const Uint32 masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                                 SDL_BUTTON_X1MASK};
        for (int i = 0; i < 4; ++i)
            state->rgbButtons[i] = (buttons & masks[i]) ? 0x80 : 0;
        return DI_OK;
    }
    SetUpFaults Faults() override { return CurrentInputFaults().mouse; }

    bool havePosition_ = false;
    int lastX_ = 0;
    int lastY_ = 0;
};

} // namespace

IDirectInputDevice8A* CreateMouseDevice() {
    return new MouseDevice();
}

} // namespace platform::dinput
