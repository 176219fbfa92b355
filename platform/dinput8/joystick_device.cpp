// Game controllers: SDL joysticks as DirectInput devices with the c_dfDIJoystick2 layout.
// Platform calls: SDL_WasInit, SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) on first use,
// SDL_NumJoysticks, SDL_JoystickGetDeviceInstanceID, SDL_JoystickNameForIndex,
// SDL_JoystickGetDeviceGUID, SDL_JoystickOpen, SDL_JoystickClose, SDL_JoystickUpdate,
// SDL_JoystickGetAttached, SDL_JoystickNumAxes/Buttons/Hats, SDL_JoystickGetAxis/Button/Hat;
// for those SDL maps as game controllers, SDL_IsGameController, SDL_GameControllerOpen,
// SDL_GameControllerGetJoystick, SDL_GameControllerClose, SDL_GameControllerGetAxis/Button.
// Limits: the first 8 axes (X, Y, Z, Rx, Ry, Rz, two sliders), 4 hats and 128 buttons, as the
// layout has room for; no force feedback; a detached controller reads as lost input.
#include <platform/dinput8/device.h>
#include <platform/dinput8/sources.h>

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <platform/i18n/i18n.h>

namespace platform::dinput {

namespace {

constexpr int kMaxAxes = 8;
constexpr int kMaxHats = 4;
constexpr int kMaxButtons = 128;

// -32768..32767 onto -1000..1000, rounded to nearest; the ends map onto the ends.
LONG Thousandths(int16_t raw) {
    return LONG(-1000 + ((int64_t(raw) + 32768) * 2000 + 32767) / 65535);
}

class SdlJoystickHandle final : public JoystickHandle {
  public:
    // `controller` is null for a joystick SDL has no game-controller mapping for.
    SdlJoystickHandle(SDL_Joystick* joystick, SDL_GameController* controller)
        : joystick_(joystick), controller_(controller) {}
    ~SdlJoystickHandle() override {
        if (controller_)
            SDL_GameControllerClose(controller_); // closes its joystick too
        else
            SDL_JoystickClose(joystick_);
    }
    int AxisCount() override { return SDL_JoystickNumAxes(joystick_); }
    int ButtonCount() override { return SDL_JoystickNumButtons(joystick_); }
    int HatCount() override { return SDL_JoystickNumHats(joystick_); }
    int16_t Axis(int axis) override { return SDL_JoystickGetAxis(joystick_, axis); }
    bool Button(int button) override { return SDL_JoystickGetButton(joystick_, button) != 0; }
    uint8_t Hat(int hat) override { return SDL_JoystickGetHat(joystick_, hat); }
    // Also brings the state up to date, so the values read next belong to this moment.
    bool Attached() override {
        SDL_JoystickUpdate();
        return SDL_JoystickGetAttached(joystick_) == SDL_TRUE;
    }
    bool IsGameController() override { return controller_ != nullptr; }
    void ReadGamepad(StandardGamepadState& state) override {
        static constexpr SDL_GameControllerButton kButtons[int(PadButton::Count)] = {
            SDL_CONTROLLER_BUTTON_A,
            SDL_CONTROLLER_BUTTON_B,
            SDL_CONTROLLER_BUTTON_X,
            SDL_CONTROLLER_BUTTON_Y,
            SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
            SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
            SDL_CONTROLLER_BUTTON_START};
        state.leftX =
            Thousandths(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTX));
        state.leftY =
            Thousandths(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTY));
        for (int i = 0; i < int(PadButton::Count); ++i)
            state.buttons[i] = SDL_GameControllerGetButton(controller_, kButtons[i]) != 0;
    }

  private:
    SDL_Joystick* joystick_;
    SDL_GameController* controller_;
};

// The game-controller subsystem brings the joysticks with it, and SDL's table of mappings.
bool StartJoysticks() {
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return true;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) return true;
    static bool reported = false;
    if (!reported) std::fprintf(stderr, _("game controllers unavailable: %s\n"), SDL_GetError());
    reported = true;
    return false;
}

// Device index of an attached controller, or -1.
int DeviceIndex(int32_t instanceId) {
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == instanceId) return i;
    return -1;
}

SdlJoysticks sdlJoysticks;
JoystickSource* joystickSource = nullptr;

} // namespace

std::vector<JoystickInfo> SdlJoysticks::Attached() {
    std::vector<JoystickInfo> found;
    if (!StartJoysticks()) return found;
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        JoystickInfo info;
        info.instanceId = SDL_JoystickGetDeviceInstanceID(i);
        if (info.instanceId < 0) continue;
        const char* name = SDL_JoystickNameForIndex(i);
        info.name = name ? name : "";
        SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(i);
        std::memcpy(info.productGuid.data(), guid.data, info.productGuid.size());
        found.push_back(std::move(info));
    }
    return found;
}

std::unique_ptr<JoystickHandle> SdlJoysticks::Open(int32_t instanceId, HRESULT* result) {
    *result = DI_OK;
    int index = StartJoysticks() ? DeviceIndex(instanceId) : -1;
    if (index < 0) {
        *result = DIERR_DEVICENOTREG;
        return nullptr;
    }
    // Controllers are opened for background reading (every cooperative level the program
    // asks for is background): without this SDL drops their input while the window lacks focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_GameController* controller =
        SDL_IsGameController(index) ? SDL_GameControllerOpen(index) : nullptr;
    SDL_Joystick* joystick =
        controller ? SDL_GameControllerGetJoystick(controller) : SDL_JoystickOpen(index);
    if (!joystick) {
        if (controller) SDL_GameControllerClose(controller);
        *result = DIERR_GENERIC;
        return nullptr;
    }
    return std::make_unique<SdlJoystickHandle>(joystick, controller);
}

namespace {

constexpr int32_t kScriptedBase = 1000;

class ScriptedJoystickHandle final : public JoystickHandle {
  public:
    ScriptedJoystickHandle(ScriptedJoysticks& owner, int position)
        : owner_(owner), position_(position) {}
    int AxisCount() override { return joystick().axisCount; }
    int ButtonCount() override { return joystick().buttonCount; }
    int HatCount() override { return joystick().hatCount; }
    int16_t Axis(int axis) override {
        const auto& axes = joystick().axes;
        return axis >= 0 && size_t(axis) < axes.size() ? axes[axis] : 0;
    }
    bool Button(int button) override {
        const auto& buttons = joystick().buttons;
        return button >= 0 && size_t(button) < buttons.size() && buttons[button];
    }
    uint8_t Hat(int) override { return SDL_HAT_CENTERED; }
    bool Attached() override { return owner_.IsAttached(position_); }
    SetUpFaults Faults() override { return joystick().faults; }

  private:
    ScriptedJoystick& joystick() { return owner_.At(position_); }
    ScriptedJoysticks& owner_;
    int position_;
};

} // namespace

int ScriptedJoysticks::Add(ScriptedJoystick joystick) {
    joysticks_.push_back(std::move(joystick));
    attached_.push_back(true);
    return int(joysticks_.size()) - 1;
}

void ScriptedJoysticks::Detach(int position) {
    attached_.at(position) = false;
}

bool ScriptedJoysticks::IsAttached(int position) const {
    return position >= 0 && size_t(position) < attached_.size() && attached_[position];
}

std::vector<JoystickInfo> ScriptedJoysticks::Attached() {
    std::vector<JoystickInfo> found;
    for (size_t i = 0; i < joysticks_.size(); ++i) {
        if (!attached_[i]) continue;
        JoystickInfo info;
        info.instanceId = kScriptedBase + int32_t(i);
        info.name = joysticks_[i].name;
        info.productGuid[0] = uint8_t(i);
        found.push_back(std::move(info));
    }
    return found;
}

std::unique_ptr<JoystickHandle> ScriptedJoysticks::Open(int32_t instanceId, HRESULT* result) {
    ++opens_;
    int position = instanceId - kScriptedBase;
    if (!IsAttached(position)) {
        *result = DIERR_DEVICENOTREG;
        return nullptr;
    }
    *result = joysticks_[position].faults.create;
    if (*result != DI_OK) return nullptr;
    return std::make_unique<ScriptedJoystickHandle>(*this, position);
}

void SetJoystickSource(JoystickSource* source) {
    joystickSource = source;
}

JoystickSource& CurrentJoystickSource() {
    return joystickSource ? *joystickSource : sdlJoysticks;
}

namespace {

const GUID* const kAxisGuids[kMaxAxes] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                          &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
const char* const kAxisNames[kMaxAxes] = {"X Axis",     "Y Axis",     "Z Axis",   "X Rotation",
                                          "Y Rotation", "Z Rotation", "Slider 0", "Slider 1"};

// Counts come from drivers and scripts: keep them inside what the layout holds.
int Clamp(int count, int most) {
    return std::clamp(count, 0, most);
}

std::vector<DeviceObject> JoystickObjects(JoystickHandle& handle) {
    std::vector<DeviceObject> objects;
    int axes = Clamp(handle.AxisCount(), kMaxAxes);
    for (int i = 0; i < axes; ++i)
        objects.push_back({kAxisGuids[i], DWORD(offsetof(DIJOYSTATE2, lX) + 4 * i),
                           DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i), 0, kAxisNames[i]});
    int hats = Clamp(handle.HatCount(), kMaxHats);
    for (int i = 0; i < hats; ++i)
        objects.push_back({&GUID_POV, DWORD(offsetof(DIJOYSTATE2, rgdwPOV) + 4 * i),
                           DIDFT_POV | DIDFT_MAKEINSTANCE(i), 0, "Hat"});
    int buttons = Clamp(handle.ButtonCount(), kMaxButtons);
    for (int i = 0; i < buttons; ++i)
        objects.push_back({&GUID_Button, DWORD(offsetof(DIJOYSTATE2, rgbButtons) + i),
                           DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(i), 0, "Button"});
    return objects;
}

// Hundredths of a degree clockwise from north; centred is all ones.
DWORD PovFromHat(uint8_t hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return 0xFFFFFFFF;
    }
}

class JoystickDevice final : public Device {
  public:
    explicit JoystickDevice(std::unique_ptr<JoystickHandle> handle)
        : Device(c_dfDIJoystick2, JoystickObjects(*handle)), handle_(std::move(handle)) {}

  private:
    HRESULT Read(void* data) override {
        if (!handle_->Attached()) return DIERR_INPUTLOST;
        auto* bytes = static_cast<BYTE*>(data);
        auto* state = static_cast<DIJOYSTATE2*>(data);
        for (DWORD& pov : state->rgdwPOV)
            pov = 0xFFFFFFFF;
        for (const DeviceObject& object : objects()) {
            int instance = DIDFT_GETINSTANCE(object.type);
            if (object.type & DIDFT_ABSAXIS) {
                LONG value = Scale(handle_->Axis(instance), object);
                std::memcpy(bytes + object.offset, &value, sizeof(value));
            } else if (object.type & DIDFT_POV) {
                DWORD value = PovFromHat(handle_->Hat(instance));
                std::memcpy(bytes + object.offset, &value, sizeof(value));
            } else if (handle_->Button(instance)) {
                bytes[object.offset] = 0x80;
            }
        }
        return DI_OK;
    }
    SetUpFaults Faults() override { return handle_->Faults(); }

  public:
    HRESULT ReadGamepad(StandardGamepadState* state) {
        if (!handle_->IsGameController()) return DIERR_UNSUPPORTED;
        if (!acquired()) return DIERR_NOTACQUIRED;
        if (!handle_->Attached()) {
            LoseAcquisition();
            return DIERR_INPUTLOST;
        }
        handle_->ReadGamepad(*state);
        return DI_OK;
    }

  private:
    // -32768..32767 onto the axis's range, rounded to nearest; the ends map onto the ends.
    static LONG Scale(int16_t raw, const DeviceObject& axis) {
        int64_t span = int64_t(axis.rangeMax) - axis.rangeMin;
        int64_t offset = (int64_t(raw) + 32768) * span;
        return LONG(axis.rangeMin + (offset + 32767) / 65535);
    }

    std::unique_ptr<JoystickHandle> handle_;
};

} // namespace

HRESULT CreateJoystickDevice(int32_t instanceId, IDirectInputDevice8A** device) {
    *device = nullptr;
    HRESULT result = DI_OK;
    std::unique_ptr<JoystickHandle> handle = CurrentJoystickSource().Open(instanceId, &result);
    if (!handle) return FAILED(result) ? result : DIERR_GENERIC;
    *device = new JoystickDevice(std::move(handle));
    return DI_OK;
}

HRESULT ReadStandardGamepad(IDirectInputDevice8A* device, StandardGamepadState* state) {
    auto* joystick = dynamic_cast<JoystickDevice*>(device);
    if (!joystick || !state) return DIERR_UNSUPPORTED;
    return joystick->ReadGamepad(state);
}

} // namespace platform::dinput
