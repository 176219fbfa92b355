// koltrep-optimize: searches machine values for the best trade-offs between two or three
// measures of the walk (NSGA-II). Every candidate is a machine file run without drawing by
// koltrep-evaluate, so a front member's figures are exactly those a replay of its file gives.
#include <limits.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <platform/i18n/i18n.h>

#include "machine/machine_file.h"
#include "machine/machine_keys.h"
#include "records/key_script.h"
#include "records/recorded_start.h"
#include "shell/usage.h"
#include "tools/optimize/front_plot.h"
#include "tools/optimize/optimize_outputs.h"
#include "tools/sweep/cell_runner.h"
#include "tools/sweep/out_folder.h"
#include "tools/sweep/sweep_files.h"
#include "tools/sweep/this_process.h"

namespace {

const char kDefaultScript[] = "0 UP down\n";
// A candidate's row at its longest: eight values and six figures of 24 characters, a reason.
constexpr size_t kLongestRow = 2048;

const char kOptimizeHelp[] =
    N_("Searches machine values for the best trade-offs between two or three measures of\n"
       "the walk (NSGA-II). Each candidate machine is written to DIR/candidates/G-I.toml and\n"
       "run without drawing (koltrep-evaluate); one that cannot be built, or tips over, is\n"
       "infeasible. Writes DIR/candidates.csv, DIR/front.csv, DIR/front/NNN.toml and, through\n"
       "gnuplot, DIR/front.png.\n"
       "  --param PATH=LOW:HIGH  a machine file key to vary within LOW..HIGH (1 to 8 of them)\n"
       "  --objective NAME:min|max  a measure to minimise or maximise (2 or 3 of them): speed,\n"
       "                  cost_of_transport, heading_drift (either way), stride_length,\n"
       "                  foot_height_variation\n"
       "  --population N  candidates a generation (a multiple of 4, 8 to 1024; default 16)\n"
       "  --generations N generations, the random start the first (1 to 1000; default 10)\n"
       "  --seed S        the search's seed (0 to 4294967295, default 0)\n"
       "  --ticks N       ticks a candidate runs (default 300)\n"
       "  --settle N      the tick from which the walk is measured (default 100)\n"
       "  --repeats N     run each candidate from N starts moved by up to 0.5 mm (1 to 100;\n"
       "                  default 1, the unmoved start); the objectives are their means\n"
       "  --machine FILE  the machine the candidates vary (default: the built-in one)\n"
       "  --script FILE   the key script every run follows (default: UP held from the first tick)\n"
       "  --jobs N        runs at once (default: one per core)\n"
       "  --batch N       runs per koltrep-evaluate process (1 to 100000; default: a\n"
       "                  generation's runs shared equally among the jobs; 1: a process a run)\n"
       "  --out DIR       the output folder (default: koltrep-optimize-USER in $TMPDIR or /tmp)\n"
       "  --resume        take the candidates DIR/optimize.partial holds instead of running them\n"
       "  --no-plot       write no picture\n"
       "  --evaluate PATH the program each run starts (default: koltrep-evaluate beside this one)\n"
       "  --engine E      local (default: this machine's cores) or slurm (a job array a\n"
       "                  generation, a task a run; --out must be on a file system the nodes\n"
       "                  share)\n"
       "  --partition P   with --engine slurm: the partition to submit to\n"
       "  --time T        with --engine slurm: each task's time limit (sbatch --time)\n"
       "  -h, --help      show this text and exit\n"
       "  --version       show the version and exit\n"
       "Exit code 0 when the search ran, 1 when it could not finish (the candidates so far are in\n"
       "DIR/optimize.partial), 2 for a bad command line or an unusable --out, 128 + the signal\n"
       "when stopped by one.\n");

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "koltrep-optimize: %s\n", message.c_str());
    return code;
}

struct Inputs {
    Machine base;
    std::string scriptText = kDefaultScript;
    std::vector<double> baseValues;
    bool escapes = false; // the script presses Escape within a run, at its last tick
};

bool ReadInputs(const OptimizeOptions& options, Inputs& inputs, std::string& error) {
    inputs.base = DesignMachine();
    if (!options.machine.empty()) {
        MachineFile file;
        if (!LoadMachineFile(options.machine, file, error)) return false;
        inputs.base = file.machine;
    }
    std::vector<KeyEvent> events;
    if (!options.script.empty() &&
        (!ReadWholeFile(options.script, inputs.scriptText, error, kMaxScriptBytes) ||
         !ParseKeyScript(inputs.scriptText, events, error)))
        return false;
    // A script that presses Escape ends every run early: every candidate would be judged on a
    // cut trace and come out infeasible, which would look like a search that found nothing.
    const int escape = KeyFromName("ESCAPE");
    for (const KeyEvent& event : events) {
        if (event.key != escape || !event.down || event.tick >= options.ticks) continue;
        inputs.escapes = true;
        if (event.tick + 1 == options.ticks) continue;
        error = FormatText(_("the script presses Escape at tick %ld, which ends every run "
                             "before --ticks %ld"),
                           event.tick, options.ticks);
        return false;
    }
    for (const ParamRange& param : options.params) {
        int index = 0;
        Machine copy = inputs.base;
        inputs.baseValues.push_back(FindMachineKey(param.path, index)->at(copy, index));
    }
    return true;
}

// The candidates a stopped search evaluated, when resuming it; a partial file without --resume
// is refused rather than lost.
bool TakeEarlier(const OptimizeOptions& options, const std::string& settings,
                 std::vector<Candidate>& earlier, std::string& error) {
    const std::string partial = PartialPath(options.out);
    const bool exists = access(partial.c_str(), F_OK) == 0;
    if (!options.resume && exists) {
        error = FormatText(_("%s holds a stopped search: resume it with --resume, or move the "
                             "file away"),
                           partial.c_str());
        return false;
    }
    if (!options.resume) return true;
    std::string text;
    if (!exists) {
        error = FormatText(_("nothing to resume: %s is missing"), partial.c_str());
        return false;
    }
    // Bounded by what the search could have written: a row per candidate.
    const size_t limit =
        (static_cast<size_t>(options.population) * options.generations + 1) * kLongestRow + 4096;
    if (ReadWholeFile(partial, text, error, limit) &&
        ReadPartial(text, settings, options, earlier, error))
        return true;
    error = partial + ": " + error;
    return false;
}

int Finish(const OptimizeOptions& options, const CandidateEvaluator& evaluator,
           const Fronts& fronts, const std::string& scratch) {
    std::string error;
    if (!WriteResults(options, evaluator, fronts.back(), error)) return Fail(error, 1);
    unlink(PartialPath(options.out).c_str());
    if (options.plot && !WriteFrontPlot(options.out, scratch, options, fronts,
                                        evaluator.Candidates().front(), error))
        return Fail(error + _("; the CSV files are written"), 1);
    std::fprintf(stderr, _("koltrep-optimize: %zu candidates, a front of %zu, in %s\n"),
                 evaluator.Candidates().size(), fronts.back().size(), options.out.c_str());
    return 0;
}

int Search(OptimizeOptions& options, const Inputs& inputs, const std::string& scratch) {
    std::string error;
    const std::string settings = SettingsLine(options, MachineText(inputs.base), inputs.scriptText);
    std::vector<Candidate> earlier;
    if (!TakeEarlier(options, settings, earlier, error)) return Fail(error, 2);
    EvaluationSettings run;
    run.evaluate = options.evaluate;
    run.script = scratch + "/script.txt";
    run.scratch = scratch;
    run.ticks = options.ticks;
    run.settle = options.settle;
    run.jobs = options.jobs > 0 ? options.jobs : CoresAvailable();
    // An Escape ends the process it is pressed in: a batch would stop at its first run.
    run.batch = inputs.escapes ? 1 : static_cast<size_t>(options.batch);
    run.recorded = ReadRecordedStart(inputs.scriptText);
    run.engine = options.engine;
    run.out = options.out;
    run.partition = options.partition;
    run.timeLimit = options.timeLimit;
    if (!WriteFileAtomically(run.script, inputs.scriptText, error)) return Fail(error, 1);
    CandidateEvaluator evaluator(options, run, inputs.base,
                                 std::filesystem::absolute(CandidatesFolder(options.out)),
                                 std::move(earlier));
    CatchStopSignals();
    try {
        Fronts fronts = RunSearch(options, inputs.baseValues, evaluator);
        ReleaseStopSignals();
        if (isatty(STDERR_FILENO)) std::fputc('\n', stderr);
        return Finish(options, evaluator, fronts, scratch);
    } catch (const std::exception& fault) {
        if (isatty(STDERR_FILENO)) std::fputc('\n', stderr);
        const bool stopped = dynamic_cast<const SearchStopped*>(&fault) != nullptr;
        std::string kept = PartialPath(options.out);
        if (!WriteFileAtomically(kept, PartialText(settings, options, evaluator.Candidates()),
                                 error))
            return Fail(error, 1);
        Fail(FormatText(_("%s%zu candidates evaluated are in %s (--resume carries on)"),
                        stopped ? _("stopped: ") : (std::string(fault.what()) + "; ").c_str(),
                        evaluator.Candidates().size(), kept.c_str()),
             1);
        return stopped ? 128 + stopSignal : 1;
    }
}

int Optimize(int argc, char** argv) {
    OptimizeOptions options;
    std::string error;
    if (!ParseOptimizeOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "koltrep-optimize: %s\n%s", error.c_str(), _(kOptimizeUsage));
        return 2;
    }
    if (options.evaluate.empty()) options.evaluate = ProgramFolder() + "koltrep-evaluate";
    if (access(options.evaluate.c_str(), X_OK) != 0)
        return Fail(FormatText(_("cannot run %s (build koltrep-evaluate, or give --evaluate)"),
                               options.evaluate.c_str()),
                    2);
    Inputs inputs;
    if (!ReadInputs(options, inputs, error)) return Fail(error, 2);
    const bool defaultOut = options.out.empty();
    if (defaultOut) options.out = DefaultOutFolder("koltrep-optimize");
    OptimizeFolder folder;
    if (!folder.Prepare(options, defaultOut, error)) return Fail(error, 2);
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/koltrep-optimize-XXXXXX";
    if (mkdtemp(scratch.data()) == nullptr) return Fail(_("no scratch folder"), 1);
    int code = Search(options, inputs, scratch);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    AnswerHelpOrVersion(argc, argv, "koltrep-optimize",
                        (std::string(_(kOptimizeUsage)) + _(kOptimizeHelp)).c_str());
    Leave(Optimize(argc, argv));
}
