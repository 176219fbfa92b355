// The frame bracket at 640 x 480 on the offscreen driver, against the least a frame could cost
// on the same GL context: a bare clear of colour and depth. Both wait for GL to finish, so the
// difference is what the bracket adds (cooperative level, scene, viewport clear, view, the
// scaled copy into the window and the swap).
#include <benchmark/benchmark.h>

#include "bench/bench_device.h"

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"
#include "gfx/device/frame_bracket.h"

#include <platform/win32/services.h>

#include <epoxy/gl.h>

#include <cstdlib>

namespace {

void BM_BareClear(benchmark::State& state) {
    if (!BenchDeviceReady()) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    for (auto _ : state) {
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
    }
}
BENCHMARK(BM_BareClear)->Unit(benchmark::kMicrosecond);

void BM_BeginEndFrame(benchmark::State& state) {
    if (!BenchDeviceReady()) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    for (auto _ : state) {
        if (BeginFrame(0xFF000000)) benchmark::DoNotOptimize(EndFrame());
        glFinish();
    }
}
BENCHMARK(BM_BeginEndFrame)->Unit(benchmark::kMicrosecond);

} // namespace
