// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/json_names.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace app {

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0.
int32_t SequenceAt(std::string_view s, int32_t i) {
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  const auto n = static_cast<int32_t>(s.size());
  int32_t next = i;
  UChar32 c = 0;
  U8_NEXT(p, next, n, c);
  return c < 0 ? 0 : next - i;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (int32_t i = 0; i < static_cast<int32_t>(s.size());) {
    const int32_t len = SequenceAt(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string EscapedUtf8(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(name.size());
  for (int32_t i = 0; i < static_cast<int32_t>(name.size());) {
    const int32_t len = SequenceAt(name, i);
    if (len > 0) {
      out.append(name.substr(i, len));
      i += len;
      continue;
    }
    const auto b = static_cast<uint8_t>(name[i++]);
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

void PutJsonName(nlohmann::ordered_json& object, const std::string& key, std::string_view name) {
  if (IsValidUtf8(name)) {
    object[key] = std::string(name);
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(name.size() * 2);
  for (char ch : name) {
    const auto b = static_cast<uint8_t>(ch);
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  object[key] = EscapedUtf8(name);
  object[key + "Bytes"] = hex;
}

}  // namespace app
