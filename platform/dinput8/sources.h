// Where the DirectInput stand-in gets its input from. Each source has an SDL implementation that
// is used by default; tests and the replay runner install their own (a scripted keyboard, a set
// of scripted controllers, forced failures) so that every path of the program's input code can be
// driven without a person at the keyboard.
//
// All of this is single-threaded, like the program. A source installed with a setter is owned by
// the caller and must outlive its use; nullptr restores the SDL source.
#pragma once

#include <dinput.h>

#include <platform/dinput8/standard_gamepad.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform::dinput {

// ---- Keyboard -----------------------------------------------------------------------------

class KeyboardSource {
  public:
    virtual ~KeyboardSource() = default;
    // Fills all 256 bytes in c_dfDIKeyboard layout (0x80 = down, 0 = up) and returns DI_OK, or
    // returns a failure such as DIERR_INPUTLOST and leaves `state` as it was.
    virtual HRESULT Read(BYTE state[256]) = 0;
};

// The SDL keyboard state of the focused window, pumped first so that it is current.
class SdlKeyboard final : public KeyboardSource {
  public:
    HRESULT Read(BYTE state[256]) override;
};

// Keys set by hand. A key stays down until it is set up again.
class ScriptedKeyboard final : public KeyboardSource {
  public:
    void SetKey(int dik, bool down);
    bool IsDown(int dik) const;
    void ReleaseAll();
    // The next Read returns `result` (a failure code) instead of the keys; later reads are normal.
    // Calls queue up: two calls fail the next two reads.
    void FailNextRead(HRESULT result);
    HRESULT Read(BYTE state[256]) override;
    int reads() const { return reads_; }

  private:
    std::array<BYTE, 256> keys_{};
    std::deque<HRESULT> failures_;
    int reads_ = 0;
};

void SetKeyboardSource(KeyboardSource* source);
KeyboardSource& CurrentKeyboardSource();

// ---- Results forced onto set-up calls ------------------------------------------------------

// DI_OK means "behave normally"; anything else is returned by that call instead of doing it.
struct SetUpFaults {
    HRESULT create = DI_OK;
    HRESULT setDataFormat = DI_OK;
    HRESULT setCooperativeLevel = DI_OK;
    HRESULT enumObjects = DI_OK;
    HRESULT acquire = DI_OK;
};

struct InputFaults {
    HRESULT directInputCreate = DI_OK;
    SetUpFaults keyboard;
    SetUpFaults mouse;
};

// Replaces the forced results for the system keyboard, the system mouse and DirectInput8Create.
// They stay until replaced; SetInputFaults({}) clears them.
void SetInputFaults(const InputFaults& faults);
const InputFaults& CurrentInputFaults();

// The next mouse GetDeviceState returns `result` instead of reading; queued like FailNextRead.
void FailNextMouseRead(HRESULT result);
void ClearMouseReadFailures();

// ---- Game controllers ---------------------------------------------------------------------

struct JoystickInfo {
    int32_t instanceId = 0; // stable while the controller stays attached
    std::string name;
    std::array<uint8_t, 16> productGuid{};
};

// One opened controller.
class JoystickHandle {
  public:
    virtual ~JoystickHandle() = default;
    virtual int AxisCount() = 0;
    virtual int ButtonCount() = 0;
    virtual int HatCount() = 0;
    virtual int16_t Axis(int axis) = 0; // -32768..32767
    virtual bool Button(int button) = 0;
    virtual uint8_t Hat(int hat) = 0; // SDL_HAT_* bits
    virtual bool Attached() = 0;
    // Results forced onto the device's set-up calls (create is not used here).
    virtual SetUpFaults Faults() { return {}; }
    // Whether SDL knows the device as a game controller, and its state by the standard mapping;
    // a source without game controllers keeps these defaults.
    virtual bool IsGameController() { return false; }
    virtual void ReadGamepad(StandardGamepadState& state) { state = {}; }
};

class JoystickSource {
  public:
    virtual ~JoystickSource() = default;
    // The attached controllers in enumeration order.
    virtual std::vector<JoystickInfo> Attached() = 0;
    // Opens the controller; on failure returns nullptr and sets *result to the failure code.
    virtual std::unique_ptr<JoystickHandle> Open(int32_t instanceId, HRESULT* result) = 0;
};

// SDL joysticks; the joystick subsystem starts on first use.
class SdlJoysticks final : public JoystickSource {
  public:
    std::vector<JoystickInfo> Attached() override;
    std::unique_ptr<JoystickHandle> Open(int32_t instanceId, HRESULT* result) override;
};

struct ScriptedJoystick {
    std::string name = "Scripted Controller";
    int axisCount = 2;
    int buttonCount = 4;
    int hatCount = 0;
    SetUpFaults faults;        // faults.create makes Open fail
    std::vector<int16_t> axes; // current axis values; missing ones read 0
    std::vector<bool> buttons;
};

// Controllers set by hand; instance ids are 1000 + the position of Add.
class ScriptedJoysticks final : public JoystickSource {
  public:
    int Add(ScriptedJoystick joystick); // returns its position
    ScriptedJoystick& At(int position) { return joysticks_.at(position); }
    void Detach(int position);
    bool IsAttached(int position) const;
    int opens() const { return opens_; }
    std::vector<JoystickInfo> Attached() override;
    std::unique_ptr<JoystickHandle> Open(int32_t instanceId, HRESULT* result) override;

  private:
    std::vector<ScriptedJoystick> joysticks_;
    std::vector<bool> attached_;
    int opens_ = 0;
};

void SetJoystickSource(JoystickSource* source);
JoystickSource& CurrentJoystickSource();

// ---- Bookkeeping for tests ----------------------------------------------------------------

// DirectInput objects and devices created and not yet released to a count of zero.
int LiveInputObjects();

} // namespace platform::dinput
