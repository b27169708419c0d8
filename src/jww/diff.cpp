// SPDX-License-Identifier: GPL-3.0-or-later
// Entity matching of two drawings by spatial hashing (see diff.h).
#include "jww/diff.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <tuple>

#include "jww/block_numbers.h"
#include "jww/walk.h"
#include "util/encoding.h"

namespace jww {
namespace {

using util::Affine;
using util::DPoint;

// Cells narrower than this would overflow the cell numbers of large
// coordinates; a smaller tolerance still compares with its own value.
constexpr double kMinCellMm = 1e-9;
// Angles, scales and other unitless attributes agree within this.
constexpr double kUnitlessTolerance = 1e-9;

// One entity as the comparison sees it.
struct Item {
  EntityRecord record;
  int32_t node = -1;  // placing tree node, -1 at the top level or in a definition
  int32_t kind = kNone;
  uint16_t gLayer = 0, layer = 0;
  DPoint anchor;  // on the sheet, orientation-free
};

struct Geometry {
  std::array<DPoint, 4> p{};
  int n = 0;
  // The last two points may come either way round: the ends of a line, or
  // of an arc that a mirroring placement turned.
  bool unordered = false;
  bool middle = false;  // anchored at the middle of its points, not the first
  // A whole circle: known by its centre and radius alone, whatever angle
  // its record starts at.
  bool circle = false;
};

std::string Num(double v) {
  std::array<char, 32> buf;
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), r.ptr);
}
std::string Num(int64_t v) { return std::to_string(v); }

// A point of the elliptic arc (radius r, flattening k, tilt) at parameter th.
DPoint OnEllipse(double cx, double cy, double r, double k, double tilt, double th) {
  const double u = r * std::cos(th), v = r * k * std::sin(th);
  return {cx + std::cos(tilt) * u - std::sin(tilt) * v,
          cy + std::sin(tilt) * u + std::cos(tilt) * v};
}

void ArcGeometry(Geometry& g, double cx, double cy, double r, double k, double tilt, double start,
                 double sweep, bool full) {
  if (full) {
    // Known by the centre and the ends of one axis, which a tilt turned by
    // half a turn swaps; its flattening is compared as an attribute.
    g.circle = std::fabs(k - 1) <= kUnitlessTolerance;
    g.n = 3;
    g.unordered = true;
    g.p = {DPoint{cx, cy}, OnEllipse(cx, cy, r, k, tilt, 0),
           OnEllipse(cx, cy, r, k, tilt, std::numbers::pi)};
    return;
  }
  g.n = 4;
  g.unordered = true;
  g.p = {DPoint{cx, cy}, OnEllipse(cx, cy, r, k, tilt, start + sweep / 2),
         OnEllipse(cx, cy, r, k, tilt, start), OnEllipse(cx, cy, r, k, tilt, start + sweep)};
}

// The points of an entity in its record's coordinates. A placed text is
// known by both ends: a mirroring placement turns it end for end.
Geometry LocalGeometry(const Item& it, bool placed) {
  Geometry g;
  auto two = [&](double x1, double y1, double x2, double y2) {
    g.n = 2;
    g.unordered = true;
    g.middle = true;
    g.p[0] = {x1, y1};
    g.p[1] = {x2, y2};
  };
  std::visit(
      [&](const auto* r) {
        using T = std::remove_cvref_t<decltype(*r)>;
        if constexpr (std::is_same_v<T, TEntJwwLine>) {
          two(r->start_x, r->start_y, r->end_x, r->end_y);
        } else if constexpr (std::is_same_v<T, TEntJwwEnko>) {
          ArcGeometry(g, r->start_x, r->start_y, r->dHankei, r->dHenpeiRitsu, r->radKatamukiKaku,
                      r->radKaishiKaku, r->radEnkoKaku, r->bZenEnFlg != 0);
        } else if constexpr (std::is_same_v<T, TEntJwwSunpo>) {
          two(r->Sen.start_x, r->Sen.start_y, r->Sen.end_x, r->Sen.end_y);
        } else if constexpr (std::is_same_v<T, TEntJwwSolid>) {
          if (r->att.nPenStyle >= 101) {
            // An arc solid: centre, radius, flattening, tilt, start, sweep.
            ArcGeometry(g, r->start_x, r->start_y, r->end_x, r->end_y, r->DPoint2_x, r->DPoint2_y,
                        r->DPoint3_x, false);
          } else {
            g.n = 4;
            g.middle = true;
            g.p = {DPoint{r->start_x, r->start_y}, DPoint{r->end_x, r->end_y},
                   DPoint{r->DPoint2_x, r->DPoint2_y}, DPoint{r->DPoint3_x, r->DPoint3_y}};
          }
        } else if constexpr (std::is_same_v<T, TEntJwwBlock>) {
          g.n = 1;
          g.p[0] = {r->DPKijunTen_x, r->DPKijunTen_y};
        } else if constexpr (std::is_same_v<T, TEntJwwMoji>) {
          if (placed) {
            two(r->start_x, r->start_y, r->end_x, r->end_y);
          } else {
            g.n = 1;
            g.p[0] = {r->start_x, r->start_y};
          }
        } else {  // points: where they stand
          g.n = 1;
          g.p[0] = {r->start_x, r->start_y};
        }
      },
      it.record);
  return g;
}

Geometry SheetGeometry(const Item& it, const Affine* t, bool placed) {
  Geometry g = LocalGeometry(it, placed);
  if (t != nullptr)
    for (int i = 0; i < g.n; ++i) g.p[i] = util::TransPoint(*t, g.p[i]);
  if (g.circle) {
    const double r = util::PointDist(g.p[0], g.p[1]);
    g.p[1] = {g.p[0].x + r, g.p[0].y};
    g.n = 2;
    g.unordered = false;
  }
  return g;
}

DPoint AnchorOf(const Geometry& g) {
  DPoint a{0, 0};
  if (!g.middle) return g.p[0];
  for (int i = 0; i < g.n; ++i) {  // the same whichever way round
    a.x += g.p[i].x / g.n;
    a.y += g.p[i].y / g.n;
  }
  return a;
}

bool Near(DPoint a, DPoint b, double tol) {
  return std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol;
}

bool SameGeometry(const Geometry& a, const Geometry& b, double tol) {
  if (a.n != b.n) return false;
  bool same = true;
  for (int i = 0; i < a.n && same; ++i) same = Near(a.p[i], b.p[i], tol);
  if (same || !a.unordered) return same;
  const int n = a.n;
  for (int i = 0; i < n - 2; ++i)
    if (!Near(a.p[i], b.p[i], tol)) return false;
  return Near(a.p[n - 2], b.p[n - 1], tol) && Near(a.p[n - 1], b.p[n - 2], tol);
}

// Collects the attributes that differ; with no list, stops at the first.
class FieldCompare {
 public:
  FieldCompare(std::vector<FieldChange>* out, double tol) : out_(out), tol_(tol) {}
  bool differs = false;
  bool done() const { return differs && out_ == nullptr; }

  void Int(const char* name, int64_t a, int64_t b) {
    if (a != b) Note(name, Num(a), Num(b));
  }
  void Real(const char* name, double a, double b, bool mm = true) {
    const double tol = mm ? tol_ : kUnitlessTolerance;
    if (!(std::fabs(a - b) <= tol) && !(a == b)) Note(name, Num(a), Num(b));
  }
  void Str(const char* name, const std::u16string& a, const std::u16string& b) {
    if (a != b) Note(name, util::ToUtf8(a), util::ToUtf8(b));
  }
  void Note(const char* name, std::string a, std::string b) {
    differs = true;
    if (out_ != nullptr) out_->push_back({name, std::move(a), std::move(b)});
  }

 private:
  std::vector<FieldChange>* out_;
  double tol_;
};

void CompareAttr(FieldCompare& f, const TEntJwwAttr& a, const TEntJwwAttr& b) {
  f.Int("colour", a.nPenColor, b.nPenColor);
  f.Int("line type", a.nPenStyle, b.nPenStyle);
  f.Int("width", a.nPenWidth, b.nPenWidth);
  f.Int("flags", a.sFlg, b.sFlg);
}

// What one side names a block definition by (its number is only the file's).
struct Side {
  Side(const TJwwData& d, const std::vector<Affine>* t)
      : doc(&d), transforms(t), byNumber(FirstDefinitionByNumber(d)) {}
  const TJwwData* doc;
  const std::vector<Affine>* transforms;  // by tree node
  std::unordered_map<uint32_t, int32_t> byNumber;
  std::u16string BlockName(uint32_t number) const {
    auto it = byNumber.find(number);
    return it != byNumber.end() ? doc->EntBlockDef[it->second].strName
                                : u"#" + util::FromUtf8(std::to_string(number));
  }
  const Affine* TransformOf(int32_t node) const {
    return node >= 0 && transforms != nullptr ? &(*transforms)[node] : nullptr;
  }
};

// The attributes of two entities of one kind at one place. Placed copies
// keep their records' sizes and angles, which the placement changes: those
// are compared as stored only.
void CompareRecords(FieldCompare& f, const Item& a, const Item& b, const Side& sa, const Side& sb,
                    bool placed) {
  if (a.gLayer != b.gLayer) f.Int("layer group", a.gLayer, b.gLayer);
  if (a.layer != b.layer) f.Int("layer", a.layer, b.layer);
  std::visit(
      [&](const auto* ra) {
        using T = std::remove_cvref_t<decltype(*ra)>;
        const T* rb = *std::get_if<const T*>(&b.record);
        CompareAttr(f, ra->att, rb->att);
        if constexpr (std::is_same_v<T, TEntJwwEnko>) {
          if (!placed && ra->bZenEnFlg != 0)
            f.Real("flattening", ra->dHenpeiRitsu, rb->dHenpeiRitsu, false);
        } else if constexpr (std::is_same_v<T, TEntJwwTen>) {
          f.Int("temporary", ra->bKariten, rb->bKariten);
          f.Int("code", ra->nCode, rb->nCode);
          if (!placed) {
            f.Real("angle", ra->radKaitenKaku, rb->radKaitenKaku, false);
            f.Real("scale", ra->dBairitsu, rb->dBairitsu, false);
          }
        } else if constexpr (std::is_same_v<T, TEntJwwMoji>) {
          f.Str("text", ra->str, rb->str);
          f.Str("font", ra->strFontName, rb->strFontName);
          if (!placed) {
            f.Int("text type", ra->nMojiShu, rb->nMojiShu);
            f.Real("width of a character", ra->dSizeX, rb->dSizeX);
            f.Real("height of a character", ra->dSizeY, rb->dSizeY);
            f.Real("spacing", ra->dKankaku, rb->dKankaku);
            f.Real("angle", ra->degKakudo, rb->degKakudo, false);
          }
        } else if constexpr (std::is_same_v<T, TEntJwwSunpo>) {
          f.Str("text", ra->Moji.str, rb->Moji.str);
          CompareAttr(f, ra->Moji.att, rb->Moji.att);
          f.Int("SXF mode", ra->bSxfMode, rb->bSxfMode);
          if (!placed) {
            f.Real("text x", ra->Moji.start_x, rb->Moji.start_x);
            f.Real("text y", ra->Moji.start_y, rb->Moji.start_y);
          }
        } else if constexpr (std::is_same_v<T, TEntJwwSolid>) {
          if (ra->att.nPenColor == 10 || rb->att.nPenColor == 10)
            f.Int("fill colour", ra->Color & 0xFFFFFF, rb->Color & 0xFFFFFF);
        } else if constexpr (std::is_same_v<T, TEntJwwBlock>) {
          f.Str("block", sa.BlockName(ra->nNumber), sb.BlockName(rb->nNumber));
          f.Real("scale x", ra->dBairitsuX, rb->dBairitsuX, false);
          f.Real("scale y", ra->dBairitsuY, rb->dBairitsuY, false);
          f.Real("angle", ra->radKaitenKaku, rb->radKaitenKaku, false);
        }
      },
      a.record);
}

// The entities of one side, with the transforms of the tree nodes.
struct Collection {
  std::vector<Item> items;
  std::vector<Affine> transforms;
};

void AddItem(Collection& c, EntityRecord record, int32_t kind, int32_t node, uint16_t g, uint16_t l,
             bool placed) {
  Item it{record, node, kind, g, l, {}};
  it.anchor = AnchorOf(SheetGeometry(it, node >= 0 ? &c.transforms[node] : nullptr, placed));
  c.items.push_back(it);
}

Collection CollectDrawing(const TJwwData& doc, bool placed, bool& cut) {
  Collection c;
  c.transforms.resize(static_cast<size_t>(std::max(doc.EntBlockTreeN, 0)));
  c.items.reserve(static_cast<size_t>(doc.EntNo.size()));
  const WalkSummary s = WalkPlacedDrawing(doc, [&](const PlacedEntity& e) {
    const int32_t node = e.chain.empty() ? -1 : e.chain.back();
    if (placed ? e.kind == kBlock : node >= 0) return;
    if (node >= 0 && static_cast<size_t>(node) < c.transforms.size() && e.placement != nullptr)
      c.transforms[node] = *e.placement;
    AddItem(c, e.record, e.kind, static_cast<size_t>(node) < c.transforms.size() ? node : -1,
            e.gLayer, e.layer, placed);
  });
  cut = cut || (placed && s.cut);
  return c;
}

template <typename T>
const T* Member(const std::vector<T>& a, int32_t n, int32_t i) {
  return i >= 0 && i < n && static_cast<size_t>(i) < a.size() ? &a[i] : nullptr;
}

// A definition's members in their own coordinates.
Collection CollectMembers(const TEntJwwBlockDef& d) {
  Collection c;
  const size_t n = std::min(d.mNo.size(), static_cast<size_t>(std::max(d.N, 0)));
  for (size_t k = 0; k < n; ++k) {
    const int32_t i = d.mNo[k].EntNo;
    auto add = [&](const auto* r) {
      if (r != nullptr) AddItem(c, r, d.mNo[k].EntType, -1, r->att.nGLayer, r->att.nLayer, false);
    };
    switch (d.mNo[k].EntType) {
      case kLine:
        add(Member(d.mLine, d.mLineN, i));
        break;
      case kEnko:
        add(Member(d.mEnko, d.mEnkoN, i));
        break;
      case kTen:
        add(Member(d.mTen, d.mTenN, i));
        break;
      case kMoji:
        add(Member(d.mMoji, d.mMojiN, i));
        break;
      case kSunpo:
        add(Member(d.mSunpo, d.mSunpoN, i));
        break;
      case kSolid:
        add(Member(d.mSolid, d.mSolidN, i));
        break;
      case kBlock:
        add(Member(d.mBlock, d.mBlockN, i));
        break;
      default:
        break;
    }
  }
  return c;
}

// The spatial hash of the entities of one side still unmatched: a bucket
// per cell (open hashing, chained), the cells one tolerance wide.
class CellIndex {
 public:
  explicit CellIndex(double cell) : cell_(cell) {}
  void Build(const std::vector<Item>& items, const std::vector<bool>& used) {
    size_t n = 0;
    for (size_t i = 0; i < items.size(); ++i) n += !used[i];
    size_t buckets = 16;
    while (buckets < 2 * n) buckets *= 2;
    mask_ = buckets - 1;
    head_.assign(buckets, -1);
    entries_.clear();
    entries_.reserve(n);
    for (size_t i = items.size(); i-- > 0;) {
      if (used[i]) continue;
      const size_t b = Bucket(items[i].kind, CellOf(items[i].anchor.x), CellOf(items[i].anchor.y));
      entries_.push_back({static_cast<int32_t>(i), head_[b]});
      head_[b] = static_cast<int32_t>(entries_.size() - 1);
    }
  }
  int64_t CellOf(double v) const {
    const double c = std::floor(v / cell_);
    return std::isfinite(c) ? static_cast<int64_t>(std::clamp(c, -9e18, 9e18)) : 0;
  }
  // Calls f(index) for every item in the bucket of (kind, cx, cy), until it
  // returns true.
  template <typename F>
  bool ForBucket(int32_t kind, int64_t cx, int64_t cy, F&& f) const {
    for (int32_t e = head_[Bucket(kind, cx, cy)]; e >= 0; e = entries_[e].next)
      if (f(entries_[e].item)) return true;
    return false;
  }

 private:
  size_t Bucket(int32_t kind, int64_t cx, int64_t cy) const {
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(kind) * 0x165667B19E3779F9ull;
    h ^= h >> 29;
    return static_cast<size_t>(h) & mask_;
  }
  struct Entry {
    int32_t item, next;
  };
  double cell_;
  size_t mask_ = 0;
  std::vector<int32_t> head_;
  std::vector<Entry> entries_;
};

class Matcher {
 public:
  Matcher(const Collection& before, const Collection& after, const Side& sb, const Side& sa,
          const DiffOptions& o)
      : b_(before),
        a_(after),
        sb_(sb),
        sa_(sa),
        o_(o),
        tol_(std::max(o.toleranceMm, 0.0)),
        index_(std::max(tol_, kMinCellMm)),
        usedBefore_(before.items.size(), false),
        partner_(after.items.size(), -1) {}

  // First the entities that stand where they stood in the file's order and
  // did not change (most of a revision, found without the hash); then, in
  // the hash of the rest, pass 1: same layer, same attributes; pass 2: same
  // layer; pass 3: any.
  void Run() {
    const int32_t na = static_cast<int32_t>(a_.items.size());
    const int32_t nb = static_cast<int32_t>(b_.items.size());
    for (int32_t i = 0, j = 0; i < na && j < nb; ++i) {
      if (Pair(i, j, 0)) {
        ++j;
      } else if (j + 1 < nb && Pair(i, j + 1, 0)) {
        j += 2;  // before-item j was removed or moved
      } else if (!(i + 1 < na && Matches(i + 1, j, 0))) {
        ++j;  // item i was added, or j changed where i is: go on in step
      }
    }
    index_.Build(b_.items, usedBefore_);
    for (int pass = 0; pass < 3; ++pass)
      for (size_t i = 0; i < a_.items.size(); ++i)
        if (partner_[i] < 0) Find(static_cast<int32_t>(i), pass);
  }

  void Report(std::vector<EntityDiff>* out, DiffCounts& counts) const {
    for (size_t i = 0; i < a_.items.size(); ++i) {
      const Item& it = a_.items[i];
      if (partner_[i] < 0) {
        ++counts.added;
        if (out) out->push_back(Entry(EntityChange::kAdded, nullptr, &it, {}));
        continue;
      }
      const Item& old = b_.items[partner_[i]];
      std::vector<FieldChange> fields;
      FieldCompare f(out ? &fields : nullptr, tol_);
      CompareRecords(f, old, it, sb_, sa_, o_.placed);
      if (!f.differs) {
        ++counts.same;
        continue;
      }
      ++counts.changed;
      if (out) out->push_back(Entry(EntityChange::kChanged, &old, &it, std::move(fields)));
    }
    for (size_t i = 0; i < b_.items.size(); ++i) {
      if (usedBefore_[i]) continue;
      ++counts.removed;
      if (out) out->push_back(Entry(EntityChange::kRemoved, &b_.items[i], nullptr, {}));
    }
  }

 private:
  EntityDiff Entry(EntityChange c, const Item* before, const Item* after,
                   std::vector<FieldChange> fields) const {
    const Item& it = after ? *after : *before;
    EntityDiff d;
    d.change = c;
    d.kind = it.kind;
    d.gLayer = it.gLayer;
    d.layer = it.layer;
    if (before) d.before = {RecordPointer(before->record), before->node};
    if (after) d.after = {RecordPointer(after->record), after->node};
    d.x = it.anchor.x;
    d.y = it.anchor.y;
    d.fields = std::move(fields);
    return d;
  }

  static const void* RecordPointer(const EntityRecord& r) {
    return std::visit([](const auto* p) { return static_cast<const void*>(p); }, r);
  }

  bool Accepts(const Item& old, const Item& it, int pass) const {
    if (pass < 2 && (old.gLayer != it.gLayer || old.layer != it.layer)) return false;
    if (pass > 0) return true;
    FieldCompare f(nullptr, tol_);
    CompareRecords(f, old, it, sb_, sa_, o_.placed);
    return !f.differs;
  }

  // Whether after-item i and before-item j match in `pass`.
  bool Matches(int32_t i, int32_t j, int pass, const Geometry* g = nullptr) const {
    if (usedBefore_[j]) return false;
    const Item& it = a_.items[i];
    const Item& old = b_.items[j];
    if (old.kind != it.kind || !Near(old.anchor, it.anchor, tol_)) return false;
    const Geometry mine = g ? *g : SheetGeometry(it, sa_.TransformOf(it.node), o_.placed);
    if (!SameGeometry(SheetGeometry(old, sb_.TransformOf(old.node), o_.placed), mine, tol_))
      return false;
    return Accepts(old, it, pass);
  }

  // Pairs after-item i with before-item j when they match in `pass`.
  bool Pair(int32_t i, int32_t j, int pass, const Geometry* g = nullptr) {
    if (partner_[i] >= 0 || !Matches(i, j, pass, g)) return false;
    usedBefore_[j] = true;
    partner_[i] = j;
    return true;
  }

  // Looks for a partner of after-item i among the cells around its anchor:
  // its own cell first, the eight around it only when that has none.
  void Find(int32_t i, int pass) {
    const Item& it = a_.items[i];
    const Geometry g = SheetGeometry(it, sa_.TransformOf(it.node), o_.placed);
    const int64_t cx = index_.CellOf(it.anchor.x), cy = index_.CellOf(it.anchor.y);
    auto tryOne = [&](int32_t j) { return Pair(i, j, pass, &g); };
    if (index_.ForBucket(it.kind, cx, cy, tryOne)) return;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if ((dx != 0 || dy != 0) && index_.ForBucket(it.kind, cx + dx, cy + dy, tryOne)) return;
  }

  const Collection& b_;
  const Collection& a_;
  const Side& sb_;
  const Side& sa_;
  const DiffOptions& o_;
  double tol_;
  CellIndex index_;
  std::vector<bool> usedBefore_;
  std::vector<int32_t> partner_;
};

DiffCounts Match(const Collection& before, const Collection& after, const Side& sb, const Side& sa,
                 const DiffOptions& o, std::vector<EntityDiff>* out) {
  Matcher m(before, after, sb, sa, o);
  m.Run();
  DiffCounts counts;
  m.Report(out, counts);
  return counts;
}

}  // namespace

void DiffEntities(const TJwwData& before, const TJwwData& after, const DiffOptions& options,
                  DrawingDiff& out) {
  bool cut = false;
  const Collection b = CollectDrawing(before, options.placed, cut);
  const Collection a = CollectDrawing(after, options.placed, cut);
  out.cut = cut;
  const Side sb(before, &b.transforms), sa(after, &a.transforms);
  out.counts = Match(b, a, sb, sa, options, &out.entities);
  std::sort(out.entities.begin(), out.entities.end(), [](const EntityDiff& x, const EntityDiff& y) {
    return std::tie(x.gLayer, x.layer, x.kind, x.change, x.y, x.x) <
           std::tie(y.gLayer, y.layer, y.kind, y.change, y.y, y.x);
  });
}

DiffCounts DiffMembers(const TEntJwwBlockDef& before, const TEntJwwBlockDef& after,
                       const TJwwData& docBefore, const TJwwData& docAfter,
                       const DiffOptions& options) {
  const Collection b = CollectMembers(before), a = CollectMembers(after);
  const Side sb(docBefore, nullptr), sa(docAfter, nullptr);
  DiffOptions stored = options;
  stored.placed = false;
  return Match(b, a, sb, sa, stored, nullptr);
}

bool DrawingDiff::DrawingDiffers() const {
  if (!entities.empty() || !blocks.empty() || !images.empty()) return true;
  return std::any_of(header.begin(), header.end(), [](const HeaderDiff& h) {
    return !h.notCarried && h.field != HeaderField::kVersion;
  });
}

DrawingDiff DiffDrawings(const TJwwData& before, const TJwwData& after,
                         const DiffOptions& options) {
  DrawingDiff d;
  d.versionBefore = before.Enthd.jwVer;
  d.versionAfter = after.Enthd.jwVer;
  DiffEntities(before, after, options, d);
  DiffHeader(before, after, d);
  if (!options.placed) DiffBlockDefinitions(before, after, options, d);
  DiffImages(before, after, d);
  return d;
}

}  // namespace jww
