// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/convert.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <system_error>

#include "app/i18n.h"
#include "app/reasons.h"
#include "app/sfc_source.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "jww/sxf_plan.h"
#include "jww/walk.h"
#include "util/path.h"

namespace app {
namespace fs = std::filesystem;

// ---------------------------------------------------------- conversion

namespace {

int EntityCount(const jww::TJwwData& doc) {
  return doc.EntLineN + doc.EntEnkoN + doc.EntTenN + doc.EntMojiN + doc.EntSunpoN + doc.EntSolidN;
}

// The copies the SXF explosion would make, counted before anything is made.
int64_t PlannedSxfCopies(const jww::TJwwData& doc) {
  return jww::PlanSxfExplosion(doc).copies;
}

std::string TooManyCopies(int64_t copies, int64_t limit) {
  return TrFormat(
      "exploding would make {} copies, more than the limit of {} (see --max-copies); nothing "
      "was written",
      {std::to_string(copies), std::to_string(limit)});
}

// The SXF figures into layer groups 1 to 15, then, with allBlocks, every
// placement still standing flattened in place. Each step is counted first
// (WithinLimit for the figures) and refused above the limit; running out of
// memory fails the file.
// False (with the reason) when the SXF explosion would exceed the limit. Runs
// before anything walks the placements: the extents of such a drawing alone
// take as long as the explosion.
bool WithinLimit(const jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r) {
  int64_t planned = PlannedSxfCopies(doc);
  // Flattening everything makes at least one copy per entity the blocks show.
  if (options.allBlocks) planned = std::max(planned, doc.BlockExplodeCopies());
  if (planned <= options.maxCopies) return true;
  r.error = TooManyCopies(planned, options.maxCopies);
  return false;
}

void Explode(jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r, bool sfc) {
  jww::ExplodeReport report;
  if (sfc) {
    // The layer states came from the SFC file itself: no reset.
    jww::DataTransJWW2(doc, report);
    doc.MakeBlockTree();
  } else {
    report = jww::DataTransJWW(doc);
  }
  r.figures = report.figures;
  r.copies = report.copies;
  for (const std::string& w : report.warnings) r.warnings.push_back(TranslateCoreError(w));
  if (report.outOfMemory) {
    r.error = Tr("not enough memory to explode the SXF figures; nothing was written");
    return;
  }
  if (!options.allBlocks) return;

  const int64_t more = doc.BlockExplodeCopies();
  if (report.copies + more > options.maxCopies) {
    r.error = TooManyCopies(report.copies + more, options.maxCopies);
    return;
  }
  const int before = EntityCount(doc);
  // The definitions the drawing still shows placed: SXF figures past the
  // fifteenth, and the other blocks. (The tree keeps the nodes of exploded
  // figure placements; they are no longer shown.)
  std::set<const jww::TEntJwwBlockDef*> placed;
  jww::ForEachPlacement(doc, true, [&](const jww::PlacementVisit& p) {
    if (p.shown) placed.insert(p.definition);
  });
  for (const jww::TEntJwwBlockDef* def : placed) {
    if (jww::IsSxfFigureName(def->strName))
      ++r.figures;
    else
      ++r.blocks;
  }
  if (!doc.BlockExplode()) {
    r.error = Tr("not enough memory to explode the blocks; nothing was written");
    return;
  }
  r.copies += EntityCount(doc) - before;
}

}  // namespace

bool ConvertInMemory(jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r,
                     bool fromSfc) {
  if (!WithinLimit(doc, options, r)) return false;
  // The extents describe the drawing as read, figures counted through their
  // placements; they are kept on the document for callers that want them.
  // (A drawing read from SFC was just built: nobody asks for them.)
  if (!fromSfc) doc.GetMinMaxZahyo();
  KeepSourceEncoding(doc);
  if (fromSfc) {
    const std::vector<std::string> notes = SfcWarnings(doc);
    r.warnings.insert(r.warnings.end(), notes.begin(), notes.end());
  }
  Explode(doc, options, r, fromSfc);
  return r.error.empty();
}

namespace {

// The version an SFC drawing is written in, its strings' encoding set for
// it; what that version cannot hold is said among the warnings.
int SfcVersion(jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r) {
  const int version = options.sfcVersion != 0 ? options.sfcVersion : doc.Enthd.jwVer;
  // The releases that write versions below 700 read code page 932 only.
  if (version < 700) doc.SetFileOutOption(0);
  if (options.utf16) doc.SetFileOutOption(32);
  if (options.sfcVersion != 0 || options.utf16)
    for (const std::string& w : RewriteWarnings(CheckRewrite(doc, version)))
      r.warnings.push_back(w);
  return version;
}

void Convert(const std::string& src, const std::string& dst, const ConvertOptions& options,
             ConvertResult& r) {
  const bool sfc = IsSfcFile(src);
  if (util::LowerFileExt(src) != ".jww" && !sfc) {
    r.error = Tr("not a .jww file");
    return;
  }
  jww::TJwwData doc;
  // Each conversion extracts into a folder of its own, so that two workers
  // or two running programs never delete each other's images.
  ScopedImageFolder images(options.imageFolder);
  // A drawing that could not be read to its end is not written: a shortened
  // copy would pass for a converted drawing.
  if (!ReadDrawing(doc, src, &images, &r.error)) {
    JwwDataFree(doc);
    return;
  }
  if (!ConvertInMemory(doc, options, r, sfc)) {
    JwwDataFree(doc);
    return;
  }
  const int version = sfc ? SfcVersion(doc, options, r) : doc.Enthd.jwVer;
  // An image that went missing from the working folder would silently leave
  // the drawing.
  if (ImagesComplete(doc, &r.error)) {
    r.entitiesWritten = doc.WrittenObjectCount(version);
    r.output = WriteDocument(doc, dst, version, NameRule::kBranch, &r.error);
    if (!r.output.empty() && !r.error.empty()) {
      r.warnings.push_back(r.error);
      r.error.clear();
    }
  }
  JwwDataFree(doc);
  r.ok = !r.output.empty() && util::FileExistsCheck(r.output);
  if (!r.ok && r.error.empty()) r.error = Tr("the output file is missing");
}

}  // namespace

ConvertResult PlanConversion(const std::string& src, const ConvertOptions& options) {
  ConvertResult r;
  try {
    jww::TJwwData doc;
    const bool sfc = IsSfcFile(src);
    if (util::LowerFileExt(src) != ".jww" && !sfc)
      r.error = Tr("not a .jww file");
    else if (ReadDrawing(doc, src, nullptr, &r.error) && WithinLimit(doc, options, r))
      Explode(doc, options, r, sfc);
    r.ok = r.error.empty();
  } catch (const std::bad_alloc&) {
    r.error = Tr("not enough memory to convert the drawing; nothing was written");
  }
  if (!r.ok) r.figures = r.blocks = r.copies = 0;
  return r;
}

ConvertResult ConvertFile(const std::string& src, const std::string& dst,
                          const ConvertOptions& options) {
  auto start = std::chrono::steady_clock::now();
  ConvertResult r;
  try {
    Convert(src, dst, options, r);
  } catch (const std::bad_alloc&) {
    r.ok = false;
    r.error = Tr("not enough memory to convert the drawing; nothing was written");
  } catch (const std::exception& e) {
    r.ok = false;
    r.error = TrFormat("internal error: {}", {e.what()});
  } catch (...) {
    r.ok = false;
    r.error = Tr("internal error");
  }
  if (!r.ok) r.entitiesWritten = 0;
  r.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return r;
}

}  // namespace app
