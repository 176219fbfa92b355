// Test helpers of the tests that load data files: the debug log captured through the
// debugger-output sink, and a scratch working folder that the data files can be copied into.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/platform/win32_test_support.h"

#include <platform/win32/services.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace testsupport {

// Collects everything DebugPrint writes while it lives (the program logs to the debugger
// output when "-dbf" is not given, as in tests).
using LogCapture = win32_test::DebugOutput;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A fresh folder that becomes the working directory (data files are read relative to it) and
// is removed, with its files, afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        char pattern[] = "/tmp/koltrep-scene-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made != nullptr ? made : "/tmp";
        char cwd[4096];
        previous_ = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
        EXPECT_EQ(chdir(path_.c_str()), 0);
    }
    ~ScratchFolder() {
        if (chdir(previous_.c_str()) != 0) std::perror("chdir");
        std::string command = "rm -rf '" + path_ + "'";
        if (path_.rfind("/tmp/koltrep-scene-", 0) == 0 && std::system(command.c_str()) != 0)
            std::perror("rm");
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Copies a file of the repository's data folder in under another name if asked.
    void CopyData(const std::string& name, const std::string& as = "") const {
        WriteFile(as.empty() ? name : as,
                  ReadFile(std::string(KOLTREP_SOURCE_DIR) + "/data/" + name));
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

} // namespace testsupport
