// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace jww {
namespace {

class FileErrorCategoryImpl : public std::error_category {
 public:
  const char* name() const noexcept override { return "brindle.file"; }
  std::string message(int ev) const override {
    switch (static_cast<FileError>(ev)) {
      case FileError::kNotRegularFile:
        return "Not a regular file";
    }
    return "Unknown error";
  }
};

std::error_code Errno(int e) { return {e, std::system_category()}; }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens `path` for reading without waiting for a writer (a FIFO would block
// in open), then insists on a regular file and makes reads blocking again.
std::error_code OpenRegular(const std::string& path, int& fd, off_t& size) {
  fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Errno(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Errno(errno);
  if (S_ISDIR(st.st_mode)) return Errno(EISDIR);
  if (!S_ISREG(st.st_mode)) return FileError::kNotRegularFile;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Errno(errno);
  size = st.st_size;
  return {};
}

constexpr size_t kPiece = 1 << 16;

// Appends what the descriptor still holds, up to `limit` bytes in all; the
// size is not trusted in advance, the file may change while it is read.
std::error_code AppendRest(int fd, size_t limit, std::vector<uint8_t>& out) {
  while (out.size() < limit) {
    const size_t want = limit - out.size() < kPiece ? limit - out.size() : kPiece;
    const size_t old = out.size();
    out.resize(old + want);
    ssize_t got = ::read(fd, out.data() + old, want);
    if (got < 0) {
      out.resize(old);
      if (errno == EINTR) continue;
      return Errno(errno);
    }
    out.resize(old + static_cast<size_t>(got));
    if (got == 0) break;
  }
  return {};
}

bool ReadInto(const std::string& path, size_t limit, std::vector<uint8_t>& out,
              std::error_code* cause) {
  out.clear();
  std::error_code ec;
  try {
    int raw = -1;
    off_t size = 0;
    ec = OpenRegular(path, raw, size);
    Descriptor fd(raw);
    if (!ec) {
      // Sized once when the size is known, to read a large drawing without
      // repeated reallocation; one piece more, for the read that finds the end.
      if (size > 0) {
        const size_t whole = static_cast<size_t>(size) + kPiece;
        out.reserve(whole < limit ? whole : limit);
      }
      ec = AppendRest(fd.get(), limit, out);
    }
  } catch (const std::bad_alloc&) {
    ec = Errno(ENOMEM);
  } catch (const std::length_error&) {
    ec = Errno(EFBIG);
  }
  if (cause) *cause = ec;
  if (!ec) return true;
  out.clear();
  return false;
}

}  // namespace

const std::error_category& FileErrorCategory() {
  static const FileErrorCategoryImpl category;
  return category;
}

std::error_code make_error_code(FileError e) { return {static_cast<int>(e), FileErrorCategory()}; }

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, std::error_code* cause) {
  return ReadInto(path, SIZE_MAX, out, cause);
}

bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out,
                    std::error_code* cause) {
  return ReadInto(path, limit, out, cause);
}

}  // namespace jww
