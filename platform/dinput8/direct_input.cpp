// DirectInput8Create and the DirectInput object: device creation by GUID and device enumeration.
// Platform calls: none directly (the devices and sources make the SDL calls).
// Limits: the system keyboard, the system mouse and game controllers only; every listed device
// is attached (DIEDFL_ALLDEVICES lists the same as DIEDFL_ATTACHEDONLY); no aggregation.
#include <platform/dinput8/device.h>
#include <platform/dinput8/sources.h>

#include <cstring>

namespace platform::dinput {

namespace {

InputFaults inputFaults;
int liveObjects = 0;

} // namespace

void SetInputFaults(const InputFaults& faults) {
    inputFaults = faults;
}

const InputFaults& CurrentInputFaults() {
    return inputFaults;
}

int LiveInputObjects() {
    return liveObjects;
}

void NoteCreated() {
    ++liveObjects;
}
void NoteDestroyed() {
    --liveObjects;
}

namespace {

// Data2, Data3 and Data4 tag a controller's instance GUID; Data1 is its instance id.
constexpr GUID kJoystickTag = {0, 0x4B54, 0x4A53, {'c', 'o', 'n', 't', 'r', 'o', 'l', 0}};

void CopyName(CHAR (&target)[MAX_PATH], const std::string& name) {
    // Controller names come from drivers: cut them to the field, always terminated.
    std::strncpy(target, name.c_str(), MAX_PATH - 1);
    target[MAX_PATH - 1] = '\0';
}

DIDEVICEINSTANCEA SystemInstance(const GUID& guid, DWORD type, const char* name) {
    DIDEVICEINSTANCEA instance{};
    instance.dwSize = sizeof(instance);
    instance.guidInstance = guid;
    instance.guidProduct = guid;
    instance.dwDevType = type;
    CopyName(instance.tszInstanceName, name);
    CopyName(instance.tszProductName, name);
    return instance;
}

class DirectInput final : public ComObject<IDirectInput8A, &IID_IDirectInput8A> {
  public:
    DirectInput() { NoteCreated(); }

    HRESULT CreateDevice(REFGUID guid, IDirectInputDevice8A** device, LPUNKNOWN outer) override {
        if (!device) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer) return DIERR_INVALIDPARAM;
        if (guid == GUID_SysKeyboard) {
            if (HRESULT forced = inputFaults.keyboard.create; forced != DI_OK) return forced;
            *device = CreateKeyboardDevice();
            return DI_OK;
        }
        if (guid == GUID_SysMouse) {
            if (HRESULT forced = inputFaults.mouse.create; forced != DI_OK) return forced;
            *device = CreateMouseDevice();
            return DI_OK;
        }
        int32_t instanceId = 0;
        if (JoystickInstanceId(guid, &instanceId)) return CreateJoystickDevice(instanceId, device);
        return DIERR_DEVICENOTREG;
    }

    HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                        DWORD) override {
        if (!callback || deviceType > DI8DEVCLASS_GAMECTRL) return DIERR_INVALIDPARAM;
        bool all = deviceType == DI8DEVCLASS_ALL;
        if (all || deviceType == DI8DEVCLASS_POINTER) {
            DIDEVICEINSTANCEA mouse = SystemInstance(GUID_SysMouse, DI8DEVTYPE_MOUSE, "Mouse");
            if (callback(&mouse, context) == DIENUM_STOP) return DI_OK;
        }
        if (all || deviceType == DI8DEVCLASS_KEYBOARD) {
            DIDEVICEINSTANCEA keyboard =
                SystemInstance(GUID_SysKeyboard, DI8DEVTYPE_KEYBOARD, "Keyboard");
            if (callback(&keyboard, context) == DIENUM_STOP) return DI_OK;
        }
        if (all || deviceType == DI8DEVCLASS_GAMECTRL) {
            // A snapshot: the callback may create devices, which must not disturb the walk.
            for (const JoystickInfo& info : CurrentJoystickSource().Attached()) {
                DIDEVICEINSTANCEA instance{};
                instance.dwSize = sizeof(instance);
                instance.guidInstance = JoystickInstanceGuid(info.instanceId);
                std::memcpy(&instance.guidProduct, info.productGuid.data(), sizeof(GUID));
                instance.dwDevType = DI8DEVTYPE_JOYSTICK;
                CopyName(instance.tszInstanceName, info.name);
                CopyName(instance.tszProductName, info.name);
                if (callback(&instance, context) == DIENUM_STOP) return DI_OK;
            }
        }
        return DI_OK;
    }

  private:
    ~DirectInput() override { NoteDestroyed(); }
};

} // namespace

GUID JoystickInstanceGuid(int32_t instanceId) {
    GUID guid = kJoystickTag;
    guid.Data1 = uint32_t(instanceId);
    return guid;
}

bool JoystickInstanceId(const GUID& guid, int32_t* instanceId) {
    GUID tagOnly = guid;
    tagOnly.Data1 = 0;
    if (tagOnly != kJoystickTag) return false;
    *instanceId = int32_t(guid.Data1);
    return true;
}

} // namespace platform::dinput

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (HRESULT forced = platform::dinput::CurrentInputFaults().directInputCreate; forced != DI_OK)
        return forced;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (riid != IID_IDirectInput8A) return DIERR_NOINTERFACE;
    if (outer) return DIERR_INVALIDPARAM;
    *out = static_cast<IDirectInput8A*>(new platform::dinput::DirectInput());
    return DI_OK;
}
