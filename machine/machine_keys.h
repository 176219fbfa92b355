// Every key of a machine file: its table, name, unit, range and what it means. The reader checks
// a file against this list and the printer writes the file from it, so the two never disagree.
#pragma once

#include <string_view>

#include "machine/machine.h"

struct MachineKey {
    const char* table;
    const char* name;
    int count; // 1 for a number, else the length of an array of numbers
    const char* unit;
    const char* meaning;
    double low, high; // the accepted range, both ends included
    double& (*at)(Machine& machine, int index);
};

extern const MachineKey kMachineKeys[];
extern const int kMachineKeyCount;

// The tables in file order, each with a line that says what it holds.
struct MachineTable {
    const char* name;
    const char* meaning;
};
extern const MachineTable kMachineTables[];
extern const int kMachineTableCount;

// A key by its path ("linkage.crank"; an array's element as "legs.planes.2"); null when no key
// has that path, and `index` is the element meant.
const MachineKey* FindMachineKey(std::string_view path, int& index);
