// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <locale.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "app/user_numbers.h"
#include "util/text.h"

using namespace util;

namespace {

// Sets one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool LocaleInstalled(const char* name) {
  locale_t loc = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return false;
  freelocale(loc);
  return true;
}

}  // namespace

TEST(Case, MapsAsciiFullWidthAndLengtheningLetters) {
  EXPECT_EQ(StrUpper(u"abc.jww"), u"ABC.JWW");
  EXPECT_EQ(StrUpper(u"ａｂｃ"), u"ＡＢＣ");
  EXPECT_EQ(StrLower(u"ＡＢＣ Xyz"), u"ａｂｃ xyz");
  EXPECT_EQ(StrUpper(u"straße"), u"STRASSE");
  EXPECT_EQ(StrUpper(u"図面かな"), u"図面かな");
  EXPECT_EQ(StrUpper(u""), u"");
}

TEST(Substrings, IndexAndClamping) {
  EXPECT_EQ(StrIndexOf(u"@@SFIG", u"@@SFIGORGFLAG@@1"), 0);
  EXPECT_EQ(StrIndexOf(u"FLAG@@2", u"@@SFIGORGFLAG@@1"), -1);
  EXPECT_EQ(StrIndexOf(u"@@1", u"@@SFIGORGFLAG@@1"), 13);
  EXPECT_EQ(StrIndexOf(u"", u"abc"), -1);

  EXPECT_EQ(SubStrFrom(u"abcdef", 2), u"cdef");
  EXPECT_EQ(SubStrFrom(u"abc", 3), u"");
  EXPECT_EQ(SubStrFrom(u"abc", 99), u"");
  EXPECT_EQ(SubStrFrom(u"abc", -5), u"abc");
  EXPECT_EQ(SubStrN(u"abcdef", 1, 3), u"bcd");
  EXPECT_EQ(SubStrN(u"abcdef", 4, 100), u"ef");
  EXPECT_EQ(SubStrN(u"abcdef", 1, 0), u"");
  EXPECT_EQ(SubStrN(u"abcdef", 1, -2), u"");
  EXPECT_EQ(SubStrN(u"abc", 7, 1), u"");
}

TEST(Filters, StripSpaces) {
  EXPECT_EQ(StripSpaces(u" a\tb\u3000c\r\n d "), u"abcd");
  EXPECT_EQ(StripSpaces(u"\u3000\u3000"), u"");
  EXPECT_EQ(StripSpaces(u"全角　空白"), u"全角空白");
}

TEST(Filters, StripLineMarks) {
  EXPECT_EQ(StripLineMarks(u"^m"), u" ");
  EXPECT_EQ(StripLineMarks(u""), u"");
  EXPECT_EQ(StripLineMarks(u"\r\n"), u" ");
  EXPECT_EQ(StripLineMarks(u"一行目^m二行目\\n三行目"), u"一行目二行目三行目");
  EXPECT_EQ(StripLineMarks(u"a\tb\x1F"), u"ab");
  // Marks are taken left to right: in "\^mn" the caret pair goes, leaving "\n"
  // as plain text; a lone caret or backslash stays.
  EXPECT_EQ(StripLineMarks(u"\\^mn"), u"\\n");
  EXPECT_EQ(StripLineMarks(u"^M ^ \\N \\"), u"^M ^ \\N \\");
}

TEST(FullWidth, AsciiAndSpecialCharacters) {
  EXPECT_EQ(ToFullWidth(u"ABC"), u"\uFF21\uFF22\uFF23");
  EXPECT_EQ(ToFullWidth(u"a1 ~"), u"\uFF41\uFF11\u3000\uFF5E");
  EXPECT_EQ(ToFullWidth(u"\"'\\"), u"\u201D\u2019\uFFE5");
  EXPECT_EQ(ToFullWidth(u"漢字ひらがなＡ\t"), u"漢字ひらがなＡ\t");
}

TEST(FullWidth, KatakanaAndVoicedPairs) {
  EXPECT_EQ(ToFullWidth(u"ｶﾞｷﾞ"), u"ガギ");
  EXPECT_EQ(ToFullWidth(u"ｶﾞ1"), u"ガ\uFF11");
  EXPECT_EQ(ToFullWidth(u"ｳﾞﾎﾟ"), u"ヴポ");
  EXPECT_EQ(ToFullWidth(u"\uFF9E"), u"\u309B");
  EXPECT_EQ(ToFullWidth(u"\uFF9F"), u"\u00B0");
  // A voiced mark never joins the letter after it.
  EXPECT_EQ(ToFullWidth(u"\uFF9Eｶ"), u"\u309Bカ");
  // Pairs are matched at the position reached: "ｱｶﾞ" is ア then ガ.
  EXPECT_EQ(ToFullWidth(u"ｱｶﾞ"), u"アガ");
  // Letters without a voiced form keep the mark as a separate character.
  EXPECT_EQ(ToFullWidth(u"ｱﾞ"), u"ア\u309B");
  EXPECT_EQ(ToFullWidth(u"｡｢｣､･ｦｧｰﾝ"), u"。「」、・ヲァーン");
}

TEST(Hex, RoundTripsIncludingNonAscii) {
  EXPECT_EQ(StrToHexUtf8(u"abc"), u"616263");
  EXPECT_EQ(HexUtf8ToStr(u"616263"), u"abc");
  EXPECT_EQ(StrToHexUtf8(u"１"), u"EFBC91");
  for (std::u16string s : {u"C:\\図面\\出力", u"/home/user/ドキュメント", u"𠮷野家", u""})
    EXPECT_EQ(HexUtf8ToStr(StrToHexUtf8(s)), s);

  EXPECT_EQ(HexToBytes(u"41"), (Bytes{0x41, 0x00}));
  EXPECT_EQ(HexToBytes(u"4a4B"), (Bytes{0x4A, 0x4B, 0x00}));
  EXPECT_EQ(HexToBytes(u"ZZ41"), (Bytes{0x00, 0x41, 0x00}));
  EXPECT_EQ(HexToBytes(u"414"), (Bytes{0x41, 0x00}));
  EXPECT_EQ(HexToBytes(u""), (Bytes{0x00}));
  EXPECT_EQ(BytesToHex(Bytes{0x01, 0xAB, 0x00, 0x41}), u"01AB");
  // A malformed pair reads as a zero byte, which ends the text there.
  EXPECT_EQ(HexUtf8ToStr(u"61ZZ62"), u"a");
}

TEST(Bytes, FillBytes) {
  Bytes b{1, 2, 3, 4};
  FillBytes(0xFF, 2, b);
  EXPECT_EQ(b, (Bytes{0xFF, 0xFF, 3, 4}));
  Bytes small;
  FillBytes(7, 3, small);
  EXPECT_EQ(small, (Bytes{7, 7, 7}));
}

TEST(Booleans, AcceptedWordsAfterUpperCasing) {
  for (std::u16string s :
       {u"t", u"TR", u"tru", u"True", u"1", u"１", u"○", u"on", u"On", u"真", u"正"})
    EXPECT_TRUE(StrToBool(s)) << std::string(s.begin(), s.end());
  for (std::u16string s : {u"yes", u"2", u"", u"0", u"false", u" true", u"ｔｒｕｅ", u"onn"})
    EXPECT_FALSE(StrToBool(s));
  EXPECT_EQ(BoolToStr01(true), u"1");
  EXPECT_EQ(BoolToStr01(false), u"0");
}

TEST(Integers, ValIntAndIntToText) {
  EXPECT_EQ(ValInt(u"$1F"), 31);
  EXPECT_EQ(ValInt(u"$ff"), 255);
  EXPECT_EQ(ValInt(u"$FFFFFFFF"), -1);
  EXPECT_EQ(ValInt(u"-$10"), -16);
  EXPECT_EQ(ValInt(u"12a"), 0);
  EXPECT_EQ(ValInt(u"-42"), -42);
  EXPECT_EQ(ValInt(u"+7"), 7);
  EXPECT_EQ(ValInt(u"2147483647"), 2147483647);
  EXPECT_EQ(ValInt(u"-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ValInt(u"2147483648"), 0);
  EXPECT_EQ(ValInt(u"$100000000"), 0);
  for (std::u16string s : {u"", u"-", u"$", u"$G", u" 1", u"1 ", u"１", u"1.5"})
    EXPECT_EQ(ValInt(s), 0);

  EXPECT_EQ(IntToText(0), u"0");
  EXPECT_EQ(IntToText(-123), u"-123");
  EXPECT_EQ(IntToText(std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
}

TEST(Reals, ValFloat) {
  EXPECT_EQ(ValFloat(u""), 0.0);
  EXPECT_EQ(ValFloat(u"2.5"), 2.5);
  EXPECT_EQ(ValFloat(u"-0.125"), -0.125);
  EXPECT_EQ(ValFloat(u"+1e3"), 1000.0);
  EXPECT_EQ(ValFloat(u"1.5E-2"), 0.015);
  EXPECT_EQ(ValFloat(u".5"), 0.5);
  for (std::u16string s :
       {u"2,5", u"inf", u"nan", u"1e999", u"0x10", u"1.2.3", u"abc", u"++1", u"1 "})
    EXPECT_EQ(ValFloat(s), 0.0);
}

TEST(Formatting, FixedAndShortest) {
  ScopedEnv all("LC_ALL", "C");
  EXPECT_EQ(app::FormatFixed(2, 3.14159), u"3.14");
  EXPECT_EQ(app::FormatFixed(0, 2.75), u"3");
  EXPECT_EQ(app::FormatFixed(3, -1.0), u"-1.000");
  EXPECT_EQ(app::FormatFixed(-1, 1.5), u"2");
  EXPECT_EQ(FormatFixed(2, 1234.5, u","), u"1234,50");

  EXPECT_EQ(FormatShortest(200), u"200");
  EXPECT_EQ(FormatShortest(0.5), u"0.5");
  EXPECT_EQ(FormatShortest(1234.5), u"1234.5");
  EXPECT_EQ(FormatShortest(-3.25), u"-3.25");
  EXPECT_EQ(FormatShortest(-0.0), u"0");
  EXPECT_EQ(FormatShortest(0.1 + 0.2), u"0.3");
  EXPECT_EQ(FormatShortest(1e20), u"1e+20");
}

TEST(Formatting, GroupedWithGivenSeparators) {
  EXPECT_EQ(FormatGrouped(0, 1234567, u".", u","), u"1,234,567");
  EXPECT_EQ(FormatGrouped(2, -1234567.891, u",", u"."), u"-1.234.567,89");
  EXPECT_EQ(FormatGrouped(1, 999.94, u".", u","), u"999.9");
  EXPECT_EQ(FormatGrouped(0, -100000, u".", u","), u"-100,000");
  EXPECT_EQ(FormatGrouped(0, 0, u".", u","), u"0");
  // Grouping by the C library's rule: 3, then 2 repeating.
  EXPECT_EQ(FormatGrouped(0, 12345678, NumberSeparators{u".", u",", "\3\2"}), u"1,23,45,678");
}

TEST(Formatting, GroupedFallsBackWithoutUsableLocale) {
  ScopedEnv all("LC_ALL", "no_SUCH.locale");
  EXPECT_EQ(app::FormatGrouped(0, 1234567), u"1,234,567");
  EXPECT_EQ(app::FormatFixed(1, 2.25), u"2.2");
  ScopedEnv c("LC_ALL", "C");
  EXPECT_EQ(app::FormatGrouped(2, 12345.5), u"12,345.50");
}

TEST(Formatting, GroupedUnderCommaLocale) {
  if (!LocaleInstalled("en_US.UTF-8")) GTEST_SKIP() << "locale en_US.UTF-8 is not installed";
  ScopedEnv all("LC_ALL", nullptr);
  ScopedEnv numeric("LC_NUMERIC", "en_US.UTF-8");
  EXPECT_EQ(app::FormatGrouped(0, 1234567), u"1,234,567");
  EXPECT_EQ(app::FormatFixed(2, 3.14159), u"3.14");
}

TEST(Colours, ColorRefToArgb) {
  EXPECT_EQ(static_cast<uint32_t>(ColorRefToArgb(0x0000FF)), 0xFFFF0000u);
  EXPECT_EQ(static_cast<uint32_t>(ColorRefToArgb(0xFF0000)), 0xFF0000FFu);
  EXPECT_EQ(static_cast<uint32_t>(ColorRefToArgb(0x123456)), 0xFF563412u);
  EXPECT_EQ(static_cast<uint32_t>(ColorRefToArgb(0)), 0xFF000000u);
}
