// Cells files: the runs of one replay process, one a line, "CRANK_SPEED FRICTION PERTURB TRACE".
// A line "machine PATH" gives the cells after it a machine file of their own ("machine -": the
// run's own machine again), so one process can run a sweep's cells of different machines. The
// sweep writes them, the replay runner reads them; like a key script, a cells file comes from
// outside the process and is checked field by field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct BatchCell {
    float crankSpeed = 0.0f;
    float friction = 0.0f;
    bool perturb = false;
    uint64_t perturbSeed = 0;
    std::string trace;
    std::string machine; // the machine file the cell builds; empty: the run's own machine
    int line = 0;        // 1-based line of the file it came from
};

// PERTURB is a seed or "-" for the unperturbed start, TRACE the rest of the line; blank lines
// and lines starting with '#' are skipped. False with "NAME:LINE: reason" and no cells.
bool ParseBatchCells(std::string_view text, const std::string& name, std::vector<BatchCell>& cells,
                     std::string& error);

// Reads and parses a cells file; files above the key scripts' size cap are refused unread.
bool LoadBatchCells(const std::string& path, std::vector<BatchCell>& cells, std::string& error);
