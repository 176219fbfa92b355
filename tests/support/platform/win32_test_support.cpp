#include "tests/support/platform/win32_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace win32_test {

XServer::XServer(const std::string& screen) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) return;
    if (pid_ == 0) {
        // The server must outlive every X call of the test, the static destructors included,
        // and must not outlive the test: it goes when its parent does.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        close(ready[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections; EOF means it failed.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (!number.empty()) display_ = ":" + number;
}

void XServer::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

const XServer* PrivateXServer(const std::string& screen) {
    static XServer* server = nullptr;
    if (server == nullptr) server = new XServer(screen); // never stopped: see the class
    if (server->display().empty()) return nullptr;
    setenv("DISPLAY", server->display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return server;
}

std::vector<std::string> DebugOutput::Lines() const {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text_.size()) {
        size_t end = text_.find('\n', start);
        if (end == std::string::npos) end = text_.size() - 1;
        lines.push_back(text_.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

int DebugOutput::Count(const std::string& line) const {
    int count = 0;
    for (const std::string& each : Lines())
        if (each == line) ++count;
    return count;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "koltrep-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

MutexHolder::MutexHolder(const char* name) {
    int result[2], command[2];
    if (pipe(result) != 0) return;
    if (pipe(command) != 0) {
        close(result[0]);
        close(result[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(result[0]);
        close(command[1]);
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
        DWORD waited = WaitForSingleObject(mutex, 0);
        (void)!write(result[1], &waited, sizeof waited);
        char what = 0;
        if (read(command[0], &what, 1) == 1 && what == 'r') ReleaseMutex(mutex);
        _exit(0); // no static destructors: they belong to the test process
    }
    close(result[1]);
    close(command[0]);
    command_ = command[1];
    if (pid_ < 0 || read(result[0], &waitResult_, sizeof waitResult_) != sizeof waitResult_)
        waitResult_ = WAIT_FAILED;
    close(result[0]);
}

void MutexHolder::ReleaseAndExit() {
    char what = 'r';
    (void)!write(command_, &what, 1);
    Reap();
}

void MutexHolder::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Reap();
}

void MutexHolder::Reap() {
    if (pid_ <= 0) return;
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    close(command_);
    command_ = -1;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

} // namespace win32_test
