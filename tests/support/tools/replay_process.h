// Starting koltrep-replay as a process of its own for a test: the program's state is
// process-wide, so every run gets a fresh process, started in the data folder as the runner is
// meant to be run, with its output captured in a scratch folder made for the test.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace replay_test {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1; // 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a text, without their newlines.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class ReplayProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        replay_ = KOLTREP_BINARY_DIR "/koltrep-replay";
        ASSERT_EQ(access(replay_.c_str(), X_OK), 0)
            << replay_ << " is not built (cmake --build ... --target koltrep-replay)";
        std::string pattern = (fs::temp_directory_path() / "koltrep-replay-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }
    fs::path Write(const std::string& name, const std::string& text) const {
        fs::path path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs koltrep-replay with `args` in `folder` (the data folder unless given) and waits for it.
    RunResult Run(const std::vector<std::string>& args,
                  const fs::path& folder = KOLTREP_SOURCE_DIR "/data") const {
        return RunProgram(replay_, args, folder);
    }

    // The same for another of the build's programs.
    RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& folder = KOLTREP_SOURCE_DIR "/data") const {
        RunResult result;
        fs::path out = Path("stdout.txt"), err = Path("stderr.txt");
        pid_t child = fork();
        if (child == 0) {
            if (chdir(folder.c_str()) != 0) _exit(120);
            int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (outFd < 0 || errFd < 0) _exit(121);
            dup2(outFd, 1);
            dup2(errFd, 2);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(122);
        }
        int status = 0;
        waitpid(child, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = ReadAll(out);
        result.err = ReadAll(err);
        return result;
    }

    std::string replay_;
    fs::path dir_;
};

} // namespace replay_test
