// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the document's UTF-16 strings and the byte strings of
// a JWW file (Windows code page 932) or UTF-16LE, plus UTF-8 for the outside
// world (paths, terminals, settings).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace util {

using Bytes = std::vector<uint8_t>;

// Code page 932 exactly as Windows converts it (best-fit mappings included).
// Decoding cuts the result at its first U+0000.
std::u16string AnsiBytesToStr(std::span<const uint8_t> bytes);
// Characters without a mapping become '?'.
Bytes StrToAnsiBytes(std::u16string_view s);
// Bytes of the code page 932 form before its first zero byte.
int32_t AnsiByteLength(std::u16string_view s);

// UTF-16LE; an odd last byte is ignored; decoding cuts at the first U+0000.
std::u16string WideBytesToStr(std::span<const uint8_t> bytes);
Bytes StrToWideBytes(std::u16string_view s);

Bytes StrToUtf8Bytes(std::u16string_view s);
// Ends before the first U+0000; invalid UTF-8 gives "?".
std::u16string Utf8BytesToStr(std::span<const uint8_t> bytes);

// Convenience forms for std::string (UTF-8) at the program's edges.
std::string ToUtf8(std::u16string_view s);
std::u16string FromUtf8(std::string_view s);

}  // namespace util
