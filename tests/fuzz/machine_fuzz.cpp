// Fuzzes the machine-file reader from memory. What it accepts must build: the leg's loop closes
// at every crank angle and its joints are finite, and the machine prints to a file that reads
// back to the same machine.
#include <cmath>
#include <string>
#include <string_view>

#include "machine/four_bar.h"
#include "machine/machine_file.h"

namespace {

bool Finite(PlanePoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

void CheckLoop(const Linkage& linkage) {
    LegBuildPose pose;
    if (!BuildPoseOf(linkage, pose)) __builtin_trap();
    for (int step = 0; step < 16; ++step) {
        LoopPoints p;
        if (!SolveLoop(linkage, step * M_PI / 8, p)) __builtin_trap();
        if (!Finite(p.crankEnd) || !Finite(p.rockerEnd) || !Finite(p.foot)) __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxMachineFileBytes) return 0; // refused unread by the file loader
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Machine machine;
    std::string error;
    if (!ParseMachineText(text, "fuzz.toml", machine, error)) {
        // One plain line, whatever the file holds.
        if (error.empty()) __builtin_trap();
        for (char c : error)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();
        return 0;
    }
    CheckLoop(machine.linkage);
    Machine again;
    if (!ParseMachineText(MachineText(machine), "printed.toml", again, error)) __builtin_trap();
    if (!SameMachine(machine, again)) __builtin_trap();
    return 0;
}
