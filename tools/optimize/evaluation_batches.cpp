// The optimiser's batches of runs.
#include "tools/optimize/evaluation_batches.h"

#include <platform/i18n/i18n.h>

#include "tools/sweep/cell_runner.h"
#include "tools/sweep/sweep_files.h"

namespace {

// A cells line ends at a line break and its path starts at the first non-blank.
bool CellsLineCarries(const std::string& path) {
    return path.find_first_of("\n\r") == std::string::npos && path.find_first_not_of(" \t") == 0;
}

std::string TracePath(const EvaluationSettings& settings, size_t run) {
    return ScratchPath(settings, "run", run, ".csv");
}

std::string CellsText(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                      const EvaluationBatch& batch) {
    std::string text;
    for (size_t index : batch.runs) {
        const EvaluationRun& run = runs[index];
        text += "machine " + run.machine + "\n" + FloatText(run.crankSpeed) + " " +
                FloatText(run.friction) + " " +
                (run.perturbed ? std::to_string(run.perturb) : std::string("-")) + " " +
                TracePath(settings, index) + "\n";
    }
    return text;
}

} // namespace

size_t BatchSize(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs) {
    if (settings.batch == 1 || runs.size() < 2) return 1;
    if (!CellsLineCarries(settings.scratch + "/")) return 1;
    for (const EvaluationRun& run : runs)
        if (!CellsLineCarries(run.machine)) return 1;
    if (settings.batch > 0) return settings.batch;
    const size_t jobs = settings.jobs > 0 ? static_cast<size_t>(settings.jobs) : 1;
    return (runs.size() + jobs - 1) / jobs;
}

std::deque<EvaluationBatch> SplitIntoBatches(size_t runs, size_t size) {
    std::deque<EvaluationBatch> batches;
    for (size_t first = 0; first < runs; first += size) {
        EvaluationBatch batch;
        batch.number = batches.size();
        for (size_t run = first; run < runs && run < first + size; ++run)
            batch.runs.push_back(run);
        batches.push_back(batch);
    }
    return batches;
}

std::string ScratchPath(const EvaluationSettings& settings, const char* kind, size_t index,
                        const char* suffix) {
    return settings.scratch + "/" + kind + "-" + std::to_string(index) + suffix;
}

bool BatchArguments(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                    const EvaluationBatch& batch, std::vector<std::string>& args,
                    std::string& error) {
    const EvaluationRun& first = runs[batch.runs.front()];
    // The first machine on the command line too: a script that names the machine it was
    // recorded with must not make the evaluator load that one instead.
    args = {settings.evaluate,
            "--script",
            settings.script,
            "--ticks",
            std::to_string(settings.ticks),
            "--no-draw",
            "--measures",
            "--stop-at-tip",
            "--machine",
            first.machine};
    if (batch.runs.size() == 1) {
        args.insert(args.end(), {"--trace", TracePath(settings, batch.runs.front())});
        if (first.perturbed) args.insert(args.end(), {"--perturb", std::to_string(first.perturb)});
        return true;
    }
    const std::string cells = ScratchPath(settings, "batch", batch.number, ".cells");
    if (!WriteFileAtomically(cells, CellsText(settings, runs, batch), error)) return false;
    args.insert(args.end(), {"--cells", cells});
    return true;
}
