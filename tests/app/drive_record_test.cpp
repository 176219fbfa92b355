// The --record and --trace options: taken out of the command line before the program's own
// option test sees it, refused with a reason when they cannot work.
#include "app/drive_record.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs TakeDriveOptions on a copy of `args`; returns the error ("" on success) and leaves the
// remaining arguments in `rest`.
std::string Take(std::vector<std::string> args, std::vector<std::string>* rest = nullptr) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    std::string error;
    bool ok = TakeDriveOptions(argc, argv.data(), error);
    if (rest) rest->assign(argv.begin(), argv.begin() + argc);
    EXPECT_EQ(argv[argc], nullptr);
    return ok ? "" : error;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DriveOptions, MissingRepeatedSharedOrUnwritableFilesAreRefused) {
    EXPECT_EQ(Take({"koltrep", "-win", "--record"}), "--record needs a file name");
    EXPECT_EQ(Take({"koltrep", "--trace", "", "-win"}), "--trace needs a file name");
    EXPECT_EQ(Take({"koltrep", "--trace", "a", "--trace", "b"}), "--trace given twice");
    EXPECT_EQ(Take({"koltrep", "--record", "x", "--trace", "x"}),
              "--record and --trace need two different files");
    EXPECT_NE(Take({"koltrep", "--record", "/nonexistent-folder/drive.txt"})
                  .find("cannot write /nonexistent-folder/drive.txt"),
              std::string::npos);
}

TEST(DriveOptions, TakenOutOfTheCommandLineAndClosedWithTheTickCount) {
    fs::path dir = fs::temp_directory_path() / ("koltrep-drive-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string script = (dir / "drive.txt").string(), trace = (dir / "trace.csv").string();
    std::vector<std::string> rest;
    ASSERT_EQ(Take({"koltrep", "--record", script, "-dbf", "--trace", trace, "-win"}, &rest), "");
    EXPECT_EQ(rest, (std::vector<std::string>{"koltrep", "-dbf", "-win"}));
    std::string error;
    EXPECT_TRUE(FinishDriveRecording(error)) << error;
    EXPECT_EQ(ReadAll(script), "# Keys of a live koltrep session, by tick.\n"
                               "# 0 ticks: koltrep-replay --script FILE --ticks 0\n");
    EXPECT_EQ(ReadAll(trace).rfind("tick,x,y,z,", 0), 0u);
    fs::remove_all(dir);
}

} // namespace
