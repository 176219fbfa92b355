// Slurm's clients and the batch script's quoting.
#include "tools/sweep/slurm_client.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include <platform/i18n/i18n.h>

#include "tools/sweep/sweep_files.h"

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ignored;
    std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal().string();
}

int CaptureClient(const std::vector<std::string>& args, std::string& output) {
    output.clear();
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    // Translated before the fork: the child only execs or reports and leaves.
    const char* cannotRun = _("cannot run %s: %s\n");
    std::fflush(stderr);
    pid_t child = fork();
    if (child == 0) {
        // Out of the terminal's process group: Ctrl-C is for the sweep, which then cancels the
        // array itself, not for the squeue that happens to be running.
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        const int reason = errno;
        std::fprintf(stderr, cannotRun, argv[0], std::strerror(reason));
        _exit(127);
    }
    close(pipeFds[1]);
    if (child < 0) {
        close(pipeFds[0]);
        return -1;
    }
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) != 0)
        if (got > 0)
            output.append(buffer, static_cast<size_t>(got));
        else if (errno != EINTR)
            break;
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest(path ? path : "/usr/local/bin:/usr/bin:/bin");
    while (true) {
        size_t colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        if (access(((folder.empty() ? "." : folder) + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

std::string LastLineOf(const std::string& path) {
    std::string text, error;
    if (!ReadWholeFile(path, text, error)) return "";
    size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
}
