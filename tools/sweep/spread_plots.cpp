// Spread and tip-over probability through gnuplot: plain data files and a script.
#include "tools/sweep/spread_plots.h"

#include "tools/sweep/plots.h"

#include <cstdio>
#include <fstream>

namespace {

std::string Script(const std::string& folder, const std::string& data,
                   const std::vector<float>& frictions) {
    std::string s = kPlotTerminal;
    s += "set output " + GnuplotQuoted(folder + "/speed.png") + "\n";
    s += "set title 'Walking speed after settling: mean and standard deviation over the "
         "repeats'\nset xlabel " +
         GnuplotQuoted(kCrankSpeedLabel) +
         "\n"
         "set ylabel 'speed over the ground (units per simulated second)'\n"
         "set key outside right title 'friction'\nset bars small\n"
         "set offsets graph 0.03, graph 0.03, 0, 0\nplot ";
    for (size_t f = 0; f < frictions.size(); ++f) {
        if (f > 0) s += ", ";
        s += GnuplotQuoted(data + "/speed.dat") + " index " + std::to_string(f) +
             " using 1:2:3 with yerrorlines lw 2 title " + GnuplotQuoted(FloatText(frictions[f]));
    }
    s += "\nset output " + GnuplotQuoted(folder + "/tipover.png") + "\n";
    s += "set title 'Tip-over probability: share of the repeats that tipped over'\n"
         "set ylabel 'friction coefficient'\nunset key\n"
         "set cblabel 'share tipped over'\nset cbrange [0:1]\n"
         "set palette defined (0 '#208020', 0.5 '#f0d020', 1 '#c02020')\n"
         "set offsets graph 0.05, graph 0.05, 0, 0\nset ytics (";
    for (size_t f = 0; f < frictions.size(); ++f)
        s += (f > 0 ? ", " : "") + GnuplotQuoted(FloatText(frictions[f])) + " " + std::to_string(f);
    s += ")\nset yrange [-0.5:" + std::to_string(frictions.size()) + " - 0.5]\n";
    s += "plot " + GnuplotQuoted(data + "/tipshare.dat") +
         " using 1:2:3 with points pt 5 ps 3 lc palette\n";
    return s;
}

} // namespace

bool WriteSpreadPlots(const std::string& folder, const std::string& data,
                      const std::vector<float>& crankSpeeds, const std::vector<float>& frictions,
                      const std::vector<Cell>& cells, const std::vector<Spread>& spreads,
                      std::string& error) {
    if (spreads.size() != cells.size()) {
        error = "not every cell has its repeats";
        return false;
    }
    {
        std::ofstream speed(data + "/speed.dat"), tips(data + "/tipshare.dat");
        for (size_t f = 0; f < frictions.size(); ++f) {
            speed << "# friction " << FloatText(frictions[f]) << "\n";
            for (size_t c = 0; c < crankSpeeds.size(); ++c) {
                size_t i = f * crankSpeeds.size() + c;
                speed << FloatText(cells[i].crankSpeed) << ' ' << spreads[i].speedMean << ' '
                      << spreads[i].speedSd << ' ' << spreads[i].speedMin << ' '
                      << spreads[i].speedMax << '\n';
                tips << FloatText(cells[i].crankSpeed) << ' ' << f << ' ' << spreads[i].tipShare
                     << '\n';
            }
            speed << "\n\n";
        }
    }
    return RunGnuplot(Script(folder, data, frictions), error);
}
