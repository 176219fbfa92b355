// A machine varied from another: key paths of the machine file given new values, as a sweep's
// --vary and the optimiser's candidates name them. Checked as a file is checked, so a varied
// machine that cannot be built is refused with the same reasons.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"

// One value for one key path ("linkage.crank", "legs.planes.2", "drive.crankSpeed").
struct MachineValue {
    std::string path;
    double value = 0.0;
};

// Whether `path` names a key of the machine file; false with the reason when it does not.
bool CheckMachinePath(const std::string& path, std::string& error);

// `base` with every value of `values` set, into `varied`. False with the reason (the key and
// its range, or why the linkage cannot close or turn) when the result is no machine to build.
bool VaryMachine(const Machine& base, const std::vector<MachineValue>& values, Machine& varied,
                 std::string& error);
