// SPDX-License-Identifier: GPL-3.0-or-later
#include "jww/sxf_explode.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string_view>
#include <unordered_map>

#include "jww/entity_append.h"
#include "jww/sxf_plan.h"
#include "jww/walk.h"
#include "util/encoding.h"
#include "util/geometry.h"
#include "util/text.h"

namespace jww {

namespace {

constexpr int kFigureGroups = 15;  // layer groups 1 … 15 take the figures

bool IsBlankLayerName(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char16_t c) { return c < 0x20 || c == u' ' || c == u'\u3000'; });
}

void AddWarning(ExplodeReport& r, std::string text) {
  if (std::find(r.warnings.begin(), r.warnings.end(), text) == r.warnings.end()) {
    r.warnings.push_back(std::move(text));
  }
}

// Nested insertions re-placed at the top level whose composed transform
// shears: an insertion cannot carry a shear, so the exact transform is kept
// here (by index into EntBlock) for when that figure is exploded in turn.
using ExactPlacements = std::unordered_map<int32_t, util::Affine>;

struct ExplodeState {
  ExplodeReport& report;
  ExactPlacements exact;
};

bool ReplaceNested(TJwwData& doc, const TEntJwwBlock& ins, const TPlacement& t, ExplodeReport& r,
                   ExactPlacements* exact);

// The placement of one top-level insertion of a figure. Scales of (almost)
// zero count as 1, as Jw_cad draws them.
TPlacement FigurePlacement(const TEntJwwBlock& p, int32_t gLayerNo) {
  TEntJwwBlock drawn = p;
  if (std::fabs(drawn.dBairitsuX) < 1e-8) drawn.dBairitsuX = 1.0;
  if (std::fabs(drawn.dBairitsuY) < 1e-8) drawn.dBairitsuY = 1.0;
  TPlacement t;
  static_cast<util::Affine&>(t) = InsertionTransform(drawn);
  t.keepLayer = (p.att.nPenStyle & kKeepLayerBit) != 0;
  t.layer = p.att.nLayer;
  t.gLayer = static_cast<uint16_t>(gLayerNo);
  return t;
}

template <typename T>
const T* Member(const std::vector<T>& a, int32_t count, int32_t index) {
  if (index < 0 || index >= count || static_cast<size_t>(index) >= a.size()) return nullptr;
  return &a[index];
}

template <typename T>
T InGroup(T m, uint16_t g) {
  m.att.nGLayer = g;
  return m;
}

TEntJwwSunpo InGroup(TEntJwwSunpo m, uint16_t g) {
  for (TEntJwwAttr* a : {&m.att, &m.Sen.att, &m.Moji.att, &m.Ho1.att, &m.Ho2.att, &m.Te1.att,
                         &m.Te2.att, &m.Kt1.att, &m.Kt2.att}) {
    a->nGLayer = g;
  }
  return m;
}

enum class MemberResult { kAppended, kSkipped, kFailed };

// One member of the figure, moved into the figure's layer group and appended
// under the placement. The definition itself is left as it is.
MemberResult ExplodeMember(TJwwData& doc, const TEntJwwBlockDef& d, TEntJwwNo entry,
                           const TPlacement& t, ExplodeState& st) {
  const uint16_t g = t.gLayer;
  bool ok = true;
  switch (entry.EntType) {
    case kLine:
      if (auto* m = Member(d.mLine, d.mLineN, entry.EntNo)) {
        ok = doc.BlockExplodeLine(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kEnko:
      if (auto* m = Member(d.mEnko, d.mEnkoN, entry.EntNo)) {
        ok = doc.BlockExplodeEnko(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kTen:
      if (auto* m = Member(d.mTen, d.mTenN, entry.EntNo)) {
        ok = doc.BlockExplodeTen(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kMoji:
      if (auto* m = Member(d.mMoji, d.mMojiN, entry.EntNo)) {
        ok = doc.BlockExplodeMoji(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kSunpo:
      if (auto* m = Member(d.mSunpo, d.mSunpoN, entry.EntNo)) {
        ok = doc.BlockExplodeSunpo(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kSolid:
      if (auto* m = Member(d.mSolid, d.mSolidN, entry.EntNo)) {
        ok = doc.BlockExplodeSolid(InGroup(*m, g), t);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    case kBlock:
      if (auto* m = Member(d.mBlock, d.mBlockN, entry.EntNo)) {
        ok = ReplaceNested(doc, InGroup(*m, g), t, st.report, &st.exact);
      } else {
        return MemberResult::kSkipped;
      }
      break;
    default:
      return MemberResult::kSkipped;
  }
  return ok ? MemberResult::kAppended : MemberResult::kFailed;
}

// Whether definition `d` is still placed: from the drawing's draw order, or
// from any other definition that keeps its members.
bool IsStillPlaced(const TJwwData& doc, int32_t d) {
  const uint32_t number = doc.EntBlockDef[d].nNumber;
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    const TEntJwwNo e = doc.EntNo[i];
    if (e.EntType == kBlock && e.EntNo >= 0 && e.EntNo < doc.EntBlockN &&
        doc.EntBlock[e.EntNo].nNumber == number) {
      return true;
    }
  }
  for (int32_t j = 0; j < doc.EntBlockDefN; ++j) {
    const TEntJwwBlockDef& other = doc.EntBlockDef[j];
    if (j == d || other.N == 0) continue;
    const int32_t nested =
        std::min<int32_t>(other.mBlockN, static_cast<int32_t>(other.mBlock.size()));
    for (int32_t b = 0; b < nested; ++b) {
      if (other.mBlock[b].nNumber == number) return true;
    }
  }
  return false;
}

void EmptyDefinition(TEntJwwBlockDef& def) {
  def.strName.clear();
  def.N = 0;
  def.mLineN = def.mEnkoN = def.mTenN = def.mMojiN = def.mSunpoN = def.mSolidN = def.mBlockN = 0;
  std::vector<TEntJwwNo>().swap(def.mNo);
  std::vector<TEntJwwLine>().swap(def.mLine);
  std::vector<TEntJwwEnko>().swap(def.mEnko);
  std::vector<TEntJwwTen>().swap(def.mTen);
  std::vector<TEntJwwMoji>().swap(def.mMoji);
  std::vector<TEntJwwSunpo>().swap(def.mSunpo);
  std::vector<TEntJwwSolid>().swap(def.mSolid);
  std::vector<TEntJwwBlock>().swap(def.mBlock);
}

int32_t FindFigure(const TJwwData& doc, const std::u16string& name) {
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[i];
    if (def.N != 0 && def.strName == name) return i;
  }
  return -1;
}

// Explodes every top-level placement of definition `d` into layer group
// gLayerNo, then empties the definition unless it is still placed elsewhere.
// Returns false when the definition had to be kept because it is still placed.
// A drawing without any insertion is left exactly as it is.
bool ExplodeFigure(TJwwData& doc, int32_t gLayerNo, int32_t d, ExplodeState& st) {
  if (doc.EntBlockN == 0) return true;
  ExplodeReport& r = st.report;
  const TEntJwwBlockDef& def = doc.EntBlockDef[d];
  const std::string figureName = util::ToUtf8(def.strName);
  ReserveForAppends(doc, true);

  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  const int32_t members = std::min<int32_t>(def.N, static_cast<int32_t>(def.mNo.size()));
  bool failed = false;
  for (int32_t i = 0; i < n && !failed; ++i) {
    const TEntJwwNo e = doc.EntNo[i];
    if (e.EntType != kBlock || e.EntNo < 0 || e.EntNo >= doc.EntBlockN) continue;
    const TEntJwwBlock p = doc.EntBlock[e.EntNo];
    if (p.nNumber != def.nNumber) continue;

    TPlacement t = FigurePlacement(p, gLayerNo);
    if (auto it = st.exact.find(e.EntNo); it != st.exact.end()) {
      static_cast<util::Affine&>(t) = it->second;
    }
    if (static_cast<size_t>(gLayerNo) < doc.EntLgrp.size()) {
      doc.EntLgrp[gLayerNo].adScale =
          std::fabs(1.0 / (std::fabs(p.dBairitsuX) < 1e-8 ? 1.0 : p.dBairitsuX));
    }
    int copies = 0;
    for (int32_t k = 0; k < members; ++k) {
      MemberResult res = ExplodeMember(doc, def, def.mNo[k], t, st);
      if (res == MemberResult::kFailed) {
        failed = true;
        break;
      }
      if (res == MemberResult::kAppended) ++copies;
    }
    r.copies += copies;
    if (failed) {
      r.outOfMemory = true;
      AddWarning(r, "SXF figure " + figureName +
                        ": out of memory; a placement and the ones after it were kept as blocks");
      break;
    }
    doc.EntNo[i] = TEntJwwNo{kNone, 0};
    ++r.placements;
  }
  TrimToCounts(doc);

  // Geometry must not vanish: a figure still placed from a definition that is
  // not exploded (or from a placement that failed) keeps its members.
  if (IsStillPlaced(doc, d)) return false;
  EmptyDefinition(doc.EntBlockDef[d]);
  return true;
}

void WarnKept(const TJwwData& doc, int32_t d, ExplodeReport& r) {
  AddWarning(r, "SXF figure " + util::ToUtf8(doc.EntBlockDef[d].strName) +
                    " is still placed inside another block; its definition was kept");
}

std::string ShearWarning(uint32_t number) {
  return "a nested block placement (block number " + std::to_string(number) +
         ") is sheared by its figure's placement; it was placed without the shear";
}

// A sheared re-placement is exact once its figure is exploded in turn; one
// that stays visible (a user block, or a figure beyond the 15 groups) is not.
void WarnShearedStillPlaced(const TJwwData& doc, const ExplodeState& st) {
  if (st.exact.empty()) return;
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t i = 0; i < n; ++i) {
    const TEntJwwNo e = doc.EntNo[i];
    if (e.EntType == kBlock && st.exact.count(e.EntNo)) {
      AddWarning(st.report, ShearWarning(doc.EntBlock[e.EntNo].nNumber));
    }
  }
}

}  // namespace

void DataTransJWW1(TJwwData& doc) {
  const size_t groups = std::min<size_t>(kLayerGroups, doc.EntLgrp.size());
  for (size_t g = 0; g < groups; ++g) {
    TEntJwwLayerGroup& lg = doc.EntLgrp[g];
    lg.anGLay = g == 0 ? 3 : 2;
    lg.anWriteLay = 0;
    lg.anGLayProtect = 0;
  }
  const size_t layers = std::min<size_t>(kLayers, doc.EntLay.size());
  for (size_t i = 0; i < layers; ++i) {
    TEntJwwLayer& lay = doc.EntLay[i];
    lay.aanLay = i % 16 == 0 ? 3 : 2;
    lay.aanLayProtect = 0;
    if (i >= 16 && IsBlankLayerName(lay.aStrLayName))
      lay.aStrLayName = doc.EntLay[i % 16].aStrLayName;
  }
}

void DataTransJWW2(TJwwData& doc, ExplodeReport& report) {
  struct Kept {
    int32_t def;
    int32_t group;
  };
  std::vector<Kept> kept;
  ExplodeState st{report, {}};
  int found = 0;
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) {
    const TEntJwwBlockDef& def = doc.EntBlockDef[i];
    if (def.N == 0 || !IsSxfFigureName(def.strName)) continue;
    ++found;
    if (report.figures >= kFigureGroups) continue;
    ++report.figures;
    // By index, not by name: two figures may share a name, and a figure kept
    // because it is still placed elsewhere must not be found a second time.
    if (!ExplodeFigure(doc, report.figures, i, st)) kept.push_back({i, report.figures});
  }
  // A figure placed inside a later figure was kept; exploding the later one
  // re-placed it at the top level, so it gets another turn. Figures placing
  // each other in a ring cannot settle: the passes are bounded.
  for (int pass = 0; pass < kFigureGroups && !kept.empty(); ++pass) {
    const int before = report.placements;
    std::erase_if(kept, [&](const Kept& k) { return ExplodeFigure(doc, k.group, k.def, st); });
    if (report.placements == before) break;
  }
  for (const Kept& k : kept) WarnKept(doc, k.def, report);
  WarnShearedStillPlaced(doc, st);
  if (found > kFigureGroups) {
    report.figuresLeft = found - kFigureGroups;
    report.warnings.push_back(std::to_string(found) + " SXF figures found; only the first " +
                              std::to_string(kFigureGroups) + " were exploded");
  }
}

ExplodeReport DataTransJWW(TJwwData& doc) {
  ExplodeReport report;
  DataTransJWW1(doc);
  DataTransJWW2(doc, report);
  doc.MakeBlockTree();
  return report;
}

bool Block1Explode(TJwwData& doc, int32_t gLayerNo, const std::u16string& name, ExplodeReport& r) {
  if (doc.EntBlockN == 0) return true;
  const int32_t d = FindFigure(doc, name);
  if (d < 0) return false;
  ExplodeState st{r, {}};
  if (!ExplodeFigure(doc, gLayerNo, d, st)) WarnKept(doc, d, r);
  WarnShearedStillPlaced(doc, st);
  return true;
}

bool BlockExplodeBlock(TJwwData& doc, const TEntJwwBlock& ins, const TPlacement& t,
                       ExplodeReport& r) {
  return ReplaceNested(doc, ins, t, r, nullptr);
}

namespace {

bool ReplaceNested(TJwwData& doc, const TEntJwwBlock& ins, const TPlacement& t, ExplodeReport& r,
                   ExactPlacements* exact) {
  try {
    const long double c = std::cos(static_cast<long double>(ins.radKaitenKaku));
    const long double s = std::sin(static_cast<long double>(ins.radKaitenKaku));
    // Images of the nested insertion's scaled x and y axes: the columns of the
    // composed linear part.
    const long double ax = t.m11 * c * ins.dBairitsuX + t.m12 * s * ins.dBairitsuX;
    const long double ay = t.m21 * c * ins.dBairitsuX + t.m22 * s * ins.dBairitsuX;
    const long double bx = -t.m11 * s * ins.dBairitsuY + t.m12 * c * ins.dBairitsuY;
    const long double by = -t.m21 * s * ins.dBairitsuY + t.m22 * c * ins.dBairitsuY;
    const long double lenA = std::sqrt(ax * ax + ay * ay);
    const long double lenB = std::sqrt(bx * bx + by * by);
    const long double det = ax * by - ay * bx;
    // An insertion is a rotation after axis scales: it can mirror (negative y
    // scale) but not shear.
    const bool sheared = std::fabs(ax * bx + ay * by) > 1e-9L * lenA * lenB;
    if (sheared && !exact) AddWarning(r, ShearWarning(ins.nNumber));

    TEntJwwBlock copy = ins;
    ApplyLayerRule(copy.att, t);
    const util::DPoint ref = util::TransPoint(ToAffine(t), ins.DPKijunTen_x, ins.DPKijunTen_y);
    copy.DPKijunTen_x = ref.x;
    copy.DPKijunTen_y = ref.y;
    copy.dBairitsuX = static_cast<double>(lenA);
    copy.dBairitsuY = static_cast<double>(det < 0 ? -lenB : lenB);
    copy.radKaitenKaku = util::VecAngle(static_cast<double>(ax), static_cast<double>(ay));
    const int32_t index = doc.EntBlockN;
    if (!AppendEntity(doc, doc.EntBlock, doc.EntBlockN, kBlock, std::move(copy))) return false;
    if (sheared && exact) {
      (*exact)[index] = util::Affine{ref.x,
                                     ref.y,
                                     static_cast<double>(ax),
                                     static_cast<double>(bx),
                                     static_cast<double>(ay),
                                     static_cast<double>(by)};
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

}  // namespace jww
