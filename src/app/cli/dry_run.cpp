#include "app/cli/dry_run.h"

#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/json.h"
#include "app/cli/output.h"
#include "app/cli/terminal.h"
#include "app/i18n.h"
#include "app/sfc_source.h"
#include "app/steps.h"
#include "jww/document.h"
#include "jww/sxf_plan.h"
#include "util/encoding.h"
#include "util/path.h"

namespace app::cli {
namespace {

struct Preview {
  bool ok = false;
  std::string error;
  jww::SxfPlan plan;  // what the explosion would do
};

// Reads the drawing as a conversion would, without extracting its images.
Preview ReadForPlan(jww::TJwwData& doc, const std::string& src) {
  Preview p;
  if (util::LowerFileExt(src) != ".jww" && !IsSfcFile(src))
    p.error = Tr("not a .jww or .sfc file");
  else
    p.ok = ReadDrawing(doc, src, nullptr, &p.error);
  if (p.ok) p.plan = jww::PlanSxfExplosion(doc);
  return p;
}

void ShowText(const FileRecord& rec, const Preview& p) {
  WriteOutLine(rec.source);
  WriteOutLine(kLogArrow + rec.target);
  for (const jww::SxfFigurePlan& f : p.plan.figures) {
    WriteOutLine("  " + (f.group > 0
                             ? TrFormat("{}: {} placements → layer group {}, {} copies",
                                        {util::ToUtf8(f.name), std::to_string(f.placements),
                                         std::to_string(f.group), std::to_string(f.copies)})
                             : TrFormat("{} stays a block: only 15 layer groups take figures",
                                        {util::ToUtf8(f.name)})));
  }
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
  Json figures = Json::array();
  for (const jww::SxfFigurePlan& f : p.plan.figures) {
    Json fj;
    fj["name"] = util::ToUtf8(f.name);
    fj["placements"] = f.placements;
    fj["group"] = f.group;
    fj["copies"] = f.copies;
    figures.push_back(std::move(fj));
  }
  j["figures"] = std::move(figures);
  j["figuresLeft"] = p.plan.figuresLeft;
  j["copies"] = p.plan.copies;
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
