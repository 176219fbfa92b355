// Recording a live drive.
#include "app/drive_record.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <platform/i18n/i18n.h>

#include "app/application.h"
#include "input/input.h"
#include "tools/replay/key_script.h"
#include "tools/replay/trace.h"

const char kDriveOptionsUsage[] =
    "  --record FILE  write the session's keys as a replay script\n"
    "  --trace FILE   write the replay runner's trace of the session\n";

namespace {

struct DriveRecording {
    std::FILE* script = nullptr;
    std::string scriptPath;
    bool scriptFailed = false;
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

void WriteKeyChanges() {
    for (int key = 0; key < 256; ++key) {
        bool down = (keyState[key] & 0x80) != 0;
        if (down == ((prevKeyState[key] & 0x80) != 0)) continue;
        // Keys without a script name are read by nothing in the program.
        if (!recording.keyNames[key]) continue;
        if (std::fprintf(recording.script, "%ld %s %s\n", recording.tick, recording.keyNames[key],
                         down ? "down" : "up") < 0)
            recording.scriptFailed = true;
    }
}

// The Application's hook after each tick, the same one the replay runner uses: the key changes
// the tick's sample brought and the trace row of the tick just run.
void RecordTick() {
    if (recording.script) WriteKeyChanges();
    if (recording.trace.IsOpen()) recording.trace.Write(CaptureTraceRow(recording.tick));
    ++recording.tick;
}

bool OpenScript(const std::string& path, std::string& error) {
    recording.script = std::fopen(path.c_str(), "w");
    if (!recording.script) {
        error = FormatText(_("cannot write %s: %s"), path.c_str(), std::strerror(errno));
        return false;
    }
    // The script's last line names it as a command to paste, which works from any folder.
    char* absolute = realpath(path.c_str(), nullptr);
    recording.scriptPath = absolute != nullptr ? absolute : path;
    std::free(absolute);
    std::fprintf(recording.script, "# Keys of a live koltrep session, by tick.\n");
    for (int i = 0; i < kKeyNameCount; ++i)
        recording.keyNames[kKeyNames[i].key & 0xFF] = kKeyNames[i].name;
    return true;
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
            error = FormatText(_("%s needs a file name"), argv[i]);
            return false;
        }
        if (!target->empty()) {
            error = FormatText(_("%s given twice"), argv[i]);
            return false;
        }
        *target = argv[++i];
    }
    argc = kept;
    argv[argc] = nullptr;
    if (!scriptPath.empty() && scriptPath == tracePath) {
        error = _("--record and --trace need two different files");
        return false;
    }
    if (!scriptPath.empty() && !OpenScript(scriptPath, error)) return false;
    if (!tracePath.empty() && !recording.trace.Open(tracePath.c_str(), error)) return false;
    return true;
}

void StartDriveRecording() {
    if (!recording.script && !recording.trace.IsOpen()) return;
    application.afterTick = RecordTick;
}

bool FinishDriveRecording(std::string& error) {
    bool ok = true;
    if (recording.script) {
        std::fprintf(recording.script, "# %ld ticks: koltrep-replay --script %s --ticks %ld\n",
                     recording.tick, ShellWord(recording.scriptPath).c_str(), recording.tick);
        if (std::fclose(recording.script) != 0 || recording.scriptFailed) {
            error = FormatText(_("cannot write %s"), recording.scriptPath.c_str());
            ok = false;
        }
        recording.script = nullptr;
    }
    std::string traceError;
    if (recording.trace.IsOpen() && !recording.trace.Close(traceError)) {
        error = error.empty() ? traceError : error + "; " + traceError;
        ok = false;
    }
    return ok;
}
