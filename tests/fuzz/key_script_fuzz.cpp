// libFuzzer harness for the key-script reader: any bytes must parse or be refused with a line
// number, never crash, hang or leak; what parses holds known keys in tick order, each from a
// line of the text.
#include "records/key_script.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<KeyEvent> events;
    std::string error;
    if (!ParseKeyScript(text, events, error)) {
        if (!events.empty() || error.rfind("script:", 0) != 0) std::abort();
        return 0;
    }
    long lines = 1;
    for (char c : text)
        lines += c == '\n';
    for (size_t i = 0; i < events.size(); ++i) {
        const KeyEvent& event = events[i];
        if (event.tick < 0 || event.tick > 2147483647L || event.key < 0 || event.key > 255 ||
            event.line < 1 || event.line > lines || (i > 0 && events[i - 1].tick > event.tick))
            std::abort();
    }
    const long stated = StatedTickCount(text);
    if (stated < 0 || stated > 2147483647L) std::abort();
    return 0;
}
