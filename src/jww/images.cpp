// SPDX-License-Identifier: GPL-3.0-or-later
// Image files carried in drawings, kept as ordinary files in the working
// folder (BindImageFolder) while the document lives.
//
// Image names come from the drawing: a name is joined to the working folder
// only when it is a plain file name, so that no operation here can read,
// create or delete anything outside that folder. Every failure concerns one
// image only and is passed over; the next image is handled as usual.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jww/document.h"
#include "jww/image_name.h"
#include "util/encoding.h"

namespace jww {
namespace {

constexpr size_t kChunk = 1 << 16;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsGzName(std::u16string_view name) {
  if (name.size() < 3) return false;
  std::u16string_view ext = name.substr(name.size() - 3);
  return ext[0] == u'.' && (ext[1] == u'g' || ext[1] == u'G') && (ext[2] == u'z' || ext[2] == u'Z');
}

// The name without a ".gz" extension; the name itself when it has none.
std::u16string_view PlainName(std::u16string_view name) {
  return IsGzName(name) ? name.substr(0, name.size() - 3) : name;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Removes a file; never a folder.
void DeleteIfFile(const std::string& path) {
  if (IsRegularFile(path)) ::unlink(path.c_str());
}

// What became of a target file: untouched, written completely, or left
// partly written. A partial file would pass for a good image (a partial
// ".gz" would even be embedded by the writer), so it is removed.
enum class Outcome { kUntouched, kWritten, kBroken };

void RemoveIfBroken(Outcome o, const std::string& dst) {
  if (o == Outcome::kBroken) DeleteIfFile(dst);
}

// Copies src into dst (created or truncated). Never onto src itself:
// opening it for writing would empty it.
Outcome CopyFileContents(const std::string& src, const std::string& dst) {
  if (!IsRegularFile(src) || SameFile(src, dst)) return Outcome::kUntouched;
  FilePtr in(std::fopen(src.c_str(), "rbe"));
  if (!in) return Outcome::kUntouched;
  FilePtr out(std::fopen(dst.c_str(), "wbe"));
  if (!out) return Outcome::kUntouched;
  std::vector<char> buf(kChunk);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0)
    if (std::fwrite(buf.data(), 1, n, out.get()) != n) return Outcome::kBroken;
  bool ok = !std::ferror(in.get()) && std::fclose(out.release()) == 0;
  return ok ? Outcome::kWritten : Outcome::kBroken;
}

Outcome Gunzip(const std::string& src, const std::string& dst) {
  if (!IsRegularFile(src) || SameFile(src, dst)) return Outcome::kUntouched;
  gzFile gz = gzopen(src.c_str(), "rb");
  if (!gz) return Outcome::kUntouched;
  std::unique_ptr<gzFile_s, int (*)(gzFile)> closer(gz, gzclose_r);
  gzbuffer(gz, kChunk);
  std::vector<char> buf(kChunk);
  int n = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
  // zlib passes anything that is not gzip through unchanged: not an image to unpack.
  if (n < 0 || gzdirect(gz)) return Outcome::kUntouched;
  FilePtr out(std::fopen(dst.c_str(), "wbe"));
  if (!out) return Outcome::kUntouched;
  while (n > 0) {
    if (std::fwrite(buf.data(), 1, static_cast<size_t>(n), out.get()) != static_cast<size_t>(n))
      return Outcome::kBroken;
    n = gzread(gz, buf.data(), static_cast<unsigned>(buf.size()));
  }
  int err = Z_OK;
  gzerror(gz, &err);  // a cut stream ends "normally" with Z_BUF_ERROR
  bool ok = n == 0 && err == Z_OK && std::fclose(out.release()) == 0;
  return ok ? Outcome::kWritten : Outcome::kBroken;
}

Outcome Gzip(const std::string& src, const std::string& dst) {
  if (!IsRegularFile(src) || SameFile(src, dst)) return Outcome::kUntouched;
  FilePtr in(std::fopen(src.c_str(), "rbe"));
  if (!in) return Outcome::kUntouched;
  gzFile gz = gzopen(dst.c_str(), "wb9");
  if (!gz) return Outcome::kUntouched;
  std::vector<char> buf(kChunk);
  bool ok = true;
  size_t n;
  while (ok && (n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0)
    ok = gzwrite(gz, buf.data(), static_cast<unsigned>(n)) == static_cast<int>(n);
  ok = !std::ferror(in.get()) && gzclose_w(gz) == Z_OK && ok;
  return ok ? Outcome::kWritten : Outcome::kBroken;
}

// The path of an image name inside `folder`; nothing for a name that is not
// a plain file name.
std::optional<std::string> ImagePath(const std::string& folder, std::u16string_view name) {
  if (!IsPlainImageName(name)) return std::nullopt;
  return folder + util::ToUtf8(name);
}

}  // namespace

void TJwwData::BindImageInit() {
  BindImage.clear();
  BindImageN = 0;
}

void TJwwData::BindImageExplode() {
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
    const std::u16string& name = BindImage[i].Fname;
    if (!IsGzName(name)) continue;
    auto src = ImagePath(BindImageFolder, name);
    auto dst = ImagePath(BindImageFolder, PlainName(name));
    if (src && dst) RemoveIfBroken(Gunzip(*src, *dst), *dst);
  }
}

void TJwwData::BindImagePack() {
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
    std::u16string& name = BindImage[i].Fname;
    if (IsGzName(name)) continue;
    auto src = ImagePath(BindImageFolder, name);
    auto dst = ImagePath(BindImageFolder, name + u".gz");
    if (!src || !dst || !IsRegularFile(*src)) continue;
    RemoveIfBroken(Gzip(*src, *dst), *dst);
    if (IsRegularFile(*dst)) name += u".gz";
  }
}

void TJwwData::BindImageCopy(const std::string& dst) {
  if (dst.empty()) return;  // "" + "/" would be the root folder
  std::string folder = dst.back() == '/' ? dst : dst + "/";
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i) {
    std::u16string_view plain = PlainName(BindImage[i].Fname);
    auto src = ImagePath(BindImageFolder, plain);
    auto to = ImagePath(folder, plain);
    if (src && to) RemoveIfBroken(CopyFileContents(*src, *to), *to);
  }
}

void TJwwData::BindImageDeleteFile() {
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i)
    if (auto p = ImagePath(BindImageFolder, BindImage[i].Fname)) DeleteIfFile(*p);
}

void TJwwData::BindImageDeleteGzFile() {
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i)
    if (IsGzName(BindImage[i].Fname))
      if (auto p = ImagePath(BindImageFolder, BindImage[i].Fname)) DeleteIfFile(*p);
}

void TJwwData::BindImageDeleteNonGzFile() {
  for (int32_t i = 0; i < BindImageN && i < static_cast<int32_t>(BindImage.size()); ++i)
    if (auto p = ImagePath(BindImageFolder, PlainName(BindImage[i].Fname))) DeleteIfFile(*p);
}

}  // namespace jww
