// SPDX-License-Identifier: GPL-3.0-or-later
// Small text and value helpers shared by the reader, the writer, the driver
// and the settings file. None keeps state and none throws: malformed input
// gives the fixed result documented beside each function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/encoding.h"

namespace util {

// ---- case, search, substrings ----

// Linguistic casing with the user's default locale (ICU); full-width Latin
// letters are mapped too.
std::u16string StrUpper(std::u16string_view s);
std::u16string StrLower(std::u16string_view s);

// Index of the first occurrence of `sub` in `text`, -1 when there is none
// (an empty `sub` is never found).
int32_t StrIndexOf(std::u16string_view sub, std::u16string_view text);
// Index of the first occurrence of `marker` in `text` with ASCII letters
// compared without regard to case and every other unit exactly; npos when
// there is none. For format markers, which must be found whatever the locale
// (StrUpper would turn "i" into "İ" under a Turkish one).
size_t FindAsciiNoCase(std::u16string_view text, std::u16string_view marker);
// Characters from `start` to the end; a negative start counts as 0.
std::u16string SubStrFrom(std::u16string_view s, int32_t start);
// At most `count` characters from `start` (a negative start counts as 0);
// empty when `count` is not positive.
std::u16string SubStrN(std::u16string_view s, int32_t start, int32_t count);

// ---- character filters (one UTF-16 unit at a time) ----

// Drops control characters, U+0020 and U+3000.
std::u16string StripSpaces(std::u16string_view s);
// Removes "^m" and "\n" (backslash, n) marks and control characters; a
// non-empty text that leaves nothing becomes " ".
std::u16string StripLineMarks(std::u16string_view s);
// Half-width ASCII and katakana to their full-width forms (voiced pairs are
// joined; U+FF9F becomes U+00B0).
std::u16string ToFullWidth(std::u16string_view s);

// ---- byte and hexadecimal forms ----

// Two upper-case hexadecimal digits per byte, stopping at the first zero byte.
// Returned as UTF-16 so it can go straight into texts and settings lines.
std::u16string BytesToHex(const Bytes& bytes);
// Every pair of characters becomes one byte (0 when not hexadecimal); a zero
// byte is appended. A trailing odd character is ignored.
Bytes HexToBytes(std::u16string_view hex);
// Hexadecimal form of the UTF-8 bytes of `s` ("abc" -> "616263").
std::u16string StrToHexUtf8(std::u16string_view s);
std::u16string HexUtf8ToStr(std::u16string_view hex);
// Sets the first `count` bytes to `value`, growing `bytes` when it is shorter.
void FillBytes(uint8_t value, size_t count, Bytes& bytes);

// ---- booleans and numbers ----

// True for T, TR, TRU, TRUE, 1, full-width 1, ○, ON, 真, 正 (after upper-casing).
bool StrToBool(std::u16string_view s);
std::u16string BoolToStr01(bool b);

// Optional sign and decimal digits, or "$" and hexadecimal digits; anything
// else (including overflow of 32 bits) gives 0.
int32_t ValInt(std::u16string_view s);
std::u16string IntToText(int64_t v);
// Decimal number with "." and an optional exponent; malformed text gives 0.
double ValFloat(std::u16string_view s);

// How a number is written: the decimal and thousands separators, and the
// group sizes from the right as the C library states them (the last one
// repeats; CHAR_MAX stops grouping). Nothing here reads the user's locale:
// the app layer makes these from it for what the programs show
// (app/user_numbers.h), and a drawing's own texts use "." and ",".
struct NumberSeparators {
  std::u16string decimal = u".";
  std::u16string thousands = u",";
  std::string grouping = "\3";
};

// `digits` decimals with the given decimal separator.
std::u16string FormatFixed(int digits, double v, std::u16string_view decimal);
// The same with thousands grouped.
std::u16string FormatGrouped(int digits, double v, const NumberSeparators& separators);
// The same in groups of three digits.
std::u16string FormatGrouped(int digits, double v, std::u16string_view decimal,
                             std::u16string_view thousands);
// General form with 15 significant digits and no trailing zeros (like "%.15g"):
// 200, 0.5, 1234.5, -3.25.
std::u16string FormatShortest(double v);

// Windows colour word 0x00BBGGRR -> 0xFFRRGGBB as a signed 32-bit value.
int32_t ColorRefToArgb(int32_t colorRef);

}  // namespace util
