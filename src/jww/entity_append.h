// SPDX-License-Identifier: GPL-3.0-or-later
// Appending transformed copies to the drawing: the layer rule of a placement
// and the growth of the entity arrays and the draw order.
#pragma once

#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "jww/document.h"
#include "util/geometry.h"

namespace jww {

inline const util::Affine& ToAffine(const TPlacement& t) { return t; }

// Copies land on the placement's layer unless the placement keeps layers.
inline void ApplyLayerRule(TEntJwwAttr& att, const TPlacement& t) {
  if (t.keepLayer) return;
  att.nGLayer = t.gLayer;
  att.nLayer = t.layer;
}

// Appends `rec` to `arr` (count `count`) and a draw-order entry (kind, index).
// Both arrays grow before any count changes, so a failed growth leaves every
// count as it was.
template <typename T>
bool AppendEntity(TJwwData& doc, std::vector<T>& arr, int32_t& count, int32_t kind, T&& rec) {
  try {
    GrowForAppend(arr, count + 1);
    GrowForAppend(doc.EntNo, doc.Enthd.n1 + 1);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  arr[count] = std::move(rec);
  doc.EntNo[doc.Enthd.n1] = TEntJwwNo{kind, count};
  ++count;
  ++doc.Enthd.n1;
  return true;
}

namespace detail {
template <typename T>
void ReserveBeyond(std::vector<T>& a, int32_t count, int32_t extra) {
  const size_t want = static_cast<size_t>(count) + extra;
  if (a.size() < want) a.resize(want);
}
template <typename T>
void TrimTo(std::vector<T>& a, int32_t count) {
  if (a.size() > static_cast<size_t>(count)) a.resize(count);
}
}  // namespace detail

// Room for bulk appends: 1000 records beyond each count. Failing here is
// harmless, since every append grows on its own.
inline void ReserveForAppends(TJwwData& doc, bool withBlocks) {
  try {
    detail::ReserveBeyond(doc.EntLine, doc.EntLineN, 1000);
    detail::ReserveBeyond(doc.EntEnko, doc.EntEnkoN, 1000);
    detail::ReserveBeyond(doc.EntTen, doc.EntTenN, 1000);
    detail::ReserveBeyond(doc.EntMoji, doc.EntMojiN, 1000);
    detail::ReserveBeyond(doc.EntSunpo, doc.EntSunpoN, 1000);
    detail::ReserveBeyond(doc.EntSolid, doc.EntSolidN, 1000);
    if (withBlocks) detail::ReserveBeyond(doc.EntBlock, doc.EntBlockN, 1000);
    detail::ReserveBeyond(doc.EntNo, doc.Enthd.n1, 1000);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

// Cuts every entity array and the draw order back to its count after bulk work.
inline void TrimToCounts(TJwwData& doc) {
  detail::TrimTo(doc.EntLine, doc.EntLineN);
  detail::TrimTo(doc.EntEnko, doc.EntEnkoN);
  detail::TrimTo(doc.EntTen, doc.EntTenN);
  detail::TrimTo(doc.EntMoji, doc.EntMojiN);
  detail::TrimTo(doc.EntSunpo, doc.EntSunpoN);
  detail::TrimTo(doc.EntSolid, doc.EntSolidN);
  detail::TrimTo(doc.EntBlock, doc.EntBlockN);
  detail::TrimTo(doc.EntNo, doc.Enthd.n1);
}

}  // namespace jww
