// Machine files read back, the checks that refuse a hostile one, and the leg's four-bar loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "machine/four_bar.h"
#include "machine/machine_file.h"
#include "machine/machine_keys.h"
#include "machine/machine_values.h"

namespace {

const std::string kDesignText = MachineText(DesignMachine());

// The design's file with the first line that starts with `from` replaced by `to`.
std::string Edited(const std::string& from, const std::string& to) {
    std::string text = kDesignText;
    const size_t at = text.find("\n" + from);
    EXPECT_NE(at, std::string::npos) << from;
    const size_t end = text.find('\n', at + 1);
    return text.replace(at + 1, end - at - 1, to);
}

std::string Refusal(const std::string& text) {
    Machine machine = DesignMachine();
    std::string error;
    EXPECT_FALSE(ParseMachineText(text, "m.toml", machine, error)) << text;
    EXPECT_TRUE(SameMachine(machine, DesignMachine())) << "a refused file changes nothing";
    return error;
}

TEST(MachineFile, ThePrintedDesignReadsBackBitForBit) {
    Machine machine{};
    std::string error;
    ASSERT_TRUE(ParseMachineText(kDesignText, "m.toml", machine, error)) << error;
    EXPECT_TRUE(SameMachine(machine, DesignMachine()));
    // Values without a short decimal form survive the round trip too.
    Machine odd = DesignMachine();
    odd.linkage.foot = 0.1 + 0.2 + 4.6;
    odd.chassis.centre[1] = -1.0 / 3.0;
    ASSERT_TRUE(ParseMachineText(MachineText(odd), "m.toml", machine, error)) << error;
    EXPECT_TRUE(SameMachine(machine, odd));
    // Integers stand for numbers; every value has its unit.
    ASSERT_TRUE(ParseMachineText(Edited("mass", "mass = 192"), "m.toml", machine, error));
    EXPECT_EQ(machine.chassis.mass, 192.0);
    for (int k = 0; k < kMachineKeyCount; ++k)
        EXPECT_NE(kDesignText.find(std::string("# ") + kMachineKeys[k].unit + ": "),
                  std::string::npos);
}

TEST(MachineFile, EachRefusalNamesFileLineColumnAndKey) {
    EXPECT_EQ(Refusal(Edited("crank", "crnk = 1.0")), "m.toml:11:1: linkage.crnk: unknown key");
    EXPECT_EQ(Refusal(Edited("rocker", "rocker = -2.5")),
              "m.toml:13:10: linkage.rocker: -2.5 is out of range: must be a number from 0.001 "
              "to 1000 m");
    EXPECT_EQ(Refusal(Edited("mass", "mass = \"heavy\"")),
              "m.toml:33:8: chassis.mass: must be a number from 0.001 to 1e+07 kg");
    EXPECT_EQ(Refusal(Edited("mass", "mass = inf")),
              "m.toml:33:8: chassis.mass: is not a finite number");
    EXPECT_EQ(Refusal(Edited("width", "")), "m.toml:27:1: chassis.width: missing");
    EXPECT_EQ(Refusal(Edited("planes", "planes = [4.0, 4.7, 10.7]")),
              "m.toml:24:10: legs.planes: must be an array of 4 numbers");
    EXPECT_EQ(Refusal(Edited("centre", "centre = [8.0, nan, 7.7]")),
              "m.toml:29:16: chassis.centre[1]: is not a finite number");
    EXPECT_EQ(Refusal(Edited("max_torque", "max_torque = 1e12")),
              "m.toml:37:14: drive.max_torque: 1e+12 is out of range: must be a number from 0.001 "
              "to 1e+09 N m");
    EXPECT_EQ(Refusal("[gears]\nteeth = 12\n" + kDesignText), "m.toml:1:2: gears: unknown table");
    EXPECT_EQ(Refusal("linkage = 3\n"), "m.toml:1:1: linkage: must be a table, [linkage]");
    EXPECT_EQ(Refusal(""), "m.toml: linkage: missing table [linkage]");
    // What the file says reaches the terminal as one plain line.
    EXPECT_EQ(Refusal("[linkage]\n\"\\u001b[2J\" = 1\n"),
              "m.toml:2:1: linkage.\\x1b[2J: unknown key");
    EXPECT_EQ(Refusal("[links]\n" + std::string(100, 'k') + " = 1\n"),
              "m.toml:2:1: links." + std::string(58, 'k') + "...: unknown key");
    EXPECT_EQ(Refusal("[linkage\n").substr(0, 12), "m.toml:1:9: ");
    // Beyond ASCII only in comments: the parser's whitespace tests are undefined for some
    // characters (the fuzz harness found U+03C2 where a key begins).
    EXPECT_EQ(Refusal("\xCF\x82 = 1.5\n"),
              "m.toml:1:1: a machine file is ASCII text outside its comments");
    EXPECT_EQ(Refusal("[links]\n\"k\xCF\x82\" = 1 # quoted\n"),
              "m.toml:2:3: a machine file is ASCII text outside its comments");
    // Files that break the parser's own invariants are its mistakes like any other (found by
    // the fuzz harness: a header without a name, an array that starts with '}').
    EXPECT_EQ(Refusal("[: crank pivot\n"), "m.toml:1:2: Error while parsing key: expected bare key "
                                           "starting character or string delimiter, saw ':'");
    EXPECT_EQ(Refusal("[links]\n  [[ \n").substr(0, 12), "m.toml:2:6: ");
    EXPECT_EQ(Refusal("\ntA=[}y").substr(0, 12), "m.toml:2:5: ");
    Machine machine;
    std::string error;
    EXPECT_TRUE(ParseMachineText(Edited("crank", "crank = 1.0 # \xE3\x81\x82 \xCF\x82"), "m.toml",
                                 machine, error))
        << error;
}

TEST(MachineFile, ALinkageWhoseCrankCannotTurnIsRefusedWithItsNumbers) {
    EXPECT_EQ(Refusal(Edited("base", "base = 4.5")),
              "m.toml:8:1: linkage: the crank cannot turn a full circle: shortest + longest = 1 + "
              "4.5 = 5.5 is not less than the other two, 5 (crank 1, base 4.5, rocker 2.5, coupler "
              "2.5)");
    EXPECT_NE(Refusal(Edited("crank", "crank = 2.2")).find("is not the shortest link"),
              std::string::npos);
    // On the boundary the links line up once a turn and the leg may fold; with the crank as
    // long as the base (found by the fuzz harness) the crank end meets the rocker pivot.
    EXPECT_NE(Refusal(Edited("base", "base = 4.0")).find("= 5 is not less than the other two, 5"),
              std::string::npos);
    EXPECT_NE(Refusal(Edited("crank", "crank = 2.0")).find("4.5 is not less than the other two"),
              std::string::npos);
    Machine machine;
    std::string error;
    EXPECT_TRUE(ParseMachineText(Edited("base", "base = 3.99"), "m.toml", machine, error)) << error;
}

TEST(MachineFile, FilesThatAreNoRegularFileOrTooLargeAreRefusedUnread) {
    MachineFile file;
    std::string error;
    EXPECT_FALSE(LoadMachineFile("/", file, error));
    EXPECT_EQ(error, "/ is not a regular file");
    EXPECT_FALSE(LoadMachineFile("/nonexistent/m.toml", file, error));
    EXPECT_NE(error.find("cannot read /nonexistent/m.toml"), std::string::npos);
    // A file one byte too large for a machine is not read at all.
    const std::string large = testing::TempDir() + "/large.toml";
    std::FILE* out = std::fopen(large.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const std::string padding(kMaxMachineFileBytes + 1 - kDesignText.size(), '#');
    std::fputs((kDesignText + padding).c_str(), out);
    std::fclose(out);
    EXPECT_FALSE(LoadMachineFile(large, file, error));
    EXPECT_NE(error.find("is larger than a machine file can be"), std::string::npos) << error;
    std::remove(large.c_str());
    EXPECT_EQ(HashMachineText(""), "fnv1a64:cbf29ce484222325");
    EXPECT_NE(HashMachineText(kDesignText), HashMachineText(kDesignText + " "));
}

TEST(MachineKeys, PathsReachNumbersAndArrayElements) {
    int index = -1;
    const MachineKey* key = FindMachineKey("linkage.coupler", index);
    ASSERT_NE(key, nullptr);
    Machine machine = DesignMachine();
    EXPECT_EQ(&key->at(machine, index), &machine.linkage.coupler);
    key = FindMachineKey("legs.planes.3", index);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(&key->at(machine, index), &machine.legs.planes[3]);
    for (const char* bad : {"legs.planes", "legs.planes.4", "legs.planes.-1", "linkage.crank.0",
                            "linkage", "crank", ""})
        EXPECT_EQ(FindMachineKey(bad, index), nullptr) << bad;
}

// The solver, not the stored pose: at the design's numbers it lands on the build positions.
// A varied machine is checked as a file is: its keys, their ranges and its linkage.
TEST(MachineValues, VariedMachinesAreCheckedAsFilesAre) {
    Machine varied;
    std::string error;
    ASSERT_TRUE(VaryMachine(DesignMachine(), {{"linkage.crank", 1.25}, {"legs.planes.2", 0.5}},
                            varied, error))
        << error;
    EXPECT_EQ(varied.linkage.crank, 1.25);
    EXPECT_EQ(varied.legs.planes[2], 0.5);
    EXPECT_EQ(varied.linkage.base, DesignMachine().linkage.base);

    EXPECT_FALSE(VaryMachine(DesignMachine(), {{"linkage.crnk", 1.0}}, varied, error));
    EXPECT_EQ(error.rfind("linkage.crnk: not a key", 0), 0u) << error;
    EXPECT_FALSE(CheckMachinePath("legs.planes.4", error)) << "past the array's end";
    EXPECT_FALSE(VaryMachine(DesignMachine(), {{"linkage.crank", -1.0}}, varied, error));
    EXPECT_NE(error.find("out of range"), std::string::npos) << error;
    EXPECT_FALSE(VaryMachine(DesignMachine(), {{"linkage.crank", NAN}}, varied, error));
    EXPECT_FALSE(VaryMachine(DesignMachine(), {{"linkage.base", 9.0}}, varied, error));
    EXPECT_EQ(error.rfind("linkage: ", 0), 0u) << error;
}

TEST(FourBar, TheDesignLoopSolvesToItsBuildPositions) {
    LoopPoints p;
    ASSERT_TRUE(SolveLoop(DesignMachine().linkage, M_PI / 2, p));
    EXPECT_NEAR(p.crankEnd.x, 0.0, 1e-12);
    EXPECT_NEAR(p.crankEnd.y, 1.0, 1e-12);
    EXPECT_NEAR(p.rockerEnd.x, 2.0, 1e-12);
    EXPECT_NEAR(p.rockerEnd.y, 2.5, 1e-12);
    EXPECT_NEAR(p.foot.x, 4.0, 1e-12);
    EXPECT_NEAR(p.foot.y, 4.0, 1e-12);
    LegBuildPose pose;
    Linkage nearDesign = DesignMachine().linkage;
    nearDesign.foot = std::nextafter(5.0, 6.0); // not the design: solved, not stored
    ASSERT_TRUE(BuildPoseOf(nearDesign, pose));
    EXPECT_NEAR(pose.links[3].x, 2.0, 1e-9);
    EXPECT_NEAR(pose.links[3].y, 2.5, 1e-9);
    EXPECT_NEAR(pose.links[3].turn, -std::atan2(4.0, 3.0), 1e-12);
    EXPECT_NEAR(pose.links[2].turn, 0.0, 1e-12);
    EXPECT_NEAR(pose.anchors[2].x, 2.0, 1e-12);
}

// A Grashof crank-rocker closes at every crank angle, and its rocker joint stays the rocker's
// length from D and the coupler's from B all the way round.
TEST(FourBar, AGrashofLoopClosesAllTheWayRound) {
    const Linkage l = {1.2, 2.2, 2.4, 2.7, 5.5};
    ASSERT_EQ(CrankTurnProblem(l), "");
    for (int step = 0; step < 360; ++step) {
        LoopPoints p;
        const double angle = step * M_PI / 180;
        ASSERT_TRUE(SolveLoop(l, angle, p)) << step;
        EXPECT_NEAR(std::hypot(p.rockerEnd.x - l.base, p.rockerEnd.y), l.rocker, 1e-9);
        EXPECT_NEAR(std::hypot(p.rockerEnd.x - p.crankEnd.x, p.rockerEnd.y - p.crankEnd.y),
                    l.coupler, 1e-9);
        EXPECT_NEAR(std::hypot(p.foot.x - p.crankEnd.x, p.foot.y - p.crankEnd.y), l.foot, 1e-9);
    }
    // Circles too far apart do not meet: the loop cannot close.
    LoopPoints p;
    EXPECT_FALSE(SolveLoop({1.0, 9.0, 2.5, 2.5, 5.0}, M_PI / 2, p));
}

} // namespace
