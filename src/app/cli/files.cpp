// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/files.h"

#include <CLI/CLI.hpp>
#include <filesystem>

#include "app/cli/output.h"
#include "app/i18n.h"
#include "app/steps.h"
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

bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) {
    Error(TrFormat("{}: is a folder, not a drawing", {file}));
    return false;
  }
  std::string error;
  if (app::ReadDrawing(doc, file, images, &error)) return true;
  Error(file + ": " + error);
  return false;
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
  std::string error;
  if (!SaveText(path, text, force ? NameRule::kReplace : NameRule::kExact, &error).empty())
    return {};
  return error.empty() ? std::string(Tr("the file could not be written")) : error;
}

CLI::Option* AddWriteVersionOption(CLI::App& app, std::optional<int>& version,
                                   const std::string& help) {
  return app.add_option("--version", version, help)
      ->check(CLI::Range(jww::kOldestVersion, jww::kNewestVersion));
}

int VersionToWrite(int asked) {
  const int release = jww::ReleaseVersionFor(asked);
  if (release != asked)
    Error(TrFormat("no Jw_cad writes version {}; writing version {}, whose layout it has",
                   {std::to_string(asked), std::to_string(release)}));
  return release;
}

}  // namespace app::cli
