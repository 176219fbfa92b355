// Encoding on a thread of its own, so the program's tick does not wait for the encoder.
//
// The program's thread fills one frame slot at a time and queues it; the encoding thread takes
// the slots in order and writes them to a VideoFile. The slots are a fixed pool, made when a
// recording opens and let go when it closes: nothing is allocated per frame. No frame is ever
// dropped: when every slot is queued (the encoder has fallen behind by the whole pool), the
// program's thread waits in FrameToFill until the encoder frees the oldest one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gfx/video/video_file.h"

namespace video {

class VideoRecorder {
  public:
    // Frames the queue holds: 0.8 s of video at 20 frames a second, 20 MB at 640 x 480.
    static constexpr int kDefaultQueueFrames = 16;

    VideoRecorder() = default;
    ~VideoRecorder(); // finishes the file, as Close
    VideoRecorder(const VideoRecorder&) = delete;
    VideoRecorder& operator=(const VideoRecorder&) = delete;

    // Opens the file (see VideoFile::Create) and starts the encoding thread. False with a
    // reason when the file cannot be made or a recording is already open.
    bool Open(const std::string& path, int width, int height, int framesPerSecond,
              std::string& error, int queueFrames = kDefaultQueueFrames);
    bool isOpen() const { return thread_.joinable(); }

    // The program's thread: a slot of width x height x 4 bytes to read the next frame into,
    // waiting while the queue is full. Then QueueFrame hands it to the encoder. Frames are
    // stored bottom row first, as GL reads them back.
    uint8_t* FrameToFill();
    void QueueFrame();

    // Asks the encoding thread to write what is queued and end the file, without waiting.
    void RequestClose();
    // True once the encoding thread has ended after RequestClose (or a failure); Close then
    // returns at once.
    bool Finished();
    // Waits for the queued frames to be written and the file ended, and ends the thread.
    // False with the reason when writing failed at any point (the file then holds the frames
    // written before it). A recorder that was never opened closes with true.
    bool Close(std::string& error);

    // Whether writing has failed; the frames queued after that are let go unwritten, so the
    // program never waits on a broken file. `error` gets the reason.
    bool Failed(std::string& error);

    // Frames queued so far and frames the encoder has written.
    long framesQueued() const { return queued_; }
    long framesWritten();
    // How often, and for how long in all, the program's thread waited for a free slot.
    long fullWaits() const { return fullWaits_; }
    double fullWaitSeconds() const { return fullWaitNs_ / 1e9; }
    const std::string& path() const { return path_; }

    // A seam for tests: runs on the encoding thread before each frame is encoded (a test
    // slows the encoder with it). Set it before Open.
    std::function<void(long frame)> beforeEncode;

  private:
    void Encode();

    std::unique_ptr<VideoFile> file_;
    std::string path_;
    size_t frameBytes_ = 0;
    std::vector<std::vector<uint8_t>> slots_;
    long rowBytes_ = 0;
    int height_ = 0;

    std::mutex mutex_;
    std::condition_variable slotFreed_;
    std::condition_variable frameQueued_;
    size_t head_ = 0;  // oldest queued slot
    size_t count_ = 0; // queued slots (the one being encoded included)
    bool closing_ = false;
    bool done_ = false;
    bool failed_ = false;
    std::string error_;
    long written_ = 0;

    long queued_ = 0;
    long fullWaits_ = 0;
    int64_t fullWaitNs_ = 0;
    std::thread thread_;
};

} // namespace video
