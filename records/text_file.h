// Reading a whole text file that came from outside, never more than a cap: a device or a huge
// file is refused after `cap` bytes instead of growing the process.
#pragma once

#include <cstddef>
#include <string>

enum class TextFileRead { kRead, kCannotOpen, kTooLarge, kCannotRead };

// `reason` gets errno's value for kCannotOpen and kCannotRead.
TextFileRead ReadTextFile(const char* path, std::size_t cap, std::string& text, int& reason);
