// DIR/front.png: the front after each generation, lighter early and darker late, with the base
// machine marked, in the first two objectives.
#pragma once

#include <string>

#include "tools/optimize/search.h"

// Draws through gnuplot from data files written in `data` (a scratch folder). False with a
// reason when gnuplot is missing or fails, or nothing feasible was found to draw.
bool WriteFrontPlot(const std::string& folder, const std::string& data,
                    const OptimizeOptions& options, const Fronts& fronts,
                    const Candidate& reference, std::string& error);
