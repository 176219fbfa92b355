// Reading a video back the way a player does, with FFmpeg's own demuxer and decoder, for the
// tests of the video recording.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

namespace video_test {

struct VideoInfo {
    std::string codec;
    int width = 0, height = 0;
    AVRational frameRate{0, 1};
    long frames = 0; // frames decoded
};

// Decodes every frame of `path` in order, handing each (as decoded, YUV) to `onFrame`. A file
// that ends mid-way stops the decoding there, as a player stops. False when the file does not
// open as a video at all.
inline bool DecodeVideo(const std::string& path, VideoInfo& info,
                        const std::function<void(long, const AVFrame&)>& onFrame = {}) {
    av_log_set_level(AV_LOG_QUIET);
    info = VideoInfo{};
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    bool ok = avformat_find_stream_info(format, nullptr) >= 0;
    const AVCodec* decoder = nullptr;
    int stream = ok ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0) : -1;
    AVCodecContext* codec = stream >= 0 ? avcodec_alloc_context3(decoder) : nullptr;
    ok = codec && avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) >= 0 &&
         avcodec_open2(codec, decoder, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (ok) {
        info.codec = decoder->name;
        info.width = codec->width;
        info.height = codec->height;
        info.frameRate = format->streams[stream]->avg_frame_rate;
        auto receive = [&] {
            while (avcodec_receive_frame(codec, frame) >= 0) {
                if (onFrame) onFrame(info.frames, *frame);
                ++info.frames;
            }
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0)
                receive();
            av_packet_unref(packet);
        }
        avcodec_send_packet(codec, nullptr);
        receive();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return ok;
}

// Mean of a frame's luma plane.
inline double MeanLuma(const AVFrame& frame) {
    double sum = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            sum += frame.data[0][y * frame.linesize[0] + x];
    return sum / (static_cast<double>(frame.width) * frame.height);
}

// PSNR in dB of two 8-bit sample arrays of `count` samples (infinity when equal).
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t count) {
    double squares = 0;
    for (size_t i = 0; i < count; ++i) {
        double d = static_cast<double>(a[i]) - b[i];
        squares += d * d;
    }
    if (squares == 0) return INFINITY;
    return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(count) / squares);
}

} // namespace video_test
