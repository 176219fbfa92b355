// koltrep-evaluate: a run without drawing at the cost of its physics alone. It plays a key
// script through the program's own tick (AdvanceSimulation: the session, time and driver keys,
// then the physics steps) and writes the trace koltrep-replay --no-draw writes, byte for byte,
// but it opens no window and loads no graphics driver, no SDL video and no FFmpeg: it links
// only the parts of the program that advance the world, so none of those libraries is even
// loaded before main. A sweep cell or an optimiser's candidate is one short process.
#include <dinput.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "input/input.h"
#include "records/trace.h"
#include "shell/usage.h"
#include "sim/controls.h"
#include "sim/panel_actions.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"
#include "sim/trace_capture.h"
#include "sim/walk_measures.h"
#include "sim/world.h"
#include "tools/replay/evaluate_options.h"
#include "tools/replay/outputs.h"
#include "tools/replay/run_plan.h"

#include <platform/i18n/i18n.h>

namespace {

struct Evaluation {
    EvaluateOptions options;
    RunPlan plan;
    BYTE keys[256] = {}; // the scripted keyboard: a key stays down until its "up"
    TraceWriter trace;
    long step = 0; // physics steps so far, for --trace-steps
    bool failed = false;
};

Evaluation run;

void Fail(const std::string& message) {
    std::fprintf(stderr, "koltrep-evaluate: %s\n", message.c_str());
    run.failed = true;
}

TraceRow RowOf(long count) {
    TraceRow row = CaptureTraceRow(count);
    if (run.options.replay.measures) CaptureWalkMeasures(row);
    return row;
}

void AfterStep() {
    run.trace.Write(RowOf(run.step++));
}

// The cell's control inputs and perturbed start, as the replay gives them to a cell.
void StartCell(size_t cell) {
    const ReplayOptions& o = run.options.replay;
    if (!run.plan.cells.empty()) {
        const BatchCell& c = run.plan.cells[cell];
        crankSpeed = c.crankSpeed;
        frictionCoefficient = c.friction;
        if (c.perturb) PerturbStart(c.perturbSeed);
        return;
    }
    if (o.setCrankSpeed) crankSpeed = o.crankSpeed;
    if (o.setFriction) frictionCoefficient = o.friction;
    if (o.perturb) PerturbStart(o.perturbSeed);
}

// The keys of `tick` pressed or let go, then sampled as the program samples its keyboard; the
// panel lines and pulls of `tick` queued for the tick to apply.
void SampleKeysOf(long tick, size_t& next, size_t& nextAction) {
    const std::vector<KeyEvent>& events = run.plan.events;
    for (; next < events.size() && events[next].tick == tick; ++next)
        run.keys[events[next].key] = events[next].down ? 0x80 : 0;
    std::memcpy(prevKeyState, keyState, sizeof keyState);
    std::memcpy(keyState, run.keys, sizeof keyState);
    const std::vector<PanelAction>& actions = run.plan.actions;
    for (; nextAction < actions.size() && actions[nextAction].tick <= tick; ++nextAction)
        if (actions[nextAction].tick == tick) QueuePanelAction(actions[nextAction]);
}

// The chassis's up direction (its body -y axis) points below the horizon.
bool TippedOver(const TraceRow& row) {
    const double* v = row.values;
    return -2.0 * (v[kQy] * v[kQz] + v[kQw] * v[kQx]) < 0.0;
}

// One cell's ticks. False when the script's Escape ended the run, as it ends the program.
bool RunTicks(const std::string& traceName) {
    size_t next = 0, nextAction = 0;
    for (long tick = 0; tick <= run.plan.lastTick; ++tick) {
        SampleKeysOf(tick, next, nextAction);
        AdvanceSimulation();
        TraceRow row = RowOf(tick);
        if (!run.options.replay.traceSteps) run.trace.Write(row);
        if (keyState[DIK_ESCAPE] & 0x80) {
            std::fprintf(
                stderr, "koltrep-evaluate: %s\n",
                FormatText(_("note: the script's Escape ended the run after %ld ticks"), tick + 1)
                    .c_str());
            return false;
        }
        if (run.options.stopAtTip && TippedOver(row)) {
            std::printf("tipped over at tick %ld%s%s\n", tick, traceName.empty() ? "" : ": ",
                        traceName.c_str());
            break;
        }
    }
    return true;
}

bool OpenTrace(const std::string& path) {
    std::string error;
    if (path.empty()) return true;
    const ReplayOptions& o = run.options.replay;
    if (run.trace.Open(path.c_str(), error, o.traceSteps, o.measures)) return true;
    Fail(error);
    return false;
}

bool CloseTrace() {
    std::string error;
    if (run.trace.Close(error)) return true;
    Fail(error);
    return false;
}

void RunAll() {
    const size_t cells = run.plan.cells.empty() ? 1 : run.plan.cells.size();
    for (size_t cell = 0; cell < cells && !run.failed; ++cell) {
        const std::string trace =
            run.plan.cells.empty() ? run.options.replay.trace : run.plan.cells[cell].trace;
        if (cell > 0) {
            // As the replay starts its next cell: the cell's machine (whatever a machine line of
            // the script rebuilt in the cell before), the world rebuilt from it as the reset key
            // rebuilds it, no key down and none remembered as down.
            PutCellMachineInForce(run.plan.machines, cell);
            ResetMachine();
            std::memset(run.keys, 0, sizeof run.keys);
            ClearInput();
        }
        StartCell(cell);
        if (!OpenTrace(trace)) return;
        const bool goOn = RunTicks(trace);
        if (!CloseTrace() || !goOn) return;
    }
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN); // a closed stderr must not cut the run short
    InitMessages();           // before any strerror: the system's reasons in the user's language
    AnswerHelpOrVersion(argc, argv, "koltrep-evaluate", EvaluateHelp().c_str());
    std::string error;
    if (!ParseEvaluateOptions(argc, argv, run.options, error)) {
        std::fprintf(stderr, "koltrep-evaluate: %s\n%s", error.c_str(), _(kEvaluateUsage));
        return 2;
    }
    // No data file is read: nothing is drawn.
    if (!LoadRunCells(run.options.replay, run.plan, error) ||
        !CheckReplayOutputs(run.options.replay, run.plan.cells, {}, error)) {
        std::fprintf(stderr, "koltrep-evaluate: %s\n", error.c_str());
        return 2;
    }
    bool showUsage = false;
    if (!PlanRun("koltrep-evaluate", run.options.replay, run.plan, error, showUsage)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), showUsage ? _(kEvaluateUsage) : "");
        return 2;
    }
    drawFrames = false;
    walkMeasuresOn = run.options.replay.measures;
    if (run.options.replay.traceSteps) afterPhysicsStep = AfterStep;
    FillShapeTables();
    BuildWorld();
    RunAll();
    ShutDownScene();
    return run.failed ? 1 : 0;
}
