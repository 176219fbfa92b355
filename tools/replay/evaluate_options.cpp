// koltrep-evaluate's options: koltrep-replay's, read by the same parser, less the picture's.
#include "tools/replay/evaluate_options.h"

#include <string_view>
#include <vector>

#include <platform/i18n/i18n.h>

const char kEvaluateUsage[] =
    N_("usage: koltrep-evaluate --script FILE [--ticks N] [--trace FILE [--trace-steps]]\n"
       "                        [--measures] [--crank-speed X] [--friction X] [--perturb SEED]\n"
       "                        [--stop-at-tip] [--no-draw]\n"
       "       koltrep-evaluate --script FILE [--ticks N] --cells FILE [--measures] "
       "[--stop-at-tip]\n");

std::string EvaluateHelp() {
    return std::string(Translate(kEvaluateUsage)) +
           _("\n"
             "Runs a key script through the demo's tick without drawing, and writes the trace\n"
             "koltrep-replay --no-draw writes for it, byte for byte, without a window, a graphics\n"
             "driver or the video libraries.\n"
             "  --script FILE   the key script, as koltrep-replay reads it\n"
             "  --ticks N       run N ticks (default: as koltrep-replay)\n"
             "  --trace FILE    write one CSV row per tick\n"
             "  --trace-steps   one row per physics step instead\n"
             "  --measures      the trace gains the walk's measures' columns\n"
             "  --crank-speed X start at crank speed X instead of 3.0\n"
             "  --friction X    start at ground friction X instead of 350\n"
             "  --perturb SEED  start with the machine moved by up to 0.5 mm, drawn from SEED\n"
             "  --cells FILE    run the cells of FILE one after another, a line\n"
             "                  \"CRANK_SPEED FRICTION PERTURB TRACE\" (PERTURB a seed or -); a "
             "line\n"
             "                  \"machine FILE\" builds FILE's machine for the cells after it\n"
             "  --stop-at-tip   end a run (a cell) at the first tick the chassis is tilted beyond\n"
             "                  90 degrees; stdout says \"tipped over at tick N: TRACE\"\n"
             "  --no-draw       accepted for koltrep-replay's command lines; it never draws\n"
             "  -h, --help      show this text and exit\n"
             "  --version       show the version and exit\n");
}

bool ParseEvaluateOptions(int argc, char** argv, EvaluateOptions& options, std::string& error) {
    options = EvaluateOptions{};
    // Its own option comes out before the replay's parser, which knows no other; --no-draw
    // goes in, so that --cells needs none here.
    static char noDraw[] = "--no-draw";
    std::vector<char*> args = {argv[0], noDraw};
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--frames" || arg == "--every" || arg == "--shot" || arg == "--video" ||
            arg == "--timing") {
            error = FormatText(_("%s is koltrep-replay's: this program never draws"),
                               std::string(arg).c_str());
            return false;
        }
        if (arg == "--stop-at-tip")
            options.stopAtTip = true;
        else if (arg != noDraw)
            args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    return ParseReplayOptions(static_cast<int>(args.size()) - 1, args.data(), options.replay,
                              error);
}
