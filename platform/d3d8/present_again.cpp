// The picture of the program's window while it is inactive: the program draws only in its
// ticks, which stop then, and an X server without a compositor forgets what another window
// covered. The back buffer still holds the last presented frame (the next frame clears it first),
// so an expose presents it again, without a tick.
#include <platform/d3d8/device_impl.h>

#include <platform/win32/sdl_window.h>

namespace platform::d3d8 {

void Device::KeepPictureOnExpose() {
    if (window_) SetPictureRestorer(window_, [this] { PresentAgain(); });
}

void Device::PresentAgain() {
    if (!framePresented_ || inScene_) return;
    Present(nullptr, nullptr, nullptr, nullptr);
}

} // namespace platform::d3d8
