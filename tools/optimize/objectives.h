// A candidate's objectives from its runs' measures: the mean over its starts, with their spread,
// or the reason it cannot be ranked with the rest (infeasible).
#pragma once

#include <string>
#include <vector>

#include "tools/optimize/optimize_options.h"
#include "tools/sweep/gait_measures.h"

// One start of a candidate: its measures, or why it has none (it tipped over, its run failed).
struct RunOutcome {
    GaitMeasures measures;
    std::string failure; // empty: measured
    // The evaluator itself failed (it could not start, or refused its command line): a fault
    // of the search's tools, not of the candidate, which must not be judged on it.
    bool toolFailed = false;
};

struct Score {
    bool feasible = false;
    std::string reason;       // why not feasible
    std::vector<double> mean; // per objective, in the command line's order
    std::vector<double> sd;   // over the starts (n - 1); 0 with a single start
};

// A feasible figure beyond this cannot be ranked against the penalty of the infeasible.
constexpr double kLargestObjective = 1e8;
constexpr double kPenalty = 1e9;

// The candidate's score: infeasible when any start failed or lacks an objective.
Score ScoreRuns(const std::vector<RunOutcome>& runs, const std::vector<Objective>& objectives);

// What the search minimises: the means, negated where they are to be maximised; kPenalty for
// every objective of an infeasible candidate, which no feasible one can fail to dominate.
std::vector<double> Fitness(const Score& score, const std::vector<Objective>& objectives);
