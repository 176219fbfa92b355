// The candidates of a search, evaluated a generation at a time: each varied from the base
// machine (a machine that cannot be built is infeasible, with the reason), written as
// DIR/candidates/G-I.toml and run from every start. Every candidate evaluated is kept, in
// generation and index order, and one already evaluated by a stopped search is taken as it was.
#pragma once

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "tools/optimize/evaluation_pool.h"
#include "tools/optimize/optimize_files.h"

// Thrown out of a batch, through the search, when a stop signal ended it.
struct SearchStopped : std::runtime_error {
    SearchStopped() : std::runtime_error("stopped") {}
};

class CandidateEvaluator {
  public:
    CandidateEvaluator(const OptimizeOptions& options, const EvaluationSettings& settings,
                       const Machine& base, const std::string& candidatesFolder,
                       std::vector<Candidate> earlier);

    // The next generation's candidates (the first call: generation 0, the base machine alone);
    // their fitnesses, one after another. Throws SearchStopped on a stop signal, keeping the
    // candidates that finished.
    std::vector<double> EvaluateBatch(const std::vector<std::vector<double>>& values);

    // A deque, so that a candidate stays where it is while more are added.
    const std::deque<Candidate>& Candidates() const { return candidates_; }
    // The first candidate evaluated with exactly these values; null if none was.
    const Candidate* Find(const std::vector<double>& values) const;
    // The machine file's text of a feasible candidate.
    std::string MachineTextOf(const Candidate& candidate) const;

  private:
    // A generation's candidates, and the runs of those to be run: candidate i's are
    // runs[firstRun[i]] up to runs[firstRun[i + 1]].
    struct BatchPlan {
        std::vector<Candidate> batch;
        std::vector<EvaluationRun> runs;
        std::vector<size_t> firstRun;
    };
    // Varies and writes the candidates, taking those a stopped search evaluated as they were.
    BatchPlan Plan(const std::vector<std::vector<double>>& values);
    // Keeps the candidates whose runs all ended, adding their fitnesses; the first failure of
    // the evaluator itself, if any.
    std::string Keep(BatchPlan& plan, const std::vector<RunOutcome>& outcomes,
                     const std::vector<bool>& finished, std::vector<double>& fitness);
    bool Vary(const std::vector<double>& values, Machine& machine, std::string& error) const;
    void ShowProgress() const;

    const OptimizeOptions& options_;
    EvaluationSettings settings_;
    Machine base_;
    std::string folder_;
    std::map<std::pair<int, int>, Candidate> earlier_;
    std::deque<Candidate> candidates_;
    std::map<std::vector<double>, size_t> byValues_;
    int generation_ = 0;
    size_t runsDone_ = 0;
};
