// Explosion of every block placement of the drawing through the block tree:
// afterwards the drawing holds no insertions and no definitions.

#include <algorithm>

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

}  // namespace

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
