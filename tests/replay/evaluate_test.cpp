// koltrep-evaluate against koltrep-replay --no-draw: the same trace bytes for every key the
// tick reads, in batches too, without the libraries of the picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/tools/replay_process.h"

namespace {

using replay_test::ReadAll;
using replay_test::RunResult;
namespace fs = std::filesystem;

const std::string kEvaluate = KOLTREP_BINARY_DIR "/koltrep-evaluate";

// Every key the tick reads: walking, turning, crank speed and friction both ways, the nudge,
// the views, the laser's recoil, pause and single step, the rates, and a reset.
const char kEveryKey[] =
    "10 UP down\n60 UP up\n60 R down\n70 R up\n70 T down\n75 T up\n75 LEFT down\n95 LEFT up\n"
    "96 Y down\n99 Y up\n100 TAB down\n102 TAB up\n105 SPACE down\n107 SPACE up\n110 P down\n"
    "111 P up\n115 O down\n116 O up\n118 P down\n119 P up\n120 MINUS down\n121 MINUS up\n"
    "130 EQUALS down\n131 EQUALS up\n132 EQUALS down\n133 EQUALS up\n140 DOWN down\n"
    "170 DOWN up\n170 G down\n175 G up\n175 F down\n180 F up\n185 BACK down\n186 BACK up\n"
    "190 RIGHT down\n230 RIGHT up\n231 H down\n233 H up\n";

class Evaluate : public replay_test::ReplayProcessTest {
  protected:
    fs::path Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    // The trace each program writes for the same arguments; both must succeed.
    void ExpectSameTraces(std::vector<std::string> args) {
        std::vector<std::string> replayArgs = args, evaluateArgs = args;
        replayArgs.insert(replayArgs.end(), {"--no-draw", "--trace", Path("replay.csv")});
        evaluateArgs.insert(evaluateArgs.end(), {"--trace", Path("evaluate.csv")});
        RunResult replay = Run(replayArgs), evaluate = RunProgram(kEvaluate, evaluateArgs);
        ASSERT_EQ(replay.exitCode, 0) << replay.err;
        ASSERT_EQ(evaluate.exitCode, 0) << evaluate.err;
        const std::string expected = ReadAll(Path("replay.csv"));
        EXPECT_GT(expected.size(), 1000u);
        EXPECT_TRUE(expected == ReadAll(Path("evaluate.csv"))) << "the traces differ";
    }
};

TEST_F(Evaluate, EveryKeyGivesTheReplaysTraceByteForByte) {
    const std::string script = Write("keys.txt", kEveryKey);
    ExpectSameTraces({"--script", script, "--ticks", "260", "--measures"});
    ExpectSameTraces({"--script", script, "--ticks", "260", "--trace-steps", "--crank-speed", "4.5",
                      "--friction", "80", "--perturb", "3"});
}

TEST_F(Evaluate, ABatchGivesEachCellTheReplaysTrace) {
    const std::string script = Write("walk.txt", "0 UP down\n150 LEFT down\n");
    Write("replay.cells",
          "3 350 - " + Path("r1.csv").string() + "\n4 50 7 " + Path("r2.csv").string() + "\n");
    Write("evaluate.cells",
          "3 350 - " + Path("e1.csv").string() + "\n4 50 7 " + Path("e2.csv").string() + "\n");
    RunResult replay = Run({"--script", script, "--ticks", "200", "--no-draw", "--measures",
                            "--cells", Path("replay.cells")});
    RunResult evaluate = RunProgram(kEvaluate, {"--script", script, "--ticks", "200", "--measures",
                                                "--cells", Path("evaluate.cells")});
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    ASSERT_EQ(evaluate.exitCode, 0) << evaluate.err;
    EXPECT_TRUE(ReadAll(Path("r1.csv")) == ReadAll(Path("e1.csv")));
    EXPECT_TRUE(ReadAll(Path("r2.csv")) == ReadAll(Path("e2.csv")));
}

TEST_F(Evaluate, StopsAtTheTipOverWhenAskedAndSaysSo) {
    // Faster cranks, a short walk and a long left turn roll the machine over.
    const std::string script =
        Write("roll.txt", "0 R down\n150 R up\n150 UP down\n200 UP up\n200 LEFT down\n");
    RunResult replay =
        Run({"--script", script, "--ticks", "650", "--no-draw", "--trace", Path("all.csv")});
    RunResult stopped = RunProgram(kEvaluate, {"--script", script, "--ticks", "650",
                                               "--stop-at-tip", "--trace", Path("tip.csv")});
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    ASSERT_EQ(stopped.exitCode, 0) << stopped.err;
    long tick = -1;
    ASSERT_EQ(std::sscanf(stopped.out.c_str(), "tipped over at tick %ld:", &tick), 1)
        << stopped.out;
    EXPECT_GT(tick, 200);
    const std::string all = ReadAll(Path("all.csv")), tip = ReadAll(Path("tip.csv"));
    EXPECT_LT(tip.size(), all.size());
    EXPECT_EQ(all.compare(0, tip.size(), tip), 0) << "the stopped run is the run's beginning";
    EXPECT_EQ(tip.rfind("\n" + std::to_string(tick) + ","), tip.rfind('\n', tip.size() - 2));
}

TEST_F(Evaluate, NeedsNoPictureLibrariesAndRefusesThePicturesOptions) {
    FILE* pipe = popen(("readelf -d " + kEvaluate + " 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string needed;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        if (std::string(line).find("(NEEDED)") != std::string::npos) needed += line;
    pclose(pipe);
    EXPECT_NE(needed.find("libode"), std::string::npos) << needed;
    for (const char* library : {"SDL", "libGL", "epoxy", "libX", "avcodec", "avformat", "swscale"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library << " in\n" << needed;

    const std::string script = Write("walk.txt", "0 UP down\n");
    for (const char* option : {"--shot", "--frames", "--video"}) {
        RunResult refused = RunProgram(kEvaluate, {"--script", script, option, Path("out")});
        EXPECT_EQ(refused.exitCode, 2) << option;
        EXPECT_NE(refused.err.find("never draws"), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(Path("out")));
    }
}

} // namespace
