// The search itself: NSGA-II over the --param ranges, a generation at a time, every generation
// evaluated as one batch. Its random draws come from --seed alone, so the same inputs give the
// same candidates, whatever --jobs.
#pragma once

#include <vector>

#include "tools/optimize/candidate_evaluator.h"

// The non-dominated feasible members of the population after each generation, from the first
// (the random start) to the last; each front ordered by its members' fitness.
using Fronts = std::vector<std::vector<const Candidate*>>;

// Runs the base machine (generation 0), then the search. Throws SearchStopped on a stop signal.
Fronts RunSearch(const OptimizeOptions& options, const std::vector<double>& baseValues,
                 CandidateEvaluator& evaluator);

// The members of `candidates` no other feasible one dominates, infeasible ones left out; one
// member for candidates with the same values. Ordered by their fitness, then by generation and
// index.
std::vector<const Candidate*> FeasibleFront(const std::vector<const Candidate*>& candidates,
                                            const std::vector<Objective>& objectives);
