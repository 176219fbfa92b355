// A sweep's runs and what is kept of them: every run's CSV row is the one record of its result,
// from which the cell rows, the plots, the partial file and a resumed sweep are all made. Rows
// are read back rather than kept as numbers, so a row made by another process, another machine
// or an earlier sweep gives the same bytes downstream as one measured here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/gait_measures.h"

// The header of one row per run when the sweep repeats its cells.
extern const char kRunCsvHeader[];
// The header of the cell rows of a sweep with repeats: the spread over the repeats.
extern const char kSpreadCsvHeader[];

// The perturbation seed of repeat `repeat` of a sweep with --seed `seed`: what
// `koltrep-replay --perturb` takes to run that repeat alone.
uint64_t RepeatSeed(uint64_t seed, int repeat);

// The run's row with its newline: today's cell row without repeats (repeat < 0), else the cell,
// the repeat's index and the measures.
std::string FormatRunRow(const Cell& cell, int repeat, const GaitMeasures& measures);

// Reads a row of either kind back; `repeat` is -1 for a row without the repeat column.
bool ParseRunRow(const std::string& row, bool withRepeat, float& crankSpeed, float& friction,
                 int& repeat, GaitMeasures& measures);
// The same for rows of any leading fields (a varied sweep's values and machine file): `prefix`
// gets the first `prefixFields` fields as written.
bool ParseRunRow(const std::string& row, size_t prefixFields, bool withRepeat, std::string& prefix,
                 int& repeat, GaitMeasures& measures);

// `header` (one of the headers above) for a sweep that varies `axes` (key paths): the axes and
// the machine file's name lead instead of the crank speed and friction, and cell rows end with
// the reason a grid point is no machine. `header` itself without axes.
std::string RowHeader(const std::vector<std::string>& axes, const char* header, bool cellRows);
// The row of a grid point that is no machine to build: its values, empty measures, the reason.
std::string FormatInfeasibleRow(const Cell& cell, bool withRepeats);

// The spread of one cell's repeats, from their rows (all of the same cell).
struct Spread {
    size_t repeats = 0;
    double speedMean = 0, speedSd = 0, speedMin = 0, speedMax = 0;
    double driftMean = 0, driftSd = 0, driftMin = 0, driftMax = 0;
    double tipShare = 0;
    double tipTickMedian = -1; // -1: none tipped over
    WalkMeasures walkMean;     // each over the repeats that have it
};
Spread SpreadOf(const std::vector<GaitMeasures>& repeats);
std::string FormatSpreadRow(const Cell& cell, const Spread& spread);

// The script's text's hash, in hexadecimal: the rows depend on the text, not on where it lies.
std::string ScriptHash(const std::string& scriptText);

// The settings a partial file holds its rows for; a resumed sweep must have the same.
std::string SweepSettings(long ticks, long settle, int repeats, uint64_t seed,
                          const std::string& scriptText);

// The partial file's text: a first line saying what it is, the header, the finished rows.
std::string PartialText(const std::string& settings, const std::string& header,
                        const std::vector<Run>& runs);

// Takes the rows of a partial file into `runs` (matched by cell and repeat). False with a reason
// naming the line when the file is of other settings, is cut short, or holds a row that is no
// run of this sweep, a second row of one run, or a figure no run of `ticks` ticks gives.
bool TakePartialRows(const std::string& text, const std::string& settings, bool withRepeat,
                     long ticks, const std::vector<Cell>& cells, std::vector<Run>& runs,
                     std::string& error);
// The same for rows under `header` (RowHeader's, for a varied sweep), the reason naming the file
// as `path`.
bool TakePartialRows(const std::string& path, const std::string& text, const std::string& settings,
                     const std::string& header, bool withRepeat, long ticks,
                     const std::vector<Cell>& cells, std::vector<Run>& runs, std::string& error);
