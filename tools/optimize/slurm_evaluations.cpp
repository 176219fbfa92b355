// The optimiser's Slurm engine.
#include "tools/optimize/slurm_evaluations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <platform/i18n/i18n.h>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/slurm_client.h"
#include "tools/sweep/sweep_files.h"

namespace {

// How long a cancelled array may take to leave the queue before the search stops waiting.
constexpr int kCancelWaitSeconds = 60;

// No path goes into a directive, which sbatch reads by rules of its own; the script sets the
// task's log and folder itself, every path quoted for the shell. A run's files are named by the
// task's index, so the only thing read from a file is a start's seed, handed on as one argument.
std::string BatchScript(const EvaluationSettings& s, const std::string& work, size_t tasks) {
    const std::string run = ShellQuoted(work + "/run-") + "\"$SLURM_ARRAY_TASK_ID\"";
    std::string text = "#!/bin/sh\n# koltrep-optimize: one task per run in this folder.\n";
    text += "#SBATCH --job-name=koltrep-optimize\n";
    text += "#SBATCH --array=0-" + std::to_string(tasks - 1) + "\n";
    text += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n#SBATCH --output=/dev/null\n";
    if (!s.partition.empty()) text += "#SBATCH --partition=" + s.partition + "\n";
    if (!s.timeLimit.empty()) text += "#SBATCH --time=" + s.timeLimit + "\n";
    text += "exec >" + run + ".log 2>&1\n";
    text += "cd " + ShellQuoted(AbsolutePath(".")) + " || exit 1\n";
    text += "set -- --script " + ShellQuoted(work + "/script.txt") + " --ticks " +
            std::to_string(s.ticks) + " --no-draw --measures --stop-at-tip --machine " + run +
            ".toml --trace " + run + ".csv\n";
    text += "if [ -s " + run + ".perturb ]; then set -- \"$@\" --perturb \"$(cat " + run +
            ".perturb)\"; fi\n";
    text += ShellQuoted(AbsolutePath(s.evaluate)) + " \"$@\"\necho $? >" + run + ".status\n";
    return text;
}

std::string RunPath(const std::string& work, size_t index, const char* suffix) {
    return work + "/run-" + std::to_string(index) + suffix;
}

bool WriteWork(const EvaluationSettings& s, const std::vector<EvaluationRun>& runs,
               const std::string& work, std::string& error) {
    std::string text;
    if (!ReadWholeFile(s.script, text, error) ||
        !WriteFileAtomically(work + "/script.txt", text, error))
        return false;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (!ReadWholeFile(runs[i].machine, text, error) ||
            !WriteFileAtomically(RunPath(work, i, ".toml"), text, error) ||
            (runs[i].perturbed && !WriteFileAtomically(RunPath(work, i, ".perturb"),
                                                       std::to_string(runs[i].perturb), error)))
            return false;
    }
    return WriteFileAtomically(work + "/koltrep-optimize.sbatch", BatchScript(s, work, runs.size()),
                               error);
}

// Submits the array; its job number, or "" with the reason.
std::string Submit(const std::string& work, std::string& error) {
    std::string job;
    int status = CaptureClient({"sbatch", "--parsable", work + "/koltrep-optimize.sbatch"}, job);
    // The last line is "ID" or "ID;CLUSTER"; warnings may come before it.
    std::string last = job.substr(job.rfind('\n') + 1);
    last = last.substr(0, last.find(';'));
    if (status == 0 && !last.empty() && last.find_first_not_of("0123456789") == std::string::npos)
        return last;
    error =
        status == -1 || status == 127
            ? _("cannot submit the runs: sbatch is not on PATH (--engine slurm needs the "
                "Slurm client, package slurm-client)")
            : "sbatch refused the array: " + (job.empty() ? "exit " + std::to_string(status) : job);
    return "";
}

// Until the array has left the queue; a stop signal cancels it first.
void WaitForArray(const std::string& job) {
    bool cancelled = false;
    int waited = 0;
    while (true) {
        std::string ignored, queued;
        if (stopSignal != 0 && !cancelled) {
            CaptureClient({"scancel", job}, ignored);
            cancelled = true;
        }
        if (CaptureClient({"squeue", "-h", "-r", "-j", job, "-o", "%i"}, queued) != 0 ||
            queued.empty())
            return;
        if (cancelled && ++waited > kCancelWaitSeconds) return;
        WaitForSignal(1000);
    }
}

// The task's run ended when it left its exit status: then its trace is the outcome, as a local
// run's would be (an exit code is the evaluator's fault, a signal may be the candidate's).
// Without one the task never ran to its end: not finished after a stop, else the tools' fault.
void Gather(const EvaluationSettings& s, const std::string& work, const std::string& job,
            size_t index, RunOutcome& outcome, bool& finished) {
    std::string status, trace, error;
    int code = -1;
    if (ReadWholeFile(RunPath(work, index, ".status"), status, error, 16))
        code = std::atoi(status.c_str());
    const std::string log = RunPath(work, index, ".log");
    // After our own cancel, a task that died of a signal was most likely ended by it.
    finished = stopSignal == 0 || (code >= 0 && code <= 128);
    if (!finished) return;
    if (code == 0) {
        ReadWholeFile(RunPath(work, index, ".csv"), trace, error);
        outcome = MeasureTrace(trace, s.ticks, s.settle);
    } else if (code > 128) {
        outcome.failure = "koltrep-evaluate ended by signal " + std::to_string(code - 128) +
                          " in Slurm task " + std::to_string(index) + " of job " + job;
    } else {
        outcome.toolFailed = true;
        outcome.failure =
            (code > 0 ? "koltrep-evaluate exited with " + std::to_string(code) : "no result") +
            " in Slurm task " + std::to_string(index) + " of job " + job + " (" + log + ": " +
            LastLineOf(log) + ")";
    }
}

// The work folder's own files, one by one: whatever anyone else put there stays.
void RemoveWork(const std::string& work, size_t runs) {
    for (const char* name : {"/script.txt", "/koltrep-optimize.sbatch"})
        unlink((work + name).c_str());
    for (size_t i = 0; i < runs; ++i)
        for (const char* suffix : {".toml", ".perturb", ".csv", ".log", ".status"})
            unlink(RunPath(work, i, suffix).c_str());
    rmdir(work.c_str());
}

} // namespace

bool RunSlurmEvaluations(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                         std::vector<RunOutcome>& outcomes, std::vector<bool>& finished,
                         const std::function<void()>& progress) {
    outcomes.assign(runs.size(), RunOutcome{});
    finished.assign(runs.size(), false);
    if (runs.empty()) return true;
    std::string error, job;
    // A folder of its own for every generation, which the nodes' user may differ from ours.
    std::string work = AbsolutePath(settings.out) + "/slurm-XXXXXX";
    if (mkdtemp(work.data()) == nullptr)
        error = "cannot create " + work + ": " + std::strerror(errno);
    else
        chmod(work.c_str(), 0777 & ~CurrentUmask());
    if (error.empty() && WriteWork(settings, runs, work, error)) job = Submit(work, error);
    if (job.empty()) {
        for (size_t i = 0; i < runs.size(); ++i) {
            outcomes[i].failure = error;
            outcomes[i].toolFailed = true;
            finished[i] = true;
        }
        return true;
    }
    WaitForArray(job);
    bool allMeasured = true;
    for (size_t i = 0; i < runs.size(); ++i) {
        bool done = false;
        Gather(settings, work, job, i, outcomes[i], done);
        finished[i] = done;
        allMeasured = allMeasured && done && !outcomes[i].toolFailed;
        progress();
    }
    if (allMeasured) RemoveWork(work, runs.size()); // a failed task's log stays to be read
    return stopSignal == 0;
}
