// koltrep-sweep: its cells give exactly what single replays of them give, and its measures and
// grid read what they should at the edges.
#include "tools/replay/trace.h"
#include "tools/sweep/gait_measures.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/sweep_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/replay/replay_process.h"

namespace {

using replay_test::ReadAll;
using replay_test::RunResult;
namespace fs = std::filesystem;

// A row of a chassis turned by `heading` about the vertical, upright or upside down.
TraceRow Row(long tick, double x, double heading, bool upsideDown = false) {
    // The upright chassis is turned -90 degrees about x (its body -y is up); upside down, +90.
    double tilt = upsideDown ? M_PI / 4 : -M_PI / 4;
    double h = heading / 2;
    TraceRow row;
    row.tick = tick;
    row.values[kX] = x;
    // q = (heading about z) * (tilt about x)
    row.values[kQw] = std::cos(h) * std::cos(tilt);
    row.values[kQx] = std::cos(h) * std::sin(tilt);
    row.values[kQy] = std::sin(h) * std::sin(tilt);
    row.values[kQz] = std::sin(h) * std::cos(tilt);
    return row;
}

TEST(GaitMeasures, SpeedDriftAndTipOverOfAKnownRun) {
    // 1 unit a tick after settling at tick 2, turning 3 degrees a tick through the +-180 seam
    // for three whole turns, upside down from tick 500 on.
    std::vector<TraceRow> rows;
    for (long t = 0; t < 600; ++t) {
        double turn = std::clamp(t - 2, 0L, 360L) * 3.0 * M_PI / 180;
        rows.push_back(Row(t, std::max(t - 2.0, 0.0), turn + 3.0, t >= 500));
    }
    GaitMeasures m;
    std::string error;
    ASSERT_TRUE(MeasureGait(rows, 2, m, error)) << error;
    EXPECT_NEAR(m.speed, 597.0 / (597 * kStepSeconds), 1e-9);
    EXPECT_NEAR(m.headingDrift, 1080.0, 1e-6);
    EXPECT_EQ(m.tipTick, 500);
    EXPECT_NEAR(UpZ(rows[0]), 1.0, 1e-12);

    rows.resize(3);
    EXPECT_FALSE(MeasureGait(rows, 2, m, error));
    EXPECT_NE(error.find("settling"), std::string::npos);
    EXPECT_EQ(FormatSweepRow(2.5f, 350.0f, GaitMeasures{0.25, -1.5, -1}), "2.5,350,0.25,-1.5,\n");
}

TEST(SweepOptions, GridListsRangesAndRefusals) {
    std::vector<float> v;
    std::string error;
    ASSERT_TRUE(ParseValueList("1:2:3", -100, 100, "", v, error));
    EXPECT_EQ(v, (std::vector<float>{1.0f, 1.5f, 2.0f}));
    ASSERT_TRUE(ParseValueList("-3,0.5", -100, 100, "", v, error));
    EXPECT_EQ(v, (std::vector<float>{-3.0f, 0.5f}));
    for (const char* bad : {"", "1,,2", "nan", "1:2:0", "1:2", "101", "1:2:10001", "1e999", "2 "})
        EXPECT_FALSE(ParseValueList(bad, -100, 100, "", v, error)) << bad;

    SweepOptions options;
    char* tooMany[] = {(char*)"s", (char*)"--crank-speeds", (char*)"0:1:200", (char*)"--frictions",
                       (char*)"0:1:51"};
    EXPECT_FALSE(ParseSweepOptions(5, tooMany, options, error));
    char* settleTooLong[] = {(char*)"s", (char*)"--crank-speeds", (char*)"1",  (char*)"--frictions",
                             (char*)"1", (char*)"--ticks",        (char*)"10", (char*)"--settle",
                             (char*)"9"};
    EXPECT_FALSE(ParseSweepOptions(9, settleTooLong, options, error));
}

// gnuplot's own words never reach the terminal: a failure is one line of the sweep's.
TEST(SweepPlots, AGnuplotFailureIsOneLineOfOurOwn) {
    Cell cell;
    cell.crankSpeed = 3;
    cell.friction = 350;
    cell.done = true;
    std::string error;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool written = WritePlots("/nonexistent/koltrep-plots", {3}, {350}, {cell}, error);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(written);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_EQ(error.rfind("gnuplot failed: ", 0), 0u) << error;
    EXPECT_NE(error.find("/nonexistent/koltrep-plots/speed.png"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

class SweepRun : public replay_test::ReplayProcessTest {};

// The sweep runs its cells side by side; each row must equal a replay of that cell alone.
TEST_F(SweepRun, TwoByTwoSweepEqualsSingleReplaysToTheLastDigit) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    const fs::path script = Path("walk.txt");
    std::ofstream(script) << "20 UP down\n";
    const std::vector<std::string> crankSpeeds = {"2.5", "4"}, frictions = {"50", "350"};
    RunResult result = RunProgram(sweep, {"--crank-speeds", "2.5,4", "--frictions", "50,350",
                                          "--script", script, "--ticks", "160", "--settle", "60",
                                          "--jobs", "2", "--out", Path("out")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("4/4 cells"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << "gnuplot's output reached the user";
    std::string expected = std::string(kSweepCsvHeader) + "\n";
    for (const std::string& friction : frictions) {
        for (const std::string& crank : crankSpeeds) {
            RunResult single =
                Run({"--script", script, "--ticks", "160", "--no-draw", "--trace",
                     Path("single.csv"), "--crank-speed", crank, "--friction", friction});
            ASSERT_EQ(single.exitCode, 0) << single.err;
            std::vector<TraceRow> rows;
            GaitMeasures m;
            std::string error;
            ASSERT_TRUE(ParseTrace(ReadAll(Path("single.csv")), rows, error)) << error;
            ASSERT_TRUE(MeasureGait(rows, 60, m, error)) << error;
            EXPECT_GT(m.speed, 0.1) << "the machine walks in every cell";
            expected += FormatSweepRow(std::stof(crank), std::stof(friction), m);
        }
    }
    EXPECT_EQ(ReadAll(Path("out/sweep.csv")), expected);
    for (const char* plot : {"out/speed.png", "out/tipover.png"})
        EXPECT_EQ(ReadAll(Path(plot)).substr(1, 3), "PNG") << plot;
}

TEST_F(SweepRun, AFailingCellIsReportedAndNotWritten) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    const fs::path script = Path("bad.txt");
    std::ofstream(script) << "0 NOSUCHKEY down\n";
    RunResult result =
        RunProgram(sweep, {"--crank-speeds", "3", "--frictions", "350", "--script", script,
                           "--ticks", "20", "--settle", "5", "--out", Path("out")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cell crank speed 3, friction 350: koltrep-replay exited with 2"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ReadAll(Path("out/sweep.csv")), std::string(kSweepCsvHeader) + "\n");
}

} // namespace
