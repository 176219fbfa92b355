// The machine a replay runs: the built-in one, a machine file, or the one a recording names.
// The design's machine must run the same bytes whichever way it is given.
#include "tests/support/tools/replay_process.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "machine/machine_file.h"

namespace {

using replay_test::ReadAll;
using replay_test::ReplayProcessTest;
using replay_test::RunResult;
namespace fs = std::filesystem;

// Every key of the design, each held long enough to act: walk, turn, crank speed, friction,
// nudges, views, the manual camera and the laser.
const char kEveryKey[] = "20 UP down\n70 UP up\n70 DOWN down\n90 DOWN up\n90 LEFT down\n"
                         "110 LEFT up\n110 RIGHT down\n130 RIGHT up\n130 R down\n140 R up\n"
                         "140 F down\n145 F up\n145 T down\n150 T up\n150 G down\n153 G up\n"
                         "153 Y down\n156 Y up\n156 H down\n159 H up\n160 SPACE down\n"
                         "162 SPACE up\n165 TAB down\n167 TAB up\n170 TAB down\n172 TAB up\n"
                         "175 A down\n180 A up\n180 W down\n185 W up\n185 S down\n188 S up\n"
                         "188 D down\n191 D up\n191 UP down\n219 UP up\n";

// The log without the lines that change from run to run: the clock and the free memory.
std::string SteadyLog(const std::string& log) {
    std::string kept;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        end = end == std::string::npos ? log.size() : end + 1;
        const std::string line = log.substr(start, end - start);
        const bool clock = line.size() > 5 && line[4] == '/' && std::isdigit(line[0]);
        if (!clock && line.find(" MB\n") == std::string::npos) kept += line;
        start = end;
    }
    return kept;
}

class MachineReplay : public ReplayProcessTest {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name).string();
    }
    // The drive's trace, last picture and log (the load lines are debugger output).
    struct Outputs {
        RunResult run;
        std::string trace, shot;
    };
    Outputs Drive(const std::string& script, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--script", script, "--ticks", "220"};
        args.insert(args.end(), {"--trace", Path("t.csv").string()});
        args.insert(args.end(), extra.begin(), extra.end());
        if (std::find(args.begin(), args.end(), "--no-draw") == args.end())
            args.insert(args.end(), {"--shot", Path("s.png").string()});
        fs::remove(Path("t.csv"));
        setenv("KOLTREP_DEBUG", "1", 1);
        Outputs outputs{Run(args), "", ""};
        unsetenv("KOLTREP_DEBUG");
        outputs.trace = ReadAll(Path("t.csv"));
        outputs.shot = ReadAll(Path("s.png"));
        return outputs;
    }
    std::string DesignFile() {
        RunResult printed = RunProgram(KOLTREP_BINARY_DIR "/koltrep-inspect", {"machine"});
        EXPECT_EQ(printed.exitCode, 0) << printed.err;
        return Write("design.toml", printed.out);
    }
};

TEST_F(MachineReplay, TheDesignRunsTheSameBytesWithOrWithoutItsPrintedFile) {
    const std::string script = Write("keys.txt", kEveryKey);
    const Outputs builtIn = Drive(script, {});
    ASSERT_EQ(builtIn.run.exitCode, 0) << builtIn.run.err;
    ASSERT_FALSE(builtIn.trace.empty());
    ASSERT_FALSE(builtIn.shot.empty());
    const std::string design = DesignFile();
    const Outputs fromFile = Drive(script, {"--machine", design});
    EXPECT_EQ(fromFile.run.exitCode, 0) << fromFile.run.err;
    EXPECT_TRUE(fromFile.trace == builtIn.trace) << "the trace differs";
    EXPECT_TRUE(fromFile.shot == builtIn.shot) << "the picture differs";
    EXPECT_NE(builtIn.run.err.find("load(body.x) ... ok."), std::string::npos);
    EXPECT_EQ(SteadyLog(fromFile.run.err), SteadyLog(builtIn.run.err));

    std::string edited = ReadAll(design);
    edited.replace(edited.find("coupler = 2.5"), 13, "coupler = 2.6");
    const Outputs other = Drive(script, {"--machine", Write("edited.toml", edited), "--no-draw"});
    EXPECT_EQ(other.run.exitCode, 0) << other.run.err;
    EXPECT_EQ(other.trace.substr(0, other.trace.find('\n')),
              builtIn.trace.substr(0, builtIn.trace.find('\n')));
    EXPECT_TRUE(other.trace != builtIn.trace) << "an edited coupler changes nothing";
}

TEST_F(MachineReplay, HostileFilesEndTheRunBeforeStartUpWithTheirPlace) {
    const std::string script = Write("keys.txt", "10 UP down\n");
    std::string design = ReadAll(DesignFile());
    const struct {
        std::string from, to, said;
    } cases[] = {
        {"crank = 1.0", "crnk = 1.0", ":11:1: linkage.crnk: unknown key"},
        {"rocker = 2.5", "rocker = -2.5", ":13:10: linkage.rocker: -2.5 is out of range"},
        {"base = 2.0", "base = 9.0", ":8:1: linkage: the crank cannot turn a full circle"},
    };
    for (const auto& c : cases) {
        std::string text = design;
        text.replace(text.find(c.from), c.from.size(), c.to);
        const std::string file = Write("bad.toml", text);
        RunResult run = Run({"--script", script, "--no-draw", "--machine", file});
        EXPECT_EQ(run.exitCode, 2) << c.to;
        EXPECT_NE(run.err.find("koltrep-replay: " + file + c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("load("), std::string::npos) << "nothing started";
    }
}

// A recording names its machine by path and hash, and its start values: the replay takes them,
// and refuses a file that has changed since rather than replay another machine unasked.
TEST_F(MachineReplay, ARecordingBringsItsMachineAndStartAlong) {
    std::string text = ReadAll(DesignFile());
    text.replace(text.find("foot = 5.0"), 10, "foot = 5.5");
    const std::string machine = Write("walker.toml", text);
    const std::string keys = "30 UP down\n";
    const Outputs given =
        Drive(Write("plain.txt", keys),
              {"--machine", machine, "--no-draw", "--crank-speed", "4", "--friction", "200"});
    ASSERT_EQ(given.run.exitCode, 0) << given.run.err;
    const std::string recorded =
        Write("recorded.txt", "# machine: " + HashMachineText(text) + " " + machine +
                                  "\n# start: crank-speed 4 friction 200\n" + keys);
    const Outputs replayed = Drive(recorded, {"--no-draw"});
    EXPECT_EQ(replayed.run.exitCode, 0) << replayed.run.err;
    EXPECT_TRUE(replayed.trace == given.trace) << "the recorded machine or start was not used";

    Write("walker.toml", text + "\n");
    const Outputs changed = Drive(recorded, {"--no-draw"});
    EXPECT_EQ(changed.run.exitCode, 2);
    EXPECT_NE(changed.run.err.find("the machine differs"), std::string::npos) << changed.run.err;
    const Outputs anyway = Drive(recorded, {"--no-draw", "--machine", machine});
    EXPECT_EQ(anyway.run.exitCode, 0);
    EXPECT_NE(anyway.run.err.find("note: the machine differs"), std::string::npos);
}

} // namespace
