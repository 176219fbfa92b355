// libFuzzer harness for the cells reader: any bytes must give cells or be refused with the
// file's name and a reason, never crash, hang or leak; every cell read is within the ranges
// the runner accepts and names a trace with no NUL, which would cut the path it writes.
#include "records/batch_cells.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<BatchCell> cells;
    std::string error;
    if (!ParseBatchCells(text, "cells", cells, error)) {
        if (!cells.empty() || error.rfind("cells:", 0) != 0) std::abort();
        return 0;
    }
    if (cells.empty()) std::abort();
    for (const BatchCell& cell : cells) {
        if (!(std::abs(cell.crankSpeed) <= 100.0f) || !(cell.friction >= 0.0f) ||
            !std::isfinite(cell.friction) || cell.trace.empty() ||
            cell.trace.find('\0') != std::string::npos ||
            cell.trace.find('\n') != std::string::npos || cell.line < 1)
            std::abort();
    }
    return 0;
}
