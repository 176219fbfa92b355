// The front's picture through gnuplot.
#include "tools/optimize/front_plot.h"

#include <cstdio>
#include <fstream>

#include <platform/i18n/i18n.h>

#include "tools/sweep/plots.h"

namespace {

const char* UnitOf(Measure measure) {
    switch (measure) {
    case Measure::kSpeed:
        return "units per simulated second";
    case Measure::kHeadingDrift:
        return "degrees either way";
    case Measure::kStrideLength:
    case Measure::kFootHeightVariation:
        return "m";
    case Measure::kCostOfTransport:
        break;
    }
    return "work / (weight x distance)";
}

std::string AxisLabel(const Objective& objective) {
    return std::string(MeasureName(objective.measure)) + " (" + UnitOf(objective.measure) + ", " +
           (objective.maximize ? "max" : "min") + ")";
}

// From a light blue for the first generation to a dark one for the last.
std::string Shade(size_t generation, size_t count) {
    double t = count > 1 ? static_cast<double>(generation) / (count - 1) : 1.0;
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%02x%02x%02x", static_cast<int>(190 - 180 * t),
                  static_cast<int>(210 - 170 * t), static_cast<int>(250 - 110 * t));
    return colour;
}

void WriteFront(std::ofstream& out, const std::vector<const Candidate*>& front) {
    for (const Candidate* member : front)
        out << member->score.mean[0] << ' ' << member->score.mean[1] << '\n';
    out << "\n\n";
}

} // namespace

bool WriteFrontPlot(const std::string& folder, const std::string& data,
                    const OptimizeOptions& options, const Fronts& fronts,
                    const Candidate& reference, std::string& error) {
    std::ofstream out(data + "/fronts.dat");
    out.precision(17);
    std::string plots;
    size_t block = 0;
    for (size_t g = 0; g < fronts.size(); ++g) {
        if (fronts[g].empty()) continue; // gnuplot stops at a block without points
        WriteFront(out, fronts[g]);
        const bool named = g == 0 || g + 1 == fronts.size();
        plots += (plots.empty() ? "" : ", ") + GnuplotQuoted(data + "/fronts.dat") + " index " +
                 std::to_string(block++) + " with linespoints pt 7 ps 0.8 lc rgb '" +
                 Shade(g, fronts.size()) + "' " +
                 (named ? "title 'generation " + std::to_string(g + 1) + "'" : "notitle");
    }
    out.close();
    if (reference.score.feasible) {
        std::ofstream(data + "/reference.dat") << NumberText(reference.score.mean[0]) << ' '
                                               << NumberText(reference.score.mean[1]) << '\n';
        plots += (plots.empty() ? "" : ", ") + GnuplotQuoted(data + "/reference.dat") +
                 " with points pt 3 ps 2.5 lw 2 lc rgb '#d62728' title 'base machine'";
    }
    if (plots.empty()) {
        error = _("no feasible candidate to draw");
        return false;
    }
    // The measures' names hold underscores, which gnuplot's enhanced text takes for subscripts.
    std::string s = std::string(kPlotTerminal) + "set termoption noenhanced\n";
    s += "set output " + GnuplotQuoted(folder + "/front.png") + "\n";
    s += std::string("set title '") +
         (options.objectives.size() > 2 ? "The front by generation (first two objectives)"
                                        : "The front by generation") +
         "'\nset xlabel " + GnuplotQuoted(AxisLabel(options.objectives[0])) + "\nset ylabel " +
         GnuplotQuoted(AxisLabel(options.objectives[1])) + "\nset key outside right\nplot " +
         plots + "\n";
    return RunGnuplot(s, error);
}
