// The text of koltrep-replay --help, with the key names taken from the table the script
// reader uses, so the two cannot disagree.
#include "tools/replay/help.h"

#include "tools/replay/key_script.h"
#include "tools/replay/options.h"

#include <cstring>

namespace {

const char kOptions[] =
    "\n"
    "Runs the demo headless (SDL's offscreen driver, a virtual 50 ms clock) from a key script\n"
    "and presses Escape after the last tick.\n"
    "  --script FILE   the key script: one event per line, \"TICK KEY down\" or \"TICK KEY up\";\n"
    "                  ticks count from 0, '#' starts a comment\n"
    "  --ticks N       run N ticks\n"
    "  --trace FILE    write one CSV row per tick: the machine's pose and the controls\n"
    "  --no-draw       run the controls and the physics step alone, without drawing\n"
    "  --frames DIR --every K   save every K-th frame as DIR/TICK.png\n"
    "  --shot FILE     save the last frame as a PNG\n"
    "  --video FILE    write every frame to a video at 20 frames a second: H.264 in MP4, or\n"
    "                  VP9 when FILE ends in .webm\n"
    "  --timing        print tick wall times, start-up time, allocations and memory\n"
    "  --help, --version\n"
    "\n"
    "Key names (any letter case):\n";

} // namespace

std::string ReplayHelp() {
    std::string text = std::string(kReplayUsage) + kOptions + " ";
    size_t column = 1;
    for (int i = 0; i < kKeyNameCount; ++i) {
        const size_t length = std::strlen(kKeyNames[i].name);
        if (column + 1 + length > 78) {
            text += "\n ";
            column = 1;
        }
        text.append(" ").append(kKeyNames[i].name);
        column += 1 + length;
    }
    return text + "\n";
}
