// Installs a device, typically the recording one, as the program's d3dDevice for the life of
// the object, and puts the previous one back afterwards.
#pragma once

#include "gfx/device/d3d_device.h"

namespace testsupport {

class ScopedDevice {
  public:
    explicit ScopedDevice(IDirect3DDevice8* device) : previous_(d3dDevice) { d3dDevice = device; }
    ~ScopedDevice() { d3dDevice = previous_; }
    ScopedDevice(const ScopedDevice&) = delete;
    ScopedDevice& operator=(const ScopedDevice&) = delete;

  private:
    IDirect3DDevice8* previous_;
};

} // namespace testsupport
