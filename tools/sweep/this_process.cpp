// The tools' own process.
#include "tools/sweep/this_process.h"

#include <fcntl.h>
#include <limits.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>

int CoresAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/') + 1);
}

void Leave(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

void ExecLogged(const std::string& log, std::vector<std::string>& args) {
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
