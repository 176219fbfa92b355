// The two encodings the program's strings come in: UTF-8 (its own sources) and CP932 (text
// written for Windows, such as a face name or a message in Shift JIS).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform::font {

bool IsValidUtf8(const std::string& text);

// `text` itself when it is valid UTF-8, else its CP932 bytes converted; empty when neither.
std::string TextToUtf8(const std::string& text);

// Decodes UTF-8 into `out` (cleared first, its capacity kept); malformed sequences, overlong
// forms and surrogates become U+FFFD.
void DecodeUtf8(const char* text, size_t length, std::vector<char32_t>& out);

} // namespace platform::font
