// The frame queue between the program's thread and the encoding thread.
#include "gfx/video/video_recorder.h"

#include <chrono>

namespace video {

namespace {

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

VideoRecorder::~VideoRecorder() {
    std::string ignored;
    Close(ignored);
}

bool VideoRecorder::Open(const std::string& path, int width, int height, int framesPerSecond,
                         std::string& error, int queueFrames) {
    if (isOpen()) {
        error = "cannot record " + path + ": " + path_ + " is still being recorded";
        return false;
    }
    if (queueFrames < 1) queueFrames = 1;
    std::unique_ptr<VideoFile> file =
        VideoFile::Create(path, width, height, framesPerSecond, error);
    if (!file) return false;
    file_ = std::move(file);
    path_ = path;
    frameBytes_ = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    rowBytes_ = static_cast<long>(width) * 4;
    height_ = height;
    slots_.assign(static_cast<size_t>(queueFrames), std::vector<uint8_t>(frameBytes_));
    head_ = count_ = 0;
    closing_ = done_ = failed_ = false;
    error_.clear();
    written_ = queued_ = fullWaits_ = 0;
    fullWaitNs_ = 0;
    thread_ = std::thread(&VideoRecorder::Encode, this);
    return true;
}

uint8_t* VideoRecorder::FrameToFill() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (count_ == slots_.size()) {
        ++fullWaits_;
        int64_t start = NowNs();
        slotFreed_.wait(lock, [this] { return count_ < slots_.size(); });
        fullWaitNs_ += NowNs() - start;
    }
    // The encoder only ever touches slots already queued, so the free one is this thread's.
    return slots_[(head_ + count_) % slots_.size()].data();
}

void VideoRecorder::QueueFrame() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
    }
    ++queued_;
    frameQueued_.notify_one();
}

void VideoRecorder::Encode() {
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        frameQueued_.wait(lock, [this] { return count_ > 0 || closing_; });
        if (count_ == 0) break; // closing, and nothing left
        const uint8_t* slot = slots_[head_].data();
        bool writing = !failed_;
        long frame = written_;
        lock.unlock();

        std::string error;
        bool ok = true;
        if (writing) {
            if (beforeEncode) beforeEncode(frame);
            // Bottom row first: start at the top row, the last one in memory, and step back.
            ok = file_->WriteFrame(slot + (height_ - 1) * rowBytes_, -rowBytes_, error);
        }

        lock.lock();
        if (writing && ok) ++written_;
        if (writing && !ok) {
            failed_ = true;
            error_ = error;
        }
        head_ = (head_ + 1) % slots_.size();
        --count_;
        lock.unlock();
        slotFreed_.notify_one();
    }
    std::string error;
    bool ok = file_->Finish(error);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ok && !failed_) {
        failed_ = true;
        error_ = error;
    }
    done_ = true;
}

void VideoRecorder::RequestClose() {
    if (!isOpen()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    frameQueued_.notify_one();
}

bool VideoRecorder::Finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

bool VideoRecorder::Close(std::string& error) {
    if (!isOpen()) return true;
    RequestClose();
    thread_.join();
    file_.reset();
    slots_.clear();
    slots_.shrink_to_fit();
    if (failed_) error = error_;
    return !failed_;
}

bool VideoRecorder::Failed(std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) error = error_;
    return failed_;
}

long VideoRecorder::framesWritten() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

} // namespace video
