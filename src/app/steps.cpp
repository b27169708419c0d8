#include "app/steps.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>

#include "app/i18n.h"
#include "jww/document.h"
#include "jww/format_version.h"
#include "jww/image_name.h"
#include "util/encoding.h"

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

// Temporary output names join the registry, so that a hard stop removes them.
void RegisterTemp(const std::string& path, bool exists) {
  if (exists) {
    TempRegistry::Add(path);
  } else {
    TempRegistry::Remove(path);
  }
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

// ----------------------------------------------------------- image folder

ScopedImageFolder::ScopedImageFolder(std::string parent) : parent_(std::move(parent)) {}

ScopedImageFolder::~ScopedImageFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  TempRegistry::Remove(path_);
}

bool ScopedImageFolder::Make(std::string* error) {
  if (!path_.empty()) return true;
  std::error_code ec;
  fs::path base = parent_.empty() ? fs::temp_directory_path(ec) : fs::path(parent_);
  if (ec) base = "/tmp";
  std::string templ = (base / "brindle-images-XXXXXX").string();
  if (!::mkdtemp(templ.data())) {
    *error = TrFormat("cannot make a working folder for the drawing's images in {}: {}",
                      {base.string(), std::strerror(errno)});
    return false;
  }
  path_ = templ;
  TempRegistry::Add(path_);
  return true;
}

void ScopedImageFolder::Attach(jww::TJwwData& doc, bool extract) const {
  doc.BindImageFolder = path_.empty() ? std::string() : path_ + "/";
  doc.BindImageExp = extract && !path_.empty();
  doc.BindImageExr = true;
}

void JwwDataFree(jww::TJwwData& doc) {
  // Without a folder the image names would be taken relative to the current
  // folder, where files of those names are not ours.
  if (!doc.BindImageFolder.empty()) {
    doc.BindImageDeleteGzFile();
    doc.BindImageDeleteNonGzFile();
  }
  doc.DataFree();
  doc.BindImageInit();
}

// ------------------------------------------------------------------ reading

namespace {

// Why FileCheck refused `file`: the system's reason when it cannot even be
// opened, else that it is no drawing this program reads.
std::string CheckFailure(const std::string& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return TrFormat("cannot be opened: {}", {std::strerror(errno)});
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) return Tr("not a regular file");
  return TrFormat("not a Jw_cad drawing of version {}", {jww::VersionRangeText()});
}

bool HasImageContents(const jww::TJwwData& doc) {
  for (int32_t i = 0; i < doc.BindImageN && i < static_cast<int32_t>(doc.BindImage.size()); ++i)
    if (doc.BindImage[i].Fsize > 0) return true;
  return false;
}

}  // namespace

bool ImagesComplete(const jww::TJwwData& doc, std::string* error) {
  if (!doc.BindImageExp) return true;
  // A later image of the same name overwrites an earlier one in the folder.
  std::map<std::u16string, int32_t> sizes;
  for (int32_t i = 0; i < doc.BindImageN && i < static_cast<int32_t>(doc.BindImage.size()); ++i)
    if (doc.BindImage[i].Fsize > 0) sizes[doc.BindImage[i].Fname] = doc.BindImage[i].Fsize;
  for (const auto& [name, size] : sizes) {
    const std::string path = doc.BindImageFolder + util::ToUtf8(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != size) {
      *error = TrFormat("the embedded image {} could not be kept in the working folder {}",
                        {util::ToUtf8(name), doc.BindImageFolder});
      return false;
    }
  }
  return true;
}

bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images,
                 std::string* error) {
  if (!doc.FileCheck(file)) {
    *error = CheckFailure(file);
    return false;
  }
  // First without extracting: most drawings carry no images, and those need
  // no working folder at all (an unwritable TMPDIR must not stop them).
  const std::string folder = doc.BindImageFolder;
  doc.BindImageFolder.clear();
  doc.BindImageExp = false;
  doc.BindImageExr = true;
  if (!doc.FileIn(file)) {
    *error = Tr("the drawing could not be read completely");
    return false;
  }
  if (!images || !HasImageContents(doc)) {
    // Nothing was extracted, so a writer must not look for image files.
    doc.BindImageExr = false;
    if (!images) doc.BindImageFolder = folder;
    return true;
  }
  if (!images->Make(error)) return false;
  images->Attach(doc, true);
  if (!doc.FileIn(file)) {
    *error = Tr("the drawing could not be read completely");
    return false;
  }
  return ImagesComplete(doc, error);
}

void KeepSourceEncoding(jww::TJwwData& doc) { doc.SetFileOutOption(doc.MojiEncode ? 32 : 0); }

// ------------------------------------------------------------------ saving

std::string SaveFile(const std::string& path, const jww::FileContents& contents, NameRule rule,
                     std::string* error, int lastBranch) {
  jww::SaveOptions options;
  options.hook = RegisterTemp;
  if (rule == NameRule::kReplace) {
    return jww::SaveReplacingFile(path, contents, error, options) ? path : std::string();
  }
  options.lastBranch = rule == NameRule::kBranch ? lastBranch : 0;
  return jww::SaveAsNewFile(path, contents, error, options);
}

std::string SaveText(const std::string& path, const std::string& text, NameRule rule,
                     std::string* error) {
  return SaveFile(
      path,
      [&text](std::FILE* f, std::string*) {
        return std::fwrite(text.data(), 1, text.size(), f) == text.size();
      },
      rule, error);
}

std::string WriteDocument(jww::TJwwData& doc, const std::string& dst, int version, NameRule rule,
                          std::string* error, int lastBranch) {
  return SaveFile(dst, jww::DrawingContents(doc, version), rule, error, lastBranch);
}

}  // namespace app
