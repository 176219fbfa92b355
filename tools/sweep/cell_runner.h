// Runs a sweep's cells, each in a koltrep-replay process of its own without drawing, so that a
// cell gives exactly what a single replay of it gives, at most `jobs` of them at a time.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/gait_measures.h"

struct Cell {
    float crankSpeed = 0.0f;
    float friction = 0.0f;
    bool done = false;
    GaitMeasures measures;
    std::string failure; // why the cell has no measures
};

struct CellRun {
    std::string replay;  // the koltrep-replay program
    std::string script;  // key script
    std::string scratch; // folder for the cells' traces and logs
    long ticks = 0;
    long settle = 0;
};

// The value as the cell's replay is told it: the shortest text that reads back as the same float.
std::string FloatText(float value);

// True when every cell has its measures; the progress bar goes to stderr.
bool RunCells(const CellRun& run, std::vector<Cell>& cells, int jobs);
