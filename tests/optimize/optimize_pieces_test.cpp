// The optimiser's pieces at their edges: the command line it refuses, the penalty that keeps an
// infeasible candidate off the front, and the rows a resumed search reads back bit for bit.
#include "tools/optimize/optimize_files.h"
#include "tools/optimize/optimize_options.h"
#include "tools/optimize/search.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The error for a command line of two parameters and two objectives plus `extra`; "" if none.
std::string Refusal(std::vector<std::string> extra, OptimizeOptions* parsed = nullptr) {
    std::vector<std::string> args = {"koltrep-optimize",     "--param",   "linkage.crank=0.8:1.2",
                                     "--objective",          "speed:max", "--objective",
                                     "cost_of_transport:min"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    OptimizeOptions options;
    std::string error;
    ParseOptimizeOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    if (parsed) *parsed = options;
    return error;
}

TEST(OptimizeOptions, RangesObjectivesAndPopulationsAreCheckedAtTheEdges) {
    OptimizeOptions o;
    EXPECT_EQ(Refusal({"--param", "legs.planes.2=10:11", "--population", "8"}, &o), "");
    ASSERT_EQ(o.params.size(), 2u);
    EXPECT_EQ(o.params[1].path, "legs.planes.2");
    EXPECT_TRUE(o.objectives[0].maximize);
    EXPECT_FALSE(o.objectives[1].maximize);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--param", "linkage.coupler=2.8:2.2"}, // low above high
             {"--param", "linkage.coupler=2:2"},     // an empty range
             {"--param", "linkage.cuopler=2:3"},     // no such key
             {"--param", "linkage.coupler=-1:3"},    // outside the key's own range
             {"--param", "linkage.coupler=nan:3"},   // not a number
             {"--param", "linkage.crank=0.9:1"},     // the same key twice
             {"--objective", "speed:min"},           // the same measure twice
             {"--objective", "duty_factor:max"},     // not an objective
             {"--objective", "stride_length:up"},    // neither min nor max
             {"--objective", "stride_length:max", "--objective", "heading_drift:min"}, // four
             {"--population", "10"},                            // not a multiple of 4
             {"--population", "4"},                             // below 8
             {"--seed", "4294967296"},                          // beyond the algorithm's seed
             {"--ticks", "100", "--settle", "100"},             // nothing left to measure
             {"--partition", "short"},                          // a Slurm option without Slurm
             {"--engine", "slurm", "--time", "1\n#SBATCH --x"}, // a directive smuggled in
             {"--engine", "cloud"},
             {"--batch", "0"},                         // no runs a process
             {"--batch", "100001"},                    // beyond the cap
             {"--engine", "slurm", "--batch", "4"}}) { // a task is a run
        EXPECT_NE(Refusal(bad), "") << bad[0] << " " << bad[1];
    }
}

RunOutcome Walked(double speed, double drift, double cost) {
    RunOutcome run;
    run.measures.speed = speed;
    run.measures.headingDrift = drift;
    run.measures.walk.costOfTransport = cost;
    return run;
}

TEST(Objectives, InfeasibleCandidatesArePenalisedAndNeverOnTheFront) {
    const std::vector<Objective> objectives = {{Measure::kSpeed, true},
                                               {Measure::kHeadingDrift, false}};
    Score two = ScoreRuns({Walked(1.0, -30.0, 1.0), Walked(3.0, 10.0, 1.0)}, objectives);
    ASSERT_TRUE(two.feasible);
    EXPECT_EQ(two.mean, (std::vector<double>{2.0, 20.0})); // drift by its size
    EXPECT_NEAR(two.sd[0], std::sqrt(2.0), 1e-12);
    EXPECT_EQ(Fitness(two, objectives), (std::vector<double>{-2.0, 20.0}));

    RunOutcome tipped;
    tipped.failure = "tipped over at tick 7";
    Score fell = ScoreRuns({Walked(9.0, 0.0, 1.0), tipped}, objectives);
    EXPECT_FALSE(fell.feasible);
    EXPECT_EQ(fell.reason, "tipped over at tick 7");
    EXPECT_EQ(Fitness(fell, objectives), (std::vector<double>(2, kPenalty)));
    // No figure, or one past the penalty's reach, is no candidate to rank.
    const std::vector<Objective> cost = {{Measure::kCostOfTransport, false},
                                         {Measure::kSpeed, true}};
    EXPECT_FALSE(ScoreRuns({Walked(1.0, 0.0, NAN)}, cost).feasible);
    EXPECT_FALSE(ScoreRuns({Walked(1.0, 0.0, 2e9)}, cost).feasible);
    EXPECT_FALSE(ScoreRuns({}, cost).feasible);

    // A fast drifting one and a slow straight one both stay; a slower, more drifting one and
    // the infeasible ones do not, however good their (empty) figures would look.
    Candidate fast{1, 0, {}, ScoreRuns({Walked(5.0, 40.0, 1.0)}, objectives)};
    Candidate straight{1, 1, {}, ScoreRuns({Walked(2.0, 1.0, 1.0)}, objectives)};
    Candidate worse{1, 2, {}, ScoreRuns({Walked(1.0, 50.0, 1.0)}, objectives)};
    Candidate infeasible{1, 3, {}, fell};
    std::vector<const Candidate*> front =
        FeasibleFront({&infeasible, &worse, &straight, &fast, &fast}, objectives);
    EXPECT_EQ(front, (std::vector<const Candidate*>{&fast, &straight}));
    EXPECT_TRUE(FeasibleFront({&infeasible}, objectives).empty());
}

TEST(OptimizeFiles, PartialRowsReadBackBitForBitAndForeignOnesAreRefused) {
    OptimizeOptions o;
    ASSERT_EQ(Refusal({"--param", "linkage.coupler=2:3"}, &o), "");
    Candidate walked{2, 5, {1.0 / 3.0, 2.9}, {}};
    walked.score.feasible = true;
    walked.score.mean = {0.1 + 0.2, 1e-300};
    walked.score.sd = {0.0, 7.25};
    Candidate refused{2, 6, {0.8, 2.0}, {}};
    refused.score.reason = "linkage: \"1 + 2.5\", not less";
    const std::string settings = SettingsLine(o, "machine", "0 UP down\n");
    const std::string text = PartialText(settings, o, {walked, refused});

    std::vector<Candidate> back;
    std::string error;
    ASSERT_TRUE(ReadPartial(text, settings, o, back, error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].values, walked.values);
    EXPECT_EQ(back[0].score.mean, walked.score.mean);
    EXPECT_EQ(back[0].score.sd, walked.score.sd);
    EXPECT_EQ(back[1].score.reason, refused.score.reason);
    EXPECT_FALSE(back[1].score.feasible);

    back.clear();
    EXPECT_FALSE(ReadPartial(text, SettingsLine(o, "machine", "0 DOWN down\n"), o, back, error));
    const std::string head = text.substr(0, text.find('\n', text.find('\n') + 1) + 1);
    ASSERT_TRUE(ReadPartial(head + "2,5,0.3,2.9,1,2,0,0,1,\n", settings, o, back, error)) << error;
    for (const std::string row :
         {"2,5,0.3,2.9,1,2,0,0,2,", "2,5,0.3,2.9,nan,2,0,0,1,", "2,5,0.3,2.9,,,,,0,",
          "-2,5,0.3,2.9,1,2,0,0,1,", "2,5,0.3,2.9,1,2,0,0,1", "2,5,0.3,2.9,1,2,0,0,1,why",
          "2,5,0.3,2.9,1,2,0,0,0,why"}) {
        back.clear();
        EXPECT_FALSE(ReadPartial(head + row + "\n", settings, o, back, error)) << row;
    }
}

} // namespace
