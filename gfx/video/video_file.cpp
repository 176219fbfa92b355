// The FFmpeg objects a video file needs, each held by an owner that frees it.
#include "gfx/video/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <platform/i18n/i18n.h>

namespace video {

namespace {

struct FormatContextFree {
    void operator()(AVFormatContext* format) const {
        if (format->pb && !(format->oformat->flags & AVFMT_NOFILE)) avio_closep(&format->pb);
        avformat_free_context(format);
    }
};
struct CodecContextFree {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleFree {
    void operator()(SwsContext* scale) const { sws_freeContext(scale); }
};
struct DictionaryFree {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A container and the encoder it holds, by the name's extension.
struct Container {
    const char* extension;
    const char* format;
    const char* encoder;
};
constexpr Container kContainers[] = {
    {".mp4", "mp4", "libx264"},
    {".webm", "webm", "libvpx-vp9"},
    {".mkv", "matroska", "libx264"},
};

const Container* ContainerFor(const std::string& path) {
    for (const Container& container : kContainers) {
        const size_t length = std::strlen(container.extension);
        if (path.size() >= length &&
            strcasecmp(path.c_str() + path.size() - length, container.extension) == 0)
            return &container;
    }
    return nullptr;
}

} // namespace

bool KnownVideoName(const std::string& path, std::string& error) {
    if (ContainerFor(path)) return true;
    error =
        FormatText(_("cannot make %s: a video's name ends in .mp4, .webm or .mkv"), path.c_str());
    return false;
}

struct VideoFile::Parts {
    std::string path;
    // The file itself, held to see at the end whether it is still linked anywhere.
    int watch = -1;
    int width = 0, height = 0;
    std::unique_ptr<AVFormatContext, FormatContextFree> format;
    std::unique_ptr<AVCodecContext, CodecContextFree> codec;
    std::unique_ptr<AVFrame, FrameFree> frame;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<SwsContext, ScaleFree> scale;
    AVStream* stream = nullptr;
    long frames = 0;
    bool failed = false;
    bool finished = false;

    bool Fail(const char* what, int code, std::string& error) {
        failed = true;
        error = "cannot " + std::string(what) + " " + path + ": " + ErrorText(code);
        return false;
    }

    // Hands the encoder's finished packets to the file.
    bool Drain(std::string& error) {
        for (;;) {
            int status = avcodec_receive_packet(codec.get(), packet.get());
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return Fail("encode", status, error);
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            status = av_interleaved_write_frame(format.get(), packet.get());
            if (status < 0) return Fail("write", status, error);
        }
    }
};

std::unique_ptr<VideoFile> VideoFile::Create(const std::string& path, int width, int height,
                                             int framesPerSecond, std::string& error) {
    auto parts = std::make_unique<Parts>();
    parts->path = path;
    parts->width = width;
    parts->height = height;
    if (width <= 0 || height <= 0 || width % 2 || height % 2 || framesPerSecond <= 0) {
        error = "cannot make " + path + ": a video needs an even, positive size";
        return nullptr;
    }
    const Container* container = ContainerFor(path);
    if (!container) {
        KnownVideoName(path, error);
        return nullptr;
    }
    const bool webm = std::strcmp(container->format, "webm") == 0;
    // The libraries' own chatter stays off the terminal; a failure is told in our own line,
    // with the system's reason.
    av_log_set_level(AV_LOG_QUIET);

    AVFormatContext* format = nullptr;
    int status = avformat_alloc_output_context2(&format, nullptr, container->format, path.c_str());
    if (status < 0 || !format) {
        parts->Fail("make", status, error);
        return nullptr;
    }
    parts->format.reset(format);

    const AVCodec* encoder = avcodec_find_encoder_by_name(container->encoder);
    if (!encoder) {
        error = std::string("cannot make ") + path + ": this FFmpeg has no " + container->encoder +
                " encoder";
        return nullptr;
    }
    parts->codec.reset(avcodec_alloc_context3(encoder));
    parts->frame.reset(av_frame_alloc());
    parts->packet.reset(av_packet_alloc());
    if (!parts->codec || !parts->frame || !parts->packet) {
        parts->Fail("make", AVERROR(ENOMEM), error);
        return nullptr;
    }
    AVCodecContext* codec = parts->codec.get();
    codec->width = width;
    codec->height = height;
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->time_base = AVRational{1, framesPerSecond};
    codec->framerate = AVRational{framesPerSecond, 1};
    // A key frame every second: a cut-short file or a seek never waits long for a picture.
    codec->gop_size = framesPerSecond;
    codec->max_b_frames = 0;
    // Studio-range BT.601, as swscale converts by default and players assume for this size.
    codec->colorspace = AVCOL_SPC_SMPTE170M;
    codec->color_primaries = AVCOL_PRI_SMPTE170M;
    codec->color_trc = AVCOL_TRC_SMPTE170M;
    codec->color_range = AVCOL_RANGE_MPEG;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* rawOptions = nullptr;
    if (webm) {
        codec->bit_rate = 0; // constant quality
        av_dict_set(&rawOptions, "crf", "24", 0);
        av_dict_set(&rawOptions, "deadline", "realtime", 0);
        av_dict_set(&rawOptions, "cpu-used", "8", 0);
        av_dict_set(&rawOptions, "row-mt", "1", 0);
    } else {
        // No look-ahead: each frame leaves the encoder as it goes in, so a run killed mid-way
        // loses only the frames still waiting to be encoded.
        av_dict_set(&rawOptions, "preset", "veryfast", 0);
        av_dict_set(&rawOptions, "tune", "zerolatency", 0);
        av_dict_set(&rawOptions, "crf", "18", 0);
    }
    std::unique_ptr<AVDictionary, DictionaryFree> codecOptions(rawOptions);
    rawOptions = codecOptions.release();
    status = avcodec_open2(codec, encoder, &rawOptions);
    codecOptions.reset(rawOptions);
    if (status < 0) {
        parts->Fail("start the encoder for", status, error);
        return nullptr;
    }

    parts->stream = avformat_new_stream(format, nullptr);
    if (!parts->stream) {
        parts->Fail("make", AVERROR(ENOMEM), error);
        return nullptr;
    }
    parts->stream->time_base = codec->time_base;
    parts->stream->avg_frame_rate = codec->framerate;
    parts->stream->r_frame_rate = codec->framerate;
    status = avcodec_parameters_from_context(parts->stream->codecpar, codec);
    if (status < 0) {
        parts->Fail("make", status, error);
        return nullptr;
    }

    AVFrame* frame = parts->frame.get();
    frame->format = codec->pix_fmt;
    frame->width = width;
    frame->height = height;
    status = av_frame_get_buffer(frame, 0);
    if (status < 0) {
        parts->Fail("make", status, error);
        return nullptr;
    }
    parts->scale.reset(sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height,
                                      AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                      nullptr, nullptr));
    if (!parts->scale) {
        error = "cannot make " + path + ": no colour conversion for this size";
        return nullptr;
    }

    status = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) {
        parts->Fail("write", status, error);
        return nullptr;
    }
    // Every packet goes to the file as it is muxed, so whatever stops the run finds it there.
    format->flush_packets = 1;
    rawOptions = nullptr;
    if (webm || !std::strcmp(container->format, "matroska"))
        av_dict_set(&rawOptions, "cluster_time_limit", "1000", 0);
    else
        av_dict_set(&rawOptions, "movflags", "frag_every_frame+empty_moov+default_base_moof", 0);
    codecOptions.reset(rawOptions);
    rawOptions = codecOptions.release();
    status = avformat_write_header(format, &rawOptions);
    codecOptions.reset(rawOptions);
    if (status < 0) {
        parts->Fail("write", status, error);
        return nullptr;
    }
    parts->watch = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return std::unique_ptr<VideoFile>(new VideoFile(std::move(parts)));
}

VideoFile::VideoFile(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

VideoFile::~VideoFile() {
    std::string ignored;
    if (!parts_->finished) Finish(ignored);
}

bool VideoFile::WriteFrame(const uint8_t* rgba, long rowBytes, std::string& error) {
    Parts& p = *parts_;
    if (p.failed || p.finished) {
        error = "cannot write " + p.path + ": the file is closed";
        return false;
    }
    int status = av_frame_make_writable(p.frame.get());
    if (status < 0) return p.Fail("encode", status, error);
    const uint8_t* source[1] = {rgba};
    const int sourceStride[1] = {static_cast<int>(rowBytes)};
    sws_scale(p.scale.get(), source, sourceStride, 0, p.height, p.frame->data, p.frame->linesize);
    p.frame->pts = p.frames;
    status = avcodec_send_frame(p.codec.get(), p.frame.get());
    if (status < 0) return p.Fail("encode", status, error);
    if (!p.Drain(error)) return false;
    ++p.frames;
    return true;
}

bool VideoFile::Finish(std::string& error) {
    Parts& p = *parts_;
    if (p.finished) return !p.failed;
    p.finished = true;
    bool ok = !p.failed;
    if (ok) {
        int status = avcodec_send_frame(p.codec.get(), nullptr);
        if (status < 0) ok = p.Fail("encode", status, error);
    }
    if (ok) ok = p.Drain(error);
    if (ok) {
        int status = av_write_trailer(p.format.get());
        if (status < 0) ok = p.Fail("write", status, error);
    }
    if (p.format->pb) {
        int status = avio_closep(&p.format->pb);
        if (ok && status < 0) ok = p.Fail("close", status, error);
    }
    struct stat info {};
    if (p.watch >= 0 && fstat(p.watch, &info) == 0 && info.st_nlink == 0 && ok) {
        p.failed = true;
        ok = false;
        error =
            FormatText(_("cannot write %s: it was removed while it was written"), p.path.c_str());
    }
    if (p.watch >= 0) close(p.watch);
    p.watch = -1;
    return ok;
}

long VideoFile::framesWritten() const {
    return parts_->frames;
}

const std::string& VideoFile::path() const {
    return parts_->path;
}

} // namespace video
