// The replaceable services of the Win32 stand-in. The program never calls these; tests and the
// replay runner do, to record what would be shown, to keep their lock files apart and to play
// the part of the window manager.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

namespace platform {

// Receives MessageBoxA calls instead of showing a box.
class MessageBoxSink {
  public:
    virtual ~MessageBoxSink() = default;
    // Returns the button the box would have been closed with.
    virtual int Show(HWND owner, const char* text, const char* caption, UINT type) = 0;
};
// nullptr restores the default: the text on stderr, and a box window of our own where a display
// can show one.
void SetMessageBoxSink(MessageBoxSink* sink);

// Receives OutputDebugStringA text (UTF-8) instead of stderr.
class DebugOutputSink {
  public:
    virtual ~DebugOutputSink() = default;
    virtual void Write(const char* text) = 0;
};
// nullptr restores the default: stderr while a debugger is attached or KOLTREP_DEBUG=1, else
// nowhere.
void SetDebugOutputSink(DebugOutputSink* sink);
// Whether the default would write to stderr now.
bool DebugOutputWanted();

// Folder of the single-instance lock files; empty restores the default ($XDG_RUNTIME_DIR,
// else the temp folder with the user id in the file name). Mutexes created afterwards use it.
void SetLockFolder(const std::string& folder);
// Full path of the lock file a mutex of this name uses under the current settings.
std::string LockFilePath(const char* mutexName);

// Stands in for /proc/self/exe in GetModuleFileNameA; empty restores the real path.
void SetModulePath(const std::string& path);

// What the window manager would tell a window. Each becomes the SDL event a real window
// manager would cause, queued behind the events already waiting, so it reaches the window
// procedure through the ordinary PeekMessageA path.
enum class WindowEvent {
    FocusGained,
    FocusLost,
    Resized, // the window takes width x height first, as a user's drag would
    Minimized,
    Restored,
    Exposed,
    Close,         // the close box
    DisplayChanged // the desktop's display mode changed
};
// False when the handle is not a live window or SDL refuses the event.
bool InjectWindowEvent(HWND window, WindowEvent event, int width = 0, int height = 0);

// Called by WaitMessage when the queue is empty, just before it would block: a test uses it to
// let time pass and deliver what wakes the program up. An empty function removes it.
void SetWaitHook(std::function<void()> hook);

} // namespace platform
