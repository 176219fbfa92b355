// Command-line parsing for koltrep-optimize.
#include "tools/optimize/optimize_options.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include <platform/i18n/i18n.h>

#include "machine/machine_keys.h"

const char kOptimizeUsage[] =
    N_("usage: koltrep-optimize --param PATH=LOW:HIGH... --objective NAME:min|max...\n"
       "                        [--population N] [--generations N] [--seed S] [--ticks N]\n"
       "                        [--settle N] [--repeats N] [--machine FILE] [--script FILE]\n"
       "                        [--jobs N] [--batch N] [--out DIR] [--resume] [--no-plot]\n"
       "                        [--evaluate PATH]\n"
       "                        [--engine local|slurm [--partition P] [--time T]]\n");

namespace {

constexpr const char* kMeasureNames[] = {"speed", "cost_of_transport", "heading_drift",
                                         "stride_length", "foot_height_variation"};

bool ParseDouble(std::string_view text, double& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

template <typename T> bool ParseWhole(std::string_view text, T low, T high, T& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() &&
           value >= low && value <= high;
}

// PATH=LOW:HIGH, a key of the machine file and a range inside the key's own.
bool ParseParam(std::string_view text, ParamRange& param, std::string& error) {
    size_t equals = text.find('=');
    size_t colon = text.find(':', equals == std::string_view::npos ? 0 : equals);
    if (equals == std::string_view::npos || colon == std::string_view::npos ||
        !ParseDouble(text.substr(equals + 1, colon - equals - 1), param.low) ||
        !ParseDouble(text.substr(colon + 1), param.high) || !(param.low < param.high)) {
        error = FormatText(_("--param '%s' is not PATH=LOW:HIGH with LOW below HIGH"),
                           std::string(text).c_str());
        return false;
    }
    param.path = std::string(text.substr(0, equals));
    int index = 0;
    const MachineKey* key = FindMachineKey(param.path, index);
    if (key == nullptr) {
        error = FormatText(_("%s: not a key of the machine file (koltrep-inspect machine lists "
                             "them)"),
                           param.path.c_str());
        return false;
    }
    if (param.low < key->low || param.high > key->high) {
        error = FormatText(_("--param %s: the range must lie within %g to %g %s"),
                           param.path.c_str(), key->low, key->high, key->unit);
        return false;
    }
    return true;
}

bool ParseObjective(std::string_view text, Objective& objective, std::string& error) {
    size_t colon = text.rfind(':');
    std::string_view name = text.substr(0, colon);
    std::string_view sense = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    for (int m = 0; m < 5; ++m)
        if (name == kMeasureNames[m] && (sense == "min" || sense == "max")) {
            objective.measure = static_cast<Measure>(m);
            objective.maximize = sense == "max";
            return true;
        }
    error = FormatText(_("--objective '%s' is not NAME:min or NAME:max with NAME one of speed, "
                         "cost_of_transport, heading_drift, stride_length, "
                         "foot_height_variation"),
                       std::string(text).c_str());
    return false;
}

bool CheckTogether(const OptimizeOptions& options, std::string& error) {
    if (options.params.empty() || options.params.size() > kMaxParams)
        error = _("give 1 to 8 --param");
    else if (options.objectives.size() < 2 || options.objectives.size() > 3)
        error = _("give 2 or 3 --objective");
    else if (options.settle >= options.ticks)
        error = _("--settle must be below --ticks");
    else if (options.engine != "slurm" &&
             (!options.partition.empty() || !options.timeLimit.empty()))
        error = _("--partition and --time go with --engine slurm");
    else if (options.engine == "slurm" && options.batch > 0)
        error = _("--batch goes with the local engine: --engine slurm runs a task a run");
    // A line break would end the directive it stands in, and the rest would be read as another.
    else if ((options.partition + options.timeLimit).find_first_of("\n\r") != std::string::npos)
        error = _("--partition and --time take no line breaks");
    for (size_t i = 0; error.empty() && i < options.objectives.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (options.objectives[i].measure == options.objectives[j].measure)
                error = FormatText(_("--objective %s is given twice"),
                                   MeasureName(options.objectives[i].measure));
    for (size_t i = 0; error.empty() && i < options.params.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (options.params[i].path == options.params[j].path)
                error = FormatText(_("--param %s is given twice"), options.params[i].path.c_str());
    return error.empty();
}

struct Reader {
    int argc;
    char** argv;
    int i;
    std::string& error;
    // The option's value, or null with the error set when it has none.
    const char* Value() {
        if (i + 1 < argc) return argv[++i];
        error = FormatText(_("%s needs a value"), argv[i]);
        return nullptr;
    }
    template <typename T> bool Whole(T low, T high, T& value) {
        const char* text = Value();
        if (text == nullptr) return false;
        if (ParseWhole<T>(text, low, high, value)) return true;
        error =
            FormatText(_("%s needs a whole number from %lld to %llu, not '%s'"), argv[i - 1],
                       static_cast<long long>(low), static_cast<unsigned long long>(high), text);
        return false;
    }
    bool Text(std::string& value) {
        const char* text = Value();
        if (text != nullptr) value = text;
        return text != nullptr;
    }
};

bool ParseOne(Reader& r, OptimizeOptions& o) {
    const std::string_view arg = r.argv[r.i];
    if (arg == "--param") {
        const char* text = r.Value();
        ParamRange param;
        if (text == nullptr || !ParseParam(text, param, r.error)) return false;
        o.params.push_back(param);
        return true;
    }
    if (arg == "--objective") {
        const char* text = r.Value();
        Objective objective;
        if (text == nullptr || !ParseObjective(text, objective, r.error)) return false;
        o.objectives.push_back(objective);
        return true;
    }
    if (arg == "--population") {
        if (!r.Whole(8, kMaxPopulation, o.population)) return false;
        if (o.population % 4 == 0) return true;
        r.error = _("--population must be a multiple of 4");
        return false;
    }
    if (arg == "--generations") return r.Whole(1, kMaxGenerations, o.generations);
    if (arg == "--seed") return r.Whole<uint64_t>(0, UINT32_MAX, o.seed);
    if (arg == "--ticks") return r.Whole(2L, 100000L, o.ticks);
    if (arg == "--settle") return r.Whole(0L, 99999L, o.settle);
    if (arg == "--repeats") return r.Whole(1, kMaxRepeats, o.repeats);
    if (arg == "--jobs") return r.Whole(1, 1024, o.jobs);
    if (arg == "--batch") return r.Whole(1, kMaxBatch, o.batch);
    if (arg == "--machine") return r.Text(o.machine);
    if (arg == "--script") return r.Text(o.script);
    if (arg == "--out") return r.Text(o.out);
    if (arg == "--evaluate") return r.Text(o.evaluate);
    if (arg == "--partition") return r.Text(o.partition);
    if (arg == "--time") return r.Text(o.timeLimit);
    if (arg == "--engine") {
        if (!r.Text(o.engine)) return false;
        if (o.engine == "local" || o.engine == "slurm") return true;
        r.error = FormatText(_("--engine is local or slurm, not '%s'"), o.engine.c_str());
        return false;
    }
    if (arg == "--resume") return o.resume = true;
    if (arg == "--no-plot") return !(o.plot = false);
    r.error = FormatText(_("unknown option '%s'"), r.argv[r.i]);
    return false;
}

} // namespace

const char* MeasureName(Measure measure) {
    return kMeasureNames[static_cast<int>(measure)];
}

bool ParseOptimizeOptions(int argc, char** argv, OptimizeOptions& options, std::string& error) {
    options = OptimizeOptions{};
    error.clear();
    Reader reader{argc, argv, 1, error};
    for (; reader.i < argc; ++reader.i)
        if (!ParseOne(reader, options)) return false;
    return CheckTogether(options, error);
}
