// Plots through gnuplot: the sweep writes plain data files and a script, and gnuplot draws.
#include "tools/sweep/plots.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>

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
constexpr char kNoGnuplot[] = "gnuplot is not installed (on Debian: sudo apt install gnuplot-nox)";

// One block per friction value, two blank lines apart, so that gnuplot's `index` picks a curve.
void WriteSpeedData(const std::string& path, const std::vector<float>& crankSpeeds,
                    const std::vector<float>& frictions, const std::vector<Cell>& cells) {
    std::ofstream out(path);
    for (size_t f = 0; f < frictions.size(); ++f) {
        out << "# friction " << FloatText(frictions[f]) << "\n";
        for (size_t c = 0; c < crankSpeeds.size(); ++c) {
            const Cell& cell = cells[f * crankSpeeds.size() + c];
            if (cell.done) out << FloatText(cell.crankSpeed) << ' ' << cell.measures.speed << '\n';
        }
        out << "\n\n";
    }
}

// The cells that tipped over, with the tick, or those that stayed upright. The map's rows are
// the friction values in the order given, evenly spaced whatever their values.
void WriteTipData(const std::string& path, const std::vector<Cell>& cells, size_t rowLength,
                  bool tipped) {
    std::ofstream out(path);
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        if (cell.done && (cell.measures.tipTick >= 0) == tipped)
            out << FloatText(cell.crankSpeed) << ' ' << i / rowLength << ' '
                << cell.measures.tipTick << '\n';
    }
}

// gnuplot stops at a data block without points, so only the kinds of cell that occur are drawn.
std::string Script(const std::string& folder, const std::string& data,
                   const std::vector<float>& frictions, const std::vector<Cell>& cells) {
    bool anyTipped = false, anyUpright = false;
    for (const Cell& cell : cells) {
        anyTipped = anyTipped || cell.measures.tipTick >= 0;
        anyUpright = anyUpright || cell.measures.tipTick < 0;
    }
    std::string speedData = GnuplotQuoted(data + "/speed.dat");
    std::string s = kPlotTerminal;
    s += "set output " + GnuplotQuoted(folder + "/speed.png") + "\n";
    // The crank speed is the value the program shows as "Rotation/Sec"; the crank motors take it
    // as an angular velocity in radians per simulated second.
    s += "set title 'Walking speed after settling'\n"
         "set xlabel " +
         GnuplotQuoted(kCrankSpeedLabel) +
         "\n"
         "set ylabel 'speed over the ground (units per simulated second)'\n"
         "set key outside right title 'friction'\nplot ";
    for (size_t f = 0; f < frictions.size(); ++f) {
        if (f > 0) s += ", ";
        s += speedData + " index " + std::to_string(f) + " using 1:2 with linespoints lw 2 title " +
             GnuplotQuoted(FloatText(frictions[f]));
    }
    s += "\nset output " + GnuplotQuoted(folder + "/tipover.png") + "\n";
    s += "set title 'Tip-over: tick at which the chassis tilts beyond 90 degrees'\n"
         "set ylabel 'friction coefficient'\nset key outside right title ''\n"
         "set cblabel 'tip-over tick'\nset palette rgbformulae 21,22,23\n"
         "set offsets graph 0.05, graph 0.05, 0, 0\nset ytics (";
    for (size_t f = 0; f < frictions.size(); ++f)
        s += (f > 0 ? ", " : "") + GnuplotQuoted(FloatText(frictions[f])) + " " + std::to_string(f);
    s += ")\nset yrange [-0.5:" + std::to_string(frictions.size()) + " - 0.5]\n";
    std::string tipped = GnuplotQuoted(data + "/tipped.dat") +
                         " using 1:2:3 with points pt 5 ps 3 lc palette title 'tipped over'";
    std::string upright = GnuplotQuoted(data + "/upright.dat") +
                          " using 1:2 with points pt 4 ps 3 lw 2 lc rgb '#208020' title "
                          "'stayed upright'";
    if (!anyTipped) s += "unset colorbox\n";
    s += "plot " + (anyTipped ? tipped : "") + (anyTipped && anyUpright ? ", " : "") +
         (anyUpright ? upright : "") + "\n";
    return s;
}

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
    return start == std::string::npos ? "no reason given" : reason.substr(start, 300);
}

} // namespace

bool RunGnuplot(const std::string& script, std::string& error) {
    std::FILE* input = std::tmpfile();
    std::FILE* output = std::tmpfile();
    if (input == nullptr || output == nullptr) {
        error = std::string("gnuplot: no temporary file: ") + std::strerror(errno);
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
        error = spawned == ENOENT ? kNoGnuplot
                                  : std::string("cannot start gnuplot: ") + std::strerror(spawned);
    } else if (waitpid(child, &status, 0) != child) {
        error = std::string("gnuplot: ") + std::strerror(errno);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
        error = kNoGnuplot;
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "gnuplot failed: " + GnuplotReason(output);
    } else {
        ok = true;
    }
    std::fclose(input);
    std::fclose(output);
    return ok;
}

bool WritePlots(const std::string& folder, const std::string& data,
                const std::vector<float>& crankSpeeds, const std::vector<float>& frictions,
                const std::vector<Cell>& cells, std::string& error) {
    WriteSpeedData(data + "/speed.dat", crankSpeeds, frictions, cells);
    WriteTipData(data + "/tipped.dat", cells, crankSpeeds.size(), true);
    WriteTipData(data + "/upright.dat", cells, crankSpeeds.size(), false);
    return RunGnuplot(Script(folder, data, frictions, cells), error);
}
