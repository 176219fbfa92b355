// The sweep's pictures, drawn by gnuplot.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"

// speed.png (speed against crank speed, one curve per friction) and tipover.png (which cells
// tipped over, and when) in `folder`, with their data files. False with a reason when gnuplot
// is missing or fails.
bool WritePlots(const std::string& folder, const std::vector<float>& crankSpeeds,
                const std::vector<float>& frictions, const std::vector<Cell>& cells,
                std::string& error);
