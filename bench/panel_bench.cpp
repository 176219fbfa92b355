// One frame with the panel open (settings, plots full of ten seconds of samples) against the same
// frame with it closed, on the real device (offscreen driver) over a built world. The frame is
// the bracket the program draws every tick in, cleared and presented; the difference is what
// the open panel costs a tick. CPU is the whole process's, GL finished each frame. The machine
// walks between frames, untimed, so the plots hold the lines a walk draws, not flat ones.
#include <benchmark/benchmark.h>

#include "bench/bench_device.h"

#include "gfx/device/frame_bracket.h"
#include "sim/contacts.h"
#include "sim/panel.h"
#include "sim/physics_step.h"
#include "sim/world.h"

#include <epoxy/gl.h>
#include <imgui.h>
#include <platform/ui/ui_host.h>

namespace {

bool WorldReady() {
    static bool ready = [] {
        FillShapeTables();
        BuildWorld();
        recordContacts = true;
        for (int i = 0; i < 60; ++i)
            StepPhysics();
        return chassisBody != nullptr;
    }();
    return ready;
}

void BM_PanelFrame(benchmark::State& state) {
    if (!BenchDeviceReady() || !WorldReady()) {
        state.SkipWithError("no Direct3D device or world");
        return;
    }
    const bool open = state.range(0) != 0;
    if (!SetPanelOpen(open)) {
        state.SkipWithError("the panel cannot open");
        return;
    }
    // The plots as after ten seconds open.
    for (int i = 0; open && i < 200; ++i) {
        StepPhysics();
        BeginFrame(0xFF000000);
        DrawPanel();
        EndFrame();
    }
    for (auto _ : state) {
        state.PauseTiming();
        StepPhysics();
        state.ResumeTiming();
        BeginFrame(0xFF000000);
        DrawPanel();
        EndFrame();
        glFinish();
    }
    // What the rasteriser was given, which the machine's load does not blur as it does the time.
    if (open) {
        state.counters["triangles"] = ImGui::GetIO().MetricsRenderIndices / 3;
        state.counters["reused"] = platform::ui::UiWindowsReused();
    }
    SetPanelOpen(false);
}
BENCHMARK(BM_PanelFrame)
    ->ArgName("open")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace
