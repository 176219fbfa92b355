// OutputDebugStringA: on Windows the text is seen only in a debugger. Here it goes to stderr
// only while a debugger is attached (a tracer in /proc/self/status) or when KOLTREP_DEBUG=1 asks
// for it, so a normal run keeps the terminal quiet; a test may install a sink instead.
// Limits: the text is passed on as it is (UTF-8).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <platform/win32/services.h>
#include <windows.h>

namespace platform {
namespace {
DebugOutputSink* debugOutputSink = nullptr;

bool TracerInProcStatus() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            tracer = std::strtol(line + 10, nullptr, 10);
            break;
        }
    std::fclose(status);
    return tracer != 0;
}

// The start-up writes a line at a time, a hundred or more; asking /proc once a second still sees
// a debugger attached later, without a file opened for every line.
bool DebuggerAttached() {
    static bool attached = false;
    static time_t checkedSecond = -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec != checkedSecond) {
        attached = TracerInProcStatus();
        checkedSecond = now.tv_sec;
    }
    return attached;
}

} // namespace

bool DebugOutputWanted() {
    const char* wanted = std::getenv("KOLTREP_DEBUG");
    return (wanted && std::strcmp(wanted, "1") == 0) || DebuggerAttached();
}

void SetDebugOutputSink(DebugOutputSink* sink) {
    debugOutputSink = sink;
}

} // namespace platform

void OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) return;
    if (platform::debugOutputSink) {
        platform::debugOutputSink->Write(text);
        return;
    }
    if (!platform::DebugOutputWanted()) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}
