// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/sxf_plan.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "jww/entity_lists.h"
#include "jww/walk.h"
#include "util/text.h"

namespace jww {

namespace {

// Figures that place each other multiply their placements; the counts stop
// at this value instead of wrapping.
constexpr int64_t kSaturated = std::numeric_limits<int64_t>::max() / 4;

int64_t Add(int64_t a, int64_t b) { return a > kSaturated - b ? kSaturated : a + b; }
int64_t Mul(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kSaturated / b ? kSaturated : a * b;
}

// What exploding one placement of a definition appends: the members the
// explosion can copy, and the numbers of the nested insertions it re-places
// at the top level.
struct FigureShape {
  int32_t copies = 0;
  std::vector<uint32_t> nested;
};

FigureShape ShapeOf(const TEntJwwBlockDef& d) {
  FigureShape s;
  const EntitySpans m = SpansOf(d);
  for (const TEntJwwNo e : m.order) {
    if (!m.Has(e)) continue;
    ++s.copies;
    if (e.EntType == kBlock) s.nested.push_back(m.block[e.EntNo].nNumber);
  }
  return s;
}

// The drawing as the explosion sees it, reduced to what decides its counts:
// how many shown top-level insertions place each definition number, and
// which definitions have been emptied.
class Simulation {
 public:
  explicit Simulation(const TJwwData& doc)
      : doc_(doc), emptied_(std::max<int32_t>(doc.EntBlockDefN, 0), false) {
    const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
    for (int32_t i = 0; i < n; ++i) {
      const TEntJwwNo e = doc.EntNo[i];
      if (e.EntType == kBlock && e.EntNo >= 0 && e.EntNo < doc.EntBlockN) {
        ++shown_[doc.EntBlock[e.EntNo].nNumber];
      }
    }
  }

  // One call of the explosion of figure `d`: every shown placement replaced,
  // the nested insertions re-placed. False when the definition has to stay.
  bool Explode(int32_t d, SxfFigurePlan& f) {
    if (doc_.EntBlockN == 0) return true;  // the explosion leaves such a drawing alone
    const TEntJwwBlockDef& def = doc_.EntBlockDef[d];
    const FigureShape shape = ShapeOf(def);
    int64_t& own = shown_[def.nNumber];
    const int64_t k = own;
    own = 0;  // re-placed copies of itself come after the walk and wait
    for (uint32_t no : shape.nested) shown_[no] = Add(shown_[no], k);
    f.placements = Add(f.placements, k);
    f.copies = Add(f.copies, Mul(k, shape.copies));
    if (StillPlaced(d)) return false;
    emptied_[d] = true;
    return true;
  }

 private:
  bool HasMembers(int32_t j) const { return doc_.EntBlockDef[j].N != 0 && !emptied_[j]; }

  bool StillPlaced(int32_t d) const {
    const uint32_t number = doc_.EntBlockDef[d].nNumber;
    if (auto it = shown_.find(number); it != shown_.end() && it->second > 0) return true;
    for (int32_t j = 0; j < doc_.EntBlockDefN; ++j) {
      if (j == d || !HasMembers(j)) continue;
      const TEntJwwBlockDef& other = doc_.EntBlockDef[j];
      const int32_t nested =
          std::min<int32_t>(other.mBlockN, static_cast<int32_t>(other.mBlock.size()));
      for (int32_t b = 0; b < nested; ++b) {
        if (other.mBlock[b].nNumber == number) return true;
      }
    }
    return false;
  }

  const TJwwData& doc_;
  std::unordered_map<uint32_t, int64_t> shown_;
  std::vector<bool> emptied_;
};

void CountTreePlacements(const TJwwData& doc, SxfPlan& plan) {
  std::unordered_map<uint32_t, int64_t> byNumber;
  ForEachPlacement(doc, false, [&](const PlacementVisit& p) { ++byNumber[p.tree->no]; });
  for (SxfFigurePlan& f : plan.figures) {
    if (auto it = byNumber.find(f.number); it != byNumber.end()) f.treePlacements = it->second;
  }
}

}  // namespace

bool IsSxfFigureName(std::u16string_view name) {
  return util::FindAsciiNoCase(name, u"@@SFIGORGFLAG@@1") != std::u16string_view::npos ||
         util::FindAsciiNoCase(name, u"@@SFIGORGFLAG@@2") != std::u16string_view::npos;
}

// Mirrors DataTransJWW2: the figures in definition order, the first fifteen
// each exploded into its own group, then further passes for the figures kept
// because a later figure still placed them, until a pass changes nothing.
SxfPlan PlanSxfExplosion(const TJwwData& doc) {
  SxfPlan plan;
  Simulation sim(doc);
  std::vector<size_t> kept;  // indices into plan.figures
  for (int32_t i = 0; i < doc.EntBlockDefN && static_cast<size_t>(i) < doc.EntBlockDef.size();
       ++i) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[i];
    if (def.N == 0 || !IsSxfFigureName(def.strName)) continue;
    SxfFigurePlan f;
    f.name = def.strName;
    f.number = def.nNumber;
    f.definition = i;
    f.members = ShapeOf(def).copies;
    if (plan.exploded < kSxfFigureGroups) {
      f.group = ++plan.exploded;
      if (!sim.Explode(i, f)) kept.push_back(plan.figures.size());
    } else {
      ++plan.figuresLeft;
    }
    plan.figures.push_back(std::move(f));
  }
  for (int pass = 0; pass < kSxfFigureGroups && !kept.empty(); ++pass) {
    int64_t before = 0, after = 0;
    for (const SxfFigurePlan& f : plan.figures) before = Add(before, f.placements);
    std::erase_if(kept, [&](size_t k) {
      SxfFigurePlan& f = plan.figures[k];
      return sim.Explode(f.definition, f);
    });
    for (const SxfFigurePlan& f : plan.figures) after = Add(after, f.placements);
    if (after == before) break;
  }
  for (size_t k : kept) plan.figures[k].kept = true;
  // Figures past the fifteenth keep their members in any case.
  for (SxfFigurePlan& f : plan.figures) {
    if (f.group == 0) f.kept = true;
    plan.placements = Add(plan.placements, f.placements);
    plan.copies = Add(plan.copies, f.copies);
  }
  CountTreePlacements(doc, plan);
  return plan;
}

}  // namespace jww
