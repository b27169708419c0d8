#include "app/convert.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "jww/archive.h"
#include "jww/document.h"
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

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string s;
  for (int i = 0; i < 10; ++i) s += digits[rng() % 36];
  return s;
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

// A file being written that has no name of its own yet in the output
// folder: an anonymous O_TMPFILE where the file system offers it (nothing is
// left behind whatever happens to the process), else a hidden temporary
// name that the registry knows about.
class PendingFile {
 public:
  PendingFile(const std::string& folder, bool anonymous) : folder_(folder), anonymous_(anonymous) {}
  ~PendingFile() { Discard(); }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  bool Open(std::string* error) {
    if (anonymous_ && ProcFdAvailable()) {
      int fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
      if (fd >= 0) return Adopt(fd, error);
      if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS) {
        *error = Errno("cannot write into the output folder", errno);
        return false;
      }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = (fs::path(folder_) / (".brindle-" + RandomSuffix() + ".tmp")).string();
      int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
      if (fd >= 0) {
        tempName_ = name;
        TempRegistry::Add(tempName_);
        return Adopt(fd, error);
      }
      if (errno != EEXIST) {
        *error = Errno("cannot write into the output folder", errno);
        return false;
      }
    }
    *error = "cannot make a temporary file in the output folder";
    return false;
  }

  std::FILE* stream() const { return file_; }

  // Pushes everything written so far to the disk before the file gets a
  // name, so that a name never stands for a file whose bytes were lost.
  bool Flush() {
    return file_ && std::fflush(file_) == 0 && !std::ferror(file_) &&
           ::fdatasync(::fileno(file_)) == 0;
  }

  // Gives the file the name `target` unless that name exists. Returns 0 on
  // success, EEXIST when the name is taken, another errno on failure.
  int Claim(const std::string& target) {
    if (tempName_.empty()) {
      std::string self = "/proc/self/fd/" + std::to_string(::fileno(file_));
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
      return errno;
    }
    if (::renameat2(AT_FDCWD, tempName_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      ForgetTemp();
      return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without renameat2 flags: a hard link never replaces.
    if (::link(tempName_.c_str(), target.c_str()) != 0) return errno;
    ::unlink(tempName_.c_str());
    ForgetTemp();
    return 0;
  }

  // Moves the file onto `target`, replacing a file of that name in one step.
  int Replace(const std::string& target) {
    if (tempName_.empty()) return EINVAL;
    if (std::rename(tempName_.c_str(), target.c_str()) != 0) return errno;
    ForgetTemp();
    return 0;
  }

  bool Close() {
    if (!file_) return true;
    bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

 private:
  static bool ProcFdAvailable() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
  }

  bool Adopt(int fd, std::string* error) {
    file_ = ::fdopen(fd, "wb");
    if (file_) return true;
    *error = Errno("cannot open the output stream", errno);
    ::close(fd);
    return false;
  }

  void ForgetTemp() {
    TempRegistry::Remove(tempName_);
    tempName_.clear();
  }

  void Discard() {
    Close();
    if (!tempName_.empty()) {
      ::unlink(tempName_.c_str());
      ForgetTemp();
    }
  }

  std::string folder_;
  bool anonymous_;
  std::string tempName_;
  std::FILE* file_ = nullptr;
};

}  // namespace

std::string WriteDocument(jww::TJwwData& doc, const std::string& dst, int version, NameRule rule,
                          std::string* error, int lastBranch) {
  PendingFile pending(FolderOf(dst), rule != NameRule::kReplace);
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

int CountDrawnEntities(const jww::TJwwData& doc) {
  auto countOf = [&doc](int kind) -> int32_t {
    switch (kind) {
      case 1:
        return doc.EntLineN;
      case 2:
        return doc.EntEnkoN;
      case 3:
        return doc.EntTenN;
      case 4:
        return doc.EntMojiN;
      case 5:
        return doc.EntSunpoN;
      case 6:
        return doc.EntSolidN;
      case 7:
        return doc.EntBlockN;
      default:
        return 0;
    }
  };
  int n = 0;
  int32_t entries = std::min<int64_t>(doc.Enthd.n1, static_cast<int64_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < entries; ++i) {
    const jww::TEntJwwNo& e = doc.EntNo[i];
    if (e.EntType >= 1 && e.EntType <= 7 && e.EntNo >= 0 && e.EntNo < countOf(e.EntType)) ++n;
  }
  return n;
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
    r.entitiesWritten = CountDrawnEntities(doc);
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
