// The sweep's pictures, drawn by gnuplot.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"

// What the plots show: the grid's first dimension along x, and one curve (one row of the
// tip-over map) for each value of the others; without --vary, crank speed by friction.
struct PlotGrid {
    std::string xLabel;
    size_t columns = 0;            // cells a row: the first dimension's values
    std::vector<std::string> rows; // each row's title, the rows in the cells' order
    std::string rowsTitle;         // the key's title
    std::string rowsLabel;         // the map's y label
    bool cost = false;             // cost.png too: the cost of transport against x
};
PlotGrid FrictionRows(const std::vector<float>& crankSpeeds, const std::vector<float>& frictions);

// A cell's place along x: its first varied value, else its crank speed.
std::string PlotXText(const Cell& cell);
std::string PlotNumber(double value);

// The key's entries and the map's y tics, one a row that has a cell to show.
std::string CurveList(const PlotGrid& grid, const std::vector<Cell>& cells, const std::string& data,
                      const std::string& style, bool withErrors);
std::string RowTics(const PlotGrid& grid);

// speed.png (speed against x, one curve a row) and tipover.png (which cells tipped over, and
// when) in `folder`, from data files written in `data` (a scratch folder). False with a reason
// when gnuplot is missing or fails.
bool WritePlots(const std::string& folder, const std::string& data, const PlotGrid& grid,
                const std::vector<Cell>& cells, std::string& error);
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
