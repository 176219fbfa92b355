// PNG writing for saved frames and test output.
#pragma once

#include <cstdint>

// Writes 8-bit RGBA rows from the top as a PNG file. Returns false (and leaves no partial file)
// when the file cannot be written or the size is zero.
bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba);
