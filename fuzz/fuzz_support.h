// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces the fuzz targets share: bytes as a file without touching the disk,
// a scratch folder of the process, and a cap on explosions.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jww/document.h"

namespace fuzz {

// The input as a regular file in memory (memfd), for operations that only
// take a path. The path stays valid while the object lives.
class MemFile {
 public:
  MemFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) return;
    for (size_t done = 0; done < size;) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) std::abort();  // the harness itself failed, not the code under test
      done += static_cast<size_t>(n);
    }
  }
  ~MemFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

// One folder per fuzzing process, emptied by every run that used it, so that
// a long run cannot fill the disk, and removed when the process ends.
class Scratch {
 public:
  Scratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "brindle-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline const std::filesystem::path& ScratchFolder() {
  static const Scratch scratch;
  return scratch.path();
}

inline void EmptyScratchFolder() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(ScratchFolder(), ec))
    std::filesystem::remove_all(e.path(), ec);
}

// Copies the explosion of every block would make, counted over the block
// tree's nodes (one node per placement, nested ones included); the SXF step
// has its exact count in PlanSxfExplosion. The fuzzers skip explosions above
// a few hundred thousand copies: they look for faults, and a drawing that asks
// for a billion copies only finds the memory limit of the fuzzing machine.
inline int64_t CopiesInTree(const jww::TJwwData& doc) {
  int64_t copies = 0;
  for (int32_t i = 0; i < doc.EntBlockTreeN && i < static_cast<int32_t>(doc.EntBlockTree.size());
       ++i) {
    const int32_t def = doc.EntBlockTree[i].defno;
    if (def < 0 || def >= doc.EntBlockDefN || def >= static_cast<int32_t>(doc.EntBlockDef.size()))
      continue;
    const jww::TEntJwwBlockDef& b = doc.EntBlockDef[def];
    copies += int64_t{b.mLineN} + b.mEnkoN + b.mTenN + b.mMojiN + b.mSunpoN + b.mSolidN + b.mBlockN;
  }
  return copies;
}

constexpr int64_t kMaxFuzzCopies = 300000;

}  // namespace fuzz
