// How a generation's runs are shared among koltrep-evaluate processes: batches of runs taken in
// the runs' own order, and the command line each batch is started with. A batch of one run is a
// single evaluation of its machine file; a longer one goes through a cells file, every cell
// naming its machine, start inputs, perturbation and trace.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "tools/optimize/evaluation_pool.h"

struct EvaluationBatch {
    std::vector<size_t> runs; // indexes into the generation's runs
    size_t number = 0;        // names its cells file and log
};

// The runs per process: --batch, or an equal share per job. One when a cells file could not
// carry a run's paths (a line break in them, or blanks in front) or the script presses Escape.
size_t BatchSize(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs);

std::deque<EvaluationBatch> SplitIntoBatches(size_t runs, size_t size);

// A file of the run's or the batch's in the scratch folder: KIND-INDEX.SUFFIX.
std::string ScratchPath(const EvaluationSettings& settings, const char* kind, size_t index,
                        const char* suffix);

// The batch's evaluator command line; a batch of more than one run writes its cells file first.
bool BatchArguments(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                    const EvaluationBatch& batch, std::vector<std::string>& args,
                    std::string& error);
