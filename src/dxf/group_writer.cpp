// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/group_writer.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "util/encoding.h"

namespace dxf {
namespace {

bool IsAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80 || c < 0x20) return false;
  return true;
}

void AppendEscape(std::string& out, char32_t c) {
  char buf[16];
  const int n = std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
  out.append(buf, static_cast<size_t>(n));
}

// One character (a surrogate pair is one) at `i`; `i` moves past it.
char32_t NextChar(std::u16string_view s, size_t& i) {
  const char16_t c = s[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
    const char16_t d = s[i++];
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (d - 0xDC00);
  }
  return c;
}

// A value line holds no line break: control characters become spaces.
std::u16string WithoutControls(std::u16string_view s) {
  std::u16string r(s);
  for (char16_t& c : r)
    if (c < 0x20) c = u' ';
  return r;
}

std::string Cp932(std::u16string_view s) {
  const util::Bytes whole = util::StrToAnsiBytes(s);
  if (util::AnsiBytesToStr(whole) == s) return std::string(whole.begin(), whole.end());
  // Some character has no exact form in the code page (a best-fit mapping or
  // none): those are escaped, the others kept.
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const size_t from = i;
    const char32_t c = NextChar(s, i);
    const std::u16string_view one = s.substr(from, i - from);
    const util::Bytes b = util::StrToAnsiBytes(one);
    if (c < 0x80 || util::AnsiBytesToStr(b) == one)
      out.append(b.begin(), b.end());
    else
      AppendEscape(out, c);
  }
  return out;
}

}  // namespace

std::string_view AcadVersion(Version v) { return v == Version::kR2000 ? "AC1015" : "AC1032"; }

GroupWriter::GroupWriter(Version v, std::FILE* sink) : version_(v), sink_(sink) {
  out_.resize(sink ? kBuffer : size_t{1} << 16);
}

GroupWriter::~GroupWriter() { Wait(); }

void GroupWriter::Wait() {
  if (writing_.joinable()) writing_.join();
}

bool GroupWriter::WriteOut(std::FILE* sink, const char* data, size_t size, uint64_t at) {
  if (std::fwrite(data, 1, size, sink) != size) return false;
#ifdef __linux__
  // The file is made durable once, at its end; meanwhile the disk is asked to
  // start on what is written, so that it works while the rest is made
  // instead of all at the end (an export is several times its drawing's size).
  if (std::fflush(sink) == 0)
    ::sync_file_range(::fileno(sink), static_cast<off64_t>(at), static_cast<off64_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#endif
  return true;
}

void GroupWriter::Send() {
  // The full buffer goes to the sink on a thread of its own (copying into
  // the file's pages is a good part of an export's work, and the machine
  // has another core for it) while the next is filled in the other buffer.
  Wait();
  if (failed_ || used_ == 0) {
    flushed_ += used_;
    used_ = 0;
    return;
  }
  std::swap(out_, spare_);
  const size_t size = used_;
  const uint64_t at = flushed_;
  flushed_ += used_;
  used_ = 0;
  if (out_.size() < kBuffer) out_.resize(kBuffer);
  try {
    writing_ = std::thread([this, size, at] {
      if (!WriteOut(sink_, spare_.data(), size, at)) failed_ = true;
    });
  } catch (const std::system_error&) {
    if (!WriteOut(sink_, spare_.data(), size, at)) failed_ = true;
  }
}

bool GroupWriter::Flush() {
  if (!sink_) return true;
  Wait();
  if (used_ > 0 && !failed_ && !WriteOut(sink_, out_.data(), used_, flushed_)) failed_ = true;
  flushed_ += used_;
  used_ = 0;
  return !failed_;
}

void GroupWriter::Grow(size_t n) {
  if (sink_) {
    Send();
    if (n <= out_.size()) return;
  }
  out_.resize(std::max(out_.size() * 2, used_ + n));
}

bool GroupWriter::Patch(uint64_t offset, std::string_view bytes) {
  if (offset >= flushed_) {
    if (offset - flushed_ + bytes.size() > used_) return false;
    std::memcpy(out_.data() + (offset - flushed_), bytes.data(), bytes.size());
    return true;
  }
  if (!Flush() || std::fflush(sink_) != 0) return false;
  const long end = std::ftell(sink_);
  if (end < 0 || std::fseek(sink_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), sink_) == bytes.size();
  return std::fseek(sink_, end, SEEK_SET) == 0 && ok;
}

namespace {

// Every code line ("10\n" …) of the codes a DXF uses, made once: a code is
// then one copy of eight bytes instead of a division per digit. Codes are
// written without the alignment spaces some programs add: every reader takes
// the line as a number, and a million-entity file is a tenth smaller for it.
constexpr int kTabledCodes = 1072;
struct CodeLine {
  char text[8];
  uint8_t size;
};
constexpr std::array<CodeLine, kTabledCodes> MakeCodeLines() {
  std::array<CodeLine, kTabledCodes> t{};
  for (int c = 0; c < kTabledCodes; ++c) {
    char digits[8]{};
    int n = 0;
    for (int v = c; n == 0 || v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
    for (int i = 0; i < n; ++i) t[c].text[i] = digits[n - 1 - i];
    t[c].text[n] = '\n';
    t[c].size = static_cast<uint8_t>(n + 1);
  }
  return t;
}
constexpr std::array<CodeLine, kTabledCodes> kCodeLines = MakeCodeLines();

}  // namespace

char* GroupWriter::PutCode(char* p, int code) {
  if (code >= 0 && code < kTabledCodes) {
    const CodeLine& line = kCodeLines[static_cast<size_t>(code)];
    std::memcpy(p, line.text, sizeof line.text);  // room is always left for a whole group
    return p + line.size;
  }
  p = std::to_chars(p, p + 8, code).ptr;
  *p++ = '\n';
  return p;
}

char* GroupWriter::PutReal(char* p, double value) {
  if (!std::isfinite(value)) value = 0;
  // Whole numbers (zeros, scales, sizes) are most of a file's reals after
  // its coordinates: their digits are those of the integer. No "-0".
  if (value > -1e15 && value < 1e15) {
    const auto whole = static_cast<int64_t>(value);
    if (static_cast<double>(whole) == value) {
      p = std::to_chars(p, p + 24, whole).ptr;
      *p++ = '.', *p++ = '0', *p++ = '\n';
      return p;
    }
  }
  char* const start = p;
  p = std::to_chars(p, p + 32, value).ptr;
  // A real is always written as one, so that no reader takes it for an integer.
  bool real = false;
  for (const char* c = start; c != p && !real; ++c) real = *c == '.' || *c == 'e';
  if (!real) *p++ = '.', *p++ = '0';
  *p++ = '\n';
  return p;
}

// Room enough for a code line and a number line.
constexpr size_t kGroupRoom = 48;

void GroupWriter::Raw(int code, std::string_view value) {
  char* p = PutCode(Room(value.size() + 16), code);
  std::memcpy(p, value.data(), value.size());
  p += value.size();
  *p++ = '\n';
  Done(p);
}

void GroupWriter::Groups(std::string_view lines) {
  char* p = Room(lines.size());
  std::memcpy(p, lines.data(), lines.size());
  Done(p + lines.size());
}

uint64_t GroupWriter::Placeholder(int code, size_t width) {
  char* p = PutCode(Room(width + 16), code);
  const uint64_t at = flushed_ + static_cast<uint64_t>(p - out_.data());
  std::memset(p, '0', width);
  p += width;
  *p++ = '\n';
  Done(p);
  return at;
}

void GroupWriter::Int(int code, int64_t value) {
  char* p = PutCode(Room(kGroupRoom), code);
  p = std::to_chars(p, p + 24, value).ptr;
  *p++ = '\n';
  Done(p);
}

void GroupWriter::Real(int code, double value) {
  Done(PutReal(PutCode(Room(kGroupRoom), code), value));
}

void GroupWriter::Xy(int code, double x, double y) {
  char* p = PutReal(PutCode(Room(2 * kGroupRoom), code), x);
  Done(PutReal(PutCode(p, code + 10), y));
}

void GroupWriter::Xyz(int code, double x, double y, double z) {
  char* p = PutReal(PutCode(Room(3 * kGroupRoom), code), x);
  p = PutReal(PutCode(p, code + 10), y);
  Done(PutReal(PutCode(p, code + 20), z));
}

void GroupWriter::Handle(int code, uint64_t handle) {
  char* p = PutCode(Room(kGroupRoom), code);
  char* const start = p;
  p = std::to_chars(p, p + 24, handle, 16).ptr;
  for (char* c = start; c != p; ++c)
    if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
  *p++ = '\n';
  Done(p);
}

std::string GroupWriter::Encode(std::u16string_view value) const {
  if (IsAscii(value)) return std::string(value.begin(), value.end());
  const std::u16string clean = WithoutControls(value);
  if (version_ == Version::kR2018) return util::ToUtf8(clean);
  return Cp932(clean);
}

void GroupWriter::Str(int code, std::u16string_view value) {
  if (IsAscii(value)) {
    char* p = PutCode(Room(value.size() + 16), code);
    for (char16_t c : value) *p++ = static_cast<char>(c);
    *p++ = '\n';
    Done(p);
    return;
  }
  // Drawings repeat their texts (room names, dimension values): each is
  // encoded once, up to a bound on the memory kept for it.
  if (auto it = encoded_.find(value); it != encoded_.end()) {
    Raw(code, it->second);
    return;
  }
  std::string bytes = Encode(value);
  Raw(code, bytes);
  if (encoded_.size() < kEncodedKept) encoded_.emplace(std::u16string(value), std::move(bytes));
}

}  // namespace dxf
