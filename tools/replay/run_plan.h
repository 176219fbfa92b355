// What a run plays, worked out from its options before anything starts: the key events, the
// last tick and a batch's cells. koltrep-replay and koltrep-evaluate read their options alike.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"
#include "records/key_script.h"
#include "tools/replay/batch.h"
#include "tools/replay/options.h"

struct RunPlan {
    std::vector<KeyEvent> events;
    std::vector<PanelAction> actions; // the script's panel lines and pulls
    long lastTick = 0;
    std::vector<BatchCell> cells; // --cells: the batch, run one after another
    // What every cell starts from: the script's machine lines rebuild the machine as they go.
    Machine startMachine = DesignMachine();
};

// Loads --cells' batch, if any, so that the outputs can be checked against every cell's before
// the script is read. False with the message to print.
bool LoadRunCells(const ReplayOptions& options, RunPlan& plan, std::string& error);

// Loads the script, puts the machine to run in force and settles the tick count; a batch (loaded
// first by LoadRunCells) takes its first cell's trace and control inputs into `options`. Notes
// (events past the last tick) go to stderr under `program`'s name. False with the message to print;
// `showUsage` when the usage should follow.
bool PlanRun(const char* program, ReplayOptions& options, RunPlan& plan, std::string& error,
             bool& showUsage);
