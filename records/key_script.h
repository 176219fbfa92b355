// Key scripts: one event per line, "TICK KEY down" or "TICK KEY up". The live program records
// its drives in them, the replay runner plays them back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "records/panel_script.h"
#include "records/recorded_start.h"

struct KeyEvent {
    long tick;
    int key; // DIK code
    bool down;
    int line; // 1-based line of the script it came from
};

struct KeyName {
    const char* name;
    int key;
};

extern const KeyName kKeyNames[];
extern const int kKeyNameCount;

// The DIK code for a name without its prefix ("UP", "ESCAPE", "A"), in any letter case;
// -1 when there is no such key.
int KeyFromName(std::string_view name);

// Up to three key names closest to a name that is none ("BACK, BACKSLASH" for "BACKSPACE"),
// comma-separated, nearest first; "" when none is close.
std::string NearestKeyNames(std::string_view given);

// Parses a whole script. On success the events are ordered by tick, and events of one tick keep
// their order in the file. On failure `error` reads "script:LINE: reason" and `events` is empty.
bool ParseKeyScript(std::string_view text, std::vector<KeyEvent>& events, std::string& error);

// The tick count a recorded script states on its last line, "# N ticks: ..."; 0 when the last
// line says none.
long StatedTickCount(std::string_view text);

// Reads and parses a script file, and, when asked, the tick count and the start it states and its
// panel lines. Files above kMaxScriptBytes are refused unread.
constexpr std::size_t kMaxScriptBytes = 16 * 1024 * 1024;
bool LoadKeyScript(const char* path, std::vector<KeyEvent>& events, std::string& error,
                   long* statedTicks = nullptr, RecordedStart* start = nullptr,
                   std::vector<PanelAction>* actions = nullptr);
