// koltrep-sweep's command line and its grid of cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/sweep/sweep_axes.h"

constexpr size_t kMaxCells = 10000;
constexpr long kMaxRepeats = 10000;
constexpr size_t kMaxRuns = 2000000; // cells times repeats

struct SweepOptions {
    std::vector<float> crankSpeeds;
    std::vector<float> frictions;
    std::string script; // empty: UP held from the first tick
    long ticks = 400;
    long settle = 100;
    int jobs = 0;       // 0: one per core this process may run on
    std::string out;    // empty: koltrep-sweep in the temporary folder (the sweep runs in data/)
    std::string replay; // empty: koltrep-replay beside this program
    bool plot = true;
    int repeats = 0;   // 0: one unperturbed run per cell, today's rows
    uint64_t seed = 0; // repeat r of a cell starts perturbed by seed + r
    long batch = 0;    // runs per replay process; 0: chosen by the engine
    bool resume = false;
    std::string engine = "local"; // or "slurm"
    std::string partition;        // Slurm: empty for the cluster's default
    std::string timeLimit;        // Slurm: per task, as sbatch --time takes it
    bool dryRun = false;          // Slurm: write the batch script, do not submit
    std::string task;             // internal: run one Slurm task's list of runs
    std::string machine;          // a machine file for every replay; empty: the built-in one
    // With --vary: every varied dimension in the order given, --crank-speeds and --frictions
    // among them as the key paths they stand for; the grid is their product. Empty without.
    std::vector<SweepAxis> axes;
    std::vector<std::string> axisTexts; // each axis as given, for the settings file
};

extern const char kSweepUsage[];

// "1,2,3" or "FROM:TO:COUNT" (COUNT evenly spaced values, ends included), each value within
// [low, high]; at most kMaxCells values. False with a reason otherwise: `refusal`, a printf
// format of the whole message, given the text.
bool ParseValueList(const std::string& text, float low, float high, const char* refusal,
                    std::vector<float>& values, std::string& error);

bool ParseSweepOptions(int argc, char** argv, SweepOptions& options, std::string& error);
