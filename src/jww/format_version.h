// SPDX-License-Identifier: GPL-3.0-or-later
// The format versions of JWW files this program reads and writes, stated
// once for the reader, the writer and the front ends.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace jww {

inline constexpr int32_t kOldestVersion = 220;
inline constexpr int32_t kNewestVersion = 700;

constexpr bool IsKnownVersion(int32_t v) { return v >= kOldestVersion && v <= kNewestVersion; }

// "220 to 700", for messages.
inline std::string VersionRangeText() {
  return std::to_string(kOldestVersion) + " to " + std::to_string(kNewestVersion);
}

// The versions Jw_cad releases write (2.20, 2.30, 3.00, 3.51, 4.20, 5.00,
// 6.00, 7.00 and later). Every number in the range reads and writes, but a
// file of another number is one no Jw_cad ever made.
inline constexpr std::array<int32_t, 8> kJwCadVersions = {220, 230, 300, 351, 420, 500, 600, 700};

// The newest release version not above `v` (`v` in the range): the one a
// file of version `v` is laid out like.
constexpr int32_t ReleaseVersionFor(int32_t v) {
  int32_t found = kJwCadVersions.front();
  for (int32_t r : kJwCadVersions)
    if (r <= v) found = r;
  return found;
}

}  // namespace jww
