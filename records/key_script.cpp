// Key script reading. A script comes from the user's hands: every field is checked, and a bad
// line is reported by number instead of being skipped, so a typo never silently changes a run.
#include "records/key_script.h"
#include "records/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <limits>

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
            error = LineError(lineNumber, "contains a NUL byte; a script is plain text");
            events.clear();
            return false;
        }
        std::string_view fields[4];
        int count = SplitFields(line, fields, 3);
        if (count == 0 || fields[0].front() == '#') continue;
        if (count != 3) {
            error = LineError(lineNumber, "expected 'TICK KEY down' or 'TICK KEY up', got " +
                                              std::to_string(count) + " field" +
                                              (count == 1 ? "" : "s"));
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
            error = LineError(lineNumber, "tick " + Quote(tickText) +
                                              " is not a whole number from 0 to 2147483647");
            events.clear();
            return false;
        }
        event.tick = tick;

        event.key = KeyFromName(fields[1]);
        if (event.key < 0) {
            error = LineError(lineNumber, "unknown key " + Quote(fields[1]) +
                                              " (use a DIK name without its prefix, e.g. UP)");
            events.clear();
            return false;
        }

        if (fields[2] == "down") {
            event.down = true;
        } else if (fields[2] == "up") {
            event.down = false;
        } else {
            error = LineError(lineNumber, "expected 'down' or 'up', got " + Quote(fields[2]));
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
                   long* statedTicks, std::vector<PanelAction>* actions) {
    events.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = std::string("script: cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    bool tooLarge = false;
    std::size_t got;
    errno = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + got > kMaxScriptBytes) {
            tooLarge = true;
            break;
        }
        text.append(buffer, got);
    }
    const int reason = std::ferror(file) != 0 ? (errno ? errno : EIO) : 0;
    std::fclose(file);
    if (tooLarge) {
        error = std::string("script: ") + path + " is larger than " +
                std::to_string(kMaxScriptBytes) + " bytes";
        return false;
    }
    if (reason != 0) {
        error = std::string("script: cannot read ") + path + ": " + std::strerror(reason);
        return false;
    }
    if (statedTicks != nullptr) *statedTicks = StatedTickCount(text);
    if (!ParseKeyScript(text, events, error)) return false;
    if (actions != nullptr && !ParsePanelActions(text, *actions, error)) {
        events.clear();
        return false;
    }
    return true;
}
