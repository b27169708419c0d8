#include "app/cli/files.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "jww/document.h"

namespace fs = std::filesystem;

namespace app::cli {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

bool ExistsAnyKind(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

bool ReadDrawing(jww::TJwwData& doc, const std::string& file) {
  if (!doc.FileCheck(file)) {
    std::cerr << "brindle: " << file
              << ": not a Jw_cad drawing of version 220 to 700, or it cannot be opened\n";
    return false;
  }
  if (!doc.FileIn(file)) {
    std::cerr << "brindle: " << file << ": the drawing could not be read completely\n";
    return false;
  }
  return true;
}

bool RefuseExisting(const std::string& in, const std::string& out, bool force) {
  if (SameFile(in, out)) {
    std::cerr << "brindle: " << out << " is the input file; it is never written\n";
    return true;
  }
  if (!force && ExistsAnyKind(out)) {
    std::cerr << "brindle: " << out << " exists (use --force to replace it)\n";
    return true;
  }
  return false;
}

bool WriteText(const std::string& path, const std::string& text, bool force) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  if (force) {
    fs::rename(tmp, path, ec);
  } else {
    // A hard link never replaces a file that appeared meanwhile.
    fs::create_hard_link(tmp, path, ec);
    std::error_code ignored;
    fs::remove(tmp, ignored);
  }
  return !ec;
}

}  // namespace app::cli
