// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "util/path.h"

namespace jww {
namespace {

std::string Errno(const std::string& what, int err) { return what + ": " + std::strerror(err); }

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string s(10, '0');
  for (char& c : s) c = kDigits[rng() % 36];
  return s;
}

bool ProcFdAvailable() { return ::access("/proc/self/fd", X_OK) == 0; }

std::string LeafOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

}  // namespace

OutputFile::OutputFile(std::string folder, bool anonymous, TempHook hook)
    : folder_(folder.empty() ? std::string(".") : std::move(folder)),
      anonymous_(anonymous),
      hook_(hook) {}

OutputFile::~OutputFile() {
  Discard();
  if (dirFd_ >= 0) ::close(dirFd_);
}

bool OutputFile::Open(std::string* error) {
  // O_PATH: naming files inside needs no right to list the folder.
  dirFd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dirFd_ < 0) {
    *error = Errno("cannot write into the output folder", errno);
    return false;
  }
  if (anonymous_ && ProcFdAvailable()) {
    int fd = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) return Adopt(fd, error);
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS ||
        errno == ENOSPC || errno == EDQUOT) {
      *error = Errno("cannot write into the output folder", errno);
      return false;
    }
    // Other errors: the file system has no O_TMPFILE; use a named file.
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string leaf = ".brindle-" + RandomSuffix() + ".tmp";
    int fd = ::openat(dirFd_, leaf.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempLeaf_ = leaf;
      if (hook_) hook_((std::filesystem::path(folder_) / tempLeaf_).string(), true);
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

bool OutputFile::Flush() {
  return file_ && std::fflush(file_) == 0 && !std::ferror(file_) &&
         ::fdatasync(::fileno(file_)) == 0;
}

int OutputFile::Claim(const std::string& target) {
  const std::string leaf = LeafOf(target);
  if (dirFd_ < 0 || (!file_ && tempLeaf_.empty())) return EBADF;
  if (leaf.empty()) return EISDIR;
  if (tempLeaf_.empty()) {
    std::string self = "/proc/self/fd/" + std::to_string(::fileno(file_));
    if (::linkat(AT_FDCWD, self.c_str(), dirFd_, leaf.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
  }
  if (::renameat2(dirFd_, tempLeaf_.c_str(), dirFd_, leaf.c_str(), RENAME_NOREPLACE) == 0) {
    ForgetTemp();
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  // File systems without renameat2 flags: a hard link never replaces either.
  if (::linkat(dirFd_, tempLeaf_.c_str(), dirFd_, leaf.c_str(), 0) != 0) return errno;
  ::unlinkat(dirFd_, tempLeaf_.c_str(), 0);
  ForgetTemp();
  return 0;
}

int OutputFile::Replace(const std::string& target) {
  const std::string leaf = LeafOf(target);
  if (dirFd_ < 0 || tempLeaf_.empty()) return EINVAL;
  if (leaf.empty()) return EISDIR;
  if (::renameat(dirFd_, tempLeaf_.c_str(), dirFd_, leaf.c_str()) != 0) return errno;
  ForgetTemp();
  return 0;
}

bool OutputFile::Close() {
  if (!file_) return true;
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

bool OutputFile::Adopt(int fd, std::string* error) {
  file_ = ::fdopen(fd, "wb");
  if (file_) return true;
  *error = Errno("cannot open the output stream", errno);
  ::close(fd);
  if (!tempLeaf_.empty()) {
    ::unlinkat(dirFd_, tempLeaf_.c_str(), 0);
    ForgetTemp();
  }
  return false;
}

void OutputFile::ForgetTemp() {
  if (hook_) hook_((std::filesystem::path(folder_) / tempLeaf_).string(), false);
  tempLeaf_.clear();
}

void OutputFile::Discard() {
  Close();
  if (!tempLeaf_.empty()) {
    ::unlinkat(dirFd_, tempLeaf_.c_str(), 0);
    ForgetTemp();
  }
}

// ------------------------------------------------------------- saving

namespace {

// Opens a temporary file in the folder of `path` and fills it completely.
bool WriteWhole(OutputFile& file, const std::string& path, const FileContents& write,
                std::string* error) {
  if (path.empty() || LeafOf(path).empty()) {
    *error = "no output file name";
    return false;
  }
  if (!file.Open(error)) return false;
  std::string why;
  bool ok = false;
  // A writer that fails without a word (fwrite on a full disk) leaves the
  // system's reason in errno.
  errno = 0;
  try {
    ok = write(file.stream(), &why);
  } catch (const std::exception& e) {
    why = std::string("cannot write: ") + e.what();
  }
  if (!ok) {
    const int cause = errno;
    *error = !why.empty() ? why : cause != 0 ? Errno("cannot write " + path, cause)
                                             : "cannot write " + path;
    return false;
  }
  if (!file.Flush()) {
    *error = Errno("cannot write " + path, errno);
    return false;
  }
  return true;
}

}  // namespace

std::string SaveAsNewFile(const std::string& path, const FileContents& write, std::string* error,
                          const SaveOptions& options) {
  OutputFile file(FolderOf(path), options.allowAnonymous, options.hook);
  if (!WriteWhole(file, path, write, error)) return {};
  const int last = std::max(0, options.lastBranch);
  for (int n = 0; n <= last; ++n) {
    std::string candidate = n == 0 ? path : util::BranchFileName(path, n);
    int rc = file.Claim(candidate);
    if (rc == 0) {
      // The data reached the disk before the name was given, so a failing
      // close loses nothing.
      file.Close();
      error->clear();
      return candidate;
    }
    if (rc != EEXIST) {
      *error = Errno("cannot name the output file", rc);
      return {};
    }
  }
  *error = last == 0 ? std::string(kNameTaken)
                     : "every branch name up to ~" + std::to_string(last) + " is taken";
  return {};
}

bool SaveReplacingFile(const std::string& path, const FileContents& write, std::string* error,
                       const SaveOptions& options) {
  // Replacing by name needs a named temporary file.
  OutputFile file(FolderOf(path), /*anonymous=*/false, options.hook);
  if (!WriteWhole(file, path, write, error)) return false;
  if (!file.Close()) {
    *error = Errno("cannot write " + path, errno);
    return false;
  }
  if (int rc = file.Replace(path); rc != 0) {
    *error = Errno("cannot move the output into place", rc);
    return false;
  }
  error->clear();
  return true;
}

}  // namespace jww
