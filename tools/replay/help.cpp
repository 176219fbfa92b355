// The text of koltrep-replay --help, with the key names taken from the table the script
// reader uses, so the two cannot disagree.
#include "tools/replay/help.h"

#include "records/key_script.h"
#include "tools/replay/options.h"

#include <cstring>

#include <platform/i18n/i18n.h>

namespace {

const char kOptions[] = N_(
    "\n"
    "Runs the demo headless (SDL's offscreen driver, a virtual 50 ms clock) from a key script\n"
    "and presses Escape after the last tick.\n"
    "  --script FILE   the key script: one event per line, \"TICK KEY down\" or \"TICK KEY up\";\n"
    "                  ticks count from 0, '#' starts a comment; \"#@ TICK ...\" lines are the\n"
    "                  panel's changes and the hand's pulls (man koltrep-replay)\n"
    "  --ticks N       run N ticks (default: the count a recorded script states on its last\n"
    "                  line, else the tick of its last event plus one)\n"
    "  --trace FILE    write one CSV row per tick: the machine's pose and the controls\n"
    "  --trace-steps   write the trace's rows by physics step (first column \"step\"), so\n"
    "                  runs at different rates (keys - and =) compare row for row\n"
    "  --measures      the trace gains the walk's measures: the crank motors' positive work\n"
    "                  so far, the weight, and each leg's stance and foot point on the chassis\n"
    "  --no-draw       run the controls and the physics step alone, without drawing\n"
    "  --frames DIR    save every frame as DIR/TICK.png\n"
    "  --every K       with --frames, every K-th frame only\n"
    "  --shot FILE     save the last frame as a PNG\n"
    "  --video FILE    write every frame to a video at 20 frames a second; the extension\n"
    "                  chooses: .mp4 (H.264 in MP4), .webm (VP9), .mkv (H.264 in Matroska)\n"
    "  --timing        print tick wall times, start-up time, allocations and memory\n"
    "  --crank-speed X start at crank speed X instead of the machine's (3.0 built in; the\n"
    "                  \"Rotation/Sec\" value, which the crank motors take as radians per\n"
    "                  simulated second)\n"
    "  --friction X    start at ground friction X instead of the machine's (350 built in)\n"
    "  --machine FILE  build the machine FILE describes (koltrep-inspect machine prints the\n"
    "                  built-in one); without it, the machine a recorded script names, else\n"
    "                  the built-in one. Exit code 2 when a file does not check\n"
    "  --data DIR      read the data files from DIR (as KOLTREP_DATA_DIR does)\n"
    "  --perturb SEED  start with the machine moved by up to 0.5 mm along x, y and z, drawn\n"
    "                  from SEED (repeat R of a sweep with --seed S is SEED = S + R)\n"
    "  --cells FILE    with --no-draw: run the cells of FILE one after another, a line\n"
    "                  \"CRANK_SPEED FRICTION PERTURB TRACE\" (PERTURB a seed or -); a line\n"
    "                  \"machine FILE\" builds FILE's machine for the cells after it\n"
    "  -h, --help      show this text and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Key names (any letter case):\n");

} // namespace

std::string ReplayHelp() {
    std::string text = std::string(Translate(kReplayUsage)) + Translate(kOptions) + " ";
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
