// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/steps.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <system_error>

#include "app/i18n.h"
#include "app/reasons.h"
#include "app/sfc_source.h"
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
    const int err = errno;
    *error = TrFormat("cannot make a working folder for the drawing's images in {}: {}",
                      {base.string(), SystemReason(err)});
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

// Why a read failed: the system's reason when there is one.
std::string ReadFailure(const jww::TJwwData& doc) {
  if (doc.LastReadCause)
    return TrFormat("the drawing could not be read: {}", {Reason(doc.LastReadCause)});
  // The last finding says where the read stopped.
  const jww::ReadFinding* last = doc.ReadLog.empty() ? nullptr : &doc.ReadLog.items().back();
  if (!last || last->where.offset < 0) return Tr("the drawing could not be read completely");
  const std::string offset = std::to_string(last->where.offset);
  if (last->code == jww::finding::kBytesAfterEnd)
    return TrFormat("the drawing could not be read completely: {} bytes after its end, from byte {}",
                    {std::to_string(last->amount), offset});
  if (last->code == jww::finding::kOutOfRange) {
    char value[32];
    std::snprintf(value, sizeof value, "%.17g", last->value);
    return TrFormat(
        "the drawing could not be read completely: {} at byte {} holds {}, which no drawing holds",
        {last->field, offset, value});
  }
  return TrFormat("the drawing could not be read completely: it stops at byte {}", {offset});
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

std::string VersionRange() {
  return TrFormat("{} to {}",
                  {std::to_string(jww::kOldestVersion), std::to_string(jww::kNewestVersion)});
}

bool ReadDrawing(jww::TJwwData& doc, const std::string& file, ScopedImageFolder* images,
                 std::string* error) {
  if (IsSfcFile(file)) return ReadSfcDrawing(doc, file, error);
  std::error_code cause;
  if (!doc.FileCheck(file, cause)) {
    *error = cause ? TrFormat("cannot be opened: {}", {Reason(cause)})
                   : TrFormat("not a Jw_cad drawing of version {}", {VersionRange()});
    return false;
  }
  // First without extracting: most drawings carry no images, and those need
  // no working folder at all (an unwritable TMPDIR must not stop them).
  const std::string folder = doc.BindImageFolder;
  doc.BindImageFolder.clear();
  doc.BindImageExp = false;
  doc.BindImageExr = true;
  if (!doc.FileIn(file)) {
    *error = ReadFailure(doc);
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
    *error = ReadFailure(doc);
    return false;
  }
  return ImagesComplete(doc, error);
}

void KeepSourceEncoding(jww::TJwwData& doc) { doc.SetFileOutOption(doc.MojiEncode ? 32 : 0); }

// ---------------------------------------------------------- rewrite notes

namespace {

constexpr size_t kLostSample = 5;

// Counts the characters of the strings given that code page 932 cannot
// hold, each character tested once.
class Cp932Check {
 public:
  explicit Cp932Check(RewriteNotes& notes) : notes_(notes) {}

  void operator()(std::u16string_view s) {
    for (size_t i = 0; i < s.size();) {
      const bool pair = i + 1 < s.size() && s[i] >= 0xD800 && s[i] < 0xDC00 && s[i + 1] >= 0xDC00 &&
                        s[i + 1] < 0xE000;
      const std::u16string_view c = s.substr(i, pair ? 2 : 1);
      i += c.size();
      if (Holds(c)) continue;
      ++notes_.lostCharacters;
      if (lost_.insert(std::u16string(c)).second && lost_.size() <= kLostSample)
        notes_.lostSample += c;
    }
  }

 private:
  bool Holds(std::u16string_view c) {
    // Texts are mostly single units from a small set: those answers live in a
    // table by unit, so a large drawing costs one look-up per character.
    if (c.size() == 1) {
      signed char& known = knownUnits_[c[0]];
      if (known < 0) known = RoundTrips(c) ? 1 : 0;
      return known == 1;
    }
    const std::u16string key(c);
    auto it = knownPairs_.find(key);
    if (it != knownPairs_.end()) return it->second;
    const bool holds = RoundTrips(c);
    knownPairs_.emplace(key, holds);
    return holds;
  }

  static bool RoundTrips(std::u16string_view c) {
    return util::AnsiBytesToStr(util::StrToAnsiBytes(c)) == c;
  }

  RewriteNotes& notes_;
  std::vector<signed char> knownUnits_ = std::vector<signed char>(0x10000, -1);
  std::map<std::u16string, bool> knownPairs_;
  std::set<std::u16string> lost_;
};

template <typename T>
std::span<const T> Counted(const std::vector<T>& a, int32_t n) {
  return std::span<const T>(a.data(), std::min<size_t>(a.size(), n < 0 ? 0 : n));
}

// Every string the writer puts into the file.
template <typename F>
void ForEachString(const jww::TJwwData& doc, F&& f) {
  f(doc.Enthd.jwID);
  f(doc.Enthd.strMemo);
  for (const auto& g : doc.EntLgrp) f(g.aStrGLayName);
  for (const auto& l : doc.EntLay) f(l.aStrLayName);
  for (const auto& c : doc.EntColS) f(c.astrUDColorName);
  for (const auto& t : doc.EntLtpS) f(t.astrUDLTypeName);
  auto texts = [&f](std::span<const jww::TEntJwwMoji> m, std::span<const jww::TEntJwwSunpo> d) {
    for (const auto& t : m) f(t.strFontName), f(t.str);
    for (const auto& t : d) f(t.Moji.strFontName), f(t.Moji.str);
  };
  texts(Counted(doc.EntMoji, doc.EntMojiN), Counted(doc.EntSunpo, doc.EntSunpoN));
  for (const auto& b : Counted(doc.EntBlockDef, doc.EntBlockDefN)) {
    f(b.strName);
    texts(Counted(b.mMoji, b.mMojiN), Counted(b.mSunpo, b.mSunpoN));
  }
  for (const auto& i : Counted(doc.BindImage, doc.BindImageN)) f(i.Fname);
}

}  // namespace

RewriteNotes CheckRewrite(const jww::TJwwData& doc, int version) {
  RewriteNotes notes;
  const bool utf16 = (doc.FileOutOpt & 32) != 0;
  if (!utf16) ForEachString(doc, Cp932Check(notes));
  notes.utf16BelowVersion700 = utf16 && version < 700;
  if (version < 700)
    for (const auto& i : Counted(doc.BindImage, doc.BindImageN))
      if (i.Fsize > 0) ++notes.droppedImages;
  return notes;
}

std::vector<std::string> RewriteWarnings(const RewriteNotes& notes) {
  std::vector<std::string> w;
  if (notes.lostCharacters > 0) {
    w.push_back(
        TrPlural("{} character cannot be written in code page 932 and becomes \"?\" "
                 "(among them: {})",
                 "{} characters cannot be written in code page 932 and become \"?\" "
                 "(among them: {})",
                 static_cast<unsigned long>(notes.lostCharacters),
                 {std::to_string(notes.lostCharacters), util::ToUtf8(notes.lostSample)}));
  }
  if (notes.droppedImages > 0) {
    w.push_back(TrPlural(
        "{} embedded image is dropped: versions below 700 cannot carry "
        "it, and the image text will point at nothing",
        "{} embedded images are dropped: versions below 700 cannot carry "
        "them, and the image texts will point at nothing",
        static_cast<unsigned long>(notes.droppedImages), {std::to_string(notes.droppedImages)}));
  }
  if (notes.utf16BelowVersion700)
    w.push_back(
        Tr("strings are written as UTF-16 into a version below 700; older Jw_cad may "
           "not read them"));
  return w;
}

// ------------------------------------------------------------------ saving

std::string SaveFile(const std::string& path, const jww::FileContents& contents, NameRule rule,
                     std::string* error, int lastBranch) {
  jww::SaveOptions options;
  options.hook = RegisterTemp;
  // The core says its failures in English: they are said again here.
  if (rule == NameRule::kReplace) {
    if (jww::SaveReplacingFile(path, contents, error, options)) return path;
    *error = TranslateCoreError(*error);
    return {};
  }
  options.lastBranch = rule == NameRule::kBranch ? lastBranch : 0;
  std::string saved = jww::SaveAsNewFile(path, contents, error, options);
  if (!error->empty()) *error = TranslateCoreError(*error);
  return saved;
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
