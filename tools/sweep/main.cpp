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

#include "koltrep_version.h"

namespace {

const char kSweepHelp[] =
    "Walks the machine over a grid of crank speeds and friction coefficients, one\n"
    "koltrep-replay run without drawing per cell, and measures each cell's speed, heading\n"
    "drift and tip-over. Writes DIR/sweep.csv and, through gnuplot, DIR/speed.png and\n"
    "DIR/tipover.png.\n"
    "  --crank-speeds LIST  crank speeds to try (-100 to 100): the program's \"Rotation/Sec\"\n"
    "                  value, which the crank motors take as radians per simulated second\n"
    "  --frictions LIST     ground friction coefficients to try (0 to 1e9)\n"
    "  --script FILE   the key script every cell runs (default: UP held from the first tick)\n"
    "  --ticks N       ticks a cell runs (default 400)\n"
    "  --settle N      the tick from which speed and drift are measured (default 100)\n"
    "  --jobs N        cells run at once (default: one per core)\n"
    "  --out DIR       the output folder (default: koltrep-sweep in $TMPDIR or /tmp)\n"
    "  --no-plot       write the CSV only\n"
    "  --replay PATH   the koltrep-replay to run (default: the one beside this program)\n"
    "  -h, --help      show this text and exit\n"
    "  --version       show the version and exit\n"
    "Exit code 0 when every cell ran, 1 when one failed, 2 for a bad command line.\n";

// --help, -h and --version anywhere on the command line, answered before anything else.
void AnswerHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            std::printf("%s%s", kSweepUsage, kSweepHelp);
        else if (arg == "--version")
            std::printf("koltrep-sweep %s\n", KOLTREP_VERSION);
        else
            continue;
        std::fflush(stdout);
        _exit(std::ferror(stdout) ? 1 : 0);
    }
}

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
    AnswerHelpOrVersion(argc, argv);
    Leave(Sweep(argc, argv));
}
