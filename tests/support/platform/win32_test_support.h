// Test seams for the Win32 stand-in and the application shell: a private X server, recorded
// debugger output and message boxes, and scratch folders.
#pragma once

#include <platform/win32/services.h>

#include <sys/types.h>

#include <string>
#include <vector>

namespace win32_test {

// An Xvfb of this test process's own; it dies with the process at the latest.
class XServer {
  public:
    // `screen` as Xvfb takes it: WIDTHxHEIGHTxDEPTH.
    explicit XServer(const std::string& screen = "1024x768x24");
    ~XServer() { Kill(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    // ":N", or empty when the server could not be started.
    const std::string& display() const { return display_; }
    pid_t pid() const { return pid_; }
    void Kill();

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// The one XServer of the process, started on the first call with the screen that call names
// and kept for the rest of the process; SDL is pointed at it. Null when no X server can be
// started.
const XServer* PrivateXServer(const std::string& screen = "1024x768x24");
// The same for callers that need no more than whether it runs.
inline bool StartPrivateXServer() {
    return PrivateXServer() != nullptr;
}

// Collects everything written to the debugger output while it lives.
class DebugOutput final : public platform::DebugOutputSink {
  public:
    DebugOutput() { platform::SetDebugOutputSink(this); }
    ~DebugOutput() override { platform::SetDebugOutputSink(nullptr); }
    void Write(const char* text) override { text_ += text; }
    const std::string& text() const { return text_; }
    // The text cut after each "\n" (a trailing piece without one is a line too).
    std::vector<std::string> Lines() const;
    int Count(const std::string& line) const;
    void Clear() { text_.clear(); }

  private:
    std::string text_;
};

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Records message boxes instead of showing them while it lives.
class MessageBoxes final : public platform::MessageBoxSink {
  public:
    MessageBoxes() { platform::SetMessageBoxSink(this); }
    ~MessageBoxes() override { platform::SetMessageBoxSink(nullptr); }
    int Show(HWND owner, const char* text, const char* caption, UINT type) override {
        shown.push_back({owner, text, caption, type});
        return IDOK;
    }
    std::vector<Box> shown;
};

// A fresh folder under the temp directory, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Another process that opens a named mutex (under the lock folder set when it starts), waits on
// it without blocking, and keeps what it got until told to release it or killed.
class MutexHolder {
  public:
    explicit MutexHolder(const char* name);
    ~MutexHolder() { Kill(); }
    MutexHolder(const MutexHolder&) = delete;
    MutexHolder& operator=(const MutexHolder&) = delete;
    // What its WaitForSingleObject returned.
    DWORD waitResult() const { return waitResult_; }
    void ReleaseAndExit();
    void Kill(); // SIGKILL: the holder dies without releasing anything

  private:
    void Reap();
    pid_t pid_ = -1;
    int command_ = -1;
    DWORD waitResult_ = WAIT_FAILED;
};

std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

} // namespace win32_test
