// What the keyboard, mouse and controller devices of the DirectInput stand-in share: the
// data-format and acquisition rules, the object list and the axis ranges (reference counting
// comes from the common COM base). Each kind of device supplies only its read.
#pragma once

#include <platform/win32/com_object.h>
#include <dinput.h>

#include <platform/dinput8/sources.h>

#include <cstdint>
#include <vector>

namespace platform::dinput {

// One readable part of a device (axis, button, key, hat), as EnumObjects reports it.
struct DeviceObject {
    const GUID* guidType;
    DWORD offset; // in the device's data format
    DWORD type;   // DIDFT_* | DIDFT_MAKEINSTANCE(n)
    DWORD flags;
    const char* name;
    LONG rangeMin = 0; // axes only: DIPROP_RANGE
    LONG rangeMax = 65535;
};

class Device : public ComObject<IDirectInputDevice8A> {
  public:
    Device(const DIDATAFORMAT& expectedFormat, std::vector<DeviceObject> objects);

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context,
                        DWORD flags) override;
    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
    HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) override;

  protected:
    ~Device() override;
    // Fills `data` (the format's size, zeroed) or returns a failure. DIERR_INPUTLOST also ends
    // the acquisition, so the caller has to Acquire again.
    virtual HRESULT Read(void* data) = 0;
    virtual SetUpFaults Faults() = 0;

    HWND window() const { return window_; }
    bool acquired() const { return acquired_; }
    // Lost input read outside GetDeviceState ends the acquisition in the same way.
    void LoseAcquisition() { acquired_ = false; }
    const std::vector<DeviceObject>& objects() const { return objects_; }

  private:
    DeviceObject* FindObject(const DIPROPHEADER& header);

    DWORD dataSize_;
    bool formatSet_ = false;
    bool acquired_ = false;
    HWND window_ = nullptr;
    std::vector<DeviceObject> objects_;
};

IDirectInputDevice8A* CreateKeyboardDevice();
IDirectInputDevice8A* CreateMouseDevice();
// DI_OK with *device set, or the failure of opening the controller.
HRESULT CreateJoystickDevice(int32_t instanceId, IDirectInputDevice8A** device);

// A controller's instance GUID carries its instance id behind a fixed tag.
GUID JoystickInstanceGuid(int32_t instanceId);
bool JoystickInstanceId(const GUID& guid, int32_t* instanceId);

// Bookkeeping behind LiveInputObjects.
void NoteCreated();
void NoteDestroyed();

} // namespace platform::dinput
