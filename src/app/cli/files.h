// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a drawing and writing a text file for the commands that work on
// one named file (dump, rewrite).
#pragma once

#include <string>

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

}  // namespace app::cli
