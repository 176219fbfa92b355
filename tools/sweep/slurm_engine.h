// The Slurm engine: the sweep's runs as one job array, each task a batch of runs that
// koltrep-sweep itself runs on the node (--task) and measures there, so that only rows come
// back. The batch script, the task lists and the tasks' rows and logs are in OUT/slurm, which
// the nodes must see at the same path, as they must see the programs, the script and the data
// folder the sweep is started in.
#pragma once

#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/sweep_options.h"

struct SlurmSweep {
    const SweepOptions* options = nullptr;
    CellRun run;              // the replay, ticks, settling time and seed
    std::string scriptText;   // the key script, copied where the nodes see it
    std::string sweepProgram; // this program, which each task runs
};

// A line break in a path would end a line of the batch script, and the rest would run as a
// command: false with a reason when --out, the current folder, the replay or this program has one.
bool CheckSlurmPaths(const SlurmSweep& sweep, std::string& error);

// Submits the runs in `todo`, waits for the array and takes the rows the tasks wrote, with a
// failure for every run of a task that did not finish; a stop signal cancels the array. With
// --dry-run it writes the batch script and says how to submit it. 0, or an exit code with the
// reason in `error`.
int RunSlurmSweep(const SlurmSweep& sweep, const std::vector<Cell>& cells, std::vector<Run>& runs,
                  const std::vector<size_t>& todo, std::string& error);

// One array task: runs PREFIX.cells in one replay process in a scratch folder on the node and
// writes their rows to PREFIX.rows. False with a reason when any run has no row.
bool RunSlurmTask(const std::string& prefix, CellRun run, std::string& error);
