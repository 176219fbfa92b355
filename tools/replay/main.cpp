// koltrep-replay: runs the program headless from a key script. It enters WinMain, the loop users
// run, on SDL's offscreen video driver with a virtual clock and a scripted keyboard, and ends the
// way a user would: by pressing Escape. Its own additions, all made from the Application's hook
// after each tick, are the key events for the next tick, one trace row, and the saved frames.
#include <dinput.h>
#include <windows.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/data_option.h"
#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"
#include "gfx/device/frame_bracket.h"
#include "input/input.h"
#include "gfx/video_recording.h"
#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/time_control.h"
#include "sim/session_keys.h"
#include "sim/panel_actions.h"
#include "shell/usage.h"
#include "tools/replay/batch.h"
#include "tools/replay/help.h"
#include "records/key_script.h"
#include "tools/replay/measure.h"
#include "tools/replay/options.h"
#include "tools/replay/progress.h"
#include "tools/replay/run_plan.h"
#include "tools/replay/outputs.h"
#include "sim/trace_capture.h"
#include "sim/walk_measures.h"

#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3dx8/image_write.h>
#include <platform/dinput8/sources.h>
#include <platform/i18n/i18n.h>
#include <platform/win32/clock.h>
#include <platform/win32/services.h>

namespace {

// Ticks the loop may run past the Escape tick before the runner calls the close a failure.
constexpr long kCloseGrace = 4;
// Tick wall times kept for --timing; longer runs are summarised over their first ticks.
constexpr size_t kMaxTimedTicks = 1 << 22;
constexpr int kBaselineFrames = 200;
constexpr long kEarlyRssTick = 1000;

struct Timing {
    int64_t startNs = 0;
    int64_t firstFrameNs = 0;
    std::vector<int64_t> tickNs;
    int64_t loopStartNs = 0;
    int64_t loopEndNs = 0;
    uint64_t mainAllocsAtHalf = 0, allAllocsAtHalf = 0;
    uint64_t mainAllocsAtEnd = 0, allAllocsAtEnd = 0;
    AllocationSources sourcesAtHalf, sourcesAtEnd;
    long halfTick = 0;
    long rssEarlyKiB = 0;
};

struct Replay {
    ReplayOptions options;
    std::vector<KeyEvent> events;
    size_t nextEvent = 0;
    std::vector<PanelAction> actions; // the script's panel lines and pulls
    Machine startMachine;             // every cell's, whatever a machine line rebuilt
    size_t nextAction = 0;
    long tick = 0; // the tick being run
    long lastTick = 0;
    long step = 0; // physics steps so far, for --trace-steps
    TraceWriter trace;
    platform::dinput::ScriptedKeyboard keyboard;
    Timing timing;
    bool failed = false;
    std::vector<uint8_t> pixels;
    ProgressBar progress;
    std::vector<BatchCell> cells; // --cells: the batch, run one after another
    size_t cell = 0;              // the cell being run
    video::VideoRecorder video;
    long framesSaved = 0;
    bool shotSaved = false;
};

Replay replay;

void Say(const std::string& line) {
    replay.progress.Clear();
    std::fprintf(stderr, "koltrep-replay: %s\n", line.c_str());
}

void Fail(const std::string& message) {
    Say(message);
    replay.failed = true;
}

// An output that cannot take more ends the run at once; what it kept is told when it closes.
void StopForOutput() {
    replay.failed = true;
    PostQuitMessage(1);
}

// Each output says where it went once it is complete, as F9 does for its video.
void CloseTrace() {
    std::string error;
    const long rows = replay.trace.rows();
    const std::string path =
        replay.cells.empty() ? replay.options.trace : replay.cells[replay.cell].trace;
    if (!replay.trace.IsOpen()) return;
    if (!replay.trace.Close(error))
        Fail(error);
    else
        Say(FormatText(_("Trace saved: %s (%ld rows)"), path.c_str(), rows));
}

bool SaveBackBuffer(const std::string& path) {
    UINT width = 0, height = 0;
    if (!platform::d3d8::ReadBackBuffer(d3dDevice, replay.pixels, width, height)) {
        Fail("cannot read the back buffer for " + path);
        return false;
    }
    std::string error;
    if (!platform::d3dx::WritePngRgba(path.c_str(), width, height, replay.pixels.data(), error)) {
        Fail(error);
        return false;
    }
    return true;
}

void CloseVideo() {
    if (!replay.video.isOpen()) return;
    std::string line;
    if (CloseTickVideo(replay.video, line))
        Say(line);
    else
        Fail(line);
}

void TellPictures() {
    if (replay.framesSaved > 0)
        Say(FormatText(_("Frames saved: %s (%ld pictures)"), replay.options.framesDir.c_str(),
                       replay.framesSaved));
    if (replay.shotSaved) Say(FormatText(_("Picture saved: %s"), replay.options.shot.c_str()));
}

void SaveFrames() {
    if (!replay.options.framesDir.empty() && replay.tick % replay.options.every == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "/%06ld.png", replay.tick);
        if (SaveBackBuffer(replay.options.framesDir + name)) ++replay.framesSaved;
    }
    if (!replay.options.shot.empty() && replay.tick == replay.lastTick)
        replay.shotSaved = SaveBackBuffer(replay.options.shot);
    std::string error;
    if (!replay.video.isOpen() || replay.failed) return;
    if (replay.video.Failed(error)) {
        StopForOutput();
    } else if (!CaptureTickVideoFrame(replay.video)) {
        Fail("cannot read the back buffer for " + replay.video.path());
        PostQuitMessage(1);
    }
}

// The keys the program samples at the start of `tick`; Escape on the last one.
void PlayEventsOf(long tick) {
    while (replay.nextEvent < replay.events.size() &&
           replay.events[replay.nextEvent].tick == tick) {
        const KeyEvent& event = replay.events[replay.nextEvent++];
        replay.keyboard.SetKey(event.key, event.down);
    }
    // Skipped ones (ticks before the first that runs) never act: the program had none of them.
    while (replay.nextAction < replay.actions.size() &&
           replay.actions[replay.nextAction].tick <= tick) {
        const PanelAction& action = replay.actions[replay.nextAction++];
        if (action.tick == tick) QueuePanelAction(action);
    }
    bool lastCell = replay.cell + 1 >= replay.cells.size();
    if (tick == replay.lastTick && lastCell) replay.keyboard.SetKey(DIK_ESCAPE, true);
}

// Before the first tick of every cell, right after its world is built.
void PerturbIfAsked() {
    if (!replay.cells.empty()) {
        const BatchCell& cell = replay.cells[replay.cell];
        if (cell.perturb) PerturbStart(cell.perturbSeed);
    } else if (replay.options.perturb) {
        PerturbStart(replay.options.perturbSeed);
    }
}

// The next cell of a batch starts as the program starts: the start's machine rebuilt as the reset
// key rebuilds it, the cell's control inputs, no key down and none remembered as down.
bool StartNextCell() {
    std::string error;
    CloseTrace();
    if (replay.failed) return false;
    ++replay.cell;
    const BatchCell& cell = replay.cells[replay.cell];
    if (!replay.trace.Open(cell.trace.c_str(), error, false, replay.options.measures)) {
        Fail(error);
        return false;
    }
    RebuildFrom(replay.startMachine);
    crankSpeed = cell.crankSpeed;
    frictionCoefficient = cell.friction;
    replay.keyboard.ReleaseAll();
    ClearInput();
    PerturbIfAsked();
    replay.tick = 0;
    replay.nextEvent = 0;
    replay.nextAction = 0;
    PlayEventsOf(0);
    return true;
}

// Tick wall times run from one hook to the next, so they hold the message pump as well.
// The trace row of tick or step `count`, with the measures' columns when asked for.
TraceRow TraceRowOf(long count) {
    TraceRow row = CaptureTraceRow(count);
    if (replay.options.measures) CaptureWalkMeasures(row);
    return row;
}

void MeasureTick(int64_t now) {
    Timing& timing = replay.timing;
    if (replay.tick == 0) {
        timing.firstFrameNs = now;
        timing.loopStartNs = now;
    } else if (timing.tickNs.size() < kMaxTimedTicks) {
        timing.tickNs.push_back(now - timing.loopEndNs);
    }
    timing.loopEndNs = now;
    timing.mainAllocsAtEnd = AllocationsOnThisThread();
    timing.allAllocsAtEnd = AllocationsOnAllThreads();
    timing.sourcesAtEnd = AllocationsBySource();
    if (replay.tick + 1 == timing.halfTick) {
        timing.mainAllocsAtHalf = AllocationsOnThisThread();
        timing.allAllocsAtHalf = AllocationsOnAllThreads();
        timing.sourcesAtHalf = AllocationsBySource();
    }
    if (replay.tick + 1 == kEarlyRssTick) timing.rssEarlyKiB = ResidentKiB();
}

// The Application's hook after each tick: the trace row and frames of the tick just run, then
// the keys of the next one.
void AfterTick() {
    if (replay.options.timing) MeasureTick(WallNs());
    if (!replay.options.traceSteps) replay.trace.Write(TraceRowOf(replay.tick));
    if (replay.trace.Failed()) {
        StopForOutput();
        return;
    }
    if (!replay.options.noDraw) SaveFrames();
    if (replay.tick == replay.lastTick && replay.cell + 1 < replay.cells.size()) {
        if (!StartNextCell()) PostQuitMessage(1);
        return;
    }
    ++replay.tick;
    replay.progress.Update(replay.tick);
    if (replay.tick > replay.lastTick + kCloseGrace) {
        Fail("Escape pressed at tick " + std::to_string(replay.lastTick) +
             " did not end the program");
        PostQuitMessage(1);
        return;
    }
    PlayEventsOf(replay.tick);
}

void AfterStep() {
    if (!replay.trace.Failed()) replay.trace.Write(TraceRowOf(replay.step++));
}

// A lock folder of this run's own, so that neither a running koltrep nor another replay
// (tests run several at once) holds "varn mutex" against it.
class PrivateLockFolder {
  public:
    bool Create() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/koltrep-replay-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) return false;
        folder_ = buffer.data();
        platform::SetLockFolder(folder_);
        return true;
    }
    // The lock is still held until the Application's shut-down at exit; unlinking the file
    // under it is harmless, since no other process looks in this folder.
    ~PrivateLockFolder() {
        if (folder_.empty()) return;
        unlink(platform::LockFilePath("varn mutex").c_str());
        rmdir(folder_.c_str());
    }
    const std::string& folder() const { return folder_; }

  private:
    std::string folder_;
};

void PrintTiming(const Timing& timing, long ticksRun) {
    std::printf("timing: %ld ticks, %s\n", ticksRun,
                replay.options.noDraw ? "without drawing" : "with drawing");
    std::printf("timing: start-up to the %s: %.1f ms\n",
                replay.options.noDraw ? "end of the first tick" : "first presented frame",
                (timing.firstFrameNs - timing.startNs) / 1e6);
    Percentiles ticks = SummariseNs(timing.tickNs);
    std::printf("timing: tick wall time: median %.3f ms, p99 %.3f ms\n", ticks.medianMs,
                ticks.p99Ms);
    double loopSeconds = (timing.loopEndNs - timing.loopStartNs) / 1e9;
    if (loopSeconds > 0)
        std::printf("timing: ticks per second: %.1f\n",
                    static_cast<double>(ticksRun - 1) / loopSeconds);
    if (AllocationCountingAvailable() && ticksRun > timing.halfTick) {
        double steadyTicks = static_cast<double>(ticksRun - timing.halfTick);
        std::printf("timing: heap allocations per tick in steady state (second half): %.2f on "
                    "the program's thread, %.2f on all threads\n",
                    (timing.mainAllocsAtEnd - timing.mainAllocsAtHalf) / steadyTicks,
                    (timing.allAllocsAtEnd - timing.allAllocsAtHalf) / steadyTicks);
        const AllocationSources& a = timing.sourcesAtHalf;
        const AllocationSources& b = timing.sourcesAtEnd;
        const uint64_t physics = b.physicsAllThreads - a.physicsAllThreads;
        const uint64_t driver = b.driverAllThreads - a.driverAllThreads;
        const uint64_t all = timing.allAllocsAtEnd - timing.allAllocsAtHalf;
        const uint64_t mainOwn = timing.mainAllocsAtEnd - timing.mainAllocsAtHalf -
                                 (b.physicsThisThread - a.physicsThisThread) -
                                 (b.driverThisThread - a.driverThisThread);
        std::printf("timing: of these per tick: %.2f inside ODE, %.2f inside the GL driver, "
                    "%.2f elsewhere (%.2f on the program's thread)\n",
                    physics / steadyTicks, driver / steadyTicks,
                    (all - physics - driver) / steadyTicks, mainOwn / steadyTicks);
    }
    if (timing.rssEarlyKiB > 0 && ticksRun > kEarlyRssTick)
        std::printf("timing: resident memory after %ld ticks: %ld KiB\n", kEarlyRssTick,
                    timing.rssEarlyKiB);
    std::printf("timing: resident memory after %ld ticks: %ld KiB\n", ticksRun, ResidentKiB());
}

// Empty frames on the same device, after the replay: what a tick costs with nothing drawn.
void PrintBaseline() {
    std::vector<int64_t> frames;
    frames.reserve(kBaselineFrames);
    for (int i = 0; i < kBaselineFrames; ++i) {
        int64_t start = WallNs();
        if (BeginFrame(D3DCOLOR_XRGB(0, 0, 0))) EndFrame();
        frames.push_back(WallNs() - start);
    }
    Percentiles empty = SummariseNs(frames);
    std::printf("timing: baseline, empty BeginFrame/EndFrame: median %.3f ms, p99 %.3f ms "
                "(%d frames)\n",
                empty.medianMs, empty.p99Ms, kBaselineFrames);
}

// Leaves before the program has started: the Application's shut-down at process exit would
// only log the release of things that never existed.
[[noreturn]] void ExitBeforeStartUp(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN); // a closed stderr must not cut the run short
    Timing& timing = replay.timing;
    timing.startNs = WallNs();

    std::string error;
    // Taken first, so that --help shows the folder it names.
    const bool dataTaken = TakeDataOption(argc, argv, error);
    AnswerHelpOrVersion(argc, argv, "koltrep-replay", (ReplayHelp() + DataLookupHelp()).c_str());
    if (!dataTaken) {
        std::fprintf(stderr, "koltrep-replay: %s\n", error.c_str());
        ExitBeforeStartUp(2);
    }
    if (!ParseReplayOptions(argc, argv, replay.options, error)) {
        std::fprintf(stderr, "koltrep-replay: %s\n%s", error.c_str(), kReplayUsage);
        ExitBeforeStartUp(2);
    }
    RunPlan plan;
    if (!LoadRunCells(replay.options, plan, error)) {
        std::fprintf(stderr, "koltrep-replay: %s\n", error.c_str());
        ExitBeforeStartUp(2);
    }
    if (!CheckReplayOutputs(replay.options, plan.cells, DataFilesRead(), error) ||
        (!replay.options.video.empty() && !video::KnownVideoName(replay.options.video, error))) {
        std::fprintf(stderr, "koltrep-replay: %s\n", error.c_str());
        ExitBeforeStartUp(2);
    }
    bool showUsage = false;
    if (!PlanRun("koltrep-replay", replay.options, plan, error, showUsage)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), showUsage ? kReplayUsage : "");
        ExitBeforeStartUp(2);
    }
    replay.events = std::move(plan.events);
    replay.actions = std::move(plan.actions);
    replay.startMachine = plan.startMachine;
    replay.lastTick = plan.lastTick;
    replay.cells = std::move(plan.cells);
    if (!replay.options.framesDir.empty()) {
        const char* dir = replay.options.framesDir.c_str();
        if (mkdir(dir, 0777) != 0) {
            int reason = errno;
            struct stat info {};
            bool isFolder = reason == EEXIST && stat(dir, &info) == 0 && S_ISDIR(info.st_mode);
            if (!isFolder) {
                std::fprintf(stderr, "koltrep-replay: cannot create %s: %s\n", dir,
                             reason == EEXIST ? "a file is in the way" : std::strerror(reason));
                ExitBeforeStartUp(2);
            }
        }
    }
    if (!replay.options.trace.empty() &&
        !replay.trace.Open(replay.options.trace.c_str(), error, replay.options.traceSteps,
                           replay.options.measures)) {
        std::fprintf(stderr, "koltrep-replay: %s\n", error.c_str());
        ExitBeforeStartUp(2);
    }

    if (!replay.options.video.empty() &&
        !OpenTickVideo(replay.video, replay.options.video, error)) {
        std::fprintf(stderr, "koltrep-replay: %s\n", error.c_str());
        ExitBeforeStartUp(2);
    }

    // The platform services the run replaces, all before SDL or the program starts.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    platform::VirtualClock clock;
    platform::SetClock(&clock);
    platform::dinput::SetKeyboardSource(&replay.keyboard);
    // Controllers on this machine must not vary a run.
    platform::dinput::ScriptedJoysticks noJoysticks;
    platform::dinput::SetJoystickSource(&noJoysticks);
    PrivateLockFolder lockFolder;
    if (!lockFolder.Create()) {
        std::fprintf(stderr, "koltrep-replay: cannot create a lock folder: %s\n",
                     std::strerror(errno));
        ExitBeforeStartUp(1);
    }
    // The program sees a command line of its own, so the runner's options never reach
    // HasOption. It runs windowed: full screen would only scale the same picture.
    char programName[] = "koltrep";
    char windowedOption[] = "-win";
    char* programArgs[] = {programName, windowedOption, nullptr};
    SetCommandLine(2, programArgs);

    if (replay.options.setCrankSpeed) crankSpeed = replay.options.crankSpeed;
    if (replay.options.setFriction) frictionCoefficient = replay.options.friction;
    drawFrames = !replay.options.noDraw;
    walkMeasuresOn = replay.options.measures;
    if (replay.options.timing) {
        CountAllocationSources();
        timing.tickNs.reserve(std::min<size_t>(replay.options.ticks, kMaxTimedTicks));
        timing.halfTick = replay.options.ticks / 2;
        timing.mainAllocsAtHalf = AllocationsOnThisThread();
        timing.allAllocsAtHalf = AllocationsOnAllThreads();
    }
    application.afterTick = AfterTick;
    // A recorded F11 or Alt+Enter plays as a key like any other, read by nothing.
    application.windowModeKeys = false;
    if (replay.options.traceSteps) afterPhysicsStep = AfterStep;
    if (replay.options.perturb || !replay.cells.empty())
        application.beforeFirstTick = PerturbIfAsked;
    PlayEventsOf(0);
    replay.progress.Start(replay.options.ticks, isatty(STDERR_FILENO) == 1);

    WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    replay.progress.Clear();
    if (replay.tick == 0) {
        std::fprintf(stderr, "koltrep-replay: the program's start-up failed (see above)\n");
        return 1;
    }
    long ticksRun = replay.tick;
    if (!replay.failed && replay.tick <= replay.lastTick)
        std::fprintf(stderr,
                     "koltrep-replay: note: the script's Escape ended the run after %ld "
                     "ticks\n",
                     replay.tick);

    if (replay.options.timing) {
        PrintTiming(timing, ticksRun);
        if (!replay.options.noDraw) PrintBaseline();
        std::fflush(stdout);
    }
    CloseTrace();
    CloseVideo();
    TellPictures();
    // The Application's shut-down runs at process exit, as after WinMain.
    return replay.failed ? 1 : 0;
}
