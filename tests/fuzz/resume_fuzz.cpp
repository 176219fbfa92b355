// Fuzzes what --resume reads: the partial file's rows against a small grid, and the settings
// file beside it. The first byte picks rows with or without repeats. What the reader takes must
// be rows the sweep itself could have written: they parse, are finite, and a partial file made
// of them gives back the same rows.
#include "tools/sweep/settings_file.h"
#include "tools/sweep/sweep_runs.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr long kTicks = 120;

void CheckTakenRows(const std::vector<Run>& runs, bool withRepeat) {
    for (const Run& run : runs) {
        if (run.row.empty()) continue;
        float crank = 0, friction = 0;
        int repeat = -1;
        GaitMeasures m;
        if (!ParseRunRow(run.row, withRepeat, crank, friction, repeat, m) ||
            !std::isfinite(m.speed) || !std::isfinite(m.headingDrift) || m.speed < 0 ||
            m.tipTick >= kTicks || repeat != run.repeat)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool withRepeat = data[0] & 1;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<Cell> cells;
    for (float friction : {50.0f, 350.0f})
        for (float crank : {2.5f, 4.0f, -1e-5f}) {
            Cell cell;
            cell.crankSpeed = crank;
            cell.friction = friction;
            cells.push_back(cell);
        }
    std::vector<Run> runs;
    for (size_t c = 0; c < cells.size(); ++c)
        for (int r = withRepeat ? 0 : -1; r < (withRepeat ? 3 : 0); ++r) {
            Run run;
            run.cell = c;
            run.repeat = r;
            runs.push_back(run);
        }
    const std::string settings = SweepSettings(kTicks, 40, withRepeat ? 3 : 0, 3, "0 UP down\n");
    std::string error;
    SweepRecord record;
    record.ticks = kTicks;
    RecordDifferences(text, record);
    if (!TakePartialRows(text, settings, withRepeat, kTicks, cells, runs, error)) return 0;
    CheckTakenRows(runs, withRepeat);
    std::vector<Run> again = runs;
    for (Run& run : again)
        run.row.clear();
    const char* header = withRepeat ? kRunCsvHeader : kSweepCsvHeader;
    if (!TakePartialRows(PartialText(settings, header, runs), settings, withRepeat, kTicks, cells,
                         again, error))
        __builtin_trap();
    for (size_t i = 0; i < runs.size(); ++i)
        if (again[i].row != runs[i].row) __builtin_trap();
    return 0;
}
