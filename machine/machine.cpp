// The design's machine and the one in force.
#include "machine/machine.h"

#include <cstring>

namespace {

constexpr Machine kDesign = {
    {1.0, 2.0, 2.5, 2.5, 5.0},      {0.3, 4.0},
    {{4.0, 4.7, 10.7, 11.4}, 10.0}, {{8.0, -0.5, 7.7}, 16.0, 0.5, 6.0, 192.0},
    {10000.0, 3.0, 1.0, 3.0},       {350.0, 0.01, 0.04, 0.0005},
};

Machine inForce = kDesign;

} // namespace

const Machine& DesignMachine() {
    return kDesign;
}

const Machine& MachineInForce() {
    return inForce;
}

void PutMachineInForce(const Machine& machine) {
    inForce = machine;
}

// Every member is a double and the struct has no padding, so the bytes compare the values
// (a NaN never gets this far: the reader refuses it).
bool SameMachine(const Machine& a, const Machine& b) {
    return std::memcmp(&a, &b, sizeof(Machine)) == 0;
}
