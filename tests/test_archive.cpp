// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-level primitives of the JWW archive: strings, counts, object tags and
// the attribute block, in both directions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "jww/archive.h"

using namespace jww;
using Bytes = std::vector<uint8_t>;

namespace {

std::u16string ReadStr(const Bytes& b, bool& moji, bool clean = false) {
  ByteReader in(b);
  return clean ? ReadCleanCString(in, moji) : ReadCString(in, moji);
}

std::u16string ReadStr(const Bytes& b) {
  bool moji = false;
  return ReadStr(b, moji);
}

Bytes Written(int32_t opt, std::u16string_view s, bool* ok = nullptr) {
  ByteWriter w;
  bool r = WriteCString(w, opt, s);
  if (ok) *ok = r;
  return w.buffer();
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(ArchiveStrings, ShortAndEmptyStrings) {
  EXPECT_EQ(ReadStr({0x03, 'a', 'b', 'c'}), u"abc");
  EXPECT_EQ(ReadStr({0x00}), u"");
  EXPECT_EQ(Written(0, u"abc"), (Bytes{0x03, 'a', 'b', 'c'}));
  EXPECT_EQ(Written(0, u""), (Bytes{0x00}));
}

TEST(ArchiveStrings, LengthFormsAt254And255And300Bytes) {
  for (size_t n : {254u, 255u, 300u}) {
    std::u16string s(n, u'x');
    Bytes body(n, 'x');
    Bytes prefix = n <= 254
                       ? Bytes{static_cast<uint8_t>(n)}
                       : Bytes{0xFF, static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
    Bytes w = Written(0, s);
    EXPECT_EQ(w, Concat(prefix, body)) << n << " bytes";
    EXPECT_EQ(ReadStr(w), s) << n << " bytes";
  }
  EXPECT_EQ(Written(0, std::u16string(300, u'x'))[1], 0x2C);
  // Shift-JIS counts bytes, not characters.
  Bytes kanji = Written(0, std::u16string(150, u'\u5E73'));
  EXPECT_EQ((Bytes{kanji.begin(), kanji.begin() + 3}), (Bytes{0xFF, 0x2C, 0x01}));
}

TEST(ArchiveStrings, LengthFFFFIsPlainLengthNotAnEscape) {
  Bytes b{0xFF, 0xFF, 0xFF};
  b.insert(b.end(), 65535, 'q');
  b.push_back('Z');
  ByteReader in(b);
  bool moji = false;
  EXPECT_EQ(ReadCString(in, moji).size(), 65535u);
  EXPECT_EQ(in.u8(), 'Z');
  EXPECT_FALSE(moji);
}

TEST(ArchiveStrings, UnicodeMarkerSetsMojiEncode) {
  Bytes a = Written(0x20, u"A");
  EXPECT_EQ(a, (Bytes{0xFF, 0xFE, 0xFF, 0x01, 0x41, 0x00}));
  bool moji = false;
  EXPECT_EQ(ReadStr(a, moji), u"A");
  EXPECT_TRUE(moji);

  moji = false;
  EXPECT_EQ(ReadStr({0xFF, 0xFE, 0xFF, 0x00}, moji), u"");
  EXPECT_TRUE(moji);

  // Code page output never sets the flag.
  moji = false;
  ReadStr(Written(0, u"\u5E73\u9762"), moji);
  EXPECT_FALSE(moji);
}

TEST(ArchiveStrings, LongUnicodeForm) {
  std::u16string s(300, u'\u3042');
  Bytes w = Written(0x20, s);
  EXPECT_EQ((Bytes{w.begin(), w.begin() + 6}), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
  EXPECT_EQ(w.size(), 6u + 600u);
  bool moji = false;
  EXPECT_EQ(ReadStr(w, moji), s);
  EXPECT_TRUE(moji);
  // 254 units still fit the one-byte length.
  EXPECT_EQ(Written(0x20, std::u16string(254, u'a'))[3], 0xFE);
}

TEST(ArchiveStrings, EmbeddedZeroEndsTheText) {
  EXPECT_EQ(ReadStr({0x05, 'a', 'b', 0x00, 'c', 'd'}), u"ab");
  EXPECT_EQ(ReadStr({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 0, 0, 'c', 0}), u"a");
  // The whole stored length is consumed all the same.
  Bytes b{0x03, 'a', 0x00, 'c', 0x07};
  ByteReader in(b);
  bool moji = false;
  ReadCString(in, moji);
  EXPECT_EQ(in.u8(), 0x07);
}

TEST(ArchiveStrings, CleanReadDropsLineBreaks) {
  Bytes b = Written(0, u"one\r\ntwo\tx");
  bool moji = false;
  EXPECT_EQ(ReadStr(b, moji, false), u"one\r\ntwo\tx");
  EXPECT_EQ(ReadStr(b, moji, true), u"onetwox");
  EXPECT_EQ(StripControlChars(u"\x1F a\x01\u3000b"), u" a\u3000b");
  EXPECT_EQ(StripControlChars(u""), u"");
}

TEST(ArchiveStrings, ShortReadsEndTheTextEarly) {
  bool moji = false;
  EXPECT_EQ(ReadStr({0x0A, 'a', 'b', 'c'}), u"abc");
  EXPECT_EQ(ReadStr({}), u"");
  EXPECT_EQ(ReadStr({0xFF}), u"");
  EXPECT_EQ(ReadStr({0xFF, 0x10}), u"");
  EXPECT_EQ(ReadStr({0xFF, 0x10, 0x00, 'x', 'y'}), u"xy");
  EXPECT_EQ(ReadStr({0xFF, 0xFE, 0xFF}, moji), u"");
  EXPECT_TRUE(moji);
  EXPECT_EQ(ReadStr({0xFF, 0xFE, 0xFF, 0xFF, 0x05}), u"");
  // An odd last byte of a UTF-16 string is ignored.
  EXPECT_EQ(ReadStr({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'}), u"a");
  // A lead byte without its trail byte does not crash the decoder.
  EXPECT_FALSE(ReadStr({0x05, 'a', 0x82}).empty());
}

TEST(ArchiveStrings, UnrepresentableLengthsAreRefused) {
  bool ok = true;
  Bytes w = Written(0, std::u16string(0xFFFE, u'a'), &ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(w.empty());
  w = Written(0x20, std::u16string(0xFFFE, u'a'), &ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(w.empty());
  w = Written(0, std::u16string(0xFFFD, u'a'), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(w.size(), 3u + 0xFFFD);
}

TEST(ArchiveStrings, CodePageStopsAtNulOfTheEncodedForm) {
  std::u16string s = u"ab";
  s.push_back(u'\0');
  s += u"cd";
  EXPECT_EQ(Written(0, s), (Bytes{0x02, 'a', 'b'}));
}

TEST(ArchiveCounts, WriteCountForms) {
  auto count = [](int32_t n) {
    ByteWriter w;
    WriteCount(w, n);
    return w.buffer();
  };
  EXPECT_EQ(count(0), (Bytes{0x00, 0x00}));
  EXPECT_EQ(count(0xFFFE), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(count(0xFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(count(0x12345), (Bytes{0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00}));

  for (int32_t n : {0, 7, 0xFFFE, 0xFFFF, 1000000}) {
    Bytes b = count(n);
    ByteReader in(b);
    bool ok = false;
    EXPECT_EQ(ReadCount(in, ok), static_cast<uint32_t>(n));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(in.atEnd());
  }
  Bytes one{0x05};
  ByteReader in(one);
  bool ok = true;
  ReadCount(in, ok);
  EXPECT_FALSE(ok);
}

TEST(ArchiveTags, ClassReferences) {
  auto ref = [](int32_t i) {
    ByteWriter w;
    WriteClassRef(w, i);
    return w.buffer();
  };
  EXPECT_EQ(ref(3), (Bytes{0x03, 0x80}));
  EXPECT_EQ(ref(0x7FFE), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(ref(0x7FFF), (Bytes{0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80}));
  for (int32_t i : {1, 3, 0x7FFE, 0x7FFF, 0x12345}) {
    Bytes b = ref(i);
    ByteReader in(b);
    ObjectTag t = ReadObjectTag(in);
    EXPECT_TRUE(t.complete);
    EXPECT_FALSE(t.newClass);
    EXPECT_EQ(t.classIndex, static_cast<uint32_t>(i));
    EXPECT_TRUE(in.atEnd());
  }
}

TEST(ArchiveTags, NewClassRecord) {
  ByteWriter w;
  WriteNewClass(w, 700, "CDataSen");
  Bytes expect{0xFF, 0xFF, 0xBC, 0x02, 0x08, 0x00, 'C', 'D', 'a', 't', 'a', 'S', 'e', 'n'};
  EXPECT_EQ(w.buffer(), expect);
  ByteReader in(w.buffer());
  ObjectTag t = ReadObjectTag(in);
  EXPECT_TRUE(t.complete);
  EXPECT_TRUE(t.newClass);
  EXPECT_EQ(t.schema, 700);
  EXPECT_EQ(t.className, "CDataSen");

  // Cut inside the name: incomplete, without reading past the end.
  Bytes cut(expect.begin(), expect.begin() + 9);
  ByteReader c(cut);
  EXPECT_FALSE(ReadObjectTag(c).complete);
  EXPECT_TRUE(c.atEnd());
  Bytes lone{0x01};
  ByteReader l(lone);
  EXPECT_FALSE(ReadObjectTag(l).complete);
  Bytes bigCut{0xFF, 0x7F, 0x01};
  ByteReader b(bigCut);
  EXPECT_FALSE(ReadObjectTag(b).complete);
}

TEST(ArchiveReader, ShortReadsZeroFillAndAreNoticed) {
  Bytes b{0x01, 0x02, 0x03};
  ByteReader in(b);
  EXPECT_EQ(in.u16(), 0x0201);
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(in.u32(), 0x03u);
  EXPECT_FALSE(in.ok());
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(in.f64(), 0.0);
  EXPECT_EQ(in.skip(10), 0u);
  EXPECT_TRUE(in.take(10).empty());
  in.seek(100);
  EXPECT_EQ(in.pos(), 3u);
}

namespace {

TEntJwwAttr Attr(uint8_t style, uint16_t color, uint16_t layer = 0, uint16_t glayer = 0,
                 uint16_t width = 0) {
  TEntJwwAttr a;
  a.lGroup = 0x11223344;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = width;
  a.nLayer = layer;
  a.nGLayer = glayer;
  a.sFlg = 0x5566;
  return a;
}

Bytes WrittenAttr(int32_t version, const TEntJwwAttr& a, int32_t kind) {
  ByteWriter w;
  WriteAttr(w, version, a, kind);
  return w.buffer();
}

}  // namespace

TEST(ArchiveAttr, LineForVersion300And600) {
  TEntJwwAttr a = Attr(33, 107, 20, 3, 250);
  Bytes v300 = WrittenAttr(300, a, kLine);
  EXPECT_EQ(v300, (Bytes{0x44, 0x33, 0x22, 0x11, 3, 1, 0, 0, 0, 3, 0, 0x66, 0x55}));
  Bytes v600 = WrittenAttr(600, a, kLine);
  EXPECT_EQ(v600, (Bytes{0x44, 0x33, 0x22, 0x11, 33, 107, 0, 250, 0, 0, 0, 3, 0, 0x66, 0x55}));

  ByteReader in300(v300);
  TEntJwwAttr r = ReadAttr(in300, 300);
  EXPECT_TRUE(in300.atEnd());
  EXPECT_EQ(r.nPenStyle, 3);
  EXPECT_EQ(r.nPenColor, 1);
  EXPECT_EQ(r.nPenWidth, 0);
  EXPECT_EQ(r.nGLayer, 3);
  EXPECT_EQ(r.sFlg, 0x5566);
  ByteReader in600(v600);
  r = ReadAttr(in600, 600);
  EXPECT_TRUE(in600.atEnd());
  EXPECT_EQ(r.nPenWidth, 250);
  EXPECT_EQ(r.nPenStyle, 33);
  // The width field starts at version 351.
  EXPECT_EQ(WrittenAttr(350, a, kLine).size(), 13u);
  EXPECT_EQ(WrittenAttr(351, a, kLine).size(), 15u);
}

TEST(ArchiveAttr, SxfDownConversionBelow420) {
  const uint8_t styles[] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};
  for (int s = 31; s <= 45; ++s)
    EXPECT_EQ(RepairAttr(419, Attr(s, 1), kEnko).nPenStyle, styles[s - 31]) << s;
  for (int s = 46; s <= 62; ++s) {
    EXPECT_EQ(RepairAttr(419, Attr(s, 1), kLine).nPenStyle, DefaultPenStyle) << s;
    EXPECT_EQ(RepairAttr(420, Attr(s, 1), kLine).nPenStyle, s) << s;
  }
  const uint8_t colors[] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};
  for (int c = 101; c <= 116; ++c)
    for (int32_t kind : {kLine, kEnko, kTen, kMoji, kSunpo, kSolid})
      EXPECT_EQ(RepairAttr(300, Attr(1, c), kind).nPenColor, colors[c - 101]) << c;
  EXPECT_EQ(RepairAttr(300, Attr(1, 117), kLine).nPenColor, DefaultPenColor);
  EXPECT_EQ(RepairAttr(300, Attr(1, 356), kSolid).nPenColor, DefaultPenColor);
  EXPECT_EQ(RepairAttr(420, Attr(1, 356), kSolid).nPenColor, 356);
  // Text and point styles are not SXF line types.
  EXPECT_EQ(RepairAttr(300, Attr(33, 1), kMoji).nPenStyle, 1);
  EXPECT_EQ(RepairAttr(300, Attr(100, 1), kTen).nPenStyle, 100);
}

TEST(ArchiveAttr, RepairsPerKind) {
  // Line types.
  for (int s : {0, 10, 20, 30, 63, 255})
    EXPECT_EQ(RepairAttr(700, Attr(s, 1), kLine).nPenStyle, DefaultPenStyle) << s;
  for (int s : {1, 9, 11, 19, 31, 62}) EXPECT_EQ(RepairAttr(700, Attr(s, 1), kEnko).nPenStyle, s);
  EXPECT_EQ(RepairAttr(700, Attr(5, 1), kTen).nPenStyle, 1);
  EXPECT_EQ(RepairAttr(700, Attr(100, 1), kTen).nPenStyle, 100);
  EXPECT_EQ(RepairAttr(700, Attr(12, 1), kMoji).nPenStyle, 1);
  EXPECT_EQ(RepairAttr(700, Attr(9, 1), kMoji).nPenStyle, 9);
  EXPECT_EQ(RepairAttr(700, Attr(0, 1), kSunpo).nPenStyle, 0);
  // Colours.
  EXPECT_EQ(RepairAttr(700, Attr(1, 10), kSolid).nPenColor, 10);
  EXPECT_EQ(RepairAttr(700, Attr(1, 10), kLine).nPenColor, DefaultPenColor);
  EXPECT_EQ(RepairAttr(700, Attr(1, 0), kSunpo).nPenColor, DefaultPenColor);
  EXPECT_EQ(RepairAttr(700, Attr(1, 357), kMoji).nPenColor, DefaultPenColor);
  EXPECT_EQ(RepairAttr(700, Attr(1, 11), kSolid).nPenColor, DefaultPenColor);
  // Block insertions and definitions keep style and colour, get the layer
  // and width repairs.
  for (int32_t kind : {kBlock, kBlockDefKind}) {
    TEntJwwAttr r = RepairAttr(300, Attr(200, 500, 16, 99, 30001), kind);
    EXPECT_EQ(r.nPenStyle, 200);
    EXPECT_EQ(r.nPenColor, 500);
    EXPECT_EQ(r.nLayer, 0);
    EXPECT_EQ(r.nGLayer, 0);
    EXPECT_EQ(r.nPenWidth, 0);
  }
  TEntJwwAttr kept = RepairAttr(700, Attr(1, 1, 15, 15, 30000), kLine);
  EXPECT_EQ(kept.nLayer, 15);
  EXPECT_EQ(kept.nGLayer, 15);
  EXPECT_EQ(kept.nPenWidth, 30000);
  // The caller's record is left as it was.
  TEntJwwAttr a = Attr(5, 10, 20);
  WrittenAttr(300, a, kTen);
  EXPECT_EQ(a, Attr(5, 10, 20));
}

TEST(ArchiveAttr, CopyAttrCopiesAllSevenFields) {
  TEntJwwAttr a = Attr(7, 8, 9, 10, 11);
  EXPECT_EQ(CopyAttr(a), a);
}

TEST(ArchiveValues, IsFiniteDouble) {
  EXPECT_TRUE(IsFiniteDouble(0.0));
  EXPECT_TRUE(IsFiniteDouble(-1e308));
  EXPECT_TRUE(IsFiniteDouble(std::numeric_limits<double>::denorm_min()));
  EXPECT_FALSE(IsFiniteDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(IsFiniteDouble(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsFiniteDouble(-std::numeric_limits<double>::infinity()));
}
