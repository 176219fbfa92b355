// What the runner (and the live program) refuses to write, and what it says of what it wrote:
// inputs of every kind are never replaced, and an output that fills up or vanishes is reported.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "records/trace.h"
#include "tests/support/tools/replay_process.h"

namespace {

namespace fs = std::filesystem;
using replay_test::ReadAll;
using replay_test::RunResult;

// A small file system of its own, to fill up; unmounted at the end of the test.
class SmallDisk {
  public:
    SmallDisk(const fs::path& at, const char* size) : at_(at) {
        fs::create_directory(at_);
        const std::string options = std::string("size=") + size;
        mounted_ = mount("tmpfs", at_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(at_.c_str());
    }
    bool mounted() const { return mounted_; }

  private:
    fs::path at_;
    bool mounted_ = false;
};

class ReplayOutputs : public replay_test::ReplayProcessTest {
  protected:
    std::vector<std::string> Args(std::vector<std::string> extra, const char* ticks = "3") const {
        std::vector<std::string> args = {"--script", Path("s.txt").string(), "--ticks", ticks};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    void SetUp() override {
        ReplayProcessTest::SetUp();
        Write("s.txt", "0 UP down\n");
    }
};

// Every data file the run reads is an input of both programs, under any spelling; each cell of
// a batch is checked against the inputs and the other cells before the first tick.
TEST_F(ReplayOutputs, DataFilesAndEveryCellsTraceAreNeverWrittenOver) {
    const fs::path data = Path("data");
    fs::copy(KOLTREP_SOURCE_DIR "/data", data);
    const std::string d = data.string(), dd = (data / ".." / "data").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--no-draw", "--trace", dd + "/body.x"},
        {"--shot", d + "/ground.png"},
        {"--video", d + "/body.png"},
        {"--trace", d + "/almi.png", "--no-draw"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = Args(c);
        args.insert(args.end(), {"--data", d});
        RunResult run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << c[1];
        EXPECT_NE(run.err.find("would overwrite the data file"), std::string::npos) << run.err;
    }
    RunResult live = RunProgram(KOLTREP_BINARY_DIR "/koltrep",
                                {"--data", d, "--record", d + "/body.x", "--trace", "t.csv"}, dir_);
    EXPECT_EQ(live.exitCode, 6) << live.err;
    EXPECT_NE(live.err.find("would overwrite the data file"), std::string::npos) << live.err;
    for (const char* name : {"body.x", "body.png", "ground.png", "almi.png"})
        EXPECT_EQ(ReadAll(data / name), ReadAll(fs::path(KOLTREP_SOURCE_DIR "/data") / name));

    const std::string cells = Path("cells").string(), a = Path("a.csv").string();
    const std::vector<std::pair<std::string, std::string>> batches = {
        {"3 350 - " + a + "\n3 350 - " + Path("s.txt").string() + "\n", "--script"},
        {"3 350 - " + cells + "\n", "--cells " + cells},
        {"3 350 - " + a + "\n# x\n3 350 7 " + (dir_ / "." / "a.csv").string() + "\n",
         "--cells line 1"},
        {"machine " + Path("m.toml").string() + "\n3 350 - " + Path("m.toml").string() + "\n",
         "the machine file of --cells line 2"},
    };
    for (const auto& [text, says] : batches) {
        Write("cells", text);
        RunResult run = Run(Args({"--no-draw", "--cells", cells}));
        EXPECT_EQ(run.exitCode, 2) << text;
        EXPECT_NE(run.err.find("would overwrite " + says), std::string::npos) << run.err;
        EXPECT_EQ(ReadAll(cells), text);
        EXPECT_FALSE(fs::exists(a));
    }
    // The cells reader stops where the script reader does, instead of growing with the input.
    RunResult endless = Run(Args({"--no-draw", "--cells", "/dev/zero"}));
    EXPECT_EQ(endless.exitCode, 2);
    EXPECT_NE(endless.err.find("is larger than 16777216 bytes"), std::string::npos) << endless.err;
}

// Each output is named once it is complete, with what it holds.
TEST_F(ReplayOutputs, EachOutputIsNamedWithWhatItHolds) {
    const std::string trace = Path("t.csv").string(), shot = Path("s.png").string();
    RunResult run = Run(Args({"--trace", trace, "--shot", shot, "--frames", Path("f").string()}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "koltrep-replay: Trace saved: " + trace + " (3 rows)\n" +
                           "koltrep-replay: Frames saved: " + Path("f").string() +
                           " (3 pictures)\nkoltrep-replay: Picture saved: " + shot + "\n");
}

// A full disk stops the run at the first failed write: the trace ends on a whole row and the
// video says once how many frames it keeps. A shot that cannot be written is refused at once.
TEST_F(ReplayOutputs, AFullOrReadOnlyDiskSaysSoBeforeOrAtTheFirstFailure) {
    SmallDisk disk(Path("disk"), "64k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    const std::string trace = (Path("disk") / "t.csv").string();
    RunResult run = Run(Args({"--no-draw", "--trace", trace}, "3000"));
    EXPECT_EQ(run.exitCode, 1);
    const std::string text = ReadAll(trace);
    std::vector<TraceRow> rows;
    std::string error;
    ASSERT_TRUE(ParseTrace(text, rows, error)) << error;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(run.err.find("it keeps the " + std::to_string(rows.size()) + " rows"),
              std::string::npos)
        << run.err;
    fs::remove(trace);

    const std::string video = (Path("disk") / "v.mp4").string();
    run = Run(Args({"--video", video}, "300"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.find("Video cut short"), run.err.rfind("Video cut short")) << run.err;
    EXPECT_NE(run.err.find(" frames written before"), std::string::npos) << run.err;

    SmallDisk readOnly(Path("ro"), "64k,mode=0555");
    ASSERT_TRUE(readOnly.mounted());
    ASSERT_EQ(mount(nullptr, Path("ro").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    run = Run(Args({"--shot", (Path("ro") / "x.png").string()}));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(std::strerror(EROFS)), std::string::npos) << run.err;
}

} // namespace
