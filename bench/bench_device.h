// The program's graphics device for benchmarks: brought up once per process on SDL's offscreen
// driver, with the start-up log silenced, and shared by every benchmark that draws.
#pragma once

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"

#include <platform/win32/services.h>

#include <cstdlib>

inline bool BenchDeviceReady() {
    static bool ready = [] {
        if (d3dDevice) return true;
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        static struct Silent final : platform::DebugOutputSink {
            void Write(const char*) override {}
        } silent;
        platform::SetDebugOutputSink(&silent);
        static char name[] = "koltrep-bench";
        static char* argv[] = {name, nullptr};
        SetCommandLine(1, argv);
        return InitDirect3D();
    }();
    return ready && d3dDevice;
}
