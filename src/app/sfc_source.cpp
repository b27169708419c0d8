// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sfc_source.h"

#include <new>
#include <system_error>

#include "app/i18n.h"
#include "app/reasons.h"
#include "jww/document.h"
#include "jww/file_bytes.h"
#include "sxf/p21_drawing.h"
#include "sxf/sfc_drawing.h"
#include "util/path.h"

namespace app {

bool IsSfcFile(const std::string& path) {
  const std::string ext = util::LowerFileExt(path);
  return ext == ".sfc" || ext == ".p21";
}

bool IsP21File(const std::string& path) { return util::LowerFileExt(path) == ".p21"; }

std::string SfcTargetName(const std::string& path) {
  const std::string ext = util::LowerFileExt(path);
  return path.substr(0, path.size() - ext.size()) + ".jww";
}

bool ReadSfcDrawing(jww::TJwwData& doc, const std::string& file, std::string* error) {
  std::vector<uint8_t> bytes;
  std::error_code cause;
  if (!jww::ReadFileBytes(file, bytes, &cause)) {
    *error = TrFormat("cannot be opened: {}", {Reason(cause)});
    return false;
  }
  sxf::SfcReport report;
  if (IsP21File(file)) {
    if (!sxf::ReadP21(bytes, doc, report)) {
      *error = TrFormat("not a readable P21 drawing: {}", {report.error.Text()});
      return false;
    }
  } else if (!sxf::ReadSfc(bytes, doc, report)) {
    *error = TrFormat("not a readable SFC drawing: {}", {report.error.Text()});
    return false;
  }
  doc.Macro.fileName = util::FileNameOnly(file);
  for (const std::string& w : report.warnings)
    doc.ReadLog.Add(kSfcFinding, jww::ReadLocation{}, w);
  return true;
}

std::vector<std::string> SfcWarnings(const jww::TJwwData& doc) {
  std::vector<std::string> out;
  for (const jww::ReadFinding& f : doc.ReadLog)
    if (f.code == kSfcFinding) out.push_back(f.detail);
  return out;
}

}  // namespace app
