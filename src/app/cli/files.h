// Reading a drawing and writing a text file for the commands that work on
// one named file (dump, rewrite).
#pragma once

#include <string>

namespace jww {
class TJwwData;
}

namespace app::cli {

// Reads `file` completely into `doc`; prints why not on stderr.
bool ReadDrawing(jww::TJwwData& doc, const std::string& file);

// True (with a message) when `out` may not be written: it is the input, or
// it exists and `force` is not given.
bool RefuseExisting(const std::string& in, const std::string& out, bool force);

// Writes `text` to `path` through a temporary file; never replaces an
// existing file unless `force`. Returns why not (the system's words), or
// an empty text.
std::string WriteText(const std::string& path, const std::string& text, bool force);

}  // namespace app::cli
