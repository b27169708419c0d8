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

#include "jww/archive.h"
#include "jww/document.h"
#include "jww/output_file.h"
#include "jww/sxf_explode.h"
#include "util/path.h"

namespace app {
namespace fs = std::filesystem;

// ---------------------------------------------------------------- registry

namespace {
std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::set<std::string>& RegistryPaths() {
  static std::set<std::string> paths;
  return paths;
}
}  // namespace

void TempRegistry::Add(const std::string& path) {
  std::lock_guard lock(RegistryMutex());
  RegistryPaths().insert(path);
}

void TempRegistry::Remove(const std::string& path) {
  std::lock_guard lock(RegistryMutex());
  RegistryPaths().erase(path);
}

void TempRegistry::RemoveAll() {
  std::lock_guard lock(RegistryMutex());
  for (const std::string& p : RegistryPaths()) {
    std::error_code ec;
    fs::remove_all(p, ec);
  }
  RegistryPaths().clear();
}

// ------------------------------------------------------------- file names

namespace {

// Index of the dot that starts the last extension, or npos.
size_t ExtensionStart(const std::string& path) {
  size_t sep = path.find_last_of("/\\:");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::string::npos;
  if (sep != std::string::npos && dot < sep) return std::string::npos;
  return dot;
}

std::string Errno(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

}  // namespace

std::string BranchFileName(const std::string& path, int n) {
  size_t dot = ExtensionStart(path);
  std::string base = dot == std::string::npos ? path : path.substr(0, dot);
  return base + "~" + std::to_string(n) + util::LowerFileExt(path);
}

// ------------------------------------------------------------ new file

namespace {

// Temporary output names join the registry, so that a hard stop removes them.
void RegisterTemp(const std::string& path, bool exists) {
  if (exists) {
    TempRegistry::Add(path);
  } else {
    TempRegistry::Remove(path);
  }
}

}  // namespace

std::string WriteDocument(jww::TJwwData& doc, const std::string& dst, int version, NameRule rule,
                          std::string* error, int lastBranch) {
  jww::OutputFile pending(FolderOf(dst), rule != NameRule::kReplace, RegisterTemp);
  if (!pending.Open(error)) return {};
  {
    jww::ByteWriter out(pending.stream());
    bool written = doc.WriteToBuffer(out, version) && out.flush();
    if (!written || !pending.Flush()) {
      *error = doc.LastWriteError.empty() ? std::string("the drawing could not be written")
                                          : doc.LastWriteError;
      return {};
    }
  }
  if (rule == NameRule::kReplace) {
    if (!pending.Close()) {
      *error = "the output file could not be written";
      return {};
    }
    if (int rc = pending.Replace(dst); rc != 0) {
      *error = Errno("cannot name the output file", rc);
      return {};
    }
    return dst;
  }
  const int last = rule == NameRule::kBranch ? lastBranch : 0;
  for (int n = 0; n <= last; ++n) {
    std::string candidate = n == 0 ? dst : BranchFileName(dst, n);
    // Skip names already taken without trying to claim each of them.
    std::error_code ec;
    if (n > 0 && fs::exists(fs::symlink_status(candidate, ec))) continue;
    int rc = pending.Claim(candidate);
    if (rc == 0) {
      // The data reached the kernel before the name was given, so a failing
      // close loses nothing; it is reported all the same.
      if (!pending.Close()) *error = "closing the output file reported an error";
      return candidate;
    }
    if (rc != EEXIST) {
      *error = Errno("cannot name the output file", rc);
      return {};
    }
  }
  *error = rule == NameRule::kExact
               ? "a file of that name exists"
               : "every branch name up to ~" + std::to_string(last) + " is taken";
  return {};
}

// ----------------------------------------------------------- image folder

ScopedImageFolder::ScopedImageFolder(const std::string& parent) {
  std::error_code ec;
  fs::path base = parent.empty() ? fs::temp_directory_path(ec) : fs::path(parent);
  if (ec) base = "/tmp";
  std::string templ = (base / "brindle-images-XXXXXX").string();
  if (::mkdtemp(templ.data())) {
    path_ = templ;
    TempRegistry::Add(path_);
  }
}

ScopedImageFolder::~ScopedImageFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  TempRegistry::Remove(path_);
}

void ScopedImageFolder::Attach(jww::TJwwData& doc, bool extract) const {
  doc.BindImageFolder = path_ + "/";
  doc.BindImageExp = extract;
  doc.BindImageExr = true;
}

// -------------------------------------------------------------- freeing

void JwwDataFree(jww::TJwwData& doc) {
  doc.BindImageDeleteGzFile();
  doc.BindImageDeleteNonGzFile();
  doc.DataFree();
  doc.BindImageInit();
}

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
  if (!doc.FileCheck(src)) {
    r.error = "not a Jw_cad drawing of version 220 to 700, or it cannot be opened";
    return;
  }
  // Each conversion extracts into a folder of its own, so that two workers
  // or two running programs never delete each other's images.
  ScopedImageFolder images(options.imageFolder);
  if (!images.ok()) {
    r.error = "cannot make a working folder for the drawing's images";
    return;
  }
  images.Attach(doc, true);

  // A drawing that could not be read to its end is not written: a shortened
  // copy would pass for a converted drawing.
  if (!doc.FileIn(src)) {
    r.error = "the drawing could not be read completely";
    JwwDataFree(doc);
    return;
  }
  // The extents describe the drawing as read, figures counted through their
  // placements; they are kept on the document for callers that want them.
  doc.GetMinMaxZahyo();
  doc.SetFileOutOption(doc.MojiEncode ? 32 : 0);
  Explode(doc, options, r);
  if (r.error.empty()) {
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
