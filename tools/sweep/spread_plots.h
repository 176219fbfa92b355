// The pictures of a sweep with repeats, drawn by gnuplot.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/sweep_runs.h"

// speed.png (mean speed against x with error bars of one standard deviation, one curve a row of
// the grid; without --vary, against crank speed, one curve per friction), with the grid's cost
// the mean cost of transport in cost.png, and tipover.png (the share of repeats that tipped
// over, cell by cell) in `folder`, from data files written in `data` (a scratch folder).
// `spreads` has one entry per cell, in the cells' order; cells that are not done are left out.
bool WriteSpreadPlots(const std::string& folder, const std::string& data, const PlotGrid& grid,
                      const std::vector<Cell>& cells, const std::vector<Spread>& spreads,
                      std::string& error);
