// SPDX-License-Identifier: GPL-3.0-or-later
// The stored items of a JWW header, as offsets into the file. Used by tools
// and tests that compare headers byte for byte; the readers do not need it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace jww {

// One stored item: a number, a string or a reserved block. `row` numbers the
// header's rows in file order: 1 signature, 2 version, 3 memo, 4 nZumen, …,
// 22 the zoom views (rows 22a/22b/22c), …, 45 the text reference offsets.
// `sub` is 0 for rows 1–21 and 23–45; 1, 2, 3 for rows 22a, 22b, 22c.
struct HeaderItem {
  int row = 0;
  int sub = 0;
  int index = 0;  // position of the item within its row, from 0
  size_t offset = 0;
  size_t size = 0;
  bool isString = false;
};

// The items of the header at the start of `file`, in file order. Empty when
// the signature or version is not acceptable. Items beyond the end of the
// data are listed with size 0.
std::vector<HeaderItem> HeaderItems(std::span<const uint8_t> file);

}  // namespace jww
