// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file reads for the JWW readers: a drawing is parsed from memory, so
// that every read is bounds checked and the file is open only briefly.
//
// Only regular files are read. The file is opened without blocking, so that a
// FIFO or device put in a drawing's place cannot stall a batch, and what was
// opened is checked before a byte is read from that same descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace jww {

// Reasons of our own beside the system's errno values.
enum class FileError {
  kNotRegularFile = 1,  // a FIFO, device, socket or folder
};
const std::error_category& FileErrorCategory();
std::error_code make_error_code(FileError e);

// Reads the file `path` (UTF-8) into `out`. False when it cannot be opened or
// read; `out` is then empty and `cause` (when given) holds the reason, an
// errno value of the system category or FileError::kNotRegularFile.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out,
                   std::error_code* cause = nullptr);

// Reads at most `limit` bytes from the start of the file (fewer when it is
// shorter). False when it cannot be opened or read, with `cause` as above.
bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                    std::error_code* cause = nullptr);

}  // namespace jww

template <>
struct std::is_error_code_enum<jww::FileError> : std::true_type {};
