// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/text.h"

#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace util {
namespace {

// ---- case mapping ----

using IcuCaseMap = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);

std::u16string MapCase(std::u16string_view s, IcuCaseMap map) {
  if (s.empty()) return {};
  const auto* src = reinterpret_cast<const UChar*>(s.data());
  const auto len = static_cast<int32_t>(s.size());
  // Full case mapping can lengthen a text (ß -> SS), so retry with the size
  // ICU asks for.
  std::u16string out(s.size(), u'\0');
  UErrorCode err = U_ZERO_ERROR;
  int32_t need = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), src,
                     len, nullptr, &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<size_t>(need), u'\0');
    err = U_ZERO_ERROR;
    need = map(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), src, len,
               nullptr, &err);
  }
  if (U_FAILURE(err)) return std::u16string(s);
  out.resize(static_cast<size_t>(need));
  return out;
}

// ---- numbers ----

bool IsDecDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// "%.<digits>f" in the C locale, independent of any global locale that a
// front end may have set.
std::string FixedAscii(int digits, double v) {
  digits = std::clamp(digits, 0, 64);
  std::array<char, 400> buf;  // 309 integer digits + point + 64 decimals
  auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, digits);
  if (ec != std::errc()) return "0";
  return std::string(buf.data(), end);
}

// Inserts `thousands` into the integer digits of a fixed-format ASCII number
// following the locale's grouping rule (sizes from the right; the last one
// repeats; CHAR_MAX stops grouping).
std::u16string GroupDigits(const std::string& ascii, const std::u16string& decimal,
                           const std::u16string& thousands, const std::string& grouping) {
  size_t begin = (!ascii.empty() && ascii[0] == '-') ? 1 : 0;
  size_t point = ascii.find('.');
  size_t intEnd = point == std::string::npos ? ascii.size() : point;

  std::vector<size_t> cuts;  // positions inside the integer digits, right to left
  size_t pos = intEnd;
  size_t g = 0;
  int size = 3;
  while (true) {
    if (g < grouping.size()) {
      auto gs = static_cast<unsigned char>(grouping[g++]);
      if (gs == 0 || gs == CHAR_MAX) break;
      size = gs;
    }
    if (pos - begin <= static_cast<size_t>(size)) break;
    pos -= static_cast<size_t>(size);
    cuts.push_back(pos);
  }

  std::u16string out;
  out.reserve(ascii.size() + cuts.size() * thousands.size() + decimal.size());
  for (size_t i = 0; i < ascii.size(); ++i) {
    if (!cuts.empty() && i == cuts.back()) {
      out += thousands;
      cuts.pop_back();
    }
    if (i == point)
      out += decimal;
    else
      out.push_back(static_cast<char16_t>(ascii[i]));
  }
  return out;
}

std::u16string Ascii16(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// ---- half-width to full-width ----

constexpr std::u16string_view kVoicedPairs =
    u"ｳﾞｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ";
constexpr std::u16string_view kVoicedLetters =
    u"ヴガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポ";
// Full-width forms of U+FF61 … U+FF9F in order. The last one is the degree
// sign rather than U+309C: that is how the semi-voiced mark has always been
// widened in drawings.
constexpr std::u16string_view kKanaFull =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン゛°";

static_assert(kVoicedPairs.size() == 2 * kVoicedLetters.size());
static_assert(kKanaFull.size() == 0xFF9F - 0xFF61 + 1);

char16_t FullWidthOf(char16_t c) {
  switch (c) {
    case u' ':
      return u'\x3000';
    case u'"':
      return u'\x201D';
    case u'\'':
      return u'\x2019';
    case u'\\':
      return u'\xFFE5';
    default:
      break;
  }
  if (c >= 0x21 && c <= 0x7E) return static_cast<char16_t>(0xFF01 + (c - 0x21));
  if (c >= 0xFF61 && c <= 0xFF9F) return kKanaFull[c - 0xFF61];
  return c;
}

}  // namespace

// ---- case, search, substrings ----

std::u16string StrUpper(std::u16string_view s) { return MapCase(s, u_strToUpper); }
std::u16string StrLower(std::u16string_view s) { return MapCase(s, u_strToLower); }

int32_t StrIndexOf(std::u16string_view sub, std::u16string_view text) {
  if (sub.empty()) return -1;
  size_t p = text.find(sub);
  return p == std::u16string_view::npos ? -1 : static_cast<int32_t>(p);
}

namespace {
char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}
}  // namespace

size_t FindAsciiNoCase(std::u16string_view text, std::u16string_view marker) {
  if (marker.size() > text.size()) return std::u16string_view::npos;
  for (size_t i = 0; i + marker.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < marker.size() && AsciiUpper(text[i + k]) == AsciiUpper(marker[k])) ++k;
    if (k == marker.size()) return i;
  }
  return std::u16string_view::npos;
}

std::u16string SubStrFrom(std::u16string_view s, int32_t start) {
  size_t from = start < 0 ? 0 : static_cast<size_t>(start);
  if (from >= s.size()) return {};
  return std::u16string(s.substr(from));
}

std::u16string SubStrN(std::u16string_view s, int32_t start, int32_t count) {
  size_t from = start < 0 ? 0 : static_cast<size_t>(start);
  if (count <= 0 || from >= s.size()) return {};
  return std::u16string(s.substr(from, static_cast<size_t>(count)));
}

// ---- character filters ----

std::u16string StripSpaces(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s)
    if (c > u' ' && c != u'\x3000') out.push_back(c);
  return out;
}

std::u16string StripLineMarks(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    bool hasNext = i + 1 < s.size();
    if (hasNext && ((c == u'^' && s[i + 1] == u'm') || (c == u'\\' && s[i + 1] == u'n'))) {
      ++i;
      continue;
    }
    if (c >= u' ') out.push_back(c);
  }
  if (out.empty() && !s.empty()) out.push_back(u' ');
  return out;
}

std::u16string ToFullWidth(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    if (i + 1 < s.size()) {
      std::u16string_view pair = s.substr(i, 2);
      size_t k = 0;
      while (k < kVoicedLetters.size() && kVoicedPairs.substr(2 * k, 2) != pair) ++k;
      if (k < kVoicedLetters.size()) {
        out.push_back(kVoicedLetters[k]);
        i += 2;
        continue;
      }
    }
    out.push_back(FullWidthOf(s[i]));
    ++i;
  }
  return out;
}

// ---- byte and hexadecimal forms ----

std::u16string BytesToHex(const Bytes& bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    if (b == 0) break;
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0xF]);
  }
  return out;
}

Bytes HexToBytes(std::u16string_view hex) {
  Bytes out;
  out.reserve(hex.size() / 2 + 1);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = HexValue(hex[i]);
    int lo = HexValue(hex[i + 1]);
    out.push_back(hi < 0 || lo < 0 ? 0 : static_cast<uint8_t>(hi * 16 + lo));
  }
  out.push_back(0);
  return out;
}

std::u16string StrToHexUtf8(std::u16string_view s) { return BytesToHex(StrToUtf8Bytes(s)); }

std::u16string HexUtf8ToStr(std::u16string_view hex) { return Utf8BytesToStr(HexToBytes(hex)); }

void FillBytes(uint8_t value, size_t count, Bytes& bytes) {
  if (bytes.size() < count) bytes.resize(count);
  std::fill_n(bytes.begin(), count, value);
}

// ---- booleans and numbers ----

bool StrToBool(std::u16string_view s) {
  static constexpr std::u16string_view kTrue[] = {u"T",  u"TR",     u"TRU", u"TRUE", u"1",
                                                  u"１", u"\x25CB", u"ON",  u"真",   u"正"};
  std::u16string up = StrUpper(s);
  return std::find(std::begin(kTrue), std::end(kTrue), up) != std::end(kTrue);
}

std::u16string BoolToStr01(bool b) { return b ? u"1" : u"0"; }

int32_t ValInt(std::u16string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  if (i >= s.size()) return 0;

  if (s[i] == u'$') {
    ++i;
    if (i >= s.size()) return 0;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
      int d = HexValue(s[i]);
      if (d < 0) return 0;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu) return 0;
    }
    // Hexadecimal words fill all 32 bits: $FFFFFFFF is -1.
    auto word = static_cast<int32_t>(static_cast<uint32_t>(v));
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(word)) : word;
  }

  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (!IsDecDigit(s[i])) return 0;
    v = v * 10 + (s[i] - u'0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return 0;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(v);
}

std::u16string IntToText(int64_t v) {
  std::array<char, 24> buf;
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  (void)ec;  // 24 characters always suffice
  return Ascii16(std::string_view(buf.data(), static_cast<size_t>(end - buf.data())));
}

double ValFloat(std::u16string_view s) {
  // Only plain decimal notation: no "inf", "nan", hexadecimal or spaces.
  std::string ascii;
  ascii.reserve(s.size());
  for (char16_t c : s) {
    bool allowed = IsDecDigit(c) || c == u'.' || c == u'e' || c == u'E' || c == u'+' || c == u'-';
    if (!allowed) return 0;
    ascii.push_back(static_cast<char>(c));
  }
  std::string_view body = ascii;
  if (!body.empty() && body[0] == '+') body.remove_prefix(1);
  if (body.empty() || body[0] == '+') return 0;
  double v = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
  if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v)) return 0;
  return v;
}

std::u16string FormatFixed(int digits, double v, std::u16string_view decimal) {
  std::string ascii = FixedAscii(digits, v);
  std::u16string out;
  out.reserve(ascii.size() + decimal.size());
  for (char c : ascii) {
    if (c == '.')
      out += decimal;
    else
      out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

std::u16string FormatGrouped(int digits, double v, const NumberSeparators& sep) {
  std::string ascii = FixedAscii(digits, v);
  if (!std::isfinite(v)) return Ascii16(ascii);
  return GroupDigits(ascii, sep.decimal, sep.thousands, sep.grouping);
}

std::u16string FormatGrouped(int digits, double v, std::u16string_view decimal,
                             std::u16string_view thousands) {
  return FormatGrouped(digits, v,
                       NumberSeparators{std::u16string(decimal), std::u16string(thousands), "\3"});
}

std::u16string FormatShortest(double v) {
  if (v == 0) return u"0";  // never "-0" in a text
  std::array<char, 32> buf;
  auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::general, 15);
  if (ec != std::errc()) return u"0";
  return Ascii16(std::string_view(buf.data(), static_cast<size_t>(end - buf.data())));
}

int32_t ColorRefToArgb(int32_t colorRef) {
  // Truncating division keeps negative words on the same arithmetic as always.
  int64_t a = colorRef;
  int64_t r = (a % 256) * 65536 + ((a / 256) % 256) * 256 + ((a / 65536) % 256) - 0x1000000;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
}

}  // namespace util
