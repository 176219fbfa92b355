// What --vary adds to a sweep beside its grid: the machine files of the grid points, the rows'
// headers, the names of its cells and the plots' axes.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"
#include "tools/sweep/cell_runner.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/sweep_axes.h"

// The axes' key paths, in order.
std::vector<std::string> AxisPaths(const std::vector<SweepAxis>& axes);

// Writes every feasible cell's machine file (`machines` in the cells' order) into the folder
// `out`/machines, made when missing; first checks that none of them is `inputs` (the --machine
// file, the key script), which the sweep still reads. False with the reason.
bool WriteGridMachines(const std::string& out, const std::vector<Cell>& cells,
                       const std::vector<Machine>& machines, const std::vector<std::string>& inputs,
                       std::string& error);

// "linkage.crank 0.9, linkage.coupler 3.3": the cell as failures name it.
std::string VariedCellName(const std::vector<SweepAxis>& axes, const Cell& cell);

// The plots' grid: the first axis along x, one curve (one row of the tip-over map) for each
// value of the others, and the cost of transport plotted as well.
PlotGrid VariedPlotGrid(const std::vector<SweepAxis>& axes);
