// The sweep's pool of replay processes and its progress bar.
#include "tools/sweep/cell_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/replay/trace.h"

namespace {

constexpr int kBarWidth = 30;

std::string CellPath(const CellRun& run, size_t index, const char* suffix) {
    return run.scratch + "/cell-" + std::to_string(index) + suffix;
}

// In the child: output to the cell's log, then the replay. The sweep has a single thread, so the
// child may still allocate before exec.
[[noreturn]] void ExecCell(const std::string& log, std::vector<std::string>& args) {
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

pid_t StartCell(const CellRun& run, const Cell& cell, size_t index) {
    std::vector<std::string> args = {run.replay,
                                     "--script",
                                     run.script,
                                     "--ticks",
                                     std::to_string(run.ticks),
                                     "--no-draw",
                                     "--trace",
                                     CellPath(run, index, ".csv"),
                                     "--crank-speed",
                                     FloatText(cell.crankSpeed),
                                     "--friction",
                                     FloatText(cell.friction)};
    std::string log = CellPath(run, index, ".log");
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) ExecCell(log, args);
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

void FinishCell(const CellRun& run, Cell& cell, size_t index, int status) {
    std::string trace = CellPath(run, index, ".csv"), log = CellPath(run, index, ".log");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        cell.failure = WIFEXITED(status)
                           ? "koltrep-replay exited with " + std::to_string(WEXITSTATUS(status))
                           : "koltrep-replay ended by signal " + std::to_string(WTERMSIG(status));
        cell.failure += ": " + LastLine(ReadFile(log));
    } else {
        std::vector<TraceRow> rows;
        std::string error;
        if (!ParseTrace(ReadFile(trace), rows, error) ||
            !MeasureGait(rows, run.settle, cell.measures, error))
            cell.failure = error;
        else
            cell.done = true;
    }
    unlink(trace.c_str());
    unlink(log.c_str());
}

void ShowProgress(size_t finished, size_t total) {
    int filled = static_cast<int>(kBarWidth * finished / (total ? total : 1));
    std::fprintf(stderr, "\rkoltrep-sweep [%.*s%.*s] %zu/%zu cells", filled,
                 "##############################", kBarWidth - filled,
                 "..............................", finished, total);
    if (finished == total) std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

std::string FloatText(float value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool RunCells(const CellRun& run, std::vector<Cell>& cells, int jobs) {
    std::map<pid_t, size_t> running;
    size_t next = 0, finished = 0;
    bool allDone = true;
    ShowProgress(0, cells.size());
    while (finished < cells.size()) {
        while (next < cells.size() && running.size() < static_cast<size_t>(jobs)) {
            pid_t child = StartCell(run, cells[next], next);
            if (child < 0) {
                cells[next].failure =
                    std::string("cannot start a process: ") + std::strerror(errno);
                ++finished;
            } else {
                running[child] = next;
            }
            ++next;
        }
        if (running.empty()) continue;
        int status = 0;
        pid_t child = waitpid(-1, &status, 0);
        if (child < 0) {
            if (errno == EINTR) continue;
            break; // no children left to wait for: nothing more will finish
        }
        auto found = running.find(child);
        if (found == running.end()) continue;
        FinishCell(run, cells[found->second], found->second, status);
        running.erase(found);
        ++finished;
        ShowProgress(finished, cells.size());
    }
    for (const Cell& cell : cells)
        allDone = allDone && cell.done;
    return allDone;
}
