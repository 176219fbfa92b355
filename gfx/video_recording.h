// Video of the frames as they are drawn, one frame per tick, so a video plays at the program's
// own pace however long the ticks took: koltrep-replay --video, and F9 in the program.
#pragma once

#include <string>

#include "gfx/video/video_recorder.h"

// One frame per 50 ms tick, of the back buffer's size, which the device set-up fixes (a video
// can thus be opened before the device exists, and a bad file name fails before the run).
constexpr int kVideoFramesPerSecond = 20;
constexpr int kVideoWidth = 640, kVideoHeight = 480;

// Opens `recorder` on `path` for frames of the back buffer at one frame per tick.
bool OpenTickVideo(video::VideoRecorder& recorder, const std::string& path, std::string& error);
// Waits until the video is complete and says how it ended in one line: saved, with its frames
// and length, or cut short, with the reason and the frames it keeps. False when cut short.
bool CloseTickVideo(video::VideoRecorder& recorder, std::string& line);
// Reads the back buffer of the frame just drawn into the recorder's queue (waiting while the
// queue is full). False when the back buffer cannot be read or is not of the video's size.
bool CaptureTickVideoFrame(video::VideoRecorder& recorder);

// The folder F9 records into: XDG_VIDEOS_DIR from user-dirs.dirs (in `configHome`, else in
// `home`/.config), else `home`/Videos, made (mode 0755) when missing, as an absolute path.
// "" with the reason in `error` when there is none or it cannot be made.
std::string VideoFolder(const char* home, const char* configHome, std::string& error);

// F9: starts recording into the videos folder as koltrep_YYYY-MM-DD_HH-MM-SS.mp4, or stops the
// recording. Each says so in one line on stderr naming the file, or why it failed.
void ToggleVideoRecording();
// Called between the last drawing of a frame and its presentation: while recording, the frame
// goes into the video and the "REC" mark is drawn over it on screen only. Also reports a
// recording that has failed or finished being written. Nothing at all while not recording.
void RecordVideoFrame();
// At the end of the run: waits until the video being written is complete.
void FinishVideoRecording();
