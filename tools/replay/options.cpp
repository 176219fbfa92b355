// Command-line parsing for koltrep-replay. Nothing here reaches the program's own option test:
// the runner hands the program a command line of its own.
#include "tools/replay/options.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include <platform/i18n/i18n.h>

const char kReplayUsage[] = N_(
    "usage: koltrep-replay --script FILE [--ticks N] [--trace FILE [--trace-steps] [--measures]]\n"
    "                      [--no-draw] [--frames DIR [--every K]] [--shot FILE]\n"
    "                      [--video FILE.mp4|.webm|.mkv]\n"
    "                      [--timing] [--crank-speed X] [--friction X] [--perturb SEED]\n"
    "                      [--machine FILE] [--data DIR]\n"
    "       koltrep-replay --script FILE [--ticks N] --no-draw --cells FILE [--measures]\n"
    "                      [--machine FILE] [--data DIR]\n");

namespace {

// A count from 1 to about two thousand million; anything else is refused rather than wrapped.
bool ParseCount(std::string_view text, long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && value >= 1 &&
           value <= 2147483647L;
}

// A finite number within [low, high], the whole text consumed.
bool ParseNumber(std::string_view text, float low, float high, float& value) {
    double parsed = 0.0;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || status != std::errc() || end != text.data() + text.size()) return false;
    if (!(parsed >= low && parsed <= high)) return false;
    value = static_cast<float>(parsed);
    return true;
}

} // namespace

bool ParseReplayOptions(int argc, char** argv, ReplayOptions& options, std::string& error) {
    options = ReplayOptions{};
    bool seenTicks = false; // 0 ticks: as many as the script asks for
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        // The option's value, once only.
        auto nextValue = [&](bool& seen) -> const char* {
            if (i + 1 >= argc) {
                error = FormatText(_("%s needs a value"), std::string(arg).c_str());
                return nullptr;
            }
            if (seen) {
                error = FormatText(_("%s given twice"), std::string(arg).c_str());
                return nullptr;
            }
            seen = true;
            return argv[++i];
        };
        auto needValue = [&](std::string& target) {
            bool seen = !target.empty();
            const char* value = nextValue(seen);
            if (value == nullptr) return false;
            target = value;
            if (target.empty()) {
                error = FormatText(_("%s needs a non-empty value"), std::string(arg).c_str());
                return false;
            }
            return true;
        };
        auto needCount = [&](long& target, bool& seen) {
            const char* value = nextValue(seen);
            if (value == nullptr) return false;
            if (!ParseCount(value, target)) {
                error = FormatText(_("%s needs a whole number from 1 to 2147483647, not '%s'"),
                                   std::string(arg).c_str(), value);
                return false;
            }
            return true;
        };
        // `refusal`: the whole message, the option's name and the value given in it.
        auto needNumber = [&](float& target, bool& seen, float low, float high,
                              const char* refusal) {
            const char* value = nextValue(seen);
            if (value == nullptr) return false;
            if (!ParseNumber(value, low, high, target)) {
                error = FormatText(refusal, std::string(arg).c_str(), value);
                return false;
            }
            return true;
        };
        bool seenEvery = options.every != 0;
        if (arg == "--script") {
            if (!needValue(options.script)) return false;
        } else if (arg == "--ticks") {
            if (!needCount(options.ticks, seenTicks)) return false;
        } else if (arg == "--trace") {
            if (!needValue(options.trace)) return false;
        } else if (arg == "--frames") {
            if (!needValue(options.framesDir)) return false;
        } else if (arg == "--every") {
            if (!needCount(options.every, seenEvery)) return false;
        } else if (arg == "--shot") {
            if (!needValue(options.shot)) return false;
        } else if (arg == "--trace-steps") {
            options.traceSteps = true;
        } else if (arg == "--video") {
            if (!needValue(options.video)) return false;
        } else if (arg == "--measures") {
            options.measures = true;
        } else if (arg == "--no-draw") {
            options.noDraw = true;
        } else if (arg == "--timing") {
            options.timing = true;
        } else if (arg == "--crank-speed") {
            if (!needNumber(options.crankSpeed, options.setCrankSpeed, -100.0f, 100.0f,
                            _("%s needs a number from -100 to 100, not '%s'")))
                return false;
        } else if (arg == "--friction") {
            if (!needNumber(options.friction, options.setFriction, 0.0f, 1e9f,
                            _("%s needs a number from 0 to 1e9, not '%s'")))
                return false;
        } else if (arg == "--perturb") {
            const char* value = nextValue(options.perturb);
            if (value == nullptr) return false;
            std::string_view text = value;
            auto [end, status] =
                std::from_chars(text.data(), text.data() + text.size(), options.perturbSeed);
            if (text.empty() || status != std::errc() || end != text.data() + text.size()) {
                error = FormatText(
                    _("%s needs a whole number from 0 to 18446744073709551615, not '%s'"),
                    "--perturb", std::string(text).c_str());
                return false;
            }
        } else if (arg == "--machine") {
            if (!needValue(options.machine)) return false;
        } else if (arg == "--cells") {
            if (!needValue(options.cells)) return false;
        } else {
            error = FormatText(_("unknown option '%s'"), std::string(arg).c_str());
            return false;
        }
    }
    if (options.script.empty()) {
        error = _("--script FILE is required");
        return false;
    }
    if (!options.framesDir.empty() && options.every == 0) options.every = 1;
    if (options.framesDir.empty() && options.every != 0) {
        error = _("--every K needs --frames DIR");
        return false;
    }
    if (options.traceSteps && options.trace.empty()) {
        error = _("--trace-steps needs --trace FILE");
        return false;
    }
    if (options.measures && options.trace.empty() && options.cells.empty()) {
        error = _("--measures needs --trace FILE or --cells FILE");
        return false;
    }
    if (!options.cells.empty() &&
        (!options.noDraw || !options.trace.empty() || options.setCrankSpeed ||
         options.setFriction || options.perturb || options.timing || options.traceSteps)) {
        error = _("--cells needs --no-draw and takes each cell's trace, crank speed, friction and "
                  "perturbation from its file (no --trace, --trace-steps, --crank-speed, "
                  "--friction, --perturb or --timing)");
        return false;
    }
    if (options.noDraw &&
        (!options.framesDir.empty() || !options.shot.empty() || !options.video.empty())) {
        error = _("--frames, --shot and --video need drawing; drop --no-draw");
        return false;
    }
    return true;
}
