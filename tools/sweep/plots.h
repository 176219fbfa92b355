// The sweep's pictures, drawn by gnuplot.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"

// speed.png (speed against crank speed, one curve per friction) and tipover.png (which cells
// tipped over, and when) in `folder`, from data files written in `data` (a scratch folder).
// False with a reason when gnuplot is missing or fails.
bool WritePlots(const std::string& folder, const std::string& data,
                const std::vector<float>& crankSpeeds, const std::vector<float>& frictions,
                const std::vector<Cell>& cells, std::string& error);

// A gnuplot single-quoted string.
std::string GnuplotQuoted(const std::string& text);
// Runs gnuplot on `script` with its output kept from the user: warnings about data it skips are
// expected, and a failure is reported in a line of our own. False with the reason.
bool RunGnuplot(const std::string& script, std::string& error);
// The pictures' size, font and grid: the first lines of every script.
extern const char kPlotTerminal[];
// The crank speed axis, named as the program names the value.
extern const char kCrankSpeedLabel[];
