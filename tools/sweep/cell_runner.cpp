// The sweep's pool of replay processes, its stop on a signal, and its progress bar.
#include "tools/sweep/cell_runner.h"

#include <fcntl.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "records/trace.h"
#include "tools/sweep/sweep_runs.h"
#include "tools/sweep/this_process.h"

#include <platform/i18n/i18n.h>

volatile sig_atomic_t stopSignal = 0;

namespace {

constexpr int kBarWidth = 30;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// How long a stopped replay may take to close before its group is killed outright.
constexpr long kStopGraceMs = 3000;

sigset_t originalMask;
bool signalsCaught = false;

void OnStopSignal(int signal) {
    stopSignal = signal;
}
void OnChildEnded(int) {}

sigset_t HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kStopSignals)
        sigaddset(&held, signal);
    sigaddset(&held, SIGCHLD);
    return held;
}

struct Batch {
    std::vector<size_t> runs; // indexes into the sweep's runs
    size_t number = 0;
};

std::string ScratchPath(const CellRun& run, const char* kind, size_t index, const char* suffix) {
    return run.scratch + "/" + kind + "-" + std::to_string(index) + suffix;
}

// In the child: a process group of its own, the signals as the sweep found them, output to the
// batch's log, its temporary files in the sweep's scratch folder (so that whatever a replay
// stopped halfway leaves there goes with the folder), then the replay. The sweep has a single
// thread, so the child may still allocate before exec.
[[noreturn]] void ExecReplay(const std::string& scratch, const std::string& log,
                             std::vector<std::string>& args) {
    setpgid(0, 0);
    setenv("TMPDIR", scratch.c_str(), 1);
    if (signalsCaught) {
        for (int signal : kStopSignals)
            std::signal(signal, SIG_DFL);
        std::signal(SIGCHLD, SIG_DFL);
        sigprocmask(SIG_SETMASK, &originalMask, nullptr);
    }
    ExecLogged(log, args);
}

// One run alone keeps the command line of a single replay; a batch goes through a cells file.
pid_t StartBatch(const CellRun& run, const std::vector<Cell>& cells, const std::vector<Run>& runs,
                 const Batch& batch, std::string& error) {
    std::vector<std::string> args = {
        run.replay,  "--script",  run.script, "--ticks", std::to_string(run.ticks),
        "--no-draw", "--measures"};
    if (run.batch == 1) {
        const Run& one = runs[batch.runs[0]];
        const Cell& cell = cells[one.cell];
        const std::string& machine = cell.machine.empty() ? run.machine : cell.machine;
        if (!machine.empty()) args.insert(args.end(), {"--machine", machine});
        args.insert(args.end(),
                    {"--trace", ScratchPath(run, "run", batch.runs[0], ".csv"), "--crank-speed",
                     FloatText(cell.crankSpeed), "--friction", FloatText(cell.friction)});
        if (one.repeat >= 0)
            args.insert(args.end(),
                        {"--perturb", std::to_string(RepeatSeed(run.seed, one.repeat))});
    } else {
        if (!run.machine.empty()) args.insert(args.end(), {"--machine", run.machine});
        std::string list = ScratchPath(run, "batch", batch.number, ".cells");
        std::ofstream out(list);
        std::string machine;
        for (size_t index : batch.runs) {
            const Run& one = runs[index];
            const Cell& cell = cells[one.cell];
            if (cell.machine != machine)
                out << "machine " << (cell.machine.empty() ? "-" : cell.machine) << '\n';
            machine = cell.machine;
            out << FloatText(cell.crankSpeed) << ' ' << FloatText(cell.friction) << ' '
                << (one.repeat >= 0 ? std::to_string(RepeatSeed(run.seed, one.repeat)) : "-") << ' '
                << ScratchPath(run, "run", index, ".csv") << '\n';
        }
        out.close();
        if (!out) {
            error = FormatText(_("cannot write %s"), list.c_str());
            return -1;
        }
        args.insert(args.end(), {"--cells", list});
    }
    std::string log = ScratchPath(run, "batch", batch.number, ".log");
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) ExecReplay(run.scratch, log, args);
    if (child > 0) setpgid(child, child); // either side may get there first
    if (child < 0) {
        const int reason = errno;
        error = FormatText(_("cannot start a process: %s"), std::strerror(reason));
    }
    return child;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string LastLine(const std::string& text) {
    size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

// A run counts when its trace is complete; a lone run that ended normally also counts with a
// shorter trace (its script pressed Escape), as a single replay of it would.
void FinishRun(const CellRun& run, const std::vector<Cell>& cells, Run& one, size_t index,
               bool endedNormally, bool alone, const std::string& processFailure) {
    std::string trace = ScratchPath(run, "run", index, ".csv");
    std::vector<TraceRow> rows;
    std::string error;
    GaitMeasures measures;
    bool parsed = ParseTrace(ReadFile(trace), rows, error);
    bool complete = parsed && rows.size() == static_cast<size_t>(run.ticks);
    if (complete || (parsed && endedNormally && alone)) {
        if (MeasureGait(rows, run.settle, measures, error))
            one.row = FormatRunRow(cells[one.cell], one.repeat, measures);
        else
            one.failure = error;
    } else {
        one.failure = !processFailure.empty() ? processFailure
                      : parsed
                          ? FormatText(_("the trace has %zu of %ld ticks"), rows.size(), run.ticks)
                          : error;
    }
    unlink(trace.c_str());
}

void FinishBatch(const CellRun& run, const std::vector<Cell>& cells, std::vector<Run>& runs,
                 const Batch& batch, int status, bool stopped) {
    std::string log = ScratchPath(run, "batch", batch.number, ".log");
    const std::string program = run.replay.substr(run.replay.rfind('/') + 1);
    bool endedNormally = !stopped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::string failure;
    if (stopped)
        failure = FormatText(_("stopped by signal %d"), static_cast<int>(stopSignal));
    else if (WIFEXITED(status) && !endedNormally)
        failure = FormatText(_("%s exited with %d: %s"), program.c_str(), WEXITSTATUS(status),
                             LastLine(ReadFile(log)).c_str());
    else if (!endedNormally)
        failure = FormatText(_("%s ended by signal %d: %s"), program.c_str(), WTERMSIG(status),
                             LastLine(ReadFile(log)).c_str());
    for (size_t index : batch.runs)
        FinishRun(run, cells, runs[index], index, endedNormally, run.batch == 1, failure);
    unlink(log.c_str());
    unlink(ScratchPath(run, "batch", batch.number, ".cells").c_str());
}

// The bar is redrawn in place on a terminal; anywhere else (a pipe, a log file) carriage returns
// would only pile up, so only the end is told, in a line of its own.
void ShowProgress(size_t finished, size_t total) {
    static const bool onTerminal = isatty(STDERR_FILENO) == 1;
    const bool done = total == finished && stopSignal == 0;
    if (!onTerminal) {
        if (done)
            std::fprintf(stderr, "koltrep-sweep: %s\n",
                         FormatText(_("%zu/%zu runs"), finished, total).c_str());
        return;
    }
    int filled = static_cast<int>(kBarWidth * finished / (total ? total : 1));
    std::fprintf(stderr, "\rkoltrep-sweep [%.*s%.*s] %s%s", filled,
                 "##############################", kBarWidth - filled,
                 "..............................",
                 FormatText(_("%zu/%zu runs"), finished, total).c_str(), done ? "\n" : "");
    std::fflush(stderr);
}

long MillisecondsSince(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Ends the running groups: SIGTERM first, which a replay takes as a close request, then SIGKILL
// for any group still there after the grace time.
void StopAll(const CellRun& run, const std::vector<Cell>& cells, std::vector<Run>& runs,
             std::map<pid_t, Batch>& running) {
    for (auto& [child, batch] : running)
        kill(-child, SIGTERM);
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    bool killed = false;
    while (!running.empty()) {
        int status = 0;
        pid_t child = waitpid(-1, &status, WNOHANG);
        if (child > 0) {
            auto found = running.find(child);
            if (found == running.end()) continue;
            FinishBatch(run, cells, runs, found->second, status, true);
            kill(-child, SIGKILL); // anything it left in its group
            running.erase(found);
            continue;
        }
        if (child < 0 && errno != EINTR) break;
        if (!killed && MillisecondsSince(start) > kStopGraceMs) {
            for (auto& [pid, batch] : running)
                kill(-pid, SIGKILL);
            killed = true;
        }
        WaitForSignal(20);
    }
}

} // namespace

std::string FloatText(float value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void CatchStopSignals() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnStopSignal;
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
    action.sa_handler = OnChildEnded;
    action.sa_flags = SA_NOCLDSTOP;
    sigaction(SIGCHLD, &action, nullptr);
    sigset_t held = HeldSignals();
    sigprocmask(SIG_BLOCK, &held, &originalMask);
    signalsCaught = true;
}

void ReleaseStopSignals() {
    if (signalsCaught) sigprocmask(SIG_SETMASK, &originalMask, nullptr);
}

void WaitForSignal(long milliseconds) {
    sigset_t open = originalMask;
    sigset_t held = HeldSignals();
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&held, signal) == 1) sigdelset(&open, signal);
    timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    pselect(0, nullptr, nullptr, nullptr, &timeout, &open);
}

bool RunCells(const CellRun& run, const std::vector<Cell>& cells, std::vector<Run>& runs,
              const std::vector<size_t>& todo, int jobs) {
    std::vector<Batch> batches;
    for (size_t i = 0; i < todo.size(); i += run.batch) {
        Batch batch;
        batch.number = batches.size();
        for (size_t j = i; j < todo.size() && j < i + run.batch; ++j)
            batch.runs.push_back(todo[j]);
        batches.push_back(batch);
    }
    std::map<pid_t, Batch> running;
    size_t next = 0, finished = 0;
    ShowProgress(0, todo.size());
    while (next < batches.size() || !running.empty()) {
        if (stopSignal != 0) break;
        while (next < batches.size() && running.size() < static_cast<size_t>(jobs)) {
            std::string error;
            pid_t child = StartBatch(run, cells, runs, batches[next], error);
            if (child < 0) {
                for (size_t index : batches[next].runs)
                    runs[index].failure = error;
                finished += batches[next].runs.size();
            } else {
                running[child] = batches[next];
            }
            ++next;
        }
        int status = 0;
        pid_t child = waitpid(-1, &status, WNOHANG);
        if (child == 0) {
            WaitForSignal(1000);
            continue;
        }
        if (child < 0) {
            if (errno == EINTR) continue;
            if (running.empty()) continue;
            break; // no children left to wait for: nothing more will finish
        }
        auto found = running.find(child);
        if (found == running.end()) continue;
        FinishBatch(run, cells, runs, found->second, status, false);
        finished += found->second.runs.size();
        running.erase(found);
        ShowProgress(finished, todo.size());
    }
    if (stopSignal != 0) {
        StopAll(run, cells, runs, running);
        std::fputc('\n', stderr);
    }
    bool allDone = true;
    for (size_t index : todo)
        allDone = allDone && !runs[index].row.empty();
    return allDone;
}
