// SPDX-License-Identifier: GPL-3.0-or-later
#include "sxf/p21_parse.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "util/encoding.h"

namespace sxf {

namespace {

// Lists nest this deep at most: real files need three or four levels, and
// the parser's recursion must stay far from the stack's end.
constexpr int kMaxDepth = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One byte of an ISO 8859 part (\P?\ chooses it, \S\ takes a byte from it).
char32_t FromIso8859(int part, uint8_t byte) {
  if (part == 1 || byte < 0xA0) return byte;  // part 1 is Unicode's first block
  const std::string from = "ISO-8859-" + std::to_string(part);
  iconv_t cd = iconv_open("UTF-32LE", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return U'?';
  char in[1] = {static_cast<char>(byte)};
  char out[4] = {};
  char* ip = in;
  char* op = out;
  size_t il = 1, ol = 4;
  const size_t done = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1) || ol != 0) return U'?';
  return static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
         static_cast<uint8_t>(out[2]) << 16 |
         static_cast<char32_t>(static_cast<uint8_t>(out[3])) << 24;
}

void AppendCodePoint(std::u16string& s, char32_t c) {
  if (c < 0x10000) {
    s.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    s.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    s.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

class Parser {
 public:
  Parser(std::string_view text, P21File& out, SfcError& error)
      : s_(text), out_(out), error_(error) {}

  bool Run() {
    Space();
    if (!Take("ISO-10303-21;")) return Fail("not a P21 file (no ISO-10303-21 envelope)");
    Space();
    if (!Take("HEADER;")) return Fail("the HEADER section is missing");
    if (!Header()) return false;
    Space();
    bool data = false;
    while (Take("DATA")) {
      data = true;
      Space();
      if (Peek() == '(') {  // DATA('name',('schema')); of later editions
        P21Value v;
        if (!Value(v, 0, 0)) return false;
        Space();
      }
      if (!Take(";")) return Fail("';' expected after DATA");
      if (!Data()) return false;
      Space();
    }
    if (!data) return Fail("the DATA section is missing");
    if (!Take("END-ISO-10303-21;")) return Fail("the file ends without END-ISO-10303-21");
    Space();
    if (!AtEnd()) return Fail("text after END-ISO-10303-21");
    return CheckReferences();
  }

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek(size_t k = 0) const { return pos_ + k < s_.size() ? s_[pos_ + k] : '\0'; }
  bool Take(std::string_view w) {
    if (s_.substr(pos_).substr(0, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }

  bool Fail(std::string reason, int64_t record = 0) {
    if (error_.reason.empty()) {
      error_.record = record;
      error_.line = LineAt(s_, pos_);
      error_.reason = std::move(reason);
    }
    return false;
  }
  bool Cut(const std::string& what, int64_t record) {
    return Fail(AtEnd() ? "the record is cut short (" + what + " expected)" : what + " expected",
                record);
  }

  // Spaces and comments between tokens.
  void Space() {
    for (;;) {
      while (!AtEnd() && IsSpace(Peek())) ++pos_;
      if (Peek() == '/' && Peek(1) == '*') {
        const size_t end = s_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? s_.size() : end + 2;
        continue;
      }
      return;
    }
  }

  std::string_view Name() {
    const size_t from = pos_;
    while (!AtEnd() && IsNameChar(Peek())) ++pos_;
    return s_.substr(from, pos_ - from);
  }

  // HEADER entities: NAME(params); up to ENDSEC;.
  bool Header() {
    for (;;) {
      Space();
      if (AtEnd()) return Fail("the HEADER section is not closed");
      if (Take("ENDSEC;")) return true;
      const std::string_view name = Name();
      if (name.empty()) return Fail("a header entry has no name");
      P21Part part;
      part.name = ToUpper(name);
      Space();
      if (!Args(part, 0, 0)) return false;
      Space();
      if (!Take(";")) return Cut("';' after a header entry", 0);
      ReadHeaderTexts(part);
    }
  }

  static std::string FirstString(const P21Value& v) {
    if (v.kind == P21Value::Kind::kString) return v.text;
    for (const P21Value& i : v.items) {
      std::string s = FirstString(i);
      if (!s.empty()) return s;
    }
    return {};
  }

  void ReadHeaderTexts(const P21Part& p) {
    if (p.name == "FILE_DESCRIPTION" && !p.args.empty() && out_.description.empty())
      out_.description = FirstString(p.args[0]);
    if (p.name == "FILE_NAME" && p.args.size() >= 6) {
      const std::string pre = FirstString(p.args[4]), sys = FirstString(p.args[5]);
      out_.author = sys.empty() ? pre : (pre.empty() ? sys : pre + ", " + sys);
    }
  }

  bool Data() {
    for (;;) {
      Space();
      if (AtEnd()) return Fail("the DATA section is not closed");
      if (Take("ENDSEC;")) return true;
      if (Peek() != '#') return Fail("text that is no instance in the DATA section", last_);
      if (!Instance()) return false;
    }
  }

  bool Instance() {
    P21Instance inst;
    inst.offset = pos_;
    ++pos_;  // '#'
    size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) {
      if (digits < 18) inst.number = inst.number * 10 + (Peek() - '0');
      ++digits;
      ++pos_;
    }
    if (digits == 0 || digits > 18 || inst.number <= 0)
      return Fail("an instance has no valid number", last_);
    last_ = inst.number;
    const int64_t n = inst.number;
    Space();
    if (!Take("=")) return Cut("'=' after the instance number", n);
    Space();
    if (Peek() == '(') {  // complex: (A(...) B(...) ...)
      ++pos_;
      for (;;) {
        Space();
        if (Take(")")) break;
        if (!Part(inst, n)) return false;
      }
      if (inst.parts.empty()) return Fail("a complex instance has no entity", n);
    } else if (!Part(inst, n)) {
      return false;
    }
    Space();
    if (!Take(";")) return Cut("';' after the instance", n);
    const auto [it, added] = out_.index.emplace(n, static_cast<uint32_t>(out_.instances.size()));
    if (!added) return Fail("the instance number is used twice", n);
    out_.instances.push_back(std::move(inst));
    return true;
  }

  bool Part(P21Instance& inst, int64_t n) {
    const std::string_view name = Name();
    if (name.empty()) return Cut("an entity name", n);
    P21Part part;
    part.name = ToUpper(name);
    Space();
    if (!Args(part, n, 0)) return false;
    inst.parts.push_back(std::move(part));
    return true;
  }

  static std::string ToUpper(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  }

  bool Args(P21Part& part, int64_t n, int depth) {
    P21Value list;
    if (Peek() != '(') return Cut("'(' after the entity name", n);
    if (!List(list, n, depth)) return false;
    part.args = std::move(list.items);
    return true;
  }

  bool List(P21Value& v, int64_t n, int depth) {
    if (depth >= kMaxDepth) return Fail("lists nest deeper than " + std::to_string(kMaxDepth), n);
    v.kind = P21Value::Kind::kList;
    ++pos_;  // '('
    Space();
    if (Take(")")) return true;
    for (;;) {
      Space();
      P21Value item;
      if (!Value(item, n, depth + 1)) return false;
      v.items.push_back(std::move(item));
      Space();
      if (Take(",")) continue;
      if (Take(")")) return true;
      return Cut("',' or ')' after a parameter", n);
    }
  }

  bool Value(P21Value& v, int64_t n, int depth) {
    const char c = Peek();
    if (c == '$') {
      ++pos_;
      v.kind = P21Value::Kind::kUnset;
      return true;
    }
    if (c == '*') {
      ++pos_;
      v.kind = P21Value::Kind::kDerived;
      return true;
    }
    if (c == '(') return List(v, n, depth);
    if (c == '\'') return String(v, n);
    if (c == '"') {
      ++pos_;
      const size_t end = s_.find('"', pos_);
      if (end == std::string_view::npos) return Cut("the end of a binary", n);
      v.kind = P21Value::Kind::kBinary;
      v.text = std::string(s_.substr(pos_, end - pos_));
      pos_ = end + 1;
      return true;
    }
    if (c == '#') {
      ++pos_;
      size_t digits = 0;
      while (std::isdigit(static_cast<unsigned char>(Peek()))) {
        if (digits < 18) v.ref = v.ref * 10 + (Peek() - '0');
        ++digits;
        ++pos_;
      }
      if (digits == 0 || digits > 18) return Fail("a reference has no valid number", n);
      v.kind = P21Value::Kind::kRef;
      return true;
    }
    if (c == '.') {
      ++pos_;
      const std::string_view name = Name();
      if (name.empty() || !Take(".")) return Cut("an enumeration .NAME.", n);
      v.kind = P21Value::Kind::kEnum;
      v.text = ToUpper(name);
      return true;
    }
    if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) return Number(v, n);
    if (std::isalpha(static_cast<unsigned char>(c))) {
      const std::string_view name = Name();
      Space();
      if (Peek() != '(') return Cut("'(' after the type name " + std::string(name), n);
      P21Value inner;
      if (!List(inner, n, depth)) return false;
      v.kind = P21Value::Kind::kTyped;
      v.text = ToUpper(name);
      v.items = std::move(inner.items);
      return true;
    }
    return AtEnd() ? Cut("a parameter", n) : Fail("a parameter expected", n);
  }

  bool Number(P21Value& v, int64_t n) {
    const size_t from = pos_;
    if (Peek() == '+' || Peek() == '-') ++pos_;
    while (!AtEnd() &&
           (std::isdigit(static_cast<unsigned char>(Peek())) || Peek() == '.' || Peek() == 'E' ||
            Peek() == 'e' ||
            ((Peek() == '-' || Peek() == '+') && (s_[pos_ - 1] == 'E' || s_[pos_ - 1] == 'e'))))
      ++pos_;
    std::string_view t = s_.substr(from, pos_ - from);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    // "1." is a real of the format; from_chars wants a digit after the point.
    std::string buf(t);
    const size_t dot = buf.find('.');
    if (dot != std::string::npos &&
        (dot + 1 == buf.size() || !std::isdigit(static_cast<unsigned char>(buf[dot + 1]))))
      buf.insert(dot + 1, "0");
    double d = 0;
    auto [p, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), d);
    if (ec != std::errc() || p != buf.data() + buf.size() || !std::isfinite(d))
      return Fail("a number is malformed", n);
    v.kind = P21Value::Kind::kNumber;
    v.number = d;
    return true;
  }

  // A string: '' is a quote, \\ a backslash, and the escapes name
  // characters. Bytes above 127 are not the format's, but writers put
  // their own encoding there: UTF-8 when they are that, else code page 932.
  bool String(P21Value& v, int64_t n) {
    ++pos_;  // '
    std::u16string out;
    std::string raw;  // bytes waiting to be decoded
    int page = 1;
    auto flush = [&] {
      if (raw.empty()) return;
      std::u16string t = util::FromUtf8(raw);
      if (util::ToUtf8(t) != raw) {
        const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
        t = util::AnsiBytesToStr(std::span<const uint8_t>(p, raw.size()));
      }
      out += t;
      raw.clear();
    };
    for (;;) {
      if (AtEnd()) return Fail("a string is not closed (the record is cut short)", n);
      const char c = Peek();
      if (c == '\'') {
        if (Peek(1) == '\'') {
          raw.push_back('\'');
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      if (c == '\r' || c == '\n') {  // long strings are wrapped over lines
        ++pos_;
        continue;
      }
      if (c != '\\') {
        raw.push_back(c);
        ++pos_;
        continue;
      }
      if (Peek(1) == '\\') {
        raw.push_back('\\');
        pos_ += 2;
        continue;
      }
      flush();
      if (!Escape(out, page, n)) return false;
    }
    flush();
    v.kind = P21Value::Kind::kString;
    v.text = util::ToUtf8(out);
    return true;
  }

  bool Escape(std::u16string& out, int& page, int64_t n) {
    auto hex = [&](size_t at, size_t count, uint32_t& value) {
      value = 0;
      for (size_t k = 0; k < count; ++k) {
        const int d = HexDigit(Peek(at + k));
        if (d < 0) return false;
        value = value << 4 | static_cast<uint32_t>(d);
      }
      return true;
    };
    if (Take("\\X2\\") || Take("\\X4\\")) {
      const size_t width = s_[pos_ - 2] == '2' ? 4 : 8;
      while (!Take("\\X0\\")) {
        uint32_t u = 0;
        if (!hex(0, width, u)) return Fail("a string's \\X2\\ or \\X4\\ escape is malformed", n);
        pos_ += width;
        if (width == 4) {
          out.push_back(static_cast<char16_t>(u));
        } else {
          if (u > 0x10FFFF) return Fail("a string's \\X4\\ escape names no character", n);
          AppendCodePoint(out, u);
        }
      }
      return true;
    }
    if (Take("\\X\\")) {
      uint32_t u = 0;
      if (!hex(0, 2, u)) return Fail("a string's \\X\\ escape is malformed", n);
      pos_ += 2;
      out.push_back(static_cast<char16_t>(u));
      return true;
    }
    if (Take("\\S\\")) {
      if (AtEnd()) return Fail("a string's \\S\\ escape is cut short", n);
      AppendCodePoint(out, FromIso8859(page, static_cast<uint8_t>(Peek() | 0x80)));
      ++pos_;
      return true;
    }
    if (Peek(1) == 'P' && Peek(3) == '\\' && Peek(2) >= 'A' && Peek(2) <= 'I') {
      page = Peek(2) - 'A' + 1;
      pos_ += 4;
      return true;
    }
    return Fail("a string holds a backslash that starts no escape", n);
  }

  // Every reference names an instance of the file.
  bool CheckReferences() {
    for (const P21Instance& inst : out_.instances)
      for (const P21Part& p : inst.parts)
        for (const P21Value& v : p.args)
          if (!CheckRefs(v, inst)) return false;
    return true;
  }
  bool CheckRefs(const P21Value& v, const P21Instance& inst) {
    if (v.kind == P21Value::Kind::kRef && !out_.index.count(v.ref)) {
      pos_ = inst.offset;
      return Fail("it refers to #" + std::to_string(v.ref) + ", which is not in the file",
                  inst.number);
    }
    for (const P21Value& i : v.items)
      if (!CheckRefs(i, inst)) return false;
    return true;
  }

  std::string_view s_;
  P21File& out_;
  SfcError& error_;
  size_t pos_ = 0;
  int64_t last_ = 0;
};

}  // namespace

bool ParseP21(std::span<const uint8_t> bytes, P21File& out, SfcError& error) {
  out = P21File{};
  error = SfcError{};
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  out.instances.reserve(bytes.size() / 48 + 16);
  out.index.reserve(bytes.size() / 48 + 16);
  return Parser(text, out, error).Run();
}

}  // namespace sxf
