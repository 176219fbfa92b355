// The panel's lines in key scripts, and the open panel in the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "machine/machine_file.h"
#include "records/key_script.h"
#include "records/panel_script.h"
#include "records/trace.h"
#include "sim/machine_save.h"
#include "sim/plot_line.h"
#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

TEST(PanelScript, LinesReadBackAsWrittenAndKeyReadersTakeThemForComments) {
    PanelAction pull;
    pull.tick = 130;
    pull.verb = PanelVerb::Pull;
    pull.body = 32;
    const double point[3] = {0.1, -1.0 / 3.0, 1e-17}, target[3] = {-18.7, 4.74, 1e4};
    for (int i = 0; i < 3; ++i) {
        pull.point[i] = point[i];
        pull.target[i] = target[i];
    }
    PanelAction speed;
    speed.tick = 131;
    speed.which = kSetCrankSpeed;
    speed.value = static_cast<float>(0.75f / 3.0f);
    PanelAction machine;
    machine.tick = 150;
    machine.verb = PanelVerb::Machine;
    machine.edits = {{"linkage.crank", 0.1 + 0.2}, {"legs.planes.2", -1e-7}};
    const std::string text = "10 UP down\n" + FormatPanelAction(pull) + FormatPanelAction(speed) +
                             "  #@ 140 do reset\n#@ 150 release\n" + FormatPanelAction(machine);
    std::vector<PanelAction> actions;
    std::string error;
    ASSERT_TRUE(ParsePanelActions(text, actions, error)) << error;
    ASSERT_EQ(actions.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(actions[0].point[i], point[i]);
        EXPECT_EQ(actions[0].target[i], target[i]);
    }
    EXPECT_EQ(actions[1].value, speed.value) << "a replay applies exactly the live value";
    EXPECT_EQ(actions[2].verb, PanelVerb::Do);
    EXPECT_EQ(actions[2].which, kDoReset);
    EXPECT_EQ(actions[3].tick, 150);
    EXPECT_EQ(FormatPanelAction(machine), "#@ 150 machine linkage.crank=0.30000000000000004 "
                                          "legs.planes.2=-1e-07\n")
        << "readable, and exact";
    ASSERT_EQ(actions[4].edits.size(), 2u);
    EXPECT_EQ(actions[4].edits[0].value, 0.1 + 0.2);
    EXPECT_EQ(actions[4].edits[1].path, "legs.planes.2");
    std::vector<KeyEvent> events;
    ASSERT_TRUE(ParseKeyScript(text, events, error)) << error;
    EXPECT_EQ(events.size(), 1u);
}

TEST(PanelScript, HostileLinesAreRefusedByNumber) {
    const char* const bad[] = {"#@ 5 set crank_speed nan\n",
                               "#@ 5 set crank_speed 101\n",
                               "#@ 5 set rate 7\n",
                               "#@ 5 set contacts 0.5\n",
                               "#@ 5 set friction -1\n",
                               "#@ 5 set wheels 1\n",
                               "#@ 5 pull 33 0 0 0 0 0 0\n",
                               "#@ 5 pull 1 0 0 0 0 0\n",
                               "#@ 5 pull 1 0 0 0 0 0 1.1e4\n",
                               "#@ 5 pull 1 0 0 51 0 0 0\n",
                               "#@ 5 pull -1 0 0 0 0 0 0\n",
                               "#@ 5 do fly\n",
                               "#@ 5 release now\n",
                               "#@ -5 release\n",
                               "#@ 2147483648 release\n",
                               "#@ 5\n",
                               "#@ 6 release\n#@ 5 release\n",
                               "#@ 5 set view 1 2 3 4 5 6 7 8 9 10 11\n",
                               "#@ 5 machine linkage.crank\n",
                               "#@ 5 machine linkage.crank=\n",
                               "#@ 5 machine =1\n",
                               "#@ 5 machine Linkage.crank=1\n",
                               "#@ 5 machine linkage.crank=inf\n",
                               "#@ 5 machine linkage.crank=1 linkage.crank=0.9\n"};
    for (const char* text : bad) {
        std::vector<PanelAction> actions;
        std::string error;
        EXPECT_FALSE(ParsePanelActions(text, actions, error)) << text;
        EXPECT_EQ(error.rfind("script:", 0), 0u) << text << error;
        EXPECT_TRUE(actions.empty());
    }
}

// A plot line thinned to its pixels: a flat run is one segment, a one-sample spike stays, and
// the kept line passes within half a pixel of every sample of a walk-like wiggle.
TEST(PlotLine, KeepsWhatThePixelsShowAndPassesEverySampleWithinHalfAPixel) {
    std::vector<ImVec2> flat(200);
    for (int i = 0; i < 200; ++i)
        flat[i] = ImVec2(300.0f - 1.4f * float(i), 10.0f + (i == 120 ? 8.0f : 0.0f));
    const int spiked = KeepVisiblePoints(flat.data(), 200);
    ASSERT_EQ(spiked, 5) << "two flat runs and the spike's three points";
    EXPECT_EQ(flat[2].y, 18.0f);
    EXPECT_EQ(flat[4].x, 300.0f - 1.4f * 199.0f);

    std::vector<ImVec2> wave(200), kept;
    for (int i = 0; i < 200; ++i)
        wave[i] = ImVec2(300.0f - 1.4f * float(i),
                         10.0f + 6.0f * std::sin(float(i) * 0.07f) + std::sin(float(i) * 1.3f));
    kept = wave;
    const int count = KeepVisiblePoints(kept.data(), 200);
    EXPECT_LT(count, 200);
    EXPECT_EQ(kept[0].x, wave[0].x);
    EXPECT_EQ(kept[count - 1].x, wave[199].x);
    int segment = 0;
    for (const ImVec2& sample : wave) {
        while (segment + 2 < count && kept[segment + 1].x > sample.x)
            ++segment;
        const ImVec2 a = kept[segment], b = kept[segment + 1];
        const float y = a.y + (b.y - a.y) * (sample.x - a.x) / (b.x - a.x);
        EXPECT_LE(std::fabs(y - sample.y), 0.5f + 1e-4f) << "at x " << sample.x;
    }
}

class PanelPicture : public replay_test::ReplayProcessTest {
  protected:
    Image Shot(const std::string& script, const std::string& name) {
        std::ofstream(Path(name + ".txt")) << script;
        replay_test::RunResult result =
            Run({"--script", Path(name + ".txt"), "--ticks", "60", "--shot", Path(name + ".png")});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        Image image;
        std::string error;
        EXPECT_TRUE(DecodeImageFile(Path(name + ".png").c_str(), image, error)) << error;
        return image;
    }
};

// The settings window on the right, the plots with their axes and coloured lines at the bottom
// left; F6 again gives back the design's picture, byte for byte.
TEST_F(PanelPicture, F6ShowsTheSettingsAndPlotsAndF6AgainTakesThemAway) {
    Image open = Shot("5 F6 down\n6 F6 up\n", "open");
    ASSERT_EQ(open.width, 640u);
    ASSERT_EQ(open.height, 480u);
    auto pixel = [&](uint32_t x, uint32_t y) { return &open.rgba[(size_t{y} * 640 + x) * 4]; };
    size_t dark = 0, axis = 0, coloured = 0;
    for (uint32_t y = 30; y < 350; ++y)
        for (uint32_t x = 345; x < 630; ++x) {
            const uint8_t* p = pixel(x, y);
            if (p[0] + p[1] + p[2] < 150) ++dark;
        }
    for (uint32_t y = 240; y < 470; ++y)
        for (uint32_t x = 10; x < 320; ++x) {
            const uint8_t* p = pixel(x, y);
            if (p[0] == 200 && p[1] == 200 && p[2] == 200) ++axis;
            if (p[0] > 200 && p[1] < 140 && p[2] > 200) ++coloured; // a phase line
        }
    EXPECT_GT(dark, 285u * 320u / 2) << "the settings window hides the scene";
    EXPECT_GT(axis, 600u) << "every plot has its axes";
    EXPECT_GT(coloured, 5u) << "the phase errors are drawn";

    Image plain = Shot("", "plain");
    Image closed = Shot("5 F6 down\n6 F6 up\n30 F6 down\n31 F6 up\n", "closed");
    EXPECT_TRUE(plain.rgba == closed.rgba) << "closed, the panel leaves the picture as designed";
}

class PanelRun : public replay_test::ReplayProcessTest {
  protected:
    // The trace of `ticks` ticks of a script, run without drawing.
    std::vector<TraceRow> Trace(const std::string& script, long ticks) {
        std::ofstream(Path("run.txt")) << script;
        replay_test::RunResult result =
            Run({"--script", Path("run.txt"), "--ticks", std::to_string(ticks), "--trace",
                 Path("run.csv"), "--no-draw"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::vector<TraceRow> rows;
        std::string error;
        EXPECT_TRUE(ParseTrace(replay_test::ReadAll(Path("run.csv")), rows, error)) << error;
        EXPECT_EQ(rows.size(), static_cast<size_t>(ticks));
        return rows;
    }
    static bool Same(const TraceRow& a, const TraceRow& b) {
        return std::equal(std::begin(a.values), std::end(a.values), std::begin(b.values));
    }
};

// An action acts at the start of its tick, before the tick's keys and physics: the trace row of
// that tick already shows it.
TEST_F(PanelRun, SettingsPauseStepAndResetActAtTheirTick) {
    auto rows = Trace("#@ 10 set crank_speed 0.75\n#@ 12 set friction 120\n#@ 14 set view 2\n"
                      "#@ 20 set paused 1\n#@ 30 do step\n#@ 40 set paused 0\n",
                      45);
    EXPECT_EQ(rows[9].values[kCrankSpeed], 3.0);
    EXPECT_EQ(rows[10].values[kCrankSpeed], 0.75);
    EXPECT_EQ(rows[12].values[kFriction], 120.0);
    EXPECT_EQ(rows[14].values[kViewMode], 2.0);
    for (int t = 20; t < 30; ++t)
        EXPECT_TRUE(Same(rows[t], rows[19])) << "paused tick " << t << " moved";
    EXPECT_FALSE(Same(rows[30], rows[29])) << "one step";
    for (int t = 31; t < 40; ++t)
        EXPECT_TRUE(Same(rows[t], rows[30])) << "paused tick " << t << " moved";
    EXPECT_FALSE(Same(rows[40], rows[39])) << "resumed";

    auto reset = Trace("#@ 50 do reset\n", 70);
    for (int k = 0; k < 20; ++k)
        EXPECT_TRUE(Same(reset[50 + k], reset[k])) << "tick " << 50 + k;
}

// The pull moves the machine from its first tick, and stops at its release's.
TEST_F(PanelRun, APullActsFromItsTickUntilItsRelease) {
    const std::string pull = "#@ 30 pull 32 0 0 0 -2.4 -1.29 5.2\n";
    auto plain = Trace("", 50);
    auto early = Trace(pull + "#@ 40 release\n", 50);
    auto late = Trace(pull + "#@ 45 release\n", 50);
    EXPECT_TRUE(Same(early[29], plain[29]));
    EXPECT_FALSE(Same(early[30], plain[30])) << "the pull moves the chassis at once";
    EXPECT_TRUE(Same(early[39], late[39]));
    EXPECT_FALSE(Same(early[40], late[40])) << "released at 40, the spring no longer pulls";
}

} // namespace

namespace {

// A machine line rebuilds the world as the reset key does, from the edited machine: the ticks
// after it are those of a run started with that machine from a file. Checked before the first
// tick: a machine that cannot be built stops the replay with the line's number.
TEST_F(PanelRun, AMachineLineRebuildsTheWorldWithTheEditedMachine) {
    Machine edited = DesignMachine();
    edited.linkage.crank = 0.9;
    edited.chassis.mass = 300.0;
    Write("edited.toml", MachineText(edited));
    auto rebuilt = Trace("#@ 20 machine linkage.crank=0.9 chassis.mass=300\n", 60);
    std::ofstream(Path("run.txt")) << "";
    replay_test::RunResult fromFile =
        Run({"--script", Path("run.txt"), "--ticks", "40", "--trace", Path("file.csv"), "--no-draw",
             "--machine", Path("edited.toml")});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    std::vector<TraceRow> rows;
    std::string error;
    ASSERT_TRUE(ParseTrace(replay_test::ReadAll(Path("file.csv")), rows, error)) << error;
    for (int k = 0; k < 40; ++k)
        EXPECT_TRUE(Same(rebuilt[20 + k], rows[k])) << "tick " << 20 + k;

    const std::pair<const char*, const char*> bad[] = {
        {"#@ 3 machine linkage.crank=3\n", "script:1: linkage: "},
        {"1 UP down\n#@ 3 machine wheels.count=4\n", "script:2: wheels.count"},
        {"#@ 3 machine chassis.mass=0\n", "script:1: chassis.mass"},
        // Each fits the design alone, not the machine the first one made.
        {"#@ 3 machine linkage.base=1.2\n#@ 5 machine linkage.crank=1.3\n", "script:2: linkage"}};
    for (const auto& [script, reason] : bad) {
        std::ofstream(Path("bad.txt")) << script;
        replay_test::RunResult result =
            Run({"--script", Path("bad.txt"), "--ticks", "10", "--no-draw"});
        EXPECT_EQ(result.exitCode, 2) << script;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    }
}

// A batch's cells each start from the machine the run started with, not the one a machine line
// of the cell before rebuilt, so each trace is the same as its cell's alone.
TEST_F(PanelRun, EveryCellStartsFromTheStartsMachine) {
    std::ofstream(Path("cells.txt"))
        << "3 350 - " << Path("a.csv").string() << "\n3 350 - " << Path("b.csv").string() << "\n";
    std::ofstream(Path("run.txt")) << "#@ 10 machine linkage.foot=6\n";
    replay_test::RunResult result = Run(
        {"--script", Path("run.txt"), "--ticks", "30", "--cells", Path("cells.txt"), "--no-draw"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(replay_test::ReadAll(Path("a.csv")), replay_test::ReadAll(Path("b.csv")));
}

// "Save as" never writes over a file the session reads or writes, asks before it replaces any
// other, and writes a file that reads back to the machine it saved.
TEST_F(PanelRun, SaveAsKeepsTheSessionsFilesAndAsksBeforeReplacing) {
    Machine edited = DesignMachine();
    edited.linkage.foot = 5.5;
    const std::string inUse = Write("in-use.toml", MachineText(DesignMachine())).string();
    KeepFromMachineSaves("the machine file", inUse);
    std::string message;
    EXPECT_EQ(SaveMachineFile(edited, inUse, true, message), SaveOutcome::kRefused);
    EXPECT_EQ(replay_test::ReadAll(inUse), MachineText(DesignMachine())) << message;
    EXPECT_EQ(SaveMachineFile(edited, "", true, message), SaveOutcome::kRefused);
    EXPECT_EQ(SaveMachineFile(edited, Path("no/such/folder.toml"), true, message),
              SaveOutcome::kRefused);

    const std::string other = Write("other.toml", "mine\n").string();
    EXPECT_EQ(SaveMachineFile(edited, other, false, message), SaveOutcome::kAskAgain);
    EXPECT_EQ(replay_test::ReadAll(other), "mine\n");
    ASSERT_EQ(SaveMachineFile(edited, other, true, message), SaveOutcome::kSaved) << message;
    MachineFile file;
    std::string error;
    ASSERT_TRUE(LoadMachineFile(other, file, error)) << error;
    EXPECT_TRUE(SameMachine(file.machine, edited));
    EXPECT_EQ(SaveMachineFile(edited, Path("new.toml"), false, message), SaveOutcome::kSaved);
}

} // namespace
