// Objectives and their penalty.
#include "tools/optimize/objectives.h"

#include <cmath>

#include <platform/i18n/i18n.h>

namespace {

double ValueOf(const GaitMeasures& m, Measure measure) {
    switch (measure) {
    case Measure::kSpeed:
        return m.speed;
    case Measure::kCostOfTransport:
        return m.walk.costOfTransport;
    case Measure::kHeadingDrift:
        return std::fabs(m.headingDrift); // a turn either way is as far off course
    case Measure::kStrideLength:
        return m.walk.strideLength;
    case Measure::kFootHeightVariation:
        return m.walk.footHeightVariation;
    }
    return NAN;
}

// The mean and sample standard deviation of one objective over the starts; false with the
// reason when a start has no figure for it.
bool Spread(const std::vector<RunOutcome>& runs, Measure measure, double& mean, double& sd,
            std::string& reason) {
    double sum = 0.0;
    for (const RunOutcome& run : runs) {
        double value = ValueOf(run.measures, measure);
        if (!std::isfinite(value) || std::fabs(value) > kLargestObjective) {
            reason = std::isfinite(value) ? FormatText(_("%s %g is beyond what the search ranks"),
                                                       MeasureName(measure), value)
                                          : FormatText(_("no %s measured"), MeasureName(measure));
            return false;
        }
        sum += value;
    }
    mean = sum / runs.size();
    double squares = 0.0;
    for (const RunOutcome& run : runs)
        squares +=
            (ValueOf(run.measures, measure) - mean) * (ValueOf(run.measures, measure) - mean);
    sd = runs.size() > 1 ? std::sqrt(squares / (runs.size() - 1)) : 0.0;
    return true;
}

} // namespace

Score ScoreRuns(const std::vector<RunOutcome>& runs, const std::vector<Objective>& objectives) {
    Score score;
    for (const RunOutcome& run : runs)
        if (!run.failure.empty()) {
            score.reason = run.failure;
            return score;
        }
    if (runs.empty()) {
        score.reason = _("not run");
        return score;
    }
    for (const Objective& objective : objectives) {
        double mean = 0.0, sd = 0.0;
        if (!Spread(runs, objective.measure, mean, sd, score.reason)) {
            score.mean.clear();
            score.sd.clear();
            return score;
        }
        score.mean.push_back(mean);
        score.sd.push_back(sd);
    }
    score.feasible = true;
    return score;
}

std::vector<double> Fitness(const Score& score, const std::vector<Objective>& objectives) {
    std::vector<double> fitness(objectives.size(), kPenalty);
    if (!score.feasible) return fitness;
    for (size_t k = 0; k < objectives.size(); ++k)
        fitness[k] = objectives[k].maximize ? -score.mean[k] : score.mean[k];
    return fitness;
}
