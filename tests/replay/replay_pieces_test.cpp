// The replay runner's pieces that need no running program: key scripts, the command line and
// the trace format.
#include "records/key_script.h"
#include "tools/replay/batch.h"
#include "tools/replay/measure.h"
#include "tools/replay/options.h"
#include "tools/replay/progress.h"
#include "records/trace.h"

#include <dinput.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<KeyEvent> ParseOk(std::string_view text) {
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_TRUE(ParseKeyScript(text, events, error)) << error;
    return events;
}

std::string ParseError(std::string_view text) {
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_FALSE(ParseKeyScript(text, events, error));
    EXPECT_TRUE(events.empty());
    return error;
}

TEST(KeyScript, ReadsEventsAndSkipsCommentsBlankLinesAndLineEnds) {
    auto events = ParseOk("# stand, then walk\n"
                          "\n"
                          "   \t\n"
                          "0 UP down\r\n"
                          "  12\tLEFT   up  \n"
                          "  # indented comment\n"
                          "199 ESCAPE down"); // no newline at the end
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].tick, 0);
    EXPECT_EQ(events[0].key, DIK_UP);
    EXPECT_TRUE(events[0].down);
    EXPECT_EQ(events[0].line, 4);
    EXPECT_EQ(events[1].tick, 12);
    EXPECT_EQ(events[1].key, DIK_LEFT);
    EXPECT_FALSE(events[1].down);
    EXPECT_EQ(events[2].key, DIK_ESCAPE);
    EXPECT_EQ(events[2].line, 7);
}

TEST(KeyScript, OrdersByTickAndKeepsFileOrderWithinATick) {
    auto events = ParseOk("10 A down\n5 B down\n10 A up\n5 C down\n0 D down\n");
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].key, DIK_D);
    EXPECT_EQ(events[1].key, DIK_B);
    EXPECT_EQ(events[2].key, DIK_C);
    EXPECT_EQ(events[3].key, DIK_A);
    EXPECT_TRUE(events[3].down);
    EXPECT_EQ(events[4].key, DIK_A);
    EXPECT_FALSE(events[4].down);
}

TEST(KeyScript, KnowsEveryKeyTheDesignNamesInAnyCase) {
    const std::pair<const char*, int> keys[] = {{"UP", DIK_UP},
                                                {"DOWN", DIK_DOWN},
                                                {"LEFT", DIK_LEFT},
                                                {"RIGHT", DIK_RIGHT},
                                                {"TAB", DIK_TAB},
                                                {"SPACE", DIK_SPACE},
                                                {"ESCAPE", DIK_ESCAPE},
                                                {"A", DIK_A},
                                                {"Z", DIK_Z},
                                                {"W", DIK_W},
                                                {"R", DIK_R},
                                                {"NUMPAD0", DIK_NUMPAD0},
                                                {"OEM_102", DIK_OEM_102},
                                                {"F12", DIK_F12}};
    for (auto [name, code] : keys)
        EXPECT_EQ(KeyFromName(name), code) << name;
    EXPECT_EQ(KeyFromName("space"), DIK_SPACE);
    EXPECT_EQ(KeyFromName("Escape"), DIK_ESCAPE);
    EXPECT_EQ(KeyFromName("DIK_UP"), -1); // the prefix is left off
    EXPECT_EQ(KeyFromName(""), -1);
    EXPECT_EQ(KeyFromName("UPP"), -1);
    EXPECT_EQ(KeyFromName("U"), DIK_U);
    // The table has one entry per name, every code inside the 256-byte key state.
    for (int i = 0; i < kKeyNameCount; ++i) {
        EXPECT_GT(kKeyNames[i].key, 0);
        EXPECT_LT(kKeyNames[i].key, 256);
        for (int k = i + 1; k < kKeyNameCount; ++k)
            EXPECT_STRNE(kKeyNames[i].name, kKeyNames[k].name);
    }
}

TEST(KeyScript, MalformedLinesAreErrorsNamingTheirLine) {
    EXPECT_EQ(ParseError("0 UP down\n\n# c\n5 UP\n"),
              "script:4: expected 'TICK KEY down' or 'TICK KEY up', got 2 fields");
    EXPECT_EQ(ParseError("5 UP down now\n"),
              "script:1: expected 'TICK KEY down' or 'TICK KEY up', got 4 fields");
    EXPECT_EQ(ParseError("0 UP down\n7 JUMP down\n"),
              "script:2: unknown key 'JUMP' (use a DIK name without its prefix, e.g. UP)");
    EXPECT_EQ(ParseError("0 BACKSPACE down\n"),
              "script:1: unknown key 'BACKSPACE' (did you mean BACK, SPACE, BACKSLASH? Names are "
              "DIK names without their prefix)");
    EXPECT_NE(ParseError("0 ENTER down\n").find("(did you mean NUMPADENTER?"), std::string::npos);
    EXPECT_NE(ParseError("0 upp down\n").find("(did you mean UP"), std::string::npos); // any case
    EXPECT_EQ(ParseError("1\n"),
              "script:1: expected 'TICK KEY down' or 'TICK KEY up', got 1 field");
    EXPECT_EQ(ParseError("1 UP pressed\n"), "script:1: expected 'down' or 'up', got 'pressed'");
    EXPECT_EQ(ParseError("1 UP DOWN\n"), "script:1: expected 'down' or 'up', got 'DOWN'");
    // Ticks: plain decimal digits within 32 bits, nothing else.
    for (const char* tick :
         {"-1", "+5", "1e3", "0x10", "3.0", "2147483648", "99999999999999999999", "x"}) {
        std::string error = ParseError(std::string("0 A down\n") + tick + " UP down\n");
        EXPECT_EQ(error.rfind("script:2: tick '", 0), 0u) << tick << ": " << error;
    }
    ParseOk("2147483647 UP down\n");
    // A later bad line spoils the whole script: nothing half-read is played.
    ParseError("0 UP down\n1 UP up\n2 ??? down\n");
}

TEST(KeyScript, HostileBytesAreRefusedNotPrinted) {
    std::string error = ParseError(std::string("0 UP down\n1 U\0P down\n", 21));
    EXPECT_EQ(error, "script:2: contains a NUL byte; a script is plain text");
    // A very long field is shown cut short.
    error = ParseError("1 " + std::string(5000, 'Q') + " down\n");
    EXPECT_LT(error.size(), 150u);
    EXPECT_NE(error.find("...'"), std::string::npos);
}

TEST(KeyScript, EmptyScriptIsValid) {
    EXPECT_TRUE(ParseOk("").empty());
    EXPECT_TRUE(ParseOk("\n\n# nothing\n").empty());
}

TEST(KeyScript, TheTickCountIsTakenOnlyFromARecordingsLastLine) {
    EXPECT_EQ(StatedTickCount("0 UP down\n# 282 ticks: koltrep-replay --script /a b --ticks 282\n"),
              282);
    EXPECT_EQ(StatedTickCount("#  7 ticks\r\n\n  \n"), 7);
    EXPECT_EQ(StatedTickCount("# 2147483647 ticks:"), 2147483647);
    for (const char* none :
         {"", "0 UP down\n", "# 5 ticks: x\n0 UP down\n", "#5 ticks:\n", "# 5 ticked\n",
          "# -5 ticks:\n", "# 5x ticks:\n", "# 2147483648 ticks:\n", "# ticks 5\n"})
        EXPECT_EQ(StatedTickCount(none), 0) << none;
}

TEST(KeyScript, MissingFileIsReported) {
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_FALSE(LoadKeyScript("/nonexistent/script.txt", events, error));
    EXPECT_EQ(error.rfind("script: cannot open /nonexistent/script.txt: ", 0), 0u) << error;
}

// ---- Command line -----------------------------------------------------------------------------

bool Parse(std::vector<const char*> args, ReplayOptions& options, std::string& error) {
    args.insert(args.begin(), "koltrep-replay");
    return ParseReplayOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()),
                              options, error);
}

TEST(ReplayOptions, ReadsTheWholeInterface) {
    ReplayOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--script", "s.txt", "--ticks", "300", "--trace", "t.csv", "--frames", "out",
                       "--every", "20", "--shot", "last.png", "--timing"},
                      options, error))
        << error;
    EXPECT_EQ(options.script, "s.txt");
    EXPECT_EQ(options.ticks, 300);
    EXPECT_EQ(options.trace, "t.csv");
    EXPECT_EQ(options.framesDir, "out");
    EXPECT_EQ(options.every, 20);
    EXPECT_EQ(options.shot, "last.png");
    EXPECT_TRUE(options.timing);
    EXPECT_FALSE(options.noDraw);
    ASSERT_TRUE(Parse({"--ticks", "1", "--no-draw", "--script", "s.txt"}, options, error));
    EXPECT_TRUE(options.noDraw);
    EXPECT_EQ(options.ticks, 1);
    EXPECT_FALSE(options.setCrankSpeed || options.setFriction);
    ASSERT_TRUE(Parse({"--ticks", "1", "--script", "s", "--crank-speed", "-100", "--friction", "0"},
                      options, error));
    EXPECT_TRUE(options.setCrankSpeed && options.setFriction);
    EXPECT_EQ(options.crankSpeed, -100.0f);
    EXPECT_EQ(options.friction, 0.0f);
    // Without --ticks the script decides; --frames alone writes every tick.
    ASSERT_TRUE(Parse({"--script", "s", "--frames", "d"}, options, error)) << error;
    EXPECT_EQ(options.ticks, 0);
    EXPECT_EQ(options.every, 1);
}

TEST(ReplayOptions, RefusesWhatCannotBeRun) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--ticks", "10"}, "--script FILE is required"},
        {{"--script", "s", "--ticks", "0"}, "--ticks needs a whole number"},
        {{"--script", "s", "--ticks", "-3"}, "--ticks needs a whole number"},
        {{"--script", "s", "--ticks", "10x"}, "--ticks needs a whole number"},
        {{"--script", "s", "--ticks", "2147483648"}, "--ticks needs a whole number"},
        {{"--script", "s", "--ticks"}, "--ticks needs a value"},
        {{"--script", "s", "--ticks", "5", "--ticks", "6"}, "--ticks given twice"},
        {{"--script", "s", "--script", "t", "--ticks", "5"}, "--script given twice"},
        {{"--script", "", "--ticks", "5"}, "--script needs a non-empty value"},
        {{"--script", "s", "--ticks", "5", "--every", "3"}, "--every K needs --frames DIR"},
        {{"--script", "s", "--ticks", "5", "--frames", "d", "--every", "0"},
         "--every needs a whole number"},
        {{"--script", "s", "--ticks", "5", "--no-draw", "--shot", "x.png"},
         "--frames, --shot and --video need drawing"},
        {{"--script", "s", "--ticks", "5", "--no-draw", "--video", "v.mp4"},
         "--frames, --shot and --video need drawing"},
        {{"--script", "s", "--ticks", "5", "-win"}, "unknown option '-win'"},
        {{"--script", "s", "--ticks", "5", "--crank-speed", "nan"}, "--crank-speed needs a number"},
        {{"--script", "s", "--ticks", "5", "--crank-speed", "100.5"},
         "--crank-speed needs a number"},
        {{"--script", "s", "--ticks", "5", "--friction", "-1"}, "--friction needs a number"},
        {{"--script", "s", "--ticks", "5", "--friction", "1", "--friction", "2"},
         "--friction given twice"},
    };
    for (const auto& [args, expected] : cases) {
        ReplayOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << expected;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << "got: " << error;
    }
}

// ---- Progress bar ------------------------------------------------------------------------------

TEST(ReplayProgress, TheBarFillsInProportionAndStaysInsideItsEnds) {
    const std::string empty = ProgressBar::Line(0, 282);
    EXPECT_EQ(empty, "koltrep-replay: [" + std::string(40, '.') + "]   0% 0/282 ticks");
    EXPECT_EQ(ProgressBar::Line(141, 282), "koltrep-replay: [" + std::string(20, '#') +
                                               std::string(20, '.') + "]  50% 141/282 ticks");
    const std::string full = "koltrep-replay: [" + std::string(40, '#') + "] 100% 282/282 ticks";
    EXPECT_EQ(ProgressBar::Line(282, 282), full);
    EXPECT_EQ(ProgressBar::Line(290, 282), full); // the grace ticks after Escape
    EXPECT_EQ(ProgressBar::Line(2147483646, 2147483647),
              "koltrep-replay: [" + std::string(39, '#') + ".]  99% 2147483646/2147483647 ticks");
}

// ---- Trace format -----------------------------------------------------------------------------

TEST(TraceFormat, HeaderAndColumnsAgree) {
    std::string joined;
    for (int i = 0; i <= kTraceValueCount; ++i) {
        if (i) joined += ',';
        joined += kTraceColumns[i];
    }
    EXPECT_EQ(joined, kTraceHeader);
    EXPECT_STREQ(kTraceHeader,
                 "tick,x,y,z,vx,vy,vz,qw,qx,qy,qz,crank00,crank10,crank20,crank30,crank01,"
                 "crank11,crank21,crank31,crankSpeed,friction,flank0,flank1,viewMode");
}

TEST(TraceFormat, RowsRoundTripAtNineDigitsAndKeepSpecialValues) {
    TraceRow row;
    row.tick = 41;
    for (int i = 0; i < kTraceValueCount; ++i)
        row.values[i] = (i - 11) * 0.123456789123 * std::pow(10.0, i % 7 - 3);
    row.values[kFlank0] = -1;
    row.values[kFlank1] = 1;
    row.values[kViewMode] = 2;
    row.values[kFriction] = 350;
    row.values[kVx] = std::numeric_limits<double>::quiet_NaN();
    row.values[kVy] = -std::numeric_limits<double>::infinity();
    row.values[kVz] = 1e-300;
    std::string text = std::string(kTraceHeader) + "\n";
    FormatTraceRow(row, text);
    // Whole-number fields print as integers.
    EXPECT_NE(text.find(",350,-1,1,2\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",nan,-inf,1e-300,"), std::string::npos) << text;

    std::vector<TraceRow> rows;
    std::string error;
    ASSERT_TRUE(ParseTrace(text, rows, error)) << error;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].tick, 41);
    for (int i = 0; i < kTraceValueCount; ++i) {
        if (i == kVx) {
            EXPECT_TRUE(std::isnan(rows[0].values[i]));
            continue;
        }
        if (std::isinf(row.values[i])) {
            EXPECT_EQ(rows[0].values[i], row.values[i]);
            continue;
        }
        EXPECT_NEAR(rows[0].values[i], row.values[i], std::abs(row.values[i]) * 1e-8)
            << kTraceColumns[i + 1];
    }
    // Formatting is a pure function of the values: equal states give equal bytes.
    std::string again = std::string(kTraceHeader) + "\n";
    FormatTraceRow(rows[0], again);
    EXPECT_EQ(again, text);
}

TEST(TraceFormat, MalformedTracesAreRefusedWithTheirLine) {
    std::vector<TraceRow> rows;
    std::string error;
    EXPECT_FALSE(ParseTrace("", rows, error));
    EXPECT_FALSE(ParseTrace("tick,x\n", rows, error));
    EXPECT_EQ(error, "trace:1: header is not the trace header");
    std::string header = std::string(kTraceHeader) + "\n";
    std::string good = "0";
    for (int i = 0; i < kTraceValueCount; ++i)
        good += ",0";
    EXPECT_TRUE(ParseTrace(header + good + "\n", rows, error)) << error;
    EXPECT_FALSE(ParseTrace(header + good + "\n" + good + ",7\n", rows, error));
    EXPECT_EQ(error, "trace:3: trailing text after the last field");
    EXPECT_FALSE(ParseTrace(header + "0,1,2\n", rows, error));
    EXPECT_EQ(error, "trace:2: expected 24 fields");
    std::string badField = good;
    badField[2] = 'q';
    EXPECT_FALSE(ParseTrace(header + badField + "\n", rows, error));
    EXPECT_EQ(error, "trace:2: field x is not a number");
    EXPECT_TRUE(rows.empty());

    // With the measures' columns every row must carry them, and only then.
    std::string measuredHeader = std::string(kTraceHeader) + kMeasuresHeader + "\n";
    std::string measured = good;
    for (int i = 0; i < kMeasureValueCount; ++i)
        measured += ",1";
    ASSERT_TRUE(ParseTrace(measuredHeader + measured + "\n", rows, error)) << error;
    EXPECT_TRUE(rows[0].measured);
    EXPECT_EQ(rows[0].measures[kFootHeight + 7], 1.0);
    EXPECT_FALSE(ParseTrace(measuredHeader + good + "\n", rows, error));
    EXPECT_EQ(error, "trace:2: expected 50 fields");
    EXPECT_FALSE(ParseTrace(header + measured + "\n", rows, error));
    measured.back() = 'z';
    EXPECT_FALSE(ParseTrace(measuredHeader + measured + "\n", rows, error));
    EXPECT_EQ(error, "trace:2: field measure 26 is not a number");
}

// ---- Timing summary --------------------------------------------------------------------------

TEST(TimingSummary, NearestRankPercentiles) {
    EXPECT_EQ(SummariseNs({}).medianMs, 0);
    EXPECT_EQ(SummariseNs({}).p99Ms, 0);
    Percentiles one = SummariseNs({2'500'000});
    EXPECT_EQ(one.medianMs, 2.5);
    EXPECT_EQ(one.p99Ms, 2.5);
    // 1..100 ms shuffled: the median is the 50th sample, the 99th percentile the 99th.
    std::vector<int64_t> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(int64_t{i} * 1'000'000);
    std::swap(hundred[3], hundred[70]);
    Percentiles p = SummariseNs(hundred);
    EXPECT_EQ(p.medianMs, 50);
    EXPECT_EQ(p.p99Ms, 99);
    // One slow tick among 1000 is above the 99th percentile; eleven of them are not.
    std::vector<int64_t> ticks(1000, 1'000'000);
    ticks[500] = 900'000'000;
    EXPECT_EQ(SummariseNs(ticks).p99Ms, 1);
    for (int i = 0; i < 11; ++i)
        ticks[i] = 900'000'000;
    EXPECT_EQ(SummariseNs(ticks).p99Ms, 900);
}

TEST(ReplayBatch, CellsFileAndPerturbedStarts) {
    namespace fs = std::filesystem;
    const fs::path path = fs::temp_directory_path() / ("cells-" + std::to_string(getpid()));
    std::vector<BatchCell> cells;
    std::string error;
    std::ofstream(path)
        << "# crank friction perturb trace\nmachine /m/a b.toml\n2.5 50 - /t/a b.csv"
           "\n\nmachine -\n4 350 7 t.csv\n";
    ASSERT_TRUE(LoadBatchCells(path, cells, error)) << error;
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].trace, "/t/a b.csv");
    EXPECT_EQ(cells[0].machine, "/m/a b.toml");
    EXPECT_EQ(cells[1].machine, "") << "machine - is the run's own machine again";
    EXPECT_FALSE(cells[0].perturb);
    EXPECT_TRUE(cells[1].perturb);
    EXPECT_EQ(cells[1].perturbSeed, 7u);
    for (const char* bad : {"2.5 50 -\n", "101 50 - t\n", "2 -1 - t\n", "2 50 x t\n", "# only\n",
                            "machine\n2 50 - t\n"}) {
        std::ofstream(path) << bad;
        EXPECT_FALSE(LoadBatchCells(path, cells, error)) << bad;
    }
    fs::remove(path);

    double a[3], b[3], sum[3] = {};
    PerturbOffsets(7, a);
    PerturbOffsets(7, b);
    EXPECT_TRUE(std::equal(a, a + 3, b));
    for (uint64_t seed = 0; seed < 2000; ++seed) {
        PerturbOffsets(seed, a);
        for (int i = 0; i < 3; ++i) {
            ASSERT_LE(std::abs(a[i]), kPerturbMetres);
            sum[i] += a[i];
        }
    }
    for (double total : sum) // zero mean: 2000 uniform draws sum to about +-0.013 mm
        EXPECT_LT(std::abs(total / 2000), kPerturbMetres / 20);
}

} // namespace
