// SPDX-License-Identifier: GPL-3.0-or-later
// Explosion of every block placement of the drawing through the block tree:
// afterwards the drawing holds no insertions and no definitions.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "jww/block_numbers.h"
#include "jww/document.h"
#include "jww/entity_append.h"
#include "jww/walk.h"

namespace jww {

namespace {

template <typename T>
const T* Member(const std::vector<T>& a, int32_t count, int32_t index) {
  if (index < 0 || index >= count || static_cast<size_t>(index) >= a.size()) return nullptr;
  return &a[index];
}

bool ExplodeMembers(TJwwData& doc, const TEntJwwBlockDef& d, const TPlacement& t) {
  const int32_t members = std::min<int32_t>(d.N, static_cast<int32_t>(d.mNo.size()));
  for (int32_t k = 0; k < members; ++k) {
    const TEntJwwNo e = d.mNo[k];
    bool ok = true;
    switch (e.EntType) {
      case kLine:
        if (auto* m = Member(d.mLine, d.mLineN, e.EntNo)) ok = doc.BlockExplodeLine(*m, t);
        break;
      case kEnko:
        if (auto* m = Member(d.mEnko, d.mEnkoN, e.EntNo)) ok = doc.BlockExplodeEnko(*m, t);
        break;
      case kTen:
        if (auto* m = Member(d.mTen, d.mTenN, e.EntNo)) ok = doc.BlockExplodeTen(*m, t);
        break;
      case kMoji:
        if (auto* m = Member(d.mMoji, d.mMojiN, e.EntNo)) ok = doc.BlockExplodeMoji(*m, t);
        break;
      case kSunpo:
        if (auto* m = Member(d.mSunpo, d.mSunpoN, e.EntNo)) ok = doc.BlockExplodeSunpo(*m, t);
        break;
      case kSolid:
        if (auto* m = Member(d.mSolid, d.mSolidN, e.EntNo)) ok = doc.BlockExplodeSolid(*m, t);
        break;
      default:
        // Nested insertions have tree nodes of their own.
        break;
    }
    if (!ok) return false;
  }
  return true;
}

constexpr int64_t kSaturated = std::numeric_limits<int64_t>::max() / 4;
int64_t SaturatingAdd(int64_t a, int64_t b) { return a > kSaturated - b ? kSaturated : a + b; }

// Copies one placement of each definition makes, nested placements included,
// memoised per definition.
class CopyCounter {
 public:
  explicit CopyCounter(const TJwwData& doc)
      : doc_(doc),
        first_(FirstDefinitionByNumber(doc)),
        state_(doc.EntBlockDefN, kUnknown),
        copies_(doc.EntBlockDefN, 0) {}

  int64_t OfNumber(uint32_t number) {
    auto it = first_.find(number);
    return it == first_.end() ? 0 : Of(it->second);
  }

 private:
  static constexpr int8_t kUnknown = 0, kOnPath = 1, kKnown = 2;

  int64_t Of(int32_t d) {
    if (state_[d] == kKnown) return copies_[d];
    const TEntJwwBlockDef& def = doc_.EntBlockDef[d];
    if (state_[d] == kOnPath) return Direct(def);  // placed inside itself: not expanded
    state_[d] = kOnPath;
    int64_t n = Direct(def);
    const int32_t nested = std::min<int32_t>(def.mBlockN, static_cast<int32_t>(def.mBlock.size()));
    for (int32_t b = 0; b < nested; ++b) n = SaturatingAdd(n, OfNumber(def.mBlock[b].nNumber));
    state_[d] = kKnown;
    copies_[d] = n;
    return n;
  }

  static int64_t Direct(const TEntJwwBlockDef& d) {
    const int32_t members = std::min<int32_t>(d.N, static_cast<int32_t>(d.mNo.size()));
    int64_t n = 0;
    for (int32_t k = 0; k < members; ++k) {
      const TEntJwwNo e = d.mNo[k];
      bool valid = false;
      switch (e.EntType) {
        case kLine:
          valid = Member(d.mLine, d.mLineN, e.EntNo) != nullptr;
          break;
        case kEnko:
          valid = Member(d.mEnko, d.mEnkoN, e.EntNo) != nullptr;
          break;
        case kTen:
          valid = Member(d.mTen, d.mTenN, e.EntNo) != nullptr;
          break;
        case kMoji:
          valid = Member(d.mMoji, d.mMojiN, e.EntNo) != nullptr;
          break;
        case kSunpo:
          valid = Member(d.mSunpo, d.mSunpoN, e.EntNo) != nullptr;
          break;
        case kSolid:
          valid = Member(d.mSolid, d.mSolidN, e.EntNo) != nullptr;
          break;
        default:
          break;
      }
      n += valid ? 1 : 0;
    }
    return n;
  }

  const TJwwData& doc_;
  std::unordered_map<uint32_t, int32_t> first_;
  std::vector<int8_t> state_;
  std::vector<int64_t> copies_;
};

}  // namespace

int64_t TJwwData::BlockExplodeCopies() const {
  // The insertions the drawing shows stand in its draw order; a cleared
  // entry (an exploded SXF placement) counts no more.
  CopyCounter counter(*this);
  int64_t total = 0;
  const int32_t blocks = std::min<int32_t>(EntBlockN, static_cast<int32_t>(EntBlock.size()));
  const int32_t n = std::min<int32_t>(Enthd.n1, static_cast<int32_t>(EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    const TEntJwwNo e = EntNo[i];
    if (e.EntType == kBlock && e.EntNo >= 0 && e.EntNo < blocks)
      total = SaturatingAdd(total, counter.OfNumber(EntBlock[e.EntNo].nNumber));
  }
  return total;
}

bool TJwwData::BlockExplode() {
  if (EntBlockTreeN == 0) return true;
  // A tree cut short at its node limit lacks placements: exploding it and
  // then dropping every definition would lose them.
  if (EntBlockTreeCut) return false;
  ReserveForAppends(*this, false);

  // The walk reads only the tree and the definitions, which the appends
  // leave alone. An insertion whose draw-order entry was cleared (an exploded
  // SXF figure placement) is not shown and must not be exploded again.
  bool ok = true;
  ForEachPlacement(*this, false, [&](const PlacementVisit& p) {
    if (ok) ok = ExplodeMembers(*this, *p.definition, p.placement);
  });
  if (!ok) return false;

  TrimToCounts(*this);
  EntBlockTree.clear();
  EntBlockTreeN = 0;
  EntBlockTreeCut = false;
  EntBlockNum = 0;
  EntBlockDef.clear();
  EntBlockDefN = 0;
  Enthd.n2 = 0;
  EntBlock.clear();
  EntBlockN = 0;
  const int32_t n = std::min<int32_t>(Enthd.n1, static_cast<int32_t>(EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    if (EntNo[i].EntType == kBlock) EntNo[i] = TEntJwwNo{kNone, 0};
  }
  return true;
}

}  // namespace jww
