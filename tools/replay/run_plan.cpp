// The run's plan: the script's events, the tick count and the batch's cells.
#include "tools/replay/run_plan.h"

#include <dinput.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "machine/machine_file.h"
#include "sim/world.h"
#include <platform/i18n/i18n.h>

#include "sim/panel_actions.h"
#include "tools/replay/machine_choice.h"

#include <platform/i18n/i18n.h>

namespace {

bool SettleTickCount(ReplayOptions& options, const RunPlan& plan, long statedTicks,
                     std::string& error) {
    if (options.ticks == 0) {
        long last = -1;
        if (!plan.events.empty()) last = plan.events.back().tick;
        if (!plan.actions.empty()) last = std::max(last, plan.actions.back().tick);
        options.ticks = statedTicks > 0 ? statedTicks : last + 1;
        if (options.ticks == 0) {
            error = _("the script states no tick count and holds no key event; give --ticks N");
            return false;
        }
    }
    return true;
}

// A batch takes its first cell's trace and control inputs; the script's own Escape would end
// the whole batch in the middle of a cell.
bool TakeFirstCell(ReplayOptions& options, const RunPlan& plan, std::string& error) {
    for (const KeyEvent& event : plan.events)
        if (event.key == DIK_ESCAPE && event.down && event.tick <= plan.lastTick) {
            error = _("--cells cannot run a script that presses Escape");
            return false;
        }
    options.trace = plan.cells[0].trace;
    options.setCrankSpeed = options.setFriction = true;
    options.crankSpeed = plan.cells[0].crankSpeed;
    options.friction = plan.cells[0].friction;
    return true;
}

// Every cell's machine file checked before the first tick: a batch must not stop halfway at a
// file that does not build.
bool LoadCellMachines(const std::vector<BatchCell>& cells, CellMachines& machines,
                      std::string& error) {
    machines.own = MachineInForce();
    machines.files.clear();
    machines.ofCell.assign(cells.size(), -1);
    std::map<std::string, int> loaded;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (cells[i].machine.empty()) continue;
        auto [at, added] =
            loaded.emplace(cells[i].machine, static_cast<int>(machines.files.size()));
        if (added) {
            MachineFile file;
            if (!LoadMachineFile(cells[i].machine, file, error)) {
                error = FormatText(_("--cells line %d: %s"), cells[i].line, error.c_str());
                return false;
            }
            machines.files.push_back(file.machine);
        }
        machines.ofCell[i] = at->second;
    }
    return true;
}

} // namespace

void PutCellMachineInForce(const CellMachines& machines, size_t cell) {
    const int file = cell < machines.ofCell.size() ? machines.ofCell[cell] : -1;
    PutMachineInForce(file < 0 ? machines.own : machines.files[static_cast<size_t>(file)]);
    FillShapeTables();
}

bool LoadRunCells(const ReplayOptions& options, RunPlan& plan, std::string& error) {
    plan.cells.clear();
    return options.cells.empty() || LoadBatchCells(options.cells, plan.cells, error);
}

bool PlanRun(const char* program, ReplayOptions& options, RunPlan& plan, std::string& error,
             bool& showUsage) {
    showUsage = false;
    long statedTicks = 0;
    RecordedStart recordedStart;
    if (!LoadKeyScript(options.script.c_str(), plan.events, error, &statedTicks, &recordedStart,
                       &plan.actions))
        return false;
    if (!ChooseReplayMachine(options, recordedStart, error) ||
        !CheckMachineLines(plan.actions, MachineInForce(), error)) {
        error = std::string(program) + ": " + error;
        return false;
    }
    if (!SettleTickCount(options, plan, statedTicks, error)) {
        error = std::string(program) + ": " + error;
        showUsage = true;
        return false;
    }
    plan.lastTick = options.ticks - 1;
    const long lastTick = plan.lastTick;
    long unplayed = std::count_if(plan.events.begin(), plan.events.end(),
                                  [lastTick](const KeyEvent& e) { return e.tick > lastTick; });
    if (unplayed > 0)
        std::fprintf(stderr, "%s: %s\n", program,
                     FormatText(_("note: %ld script event(s) after tick %ld are not played"),
                                unplayed, lastTick)
                         .c_str());
    if (!plan.cells.empty() && (!LoadCellMachines(plan.cells, plan.machines, error) ||
                                !TakeFirstCell(options, plan, error))) {
        error = std::string(program) + ": " + error;
        return false;
    }
    if (!plan.cells.empty()) PutCellMachineInForce(plan.machines, 0);
    return true;
}
