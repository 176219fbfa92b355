// Recording a live drive.
#include "app/drive_record.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <platform/win32/output_files.h>

#include "app/application.h"
#include "input/input.h"
#include "tools/replay/key_script.h"
#include "tools/replay/trace.h"

const char kDriveOptionsUsage[] =
    "  --record FILE  write the session's keys as a replay script\n"
    "  --trace FILE   write the replay runner's trace of the session\n";

namespace {

struct DriveRecording {
    int script = -1;
    std::string scriptPath;
    std::string scriptReason; // why a write failed; empty while none has
    std::string pending;      // the lines of the tick being recorded
    TraceWriter trace;
    long tick = 0;
    const char* keyNames[256] = {};
};

DriveRecording recording;

// The tick's lines go out in one write at its end, so a process killed at any moment leaves a
// script of whole ticks that replays as far as it goes.
void WriteScript(const std::string& text) {
    const char* at = text.data();
    size_t left = text.size();
    while (left > 0 && recording.scriptReason.empty()) {
        const ssize_t done = write(recording.script, at, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            recording.scriptReason = done < 0 ? std::strerror(errno) : "nothing written";
            break;
        }
        at += done;
        left -= size_t(done);
    }
}

void WriteKeyChanges() {
    recording.pending.clear();
    for (int key = 0; key < 256; ++key) {
        bool down = (keyState[key] & 0x80) != 0;
        if (down == ((prevKeyState[key] & 0x80) != 0)) continue;
        // Keys without a script name are read by nothing in the program.
        if (!recording.keyNames[key]) continue;
        char line[64];
        std::snprintf(line, sizeof line, "%ld %s %s\n", recording.tick, recording.keyNames[key],
                      down ? "down" : "up");
        recording.pending += line;
    }
    if (!recording.pending.empty()) WriteScript(recording.pending);
}

// The Application's hook after each tick, the same one the replay runner uses: the key changes
// the tick's sample brought and the trace row of the tick just run.
void RecordTick() {
    if (recording.script >= 0) WriteKeyChanges();
    if (recording.trace.IsOpen()) recording.trace.Write(CaptureTraceRow(recording.tick));
    ++recording.tick;
}

void StartScript(int fd, const std::string& path) {
    recording.script = fd;
    recording.scriptPath = path;
    recording.pending.reserve(4096);
    WriteScript("# Keys of a live koltrep session, by tick.\n");
    for (int i = 0; i < kKeyNameCount; ++i)
        recording.keyNames[kKeyNames[i].key & 0xFF] = kKeyNames[i].name;
}

} // namespace

bool TakeDriveOptions(int& argc, char** argv, std::string& error) {
    std::string scriptPath, tracePath;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string* target = arg == "--record"  ? &scriptPath
                              : arg == "--trace" ? &tracePath
                                                 : nullptr;
        if (!target) {
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            error = std::string(arg) + " needs a file name";
            return false;
        }
        if (!target->empty()) {
            error = std::string(arg) + " given twice";
            return false;
        }
        *target = argv[++i];
    }
    argc = kept;
    argv[argc] = nullptr;
    // Both are checked, by the files they reach, before either is touched, and opened before
    // either is emptied: a refused start leaves an earlier recording as it was.
    platform::OutputCheck check;
    std::vector<std::string> paths;
    if (!scriptPath.empty()) {
        check.OutputFile("--record", scriptPath);
        paths.push_back(scriptPath);
    }
    if (!tracePath.empty()) {
        check.OutputFile("--trace", tracePath);
        paths.push_back(tracePath);
    }
    std::vector<int> fds;
    if (!check.Check(error) || !platform::OpenOutputFiles(paths, fds, error)) return false;
    size_t next = 0;
    if (!scriptPath.empty()) StartScript(fds[next++], scriptPath);
    if (!tracePath.empty()) recording.trace.Adopt(fds[next], tracePath.c_str());
    return true;
}

void StartDriveRecording() {
    if (recording.script < 0 && !recording.trace.IsOpen()) return;
    application.afterTick = RecordTick;
}

bool FinishDriveRecording(std::string& error) {
    bool ok = true;
    if (recording.script >= 0) {
        char last[128];
        std::snprintf(last, sizeof last, "# %ld ticks: koltrep-replay --script FILE --ticks %ld\n",
                      recording.tick, recording.tick);
        WriteScript(last);
        if (close(recording.script) != 0 && recording.scriptReason.empty())
            recording.scriptReason = std::strerror(errno);
        recording.script = -1;
        if (!recording.scriptReason.empty()) {
            error = "cannot write " + recording.scriptPath + ": " + recording.scriptReason;
            ok = false;
        }
    }
    std::string traceError;
    if (recording.trace.IsOpen() && !recording.trace.Close(traceError)) {
        error = error.empty() ? traceError : error + "; " + traceError;
        ok = false;
    }
    return ok;
}
