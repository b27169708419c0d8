// Whole-file reads for the JWW readers: a drawing is parsed from memory, so
// that every read is bounds checked and the file is open only briefly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jww {

// Reads the file `path` (UTF-8) into `out`. False when it cannot be opened or
// read; `out` is then empty.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);

// Reads at most `limit` bytes from the start of the file (fewer when it is
// shorter). False when it cannot be opened.
bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out);

}  // namespace jww
