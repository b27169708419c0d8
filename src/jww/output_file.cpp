#include "jww/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace jww {
namespace {

std::string Errno(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string s(10, '0');
  for (char& c : s) c = kDigits[rng() % 36];
  return s;
}

bool ProcFdAvailable() { return ::access("/proc/self/fd", X_OK) == 0; }

}  // namespace

OutputFile::OutputFile(std::string folder, bool anonymous, TempHook hook)
    : folder_(folder.empty() ? std::string(".") : std::move(folder)),
      anonymous_(anonymous),
      hook_(hook) {}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(std::string* error) {
  if (anonymous_ && ProcFdAvailable()) {
    int fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) return Adopt(fd, error);
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS) {
      *error = Errno("cannot write into the output folder", errno);
      return false;
    }
    // Other errors: the file system has no O_TMPFILE; use a named file.
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name =
        (std::filesystem::path(folder_) / (".brindle-" + RandomSuffix() + ".tmp")).string();
    int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempName_ = name;
      if (hook_) hook_(tempName_, true);
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
  if (!file_ && tempName_.empty()) return EBADF;
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
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  // File systems without renameat2 flags: a hard link never replaces either.
  if (::link(tempName_.c_str(), target.c_str()) != 0) return errno;
  ::unlink(tempName_.c_str());
  ForgetTemp();
  return 0;
}

int OutputFile::Replace(const std::string& target) {
  if (tempName_.empty()) return EINVAL;
  if (std::rename(tempName_.c_str(), target.c_str()) != 0) return errno;
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
  if (!tempName_.empty()) {
    ::unlink(tempName_.c_str());
    ForgetTemp();
  }
  return false;
}

void OutputFile::ForgetTemp() {
  if (hook_) hook_(tempName_, false);
  tempName_.clear();
}

void OutputFile::Discard() {
  Close();
  if (!tempName_.empty()) {
    ::unlink(tempName_.c_str());
    ForgetTemp();
  }
}

}  // namespace jww
