// The replay runner as a whole: it is started as its own process (the program's state is
// process-wide, so one run per process), and its trace is read back.
//
// The behaviour checks read the machine's motion from the trace. The chassis' local x axis is
// its facing direction (the laser fires along it and recoils along its negative), and its local
// y axis points at the ground when it stands upright.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/support/tools/replay_process.h"
#include "records/trace.h"

#include <platform/d3dx8/image_decode.h>
#include <platform/win32/services.h>
#include <windows.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

namespace fs = std::filesystem;
using replay_test::ReadAll;
using replay_test::RunResult;

struct Vec {
    double x, y, z;
};
double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
double Length(Vec a) {
    return std::sqrt(Dot(a, a));
}

// A chassis axis in world coordinates, from the row's quaternion (w first, as ODE keeps it).
Vec Axis(const TraceRow& row, int axis) {
    double w = row.values[kQw], x = row.values[kQx], y = row.values[kQy], z = row.values[kQz];
    switch (axis) {
    case 0:
        return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)};
    case 1:
        return {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)};
    default:
        return {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)};
    }
}
Vec Position(const TraceRow& row) {
    return {row.values[kX], row.values[kY], row.values[kZ]};
}
Vec Velocity(const TraceRow& row) {
    return {row.values[kVx], row.values[kVy], row.values[kVz]};
}

// Angle in degrees between the chassis' y axis and straight down.
double TiltDegrees(const TraceRow& row) {
    Vec y = Axis(row, 1);
    return std::acos(std::clamp(-y.z / Length(y), -1.0, 1.0)) * 180.0 / M_PI;
}

// Heading of the facing direction on the ground, in degrees, counter-clockwise seen from above.
double HeadingDegrees(const TraceRow& row) {
    Vec x = Axis(row, 0);
    return std::atan2(x.y, x.x) * 180.0 / M_PI;
}

// Heading change from row `from` to row `to`, unwrapped tick by tick.
double TurnDegrees(const std::vector<TraceRow>& rows, size_t from, size_t to) {
    double total = 0;
    for (size_t i = from + 1; i <= to; ++i) {
        double step = HeadingDegrees(rows[i]) - HeadingDegrees(rows[i - 1]);
        while (step > 180)
            step -= 360;
        while (step < -180)
            step += 360;
        total += step;
    }
    return total;
}

// Displacement along the facing direction that row `from` had.
double Advance(const std::vector<TraceRow>& rows, size_t from, size_t to) {
    Vec facing = Axis(rows[from], 0);
    facing.z = 0;
    double length = Length(facing);
    Vec a = Position(rows[from]), b = Position(rows[to]);
    return ((b.x - a.x) * facing.x + (b.y - a.y) * facing.y) / length;
}

class ReplayRun : public replay_test::ReplayProcessTest {
  protected:
    // Runs a script headless for `ticks` ticks and returns its trace; the run must succeed.
    std::vector<TraceRow> Trace(const std::string& script, long ticks,
                                std::vector<std::string> extra = {"--no-draw"}) {
        fs::path scriptPath = Write("script.txt", script);
        fs::path tracePath = Path("trace.csv");
        std::vector<std::string> args = {"--script", scriptPath.string(),
                                         "--ticks",  std::to_string(ticks),
                                         "--trace",  tracePath.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        lastTraceText_ = ReadAll(tracePath);
        std::vector<TraceRow> rows;
        std::string error;
        EXPECT_TRUE(ParseTrace(lastTraceText_, rows, error)) << error;
        EXPECT_EQ(rows.size(), static_cast<size_t>(ticks));
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].tick, static_cast<long>(i));
        return rows;
    }

    std::string lastTraceText_;
};

// ---- The runner's interface ---------------------------------------------------------------

TEST_F(ReplayRun, ScriptErrorsNameTheirLineAndStopBeforeStartUp) {
    fs::path script = Write("bad.txt", "# walk\n0 UP down\n12 UP sideways\n");
    RunResult run = Run({"--script", script.string(), "--ticks", "20", "--no-draw"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "script:3: expected 'down' or 'up', got 'sideways'\n");

    script = Write("bad2.txt", "0 UP down\n\n5 LEFT\n");
    run = Run({"--script", script.string(), "--ticks", "20"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("script:3: ", 0), 0u) << run.err;

    run = Run({"--script", Path("missing.txt").string(), "--ticks", "20"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("script: cannot open ", 0), 0u) << run.err;

    // Outputs that cannot be written are refused before anything runs.
    fs::path good = Write("good.txt", "0 UP down\n");
    run = Run({"--script", good.string(), "--ticks", "5", "--no-draw", "--trace",
               Path("no/such/folder/t.csv").string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("koltrep-replay: cannot write ", 0), 0u) << run.err;
    run = Run({"--script", good.string(), "--ticks", "5", "--frames", (good / "frames").string(),
               "--every", "1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("koltrep-replay: cannot write ", 0), 0u) << run.err;

    // Without --ticks, a script that says nothing of its length is refused.
    run = Run({"--script", Write("empty.txt", "# nothing\n").string(), "--no-draw"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("give --ticks N"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("usage: koltrep-replay"), std::string::npos) << run.err;
}

// Without --ticks: the count a recording states on its last line, else up to the last event.
TEST_F(ReplayRun, TheScriptSetsTheTickCountWhenNotGiven) {
    const fs::path trace = Path("t.csv");
    auto rowsRun = [&](const char* text) {
        RunResult run = Run(
            {"--script", Write("s.txt", text).string(), "--no-draw", "--trace", trace.string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::string rows = ReadAll(trace);
        return std::count(rows.begin(), rows.end(), '\n') - 1; // the header
    };
    EXPECT_EQ(rowsRun("0 UP down\n9 UP up\n"), 10);
    EXPECT_EQ(rowsRun("0 UP down\n2 UP up\n# 7 ticks: koltrep-replay --script s.txt\n"), 7);
}

// Outputs are told from the script, and from each other, by the file they reach, not by their
// names: a clash is refused before anything is written and the script stays as it was; a pipe
// where the shot belongs is refused without waiting for a reader.
TEST_F(ReplayRun, OutputsNeverLandOnTheScriptOrOnEachOther) {
    const std::string text = "0 UP down\n";
    const fs::path script = Write("s.txt", text);
    fs::create_symlink(script, Path("link.txt"));
    fs::create_directory(Path("frames"));
    fs::create_hard_link(script, Path("frames/000004.png"));
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    const std::string otherSpelling = (Path("frames") / ".." / "s.txt").string();
    const std::string trace = Path("t.csv").string();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--no-draw", "--trace", otherSpelling}, "would overwrite --script"},
        {{"--shot", Path("link.txt").string()}, "would overwrite --script"},
        {{"--frames", Path("frames").string(), "--every", "2"}, "would overwrite --script"},
        {{"--trace", trace, "--shot", trace}, "would overwrite --trace"},
        {{"--shot", Path("pipe").string()}, "it is a named pipe"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--script", script.string(), "--ticks", "5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << c.args[1];
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadAll(script), text);
    EXPECT_FALSE(fs::exists(trace));
    struct stat info {};
    ASSERT_EQ(stat(Path("pipe").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A byte-order mark is no part of the first tick; a folder for a script says why it fails.
    const fs::path marked = Write("bom.txt", "\xEF\xBB\xBF" + text);
    EXPECT_EQ(Run({"--script", marked.string(), "--ticks", "2", "--no-draw"}).exitCode, 0);
    RunResult folder = Run({"--script", dir_.string(), "--ticks", "2", "--no-draw"});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_NE(folder.err.find(std::strerror(EISDIR)), std::string::npos) << folder.err;
}

TEST_F(ReplayRun, OneRowPerTickWithTheKeysOfThatTick) {
    // Tab pressed at tick 10 and again at 30; UP held from tick 5 to 14 (up at 15).
    auto rows = Trace("5 UP down\n15 UP up\n10 TAB down\n12 TAB up\n30 TAB down\n31 TAB up\n"
                      "20 R down\n22 R up\n",
                      40);
    ASSERT_EQ(rows.size(), 40u);
    for (const TraceRow& row : rows) {
        bool walking = row.tick >= 5 && row.tick < 15;
        EXPECT_EQ(row.values[kFlank0], walking ? -1 : 0) << row.tick;
        EXPECT_EQ(row.values[kFlank1], walking ? -1 : 0) << row.tick;
        EXPECT_EQ(row.values[kViewMode], row.tick < 10 ? 0 : row.tick < 30 ? 1 : 2) << row.tick;
        double speed = 3.0 + 0.05 * std::clamp<long>(row.tick - 19, 0, 2);
        EXPECT_NEAR(row.values[kCrankSpeed], speed, 1e-6) << row.tick;
        EXPECT_EQ(row.values[kFriction], 350) << row.tick;
    }
}

TEST_F(ReplayRun, TheScriptsOwnEscapeEndsTheRunEarly) {
    auto text = Write("esc.txt", "3 ESCAPE down\n500 UP down\n");
    RunResult run = Run({"--script", text.string(), "--ticks", "50", "--no-draw", "--trace",
                         Path("t.csv").string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<TraceRow> rows;
    std::string error;
    ASSERT_TRUE(ParseTrace(ReadAll(Path("t.csv")), rows, error)) << error;
    // The Escape tick itself still runs to its end.
    EXPECT_EQ(rows.size(), 4u);
    EXPECT_NE(run.err.find("1 script event(s) after tick 49 are not played"), std::string::npos)
        << run.err;
}

TEST_F(ReplayRun, TimingReportsEveryFigure) {
    fs::path script = Write("walk.txt", "5 UP down\n");
    RunResult run = Run({"--script", script.string(), "--ticks", "30", "--timing"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* figure :
         {"timing: 30 ticks, with drawing\n",
          "timing: start-up to the first presented frame: ", "timing: tick wall time: median ",
          "timing: ticks per second: ", "timing: resident memory after 30 ticks: ",
          "timing: baseline, empty BeginFrame/EndFrame: median "})
        EXPECT_NE(run.out.find(figure), std::string::npos) << figure << " missing in\n" << run.out;
    // Numbers, not placeholders.
    size_t at = run.out.find("resident memory after 30 ticks: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::atol(run.out.c_str() + at + 33), 1000) << run.out;
}

// Once the drawing paths have run once, a tick allocates only inside ODE's collision and inside
// the GL driver: walking, turning and all three views, again in the measured half. The laser is
// first fired there, in Manual View, as in the tour: the beams' first line buffer and the
// driver's first build of line drawing (through strdup and operator new) are not the program's.
TEST_F(ReplayRun, SteadyDrawingTicksAllocateNothingOutsideOdeAndTheDriver) {
    struct Step {
        int tick;
        const char* keyAndState;
    };
    const Step round[] = {{0, "UP down"}, {12, "LEFT down"}, {20, "LEFT up"}, {26, "TAB down"},
                          {28, "TAB up"}, {30, "TAB down"},  {32, "TAB up"},  {34, "S down"},
                          {38, "S up"},   {40, "TAB down"},  {42, "TAB up"},  {50, "UP up"}};
    std::string script = "98 SPACE down\n100 SPACE up\n";
    for (int start : {2, 62})
        for (const Step& step : round)
            script += std::to_string(start + step.tick) + " " + step.keyAndState + "\n";
    RunResult run =
        Run({"--script", Write("round.txt", script).string(), "--ticks", "120", "--timing"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const size_t at = run.out.find("driver, ");
    if (run.out.find("heap allocations") == std::string::npos)
        GTEST_SKIP() << "this build does not count allocations";
    ASSERT_NE(at, std::string::npos) << run.out;
    double elsewhere = -1, mainThread = -1;
    ASSERT_EQ(
        std::sscanf(run.out.c_str() + at, "driver, %lf elsewhere (%lf", &elsewhere, &mainThread), 2)
        << run.out;
    EXPECT_EQ(elsewhere, 0.0) << run.out;
    EXPECT_EQ(mainThread, 0.0) << run.out;
}

// A koltrep already running holds "varn mutex"; the runner keeps a lock folder of its own.
TEST_F(ReplayRun, RunsWhileKoltrepHoldsItsLock) {
    fs::path runtime = Path("runtime");
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1), 0);
    ASSERT_EQ(platform::LockFilePath("varn mutex").rfind(runtime.string(), 0), 0u);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "varn mutex");
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    auto rows = Trace("0 UP down\n", 10);
    EXPECT_EQ(rows.size(), 10u);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    unsetenv("XDG_RUNTIME_DIR");
}

// Named pipes where the data files belong (as the file of a stuck producer would be) are
// refused without waiting for a writer: the run goes on without them and logs each load as
// failed. A reader that waited would hang here until the test's time limit.
TEST_F(ReplayRun, NamedPipesAsDataFilesAreRefusedAtOnce) {
    fs::path folder = Path("pipes");
    fs::create_directory(folder);
    for (const char* name : {"body.x", "ground.png", "almi.png"})
        ASSERT_EQ(mkfifo((folder / name).c_str(), 0600), 0) << name;
    fs::path script = Write("script.txt", "2 SPACE down\n4 SPACE up\n");
    setenv("KOLTREP_DEBUG", "1", 1); // the load lines are debugger output
    const auto start = std::chrono::steady_clock::now();
    RunResult run = Run({"--script", script.string(), "--ticks", "10"}, folder);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    unsetenv("KOLTREP_DEBUG");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* name : {"body.x", "ground.png", "almi.png"}) {
        // The texture loader's own reason may stand between the two halves of the line.
        const size_t load = run.err.find(std::string("load(") + name + ") ... ");
        ASSERT_NE(load, std::string::npos) << name << " in\n" << run.err;
        EXPECT_LT(run.err.find("failed.\n", load), run.err.find("load(", load + 1)) << name;
    }
    EXPECT_LT(seconds, 30.0);
}

// ---- Determinism ----------------------------------------------------------------------------

const char kWalkScript[] = "60 UP down\n160 UP up\n160 LEFT down\n200 LEFT up\n"
                           "200 R down\n220 R up\n200 T down\n230 T up\n"
                           "230 SPACE down\n233 SPACE up\n240 TAB down\n242 TAB up\n"
                           "250 Y down\n255 Y up\n255 H down\n260 H up\n"
                           "260 RIGHT down\n290 RIGHT up\n";

TEST_F(ReplayRun, TheSameScriptGivesTheSameTraceBytes) {
    Trace(kWalkScript, 300);
    std::string first = lastTraceText_;
    Trace(kWalkScript, 300);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == lastTraceText_) << "two runs of one script differ";
}

TEST_F(ReplayRun, DrawingLeavesTheSimulationAloneAndSavesFrames) {
    const char script[] = "20 UP down\n60 UP up\n30 SPACE down\n32 SPACE up\n";
    Trace(script, 90);
    std::string withoutDrawing = lastTraceText_;
    fs::path frames = Path("frames");
    fs::path shot = Path("last.png");
    Trace(script, 90, {"--frames", frames.string(), "--every", "40", "--shot", shot.string()});
    EXPECT_TRUE(withoutDrawing == lastTraceText_) << "drawing changed the simulation";

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(frames))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"000000.png", "000040.png", "000080.png"}));

    Image image;
    std::string error;
    ASSERT_TRUE(DecodeImageFile(shot.c_str(), image, error)) << error;
    EXPECT_EQ(image.width, 640u);
    EXPECT_EQ(image.height, 480u);
    // The scene, not an empty clear: many distinct colours.
    std::vector<uint32_t> colours;
    for (size_t i = 0; i + 3 < image.rgba.size(); i += 4 * 37)
        colours.push_back(image.rgba[i] << 16 | image.rgba[i + 1] << 8 | image.rgba[i + 2]);
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    EXPECT_GT(colours.size(), 50u);
}

// Reading the motors' and the contacts' forces for the measures must not move the machine.
TEST_F(ReplayRun, MeasuresLeaveTheSimulationAloneAndAddUpAsTheyShould) {
    const char script[] = "40 UP down\n";
    Trace(script, 160);
    const std::string plain = lastTraceText_;
    std::vector<TraceRow> rows = Trace(script, 160, {"--no-draw", "--measures"});
    // Every line, the header too, up to the measures' first column.
    std::string cut;
    std::istringstream measured(lastTraceText_);
    for (std::string line; std::getline(measured, line);) {
        size_t at = 0;
        for (int field = 0; field <= kTraceValueCount && at != std::string::npos; ++field)
            at = line.find(',', at + 1);
        cut += line.substr(0, at) + "\n";
    }
    EXPECT_TRUE(cut == plain) << "the measures changed the simulation";

    ASSERT_EQ(rows.size(), 160u);
    EXPECT_NEAR(rows[0].measures[kWeight], 2178.0, 1.0);
    // Once settled, a standing machine's motors hold still and do next to no work.
    const double standingRate = (rows[39].measures[kWork] - rows[25].measures[kWork]) / 14;
    const double walkingRate = (rows[159].measures[kWork] - rows[60].measures[kWork]) / 99;
    int footfalls = 0;
    for (size_t t = 1; t < rows.size(); ++t) {
        EXPECT_GE(rows[t].measures[kWork], rows[t - 1].measures[kWork]) << "tick " << t;
        for (int leg = 0; leg < kMeasureLegs; ++leg)
            footfalls += rows[t].measures[kStance + leg] > rows[t - 1].measures[kStance + leg];
    }
    EXPECT_GT(walkingRate, 20 * standingRate);
    EXPECT_GT(walkingRate, 0.0);
    EXPECT_GT(footfalls, 16);
}

// The stored reference was made by this runner from the same script. Equal builds reproduce it
// byte for byte; the tolerance is there for builds of our code by other compilers or at other
// optimisation levels, which may round a few operations differently. A contact-rich simulation
// amplifies such differences over time, so the script is short and the tolerance loose enough
// for rounding, yet far below any change of behaviour (a different gait, key or step size
// moves the machine by whole units within a few ticks).
TEST_F(ReplayRun, MatchesTheStoredReferenceTrace) {
    const fs::path folder = KOLTREP_SOURCE_DIR "/tests/data/traces";
    std::vector<TraceRow> expected;
    std::string error;
    ASSERT_TRUE(ParseTrace(ReadAll(folder / "walk.csv"), expected, error)) << error;
    auto rows = Trace(ReadAll(folder / "walk.txt"), static_cast<long>(expected.size()));
    ASSERT_EQ(rows.size(), expected.size());
    if (lastTraceText_ == ReadAll(folder / "walk.csv")) return; // the usual case

    int reported = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        for (int c = 0; c < kTraceValueCount; ++c) {
            double got = rows[i].values[c], want = expected[i].values[c];
            double tolerance = c <= kZ ? 0.05 : c <= kVz ? 0.2 : c <= kQz ? 0.01 : 0.02;
            if (c >= kCrankSpeed) tolerance = 1e-4; // controls: keys only, no physics
            double difference = std::abs(got - want);
            if (c >= kCrank00 && c <= kCrank31) // angles wrap at +-pi
                difference = std::abs(std::remainder(got - want, 2 * M_PI));
            if (!(difference <= tolerance) && reported++ < 10)
                ADD_FAILURE() << "tick " << i << " " << kTraceColumns[c + 1] << ": " << got
                              << " vs reference " << want;
        }
    }
}

// ---- Robustness ------------------------------------------------------------------------------

// Random keys held and released for 20 000 ticks, seeded so a failure can be replayed: crank
// speed into the hundreds, friction into the tens of thousands, nudges, shots and view changes.
std::string RandomScript(unsigned seed, long ticks) {
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    const char* arrows[] = {nullptr, "UP", "DOWN", "LEFT", "RIGHT"};
    struct Held {
        const char* key;
        int percent;
        bool down;
    } held[] = {{"R", 40, false}, {"F", 8, false},  {"T", 40, false}, {"G", 5, false},
                {"Y", 10, false}, {"H", 10, false}, {"W", 10, false}, {"A", 10, false}};
    const char* arrow = nullptr;
    std::ostringstream script;
    script << "# seed " << seed << "\n";
    for (long tick = 0; tick < ticks;) {
        const char* nextArrow = arrows[random() % 5];
        if (arrow != nextArrow) {
            if (arrow) script << tick << ' ' << arrow << " up\n";
            if (nextArrow) script << tick << ' ' << nextArrow << " down\n";
            arrow = nextArrow;
        }
        for (Held& key : held) {
            bool down = chance(key.percent);
            if (down != key.down) script << tick << ' ' << key.key << (down ? " down\n" : " up\n");
            key.down = down;
        }
        if (chance(30)) script << tick << " SPACE down\n" << tick + 2 << " SPACE up\n";
        if (chance(10)) script << tick << " TAB down\n" << tick + 1 << " TAB up\n";
        tick += 20 + static_cast<long>(random() % 300);
    }
    return script.str();
}

TEST_F(ReplayRun, TwentyThousandTicksOfRandomKeysStayFinite) {
    const long ticks = 20000;
    auto rows = Trace(RandomScript(20260, ticks), ticks);
    ASSERT_EQ(rows.size(), static_cast<size_t>(ticks));
    double maxSpeed = 0, maxFriction = 0;
    int nonFinite = 0;
    for (const TraceRow& row : rows) {
        for (int c = 0; c < kTraceValueCount; ++c)
            if (!std::isfinite(row.values[c]) && nonFinite++ < 5)
                ADD_FAILURE() << "tick " << row.tick << ": " << kTraceColumns[c + 1] << " = "
                              << row.values[c];
        maxSpeed = std::max(maxSpeed, row.values[kCrankSpeed]);
        maxFriction = std::max(maxFriction, row.values[kFriction]);
    }
    // The script really went where it was meant to.
    EXPECT_GE(maxSpeed, 100);
    EXPECT_GE(maxFriction, 10000);
}

// ---- Behaviour -------------------------------------------------------------------------------

TEST_F(ReplayRun, StandsUprightAfterOneHundredTicks) {
    auto rows = Trace("", 200);
    for (long tick : {100L, 199L}) {
        EXPECT_LT(TiltDegrees(rows[tick]), 20) << tick;
        EXPECT_GT(rows[tick].values[kZ], 4.0) << tick;
        EXPECT_LT(rows[tick].values[kZ], 5.0) << tick;
    }
}

TEST_F(ReplayRun, UpWalksForwardWithoutTipping) {
    auto rows = Trace("100 UP down\n300 UP up\n", 301);
    EXPECT_GT(Advance(rows, 100, 300), 20);
    for (long tick = 100; tick <= 300; ++tick)
        ASSERT_LT(TiltDegrees(rows[tick]), 45) << "tipped at tick " << tick;
    EXPECT_GT(rows[300].values[kZ], 3.0);
}

TEST_F(ReplayRun, DownWalksBackwards) {
    auto rows = Trace("100 DOWN down\n200 DOWN up\n", 201);
    EXPECT_LT(Advance(rows, 100, 200), -5);
}

TEST_F(ReplayRun, LeftAndRightTurnTheMachineEachItsOwnWay) {
    // Seen from above (the picture's top view has the same handedness), left is
    // counter-clockwise.
    auto left = Trace("100 LEFT down\n300 LEFT up\n", 301);
    EXPECT_GT(TurnDegrees(left, 100, 300), 30);
    auto right = Trace("100 RIGHT down\n300 RIGHT up\n", 301);
    EXPECT_LT(TurnDegrees(right, 100, 300), -30);
}

TEST_F(ReplayRun, LaserRecoilPushesAlongNegativeXInTheShotsTick) {
    auto calm = Trace("", 160);
    auto shot = Trace("150 SPACE down\n153 SPACE up\n", 160);
    for (long tick = 0; tick < 150; ++tick)
        ASSERT_EQ(Velocity(calm[tick]).x, Velocity(shot[tick]).x) << tick;
    Vec a = Velocity(calm[150]), b = Velocity(shot[150]);
    Vec change{b.x - a.x, b.y - a.y, b.z - a.z};
    Vec backwards = Axis(calm[149], 0);
    backwards = {-backwards.x, -backwards.y, -backwards.z};
    double along = Dot(change, backwards);
    EXPECT_GT(along, 2.0) << "recoil along the chassis' negative x axis";
    // Mostly along that axis: little sideways.
    EXPECT_GT(along, 0.8 * Length(change));
}

} // namespace

// ---- Pause, single step and reset --------------------------------------------------------------

// A row's values as the trace writes them, without its tick number.
std::string Values(TraceRow row) {
    row.tick = 0;
    std::string text;
    FormatTraceRow(row, text);
    return text;
}

TEST_F(ReplayRun, PauseHoldsTheMachineAndEachOStepsOneUnpausedTick) {
    const std::string walk = "100 UP down\n";
    auto plain = Trace(walk, 160);
    auto paused = Trace(walk + "150 P down\n151 P up\n250 P down\n251 P up\n", 260);
    for (long tick = 150; tick < 250; ++tick)
        for (int i = kX; i <= kCrank31; ++i)
            ASSERT_EQ(paused[tick].values[i], paused[149].values[i]) << tick << " column " << i;
    // Resumed, it goes on as if it had never stopped.
    for (long k = 0; k < 10; ++k)
        ASSERT_EQ(Values(paused[250 + k]), Values(plain[150 + k])) << k;

    auto stepped = Trace(walk + "150 P down\n151 P up\n170 O down\n171 O up\n180 O down\n"
                                "181 O up\n190 O down\n191 O up\n195 O down\n",
                         200);
    EXPECT_EQ(Values(stepped[169]), Values(plain[149]));
    EXPECT_EQ(Values(stepped[170]), Values(plain[150]));
    EXPECT_EQ(Values(stepped[180]), Values(plain[151]));
    EXPECT_EQ(Values(stepped[190]), Values(plain[152]));
    EXPECT_EQ(Values(stepped[199]), Values(plain[153])); // O held steps only once
}

TEST_F(ReplayRun, KeysPressedWhilePausedChangeNoTraceRow) {
    const std::string pause = "100 UP down\n150 P down\n151 P up\n250 P down\n251 P up\n";
    Trace(pause, 280);
    const std::string quiet = lastTraceText_;
    // Three shots, a nudge and the crank speed while paused; before, the shots' recoils all
    // landed at the first step after resuming.
    Trace(pause + "160 SPACE down\n161 SPACE up\n170 SPACE down\n171 SPACE up\n"
                  "180 SPACE down\n190 Y down\n200 Y up\n200 R down\n240 R up\n",
          280);
    EXPECT_EQ(lastTraceText_, quiet);
}

TEST_F(ReplayRun, ResetAfterTippingOverRepeatsTheFirstTicksByteForByte) {
    // Faster cranks, a short walk and a long left turn roll it over by tick 600; after the
    // reset at 650 the keys of the first 200 ticks come again.
    auto rows = Trace("0 R down\n150 R up\n150 UP down\n200 UP up\n200 LEFT down\n600 LEFT up\n"
                      "650 BACK down\n651 BACK up\n650 R down\n800 R up\n800 UP down\n",
                      850);
    const long reset = 650;
    EXPECT_GT(TiltDegrees(rows[reset - 1]), 120) << "the machine should lie on its back";
    for (long k = 0; k < 200; ++k)
        ASSERT_EQ(Values(rows[reset + k]), Values(rows[k])) << "tick " << reset + k;
}
