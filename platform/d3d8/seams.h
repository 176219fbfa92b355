// Private to the Direct3D 8 stand-in: where the seams of d3d8_linux.h keep what the tests set,
// for the parts of the stand-in that consult them.
#pragma once

#include <platform/d3d8/d3d8_linux.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::d3d8 {

struct SeamState {
    std::vector<SimulatedAdapter> adapters;
    bool failCreation[3] = {false, false, false};
    std::function<HRESULT()> cooperativeLevel;
    std::optional<std::string> rendererName;
    std::function<void(D3DCAPS8&)> capsAdjustment;
    FullScreenScaling fullScreenScaling = FullScreenScaling::ByRenderer;
};
SeamState& Seams();

} // namespace platform::d3d8
