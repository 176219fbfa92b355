// Panel changes and pulls of the hand in a key script, one a line: "#@ TICK VERB ARGS...". A
// reader that knows only keys takes them for comments, so such a script still plays its keys.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class PanelVerb { Set, Do, Pull, Release, Machine };

// What "set NAME VALUE" changes. Their script names are in kPanelSettingNames, in this order.
enum PanelSetting {
    kSetCrankSpeed,
    kSetFriction,
    kSetRate,
    kSetPaused,
    kSetTrails,
    kSetGaitPanel,
    kSetContacts,
    kSetFootfall,
    kSetKeyList,
    kSetView,
    kPanelSettingCount
};

// What "do NAME" runs once.
enum PanelCommand { kDoStep, kDoReset, kDoScreenshot, kDoVideo, kPanelCommandCount };

extern const char* const kPanelSettingNames[kPanelSettingCount];
extern const char* const kPanelCommandNames[kPanelCommandCount];

// The hand holds bodies 0..31 (the links) and 32 (the chassis).
constexpr int kPullBodyCount = 33;

// A grabbed point lies on the machine, the chassis 16 long: one farther out would turn a limited
// force into an unlimited torque. The target stays within the world's ground.
constexpr double kMaxGrabOffset = 50.0;
constexpr double kMaxTarget = 1.0e4;

// "machine PATH=VALUE ...": the machine in force with these keys of its file set, the world
// rebuilt from it. Paths are the machine file's ("linkage.crank", "legs.planes.2"); whether they
// name a key and the value fits is the machine's to say.
struct MachineEdit {
    std::string path;
    double value = 0.0;
};

// The most keys one machine line can set: every number of a machine file, with room to spare.
constexpr int kMaxMachineEdits = 32;
constexpr std::size_t kMaxMachinePath = 48;

struct PanelAction {
    long tick = 0;
    PanelVerb verb = PanelVerb::Set;
    int which = 0; // a PanelSetting or PanelCommand
    double value = 0.0;
    int body = 0;
    double point[3] = {};           // pull: the grabbed point in the body's own frame
    double target[3] = {};          // pull: where the pointer holds it, in the world
    std::vector<MachineEdit> edits; // machine: the keys set, in the line's order
    int line = 0;                   // 1-based line of the script it came from
};

// Whether a pull's body, point and target are within the limits a script is held to; the live
// program sends no pull that its replay would refuse.
bool PullFits(const PanelAction& action);

// The action's line, '\n' included. Numbers are written so that reading them back gives the
// same doubles, so a replay applies exactly what the live program did.
std::string FormatPanelAction(const PanelAction& action);

// Reads every "#@" line of a script; other lines are left to the key reader. On success the
// actions are in file order (ticks ascending is checked); on failure `error` reads
// "script:LINE: reason" and `actions` is empty.
bool ParsePanelActions(std::string_view text, std::vector<PanelAction>& actions,
                       std::string& error);
