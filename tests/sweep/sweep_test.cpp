// koltrep-sweep: its cells give exactly what single replays of them give, and its measures and
// grid read what they should at the edges.
#include "machine/machine_file.h"
#include "records/trace.h"
#include "tools/sweep/gait_measures.h"
#include "tools/sweep/plots.h"
#include "tools/sweep/sweep_options.h"
#include "tools/sweep/sweep_runs.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "tests/support/tools/replay_process.h"

namespace {

using replay_test::Lines;
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
    EXPECT_EQ(FormatSweepRow(2.5f, 350.0f, GaitMeasures{0.25, -1.5, -1, {}}),
              "2.5,350,0.25,-1.5,,,,,\n");
}

// A measured row: foot `down` for leg 0, its foot at (along, height), the rest of the legs up.
TraceRow Measured(long tick, double x, double work, bool down, double along, double height) {
    TraceRow row = Row(tick, x, 0.0);
    row.measured = true;
    row.measures[kWork] = work;
    row.measures[kWeight] = 2000.0;
    row.measures[kStance] = down ? 1.0 : 0.0;
    row.measures[kFootAlong] = along;
    row.measures[kFootHeight] = height;
    return row;
}

TEST(GaitMeasures, WalkMeasuresCountWholeStancesOnly) {
    // Leg 0 down at ticks 2-3 (cut by the settling at 2), 5-7 and 9-10 (still down at the end);
    // the chassis moves 0.5 a tick and the motors do 100 J a tick.
    std::vector<TraceRow> rows;
    const std::vector<int> down = {1, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1};
    const std::vector<double> along = {0, 0, 9, 9, 0, 1.0, 0.4, -0.2, 0, 5, 5};
    const std::vector<double> height = {0, 0, 9, 9, 0, -4.5, -4.6, -4.5, 0, 3, 3};
    for (long t = 0; t <= 10; ++t)
        rows.push_back(Measured(t, 0.5 * t, 100.0 * t, down[t], along[t], height[t]));
    WalkMeasures walk = MeasureWalk(rows, 2);
    EXPECT_NEAR(walk.strideLength, 1.2, 1e-12);
    EXPECT_NEAR(walk.footHeightVariation, 0.1, 1e-12);
    EXPECT_NEAR(walk.dutyFactor, 7.0 / 9.0 / kMeasureLegs, 1e-12);
    EXPECT_NEAR(walk.costOfTransport, 800.0 / (2000.0 * 4.0), 1e-12);

    // Standing still has no cost of transport; a trace without the columns has no measures.
    for (TraceRow& row : rows)
        row.values[kX] = 1.0;
    EXPECT_TRUE(std::isnan(MeasureWalk(rows, 2).costOfTransport));
    rows[2].measured = false;
    EXPECT_TRUE(std::isnan(MeasureWalk(rows, 2).dutyFactor));

    // The fields round-trip, empty for what is not measured; a word is refused.
    GaitMeasures m{1.0, 2.0, -1, {}};
    m.walk = walk;
    m.walk.strideLength = NAN;
    float crank = 0, friction = 0;
    int repeat = 0;
    GaitMeasures back;
    std::string row = FormatSweepRow(3.0f, 350.0f, m);
    EXPECT_EQ(row, "3,350,1,2,,,0.1,0.0972222222,0.1\n");
    ASSERT_TRUE(ParseRunRow(row, false, crank, friction, repeat, back));
    EXPECT_TRUE(std::isnan(back.walk.strideLength));
    EXPECT_EQ(back.walk.costOfTransport, 0.1);
    EXPECT_FALSE(ParseRunRow("3,350,1,2,,x,0.1,0.08,0.1\n", false, crank, friction, repeat, back));
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
    // The last word: an unknown option is named as one, a known one wants its value.
    char* unknownLast[] = {(char*)"s", (char*)"--crank-speeds", (char*)"1", (char*)"--bogus"};
    EXPECT_FALSE(ParseSweepOptions(4, unknownLast, options, error));
    EXPECT_NE(error.find("unknown option '--bogus'"), std::string::npos) << error;
    unknownLast[3] = (char*)"--ticks";
    EXPECT_FALSE(ParseSweepOptions(4, unknownLast, options, error));
    EXPECT_NE(error.find("--ticks needs a value"), std::string::npos) << error;
    // --vary names a key of the machine file and a grid it can hold; every key once.
    for (const std::vector<const char*>& bad : std::vector<std::vector<const char*>>{
             {"--vary", "linkage.cranks=1:2:3"},
             {"--vary", "linkage.crank=2:1:3"},
             {"--vary", "linkage.crank=1:2:1001"},
             {"--vary", "linkage.crank=1:inf:2"},
             {"--vary", "drive.crank_speed=1:2:2", "--crank-speeds", "3"},
             {"--vary", "linkage.crank=1,2", "--vary", "linkage.base=1,2", "--vary",
              "linkage.foot=1,2", "--frictions", "3"},
             {"--vary", "linkage.crank=0:1:1000", "--vary", "linkage.base=0:1:11"}}) {
        std::vector<char*> argv = {(char*)"s"};
        for (const char* arg : bad)
            argv.push_back(const_cast<char*>(arg));
        EXPECT_FALSE(ParseSweepOptions(static_cast<int>(argv.size()), argv.data(), options, error))
            << bad[1];
    }
    char* varied[] = {(char*)"s", (char*)"--frictions", (char*)"10,350", (char*)"--vary",
                      (char*)"legs.planes.2=0.1:0.3:3"};
    ASSERT_TRUE(ParseSweepOptions(5, varied, options, error)) << error;
    ASSERT_EQ(options.axes.size(), 2u);
    EXPECT_EQ(options.axes[0].path, "contact.friction") << "the aliases stay in their place";
    EXPECT_EQ(options.axes[1].values, (std::vector<double>{0.1, 0.2, 0.3}))
        << "no 0.30000000000000004";
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
    const bool written = WritePlots("/nonexistent/koltrep-plots", "/nonexistent/koltrep-plots", {3},
                                    {350}, {cell}, error);
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
    EXPECT_NE(result.err.find("4/4 runs"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << "gnuplot's output reached the user";
    std::string expected = std::string(kSweepCsvHeader) + "\n";
    for (const std::string& friction : frictions) {
        for (const std::string& crank : crankSpeeds) {
            RunResult single =
                Run({"--script", script, "--ticks", "160", "--no-draw", "--measures", "--trace",
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
    EXPECT_NE(result.err.find("cell crank speed 3, friction 350: koltrep-evaluate exited with 2"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(Path("out/sweep.csv")));
    EXPECT_NE(ReadAll(Path("out/sweep.partial.csv")).find("PARTIAL results (0 of 1 runs)"),
              std::string::npos);
}

TEST(SweepRuns, SpreadRowsAndPartialFiles) {
    std::vector<GaitMeasures> repeats = {
        {1.0, -2.0, 300, {}}, {3.0, 4.0, -1, {}}, {2.0, 1.0, 100, {}}, {2.0, 1.0, 200, {}}};
    Spread s = SpreadOf(repeats);
    EXPECT_DOUBLE_EQ(s.speedMean, 2.0);
    EXPECT_DOUBLE_EQ(s.speedSd, std::sqrt(2.0 / 3.0));
    EXPECT_EQ(s.driftMin, -2.0);
    EXPECT_EQ(s.driftMax, 4.0);
    EXPECT_EQ(s.tipShare, 0.75);
    EXPECT_EQ(s.tipTickMedian, 200); // the middle of three
    repeats.pop_back();
    EXPECT_EQ(SpreadOf(repeats).tipTickMedian, 200); // between 100 and 300
    Cell cell;
    cell.crankSpeed = 2.5f;
    cell.friction = 50.0f;
    EXPECT_EQ(FormatSpreadRow(cell, SpreadOf({{1.5, 2.0, -1, {}}})),
              "2.5,50,1,1.5,0,1.5,1.5,2,0,2,2,0,,,,,\n");

    // A partial file gives back exactly the rows it was written with, and only to its settings.
    std::vector<Cell> cells = {cell};
    std::vector<::Run> runs(2);
    runs[0].repeat = 0;
    runs[1].repeat = 1;
    runs[1].row = FormatRunRow(cell, 1, {0.1, -3.25, 42, {}});
    const std::string settings = SweepSettings(300, 100, 2, 5, "0 UP down\n");
    std::string text = PartialText(settings, kRunCsvHeader, runs);
    std::vector<::Run> back(runs);
    back[1].row.clear();
    std::string error;
    ASSERT_TRUE(TakePartialRows(text, settings, true, 300, cells, back, error)) << error;
    EXPECT_EQ(back[1].row, "2.5,50,1,0.1,-3.25,42,,,,\n");
    EXPECT_TRUE(back[0].row.empty());
    EXPECT_FALSE(TakePartialRows(text, SweepSettings(300, 100, 2, 6, "0 UP down\n"), true, 300,
                                 cells, back, error));
    cells[0].friction = 51.0f;
    EXPECT_FALSE(TakePartialRows(text, settings, true, 300, cells, back, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

// A varied sweep's partial file gives its rows back only to a sweep of the same axes.
TEST(SweepRuns, VariedRowsResumeOnlyOverTheirAxes) {
    Cell cell;
    cell.values = {0.9, 2.5};
    cell.prefix = "0.9,2.5,machines/0000.toml";
    std::vector<Cell> cells = {cell};
    std::vector<::Run> runs(1);
    runs[0].row = FormatRunRow(cell, -1, {0.5, 1.0, -1, {}});
    EXPECT_EQ(runs[0].row, "0.9,2.5,machines/0000.toml,0.5,1,,,,,\n");
    const std::string header =
        RowHeader({"linkage.crank", "linkage.coupler"}, kSweepCsvHeader, false);
    const std::string settings = SweepSettings(300, 100, 0, 0, "0 UP down\n") + " vary=a,b";
    const std::string text = PartialText(settings, header, runs);
    std::vector<::Run> back(1);
    std::string error;
    ASSERT_TRUE(TakePartialRows("sweep.partial.csv", text, settings, header, false, 300, cells,
                                back, error))
        << error;
    EXPECT_EQ(back[0].row, runs[0].row);
    const std::string other = RowHeader({"linkage.crank", "linkage.foot"}, kSweepCsvHeader, false);
    EXPECT_FALSE(TakePartialRows("sweep.partial.csv", text, settings, other, false, 300, cells,
                                 back, error));
    cells[0].prefix = "0.9,2.5,machines/0001.toml";
    EXPECT_FALSE(TakePartialRows("sweep.partial.csv", text, settings, header, false, 300, cells,
                                 back, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;

    // A grid point that is no machine has a row of its own, with the reason quoted.
    cell.infeasible = "linkage: crank 4, base 2";
    cell.prefix = "4,2.5,";
    EXPECT_EQ(FormatInfeasibleRow(cell, false), "4,2.5,,,,,,,,,\"linkage: crank 4, base 2\"\n");
    EXPECT_EQ(RowHeader({"linkage.crank"}, kSpreadCsvHeader, true).substr(0, 31),
              "linkage.crank,machine,repeats,s");
}

// Two repeats of a 2 x 2 grid: the same CSVs however the runs are spread over processes, and a
// repeat's row is a perturbed replay of it alone.
TEST_F(SweepRun, RepeatsGiveTheSameRowsBatchedOrNotAndEqualAPerturbedReplay) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    const fs::path script = Path("walk.txt");
    std::ofstream(script) << "0 UP down\n";
    std::vector<std::string> args = {
        "--crank-speeds", "2.5,4", "--frictions", "50,350", "--script", script, "--ticks",  "120",
        "--settle",       "40",    "--repeats",   "2",      "--seed",   "9",    "--no-plot"};
    std::vector<std::string> batched = args, single = args;
    batched.insert(batched.end(), {"--jobs", "2", "--out", Path("batched")});
    single.insert(single.end(), {"--jobs", "1", "--batch", "1", "--out", Path("single")});
    RunResult a = RunProgram(sweep, batched), b = RunProgram(sweep, single);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;
    for (const char* file : {"sweep.csv", "runs.csv"})
        EXPECT_EQ(ReadAll(Path("batched") / file), ReadAll(Path("single") / file)) << file;
    EXPECT_EQ(ReadAll(Path("batched/sweep.csv")).substr(0, std::strlen(kSpreadCsvHeader)),
              kSpreadCsvHeader);

    RunResult alone = Run({"--script", script, "--ticks", "120", "--no-draw", "--measures",
                           "--trace", Path("alone.csv"), "--crank-speed", "4", "--friction", "350",
                           "--perturb", "10"}); // repeat 1 of seed 9
    ASSERT_EQ(alone.exitCode, 0) << alone.err;
    std::vector<TraceRow> rows;
    GaitMeasures m;
    std::string error;
    ASSERT_TRUE(ParseTrace(ReadAll(Path("alone.csv")), rows, error)) << error;
    ASSERT_TRUE(MeasureGait(rows, 40, m, error)) << error;
    Cell cell;
    cell.crankSpeed = 4;
    cell.friction = 350;
    EXPECT_NE(ReadAll(Path("single/runs.csv")).find("\n" + FormatRunRow(cell, 1, m)),
              std::string::npos);
}

// Two linkage dimensions, 3 x 3, with repeats: a row a grid point with its machine file, the
// same rows batched or not, and a run of a row is a replay of its machine file alone. A point
// the linkage cannot turn at is a row with the reason, and no run.
TEST_F(SweepRun, VaryingTheLinkageGivesEveryRowItsMachine) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    std::ofstream(Path("walk.txt")) << "0 UP down\n";
    std::vector<std::string> args = {"--vary",    "linkage.crank=0.9:1.1:3",
                                     "--vary",    "linkage.coupler=2.3:2.7:3",
                                     "--ticks",   "80",
                                     "--settle",  "30",
                                     "--repeats", "2",
                                     "--seed",    "3",
                                     "--no-plot"};
    std::vector<std::string> batched = args, single = args;
    batched.insert(batched.end(), {"--jobs", "2", "--out", Path("batched")});
    single.insert(single.end(), {"--jobs", "1", "--batch", "1", "--out", Path("single")});
    RunResult a = RunProgram(sweep, batched), b = RunProgram(sweep, single);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;
    for (const char* file : {"sweep.csv", "runs.csv", "machines/0008.toml"})
        EXPECT_EQ(ReadAll(Path("batched") / file), ReadAll(Path("single") / file)) << file;
    std::vector<std::string> rows = Lines(ReadAll(Path("batched/sweep.csv")));
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].rfind("linkage.crank,linkage.coupler,machine,repeats,speed_mean", 0), 0u);
    EXPECT_NE(rows[0].find(",cost_of_transport_mean,infeasible"), std::string::npos);
    EXPECT_EQ(rows[7].rfind("0.9,2.7,machines/0006.toml,2,", 0), 0u) << rows[7];

    // Repeat 1 of the centre point (seed 3 + 1), from its machine file alone.
    RunResult alone =
        Run({"--script", Path("walk.txt"), "--ticks", "80", "--no-draw", "--measures", "--trace",
             Path("alone.csv"), "--machine", Path("batched/machines/0004.toml"), "--perturb", "4"});
    ASSERT_EQ(alone.exitCode, 0) << alone.err;
    std::vector<TraceRow> trace;
    GaitMeasures m;
    std::string error;
    ASSERT_TRUE(ParseTrace(ReadAll(Path("alone.csv")), trace, error)) << error;
    ASSERT_TRUE(MeasureGait(trace, 30, m, error)) << error;
    Cell centre;
    centre.prefix = "1,2.5,machines/0004.toml";
    EXPECT_NE(ReadAll(Path("batched/runs.csv")).find("\n" + FormatRunRow(centre, 1, m)),
              std::string::npos);

    RunResult stuck = RunProgram(sweep, {"--vary", "linkage.crank=1,3", "--ticks", "40", "--settle",
                                         "10", "--no-plot", "--out", Path("stuck")});
    ASSERT_EQ(stuck.exitCode, 0) << stuck.err;
    rows = Lines(ReadAll(Path("stuck/sweep.csv")));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].rfind("3,,,,,,,,,\"linkage: the crank (3) is not the shortest link", 0), 0u)
        << rows[2];
    EXPECT_TRUE(fs::exists(Path("stuck/machines/0000.toml")));
    EXPECT_FALSE(fs::exists(Path("stuck/machines/0001.toml")));
}

// The processes whose command line mentions `text`.
std::vector<std::string> ProcessesMentioning(const std::string& text) {
    std::vector<std::string> found;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::string cmdline = ReadAll(fs::path("/proc") / entry->d_name / "cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.find(text) != std::string::npos) found.push_back(cmdline);
    }
    if (proc) closedir(proc);
    return found;
}

// A resume made one replay for each of the `runs` that `partial` has no row for, and none for
// a run it has: `made` holds the command lines of the replays, one run each.
void ExpectOnlyTheRunsWithoutARowMade(const std::string& partial, const std::string& made,
                                      size_t runs) {
    std::vector<std::string> rows = Lines(partial), replays = Lines(made);
    ASSERT_GE(rows.size(), 2u) << partial;
    rows.erase(rows.begin(), rows.begin() + 2); // the mark and the header
    EXPECT_FALSE(rows.empty()) << "a stop with no row done resumes nothing worth checking";
    EXPECT_EQ(replays.size(), runs - rows.size()) << made;
    for (const std::string& row : rows) {
        const size_t comma = row.find(',');
        const std::string cell = "--crank-speed " + row.substr(0, comma) + " --friction " +
                                 row.substr(comma + 1, row.find(',', comma + 1) - comma - 1) + " ";
        for (const std::string& replay : replays)
            EXPECT_EQ((replay + " ").find(cell), std::string::npos) << "rerun: " << replay;
    }
}

// Every replay of the sweep, batched or not, builds the sweep's machine; a file that does not
// check stops the sweep before its first run.
TEST_F(SweepRun, EveryRunBuildsTheGivenMachine) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    Machine longFoot = DesignMachine();
    longFoot.linkage.foot = 5.5;
    std::ofstream(Path("long.toml")) << MachineText(longFoot);
    RunResult result = RunProgram(
        sweep, {"--crank-speeds", "2.5,4", "--frictions", "350", "--ticks", "120", "--settle", "40",
                "--batch", "2", "--no-plot", "--machine", Path("long.toml"), "--out", Path("out")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected = std::string(kSweepCsvHeader) + "\n";
    std::ofstream(Path("walk.txt")) << "0 UP down\n";
    for (const char* crank : {"2.5", "4"}) {
        RunResult single = Run({"--script", Path("walk.txt"), "--ticks", "120", "--no-draw",
                                "--trace", Path("single.csv"), "--measures", "--crank-speed", crank,
                                "--machine", Path("long.toml")});
        ASSERT_EQ(single.exitCode, 0) << single.err;
        std::vector<TraceRow> rows;
        GaitMeasures m;
        std::string error;
        ASSERT_TRUE(ParseTrace(ReadAll(Path("single.csv")), rows, error)) << error;
        ASSERT_TRUE(MeasureGait(rows, 40, m, error)) << error;
        expected += FormatSweepRow(std::stof(crank), 350.0f, m);
    }
    EXPECT_EQ(ReadAll(Path("out/sweep.csv")), expected);

    longFoot.linkage.base = 9.0;
    std::ofstream(Path("stuck.toml")) << MachineText(longFoot);
    result = RunProgram(sweep, {"--crank-speeds", "3", "--frictions", "350", "--machine",
                                Path("stuck.toml"), "--out", Path("out2")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("stuck.toml:8:1: linkage: the crank cannot turn"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("runs"), std::string::npos) << "no run started: " << result.err;
}

TEST_F(SweepRun, AnUnwritableOutFailsBeforeTheFirstRun) {
    RunResult result = RunProgram(KOLTREP_BINARY_DIR "/koltrep-sweep",
                                  {"--crank-speeds", "3", "--frictions", "350", "--out", "/proc"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("cannot write in /proc"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("runs"), std::string::npos) << "no run started: " << result.err;
}

// Ctrl-C: every replay ends, the scratch folder goes, the finished rows stay in a file that
// says it is partial, and --resume completes it to what an uninterrupted sweep writes.
TEST_F(SweepRun, SigintStopsEveryChildAndResumeCompletesThePartialRows) {
    const std::string sweep = KOLTREP_BINARY_DIR "/koltrep-sweep";
    const fs::path scratch = Path("tmp");
    fs::create_directory(scratch);
    std::vector<std::string> args = {
        "--crank-speeds", "2.5,4", "--frictions", "50,350", "--ticks",   "120",   "--settle", "40",
        "--jobs",         "1",     "--batch",     "1",      "--no-plot", "--out", Path("out")};
    ASSERT_EQ(RunProgram(sweep, args).exitCode, 0);
    const std::string whole = ReadAll(Path("out/sweep.csv"));
    pid_t child = fork();
    if (child == 0) {
        setenv("TMPDIR", scratch.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(sweep.c_str())};
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (chdir(KOLTREP_SOURCE_DIR "/data") == 0) execv(sweep.c_str(), argv.data());
        _exit(127);
    }
    // Stopped while the third run goes: two rows are done.
    auto third = [&] {
        for (const auto& entry : fs::recursive_directory_iterator(scratch))
            if (entry.path().filename() == "run-2.csv") return true;
        return false;
    };
    for (int i = 0; i < 600 && !third(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(third());
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 128 + SIGINT);
    EXPECT_TRUE(ProcessesMentioning(scratch.string()).empty());
    EXPECT_TRUE(fs::is_empty(scratch)) << "the scratch folder is left";
    EXPECT_FALSE(fs::exists(Path("out/sweep.csv"))) << "an older CSV passes for this one";
    const std::string partial = ReadAll(Path("out/sweep.partial.csv"));
    EXPECT_EQ(partial.rfind("# koltrep-sweep: PARTIAL results (", 0), 0u) << partial;
    EXPECT_NE(partial.find(whole.substr(whole.find('\n') + 1, 20)), std::string::npos);

    // The resume goes through a replay that notes each run it makes, then runs the real one.
    const fs::path made = Path("made.log"), noting = Path("noting-replay");
    std::ofstream(noting) << "#!/bin/sh\necho \"$*\" >> '" << made.string() << "'\nexec '"
                          << KOLTREP_BINARY_DIR "/koltrep-replay' \"$@\"\n";
    fs::permissions(noting, fs::perms::owner_all);
    args.insert(args.end(), {"--resume", "--replay", noting});
    RunResult resumed = RunProgram(sweep, args);
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(ReadAll(Path("out/sweep.csv")), whole);
    EXPECT_FALSE(fs::exists(Path("out/sweep.partial.csv")));
    ExpectOnlyTheRunsWithoutARowMade(partial, ReadAll(made), 4);
}

} // namespace
