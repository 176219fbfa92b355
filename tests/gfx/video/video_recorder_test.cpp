// The video encoder on its thread, written with FFmpeg and read back with FFmpeg: a slow
// encoder loses no frame, a file that cannot be written says why and never blocks the program,
// and the videos folder is found and made as F9 needs it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "gfx/video/video_recorder.h"
#include "gfx/video_recording.h"

namespace {

// What ffprobe, FFmpeg's own reader, says of a video: the `entries` asked for, as CSV.
std::string Probe(const std::string& path, const std::string& entries) {
    std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries " +
                          entries + " -of csv=p=0 " + path;
    std::string text;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    return text;
}

namespace fs = std::filesystem;

class VideoRecorderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "koltrep-video-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

constexpr int kWidth = 64, kHeight = 48;

void FillGrey(uint8_t* slot, int width, int height, uint8_t level) {
    for (int i = 0; i < width * height; ++i) {
        slot[4 * i] = slot[4 * i + 1] = slot[4 * i + 2] = level;
        slot[4 * i + 3] = 255;
    }
}

uint8_t LevelOf(long frame) {
    return static_cast<uint8_t>(20 + 7 * frame);
}

// The encoder takes 15 ms a frame and the queue holds three, so the program's side catches up
// with it and has to wait; every frame still reaches the file, in order.
TEST_F(VideoRecorderTest, SlowEncoderMakesTheProgramWaitAndLosesNoFrame) {
    constexpr long kFrames = 30;
    video::VideoRecorder recorder;
    recorder.beforeEncode = [](long) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    };
    std::string error;
    ASSERT_TRUE(recorder.Open(Path("slow.mp4"), kWidth, kHeight, 20, error, 3)) << error;
    for (long i = 0; i < kFrames; ++i) {
        FillGrey(recorder.FrameToFill(), kWidth, kHeight, LevelOf(i));
        recorder.QueueFrame();
    }
    EXPECT_GT(recorder.fullWaits(), 0) << "the queue never filled: the test proves nothing";
    ASSERT_TRUE(recorder.Close(error)) << error;
    EXPECT_EQ(recorder.framesWritten(), kFrames);

    EXPECT_EQ(Probe(Path("slow.mp4"), "stream=codec_name,width,r_frame_rate,nb_read_frames"),
              "h264,64,20/1,30\n");
    // The frames' mean luma, in order: the studio-range value of each frame's grey level.
    std::istringstream means(Probe("\"movie=" + Path("slow.mp4") + ",signalstats\" -f lavfi",
                                   "frame_tags=lavfi.signalstats.YAVG"));
    double mean = 0;
    long frame = 0;
    for (; means >> mean; ++frame)
        EXPECT_NEAR(mean, 16 + LevelOf(frame) * 219.0 / 255.0, 2.5) << "frame " << frame;
    EXPECT_EQ(frame, kFrames);
}

TEST_F(VideoRecorderTest, WebmHoldsVp9) {
    video::VideoRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open(Path("clip.webm"), kWidth, kHeight, 20, error)) << error;
    for (long i = 0; i < 10; ++i) {
        FillGrey(recorder.FrameToFill(), kWidth, kHeight, LevelOf(i));
        recorder.QueueFrame();
    }
    ASSERT_TRUE(recorder.Close(error)) << error;
    EXPECT_EQ(Probe(Path("clip.webm"), "stream=codec_name,nb_read_frames"), "vp9,10\n");
}

// A disk that fills up mid-way (here the file-size limit, which fails writes the same way):
// the program's side is never held up by the broken file, the reason names the file and the
// system's error, and what was written before still plays.
TEST_F(VideoRecorderTest, WriteErrorMidWayIsReportedAndKeepsTheFramesBefore) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{256 * 1024, 256 * 1024};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    constexpr int kNoiseWidth = 160, kNoiseHeight = 120;
    constexpr long kFrames = 60;
    std::mt19937 random(7);
    video::VideoRecorder recorder;
    std::string error;
    const std::string path = Path("full.mp4");
    ASSERT_TRUE(recorder.Open(path, kNoiseWidth, kNoiseHeight, 20, error, 4)) << error;
    for (long i = 0; i < kFrames; ++i) { // noise does not compress: the limit comes soon
        uint8_t* slot = recorder.FrameToFill();
        for (int p = 0; p < kNoiseWidth * kNoiseHeight * 4; ++p)
            slot[p] = static_cast<uint8_t>(random());
        recorder.QueueFrame();
    }
    EXPECT_FALSE(recorder.Close(error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    long written = recorder.framesWritten();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, kFrames);

    EXPECT_GE(std::atol(Probe(path, "stream=nb_read_frames").c_str()), written - 1)
        << "the fragments on disk do not play";
}

TEST_F(VideoRecorderTest, UnwritableFileIsRefusedAtOpenWithTheReason) {
    video::VideoRecorder recorder;
    std::string error;
    // A name without a container of ours is refused before anything is opened.
    EXPECT_FALSE(recorder.Open("/dev/full", kWidth, kHeight, 20, error));
    EXPECT_NE(error.find(".mp4, .webm or .mkv"), std::string::npos) << error;
    EXPECT_FALSE(recorder.Open(Path("no/such/folder.mp4"), kWidth, kHeight, 20, error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(recorder.isOpen());
    EXPECT_TRUE(recorder.Close(error)); // never opened: nothing to report
}

TEST_F(VideoRecorderTest, VideosFolderIsFoundAndMade) {
    const std::string home = dir_.string();
    const std::string config = Path("config");
    std::string error;
    // Nothing configured: ~/Videos, made with mode 0755.
    umask(022);
    EXPECT_EQ(VideoFolder(home.c_str(), config.c_str(), error), home + "/Videos");
    struct stat info {};
    ASSERT_EQ(stat((home + "/Videos").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    // user-dirs.dirs names a folder below $HOME that is not there yet.
    fs::create_directories(config);
    std::ofstream(config + "/user-dirs.dirs")
        << "XDG_PICTURES_DIR=\"$HOME/pics\"\nXDG_VIDEOS_DIR=\"$HOME/films/drives\"\n";
    EXPECT_EQ(VideoFolder(home.c_str(), config.c_str(), error), home + "/films/drives");
    EXPECT_TRUE(fs::is_directory(home + "/films/drives"));
    // A file in the way, and no home at all: a reason, no folder.
    std::ofstream(Path("blocked"));
    std::ofstream(config + "/user-dirs.dirs") << "XDG_VIDEOS_DIR=\"" << Path("blocked") << "\"\n";
    EXPECT_EQ(VideoFolder(home.c_str(), config.c_str(), error), "");
    EXPECT_NE(error.find(Path("blocked")), std::string::npos) << error;
    EXPECT_EQ(VideoFolder(nullptr, nullptr, error), "");
    EXPECT_NE(error.find("HOME"), std::string::npos) << error;
}

} // namespace
