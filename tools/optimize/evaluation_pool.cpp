// The optimiser's pool of evaluator processes.
#include "tools/optimize/evaluation_pool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

#include <platform/i18n/i18n.h>

#include "records/trace.h"
#include "tools/optimize/evaluation_batches.h"
#include "tools/optimize/slurm_evaluations.h"
#include "tools/sweep/cell_runner.h"
#include "tools/sweep/slurm_client.h"
#include "tools/sweep/sweep_files.h"
#include "tools/sweep/this_process.h"

namespace {

// In the child: a group of its own (a stop of ours reaches what it starts), default signal
// handling unblocked, output to the batch's log, then the evaluator. The optimiser has a single
// thread, so the child may still allocate before exec.
[[noreturn]] void ExecEvaluate(const std::string& log, std::vector<std::string>& args) {
    setpgid(0, 0);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        std::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ExecLogged(log, args);
}

pid_t Start(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
            const EvaluationBatch& batch, std::string& error) {
    std::vector<std::string> args;
    if (!BatchArguments(settings, runs, batch, args, error)) return -1;
    std::string log = ScratchPath(settings, "batch", batch.number, ".log");
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) ExecEvaluate(log, args);
    if (child > 0) setpgid(child, child); // either side may get there first
    if (child < 0) error = std::string("cannot start a process: ") + std::strerror(errno);
    return child;
}

// The run's trace ended where a run ends: at its last tick, or where it tipped over. A process
// ended halfway through a row leaves no line break after it.
bool WholeTrace(const std::string& text, long ticks) {
    std::vector<TraceRow> rows;
    std::string error;
    if (text.empty() || text.back() != '\n' || !ParseTrace(text, rows, error)) return false;
    if (rows.size() == static_cast<size_t>(ticks)) return true;
    return !rows.empty() && UpZ(rows.back()) < 0.0;
}

std::string ProcessFailure(const EvaluationSettings& settings, size_t batch, int status) {
    const std::string program = settings.evaluate.substr(settings.evaluate.rfind('/') + 1);
    return (WIFEXITED(status) ? program + " exited with " + std::to_string(WEXITSTATUS(status))
                              : program + " ended by signal " + std::to_string(WTERMSIG(status))) +
           ": " + LastLineOf(ScratchPath(settings, "batch", batch, ".log"));
}

// Files the batch's runs. A process that ended well leaves every run measured; an exit code is
// the evaluator refusing its work, which no candidate causes. A crash may be the candidate's
// doing: a lone run is failed with it, while a batch keeps the runs whose traces are whole and
// hands back the rest, to be run again, so that no candidate is judged by its neighbours in a
// batch. After a stop the unfinished runs are left for a resume. Returns the runs handed back.
std::vector<size_t> Finish(const EvaluationSettings& settings, const EvaluationBatch& batch,
                           int status, std::vector<RunOutcome>& outcomes,
                           std::vector<bool>& finished) {
    const bool ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool crashed = !WIFEXITED(status);
    const std::string failure = ended ? "" : ProcessFailure(settings, batch.number, status);
    std::vector<size_t> again;
    for (size_t index : batch.runs) {
        const std::string trace = ScratchPath(settings, "run", index, ".csv");
        std::string text, error;
        ReadWholeFile(trace, text, error); // a missing trace is one without rows
        unlink(trace.c_str());
        RunOutcome& outcome = outcomes[index];
        if (ended || (crashed && WholeTrace(text, settings.ticks))) {
            outcome = MeasureTrace(text, settings.ticks, settings.settle);
        } else if (!crashed || batch.runs.size() == 1) {
            outcome.toolFailed = !crashed;
            outcome.failure = failure;
        } else {
            if (stopSignal == 0) again.push_back(index);
            continue;
        }
        finished[index] = true;
    }
    unlink(ScratchPath(settings, "batch", batch.number, ".log").c_str());
    unlink(ScratchPath(settings, "batch", batch.number, ".cells").c_str());
    return again;
}

// Runs handed back after a crash: the first, which the crash cut short, alone, so that a crash
// of its own is filed as a run alone files it; the others after it.
void HandBack(const std::vector<size_t>& again, size_t& numbers,
              std::deque<EvaluationBatch>& batches) {
    if (again.empty()) return;
    if (again.size() > 1)
        batches.push_front(
            EvaluationBatch{std::vector<size_t>(again.begin() + 1, again.end()), numbers++});
    batches.push_front(EvaluationBatch{{again.front()}, numbers++});
}

// Starts the next batch; one that cannot start fails its runs as the evaluator's fault.
void StartNext(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
               std::deque<EvaluationBatch>& batches, std::map<pid_t, EvaluationBatch>& running,
               std::vector<RunOutcome>& outcomes, std::vector<bool>& finished,
               const std::function<void()>& progress) {
    EvaluationBatch batch = std::move(batches.front());
    batches.pop_front();
    std::string error;
    pid_t child = Start(settings, runs, batch, error);
    if (child > 0) {
        running[child] = std::move(batch);
        return;
    }
    for (size_t index : batch.runs) {
        outcomes[index].failure = error;
        outcomes[index].toolFailed = true;
        finished[index] = true;
        progress();
    }
}

// A stop ends the batches of more than one run, whose whole traces still count; a run alone is
// short enough to be let end.
void CutBatches(const std::map<pid_t, EvaluationBatch>& running) {
    for (const auto& [child, batch] : running)
        if (batch.runs.size() > 1) kill(-child, SIGTERM);
}

} // namespace

RunOutcome MeasureTrace(const std::string& traceText, long ticks, long settle) {
    RunOutcome outcome;
    std::vector<TraceRow> rows;
    if (!ParseTrace(traceText, rows, outcome.failure)) return outcome;
    for (const TraceRow& row : rows)
        if (UpZ(row) < 0.0) {
            outcome.failure = FormatText(_("tipped over at tick %ld"), row.tick);
            return outcome;
        }
    if (rows.size() != static_cast<size_t>(ticks)) {
        outcome.failure = FormatText(_("the trace has %zu of %ld ticks"), rows.size(), ticks);
        return outcome;
    }
    MeasureGait(rows, settle, outcome.measures, outcome.failure);
    return outcome;
}

bool RunEvaluations(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                    std::vector<RunOutcome>& outcomes, std::vector<bool>& finished,
                    const std::function<void()>& progress) {
    if (settings.engine == "slurm")
        return RunSlurmEvaluations(settings, runs, outcomes, finished, progress);
    outcomes.assign(runs.size(), RunOutcome{});
    finished.assign(runs.size(), false);
    std::deque<EvaluationBatch> batches = SplitIntoBatches(runs.size(), BatchSize(settings, runs));
    size_t numbers = batches.size();
    std::map<pid_t, EvaluationBatch> running;
    bool cut = false;
    while ((!batches.empty() && stopSignal == 0) || !running.empty()) {
        while (stopSignal == 0 && !batches.empty() &&
               running.size() < static_cast<size_t>(settings.jobs))
            StartNext(settings, runs, batches, running, outcomes, finished, progress);
        if (stopSignal != 0 && !cut) {
            CutBatches(running);
            cut = true;
        }
        int status = 0;
        pid_t child = waitpid(-1, &status, WNOHANG);
        if (child == 0 || (child < 0 && errno == EINTR)) {
            WaitForSignal(1000);
            continue;
        }
        if (child < 0) break; // no children left to wait for
        auto found = running.find(child);
        if (found == running.end()) continue;
        kill(-child, SIGKILL); // anything it left in its group
        const std::vector<size_t> again =
            Finish(settings, found->second, status, outcomes, finished);
        for (size_t index : found->second.runs)
            if (finished[index]) progress();
        HandBack(again, numbers, batches);
        running.erase(found);
    }
    for (bool done : finished)
        if (!done) return false;
    return true;
}
