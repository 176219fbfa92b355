// Recording a live drive.
#include "app/drive_record.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <platform/win32/output_files.h>

#include <platform/i18n/i18n.h>

#include "app/application.h"
#include "app/data_option.h"
#include "app/machine_option.h"
#include "app/value_options.h"
#include "input/input.h"
#include "records/key_script.h"
#include "sim/machine_save.h"
#include "sim/panel_actions.h"
#include "sim/trace_capture.h"

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

// The path as one word of a POSIX shell command: quoted unless it is plain. A line break would
// end the comment line and leave the rest to be read as an event, so such a path stays unnamed.
std::string ShellWord(const std::string& text) {
    if (text.find_first_of("\n\r") != std::string::npos) return "FILE";
    if (!text.empty() && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv"
                                                "wxyz0123456789/._-+,:@%") == std::string::npos)
        return text;
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

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
    // The panel's changes and the hand's pulls the tick applied, after its keys.
    for (PanelAction action : PanelActionsThisTick()) {
        action.tick = recording.tick;
        recording.pending += FormatPanelAction(action);
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
    // The script's last line names it as a command to paste, which works from any folder.
    char* absolute = realpath(path.c_str(), nullptr);
    recording.scriptPath = absolute != nullptr ? absolute : path;
    std::free(absolute);
    recording.pending.reserve(4096);
    WriteScript("# Keys of a live koltrep session, by tick.\n");
    // Only a session started from another machine or other inputs says so: a built-in start
    // records as it always has.
    const std::string start = RecordedStartLines(StartGivenByOptions());
    if (!start.empty()) WriteScript(start);
    for (int i = 0; i < kKeyNameCount; ++i)
        recording.keyNames[kKeyNames[i].key & 0xFF] = kKeyNames[i].name;
}

} // namespace

bool TakeDriveOptions(int& argc, char** argv, std::string& error) {
    std::string scriptPath, tracePath;
    if (!TakeValueOptions(argc, argv, {{"--record", &scriptPath}, {"--trace", &tracePath}},
                          _("%s needs a file name"), error))
        return false;
    // Both are checked, by the files they reach, before either is touched, and opened before
    // either is emptied: a refused start leaves an earlier recording as it was.
    platform::OutputCheck check;
    for (const std::string& file : DataFilesRead())
        check.Input(_("the data file"), file);
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
    // The panel's "Save as" writes over none of the session's files either.
    for (const std::string& file : DataFilesRead())
        KeepFromMachineSaves(_("the data file"), file);
    KeepFromMachineSaves("--record", scriptPath);
    KeepFromMachineSaves("--trace", tracePath);
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
        const std::string last =
            "# " + std::to_string(recording.tick) + " ticks: koltrep-replay --script " +
            ShellWord(recording.scriptPath) + " --ticks " + std::to_string(recording.tick) + "\n";
        WriteScript(last);
        if (close(recording.script) != 0 && recording.scriptReason.empty())
            recording.scriptReason = std::strerror(errno);
        recording.script = -1;
        if (!recording.scriptReason.empty()) {
            error = FormatText(_("cannot write %s: %s"), recording.scriptPath.c_str(),
                               recording.scriptReason.c_str());
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
