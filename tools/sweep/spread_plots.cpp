// Spread and tip-over probability through gnuplot: plain data files and a script.
#include "tools/sweep/spread_plots.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include <platform/i18n/i18n.h>

namespace {

std::string Script(const std::string& folder, const std::string& data, const PlotGrid& grid,
                   const std::vector<Cell>& cells) {
    std::string s = kPlotTerminal;
    s += "set output " + GnuplotQuoted(folder + "/speed.png") + "\n";
    s += "set title 'Walking speed after settling: mean and standard deviation over the "
         "repeats'\nset xlabel " +
         GnuplotQuoted(grid.xLabel) +
         "\n"
         "set ylabel 'speed over the ground (units per simulated second)'\n"
         "set key outside right title " +
         GnuplotQuoted(grid.rowsTitle) +
         "\nset bars small\n"
         "set offsets graph 0.03, graph 0.03, 0, 0\nplot ";
    s += CurveList(grid, cells, data + "/speed.dat", "with yerrorlines lw 2", true) + "\n";
    if (grid.cost) {
        s += "set output " + GnuplotQuoted(folder + "/cost.png") + "\n";
        s += "set title 'Cost of transport after settling: mean over the repeats'\n"
             "set ylabel 'cost of transport (motor work / (weight x distance))'\n"
             // One machine that barely moves costs tens of times the others: a log scale keeps
             // the rest apart.
             "set logscale y\nplot ";
        s += CurveList(grid, cells, data + "/cost.dat", "with linespoints lw 2", false) +
             "\nunset logscale y\n";
    }
    s += "set output " + GnuplotQuoted(folder + "/tipover.png") + "\n";
    s += "set title 'Tip-over probability: share of the repeats that tipped over'\n"
         "set ylabel " +
         GnuplotQuoted(grid.rowsLabel) +
         "\nunset key\n"
         "set cblabel 'share tipped over'\nset cbrange [0:1]\n"
         "set palette defined (0 '#208020', 0.5 '#f0d020', 1 '#c02020')\n"
         "set offsets graph 0.05, graph 0.05, 0, 0\n";
    s += RowTics(grid);
    s += "plot " + GnuplotQuoted(data + "/tipshare.dat") +
         " using 1:2:3 with points pt 5 ps 3 lc palette\n";
    return s;
}

} // namespace

bool WriteSpreadPlots(const std::string& folder, const std::string& data, const PlotGrid& grid,
                      const std::vector<Cell>& cells, const std::vector<Spread>& spreads,
                      std::string& error) {
    if (spreads.size() != cells.size()) {
        error = _("not every cell has its repeats");
        return false;
    }
    {
        std::ofstream speed(data + "/speed.dat"), tips(data + "/tipshare.dat"),
            cost(data + "/cost.dat");
        for (size_t r = 0; r < grid.rows.size(); ++r) {
            speed << "# " << grid.rows[r] << "\n";
            cost << "# " << grid.rows[r] << "\n";
            for (size_t c = 0; c < grid.columns; ++c) {
                size_t i = r * grid.columns + c;
                if (!cells[i].done) continue;
                const std::string x = PlotXText(cells[i]);
                speed << x << ' ' << spreads[i].speedMean << ' ' << spreads[i].speedSd << ' '
                      << spreads[i].speedMin << ' ' << spreads[i].speedMax << '\n';
                tips << x << ' ' << r << ' ' << spreads[i].tipShare << '\n';
                const double mean = spreads[i].walkMean.costOfTransport;
                cost << x << ' ' << (std::isnan(mean) ? std::string("-") : PlotNumber(mean))
                     << '\n';
            }
            speed << "\n\n";
            cost << "\n\n";
        }
    }
    return RunGnuplot(Script(folder, data, grid, cells), error);
}
