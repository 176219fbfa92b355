// MSZIP, the compression of "tzip" and "bzip" .x files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::xfile {

// Inflates the part of a compressed .x file after its 16-byte header: a DWORD with the
// uncompressed size, then blocks of a WORD uncompressed size, a WORD compressed size, "CK" and
// raw deflate data whose dictionary is the previous block's output. The output grows block by
// block and never past limit; every block must inflate to exactly its stated size.
bool InflateMsZip(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out,
                  std::string& reason);

} // namespace platform::xfile
