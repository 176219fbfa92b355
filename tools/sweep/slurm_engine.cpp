// The sweep as a Slurm job array: the batch script, submission, waiting, gathering, and the
// task that runs on a node.
#include "tools/sweep/slurm_engine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include "tools/sweep/slurm_client.h"
#include "tools/sweep/sweep_files.h"
#include "tools/sweep/sweep_runs.h"

#include <platform/i18n/i18n.h>

namespace {

namespace fs = std::filesystem;

// Runs per task by default: some seconds of work at a few hundred ticks, so that the
// scheduler's own latency stays small beside it. Larger when the array would exceed the
// usual limit on array sizes.
constexpr size_t kDefaultTaskRuns = 32;
constexpr size_t kMaxTasks = 1000;
// How long a cancelled array may take to leave the queue before the sweep stops waiting.
constexpr int kCancelWaitSeconds = 60;

std::string TaskPath(const std::string& work, size_t task, const char* suffix);

// No path goes into a directive: sbatch reads those with rules of its own. The task's log and
// working folder are set by the script itself, with every path quoted for the shell.
std::string BatchScript(const SlurmSweep& sweep, const std::string& work, size_t tasks,
                        const std::string& script) {
    const SweepOptions& o = *sweep.options;
    std::string s = "#!/bin/sh\n# koltrep-sweep: one task per list of runs in this folder.\n";
    s += "#SBATCH --job-name=koltrep-sweep\n";
    s += "#SBATCH --array=0-" + std::to_string(tasks - 1) + "\n";
    s += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n";
    s += "#SBATCH --output=/dev/null\n";
    if (!o.partition.empty()) s += "#SBATCH --partition=" + o.partition + "\n";
    if (!o.timeLimit.empty()) s += "#SBATCH --time=" + o.timeLimit + "\n";
    s += "exec >" + ShellQuoted(work + "/task-") + "\"$SLURM_ARRAY_TASK_ID\".log 2>&1\n";
    s += "cd " + ShellQuoted(AbsolutePath(".")) + " || exit 1\n";
    s += "exec " + ShellQuoted(sweep.sweepProgram) + " --task " + ShellQuoted(work + "/task-") +
         "\"$SLURM_ARRAY_TASK_ID\" --replay " + ShellQuoted(AbsolutePath(sweep.run.replay)) +
         " --script " + ShellQuoted(script) + " --ticks " + std::to_string(o.ticks) + " --settle " +
         std::to_string(o.settle) + " --seed " + std::to_string(o.seed) +
         (sweep.run.machine.empty() ? "" : " --machine " + ShellQuoted(sweep.run.machine)) + "\n";
    return s;
}

} // namespace

bool CheckSlurmPaths(const SlurmSweep& sweep, std::string& error) {
    const std::pair<const char*, std::string> paths[] = {
        {"--out", AbsolutePath(sweep.options->out)},
        {_("the current folder"), AbsolutePath(".")},
        {"--replay", AbsolutePath(sweep.run.replay)},
        {_("koltrep-sweep's own path"), sweep.sweepProgram}};
    for (const auto& [what, path] : paths)
        if (path.find_first_of("\n\r") != std::string::npos) {
            error = FormatText(_("%s holds a line break, which --engine slurm cannot put in its "
                                 "batch script"),
                               what);
            return false;
        }
    return true;
}

namespace {

// The work folder's own files, removed one by one: the folder is the sweep's, but whatever
// anyone else put in it stays, and so does the folder then.
void RemoveWork(const std::string& work, size_t tasks) {
    for (const char* name : {"/script.txt", "/koltrep-sweep.sbatch"})
        unlink((work + name).c_str());
    for (size_t t = 0; t < tasks; ++t)
        for (const char* suffix : {".cells", ".rows", ".log"})
            unlink(TaskPath(work, t, suffix).c_str());
    rmdir(work.c_str());
}

std::string TaskPath(const std::string& work, size_t task, const char* suffix) {
    return work + "/task-" + std::to_string(task) + suffix;
}

// The task's rows, "INDEX ROW" a line, and "# INDEX failed: REASON" for runs without one.
void GatherTask(const std::string& work, size_t task, const std::string& job,
                const std::vector<size_t>& listed, std::vector<Run>& runs, size_t prefixFields,
                bool withRepeat) {
    std::string text, error;
    std::vector<bool> mine(runs.size(), false);
    for (size_t index : listed)
        mine[index] = true;
    if (ReadWholeFile(TaskPath(work, task, ".rows"), text, error)) {
        std::istringstream lines(text);
        std::string whole;
        while (std::getline(lines, whole)) {
            std::string_view line(whole);
            bool failed = line.rfind("# ", 0) == 0;
            if (failed) line.remove_prefix(2);
            size_t index = 0;
            auto [end, status] = std::from_chars(line.data(), line.data() + line.size(), index);
            if (status != std::errc() || index >= runs.size() || !mine[index] || *end != ' ')
                continue;
            std::string rest(end + 1, line.data() + line.size());
            std::string prefix;
            int repeat;
            GaitMeasures measures;
            if (failed)
                runs[index].failure = rest;
            else if (ParseRunRow(rest + "\n", prefixFields, withRepeat, prefix, repeat, measures))
                runs[index].row = rest + "\n";
        }
    }
    std::string log = TaskPath(work, task, ".log");
    for (size_t index : listed)
        if (runs[index].row.empty() && runs[index].failure.empty())
            runs[index].failure =
                FormatText(_("no row from Slurm task %zu of job %s (%s: %s)"), task, job.c_str(),
                           log.c_str(), LastLineOf(log).c_str());
}

} // namespace

int RunSlurmSweep(const SlurmSweep& sweep, const std::vector<Cell>& cells, std::vector<Run>& runs,
                  const std::vector<size_t>& todo, std::string& error) {
    const SweepOptions& o = *sweep.options;
    if (todo.empty()) return 0;
    if (!CheckSlurmPaths(sweep, error)) return 2;
    // A folder of its own for every sweep: nothing of the user's, nor an earlier sweep's logs, is
    // ever in the way or removed.
    std::string work = AbsolutePath(o.out) + "/slurm-XXXXXX";
    if (!mkdtemp(work.data())) {
        const int reason = errno;
        error = FormatText(_("cannot create %s: %s"), work.c_str(), std::strerror(reason));
        return 2;
    }
    chmod(work.c_str(), 0777 & ~CurrentUmask()); // the nodes' user may differ from ours
    size_t perTask = o.batch > 0
                         ? static_cast<size_t>(o.batch)
                         : std::max(kDefaultTaskRuns, (todo.size() + kMaxTasks - 1) / kMaxTasks);
    size_t tasks = (todo.size() + perTask - 1) / perTask;
    const std::string script = work + "/script.txt";
    if (!WriteFileAtomically(script, sweep.scriptText, error)) return 2;
    std::vector<std::vector<size_t>> lists(tasks);
    for (size_t t = 0; t < tasks; ++t) {
        std::string text;
        for (size_t i = t * perTask; i < todo.size() && i < (t + 1) * perTask; ++i) {
            const Run& run = runs[todo[i]];
            lists[t].push_back(todo[i]);
            const Cell& cell = cells[run.cell];
            text += std::to_string(todo[i]) + ' ' + FloatText(cell.crankSpeed) + ' ' +
                    FloatText(cell.friction) + ' ' + std::to_string(run.repeat);
            // A varied cell's row leads with its values and machine file's name, which hold no
            // space; its machine file's path is the rest of the line.
            if (!cell.prefix.empty()) text += ' ' + cell.prefix + ' ' + cell.machine;
            text += '\n';
        }
        if (!WriteFileAtomically(TaskPath(work, t, ".cells"), text, error)) return 2;
    }
    const std::string batchScript = work + "/koltrep-sweep.sbatch";
    if (!WriteFileAtomically(batchScript, BatchScript(sweep, work, tasks, script), error)) return 2;
    if (o.dryRun) {
        std::printf("%s\n", batchScript.c_str());
        std::fprintf(stderr,
                     _("koltrep-sweep: %zu runs in %zu tasks of up to %zu; submit them with: "
                       "sbatch %s\n"),
                     todo.size(), tasks, perTask, ShellQuoted(batchScript).c_str());
        return 0;
    }

    if (!OnPath("sbatch")) {
        error = FormatText(_("cannot submit the runs: sbatch is not on PATH (--engine slurm needs "
                             "the Slurm client, package slurm-client); the batch script is %s"),
                           batchScript.c_str());
        return 1;
    }
    std::string job;
    int status = CaptureClient({"sbatch", "--parsable", batchScript}, job);
    if (status != 0 || job.empty()) {
        error = job.empty() ? FormatText(_("sbatch refused the array: exit %d"), status)
                            : FormatText(_("sbatch refused the array: %s"), job.c_str());
        return 1;
    }
    // The last line is "ID" or "ID;CLUSTER"; warnings may come before it.
    job = job.substr(job.rfind('\n') + 1);
    job = job.substr(0, job.find(';'));
    if (job.empty() || job.find_first_not_of("0123456789") != std::string::npos) {
        error = FormatText(_("sbatch gave no job number: %s"), job.c_str());
        return 1;
    }
    std::fprintf(stderr, _("koltrep-sweep: %zu runs in job array %s (%zu tasks)\n"), todo.size(),
                 job.c_str(), tasks);
    bool cancelled = false;
    int waited = 0;
    while (true) {
        if (stopSignal != 0 && !cancelled) {
            std::string ignored;
            CaptureClient({"scancel", job}, ignored);
            cancelled = true;
        }
        std::string queued;
        int queueStatus = CaptureClient({"squeue", "-h", "-r", "-j", job, "-o", "%i"}, queued);
        if (stopSignal != 0 && !cancelled) continue;
        if (queueStatus != 0 || queued.empty()) break;
        if (cancelled && ++waited > kCancelWaitSeconds) break;
        WaitForSignal(1000);
    }
    const size_t prefixFields =
        o.axes.empty() ? 2 : o.axes.size() + 1; // the axes and the machine file's name
    for (size_t t = 0; t < tasks; ++t)
        GatherTask(work, t, job, lists[t], runs, prefixFields, o.repeats > 0);
    bool allDone = true;
    for (size_t index : todo)
        allDone = allDone && !runs[index].row.empty();
    if (allDone) RemoveWork(work, tasks); // the logs of a failed task stay to be read
    return 0;
}

namespace {

// The rest of a task list's line: nothing, or a varied cell's leading fields and machine file.
bool TakeVariedCell(const std::string& rest, Cell& cell) {
    if (rest.empty()) return true;
    const size_t space = rest.find(' ', 1);
    if (rest[0] != ' ' || space == std::string::npos || space + 1 >= rest.size()) return false;
    cell.prefix = rest.substr(1, space - 1);
    cell.machine = rest.substr(space + 1);
    return true;
}

} // namespace

bool RunSlurmTask(const std::string& prefix, CellRun run, std::string& error) {
    std::string text;
    if (!ReadWholeFile(prefix + ".cells", text, error)) return false;
    std::vector<Cell> cells;
    std::vector<Run> runs;
    std::vector<size_t> indexes; // the sweep's numbers of the runs
    std::istringstream lines(text);
    std::string copy;
    int number = 0;
    while (std::getline(lines, copy)) {
        ++number;
        size_t index = 0;
        Cell cell;
        Run one;
        char sweepIndex[32] = {}, crank[32] = {}, friction[32] = {};
        int used = 0;
        if (std::sscanf(copy.c_str(), "%31s %31s %31s %d%n", sweepIndex, crank, friction,
                        &one.repeat, &used) != 4 ||
            !TakeVariedCell(copy.substr(static_cast<size_t>(used)), cell) ||
            std::from_chars(sweepIndex, sweepIndex + std::strlen(sweepIndex), index).ec !=
                std::errc() ||
            std::from_chars(crank, crank + std::strlen(crank), cell.crankSpeed).ec != std::errc() ||
            std::from_chars(friction, friction + std::strlen(friction), cell.friction).ec !=
                std::errc()) {
            error = FormatText(_("%s.cells:%d: not a run"), prefix.c_str(), number);
            return false;
        }
        one.cell = cells.size();
        cells.push_back(cell);
        runs.push_back(one);
        indexes.push_back(index);
    }
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/koltrep-task-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        const int reason = errno;
        error = FormatText(_("no scratch folder: %s"), std::strerror(reason));
        return false;
    }
    run.scratch = scratch;
    run.batch = runs.empty() ? 1 : runs.size();
    std::vector<size_t> todo;
    for (size_t i = 0; i < runs.size(); ++i)
        todo.push_back(i);
    bool allDone = RunCells(run, cells, runs, todo, 1);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    std::string rows;
    for (size_t i = 0; i < runs.size(); ++i)
        rows += runs[i].row.empty()
                    ? "# " + std::to_string(indexes[i]) + " " + runs[i].failure + "\n"
                    : std::to_string(indexes[i]) + " " + runs[i].row;
    if (!WriteFileAtomically(prefix + ".rows", rows, error)) return false;
    if (!allDone) error = FormatText(_("some runs have no row (see %s.rows)"), prefix.c_str());
    return allDone;
}
