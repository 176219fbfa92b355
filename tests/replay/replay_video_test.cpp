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

#include "tests/replay/replay_process.h"
#include "tests/support/video_frames.h"

#include <platform/d3dx8/image_decode.h>

extern "C" {
#include <libswscale/swscale.h>
}

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

class ReplayVideoTest : public ReplayProcessTest {
  protected:
    // Starts a long --video run and stops it with `signal` once some of the file is on disk;
    // returns the exit status.
    int StopMidWay(const fs::path& video, int signal) {
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
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }
};

TEST_F(ReplayVideoTest, VideoHasEveryTickAndMatchesThePngFrames) {
    const fs::path video = Path("tour.mp4"), frames = Path("frames");
    RunResult run = Run({"--script", kTour, "--ticks", "300", "--video", video.string(), "--frames",
                         frames.string(), "--every", "150"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    EXPECT_EQ(Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                      "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                      video.string()),
              "h264,640,480,20/1,300\n");

    Image png;
    std::string error;
    ASSERT_TRUE(DecodeImageFile((frames / "000150.png").c_str(), png, error)) << error;
    ASSERT_EQ(png.width, 640u);
    // What the encoder was given: the PNG's pixels in the video's Y'CbCr 4:2:0. And what a
    // player shows: the decoded frame back in RGB, which 4:2:0 colour blurs at sharp coloured
    // edges, but which a wrong colour matrix or range would move much further.
    const int w = 640, h = 480;
    std::vector<uint8_t> pngYuv(w * h * 3 / 2), videoYuv(w * h * 3 / 2);
    std::vector<uint8_t> videoRgba(w * h * 4);
    SwsContext* toYuv = sws_getContext(w, h, AV_PIX_FMT_RGBA, w, h, AV_PIX_FMT_YUV420P,
                                       SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    SwsContext* toRgb = sws_getContext(w, h, AV_PIX_FMT_YUV420P, w, h, AV_PIX_FMT_RGBA,
                                       SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    const uint8_t* pngPlanes[1] = {png.rgba.data()};
    const int pngStride[1] = {w * 4};
    uint8_t* yuvPlanes[3] = {pngYuv.data(), pngYuv.data() + w * h, pngYuv.data() + w * h * 5 / 4};
    int yuvStrides[3] = {w, w / 2, w / 2};
    sws_scale(toYuv, pngPlanes, pngStride, 0, h, yuvPlanes, yuvStrides);

    video_test::VideoInfo info;
    ASSERT_TRUE(video_test::DecodeVideo(video.string(), info, [&](long n, const AVFrame& frame) {
        if (n != 150) return;
        for (int plane = 0; plane < 3; ++plane) {
            const int pw = plane ? w / 2 : w, ph = plane ? h / 2 : h;
            uint8_t* out = videoYuv.data() + (plane == 0 ? 0 : plane == 1 ? w * h : w * h * 5 / 4);
            for (int y = 0; y < ph; ++y)
                std::copy_n(frame.data[plane] + y * frame.linesize[plane], pw, out + y * pw);
        }
        uint8_t* rgbPlanes[1] = {videoRgba.data()};
        int rgbStride[1] = {w * 4};
        sws_scale(toRgb, frame.data, frame.linesize, 0, h, rgbPlanes, rgbStride);
    }));
    sws_freeContext(toYuv);
    sws_freeContext(toRgb);
    EXPECT_EQ(info.frames, 300);

    const double yuvPsnr = video_test::Psnr(videoYuv.data(), pngYuv.data(), videoYuv.size());
    EXPECT_GE(yuvPsnr, 40.0);
    std::vector<uint8_t> a, b; // RGB without alpha
    for (size_t i = 0; i < png.rgba.size(); ++i)
        if (i % 4 != 3) {
            a.push_back(videoRgba[i]);
            b.push_back(png.rgba[i]);
        }
    const double rgbPsnr = video_test::Psnr(a.data(), b.data(), a.size());
    EXPECT_GE(rgbPsnr, 30.0);
    std::printf("frame 150 against the PNG: %.1f dB in Y'CbCr 4:2:0, %.1f dB in RGB\n", yuvPsnr,
                rgbPsnr);
}

// SIGKILL leaves no chance to end the file: its fragments still play, up to the last one
// written. SIGTERM ends the run as the close box does, and the file is whole.
TEST_F(ReplayVideoTest, VideoCutShortBySignalsStillPlays) {
    const fs::path killed = Path("killed.mp4");
    int status = StopMidWay(killed, SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    video_test::VideoInfo info;
    ASSERT_TRUE(video_test::DecodeVideo(killed.string(), info));
    EXPECT_GE(info.frames, 10) << "a killed run's video does not play";
    EXPECT_NE(Capture("ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
                      "-of csv=p=0 " +
                      killed.string()),
              "");

    const fs::path stopped = Path("stopped.mp4");
    status = StopMidWay(stopped, SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << ReadAll(Path("stderr.txt"));
    std::smatch ticks;
    std::string err = ReadAll(Path("stderr.txt"));
    ASSERT_TRUE(std::regex_search(err, ticks, std::regex("after ([0-9]+) ticks"))) << err;
    ASSERT_TRUE(video_test::DecodeVideo(stopped.string(), info));
    EXPECT_EQ(info.frames, std::stol(ticks[1])) << "a stopped run's video lacks frames";
}

} // namespace
} // namespace replay_test
