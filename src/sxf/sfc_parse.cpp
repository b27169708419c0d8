// SPDX-License-Identifier: GPL-3.0-or-later
#include "sxf/sfc_parse.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <unordered_set>

namespace sxf {

namespace {

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Bytes of a quoted argument that need more than copying: a backslash, a
// line break (a record wrapped over lines), the 'S' that may close the
// comment. One look-up a byte: most files are numbers, hundreds of millions
// of bytes of them.
constexpr auto kUnplain = [] {
  std::array<bool, 256> t{};
  for (const unsigned char c : {'\\', '\r', '\n', 'S'}) t[c] = true;
  return t;
}();

}  // namespace

int64_t LineAt(std::string_view text, size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n');
}

namespace {

bool ContainsNoCase(std::string_view text, std::string_view word) {
  auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  });
  return it != text.end();
}

// A cursor over the file. Lines are counted only when one is asked for (an
// error, a record's place): a large file is not walked twice.
class Scanner {
 public:
  Scanner(std::string_view text, SfcEncoding encoding) : s_(text), encoding_(encoding) {}

  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
  bool StartsWith(std::string_view w) const { return s_.substr(pos_).starts_with(w); }
  int64_t line() const { return LineAt(s_, pos_); }
  size_t pos() const { return pos_; }

  void Advance(size_t n = 1) { pos_ = std::min(s_.size(), pos_ + n); }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(Peek())) Advance();
  }
  bool Take(std::string_view w) {
    if (!StartsWith(w)) return false;
    Advance(w.size());
    return true;
  }
  // Moves past the next occurrence of `w`; false (at the end) when there is none.
  bool SkipPast(std::string_view w) {
    const size_t at = s_.find(w, pos_);
    if (at == std::string_view::npos) {
      Advance(s_.size() - pos_);
      return false;
    }
    Advance(at + w.size() - pos_);
    return true;
  }
  // Moves over plain bytes of a string body up to the next byte that needs
  // a look (quote, backslash, line break, 'S' of a closing comment, a lead
  // byte), appending them to `out`.
  void TakePlain(std::string& out) {
    const size_t from = pos_;
    while (pos_ < s_.size()) {
      const uint8_t c = static_cast<uint8_t>(s_[pos_]);
      if (c == '\'' || c == '\\' || c == '\r' || c == '\n' || c == 'S' || c >= 0x80) break;
      ++pos_;
    }
    out.append(s_.data() + from, pos_ - from);
  }

  // One character of a string body: two bytes for a Shift-JIS lead byte.
  size_t CharLength() const {
    if (encoding_ == SfcEncoding::kShiftJis && IsLead(static_cast<uint8_t>(Peek())) &&
        pos_ + 1 < s_.size())
      return 2;
    return 1;
  }
  std::string_view Slice(size_t from, size_t to) const { return s_.substr(from, to - from); }
  size_t size() const { return s_.size(); }
  void SetEncoding(SfcEncoding e) { encoding_ = e; }

 private:
  std::string_view s_;
  SfcEncoding encoding_;
  size_t pos_ = 0;
};

class Parser {
 public:
  Parser(std::string_view text, size_t base, SfcFile& out, SfcError& error)
      : in_(text, out.encoding), out_(out), error_(error), base_(base) {
  }

  bool Run() {
    in_.SkipSpace();
    if (!in_.Take("ISO-10303-21;")) return Fail("not an SFC file (no ISO-10303-21 envelope)");
    in_.SkipSpace();
    if (!in_.Take("HEADER;")) return Fail("the HEADER section is missing");
    if (!Header()) return false;
    in_.SkipSpace();
    if (!in_.Take("DATA;")) return Fail("the DATA section is missing");
    if (!Data()) return false;
    in_.SkipSpace();
    if (!in_.Take("END-ISO-10303-21;")) return Fail("the file ends without END-ISO-10303-21");
    in_.SkipSpace();
    if (in_.Peek() == '\x1A') in_.Advance();  // a DOS end-of-file mark
    in_.SkipSpace();
    if (!in_.AtEnd()) return Fail("text after END-ISO-10303-21");
    return true;
  }

 private:
  bool Fail(std::string reason, int64_t record = 0) {
    error_.record = record;
    error_.line = in_.line();
    error_.reason = std::move(reason);
    return false;
  }

  // A record that stops where the file or its comment ends is cut short.
  bool Expected(const std::string& what, int64_t record) {
    if (in_.AtEnd() || in_.StartsWith(closer_))
      return Fail("the record is cut short (" + what + " expected)", record);
    return Fail(what + " expected", record);
  }

  // The header's statements up to its ENDSEC; strings may hold anything.
  bool Header() {
    const size_t start = in_.pos();
    bool inString = false;
    while (!in_.AtEnd()) {
      const char c = in_.Peek();
      if (inString) {
        if (c == '\'') inString = false;
        in_.Advance(in_.CharLength());
        continue;
      }
      if (c == '\'') {
        inString = true;
      } else if (in_.StartsWith("ENDSEC;")) {
        const std::string_view text = in_.Slice(start, in_.pos());
        in_.Advance(7);
        ReadHeaderTexts(text);
        return true;
      }
      in_.Advance();
    }
    return Fail("the HEADER section is not closed");
  }

  static std::string QuotedAfter(std::string_view text, std::string_view word, int which) {
    size_t at = text.find(word);
    if (at == std::string_view::npos) return {};
    for (int n = 0; n <= which; ++n) {
      at = text.find('\'', at);
      if (at == std::string_view::npos) return {};
      const size_t end = text.find('\'', at + 1);
      if (end == std::string_view::npos) return {};
      if (n == which) return std::string(text.substr(at + 1, end - at - 1));
      at = end + 1;
    }
    return {};
  }

  void ReadHeaderTexts(std::string_view text) {
    out_.description = QuotedAfter(text, "FILE_DESCRIPTION", 0);
    const std::string pre = QuotedAfter(text, "FILE_NAME", 4);
    const std::string sys = QuotedAfter(text, "FILE_NAME", 5);
    out_.author = sys.empty() ? pre : (pre.empty() ? sys : pre + ", " + sys);
    if (ContainsNoCase(text, "UTF-8") || ContainsNoCase(text, "UTF8"))
      out_.encoding = SfcEncoding::kUtf8;
    in_.SetEncoding(out_.encoding);
  }

  bool Data() {
    for (;;) {
      in_.SkipSpace();
      if (in_.AtEnd()) return Fail("the DATA section is not closed");
      if (in_.Take("ENDSEC;")) return true;
      if (in_.Take("/*SXF")) {
        if (!FeatureComment()) return false;
        continue;
      }
      if (in_.Take("/*")) {
        if (!in_.SkipPast("*/")) return Fail("a comment is not closed");
        continue;
      }
      return Fail("text outside a feature comment in the DATA section");
    }
  }

  // "/*SXF" or "/*SXF3" (features of version 3) up to the matching
  // "SXF*/" or "SXF3*/".
  bool FeatureComment() {
    closer_ = "SXF";
    while (std::isdigit(static_cast<unsigned char>(in_.Peek()))) {
      closer_.push_back(in_.Peek());
      in_.Advance();
    }
    closer_ += "*/";
    for (;;) {
      in_.SkipSpace();
      if (in_.Take(closer_)) return true;
      if (in_.AtEnd()) return Fail("a feature comment is not closed (the file is cut short)", last_);
      if (in_.Peek() != '#') return Fail("a feature comment holds text that is no record", last_);
      if (!Record()) return false;
    }
  }

  bool Record() {
    SfcRecord r;
    r.offset = in_.pos() + base_;
    r.firstArg = out_.argSpans.size();
    in_.Advance();  // '#'
    size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(in_.Peek()))) {
      if (digits < 18) r.number = r.number * 10 + (in_.Peek() - '0');
      ++digits;
      in_.Advance();
    }
    if (digits == 0 || digits > 18 || r.number <= 0) return Fail("a record has no valid number", last_);
    last_ = r.number;
    if (!IsNewNumber(r.number)) return Fail("the record number is used twice", r.number);
    in_.SkipSpace();
    if (!in_.Take("=")) return Expected("'=' after the record number", r.number);
    in_.SkipSpace();
    const size_t nameStart = in_.pos();
    for (char c = in_.Peek(); (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                              (c >= 'A' && c <= 'Z');
         c = in_.Peek())
      in_.Advance();
    const std::string_view name = in_.Slice(nameStart, in_.pos());
    if (name.empty()) return Expected("a feature name", r.number);
    r.name = NameIndex(name);
    in_.SkipSpace();
    if (!in_.Take("(")) return Expected("'(' after the feature name", r.number);
    in_.SkipSpace();
    if (in_.Take(")")) {
      out_.records.push_back(r);
      return true;
    }
    for (;;) {
      in_.SkipSpace();
      if (!PlainArgument() && !Argument(r.number)) return false;
      ++r.argCount;
      in_.SkipSpace();
      if (in_.Take(",")) continue;
      if (in_.Take(")")) break;
      return Expected("',' or ')' after an argument", r.number);
    }
    out_.records.push_back(r);
    return true;
  }

  uint32_t NameIndex(std::string_view name) {
    for (size_t i = out_.names.size(); i-- > 0;) {
      if (out_.names[i] == name) return static_cast<uint32_t>(i);
    }
    out_.names.emplace_back(name);
    return static_cast<uint32_t>(out_.names.size() - 1);
  }

  // After a closing \' : only space, then ',' or ')' makes it a close.
  bool ClosesAfter() const {
    size_t k = 0;
    while (IsSpace(in_.Peek(k))) ++k;
    const char c = in_.Peek(k);
    return c == ',' || c == ')';
  }

  // A '…' argument with nothing to resolve (no backslash, no line break):
  // kept as a span of the file itself. False, having read nothing, otherwise.
  bool PlainArgument() {
    if (in_.Peek() != '\'') return false;
    const std::string_view rest = in_.Slice(in_.pos() + 1, in_.size());
    const size_t end = rest.find('\'');
    if (end == std::string_view::npos) return false;
    const std::string_view body = rest.substr(0, end);
    for (const char c : body) {
      if (kUnplain[static_cast<uint8_t>(c)]) return false;
    }
    out_.argSpans.push_back(
        SfcFile::Span::InFile(static_cast<uint32_t>(base_ + in_.pos() + 1),
                              static_cast<uint32_t>(body.size())));
    in_.Advance(end + 2);
    return true;
  }

  bool Argument(int64_t record) {
    std::string& arg = out_.argText;
    const size_t start = arg.size();
    if (!ArgumentText(arg, record)) return false;
    out_.argSpans.push_back(SfcFile::Span::InArena(static_cast<uint32_t>(start),
                                                   static_cast<uint32_t>(arg.size() - start)));
    return true;
  }

  bool ArgumentText(std::string& arg, int64_t record) {
    bool escaped;
    if (in_.Take("\\'")) {
      escaped = true;
    } else if (in_.Take("'")) {
      escaped = false;
    } else {
      return Expected("a quoted argument", record);
    }
    for (;;) {
      if (in_.AtEnd() || (in_.Peek() == 'S' && in_.StartsWith(closer_)))
        return Fail("a quoted argument is not closed (the record is cut short)", record);
      const char c = in_.Peek();
      if (c == '\r' || c == '\n') {  // a long record wrapped over lines
        in_.Advance();
        continue;
      }
      if (c == '\\' && in_.Peek(1) == '\\') {
        arg.push_back('\\');
        in_.Advance(2);
        continue;
      }
      if (escaped && c == '\\' && in_.Peek(1) == '\'') {
        in_.Advance(2);
        if (ClosesAfter()) return true;
        arg.push_back('\'');  // an escaped quote inside the text
        continue;
      }
      if (!escaped && c == '\'') {
        in_.Advance();
        return true;
      }
      const size_t n = in_.CharLength();
      arg.append(in_.Slice(in_.pos(), in_.pos() + n));
      in_.Advance(n);
      in_.TakePlain(arg);
    }
  }

  Scanner in_;
  SfcFile& out_;
  SfcError& error_;
  int64_t last_ = 0;
  size_t base_ = 0;  // bytes before `text` in the file (a byte-order mark)
  std::string closer_ = "SXF*/";
  // Numbers seen: files number their records in rising order, so a number
  // above every earlier one is new without a look-up; the set is made only
  // once a number comes out of order.
  bool IsNewNumber(int64_t n) {
    if (numbers_.empty() && n > highest_) {
      highest_ = n;
      return true;
    }
    if (numbers_.empty()) {
      numbers_.reserve(out_.records.size() * 2 + 16);
      for (const SfcRecord& r : out_.records) numbers_.insert(r.number);
    }
    return numbers_.insert(n).second;
  }

  int64_t highest_ = 0;
  std::unordered_set<int64_t> numbers_;
};

}  // namespace

std::string SfcError::Text() const {
  std::string t;
  if (record > 0) t = "record #" + std::to_string(record) + " ";
  t += record > 0 ? "(line " + std::to_string(line) + "): " : "line " + std::to_string(line) + ": ";
  return t + reason;
}

bool ParseSfc(std::span<const uint8_t> bytes, SfcFile& out, SfcError& error) {
  out = SfcFile{};
  if (bytes.size() >= (size_t{1} << 31)) {
    error.line = 1;
    error.reason = "the file is larger than 2 GiB";
    return false;
  }
  out.source = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // Reserved generously: untouched reserve costs address space only, while
  // growing a vector of millions copies it.
  out.records.reserve(bytes.size() / 24 + 16);
  out.argSpans.reserve(bytes.size() / 3 + 16);
  error = SfcError{};
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t base = 0;
  if (text.starts_with("\xEF\xBB\xBF")) {
    out.encoding = SfcEncoding::kUtf8;
    text.remove_prefix(3);
    base = 3;
  }
  return Parser(text, base, out, error).Run();
}

bool SplitList(std::string_view arg, std::vector<std::string_view>& items) {
  items.clear();
  if (arg.size() < 2 || arg.front() != '(' || arg.back() != ')') return false;
  int depth = 0;
  size_t start = 1;
  auto trimmed = [&](size_t from, size_t to) {
    while (from < to && IsSpace(arg[from])) ++from;
    while (to > from && IsSpace(arg[to - 1])) --to;
    return arg.substr(from, to - from);
  };
  for (size_t i = 1; i + 1 < arg.size(); ++i) {
    const char c = arg[i];
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) return false;
    if (c == ',' && depth == 0) {
      items.push_back(trimmed(start, i));
      start = i + 1;
    }
  }
  if (depth != 0) return false;
  const std::string_view last = trimmed(start, arg.size() - 1);
  if (!last.empty() || !items.empty()) items.push_back(last);
  return true;
}

bool IsValidShiftJis(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(bytes[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (!IsLead(c) || i + 1 >= bytes.size() || !IsTrail(static_cast<uint8_t>(bytes[i + 1])))
      return false;
    ++i;
  }
  return true;
}

}  // namespace sxf
