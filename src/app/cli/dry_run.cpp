// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/dry_run.h"

#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/json.h"
#include "app/cli/output.h"
#include "app/cli/terminal.h"
#include "app/convert.h"
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
  // With --all-blocks: the explosion made in memory, counted as the run
  // counts it.
  bool allBlocks = false;
  ConvertResult counted;
};

// Reads the drawing as a conversion would, without extracting its images.
Preview ReadForPlan(jww::TJwwData& doc, const std::string& src) {
  Preview p;
  if (util::LowerFileExt(src) != ".jww" && !IsSfcFile(src))
    p.error = Tr("not a .jww, .sfc or .p21 file");
  else
    p.ok = ReadDrawing(doc, src, nullptr, &p.error);
  if (p.ok) p.plan = jww::PlanSxfExplosion(doc);
  return p;
}

Preview PlanAllBlocks(jww::TJwwData& doc, const std::string& src, const ConvertOptions& options) {
  Preview p = ReadForPlan(doc, src);
  if (!p.ok) return p;
  p.allBlocks = true;
  p.counted = PlanConversion(src, options);
  p.ok = p.counted.ok;
  p.error = p.counted.error;
  return p;
}

void ShowText(const FileRecord& rec, const Preview& p) {
  WriteOutLine(rec.source);
  WriteOutLine(kLogArrow + rec.target);
  for (const jww::SxfFigurePlan& f : p.plan.figures) {
    WriteOutLine("  " + (f.group > 0
                             ? TrPlural("{}: {} placement → layer group {}, {} copies",
                                        "{}: {} placements → layer group {}, {} copies",
                                        static_cast<unsigned long>(f.placements),
                                        {util::ToUtf8(f.name), std::to_string(f.placements),
                                         std::to_string(f.group), std::to_string(f.copies)})
                             : TrFormat("{} stays a block: only 15 layer groups take figures",
                                        {util::ToUtf8(f.name)})));
  }
  if (p.allBlocks && p.ok)
    WriteOutLine("  " + TrFormat("--all-blocks: {} figures and {} other blocks exploded into {} "
                                 "copies",
                                 {std::to_string(p.counted.figures),
                                  std::to_string(p.counted.blocks),
                                  std::to_string(p.counted.copies)}));
  WriteOutLine("  " + (p.ok ? std::string(Tr("would be converted (dry run: nothing written)"))
                            : TrFormat("would fail: {}", {p.error})));
}

void ShowJson(const FileRecord& rec, const Preview& p) {
  Json j;
  PutName(j, "source", rec.source);
  PutName(j, "output", rec.target);
  j["result"] = kResultDryRun;
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
  if (p.allBlocks) {
    // The numbers the run reports under the same names.
    j["figuresExploded"] = p.counted.figures;
    j["blocks"] = p.counted.blocks;
    j["copies"] = p.counted.copies;
  }
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
    const ConvertOptions& options = driver.convertOptions();
    const Preview p = options.allBlocks ? PlanAllBlocks(doc, rec.source, options)
                                        : ReadForPlan(doc, rec.source);
    if (json)
      ShowJson(rec, p);
    else
      ShowText(rec, p);
    if (!p.ok) ++failed;
  }
  return failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace app::cli
