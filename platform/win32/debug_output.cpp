// OutputDebugStringA: there is no debugger channel on Linux, so the text goes to stderr, or to
// the sink a test installs. Limits: the text is passed on as it is (UTF-8).
#include <cstdio>

#include "services.h"
#include "windows.h"

namespace platform {
namespace {
DebugOutputSink* debugOutputSink = nullptr;
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
    std::fputs(text, stderr);
    std::fflush(stderr);
}
