// Reading and checking machine files.
#include "machine/machine_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

// The parser's failures come back as values, not exceptions, and it is compiled into this file
// alone, so its settings cannot disagree with another translation unit's.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
// The parser states its invariants as assertions, which a release build turns into assumptions
// (__builtin_assume under clang). A hostile file breaks some of them ("[: x", "a = [}"), which
// would be undefined behaviour there and an abort in a debug build. Here they are neither
// assumed nor asserted: the parser goes on to report the file's mistake as any other.
#ifdef NDEBUG
#define KOLTREP_NDEBUG_WAS_SET
#undef NDEBUG
#endif
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>
#ifdef KOLTREP_NDEBUG_WAS_SET
#define NDEBUG
#undef KOLTREP_NDEBUG_WAS_SET
#endif

#include <platform/i18n/i18n.h>

#include "machine/four_bar.h"
#include "machine/machine_keys.h"

namespace {

// Text from the file (a key, the parser's quote of a character) goes to a terminal: control
// characters are shown escaped, and a long key is cut, so that the message stays one plain line.
std::string Shown(std::string_view text, size_t limit) {
    std::string shown;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return text.size() > limit ? shown + "..." : shown;
}

constexpr size_t kShownKey = 64, kShownReason = 400;

struct Place {
    std::string name;
    toml::source_position at{0, 0};

    std::string Say(const std::string& key, const std::string& reason) const {
        std::string text = name;
        if (at.line > 0) text += ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
        text += ": ";
        if (!key.empty()) text += Shown(key, kShownKey) + ": ";
        return Shown(text + Shown(reason, kShownReason), std::string::npos);
    }
};

bool IsKnownTable(std::string_view name) {
    for (int t = 0; t < kMachineTableCount; ++t)
        if (name == kMachineTables[t].name) return true;
    return false;
}

bool IsKnownKey(std::string_view table, std::string_view name) {
    for (int k = 0; k < kMachineKeyCount; ++k)
        if (table == kMachineKeys[k].table && name == kMachineKeys[k].name) return true;
    return false;
}

// Every key the file has must be one of ours, each table a table.
bool OnlyKnownKeys(const toml::table& root, Place place, std::string& error) {
    for (auto&& [tableKey, node] : root) {
        place.at = tableKey.source().begin;
        const std::string table(tableKey.str());
        if (!IsKnownTable(table)) {
            error = place.Say(table, _("unknown table"));
            return false;
        }
        const toml::table* keys = node.as_table();
        if (keys == nullptr) {
            error = place.Say(table, FormatText(_("must be a table, [%s]"), table.c_str()));
            return false;
        }
        for (auto&& [key, value] : *keys) {
            place.at = key.source().begin;
            if (!IsKnownKey(table, key.str())) {
                error = place.Say(table + "." + std::string(key.str()), _("unknown key"));
                return false;
            }
        }
    }
    return true;
}

bool ReadNumber(const toml::node& node, double& value) {
    if (const auto* integer = node.as_integer()) {
        value = static_cast<double>(integer->get());
        return true;
    }
    if (const auto* floating = node.as_floating_point()) {
        value = floating->get();
        return true;
    }
    return false;
}

std::string RangeText(const MachineKey& key) {
    return FormatText(_("must be a number from %g to %g %s"), key.low, key.high, key.unit);
}

bool CheckNumber(const toml::node& node, const MachineKey& key, const std::string& path,
                 Place place, double& value, std::string& error) {
    place.at = node.source().begin;
    if (!ReadNumber(node, value)) {
        error = place.Say(path, RangeText(key));
        return false;
    }
    if (!std::isfinite(value)) {
        error = place.Say(path, _("is not a finite number"));
        return false;
    }
    if (!(value >= key.low && value <= key.high)) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%g", value);
        error =
            place.Say(path, FormatText(_("%s is out of range: %s"), shown, RangeText(key).c_str()));
        return false;
    }
    return true;
}

bool ReadKey(const toml::table& root, const MachineKey& key, Place place, Machine& machine,
             std::string& error) {
    const std::string path = std::string(key.table) + "." + key.name;
    const toml::table* table = root[key.table].as_table();
    if (table == nullptr) {
        error = place.Say(key.table, FormatText(_("missing table [%s]"), key.table));
        return false;
    }
    const toml::node* node = table->get(key.name);
    if (node == nullptr) {
        place.at = table->source().begin;
        error = place.Say(path, _("missing"));
        return false;
    }
    if (key.count == 1) return CheckNumber(*node, key, path, place, key.at(machine, 0), error);
    const toml::array* array = node->as_array();
    if (array == nullptr || array->size() != static_cast<size_t>(key.count)) {
        place.at = node->source().begin;
        error = place.Say(path, FormatText(_("must be an array of %d numbers"), key.count));
        return false;
    }
    for (int i = 0; i < key.count; ++i)
        if (!CheckNumber(*array->get(i), key, path + "[" + std::to_string(i) + "]", place,
                         key.at(machine, i), error))
            return false;
    return true;
}

bool CheckLinkage(const toml::table& root, Place place, const Machine& machine,
                  std::string& error) {
    place.at = root["linkage"].node()->source().begin;
    std::string problem = CrankTurnProblem(machine.linkage);
    LegBuildPose pose;
    if (problem.empty() && !BuildPoseOf(machine.linkage, pose))
        problem = _("the four-bar loop cannot close with the crank straight up");
    if (problem.empty()) return true;
    error = place.Say("linkage", problem);
    return false;
}

// The parser's whitespace tests reach an unreachable branch for some characters beyond ASCII
// (U+00A1 to U+0499, U+2D8E to U+3187), which is undefined behaviour on a hostile file. Nothing
// outside a comment needs more than ASCII, so such bytes are refused there; inside a comment
// (after a '#' on a line without quotes) they are blanked, since the parser never reads them.
bool ScreenNonAscii(std::string_view text, std::string& screened, Place& place) {
    screened.assign(text);
    size_t lineStart = 0;
    for (uint32_t line = 1; lineStart < screened.size(); ++line) {
        size_t end = screened.find('\n', lineStart);
        if (end == std::string::npos) end = screened.size();
        const std::string_view content(screened.data() + lineStart, end - lineStart);
        const size_t hash = content.find('#');
        const bool quoted = content.find_first_of("'\"") < hash;
        for (size_t i = 0; i < content.size(); ++i) {
            if (static_cast<unsigned char>(content[i]) < 0x80) continue;
            if (hash != std::string_view::npos && i > hash && !quoted) {
                screened[lineStart + i] = ' ';
                continue;
            }
            place.at = {line, static_cast<uint32_t>(i + 1)};
            return false;
        }
        lineStart = end + 1;
    }
    return true;
}

} // namespace

bool ParseMachineText(std::string_view text, const std::string& name, Machine& machine,
                      std::string& error) {
    Place place{name};
    std::string screened;
    if (!ScreenNonAscii(text, screened, place)) {
        error = place.Say("", _("a machine file is ASCII text outside its comments"));
        return false;
    }
    toml::parse_result parsed = toml::parse(screened, std::string_view(name));
    if (!parsed) {
        place.at = parsed.error().source().begin;
        error = place.Say("", std::string(parsed.error().description()));
        return false;
    }
    const toml::table& root = parsed.table();
    if (!OnlyKnownKeys(root, place, error)) return false;
    Machine read = DesignMachine();
    for (int k = 0; k < kMachineKeyCount; ++k)
        if (!ReadKey(root, kMachineKeys[k], place, read, error)) return false;
    if (!CheckLinkage(root, place, read, error)) return false;
    machine = read;
    return true;
}

std::string HashMachineText(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("fnv1a64:") + hex;
}

namespace {

bool ReadWhole(const std::string& path, std::string& text, std::string& error) {
    // Non-blocking, so that a named pipe in the file's place is refused rather than waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = FormatText(_("cannot read %s: %s"), path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) error = FormatText(_("%s is not a regular file"), path.c_str());
    char buffer[4096];
    while (ok) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = FormatText(_("cannot read %s: %s"), path.c_str(), std::strerror(errno));
            ok = false;
        } else if (got == 0) {
            break;
        } else if (text.size() + size_t(got) > kMaxMachineFileBytes) {
            error = FormatText(_("%s is larger than a machine file can be (%zu bytes)"),
                               path.c_str(), kMaxMachineFileBytes);
            ok = false;
        } else {
            text.append(buffer, size_t(got));
        }
    }
    close(fd);
    return ok;
}

} // namespace

bool LoadMachineFile(const std::string& path, MachineFile& file, std::string& error) {
    std::string text;
    if (!ReadWhole(path, text, error)) return false;
    if (!ParseMachineText(text, path, file.machine, error)) return false;
    file.path = path;
    file.hash = HashMachineText(text);
    return true;
}
