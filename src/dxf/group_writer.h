// SPDX-License-Identifier: GPL-3.0-or-later
// DXF text output, one group (code line, value line) at a time, into a
// buffer that is written straight through pointers (a group is one bounds
// check, no allocation). Numbers are written in the C locale's shortest exact form
// (std::to_chars), never through the user's locale. Strings are encoded for
// the version written: UTF-8 for R2007 and later, code page 932 for R2000,
// where a character the code page cannot hold is written as \U+XXXX, the
// escape CAD programs read in texts and names of that version.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace dxf {

enum class Version { kR2000, kR2018 };

// "AC1015" or "AC1032".
std::string_view AcadVersion(Version v);

class GroupWriter {
 public:
  // Into memory (data()), or, with `sink`, into that file a buffer at a time.
  explicit GroupWriter(Version v, std::FILE* sink = nullptr);
  ~GroupWriter();
  GroupWriter(const GroupWriter&) = delete;
  GroupWriter& operator=(const GroupWriter&) = delete;

  Version version() const { return version_; }

  // A group whose value is written as it stands (ASCII names, markers).
  void Raw(int code, std::string_view value);
  void Int(int code, int64_t value);
  void Real(int code, double value);
  // A point: x and y under `code` and `code` + 10 (z, when wanted, under +20).
  void Xy(int code, double x, double y);
  void Xyz(int code, double x, double y, double z);
  void Handle(int code, uint64_t handle);
  // A string from the drawing, encoded for the version.
  void Str(int code, std::u16string_view value);
  // The same, already encoded (see Encode).
  void Encoded(int code, std::string_view bytes) { Raw(code, bytes); }
  // Whole groups made beforehand (code and value lines), as they stand.
  void Groups(std::string_view lines);
  // A group whose value is `width` zeros, to be mended by Patch once known;
  // returns the offset of the value.
  uint64_t Placeholder(int code, size_t width);

  // `value` as Str would write it.
  std::string Encode(std::u16string_view value) const;

  // Bytes written so far (flushed or not): where the next group starts.
  uint64_t Offset() const { return flushed_ + used_; }
  // Overwrites bytes written earlier at `offset` (same length).
  bool Patch(uint64_t offset, std::string_view bytes);
  // Hands the buffer to the sink; false when the sink failed (now or before).
  bool Flush();

  // Everything written, when there is no sink.
  std::string& data() {
    out_.resize(used_);
    return out_;
  }

 private:
  // Room for `n` more bytes at the end of the buffer (flushed to the sink or
  // grown first when they do not fit): where they go.
  char* Room(size_t n) {
    if (used_ + n > out_.size()) Grow(n);
    return out_.data() + used_;
  }
  void Grow(size_t n);
  // Hands the buffer to the sink on the writing thread and goes on in the
  // other buffer; Wait lets the last hand-over finish.
  void Send();
  void Wait();
  static bool WriteOut(std::FILE* sink, const char* data, size_t size, uint64_t at);
  // The code line at `p`; past its end.
  static char* PutCode(char* p, int code);
  static char* PutReal(char* p, double value);
  void Done(const char* end) { used_ = static_cast<size_t>(end - out_.data()); }

  // A sink takes the buffer when it is this full: a few large writes, and
  // little memory whatever the file's size.
  static constexpr size_t kBuffer = 4 << 20;
  Version version_;
  std::FILE* sink_;
  uint64_t flushed_ = 0;  // bytes handed to the sink (written, or being written)
  std::atomic<bool> failed_ = false;
  std::string out_;  // the buffer, used_ bytes of it written
  size_t used_ = 0;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
  };
  static constexpr size_t kEncodedKept = 4096;
  std::unordered_map<std::u16string, std::string, TextHash, std::equal_to<>> encoded_;
  std::string spare_;  // the buffer being written by `writing_`
  std::thread writing_;
};

}  // namespace dxf
