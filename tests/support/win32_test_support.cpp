#include "win32_test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace win32_test {

bool StartPrivateXServer() {
    static int display = -1;
    if (display >= 0) return true;
    int ready[2];
    if (pipe(ready) != 0) return false;
    pid_t parent = getpid();
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The server must outlive every X call of the test, the static destructors included,
        // and must not outlive the test: it goes when its parent does.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        close(ready[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections; EOF means it failed.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty()) return false;
    display = std::atoi(number.c_str());
    setenv("DISPLAY", (":" + number).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return true;
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

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

} // namespace win32_test
