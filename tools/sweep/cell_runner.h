// Runs a sweep's runs in koltrep-replay processes without drawing, so that a run gives exactly
// what a single replay of it gives, at most `jobs` processes at a time, each with a batch of
// runs. Every process is the leader of a process group of its own, so that a stop reaches
// whatever it started too.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sweep/gait_measures.h"

struct Cell {
    float crankSpeed = 0.0f;
    float friction = 0.0f;
    // With --vary: each axis's value, the row's leading fields (the values and the machine
    // file's name), the machine file its runs build, or why the grid point is no machine (it
    // has no runs then). Empty without --vary: the rows lead with the crank speed and friction.
    std::vector<double> values;
    std::string prefix;
    std::string machine;
    std::string infeasible;
    bool done = false;
    GaitMeasures measures;
    std::string failure; // why the cell has no measures
};

// One replay of one cell: the cell's single run, or one of its repeats.
struct Run {
    size_t cell = 0;
    int repeat = -1;     // -1: the unperturbed start of a sweep without repeats
    std::string row;     // the run's CSV row with its newline; empty: no result yet
    std::string failure; // why it has no row
};

struct CellRun {
    std::string replay;  // the koltrep-replay program
    std::string script;  // key script
    std::string scratch; // folder for the runs' traces and logs
    long ticks = 0;
    long settle = 0;
    uint64_t seed = 0;   // repeat r starts perturbed by RepeatSeed(seed, r)
    size_t batch = 1;    // runs per replay process; 1: one process per run
    std::string machine; // the machine file every replay builds, checked; empty: the built-in
};

// The value as the cell's replay is told it: the shortest text that reads back as the same float.
std::string FloatText(float value);

// The signal that asked the sweep to stop (SIGINT, SIGTERM or SIGHUP), 0 while none has.
extern volatile sig_atomic_t stopSignal;
// Catches the stop signals and holds them (and SIGCHLD) back outside the waits, so that none is
// lost between a check and a wait. Children get the mask and handlers the sweep started with.
void CatchStopSignals();
// Lets the held signals through again (before gnuplot, which should be stoppable).
void ReleaseStopSignals();
// Sleeps up to `milliseconds`, waking early for a stop signal or a child's end.
void WaitForSignal(long milliseconds);

// Runs the runs listed in `todo` (indexes into `runs`), filling in their rows or failures. On a
// stop signal it ends every running process group, waits for them and keeps the runs whose
// traces are complete. The progress bar goes to stderr. True when every listed run has its row.
bool RunCells(const CellRun& run, const std::vector<Cell>& cells, std::vector<Run>& runs,
              const std::vector<size_t>& todo, int jobs);
