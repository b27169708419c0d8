// SPDX-License-Identifier: GPL-3.0-or-later
#include "util/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace util {
namespace {

// One open converter per direction and thread: iconv descriptors keep shift
// state and are not thread-safe, and opening one costs far more than a
// conversion of a typical drawing string.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    return cd_;
  }

 private:
  iconv_t cd_;
};

Iconv& Cp932ToUtf16() {
  thread_local Iconv cv("UTF-16LE", "CP932");
  return cv;
}

Iconv& Utf16ToCp932() {
  thread_local Iconv cv("CP932", "UTF-16LE");
  return cv;
}

bool IsAscii(std::span<const uint8_t> b) {
  for (uint8_t c : b)
    if (c >= 0x80) return false;
  return true;
}

bool IsAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

std::u16string CutAtNul(std::u16string s) {
  auto z = s.find(u'\0');
  if (z != std::u16string::npos) s.resize(z);
  return s;
}

// Number of bytes a malformed or unmappable code page 932 sequence takes:
// a lead byte swallows its trail byte when there is one.
size_t BadCp932Length(const uint8_t* p, size_t left) {
  uint8_t c = p[0];
  bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
  return (lead && left >= 2) ? 2 : 1;
}

}  // namespace

std::u16string AnsiBytesToStr(std::span<const uint8_t> bytes) {
  // The string ends at its first zero byte, so nothing past it is decoded.
  auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  bytes = bytes.first(static_cast<size_t>(zero - bytes.begin()));
  if (IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());

  Iconv& cv = Cp932ToUtf16();
  std::u16string out(bytes.size(), u'\0');
  if (!cv.ok()) {
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = bytes[i] < 0x80 ? bytes[i] : u'?';
    return out;
  }
  iconv_t cd = cv.get();
  char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
  size_t inLeft = bytes.size();
  char* dst = reinterpret_cast<char*>(out.data());
  size_t dstLeft = out.size() * 2;
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: one unit per byte at most
    // Undefined or truncated sequence: one replacement character, as Windows does.
    size_t skip = BadCp932Length(reinterpret_cast<const uint8_t*>(in), inLeft);
    in += skip;
    inLeft -= skip;
    if (dstLeft < 2) break;
    char16_t q = u'\x30FB';  // KATAKANA MIDDLE DOT is Windows' default char for 932
    std::memcpy(dst, &q, 2);
    dst += 2;
    dstLeft -= 2;
  }
  out.resize(out.size() - dstLeft / 2);
  return CutAtNul(std::move(out));
}

Bytes StrToAnsiBytes(std::u16string_view s) {
  if (IsAscii(s)) return Bytes(s.begin(), s.end());
  Iconv& cv = Utf16ToCp932();
  Bytes out(s.size() * 2 + 2);
  if (!cv.ok()) {
    out.clear();
    for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<uint8_t>(c) : '?');
    return out;
  }
  iconv_t cd = cv.get();
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(s.data()));
  size_t inLeft = s.size() * 2;
  char* dst = reinterpret_cast<char*>(out.data());
  size_t dstLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG || dstLeft == 0) break;
    // No mapping: one '?' per character (a surrogate pair is one character).
    char16_t c;
    std::memcpy(&c, in, 2);
    size_t skip = 2;
    if (c >= 0xD800 && c <= 0xDBFF && inLeft >= 4) {
      char16_t d;
      std::memcpy(&d, in + 2, 2);
      if (d >= 0xDC00 && d <= 0xDFFF) skip = 4;
    }
    in += skip;
    inLeft -= skip;
    *dst++ = '?';
    --dstLeft;
  }
  out.resize(out.size() - dstLeft);
  return out;
}

int32_t AnsiByteLength(std::u16string_view s) {
  if (IsAscii(s)) {
    auto z = s.find(u'\0');
    return static_cast<int32_t>(z == std::u16string_view::npos ? s.size() : z);
  }
  Bytes b = StrToAnsiBytes(s);
  auto z = std::find(b.begin(), b.end(), uint8_t{0});
  return static_cast<int32_t>(z - b.begin());
}

std::u16string WideBytesToStr(std::span<const uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

Bytes StrToWideBytes(std::u16string_view s) {
  Bytes out;
  out.reserve(s.size() * 2);
  for (char16_t c : s) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

Bytes StrToUtf8Bytes(std::u16string_view s) {
  Bytes out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<uint8_t>(0xC0 | (c >> 6)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<uint8_t>(0xE0 | (c >> 12)));
      out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<uint8_t>(0xF0 | (c >> 18)));
      out.push_back(static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string Utf8BytesToStr(std::span<const uint8_t> b) {
  std::u16string out;
  out.reserve(b.size());
  size_t i = 0;
  while (i < b.size()) {
    uint32_t c = b[i];
    int extra = 0;
    uint32_t min = 0;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, c &= 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, c &= 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, c &= 0x07, min = 0x10000;
    } else {
      return u"?";
    }
    if (i + extra >= b.size() && extra > 0) return u"?";
    for (int k = 1; k <= extra; ++k) {
      uint8_t t = b[i + k];
      if ((t & 0xC0) != 0x80) return u"?";
      c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return u"?";
    i += extra + 1;
    if (c == 0) break;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string ToUtf8(std::u16string_view s) {
  Bytes b = StrToUtf8Bytes(s);
  return std::string(b.begin(), b.end());
}

std::u16string FromUtf8(std::string_view s) {
  return Utf8BytesToStr(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

}  // namespace util
