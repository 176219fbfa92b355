// Key script reading. A script comes from the user's hands: every field is checked, and a bad
// line is reported by number instead of being skipped, so a typo never silently changes a run.
#include "records/key_script.h"
#include "records/text_file.h"
#include "records/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <limits>

#include <platform/i18n/i18n.h>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits a line into fields separated by blanks; at most `limit` + 1 are kept, so a caller can
// tell "too many" from "exactly right" without storing the rest.
int SplitFields(std::string_view line, std::string_view* fields, int limit) {
    int count = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size()) break;
        std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (count <= limit) fields[count] = line.substr(start, i - start);
        ++count;
        if (count > limit) break;
    }
    return count;
}

std::string Quote(std::string_view text) {
    // Long garbage is cut so one bad line cannot flood the terminal.
    constexpr std::size_t kShown = 40;
    std::string quoted = "'";
    quoted.append(text.substr(0, kShown));
    if (text.size() > kShown) quoted += "...";
    quoted += "'";
    return quoted;
}

std::string LineError(int line, const std::string& reason) {
    return "script:" + std::to_string(line) + ": " + reason;
}

std::string UnknownKey(std::string_view name) {
    const std::string nearest = NearestKeyNames(name);
    if (nearest.empty())
        return FormatText(_("unknown key %s (use a DIK name without its prefix, e.g. UP)"),
                          Quote(name).c_str());
    return FormatText(_("unknown key %s (did you mean %s? Names are DIK names without their "
                        "prefix)"),
                      Quote(name).c_str(), nearest.c_str());
}

} // namespace

int KeyFromName(std::string_view name) {
    if (name.empty()) return -1;
    for (int i = 0; i < kKeyNameCount; ++i) {
        const char* candidate = kKeyNames[i].name;
        if (std::strlen(candidate) != name.size()) continue;
        bool same = true;
        for (std::size_t c = 0; c < name.size() && same; ++c) {
            char a = name[c];
            if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
            same = a == candidate[c];
        }
        if (same) return kKeyNames[i].key;
    }
    return -1;
}

bool ParseKeyScript(std::string_view text, std::vector<KeyEvent>& events, std::string& error) {
    events.clear();
    // Editors on some systems start a UTF-8 file with a byte-order mark; it is no part of a tick.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    TextLines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const int lineNumber = lines.number();
        if (line.find('\0') != std::string_view::npos) {
            error = LineError(lineNumber, _("contains a NUL byte; a script is plain text"));
            events.clear();
            return false;
        }
        std::string_view fields[4];
        int count = SplitFields(line, fields, 3);
        if (count == 0 || fields[0].front() == '#') continue;
        if (count != 3) {
            error = LineError(
                lineNumber, FormatText(TranslatePlural("expected 'TICK KEY down' or 'TICK KEY up', "
                                                       "got %d field",
                                                       "expected 'TICK KEY down' or 'TICK KEY up', "
                                                       "got %d fields",
                                                       static_cast<unsigned long>(count)),
                                       count));
            events.clear();
            return false;
        }

        KeyEvent event{};
        event.line = lineNumber;
        std::string_view tickText = fields[0];
        long tick = -1;
        auto [rest, status] =
            std::from_chars(tickText.data(), tickText.data() + tickText.size(), tick);
        bool digitsOnly = tickText.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digitsOnly || status != std::errc() || rest != tickText.data() + tickText.size() ||
            tick > std::numeric_limits<int32_t>::max()) {
            error = LineError(lineNumber,
                              FormatText(_("tick %s is not a whole number from 0 to 2147483647"),
                                         Quote(tickText).c_str()));
            events.clear();
            return false;
        }
        event.tick = tick;

        event.key = KeyFromName(fields[1]);
        if (event.key < 0) {
            error = LineError(lineNumber, UnknownKey(fields[1]));
            events.clear();
            return false;
        }

        if (fields[2] == "down") {
            event.down = true;
        } else if (fields[2] == "up") {
            event.down = false;
        } else {
            error = LineError(lineNumber, FormatText(_("expected 'down' or 'up', got %s"),
                                                     Quote(fields[2]).c_str()));
            events.clear();
            return false;
        }
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.tick < b.tick; });
    return true;
}

long StatedTickCount(std::string_view text) {
    std::size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string_view::npos) return 0;
    std::size_t start = text.find_last_of('\n', end);
    std::string_view line = text.substr(start == std::string_view::npos ? 0 : start + 1);
    std::string_view fields[3];
    if (SplitFields(line, fields, 2) < 3 || fields[0] != "#") return 0;
    if (fields[2] != "ticks" && fields[2] != "ticks:") return 0;
    long count = 0;
    const std::string_view digits = fields[1];
    auto [rest, status] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (status != std::errc() || rest != digits.data() + digits.size() ||
        digits.find_first_not_of("0123456789") != std::string_view::npos ||
        count > std::numeric_limits<int32_t>::max())
        return 0;
    return count;
}

bool LoadKeyScript(const char* path, std::vector<KeyEvent>& events, std::string& error,
                   long* statedTicks, RecordedStart* start, std::vector<PanelAction>* actions) {
    events.clear();
    std::string text;
    int reason = 0;
    switch (ReadTextFile(path, kMaxScriptBytes, text, reason)) {
    case TextFileRead::kCannotOpen:
        error = FormatText(_("script: cannot open %s: %s"), path, std::strerror(reason));
        return false;
    case TextFileRead::kTooLarge:
        error = FormatText(_("script: %s is larger than %zu bytes"), path, kMaxScriptBytes);
        return false;
    case TextFileRead::kCannotRead:
        error = FormatText(_("script: cannot read %s: %s"), path, std::strerror(reason));
        return false;
    case TextFileRead::kRead:
        break;
    }
    if (statedTicks != nullptr) *statedTicks = StatedTickCount(text);
    if (start != nullptr) *start = ReadRecordedStart(text);
    if (!ParseKeyScript(text, events, error)) return false;
    if (actions != nullptr && !ParsePanelActions(text, *actions, error)) {
        events.clear();
        return false;
    }
    return true;
}
