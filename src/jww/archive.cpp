// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/archive.h"

#include <algorithm>
#include <cmath>

#include "util/encoding.h"

namespace jww {

std::u16string ReadCString(ByteReader& in, bool& mojiEncode) {
  uint8_t b = in.u8();
  if (b < 0xFF) return util::AnsiBytesToStr(in.take(b));
  uint16_t w = in.u16();
  if (w != 0xFFFE) return util::AnsiBytesToStr(in.take(w));
  mojiEncode = true;
  uint8_t c = in.u8();
  uint32_t n = c == 0xFF ? in.u16() : c;
  return util::WideBytesToStr(in.take(size_t{n} * 2));
}

std::u16string StripControlChars(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s)
    if (c >= 0x20) out.push_back(c);
  return out;
}

std::u16string ReadCleanCString(ByteReader& in, bool& mojiEncode) {
  std::u16string s = ReadCString(in, mojiEncode);
  for (char16_t c : s)
    if (c < 0x20) return StripControlChars(s);
  return s;
}

bool IsFiniteDouble(double d) { return std::isfinite(d); }

namespace {
void WriteLength(ByteWriter& out, size_t n) {
  if (n <= 254) {
    out.u8(static_cast<uint8_t>(n));
  } else {
    out.u8(0xFF);
    out.u16(static_cast<uint16_t>(n));
  }
}
}  // namespace

bool WriteCString(ByteWriter& out, int32_t fileOutOpt, std::u16string_view s) {
  if (fileOutOpt & 0x20) {
    if (s.size() >= 0xFFFE) return false;
    out.u8(0xFF);
    out.u16(0xFFFE);
    WriteLength(out, s.size());
    if (!s.empty()) {
      util::Bytes b = util::StrToWideBytes(s);
      out.bytes(b.data(), b.size());
    }
    return true;
  }
  util::Bytes b = util::StrToAnsiBytes(s);
  auto zero = std::find(b.begin(), b.end(), uint8_t{0});
  size_t n = static_cast<size_t>(zero - b.begin());
  if (n >= 0xFFFE) return false;
  WriteLength(out, n);
  if (n) out.bytes(b.data(), n);
  return true;
}

void WriteCount(ByteWriter& out, int32_t count) {
  uint32_t c = static_cast<uint32_t>(count);
  if (c < 0xFFFF) {
    out.u16(static_cast<uint16_t>(c));
  } else {
    out.u16(0xFFFF);
    out.u32(c);
  }
}

void WriteClassRef(ByteWriter& out, int32_t classIndex) {
  if (classIndex < 0x7FFF) {
    out.u16(static_cast<uint16_t>(0x8000 + classIndex));
  } else {
    out.u16(0x7FFF);
    out.u32(static_cast<uint32_t>(classIndex) | 0x80000000u);
  }
}

uint32_t ReadCount(ByteReader& in, bool& ok) {
  uint16_t first = 0;
  ok = in.read(&first, 2) == 2;
  if (!ok || first != 0xFFFF) return first;
  uint32_t wide = 0;
  ok = in.read(&wide, 4) == 4;
  return wide;
}

ObjectTag ReadObjectTag(ByteReader& in) {
  ObjectTag tag;
  uint16_t t = 0;
  if (in.read(&t, 2) < 2) return tag;
  if (t == 0xFFFF) {
    tag.newClass = true;
    uint16_t schema = 0, len = 0;
    bool whole = in.read(&schema, 2) == 2 && in.read(&len, 2) == 2;
    auto name = in.take(len);
    tag.schema = schema;
    tag.className.assign(name.begin(), name.end());
    tag.complete = whole && name.size() == len;
    return tag;
  }
  if (t == 0x7FFF) {
    uint32_t v = 0;
    tag.complete = in.read(&v, 4) == 4;
    tag.classIndex = v & 0x7FFFFFFFu;
    return tag;
  }
  tag.classIndex = static_cast<uint32_t>(t) - 0x8000u;  // wraps for object refs
  tag.complete = true;
  return tag;
}

void WriteNewClass(ByteWriter& out, int32_t version, std::string_view className) {
  out.u16(0xFFFF);
  out.u16(static_cast<uint16_t>(version & 0xFFFF));
  out.u16(static_cast<uint16_t>(className.size()));
  out.bytes(className.data(), className.size());
}

TEntJwwAttr ReadAttr(ByteReader& in, int32_t jwVer) {
  TEntJwwAttr a;
  a.lGroup = in.u32();
  a.nPenStyle = in.u8();
  a.nPenColor = in.u16();
  if (jwVer >= 351) a.nPenWidth = in.u16();
  a.nLayer = in.u16();
  a.nGLayer = in.u16();
  a.sFlg = in.u16();
  return a;
}

TEntJwwAttr CopyAttr(const TEntJwwAttr& src) { return src; }

namespace {

uint8_t SxfStyleToBasic(uint8_t s) {
  static constexpr uint8_t kMap[] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};
  if (s >= 31 && s <= 45) return kMap[s - 31];
  if (s >= 46 && s <= 62) return DefaultPenStyle;
  return s;
}

uint16_t SxfColorToBasic(uint16_t c) {
  static constexpr uint8_t kMap[] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};
  if (c >= 101 && c <= 116) return kMap[c - 101];
  if (c >= 117 && c <= 356) return DefaultPenColor;
  return c;
}

bool LineStyleValid(uint8_t s) {
  return (s >= 1 && s <= 9) || (s >= 11 && s <= 19) || (s >= 31 && s <= 62);
}

}  // namespace

TEntJwwAttr RepairAttr(int32_t version, TEntJwwAttr a, int32_t kind) {
  if (version < 420) {
    if (kind == kLine || kind == kEnko) a.nPenStyle = SxfStyleToBasic(a.nPenStyle);
    if (kind >= kLine && kind <= kSolid) a.nPenColor = SxfColorToBasic(a.nPenColor);
  }
  switch (kind) {
    case kLine:
    case kEnko:
      if (!LineStyleValid(a.nPenStyle)) a.nPenStyle = DefaultPenStyle;
      break;
    case kTen:
      if (a.nPenStyle != 1 && a.nPenStyle != 100) a.nPenStyle = 1;
      break;
    case kMoji:
      if (a.nPenStyle < 1 || a.nPenStyle > 9) a.nPenStyle = 1;
      break;
    default:
      break;
  }
  bool sxfColor = a.nPenColor >= 101 && a.nPenColor <= 356;
  if (kind >= kLine && kind <= kSunpo) {
    if (!((a.nPenColor >= 1 && a.nPenColor <= 9) || sxfColor)) a.nPenColor = DefaultPenColor;
  } else if (kind == kSolid) {
    if (!((a.nPenColor >= 1 && a.nPenColor <= 10) || sxfColor)) a.nPenColor = DefaultPenColor;
  }
  if (a.nLayer > 15) a.nLayer = 0;
  if (a.nGLayer > 15) a.nGLayer = 0;
  if (a.nPenWidth > 30000) a.nPenWidth = 0;
  return a;
}

size_t PackAttr(uint8_t* dst, int32_t version, const TEntJwwAttr& att, int32_t kind) {
  const TEntJwwAttr a = RepairAttr(version, att, kind);
  size_t n = 0;
  auto put = [&](const void* p, size_t k) {
    std::memcpy(dst + n, p, k);
    n += k;
  };
  put(&a.lGroup, 4);
  put(&a.nPenStyle, 1);
  put(&a.nPenColor, 2);
  if (version >= 351) put(&a.nPenWidth, 2);  // the block is 13 bytes before 351
  put(&a.nLayer, 2);
  put(&a.nGLayer, 2);
  put(&a.sFlg, 2);
  return n;
}

void WriteAttr(ByteWriter& out, int32_t version, const TEntJwwAttr& att, int32_t kind) {
  uint8_t b[15];
  out.bytes(b, PackAttr(b, version, att, kind));
}

}  // namespace jww
