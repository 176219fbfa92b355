// What a run plays, worked out from its options before anything starts: the key events, the
// last tick and a batch's cells. koltrep-replay and koltrep-evaluate read their options alike.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"
#include "records/key_script.h"
#include "tools/replay/batch.h"
#include "tools/replay/options.h"

// The machines of a batch's cells: each file loaded and checked once, before the first tick.
struct CellMachines {
    Machine own;                // the run's machine: --machine, the recording's or the built-in
    std::vector<Machine> files; // the cells' machine files, each once
    std::vector<int> ofCell;    // per cell, its machine in `files`; -1: the run's own
};

struct RunPlan {
    std::vector<KeyEvent> events;
    std::vector<PanelAction> actions; // the script's panel lines and pulls
    long lastTick = 0;
    std::vector<BatchCell> cells; // --cells: the batch, run one after another
    CellMachines machines;
};

// Loads --cells' batch, if any, so that the outputs can be checked against every cell's before
// the script is read. False with the message to print.
bool LoadRunCells(const ReplayOptions& options, RunPlan& plan, std::string& error);

// Loads the script, puts the machine to run in force and settles the tick count; a batch (loaded
// first by LoadRunCells) loads its cells' machine files and takes its first cell's machine, trace
// and control inputs into `options`; every machine line of the script is checked from the start's
// machine. Notes (events past the last tick) go to stderr under `program`'s name. False with the
// message to print; `showUsage` when the usage should follow.
bool PlanRun(const char* program, ReplayOptions& options, RunPlan& plan, std::string& error,
             bool& showUsage);

// Puts cell `cell`'s machine in force and fills the shape tables from it, ready for the world to
// be rebuilt.
void PutCellMachineInForce(const CellMachines& machines, size_t cell);
