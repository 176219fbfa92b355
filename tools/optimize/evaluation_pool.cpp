// The optimiser's pool of evaluator processes.
#include "tools/optimize/evaluation_pool.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include <platform/i18n/i18n.h>

#include "records/trace.h"
#include "tools/optimize/slurm_evaluations.h"
#include "tools/sweep/cell_runner.h"
#include "tools/sweep/slurm_client.h"
#include "tools/sweep/sweep_files.h"

namespace {

std::string ScratchPath(const EvaluationSettings& settings, size_t index, const char* suffix) {
    return settings.scratch + "/run-" + std::to_string(index) + suffix;
}

// In the child: a group of its own (a stop of ours reaches what it starts), default signal
// handling unblocked, output to the run's log, then the evaluator. The optimiser has a single
// thread, so the child may still allocate before exec.
[[noreturn]] void ExecEvaluate(const std::string& log, std::vector<std::string>& args) {
    setpgid(0, 0);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        std::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    close(fd);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

pid_t Start(const EvaluationSettings& settings, const EvaluationRun& run, size_t index,
            std::string& error) {
    std::vector<std::string> args = {settings.evaluate,
                                     "--script",
                                     settings.script,
                                     "--ticks",
                                     std::to_string(settings.ticks),
                                     "--no-draw",
                                     "--measures",
                                     "--stop-at-tip",
                                     "--machine",
                                     run.machine,
                                     "--trace",
                                     ScratchPath(settings, index, ".csv")};
    if (run.perturbed) args.insert(args.end(), {"--perturb", std::to_string(run.perturb)});
    std::string log = ScratchPath(settings, index, ".log");
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) ExecEvaluate(log, args);
    if (child > 0) setpgid(child, child); // either side may get there first
    if (child < 0) error = std::string("cannot start a process: ") + std::strerror(errno);
    return child;
}

RunOutcome Finish(const EvaluationSettings& settings, size_t index, int status) {
    std::string trace = ScratchPath(settings, index, ".csv");
    std::string log = ScratchPath(settings, index, ".log");
    RunOutcome outcome;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        std::string text, error;
        ReadWholeFile(trace, text, error); // a missing trace is one without rows
        outcome = MeasureTrace(text, settings.ticks, settings.settle);
    } else {
        // A crash may be the candidate's doing (a machine the physics cannot take); an exit
        // code is the evaluator refusing its work, which no candidate causes.
        outcome.toolFailed = WIFEXITED(status);
        const std::string program = settings.evaluate.substr(settings.evaluate.rfind('/') + 1);
        outcome.failure =
            (WIFEXITED(status) ? program + " exited with " + std::to_string(WEXITSTATUS(status))
                               : program + " ended by signal " + std::to_string(WTERMSIG(status))) +
            ": " + LastLineOf(log);
    }
    unlink(trace.c_str());
    unlink(log.c_str());
    return outcome;
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
    std::map<pid_t, size_t> running;
    size_t next = 0;
    while ((next < runs.size() && stopSignal == 0) || !running.empty()) {
        while (stopSignal == 0 && next < runs.size() &&
               running.size() < static_cast<size_t>(settings.jobs)) {
            std::string error;
            pid_t child = Start(settings, runs[next], next, error);
            if (child < 0) {
                outcomes[next].failure = error;
                outcomes[next].toolFailed = true;
                finished[next] = true;
                progress();
            } else {
                running[child] = next;
            }
            ++next;
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
        outcomes[found->second] = Finish(settings, found->second, status);
        finished[found->second] = true;
        running.erase(found);
        progress();
    }
    return next == runs.size() && running.empty();
}
