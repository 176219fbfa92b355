// What the runner (and the live program) refuses to write, and what it says of what it wrote:
// inputs of every kind are never replaced, and an output that fills up or vanishes is reported.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "records/trace.h"
#include "tests/support/tools/replay_process.h"

namespace {

namespace fs = std::filesystem;
using replay_test::ReadAll;
using replay_test::RunResult;

class ReplayOutputs : public replay_test::ReplayProcessTest {
  protected:
    fs::path Write(const std::string& name, const std::string& text) const {
        fs::path path = Path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::vector<std::string> Args(std::vector<std::string> extra) const {
        std::vector<std::string> args = {"--script", Path("s.txt").string(), "--ticks", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    void SetUp() override {
        ReplayProcessTest::SetUp();
        Write("s.txt", "0 UP down\n");
    }
};

// Every data file the run reads is an input of both programs, under any spelling; each cell of
// a batch is checked against the inputs and the other cells before the first tick.
TEST_F(ReplayOutputs, DataFilesAndEveryCellsTraceAreNeverWrittenOver) {
    const fs::path data = Path("data");
    fs::copy(KOLTREP_SOURCE_DIR "/data", data);
    const std::string d = data.string(), dd = (data / ".." / "data").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--no-draw", "--trace", dd + "/body.x"},
        {"--shot", d + "/ground.png"},
        {"--video", d + "/body.png"},
        {"--trace", d + "/almi.png", "--no-draw"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = Args(c);
        args.insert(args.end(), {"--data", d});
        RunResult run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << c[1];
        EXPECT_NE(run.err.find("would overwrite the data file"), std::string::npos) << run.err;
    }
    RunResult live = RunProgram(KOLTREP_BINARY_DIR "/koltrep",
                                {"--data", d, "--record", d + "/body.x", "--trace", "t.csv"}, dir_);
    EXPECT_EQ(live.exitCode, 6) << live.err;
    EXPECT_NE(live.err.find("would overwrite the data file"), std::string::npos) << live.err;
    for (const char* name : {"body.x", "body.png", "ground.png", "almi.png"})
        EXPECT_EQ(ReadAll(data / name), ReadAll(fs::path(KOLTREP_SOURCE_DIR "/data") / name));

    const std::string cells = Path("cells").string(), a = Path("a.csv").string();
    const std::vector<std::pair<std::string, std::string>> batches = {
        {"3 350 - " + a + "\n3 350 - " + Path("s.txt").string() + "\n", "--script"},
        {"3 350 - " + cells + "\n", "--cells " + cells},
        {"3 350 - " + a + "\n# x\n3 350 7 " + (dir_ / "." / "a.csv").string() + "\n",
         "--cells line 1"},
    };
    for (const auto& [text, says] : batches) {
        Write("cells", text);
        RunResult run = Run(Args({"--no-draw", "--cells", cells}));
        EXPECT_EQ(run.exitCode, 2) << text;
        EXPECT_NE(run.err.find("would overwrite " + says), std::string::npos) << run.err;
        EXPECT_EQ(ReadAll(cells), text);
        EXPECT_FALSE(fs::exists(a));
    }
    // The cells reader stops where the script reader does, instead of growing with the input.
    RunResult endless = Run(Args({"--no-draw", "--cells", "/dev/zero"}));
    EXPECT_EQ(endless.exitCode, 2);
    EXPECT_NE(endless.err.find("is larger than 16777216 bytes"), std::string::npos) << endless.err;
}

} // namespace
