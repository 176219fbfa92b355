// koltrep-optimize's command line: which machine values it may change and within what, what it
// asks of the walk, and how it searches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A machine value the search varies, by its key path, within [low, high].
struct ParamRange {
    std::string path;
    double low = 0.0;
    double high = 0.0;
};

// What the search asks of a candidate's walk, each measured after settling.
enum class Measure { kSpeed, kCostOfTransport, kHeadingDrift, kStrideLength, kFootHeightVariation };

struct Objective {
    Measure measure = Measure::kSpeed;
    bool maximize = false;
};

struct OptimizeOptions {
    std::vector<ParamRange> params;
    std::vector<Objective> objectives;
    int population = 16; // a multiple of 4, at least 8
    int generations = 10;
    uint64_t seed = 0;
    long ticks = 300;
    long settle = 100;
    int repeats = 1;     // 1: the unperturbed start; more: as many perturbed starts
    std::string machine; // the base machine file; empty: the design's
    std::string script;  // empty: UP held from the first tick
    int jobs = 0;        // 0: one per core
    int batch = 0;       // runs per evaluator process; 0: an equal share of a generation per job
    std::string out;     // empty: koltrep-optimize-USER in the temporary folder
    bool resume = false;
    bool plot = true;
    std::string evaluate;         // empty: koltrep-evaluate beside this program
    std::string engine = "local"; // or "slurm": a job array per generation
    std::string partition;        // Slurm: empty for the cluster's default
    std::string timeLimit;        // Slurm: a task's, as sbatch --time takes it
};

constexpr int kMaxParams = 8;
constexpr int kMaxPopulation = 1024;
constexpr int kMaxGenerations = 1000;
constexpr int kMaxRepeats = 100;
constexpr int kMaxBatch = 100000;

extern const char kOptimizeUsage[];

// The measure's name as the CSV and the command line write it.
const char* MeasureName(Measure measure);

bool ParseOptimizeOptions(int argc, char** argv, OptimizeOptions& options, std::string& error);
