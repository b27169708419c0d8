// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-level conventions of the JWW archive: little-endian scalars, the MFC
// string form, counts, object tags and the entity attribute block.
//
// Reading works on a buffer holding the whole file: every read is bounds
// checked. A read that meets the end yields zero bytes for what is missing
// and marks the reader short for good (ok() false), so that callers check
// once per object instead of after every field.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jww/records.h"

namespace jww {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ >= data_.size(); }
  void seek(size_t p) { pos_ = p < data_.size() ? p : data_.size(); }

  // Copies up to n bytes into dst, zero-fills the rest; returns bytes read.
  size_t read(void* dst, size_t n) {
    size_t got = n < remaining() ? n : remaining();
    if (got) std::memcpy(dst, data_.data() + pos_, got);
    if (got < n) {
      std::memset(static_cast<uint8_t*>(dst) + got, 0, n - got);
      short_ = true;
    }
    pos_ += got;
    return got;
  }
  // Advances over up to n bytes; returns bytes skipped.
  size_t skip(size_t n) {
    size_t got = n < remaining() ? n : remaining();
    if (got < n) short_ = true;
    pos_ += got;
    return got;
  }
  // A view of the next n bytes (fewer at the end) and advances past them.
  std::span<const uint8_t> take(size_t n) {
    size_t got = n < remaining() ? n : remaining();
    if (got < n) short_ = true;
    auto s = data_.subspan(pos_, got);
    pos_ += got;
    return s;
  }

  uint8_t u8() { return scalar<uint8_t>(); }
  uint16_t u16() { return scalar<uint16_t>(); }
  uint32_t u32() { return scalar<uint32_t>(); }
  int32_t i32() { return scalar<int32_t>(); }
  double f64() { return scalar<double>(); }

  // True when every read so far got all the bytes it asked for.
  bool ok() const { return !short_; }

 private:
  template <typename T>
  T scalar() {
    T v{};
    read(&v, sizeof v);
    return v;  // little-endian host assumed (x86-64, aarch64)
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool short_ = false;
};

// One forward pass into a large buffer, flushed to a stdio stream (or kept in
// memory when no stream is given). Write errors are sticky and reported by ok().
class ByteWriter {
 public:
  // Only a file writer needs its chunk up front; an in-memory writer grows
  // with what is written (small documents stay small).
  explicit ByteWriter(std::FILE* f = nullptr) : file_(f) {
    if (file_) buf_.reserve(kChunk);
  }
  ~ByteWriter() = default;
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  void bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
    if (file_ && buf_.size() >= kChunk) flush();
  }
  void u8(uint8_t v) { bytes(&v, 1); }
  void u16(uint16_t v) { bytes(&v, 2); }
  void u32(uint32_t v) { bytes(&v, 4); }
  void i32(int32_t v) { bytes(&v, 4); }
  void f64(double v) { bytes(&v, 8); }
  void fill(uint8_t value, size_t n) { buf_.insert(buf_.end(), n, value); }

  bool flush() {
    if (file_ && !buf_.empty()) {
      if (std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) failed_ = true;
      buf_.clear();
    }
    return !failed_;
  }
  void fail() { failed_ = true; }
  bool ok() const { return !failed_; }
  // In-memory mode: everything written so far.
  const std::vector<uint8_t>& buffer() const { return buf_; }

 private:
  static constexpr size_t kChunk = 1 << 20;
  std::FILE* file_;
  std::vector<uint8_t> buf_;
  bool failed_ = false;
};

// ---- strings ----
// Reads one string; sets mojiEncode when it was stored as UTF-16.
std::u16string ReadCString(ByteReader& in, bool& mojiEncode);
// ReadCString without code units below U+0020.
std::u16string ReadCleanCString(ByteReader& in, bool& mojiEncode);
// Writes one string, UTF-16 when bit 0x20 of fileOutOpt is set. Returns false
// (writing nothing) when the encoded length cannot be represented (0xFFFE or
// more bytes or units): such a length would collide with the Unicode marker.
bool WriteCString(ByteWriter& out, int32_t fileOutOpt, std::u16string_view s);

std::u16string StripControlChars(std::u16string_view s);
bool IsFiniteDouble(double d);

// ---- counts and object tags ----
void WriteCount(ByteWriter& out, int32_t count);
void WriteClassRef(ByteWriter& out, int32_t classIndex);
// Reads a count (u16, or u32 after 0xFFFF). ok is false when the file ends
// before the whole count.
uint32_t ReadCount(ByteReader& in, bool& ok);

struct ObjectTag {
  bool newClass = false;    // a new-class record (0xFFFF)
  uint32_t classIndex = 0;  // for a reference: the referenced class index
  uint16_t schema = 0;
  std::string className;  // for a new class: the name as stored (bytes)
  bool complete = false;  // false when the file ended inside the tag
};
ObjectTag ReadObjectTag(ByteReader& in);
void WriteNewClass(ByteWriter& out, int32_t version, std::string_view className);

// ---- attribute block ----
// 15 bytes from version 351, 13 bytes (no nPenWidth) before.
TEntJwwAttr ReadAttr(ByteReader& in, int32_t jwVer);
// Writes a repaired and, below 420, down-converted copy of att for the entity
// kind (1..7, 8 = block definition).
void WriteAttr(ByteWriter& out, int32_t version, const TEntJwwAttr& att, int32_t kind);
// The bytes WriteAttr writes, put at `dst` (room for 15); returns their number.
size_t PackAttr(uint8_t* dst, int32_t version, const TEntJwwAttr& att, int32_t kind);
// The repaired attribute values that WriteAttr writes (version decides the
// down-conversion); exposed so that tests and dumps can see them.
TEntJwwAttr RepairAttr(int32_t version, TEntJwwAttr att, int32_t kind);
TEntJwwAttr CopyAttr(const TEntJwwAttr& src);

}  // namespace jww
