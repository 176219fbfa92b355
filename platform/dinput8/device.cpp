// The device behaviour the three kinds share, with DirectInput's rules: a data format before
// Acquire, no format or range change while acquired, reads only while acquired, and lost input
// ending the acquisition. Platform calls: none (each kind reads its own source).
// Limits: each device accepts only the layout of its predefined format (c_dfDIKeyboard,
// c_dfDIMouse, c_dfDIJoystick2), recognised by its data size; exclusive cooperation is accepted
// and behaves as non-exclusive; QueryInterface hands out no other interface.
#include <platform/dinput8/device.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::dinput {

namespace {

constexpr uintptr_t kRangeProperty = 4; // DIPROP_RANGE is MAKEDIPROP(4)
constexpr size_t kLargestState = sizeof(DIJOYSTATE2);

bool IsRangeProperty(REFGUID property) {
    // Predefined properties are small integers posing as GUID addresses: compare the address and
    // never read through it.
    return reinterpret_cast<uintptr_t>(&property) == kRangeProperty;
}

bool IsAxis(const DeviceObject& object) {
    return (object.type & DIDFT_AXIS) != 0;
}

} // namespace

Device::Device(const DIDATAFORMAT& expectedFormat, std::vector<DeviceObject> objects)
    : dataSize_(expectedFormat.dwDataSize), objects_(std::move(objects)) {
    NoteCreated();
}

Device::~Device() {
    NoteDestroyed();
}

HRESULT Device::SetDataFormat(LPCDIDATAFORMAT format) {
    if (HRESULT forced = Faults().setDataFormat; forced != DI_OK) return forced;
    if (!format) return DIERR_INVALIDPARAM;
    if (acquired_) return DIERR_ACQUIRED;
    if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
        return DIERR_INVALIDPARAM;
    if (format->dwDataSize != dataSize_) return DIERR_INVALIDPARAM;
    formatSet_ = true;
    return DI_OK;
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
    if (HRESULT forced = Faults().setCooperativeLevel; forced != DI_OK) return forced;
    constexpr DWORD known =
        DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
    bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
    if ((flags & ~known) != 0 || exclusive == nonExclusive || foreground == background)
        return DIERR_INVALIDPARAM;
    window_ = window;
    return DI_OK;
}

HRESULT Device::Acquire() {
    if (HRESULT forced = Faults().acquire; forced != DI_OK) return forced;
    if (!formatSet_) return DIERR_INVALIDPARAM;
    if (acquired_) return S_FALSE;
    acquired_ = true;
    return DI_OK;
}

HRESULT Device::Unacquire() {
    if (!acquired_) return S_FALSE;
    acquired_ = false;
    return DI_OK;
}

HRESULT Device::GetDeviceState(DWORD size, LPVOID data) {
    if (!data || size != dataSize_ || size > kLargestState) return DIERR_INVALIDPARAM;
    if (!acquired_) return DIERR_NOTACQUIRED;
    std::array<BYTE, kLargestState> scratch{};
    HRESULT result = Read(scratch.data());
    if (result == DIERR_INPUTLOST) acquired_ = false;
    if (SUCCEEDED(result)) std::memcpy(data, scratch.data(), size);
    return result;
}

HRESULT Device::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID context, DWORD flags) {
    if (HRESULT forced = Faults().enumObjects; forced != DI_OK) return forced;
    if (!callback) return DIERR_INVALIDPARAM;
    DWORD wanted = DIDFT_GETTYPE(flags);
    // The callback may set properties, which changes entries but never the list's length.
    for (size_t i = 0; i < objects_.size(); ++i) {
        const DeviceObject& object = objects_[i];
        if (wanted != DIDFT_ALL && (object.type & wanted) == 0) continue;
        DIDEVICEOBJECTINSTANCEA instance{};
        instance.dwSize = sizeof(instance);
        instance.guidType = object.guidType ? *object.guidType : GUID{};
        instance.dwOfs = object.offset;
        instance.dwType = object.type;
        instance.dwFlags = object.flags;
        std::strncpy(instance.tszName, object.name ? object.name : "", MAX_PATH - 1);
        if (callback(&instance, context) == DIENUM_STOP) break;
    }
    return DI_OK;
}

DeviceObject* Device::FindObject(const DIPROPHEADER& header) {
    for (DeviceObject& object : objects_) {
        if (header.dwHow == DIPH_BYOFFSET && object.offset == header.dwObj) return &object;
        constexpr DWORD identity = DIDFT_INSTANCEMASK | 0xFF;
        if (header.dwHow == DIPH_BYID && (object.type & identity) == (header.dwObj & identity))
            return &object;
    }
    return nullptr;
}

HRESULT Device::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
    if (!IsRangeProperty(property)) return DIERR_UNSUPPORTED;
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwSize != sizeof(DIPROPRANGE))
        return DIERR_INVALIDPARAM;
    if (acquired_) return DIERR_ACQUIRED;
    const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
    if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
    if (header->dwHow == DIPH_DEVICE) {
        if (header->dwObj != 0) return DIERR_INVALIDPARAM;
        for (DeviceObject& object : objects_)
            if (IsAxis(object)) object.rangeMin = range->lMin, object.rangeMax = range->lMax;
        return DI_OK;
    }
    DeviceObject* object = FindObject(*header);
    if (!object || !IsAxis(*object)) return DIERR_OBJECTNOTFOUND;
    object->rangeMin = range->lMin;
    object->rangeMax = range->lMax;
    return DI_OK;
}

HRESULT Device::GetProperty(REFGUID property, LPDIPROPHEADER header) {
    if (!IsRangeProperty(property)) return DIERR_UNSUPPORTED;
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER) ||
        header->dwSize != sizeof(DIPROPRANGE) || header->dwHow == DIPH_DEVICE)
        return DIERR_INVALIDPARAM;
    DeviceObject* object = FindObject(*header);
    if (!object || !IsAxis(*object)) return DIERR_OBJECTNOTFOUND;
    auto* range = reinterpret_cast<DIPROPRANGE*>(header);
    range->lMin = object->rangeMin;
    range->lMax = object->rangeMax;
    return DI_OK;
}

} // namespace platform::dinput
