// The candidates' runs in koltrep-evaluate processes, at most `jobs` at a time, each in a process
// group of its own and each with a batch of runs. Outcomes are kept by the run's place in the list,
// never by the order the processes end in, so that the results do not depend on how many run side
// by side.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/recorded_start.h"
#include "tools/optimize/objectives.h"

// One start of one candidate.
struct EvaluationRun {
    std::string machine; // the candidate's machine file
    bool perturbed = false;
    uint64_t perturb = 0; // the start's seed when perturbed
    // The control inputs it starts with, as a run of the machine file alone takes them: a cell
    // of a batch states them.
    float crankSpeed = 0.0f;
    float friction = 0.0f;
};

struct EvaluationSettings {
    std::string evaluate; // the koltrep-evaluate program
    std::string script;
    std::string scratch; // traces and logs, removed as each run is measured
    long ticks = 0;
    long settle = 0;
    int jobs = 1;
    size_t batch = 0;       // runs per process; 0: an equal share of the runs per job
    RecordedStart recorded; // the script's own start inputs, which a run takes over the machine's
    std::string engine = "local"; // or "slurm"
    std::string out;              // --out: the Slurm engine's work folders go there
    std::string partition;        // Slurm: empty for the cluster's default
    std::string timeLimit;        // Slurm: a task's, as sbatch --time takes it
};

// Runs every run, filling `outcomes` (one per run) and `finished`. On a stop signal it starts no
// more, lets a process with one run end and ends those with more, keeping the runs whose traces
// are whole. `progress` hears of every run's end. False when it stopped before all had run.
bool RunEvaluations(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                    std::vector<RunOutcome>& outcomes, std::vector<bool>& finished,
                    const std::function<void()>& progress);

// The outcome of a trace as koltrep-evaluate --stop-at-tip wrote it: tipped over, cut short or
// measured.
RunOutcome MeasureTrace(const std::string& traceText, long ticks, long settle);
