#include "app/cli/dry_run.h"

#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/json.h"
#include "app/cli/output.h"
#include "app/cli/terminal.h"
#include "app/i18n.h"
#include "jww/document.h"
#include "jww/format_version.h"
#include "util/path.h"

namespace app::cli {
namespace {

struct Preview {
  bool ok = false;
  std::string error;
};

// Reads the drawing as a conversion would, without extracting its images.
Preview ReadForPlan(jww::TJwwData& doc, const std::string& src) {
  Preview p;
  doc.BindImageFolder.clear();
  doc.BindImageExp = false;
  if (util::LowerFileExt(src) != ".jww") {
    p.error = Tr("not a .jww file");
  } else if (!doc.FileCheck(src)) {
    p.error = TrFormat("not a Jw_cad drawing of version {}, or it cannot be opened",
                       {jww::VersionRangeText()});
  } else if (!doc.FileIn(src)) {
    p.error = Tr("the drawing could not be read completely");
  } else {
    p.ok = true;
  }
  return p;
}

void ShowText(const FileRecord& rec, const Preview& p) {
  WriteOutLine(rec.source);
  WriteOutLine(kLogArrow + rec.target);
  WriteOutLine("  " + (p.ok ? std::string(Tr("would be converted (dry run: nothing written)"))
                            : TrFormat("would fail: {}", {p.error})));
}

void ShowJson(const FileRecord& rec, const Preview& p) {
  Json j;
  PutName(j, "source", rec.source);
  PutName(j, "output", rec.target);
  j["result"] = "dry run";
  j["ok"] = p.ok;
  if (!p.ok) j["error"] = p.error;
  WriteOutLine(Dump(j));
}

}  // namespace

int DryRun(BatchDriver& driver, TerminalPlatform& platform, bool json, bool folderWillBeMade) {
  std::vector<FileRecord> planned;
  if (driver.PlanProc(planned, folderWillBeMade) != BatchStatus::kCompleted) {
    if (!InterruptRequested()) return kExitFailed;
    platform.Log(kLogStopped);
    return kExitInterrupted;
  }
  int failed = 0;
  for (const FileRecord& rec : planned) {
    if (InterruptRequested()) {
      platform.Log(kLogStopped);
      return kExitInterrupted;
    }
    jww::TJwwData doc;
    const Preview p = ReadForPlan(doc, rec.source);
    if (json)
      ShowJson(rec, p);
    else
      ShowText(rec, p);
    if (!p.ok) ++failed;
  }
  return failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace app::cli
