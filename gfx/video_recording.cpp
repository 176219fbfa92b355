// Video recording: the frame read back into the encoder's queue each tick, and F9's recording
// with its mark on screen. The encoder runs on its own thread (gfx/video), so a tick pays only
// for reading the back buffer and handing it over.
#include "gfx/video_recording.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "gfx/overlay.h"
#include "gfx/screenshot.h"

#include <platform/d3d8/d3d8_linux.h>
#include <platform/i18n/i18n.h>

namespace {

// The user-facing texts of recording, kept together.
constexpr char kRecordingStarted[] = N_("Recording video to %s (F9 stops)");
constexpr char kRecordingSaved[] = N_("Video saved: %s (%ld frames, %.1f s)");
constexpr char kRecordingFailed[] = N_("Video not recorded: %s");
constexpr char kRecordingCutShort[] =
    N_("Video cut short: %s; %s keeps the %ld frames written before");
constexpr char kRecordingLost[] = N_("Video lost: %s; nothing of it is left");
constexpr char kNoVideosFolder[] =
    N_("no videos folder: HOME is not set and user-dirs.dirs names none");
constexpr char kCannotReadPicture[] =
    N_("Video recording stopped: the picture could not be read back");

video::VideoRecorder liveRecorder;
bool recordingOn = false; // frames go into liveRecorder
bool closing = false;     // stopped, the encoder still writing the end of the file

// An action of ours says what it did: a notice in the picture and one line on stderr.
void AnnounceRecording(const std::string& text) {
    std::fprintf(stderr, "koltrep: %s\n", text.c_str());
    ShowNotice(text);
}

void Announce(const char* format, const std::string& a) {
    AnnounceRecording(FormatText(Translate(format), a.c_str()));
}

// Reports how the recording being written ended, once it has: saved, or cut short.
void ReportClosed() {
    std::string line;
    CloseTickVideo(liveRecorder, line);
    AnnounceRecording(line);
    closing = false;
}

void StopRecording() {
    recordingOn = false;
    closing = true;
    liveRecorder.RequestClose();
}

void StartRecording() {
    if (closing) ReportClosed(); // the last one ends first: one file at a time
    std::string error;
    std::string folder = VideoFolder(std::getenv("HOME"), std::getenv("XDG_CONFIG_HOME"), error);
    if (folder.empty()) {
        Announce(kRecordingFailed, error);
        return;
    }
    std::string path;
    if (!FreeTimestampedName(folder, ".mp4", path, error) ||
        !OpenTickVideo(liveRecorder, path, error)) {
        Announce(kRecordingFailed, error);
        return;
    }
    recordingOn = true;
    Announce(kRecordingStarted, path);
}

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

// A red dot and "REC" in the top-right corner, which the help and the camera line leave free.
void DrawRecordingMark() {
    constexpr int kSides = 16;
    constexpr float kX = 592.0f, kY = 9.0f, kRadius = 6.0f;
    ScreenVertex fan[kSides + 2];
    fan[0] = {kX, kY, 0, 1, 0xFFFF2020};
    for (int i = 0; i <= kSides; ++i) {
        float angle = 6.2831853f * static_cast<float>(i) / kSides;
        fan[i + 1] = {kX + kRadius * std::cos(angle), kY + kRadius * std::sin(angle), 0, 1,
                      0xFFFF2020};
    }
    // The frame's states are put back, so the next frame draws as it would without the mark.
    IDirect3DBaseTexture8* texture = nullptr;
    DWORD lighting = FALSE, depth = D3DZB_TRUE;
    d3dDevice->GetTexture(0, &texture);
    d3dDevice->GetRenderState(D3DRS_LIGHTING, &lighting);
    d3dDevice->GetRenderState(D3DRS_ZENABLE, &depth);
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    VertexBuffer vb;
    if (vb.Create(fan, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, sizeof fan)) vb.DrawFan(kSides);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, depth);
    d3dDevice->SetRenderState(D3DRS_LIGHTING, lighting);
    d3dDevice->SetTexture(0, texture);
    if (texture) texture->Release();
    BeginText();
    DrawTextAt(602, 1, "REC");
    EndText();
}

} // namespace

bool OpenTickVideo(video::VideoRecorder& recorder, const std::string& path, std::string& error) {
    return recorder.Open(path, kVideoWidth, kVideoHeight, kVideoFramesPerSecond, error);
}

bool CloseTickVideo(video::VideoRecorder& recorder, std::string& line) {
    std::string error;
    const std::string path = recorder.path();
    const bool saved = recorder.Close(error);
    // Counted after the close: the frames still queued are written by then.
    const long frames = recorder.framesWritten();
    struct stat info {};
    if (saved)
        line = FormatText(Translate(kRecordingSaved), path.c_str(), frames,
                          static_cast<double>(frames) / kVideoFramesPerSecond);
    else if (stat(path.c_str(), &info) == 0)
        line = FormatText(Translate(kRecordingCutShort), error.c_str(), path.c_str(), frames);
    else
        line = FormatText(Translate(kRecordingLost), error.c_str());
    return saved;
}

bool CaptureTickVideoFrame(video::VideoRecorder& recorder) {
    uint8_t* slot = recorder.FrameToFill();
    const size_t bytes = static_cast<size_t>(kVideoWidth) * kVideoHeight * 4;
    if (!platform::d3d8::ReadBackBufferBottomUp(d3dDevice, slot, bytes)) return false;
    recorder.QueueFrame();
    return true;
}

std::string VideoFolder(const char* home, const char* configHome, std::string& error) {
    std::string folder = UserDirsFolder(home, configHome, "XDG_VIDEOS_DIR");
    if (folder.empty() && home && *home) folder = std::string(home) + "/Videos";
    if (folder.empty()) {
        error = Translate(kNoVideosFolder);
        return "";
    }
    if (!MakeFolders(folder, error)) return "";
    char absolute[PATH_MAX];
    if (realpath(folder.c_str(), absolute)) folder = absolute;
    return folder;
}

void ToggleVideoRecording() {
    if (recordingOn)
        StopRecording();
    else
        StartRecording();
}

void RecordVideoFrame() {
    if (closing && liveRecorder.Finished()) ReportClosed();
    if (!recordingOn) return;
    std::string error;
    if (liveRecorder.Failed(error)) {
        StopRecording();
        return; // reported once the thread has let go of the file
    }
    if (!CaptureTickVideoFrame(liveRecorder)) {
        AnnounceRecording(Translate(kCannotReadPicture));
        StopRecording();
        return;
    }
    DrawRecordingMark();
}

void FinishVideoRecording() {
    if (recordingOn) StopRecording();
    if (closing) ReportClosed();
}
