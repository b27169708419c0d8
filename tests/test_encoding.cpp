// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "util/encoding.h"

using util::AnsiBytesToStr;
using util::Bytes;
using util::StrToAnsiBytes;

namespace {
std::u16string Dec(std::initializer_list<uint8_t> b) {
  Bytes v(b);
  return AnsiBytesToStr(v);
}
}  // namespace

TEST(Cp932, DecodesAsWindowsDoes) {
  EXPECT_EQ(Dec({0x81, 0x60}), u"\uFF5E");
  EXPECT_EQ(Dec({0x81, 0x5F}), u"\uFF3C");
  EXPECT_EQ(Dec({0x81, 0x7C}), u"\uFF0D");
  EXPECT_EQ(Dec({0x5C}), u"\\");
  EXPECT_EQ(Dec({0x7E}), u"~");
  EXPECT_EQ(Dec({0x87, 0x40}), u"\u2460");
  EXPECT_EQ(Dec({0xFA, 0x40}), u"\u2170");
  EXPECT_EQ(Dec({0xED, 0x40}), u"\u7E8A");
}

TEST(Cp932, EncodesWithWindowsBestFit) {
  EXPECT_EQ(StrToAnsiBytes(u"\u301C"), (Bytes{0x81, 0x60}));
  EXPECT_EQ(StrToAnsiBytes(u"\u00A5"), (Bytes{0x5C}));
  EXPECT_EQ(StrToAnsiBytes(u"\u00AC"), (Bytes{0x81, 0xCA}));
  EXPECT_EQ(StrToAnsiBytes(u"\u2252"), (Bytes{0x81, 0xE0}));
  EXPECT_EQ(StrToAnsiBytes(u"\u7E8A"), (Bytes{0xFA, 0x5C}));
  EXPECT_EQ(StrToAnsiBytes(u"\u2170"), (Bytes{0xFA, 0x40}));
  EXPECT_EQ(StrToAnsiBytes(u"\uFF5E"), (Bytes{0x81, 0x60}));
}

TEST(Cp932, UnmappableBecomesQuestionMark) {
  EXPECT_EQ(StrToAnsiBytes(u"a\u00E9b"), (Bytes{'a', '?', 'b'}));
  // A surrogate pair is one character, so one '?'.
  EXPECT_EQ(StrToAnsiBytes(u"x\U0001F600y"), (Bytes{'x', '?', 'y'}));
}

TEST(Cp932, RoundTripsJapaneseAndCutsAtNul) {
  std::u16string s = u"平面図　ｶﾀｶﾅ１２３";
  EXPECT_EQ(AnsiBytesToStr(StrToAnsiBytes(s)), s);
  EXPECT_EQ(Dec({'a', 'b', 0, 'c'}), u"ab");
  EXPECT_EQ(util::AnsiByteLength(u"平面"), 4);
}

TEST(Cp932, TruncatedLeadByteDoesNotCrash) {
  std::u16string s = Dec({'a', 0x82});
  EXPECT_EQ(s.substr(0, 1), u"a");
  EXPECT_EQ(s.size(), 2u);
}

TEST(Wide, DecodesLittleEndianAndIgnoresOddByte) {
  Bytes b{0x41, 0x00, 0x42, 0x30, 0x43};
  EXPECT_EQ(util::WideBytesToStr(b), u"A\u3042");
  EXPECT_EQ(util::StrToWideBytes(u"A"), (Bytes{0x41, 0x00}));
}

TEST(Utf8, RoundTripAndFailure) {
  std::u16string s = u"C:\\図面\U0001F600";
  EXPECT_EQ(util::FromUtf8(util::ToUtf8(s)), s);
  Bytes bad{0xE3, 0x81};
  EXPECT_EQ(util::Utf8BytesToStr(bad), u"?");
  Bytes withNul{'a', 0, 'b'};
  EXPECT_EQ(util::Utf8BytesToStr(withNul), u"a");
}
