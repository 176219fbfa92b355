#include "tools/replay/outputs.h"

#include <platform/win32/output_files.h>

bool IsFrameName(std::string_view name) {
    constexpr std::string_view kSuffix = ".png";
    if (name.size() < 6 + kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix)
        return false;
    const std::string_view digits = name.substr(0, name.size() - kSuffix.size());
    return digits.find_first_not_of("0123456789") == std::string_view::npos;
}

bool CheckReplayOutputs(const ReplayOptions& options, std::string& error) {
    platform::OutputCheck check;
    check.Input("--script", options.script);
    if (!options.cells.empty()) check.Input("--cells", options.cells);
    if (!options.trace.empty()) check.OutputFile("--trace", options.trace);
    if (!options.shot.empty()) check.OutputFile("--shot", options.shot);
    if (!options.video.empty()) check.OutputFile("--video", options.video);
    if (!options.framesDir.empty()) check.OutputFolder("--frames", options.framesDir, IsFrameName);
    return check.Check(error);
}
