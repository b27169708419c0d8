// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/group_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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

bool GroupWriter::Flush() {
  if (!sink_) return true;
  if (!out_.empty() && !failed_ && std::fwrite(out_.data(), 1, out_.size(), sink_) != out_.size())
    failed_ = true;
  flushed_ += out_.size();
  out_.clear();
  return !failed_;
}

bool GroupWriter::Patch(uint64_t offset, std::string_view bytes) {
  if (offset >= flushed_) {
    if (offset - flushed_ + bytes.size() > out_.size()) return false;
    out_.replace(static_cast<size_t>(offset - flushed_), bytes.size(), bytes);
    return true;
  }
  if (!Flush() || std::fflush(sink_) != 0) return false;
  const long end = std::ftell(sink_);
  if (end < 0 || std::fseek(sink_, static_cast<long>(offset), SEEK_SET) != 0) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), sink_) == bytes.size();
  return std::fseek(sink_, end, SEEK_SET) == 0 && ok;
}

void GroupWriter::Code(int code) {
  MaybeFlush();
  // Codes are written without the alignment spaces some programs add: every
  // reader takes the line as a number, and a million-entity file is a tenth
  // smaller for it.
  char buf[8];
  auto r = std::to_chars(buf, buf + sizeof buf - 1, code);
  *r.ptr++ = '\n';
  out_.append(buf, r.ptr);
}

void GroupWriter::Raw(int code, std::string_view value) {
  Code(code);
  out_.append(value);
  out_.push_back('\n');
}

void GroupWriter::Int(int code, int64_t value) {
  Code(code);
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, r.ptr);
  out_.push_back('\n');
}

void GroupWriter::Real(int code, double value) {
  Code(code);
  if (!std::isfinite(value)) value = 0;
  if (value == 0) value = 0;  // no "-0"
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
  out_.append(s);
  // A real is always written as one, so that no reader takes it for an integer.
  if (s.find_first_of(".e") == std::string_view::npos) out_.append(".0");
  out_.push_back('\n');
}

void GroupWriter::Xy(int code, double x, double y) {
  Real(code, x);
  Real(code + 10, y);
}

void GroupWriter::Xyz(int code, double x, double y, double z) {
  Real(code, x);
  Real(code + 10, y);
  Real(code + 20, z);
}

void GroupWriter::Handle(int code, uint64_t handle) {
  Code(code);
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, handle, 16);
  for (char* p = buf; p != r.ptr; ++p)
    if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
  out_.append(buf, r.ptr);
  out_.push_back('\n');
}

std::string GroupWriter::Encode(std::u16string_view value) const {
  if (IsAscii(value)) return std::string(value.begin(), value.end());
  const std::u16string clean = WithoutControls(value);
  if (version_ == Version::kR2018) return util::ToUtf8(clean);
  return Cp932(clean);
}

void GroupWriter::Str(int code, std::u16string_view value) {
  if (IsAscii(value)) {
    Code(code);
    for (char16_t c : value) out_.push_back(static_cast<char>(c));
    out_.push_back('\n');
    return;
  }
  Raw(code, Encode(value));
}

}  // namespace dxf
