// Machines varied by key path.
#include "machine/machine_values.h"

#include <cmath>
#include <cstdio>

#include <platform/i18n/i18n.h>

#include "machine/four_bar.h"
#include "machine/machine_keys.h"

namespace {

bool SetValue(Machine& machine, const MachineValue& value, std::string& error) {
    int index = 0;
    const MachineKey* key = FindMachineKey(value.path, index);
    if (key == nullptr) {
        error = FormatText(_("%s: not a key of the machine file (koltrep-inspect machine lists "
                             "them)"),
                           value.path.c_str());
        return false;
    }
    if (!std::isfinite(value.value) || !(value.value >= key->low && value.value <= key->high)) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%g", value.value);
        const std::string range =
            FormatText(_("must be a number from %g to %g %s"), key->low, key->high, key->unit);
        error = value.path + ": " + FormatText(_("%s is out of range: %s"), shown, range.c_str());
        return false;
    }
    key->at(machine, index) = value.value;
    return true;
}

} // namespace

bool CheckMachinePath(const std::string& path, std::string& error) {
    int index = 0;
    if (FindMachineKey(path, index) != nullptr) return true;
    error = FormatText(_("%s: not a key of the machine file (koltrep-inspect machine lists them)"),
                       path.c_str());
    return false;
}

bool VaryMachine(const Machine& base, const std::vector<MachineValue>& values, Machine& varied,
                 std::string& error) {
    varied = base;
    for (const MachineValue& value : values)
        if (!SetValue(varied, value, error)) return false;
    std::string problem = CrankTurnProblem(varied.linkage);
    LegBuildPose pose;
    if (problem.empty() && !BuildPoseOf(varied.linkage, pose))
        problem = _("the four-bar loop cannot close with the crank straight up");
    if (problem.empty()) return true;
    error = "linkage: " + problem;
    return false;
}
