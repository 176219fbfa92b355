// The DirectInput stand-in's object and devices: the rules a caller can run into (formats,
// acquisition, lost input, properties, enumeration) with scripted sources behind them.
#include <dinput.h>
#include <platform/dinput8/sources.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// An enumeration callback that keeps each item in the vector its context points to.
template <typename Item> BOOL CALLBACK Collect(const Item* item, LPVOID context) {
    static_cast<std::vector<Item>*>(context)->push_back(*item);
    return DIENUM_CONTINUE;
}

class DirectInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::dinput::SetKeyboardSource(&keyboard);
        platform::dinput::SetJoystickSource(&joysticks);
        platform::dinput::SetInputFaults({});
        platform::dinput::ClearMouseReadFailures();
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                     reinterpret_cast<LPVOID*>(&input), nullptr),
                  DI_OK);
    }
    void TearDown() override {
        for (IDirectInputDevice8A* device : devices)
            device->Release();
        if (input) input->Release();
        EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
        platform::dinput::SetKeyboardSource(nullptr);
        platform::dinput::SetJoystickSource(nullptr);
        platform::dinput::SetInputFaults({});
        platform::dinput::ClearMouseReadFailures();
    }

    IDirectInputDevice8A* Create(const GUID& guid) {
        IDirectInputDevice8A* device = nullptr;
        EXPECT_EQ(input->CreateDevice(guid, &device, nullptr), DI_OK);
        if (device) devices.push_back(device);
        return device;
    }
    IDirectInputDevice8A* Ready(const GUID& guid, const DIDATAFORMAT& format) {
        IDirectInputDevice8A* device = Create(guid);
        EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
                  DI_OK);
        return device;
    }
    std::vector<DIDEVICEINSTANCEA> Enumerate(DWORD deviceClass) {
        std::vector<DIDEVICEINSTANCEA> found;
        EXPECT_EQ(input->EnumDevices(deviceClass, Collect<DIDEVICEINSTANCEA>, &found,
                                     DIEDFL_ATTACHEDONLY),
                  DI_OK);
        return found;
    }
    IDirectInputDevice8A* CreateJoystick(int position) {
        auto found = Enumerate(DI8DEVCLASS_GAMECTRL);
        EXPECT_LT(size_t(position), found.size());
        return Create(found.at(position).guidInstance);
    }
    std::vector<DIDEVICEOBJECTINSTANCEA> Objects(IDirectInputDevice8A* device, DWORD filter) {
        std::vector<DIDEVICEOBJECTINSTANCEA> found;
        EXPECT_EQ(device->EnumObjects(Collect<DIDEVICEOBJECTINSTANCEA>, &found, filter), DI_OK);
        return found;
    }

    platform::dinput::ScriptedKeyboard keyboard;
    platform::dinput::ScriptedJoysticks joysticks;
    IDirectInput8A* input = nullptr;
    std::vector<IDirectInputDevice8A*> devices;
};

DIPROPRANGE RangeHeader(DWORD how, DWORD object) {
    DIPROPRANGE range{};
    range.diph = {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), object, how};
    return range;
}

// ---- The DirectInput object ---------------------------------------------------------------

TEST(DirectInputCreate, RejectsWrongVersionInterfaceAndArguments) {
    LPVOID out = reinterpret_cast<LPVOID>(1);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, IID_IDirectInput8A, &out, nullptr),
              DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, GUID_SysMouse, &out, nullptr),
              DIERR_NOINTERFACE);
    EXPECT_EQ(
        DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr),
        DIERR_INVALIDPARAM);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&out);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &out, outer),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(out, nullptr);

    platform::dinput::InputFaults faults;
    faults.directInputCreate = DIERR_GENERIC;
    platform::dinput::SetInputFaults(faults);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &out, nullptr),
              DIERR_GENERIC);
    platform::dinput::SetInputFaults({});
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 0);
}

TEST_F(DirectInputTest, CreateDeviceRejectsUnknownDevicesAndForcedFailures) {
    IDirectInputDevice8A* device = reinterpret_cast<IDirectInputDevice8A*>(1);
    EXPECT_EQ(input->CreateDevice(GUID_XAxis, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(input->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
    platform::dinput::InputFaults faults;
    faults.mouse.create = DIERR_OTHERAPPHASPRIO;
    platform::dinput::SetInputFaults(faults);
    EXPECT_EQ(input->CreateDevice(GUID_SysMouse, &device, nullptr), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(platform::dinput::LiveInputObjects(), 1);
}

// ---- Device rules -------------------------------------------------------------------------

TEST_F(DirectInputTest, DeviceNeedsItsFormatBeforeAcquireAndAcquireBeforeReading) {
    IDirectInputDevice8A* keyboardDevice = Create(GUID_SysKeyboard);
    BYTE keys[256];
    EXPECT_EQ(keyboardDevice->Acquire(), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboardDevice->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboardDevice->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    DIDATAFORMAT damaged = c_dfDIKeyboard;
    damaged.dwObjSize = 4;
    EXPECT_EQ(keyboardDevice->SetDataFormat(&damaged), DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboardDevice->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboardDevice->Unacquire(), S_FALSE);
    EXPECT_EQ(keyboardDevice->Acquire(), DI_OK);
    EXPECT_EQ(keyboardDevice->Acquire(), S_FALSE);
    EXPECT_EQ(keyboardDevice->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keyboardDevice->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboardDevice->Unacquire(), DI_OK);
    EXPECT_EQ(keyboardDevice->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
}

TEST_F(DirectInputTest, CooperativeLevelNeedsOneOfEachPair) {
    IDirectInputDevice8A* mouse = Create(GUID_SysMouse);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, 0x0A), DI_OK); // non-exclusive, background
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    for (DWORD flags :
         {DWORD(DISCL_NONEXCLUSIVE), DWORD(DISCL_BACKGROUND),
          DWORD(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
          DWORD(DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND), DWORD(0x0A | 0x100)})
        EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, flags), DIERR_INVALIDPARAM) << flags;
}

// ---- Keyboard -----------------------------------------------------------------------------

TEST_F(DirectInputTest, KeyboardReadsTheSourceAndLostInputEndsAcquisition) {
    IDirectInputDevice8A* device = Ready(GUID_SysKeyboard, c_dfDIKeyboard);
    ASSERT_EQ(device->Acquire(), DI_OK);
    keyboard.SetKey(DIK_ESCAPE, true);
    keyboard.SetKey(DIK_DELETE, true);
    BYTE keys[256];
    ASSERT_EQ(device->GetDeviceState(sizeof(keys), keys), DI_OK);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(keys[i], (i == DIK_ESCAPE || i == DIK_DELETE) ? 0x80 : 0) << i;

    keyboard.FailNextRead(DIERR_INPUTLOST);
    std::memset(keys, 0x55, sizeof(keys));
    EXPECT_EQ(device->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keys[0], 0x55); // a failed read leaves the caller's buffer alone
    EXPECT_EQ(device->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_ESCAPE], 0x80);

    keyboard.FailNextRead(DIERR_GENERIC); // other failures keep the acquisition
    EXPECT_EQ(device->GetDeviceState(sizeof(keys), keys), DIERR_GENERIC);
    EXPECT_EQ(device->GetDeviceState(sizeof(keys), keys), DI_OK);
}

TEST(SdlKeyboard, ReadsEveryKeyUpWithoutAWindow) {
    platform::dinput::SdlKeyboard keyboard;
    BYTE keys[256];
    std::memset(keys, 0xFF, sizeof(keys));
    EXPECT_EQ(keyboard.Read(keys), DI_OK);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(keys[i], 0) << i;
}

// ---- Mouse --------------------------------------------------------------------------------

TEST_F(DirectInputTest, MouseReportsQueuedFailuresThenReadsAgain) {
    IDirectInputDevice8A* mouse = Ready(GUID_SysMouse, c_dfDIMouse);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    platform::dinput::FailNextMouseRead(DIERR_GENERIC);
    platform::dinput::FailNextMouseRead(DIERR_INPUTLOST);
    DIMOUSESTATE state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_GENERIC);
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_INPUTLOST);
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(mouse->GetDeviceState(20, &state), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, MouseOfAWindowThatIsGoneHasLostItsInput) {
    IDirectInputDevice8A* mouse = Create(GUID_SysMouse);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    HWND unknown = reinterpret_cast<HWND>(uintptr_t(0x7777));
    ASSERT_EQ(mouse->SetCooperativeLevel(unknown, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    DIMOUSESTATE state;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(mouse->Acquire(), DI_OK);
        EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_INPUTLOST);
    }
}

// ---- Enumeration --------------------------------------------------------------------------

TEST_F(DirectInputTest, EnumeratesByClassInOrder) {
    platform::dinput::ScriptedJoystick first;
    first.name = "First";
    platform::dinput::ScriptedJoystick second;
    second.name = "Second";
    joysticks.Add(first);
    joysticks.Add(second);

    auto all = Enumerate(DI8DEVCLASS_ALL);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].guidInstance, GUID_SysMouse);
    EXPECT_EQ(all[1].guidInstance, GUID_SysKeyboard);
    EXPECT_STREQ(all[2].tszInstanceName, "First");
    EXPECT_STREQ(all[3].tszProductName, "Second");
    EXPECT_NE(all[2].guidInstance, all[3].guidInstance);
    EXPECT_EQ(all[2].dwSize, sizeof(DIDEVICEINSTANCEA));

    EXPECT_EQ(Enumerate(DI8DEVCLASS_GAMECTRL).size(), 2u);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_KEYBOARD).size(), 1u);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_POINTER).size(), 1u);
    EXPECT_EQ(Enumerate(DI8DEVCLASS_DEVICE).size(), 0u);
}

TEST_F(DirectInputTest, EnumerationStopsWhenAskedAndRejectsBadArguments) {
    for (int i = 0; i < 5; ++i)
        joysticks.Add({});
    int calls = 0;
    EXPECT_EQ(input->EnumDevices(
                  DI8DEVCLASS_GAMECTRL,
                  [](LPCDIDEVICEINSTANCEA, LPVOID context) -> BOOL {
                      return ++*static_cast<int*>(context) == 2 ? DIENUM_STOP : DIENUM_CONTINUE;
                  },
                  &calls, DIEDFL_ATTACHEDONLY),
              DI_OK);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(input->EnumDevices(DI8DEVCLASS_GAMECTRL, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(
        input->EnumDevices(
            99, [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return DIENUM_CONTINUE; }, nullptr, 0),
        DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, OverlongControllerNamesAreCutAndTerminated) {
    platform::dinput::ScriptedJoystick stick;
    stick.name = std::string(3 * MAX_PATH, 'n');
    joysticks.Add(stick);
    auto found = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(std::strlen(found[0].tszInstanceName), size_t(MAX_PATH - 1));
    EXPECT_EQ(std::strlen(found[0].tszProductName), size_t(MAX_PATH - 1));
}

TEST_F(DirectInputTest, ControllerThatCannotOpenOrHasGoneIsNotCreated) {
    platform::dinput::ScriptedJoystick broken;
    broken.faults.create = DIERR_OTHERAPPHASPRIO;
    joysticks.Add(broken);
    int gone = joysticks.Add({});
    auto found = Enumerate(DI8DEVCLASS_GAMECTRL);
    ASSERT_EQ(found.size(), 2u);
    IDirectInputDevice8A* device = reinterpret_cast<IDirectInputDevice8A*>(1);
    EXPECT_EQ(input->CreateDevice(found[0].guidInstance, &device, nullptr), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(device, nullptr);
    joysticks.Detach(gone);
    EXPECT_EQ(input->CreateDevice(found[1].guidInstance, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
}

// ---- Controllers --------------------------------------------------------------------------

TEST_F(DirectInputTest, ControllerObjectsFollowTheFilterAndTheLayoutsLimits) {
    platform::dinput::ScriptedJoystick big;
    big.axisCount = 20;
    big.buttonCount = 300;
    big.hatCount = 9;
    joysticks.Add(big);
    platform::dinput::ScriptedJoystick nonsense;
    nonsense.axisCount = -3;
    nonsense.buttonCount = -1;
    joysticks.Add(nonsense);

    IDirectInputDevice8A* device = CreateJoystick(0);
    auto axes = Objects(device, DIDFT_AXIS);
    ASSERT_EQ(axes.size(), 8u);
    const GUID* expected[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                               &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    for (DWORD i = 0; i < 8; ++i) {
        EXPECT_EQ(axes[i].dwType, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i)) << i;
        EXPECT_EQ(axes[i].guidType, *expected[i]) << i;
        EXPECT_EQ(axes[i].dwOfs, 4 * i) << i;
    }
    EXPECT_EQ(Objects(device, DIDFT_BUTTON).size(), 128u);
    EXPECT_EQ(Objects(device, DIDFT_POV).size(), 4u);
    EXPECT_EQ(Objects(device, DIDFT_ALL).size(), 8u + 128u + 4u);

    EXPECT_TRUE(Objects(CreateJoystick(1), DIDFT_ALL).empty());
}

TEST_F(DirectInputTest, RangePropertyChecksItsHeaderAndTarget) {
    platform::dinput::ScriptedJoystick stick;
    stick.axisCount = 2;
    joysticks.Add(stick);
    IDirectInputDevice8A* device = CreateJoystick(0);
    const DWORD y = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(1);

    DIPROPRANGE range = RangeHeader(DIPH_BYID, y);
    ASSERT_EQ(device->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, 0); // untouched axes keep the full unsigned range
    EXPECT_EQ(range.lMax, 65535);

    range.lMin = -5;
    range.lMax = 5;
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetProperty(MAKEDIPROP(8), &range.diph), DIERR_UNSUPPORTED);
    auto refused = [&](DIPROPRANGE bad) { return device->SetProperty(DIPROP_RANGE, &bad.diph); };
    DIPROPRANGE bad = range;
    bad.diph.dwSize = sizeof(DIPROPHEADER);
    EXPECT_EQ(refused(bad), DIERR_INVALIDPARAM);
    bad = range;
    bad.diph.dwHeaderSize = 12;
    EXPECT_EQ(refused(bad), DIERR_INVALIDPARAM);
    bad = range;
    bad.lMin = bad.lMax;
    EXPECT_EQ(refused(bad), DIERR_INVALIDPARAM);
    bad = range;
    bad.diph.dwObj = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(0);
    EXPECT_EQ(refused(bad), DIERR_OBJECTNOTFOUND);
    bad.diph.dwObj = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(5);
    EXPECT_EQ(refused(bad), DIERR_OBJECTNOTFOUND);

    ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    DIPROPRANGE byOffset = RangeHeader(DIPH_BYOFFSET, 4);
    ASSERT_EQ(device->GetProperty(DIPROP_RANGE, &byOffset.diph), DI_OK);
    EXPECT_EQ(byOffset.lMin, -5);
    EXPECT_EQ(byOffset.lMax, 5);

    DIPROPRANGE whole = RangeHeader(DIPH_DEVICE, 0);
    whole.lMin = 1;
    whole.lMax = 9;
    ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &whole.diph), DI_OK);
    DIPROPRANGE x = RangeHeader(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0));
    ASSERT_EQ(device->GetProperty(DIPROP_RANGE, &x.diph), DI_OK);
    EXPECT_EQ(x.lMax, 9);

    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->SetProperty(DIPROP_RANGE, &range.diph), DIERR_ACQUIRED);
}

TEST_F(DirectInputTest, ControllerStateScalesAxesToTheirRangesAndReportsButtonsAndHats) {
    platform::dinput::ScriptedJoystick stick;
    stick.axisCount = 4;
    stick.buttonCount = 3;
    stick.hatCount = 1;
    stick.axes = {-32768, 0, 32767, 16384};
    stick.buttons = {false, true, false};
    int position = joysticks.Add(stick);
    IDirectInputDevice8A* device = CreateJoystick(position);

    DIPROPRANGE symmetric = RangeHeader(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0));
    symmetric.lMin = -1000;
    symmetric.lMax = 1000;
    for (DWORD axis = 0; axis < 3; ++axis) {
        symmetric.diph.dwObj = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(axis);
        ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &symmetric.diph), DI_OK);
    }
    DIPROPRANGE wide = RangeHeader(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(3));
    wide.lMin = -2147483647 - 1;
    wide.lMax = 2147483647;
    ASSERT_EQ(device->SetProperty(DIPROP_RANGE, &wide.diph), DI_OK);
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, 0x0A), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);

    DIJOYSTATE2 state;
    std::memset(&state, 0x33, sizeof(state));
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, -1000);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 1000);
    EXPECT_GT(state.lRx, 1000000000); // three quarters up a range as wide as LONG
    EXPECT_EQ(state.lRy, 0);          // axes the controller lacks read 0
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[3], 0);
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu); // centred
    EXPECT_EQ(state.lFRz, 0);

    joysticks.At(position).axes[0] = 32767;
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 1000);

    joysticks.Detach(position);
    EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DIERR_INPUTLOST);
    EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(device->GetDeviceState(16, &state), DIERR_INVALIDPARAM);
}

TEST(SdlJoysticks, StartOnFirstUseAndRefuseUnknownControllers) {
    // SDL's joysticks are down (as at the program's start): the source starts them itself.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    ASSERT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    platform::dinput::SdlJoysticks joysticks;
    const size_t before = joysticks.Attached().size();
    ASSERT_NE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "listing the controllers did not start SDL's";

    // A controller plugged in afterwards is listed and opens.
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    std::vector<platform::dinput::JoystickInfo> attached = joysticks.Attached();
    ASSERT_EQ(attached.size(), before + 1);
    bool listed = false;
    for (const platform::dinput::JoystickInfo& info : attached)
        listed = listed || info.instanceId == id;
    EXPECT_TRUE(listed) << "the virtual controller " << id << " is not listed";
    HRESULT result = DIERR_GENERIC;
    std::unique_ptr<platform::dinput::JoystickHandle> pad = joysticks.Open(id, &result);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(result, DI_OK);
    EXPECT_EQ(pad->AxisCount(), 2);
    EXPECT_EQ(pad->ButtonCount(), 4);

    EXPECT_EQ(joysticks.Open(-12345, &result), nullptr);
    EXPECT_EQ(result, DIERR_DEVICENOTREG);
    pad.reset();
    SDL_JoystickDetachVirtual(index);
}

} // namespace
