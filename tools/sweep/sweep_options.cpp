// Command-line parsing for koltrep-sweep.
#include "tools/sweep/sweep_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>
#include <type_traits>

#include <platform/i18n/i18n.h>

const char kSweepUsage[] =
    N_("usage: koltrep-sweep --crank-speeds LIST --frictions LIST [--script FILE] [--ticks N]\n"
       "       koltrep-sweep --vary NAME=FROM:TO:COUNT [--vary ...] [--crank-speeds LIST]\n"
       "                     [--frictions LIST] [options]\n"
       "                     [--settle N] [--jobs N] [--out DIR] [--no-plot] [--replay PATH]\n"
       "                     [--repeats N --seed S] [--batch N] [--resume] [--machine FILE]\n"
       "                     [--engine local|slurm [--partition P] [--time T] [--dry-run]]\n"
       "LIST is 1,2,3 or FROM:TO:COUNT.\n");

namespace {

bool ParseDouble(std::string_view text, double& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

bool ParseWhole(std::string_view text, long low, long high, long& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() &&
           value >= low && value <= high;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

bool ParseRange(const std::vector<std::string_view>& parts, std::vector<double>& values) {
    double from = 0, to = 0;
    long count = 0;
    if (!ParseDouble(parts[0], from) || !ParseDouble(parts[1], to) ||
        !ParseWhole(parts[2], 1, static_cast<long>(kMaxCells), count))
        return false;
    for (long i = 0; i < count; ++i)
        values.push_back(count == 1 ? from : from + (to - from) * i / (count - 1));
    return true;
}

// --vary's axes and the aliases among them, in the order given: at most kMaxAxes, each key
// once, and a grid of at most kMaxCells.
bool CheckAxes(const std::vector<SweepAxis>& axes, std::string& error) {
    if (axes.size() > kMaxAxes) {
        error = FormatText(_("at most %zu dimensions are varied at once (--vary, --crank-speeds, "
                             "--frictions)"),
                           kMaxAxes);
        return false;
    }
    size_t cells = 1;
    for (size_t i = 0; i < axes.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
            if (axes[i].path == axes[j].path) {
                error = FormatText(_("%s is varied twice"), axes[i].path.c_str());
                return false;
            }
        cells *= axes[i].values.size();
        if (cells > kMaxCells) {
            error = FormatText(_("more than %zu cells"), kMaxCells);
            return false;
        }
    }
    return true;
}

// The options that take a value, so that an unknown one is named as such even at the end of the
// command line.
bool TakesValue(const std::string& arg) {
    static const char* const kNames[] = {
        "--crank-speeds", "--frictions", "--vary",   "--script",  "--ticks", "--settle",
        "--jobs",         "--out",       "--replay", "--repeats", "--seed",  "--batch",
        "--engine",       "--partition", "--time",   "--machine", "--task"};
    return std::find(std::begin(kNames), std::end(kNames), arg) != std::end(kNames);
}

} // namespace

bool ParseValueList(const std::string& text, float low, float high, const char* refusal,
                    std::vector<float>& values, std::string& error) {
    values.clear();
    std::vector<double> parsed;
    std::vector<std::string_view> fromToCount = Split(text, ':');
    bool ok = false;
    if (fromToCount.size() == 3) {
        ok = ParseRange(fromToCount, parsed);
    } else if (fromToCount.size() == 1) {
        std::vector<std::string_view> items = Split(text, ',');
        ok = items.size() <= kMaxCells;
        for (size_t i = 0; ok && i < items.size(); ++i) {
            double value = 0;
            ok = ParseDouble(items[i], value);
            parsed.push_back(value);
        }
    }
    for (double value : parsed)
        ok = ok && value >= low && value <= high; // also refuses NaN
    if (!ok) {
        error = FormatText(refusal, text.c_str());
        return false;
    }
    for (double value : parsed)
        values.push_back(static_cast<float>(value));
    return true;
}

bool ParseSweepOptions(int argc, char** argv, SweepOptions& options, std::string& error) {
    options = SweepOptions{};
    bool settleGiven = false, varied = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--no-plot" || arg == "--resume" || arg == "--dry-run") {
            if (arg == "--no-plot") options.plot = false;
            if (arg == "--resume") options.resume = true;
            if (arg == "--dry-run") options.dryRun = true;
            continue;
        }
        if (!TakesValue(arg)) {
            error = FormatText(_("unknown option '%s'"), arg.c_str());
            return false;
        }
        if (i + 1 >= argc) {
            error = FormatText(_("%s needs a value"), arg.c_str());
            return false;
        }
        std::string value = argv[++i];
        bool ok = true;
        auto whole = [&](long low, long high, auto& target) {
            long number = 0;
            ok = ParseWhole(value, low, high, number);
            if (ok)
                target = static_cast<std::remove_reference_t<decltype(target)>>(number);
            else
                error = FormatText(_("%s needs a whole number from %ld to %ld, not '%s'"),
                                   arg.c_str(), low, high, value.c_str());
        };
        if (arg == "--crank-speeds") {
            ok = ParseValueList(value, -100.0f, 100.0f,
                                _("'%s' is not a list of numbers from -100 to 100 (1,2,3 or "
                                  "FROM:TO:COUNT)"),
                                options.crankSpeeds, error);
            options.axes.push_back(FloatAxis("drive.crank_speed", options.crankSpeeds));
            options.axisTexts.push_back("drive.crank_speed=" + value);
        } else if (arg == "--frictions") {
            ok = ParseValueList(value, 0.0f, 1e9f,
                                _("'%s' is not a list of numbers from 0 to 1e9 (1,2,3 or "
                                  "FROM:TO:COUNT)"),
                                options.frictions, error);
            options.axes.push_back(FloatAxis("contact.friction", options.frictions));
            options.axisTexts.push_back("contact.friction=" + value);
        } else if (arg == "--vary") {
            options.axes.emplace_back();
            ok = ParseVary(value, options.axes.back(), error);
            options.axisTexts.push_back(value);
            varied = true;
        } else if (arg == "--script") {
            options.script = value;
        } else if (arg == "--ticks") {
            whole(2, 2147483647L, options.ticks);
        } else if (arg == "--settle") {
            whole(0, 2147483647L, options.settle);
            settleGiven = true;
        } else if (arg == "--jobs") {
            whole(1, 1024, options.jobs);
        } else if (arg == "--out") {
            options.out = value;
        } else if (arg == "--replay") {
            options.replay = value;
        } else if (arg == "--repeats") {
            whole(1, kMaxRepeats, options.repeats);
        } else if (arg == "--seed") {
            auto [end, status] =
                std::from_chars(value.data(), value.data() + value.size(), options.seed);
            ok = !value.empty() && status == std::errc() && end == value.data() + value.size();
            if (!ok)
                error = FormatText(
                    _("%s needs a whole number from 0 to 18446744073709551615, not '%s'"), "--seed",
                    value.c_str());
        } else if (arg == "--batch") {
            whole(1, 100000, options.batch);
        } else if (arg == "--engine") {
            options.engine = value;
            ok = value == "local" || value == "slurm";
            if (!ok) error = FormatText(_("--engine is local or slurm, not '%s'"), value.c_str());
        } else if (arg == "--partition") {
            options.partition = value;
        } else if (arg == "--time") {
            options.timeLimit = value;
        } else if (arg == "--machine") {
            options.machine = value;
            ok = !value.empty();
            if (!ok) error = _("--machine needs a file name");
        } else if (arg == "--task") {
            options.task = value;
        }
        if (!ok) return false;
    }
    // Without --vary the grid is crank speed by friction, as it always was.
    if (!varied) {
        options.axes.clear();
        options.axisTexts.clear();
    }
    // A Slurm task gets its runs from its list, and only needs how to run and measure them.
    if (!options.task.empty()) return true;
    for (const std::string* text : {&options.partition, &options.timeLimit})
        // Both go into #SBATCH directives, where sbatch splits words by its own rules.
        if (text->find_first_of("\n\r'\"\\$` \t") != std::string::npos) {
            error = _("--partition and --time take no quotes, backslashes, $, `, spaces or line "
                      "breaks");
            return false;
        }
    if (options.engine != "slurm" &&
        (options.dryRun || !options.partition.empty() || !options.timeLimit.empty())) {
        error = _("--dry-run, --partition and --time are for --engine slurm");
        return false;
    }
    if (varied && !CheckAxes(options.axes, error)) return false;
    if (!varied && (options.crankSpeeds.empty() || options.frictions.empty())) {
        error = _("--crank-speeds and --frictions are required");
        return false;
    }
    size_t cells = options.crankSpeeds.size() * options.frictions.size();
    if (varied) {
        cells = 1;
        for (const SweepAxis& axis : options.axes)
            cells *= axis.values.size();
    }
    if (!varied && cells > kMaxCells) {
        error = FormatText(_("more than %zu cells"), kMaxCells);
        return false;
    }
    if (cells * static_cast<size_t>(options.repeats > 0 ? options.repeats : 1) > kMaxRuns) {
        error = FormatText(_("more than %zu runs (cells times repeats)"), kMaxRuns);
        return false;
    }
    if (options.settle + 1 >= options.ticks) {
        error = settleGiven ? std::string(_("--settle must be less than --ticks - 1"))
                            : FormatText(_("--ticks %ld leaves nothing to measure after the "
                                           "default --settle of %ld: give --ticks above %ld or a "
                                           "smaller --settle"),
                                         options.ticks, options.settle, options.settle + 1);
        return false;
    }
    return true;
}
