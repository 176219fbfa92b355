// A generation's candidates: varied, written, run and scored.
#include "tools/optimize/candidate_evaluator.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include <platform/i18n/i18n.h>

#include "machine/machine_file.h"
#include "machine/machine_values.h"
#include "tools/sweep/sweep_runs.h"

namespace {

std::string CandidateName(int generation, int index) {
    return std::to_string(generation) + "-" + std::to_string(index);
}

// The search keeps one start unperturbed (the run a replay of the file gives); repeats all start
// perturbed, as the sweep's do. The start inputs are the machine's unless the script recorded
// its own, as a replay of the file takes them.
std::vector<EvaluationRun> StartsOf(const std::string& path, const Machine& machine,
                                    const OptimizeOptions& options, const RecordedStart& recorded) {
    std::vector<EvaluationRun> runs;
    for (int r = 0; r < options.repeats; ++r) {
        EvaluationRun run;
        run.machine = path;
        run.crankSpeed = recorded.hasCrankSpeed ? recorded.crankSpeed
                                                : static_cast<float>(machine.drive.crankSpeed);
        run.friction =
            recorded.hasFriction ? recorded.friction : static_cast<float>(machine.contact.friction);
        run.perturbed = options.repeats > 1;
        run.perturb = RepeatSeed(options.seed, r);
        runs.push_back(run);
    }
    return runs;
}

void WriteMachine(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw std::runtime_error(FormatText(_("cannot write %s"), path.c_str()));
}

} // namespace

CandidateEvaluator::CandidateEvaluator(const OptimizeOptions& options,
                                       const EvaluationSettings& settings, const Machine& base,
                                       const std::string& candidatesFolder,
                                       std::vector<Candidate> earlier)
    : options_(options), settings_(settings), base_(base), folder_(candidatesFolder) {
    for (Candidate& candidate : earlier)
        earlier_[{candidate.generation, candidate.index}] = std::move(candidate);
}

bool CandidateEvaluator::Vary(const std::vector<double>& values, Machine& machine,
                              std::string& error) const {
    std::vector<MachineValue> set;
    for (size_t p = 0; p < values.size(); ++p)
        set.push_back({options_.params[p].path, values[p]});
    return VaryMachine(base_, set, machine, error);
}

std::string CandidateEvaluator::MachineTextOf(const Candidate& candidate) const {
    Machine machine;
    std::string error;
    Vary(candidate.values, machine, error);
    return MachineText(machine);
}

const Candidate* CandidateEvaluator::Find(const std::vector<double>& values) const {
    auto found = byValues_.find(values);
    return found == byValues_.end() ? nullptr : &candidates_[found->second];
}

CandidateEvaluator::BatchPlan
CandidateEvaluator::Plan(const std::vector<std::vector<double>>& values) {
    BatchPlan plan;
    const int generation = generation_++;
    plan.batch.resize(values.size());
    plan.firstRun.assign(values.size() + 1, 0);
    for (size_t i = 0; i < values.size(); ++i) {
        Candidate& candidate = plan.batch[i];
        candidate.generation = generation;
        candidate.index = static_cast<int>(i);
        candidate.values = values[i];
        plan.firstRun[i + 1] = plan.firstRun[i] = plan.runs.size();
        Machine machine;
        if (!Vary(values[i], machine, candidate.score.reason)) continue;
        const std::string path = folder_ + "/" + CandidateName(generation, i) + ".toml";
        WriteMachine(path, MachineText(machine));
        auto earlier = earlier_.find({generation, candidate.index});
        if (earlier != earlier_.end() && earlier->second.values == values[i]) {
            candidate.score = earlier->second.score;
            continue;
        }
        std::vector<EvaluationRun> starts = StartsOf(path, machine, options_, settings_.recorded);
        plan.runs.insert(plan.runs.end(), starts.begin(), starts.end());
        plan.firstRun[i + 1] = plan.runs.size();
    }
    return plan;
}

std::string CandidateEvaluator::Keep(BatchPlan& plan, const std::vector<RunOutcome>& outcomes,
                                     const std::vector<bool>& finished,
                                     std::vector<double>& fitness) {
    std::string toolFault;
    for (size_t i = 0; i < plan.batch.size(); ++i) {
        const size_t first = plan.firstRun[i], end = plan.firstRun[i + 1];
        bool done = true;
        for (size_t r = first; r < end; ++r) {
            done = done && finished[r] && !outcomes[r].toolFailed;
            if (outcomes[r].toolFailed && toolFault.empty()) toolFault = outcomes[r].failure;
        }
        if (!done) continue; // only whole candidates, judged on their own runs, are kept
        Candidate& candidate = plan.batch[i];
        if (end > first)
            candidate.score =
                ScoreRuns(std::vector<RunOutcome>(outcomes.begin() + first, outcomes.begin() + end),
                          options_.objectives);
        byValues_.emplace(candidate.values, candidates_.size());
        candidates_.push_back(candidate);
        std::vector<double> f = Fitness(candidate.score, options_.objectives);
        fitness.insert(fitness.end(), f.begin(), f.end());
    }
    return toolFault;
}

std::vector<double>
CandidateEvaluator::EvaluateBatch(const std::vector<std::vector<double>>& values) {
    BatchPlan plan = Plan(values);
    std::vector<RunOutcome> outcomes;
    std::vector<bool> finished;
    bool complete = RunEvaluations(settings_, plan.runs, outcomes, finished, [this] {
        ++runsDone_;
        ShowProgress();
    });
    std::vector<double> fitness;
    const std::string toolFault = Keep(plan, outcomes, finished, fitness);
    ShowProgress();
    if (!toolFault.empty()) throw std::runtime_error(toolFault);
    if (!complete) throw SearchStopped();
    return fitness;
}

// A line redrawn in place on a terminal; elsewhere (a pipe, a log) it would only pile up.
void CandidateEvaluator::ShowProgress() const {
    static const bool onTerminal = isatty(STDERR_FILENO) == 1;
    if (!onTerminal) return;
    std::string best;
    for (size_t k = 0; k < options_.objectives.size(); ++k) {
        const Objective& objective = options_.objectives[k];
        double value = NAN;
        for (const Candidate& candidate : candidates_)
            if (candidate.score.feasible &&
                (std::isnan(value) || (objective.maximize ? candidate.score.mean[k] > value
                                                          : candidate.score.mean[k] < value)))
                value = candidate.score.mean[k];
        char figure[64];
        std::snprintf(figure, sizeof figure, " %s %.4g", MeasureName(objective.measure), value);
        best += figure;
    }
    std::fputc('\r', stderr);
    std::fprintf(stderr, _("koltrep-optimize: generation %d of %d, %zu runs, best so far:%s "),
                 generation_ - 1, options_.generations, runsDone_, best.c_str());
    std::fflush(stderr);
}
