// The pictures of a sweep with repeats, drawn by gnuplot.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/sweep_runs.h"

// speed.png (mean speed against crank speed with error bars of one standard deviation, one curve
// per friction) and tipover.png (the share of repeats that tipped over, cell by cell) in
// `folder`, from data files written in `data` (a scratch folder). `spreads` has one entry per
// cell, in the cells' order.
bool WriteSpreadPlots(const std::string& folder, const std::string& data,
                      const std::vector<float>& crankSpeeds, const std::vector<float>& frictions,
                      const std::vector<Cell>& cells, const std::vector<Spread>& spreads,
                      std::string& error);
