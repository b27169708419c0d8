#include "app/convert.h"

#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "app/i18n.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "util/path.h"

namespace app {
namespace fs = std::filesystem;

// ---------------------------------------------------------- conversion

namespace {

// Every block placement through the tree, after the layer states are reset
// as for the SXF figures.
bool ExplodeAllBlocks(jww::TJwwData& doc, ConvertResult& r) {
  jww::DataTransJWW1(doc);
  int before =
      doc.EntLineN + doc.EntEnkoN + doc.EntTenN + doc.EntMojiN + doc.EntSunpoN + doc.EntSolidN;
  r.figures = doc.EntBlockNum;
  if (!doc.BlockExplode()) return false;
  r.copies = doc.EntLineN + doc.EntEnkoN + doc.EntTenN + doc.EntMojiN + doc.EntSunpoN +
             doc.EntSolidN - before;
  return true;
}

void Explode(jww::TJwwData& doc, const ConvertOptions& options, ConvertResult& r) {
  if (options.allBlocks) {
    if (!ExplodeAllBlocks(doc, r)) r.error = "the blocks could not be exploded (out of memory)";
    return;
  }
  jww::ExplodeReport report = jww::DataTransJWW(doc);
  r.figures = report.figures;
  r.copies = report.copies;
  r.warnings.insert(r.warnings.end(), report.warnings.begin(), report.warnings.end());
}

void Convert(const std::string& src, const std::string& dst, const ConvertOptions& options,
             ConvertResult& r) {
  if (util::LowerFileExt(src) != ".jww") {
    r.error = "not a .jww file";
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
  // The extents describe the drawing as read, figures counted through their
  // placements; they are kept on the document for callers that want them.
  doc.GetMinMaxZahyo();
  KeepSourceEncoding(doc);
  Explode(doc, options, r);
  // An image that went missing from the working folder would silently leave
  // the drawing.
  if (r.error.empty() && ImagesComplete(doc, &r.error)) {
    r.entitiesWritten = doc.WrittenObjectCount(doc.Enthd.jwVer);
    r.output = WriteDocument(doc, dst, doc.Enthd.jwVer, NameRule::kBranch, &r.error);
    if (!r.output.empty() && !r.error.empty()) {
      r.warnings.push_back(r.error);
      r.error.clear();
    }
  }
  JwwDataFree(doc);
  r.ok = !r.output.empty() && util::FileExistsCheck(r.output);
  if (!r.ok && r.error.empty()) r.error = "the output file is missing";
}

}  // namespace

ConvertResult ConvertFile(const std::string& src, const std::string& dst,
                          const ConvertOptions& options) {
  auto start = std::chrono::steady_clock::now();
  ConvertResult r;
  try {
    Convert(src, dst, options, r);
  } catch (const std::exception& e) {
    r.ok = false;
    r.error = std::string("internal error: ") + e.what();
  } catch (...) {
    r.ok = false;
    r.error = "internal error";
  }
  if (!r.ok) r.entitiesWritten = 0;
  r.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return r;
}

}  // namespace app
