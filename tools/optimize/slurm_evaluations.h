// A generation's runs as one Slurm job array, a task a run: each task starts koltrep-evaluate on
// its node with the run's machine file, start and trace in a work folder under --out, which the
// nodes must see at the same path (as they must see the programs and the folder the search is
// started in). The traces come back through that folder and are measured here, so a run's
// outcome is the one the local engine gives.
#pragma once

#include "tools/optimize/evaluation_pool.h"

// As RunEvaluations. A stop signal cancels the array; the runs whose traces are whole still
// count. A scheduler that refuses the array fails every run as the tools' fault.
bool RunSlurmEvaluations(const EvaluationSettings& settings, const std::vector<EvaluationRun>& runs,
                         std::vector<RunOutcome>& outcomes, std::vector<bool>& finished,
                         const std::function<void()>& progress);
