// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace util {
namespace fs = std::filesystem;

namespace {

bool IsNameDelim(char c) { return c == '/' || c == '\\' || c == ':'; }

// Start of the name part: just after the last "/", "\\" or ":".
size_t NameStart(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsNameDelim(path[i - 1])) --i;
  return i;
}

// Position of the dot that begins the last extension, npos when none.
size_t ExtStart(std::string_view path) {
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(path)) return std::string_view::npos;
  return dot;
}

// Anything under that name, including a folder or a dangling link, makes the
// name unusable for a new file. When the file system cannot tell, the name
// counts as taken so that nothing is ever overwritten.
bool NameTaken(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// Closes a POSIX descriptor once.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  bool Close() {
    if (fd_ < 0) return true;
    int r = ::close(fd_);
    fd_ = -1;
    return r == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool CopyContents(int from, int to) {
  std::vector<char> buf(1 << 16);
  while (true) {
    ssize_t r = ::read(from, buf.data(), buf.size());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) return true;
    if (!WriteAll(to, buf.data(), static_cast<size_t>(r))) return false;
  }
}

}  // namespace

char PathSeparator() { return '/'; }

std::string FileDirWithDelim(std::string_view path) {
  // Everything before the name, so that folder + name gives the path back; a
  // bare name has no folder (not the root).
  return std::string(path.substr(0, NameStart(path)));
}

std::string FileNameOnly(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string ChangeExt(std::string_view path, std::string_view ext) {
  size_t dot = ExtStart(path);
  std::string out(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  out += ext;
  return out;
}

std::string LowerFileExt(std::string_view path) {
  size_t dot = ExtStart(path);
  if (dot == std::string_view::npos) return {};
  std::string ext(path.substr(dot));
  // ASCII only: extensions are compared with fixed names such as ".jww", and
  // locale-dependent mappings (Turkish I) must not change them.
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

std::string AddPathDelim(std::string_view folder) {
  std::string out(folder);
  if (out.empty() || (out.back() != '/' && out.back() != '\\')) out.push_back(PathSeparator());
  return out;
}

bool FileExistsCheck(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

bool MakeDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path, ec);
  return fs::is_directory(path, ec);
}

bool DeleteFileSafe(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(path, ec);
  if (ec || st.type() == fs::file_type::directory || st.type() == fs::file_type::not_found)
    return false;
  return fs::remove(path, ec) && !ec;
}

bool DeleteDirectory(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(path, ec);
  if (ec || st.type() != fs::file_type::directory) return false;
  return fs::remove(path, ec) && !ec;  // fails on a folder that is not empty
}

bool CopyFileKeepTimes(const std::string& src, const std::string& dst) {
  Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.ok()) return false;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

  // Copying a file onto itself would truncate the source before reading it.
  struct stat dstSt {};
  if (::stat(dst.c_str(), &dstSt) == 0 && dstSt.st_dev == st.st_dev && dstSt.st_ino == st.st_ino)
    return false;

  // The copy goes to a temporary file beside the target and takes the target's
  // name only when complete, so a failure leaves neither a partial target nor
  // a damaged older file of that name.
  std::string tmpl = dst + ".XXXXXX";
  std::vector<char> tmpName(tmpl.begin(), tmpl.end());
  tmpName.push_back('\0');
  Fd out(::mkostemp(tmpName.data(), O_CLOEXEC));
  if (!out.ok()) return false;

  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  bool ok = CopyContents(in.get(), out.get()) && ::fchmod(out.get(), st.st_mode & 0777) == 0 &&
            ::futimens(out.get(), times) == 0;
  ok = out.Close() && ok;
  if (ok) ok = ::rename(tmpName.data(), dst.c_str()) == 0;
  if (!ok) ::unlink(tmpName.data());
  return ok;
}

std::string BranchFileName(const std::string& path, int n) {
  size_t dot = ExtStart(path);
  std::string stem = path.substr(0, dot == std::string::npos ? path.size() : dot);
  const std::string tail = "~" + std::to_string(n) + LowerFileExt(path);
  // A name at the file system's limit makes room for the branch number: the
  // stem loses whole UTF-8 characters from its end.
  const size_t slash = stem.rfind('/');
  const size_t leafStart = slash == std::string::npos ? 0 : slash + 1;
  while (stem.size() > leafStart && stem.size() - leafStart + tail.size() > kMaxNameBytes) {
    // Continuation bytes, then the lead byte of the last character.
    unsigned char last = 0;
    do {
      last = static_cast<unsigned char>(stem.back());
      stem.pop_back();
    } while ((last & 0xC0) == 0x80 && stem.size() > leafStart);
  }
  return stem + tail;
}

std::optional<std::string> MakeBranchFileName(const std::string& path) {
  if (!NameTaken(path)) return path;
  for (int n = 1; n <= kMaxBranchNumber; ++n) {
    std::string candidate = BranchFileName(path, n);
    if (!NameTaken(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace util
