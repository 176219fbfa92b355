// A video file written frame by frame from RGBA pictures, through FFmpeg's libraries; the
// name's extension, in any letter case, chooses the container: H.264 in a fragmented MP4
// (".mp4"), VP9 in WebM (".webm") or H.264 in Matroska (".mkv"). Each frame's time stamp is
// its index at a fixed frame rate, so the video plays at the pace the frames were made for,
// whatever the time it took to make them.
//
// A file cut short keeps what was written: the MP4 is fragmented (a fragment per frame, the
// index in front), so it plays up to the last fragment on disk; a WebM plays up to its last
// whole cluster (at most a second).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace video {

// False with a one-line reason listing the extensions when `path` names no known container.
bool KnownVideoName(const std::string& path, std::string& error);

class VideoFile {
  public:
    // Opens `path` for `width` x `height` frames at `framesPerSecond` and writes the file's
    // header. Null with a one-line reason (naming the file, with the system's text for a write
    // error) when the file cannot be made.
    static std::unique_ptr<VideoFile> Create(const std::string& path, int width, int height,
                                             int framesPerSecond, std::string& error);
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // Encodes one frame of width x height RGBA pixels whose rows lie `rowBytes` apart; a
    // negative `rowBytes` with `rgba` at the top row's start reads a picture stored bottom row
    // first (as GL reads it back). False with a reason once writing has failed.
    bool WriteFrame(const uint8_t* rgba, long rowBytes, std::string& error);
    // Drains the encoder and writes the file's end. False with a reason when that fails (the
    // file then still holds what was written before) or when the file was removed while it was
    // written, its folder with it, so that nothing of it is left.
    bool Finish(std::string& error);

    long framesWritten() const;
    const std::string& path() const;

    struct Parts;

  private:
    explicit VideoFile(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

} // namespace video
