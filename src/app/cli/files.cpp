#include "app/cli/files.h"

#include <filesystem>
#include <iostream>

#include "app/steps.h"
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

bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images) {
  std::string error;
  if (app::ReadDrawing(doc, file, images, &error)) return true;
  std::cerr << "brindle: " << file << ": " << error << "\n";
  return false;
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
  std::string error;
  return !SaveText(path, text, force ? NameRule::kReplace : NameRule::kExact, &error).empty();
}

}  // namespace app::cli
