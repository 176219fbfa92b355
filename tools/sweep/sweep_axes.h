// The machine dimensions a sweep varies: --vary NAME=FROM:TO:COUNT over any key of the machine
// file, and --crank-speeds and --frictions, which vary the crank speed and friction the machine
// starts with. Their product is the grid; every grid point is a machine of its own, written to a
// file of its own, so that any row can be run again alone.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"
#include "tools/sweep/cell_runner.h"

constexpr size_t kMaxAxes = 3;
constexpr long kMaxAxisValues = 1000;

struct SweepAxis {
    std::string path;           // a key path of the machine file, which names the CSV column
    std::vector<double> values; // in the order given
    bool single = false;        // the program takes the value as a float: each value is one
};

// "NAME=FROM:TO:COUNT" (COUNT 1 to 1000, FROM <= TO) or "NAME=1,2,3", NAME a key path. False with
// the reason.
bool ParseVary(const std::string& text, SweepAxis& axis, std::string& error);

// The axis --crank-speeds or --frictions stands for.
SweepAxis FloatAxis(const std::string& path, const std::vector<float>& values);

// The value as the rows and the machine file give it: the shortest text that reads back the same.
std::string AxisValueText(const SweepAxis& axis, double value);

// Grid point `index`'s machine file, relative to the sweep's folder: machines/NNNN.toml.
std::string CellMachineName(size_t index);

// The grid's cells, the first axis varying fastest: each with its values, the row's leading
// fields (the values and its machine file's name), the crank speed and friction its machine
// starts with and its machine file under `folder`; a grid point that is no machine to build gets
// the reason instead and no file. `machines` gets each cell's machine (the base for those).
std::vector<Cell> VaryGrid(const std::vector<SweepAxis>& axes, const Machine& base,
                           const std::string& folder, std::vector<Machine>& machines);

// One grid point's machine file: the machine as a file a user can open, replay or edit, written
// whole or not at all.
bool WriteMachineFile(const std::string& path, const Machine& machine, std::string& error);
