// koltrep-sweep: walks the machine over a grid of crank speeds and friction coefficients and
// measures each cell's walking speed, heading drift and tip-over, once or over repeats from
// slightly perturbed starts. Every run is a koltrep-replay run without drawing, so a run's
// figures are exactly those of a single replay of it; the runs go side by side on this machine's
// cores, or to a Slurm cluster as one job array.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "records/key_script.h"
#include "machine/machine_file.h"
#include "shell/usage.h"
#include "tools/sweep/cell_runner.h"
#include "tools/sweep/out_folder.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/settings_file.h"
#include "tools/sweep/slurm_engine.h"
#include "tools/sweep/spread_plots.h"
#include "tools/sweep/sweep_files.h"
#include "tools/sweep/sweep_options.h"
#include "tools/sweep/sweep_runs.h"
#include "tools/sweep/vary_sweep.h"
#include "tools/sweep/this_process.h"

#include "koltrep_version.h"
#include <platform/i18n/i18n.h>

namespace {

const char kSweepHelp[] = N_(
    "Walks the machine over a grid of crank speeds and friction coefficients, one\n"
    "run without drawing per cell (koltrep-evaluate), and measures each cell's speed, heading\n"
    "drift and tip-over. Writes DIR/sweep.csv and, through gnuplot, DIR/speed.png and\n"
    "DIR/tipover.png.\n"
    "  --vary NAME=FROM:TO:COUNT  vary the machine file's key NAME (linkage.crank,\n"
    "                  legs.planes.2, ...) over COUNT values (1 to 1000), or a list NAME=1,2,3;\n"
    "                  up to 3 dimensions, --crank-speeds and --frictions counted, whose\n"
    "                  product is the grid. Every grid point's machine is written to\n"
    "                  DIR/machines/NNNN.toml, named in the row; one that cannot be built\n"
    "                  gets a row with the reason in its infeasible column and no run\n"
    "  --crank-speeds LIST  crank speeds to try (-100 to 100): the program's \"Rotation/Sec\"\n"
    "                  value, which the crank motors take as radians per simulated second\n"
    "  --frictions LIST     ground friction coefficients to try (0 to 1e9)\n"
    "  --script FILE   the key script every cell runs (default: UP held from the first tick)\n"
    "  --ticks N       ticks a cell runs (default 400)\n"
    "  --settle N      the tick from which speed and drift are measured (default 100)\n"
    "  --jobs N        cells run at once (default: one per core)\n"
    "  --out DIR       the output folder (default: koltrep-sweep-USER in $TMPDIR or /tmp)\n"
    "  --no-plot       write the CSV only\n"
    "  --replay PATH   the program each cell runs: koltrep-evaluate (the default, the one\n"
    "                  beside this program) or koltrep-replay, which take the same options\n"
    "  --repeats N     run each cell N times (1 to 10000), each from a start moved by up to\n"
    "                  0.5 mm, and give the spread of the measures (writes DIR/runs.csv too)\n"
    "  --seed S        the seed of the repeats' starts (0 to 2^64-1, default 0)\n"
    "  --batch N       runs per replay process or Slurm task (1 to 100000; 1 runs one process\n"
    "                  per run)\n"
    "  --resume        complete DIR/sweep.partial.csv, running only the runs without a row\n"
    "  --machine FILE  every replay builds the machine FILE describes (checked first; exit\n"
    "                  code 2 when it does not check); a sweep resumes only over the same file\n"
    "  --engine E      local (default: this machine's cores) or slurm (one sbatch job array)\n"
    "  --partition P   with --engine slurm: the partition to submit to\n"
    "  --time T        with --engine slurm: each task's time limit (sbatch --time)\n"
    "  --dry-run       with --engine slurm: write the batch script, print its path, submit\n"
    "                  nothing\n"
    "  -h, --help      show this text and exit\n"
    "  --version       show the version and exit\n"
    "Exit code 0 when every run ran, 1 when one failed (the rows so far are in\n"
    "DIR/sweep.partial.csv), 2 for a bad command line or an unusable --out, 128 + the signal\n"
    "when stopped by one.\n");

// Failures listed one by one, at most; the rest are counted.
constexpr size_t kListedFailures = 20;
// Runs per replay process on this machine, at least and at most: enough that starting a process
// costs little against the ticks, few enough that the progress bar moves.
constexpr size_t kLocalBatchLeast = 8;
constexpr size_t kLocalBatchLimit = 64;

const char kDefaultScript[] = "0 UP down\n";

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "koltrep-sweep: %s\n", message.c_str());
    return code;
}

std::string TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

// Room kept for the partial file from the start: its two first lines and the longest row a run
// gives (six numbers of at most 15 characters), so that finished rows find room when the disk
// has filled up during the runs.
size_t PartialRoom(size_t runs, size_t prefix) {
    return 1024 + runs * (112 + prefix);
}
constexpr size_t kSettingsRoom = 4096;

// The tick at whose end the script presses Escape before `ticks`, or -1.
long EscapeTick(const std::string& scriptText, long ticks) {
    std::vector<KeyEvent> events;
    std::string ignored;
    if (!ParseKeyScript(scriptText, events, ignored)) return -1; // the replay names the fault
    const int escape = KeyFromName("ESCAPE");
    for (const KeyEvent& event : events)
        if (event.key == escape && event.down && event.tick < ticks) return event.tick;
    return -1;
}

// The runs that end early at the script's Escape: noted as the replay notes it, and refused when
// no tick would be left to measure.
bool CheckEscape(const SweepOptions& options, long escape, std::string& error) {
    if (escape < 0) return true;
    if (escape <= options.settle + 1) {
        error = FormatText(_("the script's Escape at tick %ld ends every run before anything is "
                             "measured (--settle %ld)"),
                           escape, options.settle);
        return false;
    }
    if (options.engine == "slurm") {
        error = _("--engine slurm runs a task's runs in one replay, which a script that presses "
                  "Escape would end; remove the Escape or use --engine local");
        return false;
    }
    std::fprintf(stderr,
                 _("koltrep-sweep: note: the script's Escape ends every run after %ld ticks, "
                   "before --ticks %ld\n"),
                 escape, options.ticks);
    return true;
}

SweepRecord RecordOf(const SweepOptions& options, int argc, char** argv,
                     const std::string& scriptText) {
    SweepRecord record;
    record.version = KOLTREP_VERSION;
    record.ticks = options.ticks;
    record.settle = options.settle;
    record.seed = options.seed;
    record.repeats = options.repeats;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--crank-speeds") == 0) record.crankSpeeds = argv[i + 1];
        if (std::strcmp(argv[i], "--frictions") == 0) record.frictions = argv[i + 1];
    }
    if (!options.script.empty()) {
        std::error_code ignored;
        record.script = std::filesystem::absolute(options.script, ignored).string();
    }
    record.scriptHash = ScriptHash(scriptText);
    return record;
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

// Cell by cell, repeats inner.
std::vector<Run> Runs(const std::vector<Cell>& cells, int repeats) {
    std::vector<Run> runs;
    for (size_t c = 0; c < cells.size(); ++c)
        for (int r = 0; r < (repeats > 0 ? repeats : 1) && cells[c].infeasible.empty(); ++r) {
            Run run;
            run.cell = c;
            run.repeat = repeats > 0 ? r : -1;
            runs.push_back(run);
        }
    return runs;
}

std::string RunName(const SweepOptions& options, const std::vector<Cell>& cells, const Run& run) {
    const Cell& cell = cells[run.cell];
    if (!cell.values.empty()) {
        const std::string name = VariedCellName(options.axes, cell);
        return run.repeat >= 0 ? FormatText(_("cell %s, repeat %d"), name.c_str(), run.repeat)
                               : FormatText(_("cell %s"), name.c_str());
    }
    const std::string crank = FloatText(cell.crankSpeed), friction = FloatText(cell.friction);
    return run.repeat >= 0
               ? FormatText(_("cell crank speed %s, friction %s, repeat %d"), crank.c_str(),
                            friction.c_str(), run.repeat)
               : FormatText(_("cell crank speed %s, friction %s"), crank.c_str(), friction.c_str());
}

void ReportFailures(const SweepOptions& options, const std::vector<Cell>& cells,
                    const std::vector<Run>& runs) {
    size_t missing = 0;
    for (const Run& run : runs) {
        if (!run.row.empty()) continue;
        if (++missing > kListedFailures) continue;
        const std::string name = RunName(options, cells, run);
        Fail(run.failure.empty() ? FormatText(_("%s: not run"), name.c_str())
                                 : name + ": " + run.failure,
             1);
    }
    const size_t more = missing - kListedFailures;
    if (missing > kListedFailures)
        Fail(FormatText(TranslatePlural("... and %zu more run without a row",
                                        "... and %zu more runs without a row", more),
                        more),
             1);
}

// The sweep's CSV: today's rows without repeats, the spread of each cell's repeats with them.
// Both are made from the runs' rows read back, whoever measured them.
std::string SweepCsv(const SweepOptions& options, std::vector<Cell>& cells,
                     const std::vector<Run>& runs, std::vector<Spread>& spreads) {
    const bool withRepeats = options.repeats > 0;
    std::string text =
        RowHeader(AxisPaths(options.axes), withRepeats ? kSpreadCsvHeader : kSweepCsvHeader, true) +
        "\n";
    const size_t prefixFields = options.axes.empty() ? 2 : options.axes.size() + 1;
    std::vector<std::vector<GaitMeasures>> perCell(cells.size());
    for (const Run& run : runs) {
        std::string prefix;
        int repeat = -1;
        GaitMeasures measures;
        if (ParseRunRow(run.row, prefixFields, withRepeats, prefix, repeat, measures))
            perCell[run.cell].push_back(measures);
    }
    spreads.clear();
    for (size_t c = 0; c < cells.size(); ++c) {
        if (!cells[c].infeasible.empty()) {
            text += FormatInfeasibleRow(cells[c], withRepeats);
            spreads.emplace_back();
            continue;
        }
        if (perCell[c].empty()) continue;
        cells[c].done = true;
        cells[c].measures = perCell[c][0];
        if (withRepeats) spreads.push_back(SpreadOf(perCell[c]));
        std::string row = withRepeats ? FormatSpreadRow(cells[c], spreads.back())
                                      : FormatRunRow(cells[c], -1, cells[c].measures);
        // A varied grid's rows end with the reason a point is no machine: empty for these.
        if (!options.axes.empty()) row.insert(row.size() - 1, ",");
        text += row;
    }
    return text;
}

std::string RunRows(const std::string& header, const std::vector<Run>& runs) {
    std::string text = header + "\n";
    for (const Run& run : runs)
        text += run.row;
    return text;
}

} // namespace

// The longest leading fields of a varied row: the room a row needs beside its measures.
size_t PrefixRoom(const std::vector<Cell>& cells) {
    size_t room = 0;
    for (const Cell& cell : cells)
        room = std::max(room, cell.prefix.size());
    return room;
}

// The runs on this machine's cores, in a scratch folder of their own.
bool RunLocally(const SweepOptions& options, CellRun run, long escape,
                const std::vector<Cell>& cells, std::vector<Run>& runs,
                const std::vector<size_t>& todo, std::string& error) {
    std::string pattern = TemporaryFolder() + "/koltrep-sweep-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        const int reason = errno;
        error = FormatText(_("no scratch folder: %s"), std::strerror(reason));
        return false;
    }
    run.scratch = pattern;
    run.script = options.script;
    if (run.script.empty()) {
        run.script = run.scratch + "/walk.txt";
        std::ofstream(run.script) << kDefaultScript;
    }
    int jobs = options.jobs > 0 ? options.jobs : CoresAvailable();
    // About four batches a job, so that the progress bar moves and the last batches end
    // together, but never so small that starting processes costs much beside the ticks.
    // A script that presses Escape ends a batch's replay: one run per process then.
    size_t share = (todo.size() + jobs - 1) / jobs;
    size_t quarter = (share + 3) / 4;
    run.batch = escape >= 0 ? 1
                : options.batch > 0
                    ? static_cast<size_t>(options.batch)
                    : std::min(share, std::clamp(quarter, kLocalBatchLeast, kLocalBatchLimit));
    RunCells(run, cells, runs, todo, jobs);
    std::error_code ignored;
    std::filesystem::remove_all(run.scratch, ignored);
    return true;
}

// The pictures, from data files in a scratch folder of their own: the results folder holds only
// what the user asked for.
bool DrawPlots(const SweepOptions& options, const std::vector<Cell>& cells,
               const std::vector<Spread>& spreads, std::string& error) {
    std::string data = TemporaryFolder() + "/koltrep-sweep-plot-XXXXXX";
    if (!mkdtemp(data.data())) {
        const int reason = errno;
        error = FormatText(_("no scratch folder: %s"), std::strerror(reason));
        return false;
    }
    const PlotGrid grid = options.axes.empty()
                              ? FrictionRows(options.crankSpeeds, options.frictions)
                              : VariedPlotGrid(options.axes);
    bool drawn = options.repeats > 0
                     ? WriteSpreadPlots(options.out, data, grid, cells, spreads, error)
                     : WritePlots(options.out, data, grid, cells, error);
    std::error_code ignored;
    std::filesystem::remove_all(data, ignored);
    return drawn;
}

// Where a sweep that did not complete leaves its rows: the partial file, in the room kept for it
// from the start, and only where that fails after all a file in the temporary folder. Says where
// they are, after `fault` (what failed, or "" for failed runs or a stop), and gives the exit
// code.
struct Keeping {
    PendingFile* partialFile;
    PendingFile* settingsFile;
    std::string partial;
    std::string settings; // the partial file's first line's
    std::string settingsText;
    std::string header;
};

// The closing line of a sweep that did not complete, one sentence for each way it ends.
std::string KeptRowsLine(const std::string& fault, size_t done, size_t total,
                         const std::string& where) {
    if (!fault.empty())
        return FormatText(_("%s; %zu of %zu runs finished; their rows are in %s (--resume "
                            "completes them)"),
                          fault.c_str(), done, total, where.c_str());
    if (stopSignal != 0)
        return FormatText(_("stopped: %zu of %zu runs finished; their rows are in %s (--resume "
                            "completes them)"),
                          done, total, where.c_str());
    return FormatText(_("%zu of %zu runs finished; their rows are in %s (--resume completes "
                        "them)"),
                      done, total, where.c_str());
}

int KeepRows(Keeping& keep, const std::vector<Run>& runs, const std::string& fault) {
    const std::string text = PartialText(keep.settings, keep.header, runs);
    std::string error, where = keep.partial;
    if (!keep.partialFile->Commit(text, error)) {
        Fail(error, 1);
        std::string fallback = TemporaryFolder() + "/koltrep-sweep-rows-XXXXXX";
        int fd = mkstemp(fallback.data());
        bool saved = fd >= 0 &&
                     write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                     fsync(fd) == 0;
        if (fd >= 0) close(fd);
        if (!saved) {
            if (fd >= 0) unlink(fallback.c_str());
            return Fail(_("the finished rows could not be kept anywhere"), 1);
        }
        where = fallback;
    } else {
        keep.settingsFile->Commit(keep.settingsText, error);
    }
    size_t done = runs.size() - std::count_if(runs.begin(), runs.end(),
                                              [](const Run& r) { return r.row.empty(); });
    Fail(KeptRowsLine(fault, done, runs.size(), where), 1);
    return stopSignal ? 128 + stopSignal : 1;
}

// An earlier sweep's partial file: its rows when resuming; else it must be of this sweep, which
// replaces it, for no other sweep's finished runs may be lost.
bool TakeEarlierRows(const SweepOptions& options, const std::string& partial,
                     const std::string& settings, const SweepRecord& record,
                     const std::string& header, const std::vector<Cell>& cells,
                     std::vector<Run>& runs, std::string& error) {
    std::string text;
    if (!options.resume && access(partial.c_str(), F_OK) != 0) return true;
    if (!ReadWholeFile(partial, text, error, PartialRoom(runs.size(), PrefixRoom(cells)))) {
        if (options.resume) error = FormatText(_("%s (nothing to resume)"), error.c_str());
        return false;
    }
    std::string recordText, differences;
    if (ReadWholeFile(options.out + "/sweep.settings", recordText, error, kSettingsRoom))
        differences = RecordDifferences(recordText, record);
    std::vector<Run> copy = runs;
    bool ours =
        differences.empty() && TakePartialRows(partial, text, settings, header, options.repeats > 0,
                                               options.ticks, cells, copy, error);
    if (!differences.empty())
        error = FormatText(_("%s was made with other settings: %s"), partial.c_str(),
                           differences.c_str());
    if (ours && options.resume) runs = copy;
    if (ours) return true;
    if (!options.resume)
        error = FormatText(_("%s; it holds another sweep's rows: resume that sweep, or move the "
                             "file away"),
                           error.c_str());
    return false;
}

int Sweep(int argc, char** argv) {
    SweepOptions options;
    std::string error;
    if (!ParseSweepOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "koltrep-sweep: %s\n%s", error.c_str(), _(kSweepUsage));
        return 2;
    }
    CellRun run;
    run.replay = options.replay.empty() ? ProgramFolder() + "koltrep-evaluate" : options.replay;
    run.ticks = options.ticks;
    run.settle = options.settle;
    run.seed = options.seed;
    if (access(run.replay.c_str(), X_OK) != 0)
        return Fail(FormatText(_("cannot run %s (build koltrep-evaluate, or give --replay)"),
                               run.replay.c_str()),
                    2);
    run.machine = options.machine;
    if (!options.task.empty()) {
        CatchStopSignals();
        run.script = options.script;
        return RunSlurmTask(options.task, run, error) ? 0 : Fail(error, 1);
    }
    // Checked once here, so that a file that cannot be built fails the sweep before any run
    // rather than every run; the replays find it by its absolute path from any folder.
    std::string machineHash;
    Machine base = DesignMachine();
    if (!options.machine.empty()) {
        MachineFile machine;
        if (!LoadMachineFile(options.machine, machine, error)) return Fail(error, 2);
        run.machine = std::filesystem::absolute(options.machine).string();
        machineHash = machine.hash;
        base = machine.machine;
    }
    // A varied sweep's runs build their grid point's machine, each made from the base; a resume
    // must vary the same base, whatever file it came from.
    if (!options.axes.empty()) {
        run.machine.clear();
        machineHash = HashMachineText(MachineText(base));
    }
    std::string scriptText = kDefaultScript;
    if (!options.script.empty() &&
        !ReadWholeFile(options.script, scriptText, error, kMaxScriptBytes))
        return Fail(error, 2);
    const long escape = EscapeTick(scriptText, options.ticks);
    if (!CheckEscape(options, escape, error)) return Fail(error, 2);
    const bool defaultOut = options.out.empty();
    if (defaultOut) options.out = DefaultOutFolder();
    SlurmSweep slurm;
    slurm.options = &options;
    slurm.run = run;
    slurm.scriptText = scriptText;
    slurm.sweepProgram = ProgramFolder() + "koltrep-sweep";
    if (options.engine == "slurm" && !CheckSlurmPaths(slurm, error)) return Fail(error, 2);
    if (!MakeOutFolder(options.out, defaultOut, error)) return Fail(error, 2);
    FolderLock lock;
    if (!lock.Take(options.out, error)) return Fail(error, 2);
    RemoveStaleTemporaries(options.out);
    // Checked before the first run: a sweep must not run for hours to find it cannot write.
    PendingFile csv(options.out + "/sweep.csv");
    if (!csv.Create(error)) return Fail(error, 2);

    std::vector<Machine> machines;
    std::vector<Cell> cells =
        options.axes.empty()
            ? Grid(options)
            : VaryGrid(options.axes, base,
                       std::filesystem::absolute(options.out).lexically_normal().string(),
                       machines);
    std::vector<Run> runs = Runs(cells, options.repeats);
    // A sweep resumes only over the machine it began with, and the dimensions it varied.
    const std::vector<std::string> paths = AxisPaths(options.axes);
    std::string varied;
    for (const std::string& path : paths)
        varied += (varied.empty() ? "" : ",") + path;
    const std::string settings =
        SweepSettings(options.ticks, options.settle, options.repeats, options.seed, scriptText) +
        (varied.empty() ? "" : " vary=" + varied) +
        (machineHash.empty() ? "" : " machine=" + machineHash);
    const std::string rowHeader =
        RowHeader(paths, options.repeats > 0 ? kRunCsvHeader : kSweepCsvHeader, false);
    const std::string partial = options.out + "/sweep.partial.csv";
    SweepRecord record = RecordOf(options, argc, argv, scriptText);
    if (!options.axes.empty()) {
        record.vary = varied;
        for (const std::string& text : options.axisTexts)
            record.varyValues += (record.varyValues.empty() ? "" : " ") + text;
        record.baseHash = machineHash;
    }
    if (!TakeEarlierRows(options, partial, settings, record, rowHeader, cells, runs, error))
        return Fail(error, 2);
    PendingFile partialFile(partial), settingsFile(options.out + "/sweep.settings");
    if (!partialFile.Create(error, PartialRoom(runs.size(), PrefixRoom(cells))) ||
        !settingsFile.Create(error, kSettingsRoom))
        return Fail(error, 2);
    // Every row's machine file is there before the first run: a row names a file that exists.
    if (!options.axes.empty() &&
        !WriteGridMachines(options.out, cells, machines, {options.machine, options.script}, error))
        return Fail(error, 2);
    const std::string headers = options.repeats > 0
                                    ? RowHeader(paths, kSpreadCsvHeader, true) + "," + rowHeader
                                    : RowHeader(paths, kSweepCsvHeader, true);
    Keeping keep{&partialFile, &settingsFile, partial, settings, FormatSweepRecord(record, headers),
                 rowHeader};
    std::vector<size_t> todo;
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].row.empty()) todo.push_back(i);

    CatchStopSignals();
    std::string engineFault;
    if (options.engine == "slurm") {
        int code = RunSlurmSweep(slurm, cells, runs, todo, error);
        if (code == 2) return Fail(error, code);
        // No run went to the cluster: the rows resumed so far stay, as after any failure.
        if (code != 0) engineFault = error;
        if (code == 0 && options.dryRun) return 0;
    } else if (!todo.empty() && !RunLocally(options, run, escape, cells, runs, todo, error)) {
        return Fail(error, 1);
    }
    ReleaseStopSignals();

    bool complete = true;
    for (const Run& one : runs)
        complete = complete && !one.row.empty();
    if (!complete) {
        csv.Abandon();
        if (!engineFault.empty())
            Fail(engineFault, 1);
        else if (stopSignal == 0)
            ReportFailures(options, cells, runs);
        // The results of an earlier sweep must not pass for this one's.
        RemoveSweepOutputs(options.out);
        return KeepRows(keep, runs, "");
    }
    std::vector<Spread> spreads;
    if (!csv.Commit(SweepCsv(options, cells, runs, spreads), error) ||
        (options.repeats > 0 &&
         !WriteFileAtomically(options.out + "/runs.csv", RunRows(rowHeader, runs), error))) {
        RemoveSweepOutputs(options.out);
        return KeepRows(keep, runs, error);
    }
    partialFile.Abandon();
    unlink(partial.c_str()); // this sweep's own, or one it completed
    if (!settingsFile.Commit(keep.settingsText, error)) Fail(error, 1);
    // A grid of no machine at all has nothing to draw.
    const bool anyDone =
        std::any_of(cells.begin(), cells.end(), [](const Cell& c) { return c.done; });
    if (options.plot && anyDone && !DrawPlots(options, cells, spreads, error))
        return Fail(FormatText(_("%s; the CSV is written"), error.c_str()), 1);
    std::fprintf(stderr,
                 TranslatePlural("koltrep-sweep: %zu cell in %s\n",
                                 "koltrep-sweep: %zu cells in %s\n", cells.size()),
                 cells.size(), options.out.c_str());
    return 0;
}

int main(int argc, char** argv) {
    InitMessages(); // before any strerror: the system's reasons in the user's language
    AnswerHelpOrVersion(argc, argv, "koltrep-sweep",
                        (std::string(_(kSweepUsage)) + _(kSweepHelp)).c_str());
    Leave(Sweep(argc, argv));
}
