// koltrep-replay --video: the video ffprobe sees, its frames against the PNG frames of the same
// run, and a run stopped by a signal half-way.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

#include "tests/support/tools/replay_process.h"

namespace replay_test {
namespace {

const std::string kTour = KOLTREP_SOURCE_DIR "/tools/replay/tour.txt";

std::string Capture(const std::string& command) {
    std::string text;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    pclose(pipe);
    return text;
}

// The frames a player decodes from `video`, as ffprobe counts them ("" when none).
std::string FramesIn(const fs::path& video) {
    return Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                   "stream=nb_read_frames -of csv=p=0 " +
                   video.string());
}

class ReplayVideoTest : public ReplayProcessTest {
  protected:
    // Starts a long --video run and stops it with `signal` once some of the file is on disk;
    // returns the exit status.
    int StopMidWay(const fs::path& video, int signal,
                   void (*beforeSignal)(const fs::path&) = nullptr) {
        pid_t child = fork();
        if (child == 0) {
            if (chdir(KOLTREP_SOURCE_DIR "/data") != 0) _exit(120);
            std::freopen(Path("stderr.txt").c_str(), "w", stderr);
            execl(replay_.c_str(), replay_.c_str(), "--script", kTour.c_str(), "--ticks", "5000",
                  "--video", video.c_str(), static_cast<char*>(nullptr));
            _exit(122);
        }
        for (int i = 0; i < 1200; ++i) { // up to two minutes on a busy machine
            std::error_code ignored;
            if (fs::file_size(video, ignored) > 300 * 1024 && !ignored) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (beforeSignal) beforeSignal(video);
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }
};

TEST_F(ReplayVideoTest, VideoHasEveryTickAndMatchesThePngFrames) {
    const std::string video = Path("tour.mp4").string(), frames = Path("frames").string();
    RunResult run = Run({"--script", kTour, "--ticks", "300", "--video", video, "--frames", frames,
                         "--every", "150"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                      "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                      video),
              "h264,640,480,20/1,300\n");

    // Frame 150 against the PNG of the same tick: in the video's Y'CbCr 4:2:0, what the
    // encoder lost; in RGB, what a player shows, where 4:2:0 colour blurs sharp coloured edges
    // but a wrong colour matrix or range would fall much further.
    auto psnr = [&](const char* format) {
        std::string out = Capture(std::string("ffmpeg -nostats -i ") + video + " -i " + frames +
                                  "/000150.png -lavfi \"[0:v]select=eq(n\\,150),format=" + format +
                                  "[a];[1:v]format=" + format + "[b];[a][b]psnr\" -f null - 2>&1");
        std::smatch average;
        return std::regex_search(out, average, std::regex("average:([0-9.]+)"))
                   ? std::stod(average[1])
                   : 0.0;
    };
    const double yuv = psnr("yuv420p"), rgb = psnr("rgb24");
    EXPECT_GE(yuv, 40.0);
    EXPECT_GE(rgb, 30.0);
    std::printf("frame 150 against the PNG: %.1f dB in Y'CbCr 4:2:0, %.1f dB in RGB\n", yuv, rgb);
}

// SIGKILL leaves no chance to end the file: its fragments still play, up to the last one
// written. SIGTERM ends the run as the close box does, and the file is whole.
TEST_F(ReplayVideoTest, VideoCutShortBySignalsStillPlays) {
    const fs::path killed = Path("killed.mp4");
    int status = StopMidWay(killed, SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_GE(std::stol("0" + FramesIn(killed)), 10) << "a killed run's video does not play";

    const fs::path stopped = Path("stopped.mp4");
    status = StopMidWay(stopped, SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << ReadAll(Path("stderr.txt"));
    std::smatch ticks;
    std::string err = ReadAll(Path("stderr.txt"));
    ASSERT_TRUE(std::regex_search(err, ticks, std::regex("after ([0-9]+) ticks"))) << err;
    EXPECT_EQ(FramesIn(stopped), ticks[1].str() + "\n") << "a stopped run's video lacks frames";
}

// The container follows the extension in any letter case; another extension is refused before
// anything is written, with the list.
TEST_F(ReplayVideoTest, TheExtensionChoosesTheContainer) {
    const std::string script = Path("s.txt").string();
    std::ofstream(script) << "0 UP down\n";
    for (auto [name, format] : {std::pair{"a.WEBM", "vp9\nmatroska,webm\n"},
                                {"b.Mkv", "h264\nmatroska,webm\n"},
                                {"c.MP4", "h264\nmov,mp4,m4a,3gp,3g2,mj2\n"}}) {
        RunResult run = Run({"--script", script, "--ticks", "4", "--video", Path(name).string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("Video saved: " + Path(name).string() + " (4 frames, 0.2 s)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(Capture("ffprobe -v error -show_entries stream=codec_name:format=format_name "
                          "-of default=nw=1:nk=1 " +
                          Path(name).string()),
                  format);
    }
    RunResult avi = Run({"--script", script, "--ticks", "4", "--trace", Path("t.csv").string(),
                         "--video", Path("d.avi").string()});
    EXPECT_EQ(avi.exitCode, 2);
    EXPECT_NE(avi.err.find(".mp4, .webm or .mkv"), std::string::npos) << avi.err;
    EXPECT_FALSE(fs::exists(Path("t.csv")));
    EXPECT_FALSE(fs::exists(Path("d.avi")));
}

// A video whose folder is removed while it is written is gone: the run says so and fails.
TEST_F(ReplayVideoTest, AVideoRemovedWhileWrittenIsReportedLost) {
    fs::create_directory(Path("gone"));
    int status = StopMidWay(Path("gone") / "v.mp4", SIGTERM,
                            [](const fs::path& video) { fs::remove_all(video.parent_path()); });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(ReadAll(Path("stderr.txt")).find("Video lost: "), std::string::npos)
        << ReadAll(Path("stderr.txt"));
}

} // namespace
} // namespace replay_test
