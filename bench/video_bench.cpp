// What recording video costs a tick. Each tick shows a picture of the drive (the four tour
// reference frames in turn, a new one every tick: harder for the encoder than a real drive,
// whose neighbouring ticks differ little) through the frame bracket on the real device.
//
// - BM_Tick: the tick without recording (the baseline);
// - BM_TickReadBack: the same plus reading the back buffer back alone (glReadPixels);
// - BM_TickRecording: the same plus a frame handed to the recorder, whose thread encodes it.
//
// CPU is the program's thread's, or with "process" every thread's (the encoder, x264's own
// threads and Mesa's rasteriser threads). The recording ticks run back to back, faster than
// the encoder, so they also wait for free slots: their wall time is the encoder's pace, and
// the program's thread CPU is what a tick pays at the real 20 ticks a second.
#include <benchmark/benchmark.h>

#include "bench/bench_device.h"

#include "gfx/device/d3d_device.h"
#include "gfx/device/frame_bracket.h"
#include "gfx/video/video_file.h"
#include "gfx/video/video_recorder.h"
#include "gfx/video_recording.h"

#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3dx8/image_decode.h>

#include <epoxy/gl.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

const std::vector<Image>& TourPictures() {
    static std::vector<Image> pictures = [] {
        std::vector<Image> loaded;
        for (const char* tick : {"000100", "000290", "000430", "000500"}) {
            Image image;
            std::string error;
            std::string path =
                std::string(KOLTREP_SOURCE_DIR "/tests/data/frames/tour_") + tick + ".png";
            if (DecodeImageFile(path.c_str(), image, error)) loaded.push_back(std::move(image));
        }
        return loaded;
    }();
    return pictures;
}

bool Ready(benchmark::State& state) {
    if (!BenchDeviceReady()) {
        state.SkipWithError("no Direct3D device");
        return false;
    }
    if (TourPictures().size() != 4) {
        state.SkipWithError("the tour reference frames are missing");
        return false;
    }
    return true;
}

// The pictures as framebuffers of their own, to be copied into the back buffer.
GLuint PictureFramebuffer(long tick) {
    static std::vector<GLuint> framebuffers;
    if (framebuffers.empty()) {
        GLint target = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &target);
        for (const Image& picture : TourPictures()) {
            GLuint texture = 0, framebuffer = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(picture.width),
                         static_cast<GLsizei>(picture.height), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         picture.rgba.data());
            glGenFramebuffers(1, &framebuffer);
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
            framebuffers.push_back(framebuffer);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(target));
    }
    return framebuffers[tick % framebuffers.size()];
}

// One tick's frame: the picture copied into the back buffer between BeginFrame and EndFrame.
// `beforePresent` runs where the program records, after the drawing and before the
// presentation.
template <typename BeforePresent> void TickFrame(long tick, BeforePresent beforePresent) {
    if (BeginFrame(0xFF000000)) {
        GLint target = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &target);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, PictureFramebuffer(tick));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(target));
        glBlitFramebuffer(0, 0, kVideoWidth, kVideoHeight, 0, 0, kVideoWidth, kVideoHeight,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(target));
        beforePresent();
        EndFrame();
    }
    glFinish();
}

std::string ScratchVideo() {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/koltrep-bench-" +
           std::to_string(getpid()) + ".mp4";
}

void BM_Tick(benchmark::State& state) {
    if (!Ready(state)) return;
    long tick = 0;
    for (auto _ : state)
        TickFrame(tick++, [] {});
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tick)->Name("BM_Tick/process")->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_TickReadBack(benchmark::State& state) {
    if (!Ready(state)) return;
    std::vector<uint8_t> pixels(size_t(kVideoWidth) * kVideoHeight * 4);
    long tick = 0;
    for (auto _ : state)
        TickFrame(tick++, [&] {
            benchmark::DoNotOptimize(
                platform::d3d8::ReadBackBufferBottomUp(d3dDevice, pixels.data(), pixels.size()));
        });
}
BENCHMARK(BM_TickReadBack)->Unit(benchmark::kMillisecond);

void BM_TickRecording(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::string path = ScratchVideo();
    video::VideoRecorder recorder;
    std::string error;
    if (!OpenTickVideo(recorder, path, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    long tick = 0;
    for (auto _ : state)
        TickFrame(tick++, [&] { CaptureTickVideoFrame(recorder); });
    bool closed = recorder.Close(error);
    state.counters["waits"] = static_cast<double>(recorder.fullWaits());
    std::remove(path.c_str());
    if (!closed) state.SkipWithError(error.c_str());
}
BENCHMARK(BM_TickRecording)->Unit(benchmark::kMillisecond);
// Every thread's CPU, the encoding included, until the last frame is in the file.
void BM_TickRecordingProcess(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::string path = ScratchVideo();
    long tick = 0;
    std::string error;
    bool closed = true;
    for (auto _ : state) {
        // Twenty ticks, a second of video, written to the end per iteration: the encoder's work
        // is all inside the measurement.
        video::VideoRecorder recorder;
        if (!OpenTickVideo(recorder, path, error)) break;
        for (int i = 0; i < kVideoFramesPerSecond; ++i)
            TickFrame(tick++, [&] { CaptureTickVideoFrame(recorder); });
        closed = recorder.Close(error) && closed;
    }
    std::remove(path.c_str());
    if (!closed || !error.empty()) state.SkipWithError(error.c_str());
    state.counters["ticks"] = benchmark::Counter(static_cast<double>(tick));
}
BENCHMARK(BM_TickRecordingProcess)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
// Its baseline: the same twenty ticks without recording.
void BM_TwentyTicksProcess(benchmark::State& state) {
    if (!Ready(state)) return;
    long tick = 0;
    for (auto _ : state)
        for (int i = 0; i < kVideoFramesPerSecond; ++i)
            TickFrame(tick++, [] {});
}
BENCHMARK(BM_TwentyTicksProcess)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
