// koltrep-optimize as a user runs it: the same inputs give the same files whatever --jobs and
// --batch, an evaluator's crash fails only the candidate it ran, a stopped search resumes to the
// files of one never stopped, infeasible candidates never reach the front, the front beats the
// random start, and a front member's machine file replays to its reported objectives.
#include "records/trace.h"
#include "tools/optimize/optimize_files.h"
#include "tools/sweep/gait_measures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "tests/support/tools/replay_process.h"

namespace {

using replay_test::Lines;
using replay_test::ReadAll;
using replay_test::RunResult;
namespace fs = std::filesystem;

const std::string kOptimize = KOLTREP_BINARY_DIR "/koltrep-optimize";
const std::string kEvaluate = KOLTREP_BINARY_DIR "/koltrep-evaluate";

// Two linkage lengths, the coupler's range reaching lengths whose crank cannot turn.
std::vector<std::string> Search(const fs::path& out, const std::string& jobs,
                                const std::string& generations = "3") {
    return {"--param",       "linkage.crank=0.8:1.2",
            "--param",       "linkage.coupler=1.2:2.8",
            "--objective",   "speed:max",
            "--objective",   "cost_of_transport:min",
            "--population",  "8",
            "--generations", generations,
            "--seed",        "1",
            "--ticks",       "120",
            "--settle",      "40",
            "--jobs",        jobs,
            "--out",         out.string(),
            "--no-plot"};
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

// Every file the search wrote, by its path in the folder.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadAll(entry.path());
    return files;
}

// The area the points dominate up to the reference (speed 0, cost `worst`): speed maximised,
// cost minimised.
double Hypervolume(std::vector<std::pair<double, double>> points, double worst) {
    std::sort(points.begin(), points.end(), std::greater<>());
    double area = 0, lowestCost = worst;
    for (const auto& [speed, cost] : points)
        if (cost < lowestCost) {
            area += speed * (lowestCost - cost);
            lowestCost = cost;
        }
    return area;
}

class OptimizeTest : public replay_test::ReplayProcessTest {
  protected:
    void SetUp() override {
        ReplayProcessTest::SetUp();
        ASSERT_EQ(access(kOptimize.c_str(), X_OK), 0) << "build koltrep-optimize";
    }
};

std::vector<std::string> Batched(std::vector<std::string> args, const std::string& batch) {
    if (!batch.empty()) args.insert(args.end(), {"--batch", batch});
    return args;
}

// An evaluator that runs the real one, but first does `act` when its work holds `candidate`:
// on its command line, or in the cells file it is given.
fs::path Wrapper(const fs::path& script, const std::string& candidate, const std::string& act) {
    const std::string name = "candidates/" + candidate + ".toml";
    std::ofstream(script) << "#!/bin/sh\ncase \"$*\" in *" << name << "*) " << act
                          << ";; esac\nfor a; do case \"$a\" in *.cells) grep -q '" << name
                          << "' \"$a\" && " << act << ";; esac; done\nexec '" << kEvaluate
                          << "' \"$@\"\n";
    chmod(script.c_str(), 0755);
    return script;
}

TEST_F(OptimizeTest, SameFilesWhateverJobsAndBatchesAndAfterAStopAndResume) {
    // Two jobs with their default batches of four, one job with a process a run, and batches of
    // three: of the two candidates that tip over, 1-0 opens a batch and 1-6 falls inside one.
    RunResult a = RunProgram(kOptimize, Search(Path("a"), "2"));
    ASSERT_EQ(a.exitCode, 0) << a.err;
    const auto files = Files(Path("a"));
    ASSERT_TRUE(files.count("front/000.toml"));
    ASSERT_NE(files.at("candidates.csv").find("tipped over"), std::string::npos);
    for (const auto& [folder, jobs, batch] :
         {std::tuple("b", "1", "1"), std::tuple("b3", "2", "3")}) {
        RunResult b = RunProgram(kOptimize, Batched(Search(Path(folder), jobs), batch));
        ASSERT_EQ(b.exitCode, 0) << b.err;
        EXPECT_EQ(files, Files(Path(folder))) << "--jobs " << jobs << " --batch " << batch;
    }

    // An evaluator that stops the search (its parent) as the batch of generation 2's fourth
    // candidate starts: both batches of the generation are cut short.
    fs::path stopper = Wrapper(Path("stopper.sh"), "2-3", "kill -INT $PPID");
    std::vector<std::string> stopped = Search(Path("c"), "2");
    stopped.insert(stopped.end(), {"--evaluate", stopper.string()});
    RunResult c = RunProgram(kOptimize, stopped);
    EXPECT_EQ(c.exitCode, 130) << c.err;
    EXPECT_TRUE(fs::exists(Path("c/optimize.partial")));
    EXPECT_FALSE(fs::exists(Path("c/candidates.csv")));
    // A fresh search would lose the stopped one's candidates: refused.
    EXPECT_EQ(RunProgram(kOptimize, Search(Path("c"), "2")).exitCode, 2);
    std::vector<std::string> resume = Search(Path("c"), "2");
    resume.push_back("--resume");
    RunResult d = RunProgram(kOptimize, resume);
    ASSERT_EQ(d.exitCode, 0) << d.err;
    EXPECT_EQ(files, Files(Path("c")));
}

// A batch's cells each start as their own run would: their candidate's crank speed (varied
// here), their repeat's perturbation; and a crash in a batch fails only the candidate it ran.
TEST_F(OptimizeTest, BatchedRunsKeepTheirOwnStartsAndACrashFailsOnlyItsCandidate) {
    fs::path crasher = Wrapper(Path("crasher.sh"), "1-2", "kill -SEGV $$");
    for (const char* batch : {"1", ""}) {
        const char* folder = *batch ? "alone" : "shared";
        std::vector<std::string> args = Batched(Search(Path(folder), "2", "2"), batch);
        args.insert(args.end(), {"--evaluate", crasher.string(), "--param", "drive.crank_speed=2:4",
                                 "--repeats", "2"});
        RunResult run = RunProgram(kOptimize, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    const auto files = Files(Path("alone")), shared = Files(Path("shared"));
    EXPECT_EQ(files.at("candidates.csv"), shared.at("candidates.csv"));
    EXPECT_TRUE(files == shared);
    size_t crashed = 0;
    for (const std::string& line : Lines(files.at("candidates.csv")))
        crashed += line.find("ended by signal 11") != std::string::npos;
    EXPECT_EQ(crashed, 1u) << files.at("candidates.csv");
}

TEST_F(OptimizeTest, FrontIsFeasibleBeatsTheStartAndReplaysToItsFigures) {
    // Seed 1's random start has one member that dominates the rest; the fifth generation is the
    // first to beat it.
    RunResult run = RunProgram(kOptimize, Search(Path("o"), "2", "5"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // generation,index,crank,coupler,speed,cost,speed_sd,cost_sd,feasible,reason
    std::map<std::string, std::vector<std::string>> rows;
    std::vector<std::pair<double, double>> first;
    double worst = 0;
    size_t infeasible = 0;
    for (const std::string& line : Lines(ReadAll(Path("o/candidates.csv")))) {
        std::vector<std::string> f = Fields(line);
        rows[f[0] + "-" + f[1]] = f;
        if (f[0] == "generation" || f[8] != "1") {
            infeasible += f[8] == "0";
            continue;
        }
        worst = std::max(worst, std::stod(f[5]));
        if (f[0] == "1") first.emplace_back(std::stod(f[4]), std::stod(f[5]));
    }
    EXPECT_GT(infeasible, 0u) << "the coupler's range should reach machines that cannot turn";

    std::vector<std::string> front = Lines(ReadAll(Path("o/front.csv")));
    ASSERT_GE(front.size(), 2u);
    std::vector<std::pair<double, double>> last;
    for (size_t m = 1; m < front.size(); ++m) {
        std::vector<std::string> f = Fields(front[m]);
        EXPECT_EQ(rows.at(f[1] + "-" + f[2])[8], "1") << front[m];
        last.emplace_back(std::stod(f[5]), std::stod(f[6]));
    }
    EXPECT_GT(Hypervolume(last, worst), Hypervolume(first, worst));

    // The first member through koltrep-replay, measured as the search measures.
    Write("walk.txt", "0 UP down\n");
    RunResult replay =
        Run({"--machine", Path("o/front/000.toml").string(), "--script", Path("walk.txt").string(),
             "--ticks", "120", "--no-draw", "--measures", "--trace", Path("t.csv").string()});
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    std::vector<TraceRow> trace;
    std::string error;
    ASSERT_TRUE(ParseTrace(ReadAll(Path("t.csv")), trace, error)) << error;
    GaitMeasures measures;
    ASSERT_TRUE(MeasureGait(trace, 40, measures, error)) << error;
    std::vector<std::string> member = Fields(front[1]);
    EXPECT_EQ(NumberText(measures.speed), member[5]);
    EXPECT_EQ(NumberText(measures.walk.costOfTransport), member[6]);
}

} // namespace
