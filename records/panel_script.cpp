// Panel lines of a key script. Like the key lines they come from the user's hands: every field
// is checked against the range the program can take, and a bad line is reported by number.
#include "records/panel_script.h"
#include "records/text_lines.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include <platform/i18n/i18n.h>

const char* const kPanelSettingNames[kPanelSettingCount] = {
    "crank_speed", "friction", "rate",     "paused",   "trails",
    "gait_panel",  "contacts", "footfall", "key_list", "view"};
const char* const kPanelCommandNames[kPanelCommandCount] = {"step", "reset", "screenshot", "video"};

namespace {

constexpr std::string_view kPrefix = "#@";
// A machine line carries the most: its tick, its verb and every key it sets.
constexpr int kMaxFields = 2 + kMaxMachineEdits;
// Far beyond anything the machine can use, near enough that no sum of them overflows a float.
constexpr double kMaxMagnitude = 1.0e6;

struct Range {
    double low, high;
    bool whole;
};

constexpr Range kSettingRanges[kPanelSettingCount] = {
    {-100.0, 100.0, false}, // crank speed, turns a second
    {0.0, kMaxMagnitude, false},
    {0.0, 6.0, true}, // rate index: 1/16 .. 4
    {0.0, 1.0, true},
    {0.0, 1.0, true},
    {0.0, 1.0, true},
    {0.0, 1.0, true},
    {0.0, 1.0, true},
    {0.0, 1.0, true},
    {0.0, 2.0, true}, // Back View, Driver View, Manual View
};

int SplitFields(std::string_view line, std::string_view* fields) {
    int count = 0;
    std::size_t i = 0;
    while (i < line.size() && count <= kMaxFields) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i == line.size()) break;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (count < kMaxFields) fields[count] = line.substr(start, i - start);
        ++count;
    }
    return count;
}

bool ReadNumber(std::string_view text, double& value) {
    if (text.empty() || text.size() > 40) return false;
    auto [rest, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && rest == text.data() + text.size() && std::isfinite(value);
}

bool ReadTick(std::string_view text, long& tick) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    auto [rest, status] = std::from_chars(text.data(), text.data() + text.size(), tick);
    return status == std::errc() && rest == text.data() + text.size() &&
           tick <= std::numeric_limits<int32_t>::max();
}

int FindName(std::string_view name, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (name == names[i]) return i;
    return -1;
}

std::string Shown(std::string_view text) {
    return "'" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "...'" : "'");
}

// The fields after the tick; `error` names what is wrong without the line number.
bool ReadSet(const std::string_view* f, int count, PanelAction& action, std::string& error) {
    action.verb = PanelVerb::Set;
    if (count != 2) return error = _("expected 'set NAME VALUE'"), false;
    action.which = FindName(f[0], kPanelSettingNames, kPanelSettingCount);
    if (action.which < 0)
        return error = FormatText(_("unknown setting %s"), Shown(f[0]).c_str()), false;
    const Range& range = kSettingRanges[action.which];
    double value = 0.0;
    if (!ReadNumber(f[1], value) || value < range.low || value > range.high ||
        (range.whole && value != std::floor(value))) {
        const char* refusal = range.whole ? _("%s %s is not a whole number from %g to %g")
                                          : _("%s %s is not a number from %g to %g");
        return error = FormatText(refusal, kPanelSettingNames[action.which], Shown(f[1]).c_str(),
                                  range.low, range.high),
               false;
    }
    action.value = value;
    return true;
}

bool ReadPull(const std::string_view* f, int count, PanelAction& action, std::string& error) {
    action.verb = PanelVerb::Pull;
    if (count != 7) return error = _("expected 'pull BODY X Y Z TX TY TZ'"), false;
    long body = -1;
    if (!ReadTick(f[0], body) || body >= kPullBodyCount)
        return error =
                   FormatText(_("body %s is not a whole number from 0 to 32"), Shown(f[0]).c_str()),
               false;
    action.body = int(body);
    for (int i = 0; i < 6; ++i) {
        double value = 0.0;
        const bool grabbed = i < 3;
        if (!ReadNumber(f[1 + i], value) ||
            std::fabs(value) > (grabbed ? kMaxGrabOffset : kMaxTarget))
            return error = FormatText(grabbed ? _("grabbed point %s is not a number within 50")
                                              : _("target %s is not a number within 1e4"),
                                      Shown(f[1 + i]).c_str()),
                   false;
        (i < 3 ? action.point[i] : action.target[i - 3]) = value;
    }
    return true;
}

// "PATH=VALUE": the path's spelling and the number are checked here, the key and its range by
// the machine the edit is made to.
bool ReadEdit(std::string_view field, MachineEdit& edit, std::string& error) {
    const std::size_t equals = field.find('=');
    const std::string_view path = field.substr(0, equals);
    if (equals == std::string_view::npos || path.empty() || path.size() > kMaxMachinePath ||
        path.find_first_not_of("abcdefghijklmnopqrstuvwxyz_.0123456789") != std::string_view::npos)
        return error = "expected 'KEY=VALUE' with a machine file's key, not " + Shown(field), false;
    if (!ReadNumber(field.substr(equals + 1), edit.value))
        return error =
                   std::string(path) + ": " + Shown(field.substr(equals + 1)) + " is not a number",
               false;
    edit.path = std::string(path);
    return true;
}

bool ReadMachine(const std::string_view* f, int count, PanelAction& action, std::string& error) {
    action.verb = PanelVerb::Machine;
    for (int i = 0; i < count; ++i) {
        MachineEdit edit;
        if (!ReadEdit(f[i], edit, error)) return false;
        for (const MachineEdit& earlier : action.edits)
            if (earlier.path == edit.path) return error = edit.path + " given twice", false;
        action.edits.push_back(edit);
    }
    return true;
}

bool ReadAction(const std::string_view* f, int count, PanelAction& action, std::string& error) {
    if (count < 2) return error = _("expected '#@ TICK VERB ...'"), false;
    if (!ReadTick(f[0], action.tick))
        return error = FormatText(_("tick %s is not a whole number from 0 to 2147483647"),
                                  Shown(f[0]).c_str()),
               false;
    const std::string_view verb = f[1];
    if (verb == "set") return ReadSet(f + 2, count - 2, action, error);
    if (verb == "pull") return ReadPull(f + 2, count - 2, action, error);
    if (verb == "machine") return ReadMachine(f + 2, count - 2, action, error);
    if (verb == "release") {
        action.verb = PanelVerb::Release;
        return count == 2 || (error = _("'release' takes nothing after it"), false);
    }
    if (verb == "do") {
        action.verb = PanelVerb::Do;
        action.which = count == 3 ? FindName(f[2], kPanelCommandNames, kPanelCommandCount) : -1;
        return action.which >= 0 ||
               (error = _("expected 'do step', 'do reset', 'do screenshot' or 'do video'"), false);
    }
    return error = FormatText(_("unknown panel action %s"), Shown(verb).c_str()), false;
}

} // namespace

bool PullFits(const PanelAction& action) {
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(action.point[i]) <= kMaxGrabOffset) ||
            !(std::fabs(action.target[i]) <= kMaxTarget))
            return false;
    return action.body >= 0 && action.body < kPullBodyCount;
}

namespace {

// The shortest text that reads back to the same double: the line stays readable and exact.
std::string ExactNumber(double value) {
    char text[40];
    auto [end, status] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, status == std::errc() ? end : text);
}

std::string FormatMachine(const PanelAction& action) {
    std::string line = "#@ " + std::to_string(action.tick) + " machine";
    for (const MachineEdit& edit : action.edits)
        line += " " + edit.path + "=" + ExactNumber(edit.value);
    return line + "\n";
}

} // namespace

std::string FormatPanelAction(const PanelAction& action) {
    char line[512];
    switch (action.verb) {
    case PanelVerb::Set:
        std::snprintf(line, sizeof line, "#@ %ld set %s %.17g\n", action.tick,
                      kPanelSettingNames[action.which], action.value);
        break;
    case PanelVerb::Do:
        std::snprintf(line, sizeof line, "#@ %ld do %s\n", action.tick,
                      kPanelCommandNames[action.which]);
        break;
    case PanelVerb::Pull:
        std::snprintf(line, sizeof line, "#@ %ld pull %d %.17g %.17g %.17g %.17g %.17g %.17g\n",
                      action.tick, action.body, action.point[0], action.point[1], action.point[2],
                      action.target[0], action.target[1], action.target[2]);
        break;
    case PanelVerb::Release:
        std::snprintf(line, sizeof line, "#@ %ld release\n", action.tick);
        break;
    case PanelVerb::Machine:
        return FormatMachine(action);
    }
    return line;
}

bool ParsePanelActions(std::string_view text, std::vector<PanelAction>& actions,
                       std::string& error) {
    actions.clear();
    TextLines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line.substr(start, kPrefix.size()) != kPrefix)
            continue;
        std::string_view fields[kMaxFields];
        const int count = SplitFields(line.substr(start + kPrefix.size()), fields);
        PanelAction action;
        action.line = lines.number();
        std::string reason;
        if (count > kMaxFields)
            reason = _("too many fields");
        else if (ReadAction(fields, count, action, reason) && !actions.empty() &&
                 action.tick < actions.back().tick)
            reason =
                FormatText(_("tick %ld comes after tick %ld"), action.tick, actions.back().tick);
        if (!reason.empty()) {
            error = "script:" + std::to_string(action.line) + ": " + reason;
            actions.clear();
            return false;
        }
        actions.push_back(action);
    }
    return true;
}
