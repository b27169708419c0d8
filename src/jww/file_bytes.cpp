#include "jww/file_bytes.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace jww {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Appends whatever the stream still holds; the size is not trusted in
// advance, the file may change while it is read.
bool AppendRest(std::FILE* f, size_t limit, std::vector<uint8_t>& out) {
  constexpr size_t kPiece = 1 << 16;
  while (out.size() < limit) {
    size_t want = limit - out.size() < kPiece ? limit - out.size() : kPiece;
    size_t old = out.size();
    out.resize(old + want);
    size_t got = std::fread(out.data() + old, 1, want, f);
    out.resize(old + got);
    if (got < want) return !std::ferror(f);
  }
  return true;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  try {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    // Size the buffer once when the size is known, to read a large drawing
    // without repeated reallocation.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec) out.reserve(static_cast<size_t>(size));
    if (AppendRest(f.get(), SIZE_MAX, out)) return true;
  } catch (const std::exception&) {
    // Out of memory: reported as an unreadable file.
  }
  out.clear();
  return false;
}

bool ReadFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  try {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (f && AppendRest(f.get(), limit, out)) return true;
  } catch (const std::exception&) {
  }
  out.clear();
  return false;
}

}  // namespace jww
