// NSGA-II through pagmo, with our batch evaluation in place of its own.
#include "tools/optimize/search.h"

#include <algorithm>
#include <stdexcept>

#include <pagmo/algorithms/nsga2.hpp>
#include <pagmo/bfe.hpp>
#include <pagmo/population.hpp>
#include <pagmo/problem.hpp>

namespace {

// The machine values as pagmo's problem. Every evaluation goes through the batch below; a single
// one would have no place among a generation's candidates.
struct MachineProblem {
    const OptimizeOptions* options = nullptr;
    pagmo::vector_double fitness(const pagmo::vector_double&) const {
        throw std::logic_error("candidates are evaluated a generation at a time");
    }
    std::pair<pagmo::vector_double, pagmo::vector_double> get_bounds() const {
        pagmo::vector_double low, high;
        for (const ParamRange& param : options->params) {
            low.push_back(param.low);
            high.push_back(param.high);
        }
        return {low, high};
    }
    pagmo::vector_double::size_type get_nobj() const { return options->objectives.size(); }
};

// One generation's decision vectors, one after another, to the evaluator.
struct GenerationBatch {
    CandidateEvaluator* evaluator = nullptr;
    pagmo::vector_double operator()(const pagmo::problem& problem,
                                    const pagmo::vector_double& flat) const {
        const size_t n = problem.get_nx();
        std::vector<std::vector<double>> values;
        for (size_t start = 0; start + n <= flat.size(); start += n)
            values.emplace_back(flat.begin() + start, flat.begin() + start + n);
        return evaluator->EvaluateBatch(values);
    }
};

bool Dominates(const std::vector<double>& a, const std::vector<double>& b) {
    bool better = false;
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k] > b[k]) return false;
        better = better || a[k] < b[k];
    }
    return better;
}

std::vector<const Candidate*> FrontOf(const pagmo::population& population,
                                      const CandidateEvaluator& evaluator,
                                      const std::vector<Objective>& objectives) {
    std::vector<const Candidate*> members;
    for (const pagmo::vector_double& x : population.get_x()) {
        const Candidate* candidate = evaluator.Find(x);
        if (candidate == nullptr) throw std::logic_error("a member was never evaluated");
        members.push_back(candidate);
    }
    return FeasibleFront(members, objectives);
}

} // namespace

std::vector<const Candidate*> FeasibleFront(const std::vector<const Candidate*>& candidates,
                                            const std::vector<Objective>& objectives) {
    std::vector<std::pair<std::vector<double>, const Candidate*>> feasible;
    for (const Candidate* candidate : candidates)
        if (candidate->score.feasible)
            feasible.emplace_back(Fitness(candidate->score, objectives), candidate);
    std::vector<std::pair<std::vector<double>, const Candidate*>> front;
    for (const auto& one : feasible) {
        bool dominated = std::any_of(feasible.begin(), feasible.end(), [&](const auto& other) {
            return Dominates(other.first, one.first);
        });
        bool listed = std::any_of(front.begin(), front.end(),
                                  [&](const auto& member) { return member.second == one.second; });
        if (!dominated && !listed) front.push_back(one);
    }
    std::sort(front.begin(), front.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return std::make_pair(a.second->generation, a.second->index) <
               std::make_pair(b.second->generation, b.second->index);
    });
    std::vector<const Candidate*> members;
    for (const auto& member : front)
        members.push_back(member.second);
    return members;
}

Fronts RunSearch(const OptimizeOptions& options, const std::vector<double>& baseValues,
                 CandidateEvaluator& evaluator) {
    evaluator.EvaluateBatch({baseValues});
    pagmo::problem problem{MachineProblem{&options}};
    pagmo::bfe batch{GenerationBatch{&evaluator}};
    const auto seed = static_cast<unsigned>(options.seed);
    pagmo::population population{problem, batch, static_cast<size_t>(options.population), seed};
    Fronts fronts = {FrontOf(population, evaluator, options.objectives)};
    // Crossover and its spread as pagmo's defaults; a mutation of about one value a candidate.
    pagmo::nsga2 step(1u, 0.95, 10.0, 1.0 / options.params.size(), 50.0, seed);
    step.set_bfe(batch);
    for (int generation = 2; generation <= options.generations; ++generation) {
        population = step.evolve(population);
        fronts.push_back(FrontOf(population, evaluator, options.objectives));
    }
    return fronts;
}
