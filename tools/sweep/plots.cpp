// Plots through gnuplot: the sweep writes plain data files and a script, and gnuplot draws.
#include "tools/sweep/plots.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>

#include <platform/i18n/i18n.h>

const char kPlotTerminal[] = "set terminal pngcairo size 800,500 font 'sans,11'\nset grid\n";

const char kCrankSpeedLabel[] =
    "crank speed: the program's Rotation/Sec value (rad per simulated second)";

// Only the quote itself needs doubling in a gnuplot single-quoted string.
std::string GnuplotQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

namespace {

// The package a user installs, named as the system's package manager knows it; the terminal-only
// build is enough, since the plots are written to files.
constexpr char kNoGnuplot[] =
    N_("gnuplot is not installed (on Debian: sudo apt install gnuplot-nox)");

// One block per row, two blank lines apart, so that gnuplot's `index` picks a curve; `value`
// gives each done cell's y.
template <typename Value>
void WriteRowData(const std::string& path, const PlotGrid& grid, const std::vector<Cell>& cells,
                  Value value) {
    std::ofstream out(path);
    for (size_t r = 0; r < grid.rows.size(); ++r) {
        out << "# " << grid.rows[r] << "\n";
        for (size_t c = 0; c < grid.columns; ++c) {
            const Cell& cell = cells[r * grid.columns + c];
            if (cell.done) out << PlotXText(cell) << ' ' << value(cell) << '\n';
        }
        out << "\n\n";
    }
}

// The cells that tipped over, with the tick, or those that stayed upright, or (kind 2) those
// that are no machine. The map's rows are evenly spaced whatever their values.
void WriteTipData(const std::string& path, const std::vector<Cell>& cells, size_t rowLength,
                  int kind) {
    std::ofstream out(path);
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        const bool shown = kind == 2 ? !cell.infeasible.empty()
                                     : cell.done && (cell.measures.tipTick >= 0) == (kind == 1);
        if (shown)
            out << PlotXText(cell) << ' ' << i / rowLength << ' ' << cell.measures.tipTick << '\n';
    }
}

// gnuplot stops at a data block without points, so only the kinds of cell that occur are drawn.
std::string Script(const std::string& folder, const std::string& data, const PlotGrid& grid,
                   const std::vector<Cell>& cells) {
    bool anyTipped = false, anyUpright = false, anyInfeasible = false;
    for (const Cell& cell : cells) {
        anyTipped = anyTipped || (cell.done && cell.measures.tipTick >= 0);
        anyUpright = anyUpright || (cell.done && cell.measures.tipTick < 0);
        anyInfeasible = anyInfeasible || !cell.infeasible.empty();
    }
    std::string s = kPlotTerminal;
    s += "set output " + GnuplotQuoted(folder + "/speed.png") + "\n";
    // The crank speed is the value the program shows as "Rotation/Sec"; the crank motors take it
    // as an angular velocity in radians per simulated second.
    s += "set title 'Walking speed after settling'\n"
         "set xlabel " +
         GnuplotQuoted(grid.xLabel) +
         "\n"
         "set ylabel 'speed over the ground (units per simulated second)'\n"
         "set key outside right title " +
         GnuplotQuoted(grid.rowsTitle) + "\nplot ";
    s += CurveList(grid, cells, data + "/speed.dat", "with linespoints lw 2", false) + "\n";
    if (grid.cost) {
        s += "set output " + GnuplotQuoted(folder + "/cost.png") + "\n";
        s += "set title 'Cost of transport after settling'\n"
             "set ylabel 'cost of transport (motor work / (weight x distance))'\n"
             // One machine that barely moves costs tens of times the others: a log scale keeps
             // the rest apart.
             "set logscale y\nplot ";
        s += CurveList(grid, cells, data + "/cost.dat", "with linespoints lw 2", false) +
             "\nunset logscale y\n";
    }
    s += "set output " + GnuplotQuoted(folder + "/tipover.png") + "\n";
    s += "set title 'Tip-over: tick at which the chassis tilts beyond 90 degrees'\n"
         "set ylabel " +
         GnuplotQuoted(grid.rowsLabel) +
         "\nset key outside right title ''\n"
         "set cblabel 'tip-over tick'\nset palette rgbformulae 21,22,23\n"
         "set offsets graph 0.05, graph 0.05, 0, 0\n";
    s += RowTics(grid);
    std::vector<std::string> kinds;
    if (anyTipped)
        kinds.push_back(GnuplotQuoted(data + "/tipped.dat") +
                        " using 1:2:3 with points pt 5 ps 3 lc palette title 'tipped over'");
    if (anyUpright)
        kinds.push_back(GnuplotQuoted(data + "/upright.dat") +
                        " using 1:2 with points pt 4 ps 3 lw 2 lc rgb '#208020' title "
                        "'stayed upright'");
    if (anyInfeasible)
        kinds.push_back(GnuplotQuoted(data + "/infeasible.dat") +
                        " using 1:2 with points pt 2 ps 2 lw 2 lc rgb '#808080' title "
                        "'no machine'");
    if (!anyTipped) s += "unset colorbox\n";
    s += "plot ";
    for (size_t k = 0; k < kinds.size(); ++k)
        s += (k > 0 ? ", " : "") + kinds[k];
    return s + "\n";
}

} // namespace

PlotGrid FrictionRows(const std::vector<float>& crankSpeeds, const std::vector<float>& frictions) {
    PlotGrid grid;
    grid.xLabel = kCrankSpeedLabel;
    grid.columns = crankSpeeds.size();
    for (float friction : frictions)
        grid.rows.push_back(FloatText(friction));
    grid.rowsTitle = "friction";
    grid.rowsLabel = "friction coefficient";
    return grid;
}

std::string PlotXText(const Cell& cell) {
    return cell.values.empty() ? FloatText(cell.crankSpeed) : PlotNumber(cell.values[0]);
}

std::string PlotNumber(double value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string CurveList(const PlotGrid& grid, const std::vector<Cell>& cells, const std::string& data,
                      const std::string& style, bool withErrors) {
    std::string list;
    for (size_t r = 0; r < grid.rows.size(); ++r) {
        bool any = false;
        for (size_t c = 0; c < grid.columns; ++c)
            any = any || cells[r * grid.columns + c].done;
        if (!any) continue;
        list += (list.empty() ? "" : ", ") + GnuplotQuoted(data) + " index " + std::to_string(r) +
                (withErrors ? " using 1:2:3 " : " using 1:2 ") + style + " title " +
                GnuplotQuoted(grid.rows[r]);
    }
    return list;
}

std::string RowTics(const PlotGrid& grid) {
    std::string s = "set ytics (";
    for (size_t r = 0; r < grid.rows.size(); ++r)
        s += (r > 0 ? ", " : "") + GnuplotQuoted(grid.rows[r]) + " " + std::to_string(r);
    return s + ")\nset yrange [-0.5:" + std::to_string(grid.rows.size()) + " - 0.5]\n";
}

namespace {

// What gnuplot said about its failure, in one line: its first error ("line 0: cannot open
// file") with the command it stopped at, else its last line with any text.
std::string GnuplotReason(std::FILE* output) {
    std::rewind(output);
    static const std::regex kError(R"(line [0-9]+: *(.*))");
    const std::string kEcho = "gnuplot> ";
    std::string last, command, reason;
    char buffer[512];
    while (reason.empty() && std::fgets(buffer, sizeof buffer, output)) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        std::smatch match;
        if (line.rfind(kEcho, 0) == 0)
            command = line.substr(kEcho.size());
        else if (std::regex_search(line, match, kError) &&
                 line.find("warning:") == std::string::npos)
            reason = match[1].str() + (command.empty() ? "" : " (" + command + ")");
        if (line.find_first_not_of(" \t^") != std::string::npos) last = line;
    }
    if (reason.empty()) reason = last;
    size_t start = reason.find_first_not_of(" \t");
    return start == std::string::npos ? _("no reason given") : reason.substr(start, 300);
}

} // namespace

bool RunGnuplot(const std::string& script, std::string& error) {
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    if (input == nullptr || output == nullptr) {
        const int reason = errno;
        error = FormatText(_("gnuplot: no temporary file: %s"), std::strerror(reason));
        if (input) std::fclose(input);
        if (output) std::fclose(output);
        return false;
    }
    std::fwrite(script.data(), 1, script.size(), input);
    std::fflush(input);
    std::rewind(input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(input), 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(output), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(output), 2);
    char name[] = "gnuplot";
    char* argv[] = {name, nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, name, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    bool ok = false;
    if (spawned != 0) {
        error = spawned == ENOENT
                    ? std::string(_(kNoGnuplot))
                    : FormatText(_("cannot start gnuplot: %s"), std::strerror(spawned));
    } else if (waitpid(child, &status, 0) != child) {
        const int reason = errno;
        error = FormatText(_("gnuplot: %s"), std::strerror(reason));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        error = _(kNoGnuplot);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = FormatText(_("gnuplot failed: %s"), GnuplotReason(output).c_str());
    } else {
        ok = true;
    }
    std::fclose(input);
    std::fclose(output);
    return ok;
}

bool WritePlots(const std::string& folder, const std::string& data, const PlotGrid& grid,
                const std::vector<Cell>& cells, std::string& error) {
    WriteRowData(data + "/speed.dat", grid, cells,
                 [](const Cell& cell) { return cell.measures.speed; });
    if (grid.cost)
        WriteRowData(data + "/cost.dat", grid, cells, [](const Cell& cell) {
            // gnuplot skips a point it cannot read: a run that went nowhere has no cost.
            const double cost = cell.measures.walk.costOfTransport;
            return std::isnan(cost) ? std::string("-") : PlotNumber(cost);
        });
    for (int kind = 0; kind < 3; ++kind)
        WriteTipData(data + (kind == 0   ? "/upright.dat"
                             : kind == 1 ? "/tipped.dat"
                                         : "/infeasible.dat"),
                     cells, grid.columns, kind);
    return RunGnuplot(Script(folder, data, grid, cells), error);
}

bool WritePlots(const std::string& folder, const std::string& data,
                const std::vector<float>& crankSpeeds, const std::vector<float>& frictions,
                const std::vector<Cell>& cells, std::string& error) {
    return WritePlots(folder, data, FrictionRows(crankSpeeds, frictions), cells, error);
}
