// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a drawing and writing a text file for the commands that work on
// one named file (dump, rewrite).
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace jww {
class TJwwData;
}

namespace app {
class ScopedImageFolder;
}

namespace app::cli {

// Reads `file` completely into `doc` (its images into `images` when given);
// prints why not on stderr.
bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images = nullptr);

// True (with a message) when `out` may not be written: it is the input, or
// it exists and `force` is not given.
bool RefuseExisting(const std::string& in, const std::string& out, bool force);

// Saves `text` as the whole file `path`; never replaces an existing file
// unless `force`. Returns why not, or an empty text.
std::string WriteText(const std::string& path, const std::string& text, bool force);

// --version N of the commands that write a drawing in a version asked for:
// the range the writer takes, checked with the same messages everywhere.
CLI::Option* AddWriteVersionOption(CLI::App& app, std::optional<int>& version,
                                   const std::string& help);

// The version to write for --version `asked`: a version some Jw_cad writes
// is taken as it is; any other number is rounded down to the release whose
// layout it has, and the user is told.
int VersionToWrite(int asked);

}  // namespace app::cli
