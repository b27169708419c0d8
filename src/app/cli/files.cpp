#include "app/cli/files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/cli/output.h"
#include "app/i18n.h"
#include "jww/document.h"
#include "jww/format_version.h"

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
  std::error_code ec;
  if (fs::is_directory(file, ec)) {
    Error(TrFormat("{}: is a folder, not a drawing", {file}));
    return false;
  }
  if (!doc.FileCheck(file)) {
    Error(TrFormat("{}: not a Jw_cad drawing of version {}, or it cannot be opened",
                   {file, jww::VersionRangeText()}));
    return false;
  }
  if (!doc.FileIn(file)) {
    Error(TrFormat("{}: the drawing could not be read completely", {file}));
    return false;
  }
  return true;
}

bool RefuseExisting(const std::string& in, const std::string& out, bool force) {
  if (SameFile(in, out)) {
    Error(TrFormat("{} is the input file; it is never written", {out}));
    return true;
  }
  if (!force && ExistsAnyKind(out)) {
    Error(TrFormat("{} exists (use --force to replace it)", {out}));
    return true;
  }
  return false;
}

std::string WriteText(const std::string& path, const std::string& text, bool force) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  {
    errno = 0;
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::string why = std::strerror(errno != 0 ? errno : EIO);
      std::error_code ec;
      fs::remove(tmp, ec);
      return why;
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
  return ec ? std::strerror(ec.value()) : std::string();
}

}  // namespace app::cli
