// Machine files: TOML, every key of machine_keys.h present, nothing else. A file is hostile until
// checked: its size, every key, type, value and range, then whether its linkage closes and its
// crank turns, all before anything is built from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "machine/machine.h"

constexpr std::size_t kMaxMachineFileBytes = 64 * 1024;

// Parses and checks `text` as read from `name`. On failure `error` is one line,
// "NAME:LINE:COLUMN: KEY: reason" (the place and key left out where there is none).
bool ParseMachineText(std::string_view text, const std::string& name, Machine& machine,
                      std::string& error);

// A loaded machine file: its machine and the hash of its bytes, which a recording names.
struct MachineFile {
    std::string path;
    std::string hash; // "fnv1a64:" and 16 hex digits
    Machine machine;
};

// Reads and checks the file at `path`; files above kMaxMachineFileBytes and anything but a
// regular file are refused unread.
bool LoadMachineFile(const std::string& path, MachineFile& file, std::string& error);

std::string HashMachineText(std::string_view text);

// The machine as a commented file a user can copy and edit, which reads back to the same
// machine, bit for bit.
std::string MachineText(const Machine& machine);
