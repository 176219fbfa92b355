// koltrep-sweep: walks the machine over a grid of crank speeds and friction coefficients and
// measures each cell's walking speed, heading drift and tip-over. Every cell is a koltrep-replay
// run without drawing, so a cell's figures are exactly those of a single replay of it; the
// cells run side by side, one process per core.
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/sweep_options.h"

namespace {

// The trace format's code brings the program's process-wide objects along, and with them the
// Application, whose shut-down at exit would log the release of a device the sweep never made.
// The sweep leaves without running it.
[[noreturn]] void Leave(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "koltrep-sweep: %s\n", message.c_str());
    return code;
}

int CoresAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

std::string ReplayBesideThisProgram() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "koltrep-replay";
    std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1) + "koltrep-replay";
}

bool MakeFolder(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    struct stat info {};
    if (errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
    error = "cannot create " + path + ": " +
            (errno == EEXIST ? std::string("a file is in the way") : std::strerror(errno));
    return false;
}

std::string TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

// A scratch folder of this sweep's own for the cells' traces, logs and the default script.
std::string MakeScratch() {
    std::string pattern = TemporaryFolder() + "/koltrep-sweep-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// The cells row by row: friction outer, crank speed inner, as the CSV lists them.
std::vector<Cell> Grid(const SweepOptions& options) {
    std::vector<Cell> cells;
    for (float friction : options.frictions)
        for (float crankSpeed : options.crankSpeeds) {
            Cell cell;
            cell.crankSpeed = crankSpeed;
            cell.friction = friction;
            cells.push_back(cell);
        }
    return cells;
}

bool WriteCsv(const std::string& path, const std::vector<Cell>& cells) {
    std::ofstream out(path, std::ios::binary);
    out << kSweepCsvHeader << '\n';
    for (const Cell& cell : cells)
        if (cell.done) out << FormatSweepRow(cell.crankSpeed, cell.friction, cell.measures);
    out.close();
    return static_cast<bool>(out);
}

} // namespace

int Sweep(int argc, char** argv) {
    SweepOptions options;
    std::string error;
    if (!ParseSweepOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "koltrep-sweep: %s\n%s", error.c_str(), kSweepUsage);
        return 2;
    }
    CellRun run;
    run.replay = options.replay.empty() ? ReplayBesideThisProgram() : options.replay;
    if (access(run.replay.c_str(), X_OK) != 0)
        return Fail("cannot run " + run.replay + " (build koltrep-replay, or give --replay)", 2);
    if (!options.script.empty() && access(options.script.c_str(), R_OK) != 0)
        return Fail("cannot read " + options.script + ": " + std::strerror(errno), 2);
    if (options.out.empty()) options.out = TemporaryFolder() + "/koltrep-sweep";
    if (!MakeFolder(options.out, error)) return Fail(error, 2);
    run.scratch = MakeScratch();
    if (run.scratch.empty())
        return Fail(std::string("no scratch folder: ") + std::strerror(errno), 1);
    run.script = options.script;
    if (run.script.empty()) {
        run.script = run.scratch + "/walk.txt";
        std::ofstream(run.script) << "0 UP down\n";
    }
    run.ticks = options.ticks;
    run.settle = options.settle;

    std::vector<Cell> cells = Grid(options);
    int jobs = options.jobs > 0 ? options.jobs : CoresAvailable();
    bool allDone = RunCells(run, cells, jobs);
    if (options.script.empty()) unlink(run.script.c_str());
    rmdir(run.scratch.c_str());

    int code = 0;
    for (const Cell& cell : cells)
        if (!cell.done) {
            Fail("cell crank speed " + FloatText(cell.crankSpeed) + ", friction " +
                     FloatText(cell.friction) + ": " +
                     (cell.failure.empty() ? "not run" : cell.failure),
                 1);
            code = 1;
        }
    std::string csv = options.out + "/sweep.csv";
    if (!WriteCsv(csv, cells)) return Fail("cannot write " + csv, 1);
    if (options.plot && allDone &&
        !WritePlots(options.out, options.crankSpeeds, options.frictions, cells, error))
        return Fail(error + "; the CSV is written", 1);
    std::fprintf(stderr, "koltrep-sweep: %zu cells in %s\n", cells.size(), options.out.c_str());
    return allDone ? code : 1;
}

int main(int argc, char** argv) {
    Leave(Sweep(argc, argv));
}
