// PNG writing for saved frames, screenshots and test output.
#pragma once

#include <cstdint>
#include <string>

namespace platform::d3dx {

// Writes 8-bit RGBA rows from the top as a PNG file. A regular file already at `path` (or at
// the end of a link there) is replaced whole or not at all: the picture goes to a temporary file
// in the same folder, is synced and renamed over it. A device, pipe, folder or socket at `path`
// is refused and left alone. False with one line in `error` ("cannot write PATH: reason", the
// system's reason where it gave one) when nothing was written; no temporary file stays behind.
bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba,
                  std::string& error);
bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba);

} // namespace platform::d3dx
