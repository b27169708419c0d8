// SPDX-License-Identifier: GPL-3.0-or-later
// Entity builders: a drawing made in memory, one entity or block definition
// per call. Each record is made once by a Make… function and appended by
// one generic Append, either to the drawing's own lists or to the member lists
// of a block definition, so the AddEnt… and AddBlk… forms share everything
// but their target.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jww/document.h"
#include "jww/entity_lists.h"
#include "util/text.h"

namespace jww {

namespace {

using Part = TJwwData::TSunpoPart;
using SxfParts = TJwwData::TSunpoSxfParts;

constexpr int32_t kTopLevelStep = 1000;
constexpr int32_t kDefinitionStep = 500;
constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kTinyScale = 1e-10;

// ---- attribute values ----

struct Common {
  int32_t cn, lg, ly, co, tp, wd, fl;
};

uint16_t LayerNumber(int32_t v) { return (v >= 0 && v <= 15) ? static_cast<uint16_t>(v) : 0; }

constexpr uint8_t kSolidArc = 101;  // the style that marks an arc solid

bool IsValidColor(int32_t co) { return (co >= 1 && co <= 10) || (co >= 101 && co <= 356); }

bool IsValidStyle(int32_t tp) {
  return (tp >= 1 && tp <= 9) || (tp >= 11 && tp <= 19) || (tp >= 31 && tp <= 62);
}

uint16_t ValidColor(int32_t co) {
  return IsValidColor(co) ? static_cast<uint16_t>(co) : DefaultPenColor;
}

uint8_t ValidStyle(int32_t tp) {
  return IsValidStyle(tp) ? static_cast<uint8_t>(tp) : DefaultPenStyle;
}

// Widths are stored in 16 bits; a value outside would wrap into another width.
uint16_t Width(int32_t wd) { return static_cast<uint16_t>(std::clamp(wd, 0, 0xFFFF)); }

// Group, layers and width; colour, style and flags are the caller's.
TEntJwwAttr PlacedAttr(const Common& c) {
  TEntJwwAttr a;
  a.lGroup = static_cast<uint32_t>(c.cn);
  a.nGLayer = LayerNumber(c.lg);
  a.nLayer = LayerNumber(c.ly);
  a.nPenWidth = Width(c.wd);
  return a;
}

TEntJwwAttr ValidatedAttr(const Common& c) {
  TEntJwwAttr a = PlacedAttr(c);
  a.nPenColor = ValidColor(c.co);
  a.nPenStyle = ValidStyle(c.tp);
  return a;
}

// ---- option bits ----

struct FlagBit {
  int32_t option;
  uint16_t flag;
};

template <size_t N>
uint16_t TranslateFlags(int32_t fl, const FlagBit (&table)[N]) {
  uint16_t flags = 0;
  for (const FlagBit& b : table) {
    if (fl & b.option) flags |= b.flag;
  }
  return flags;
}

constexpr FlagBit kLineFlags[] = {{1, 0x20}, {2, 0x2000}, {4, 0x800}, {8, 0x8000}, {16, 0x1000}};
// Dimension lines and auxiliary lines: the line table without option 2.
constexpr FlagBit kDimLineFlags[] = {{1, 0x20}, {4, 0x800}, {8, 0x8000}, {16, 0x1000}};
// Option 8 of arcs and points is not a flag: full circle, temporary point.
constexpr FlagBit kArcPointFlags[] = {{1, 0x20}, {2, 0x40}, {4, 0x10}, {16, 0x80}};
constexpr FlagBit kDimPointFlags[] = {{1, 0x20}, {4, 0x10}, {16, 0x80}};
// Solids, block insertions and block definitions.
constexpr FlagBit kSolidFlags[] = {{1, 0x20}, {2, 0x2000}, {4, 0x800}, {8, 0x1000}};
constexpr FlagBit kTextFlags[] = {{2, 0x4010},   {4, 0x20},      {8, 0x40},    {16, 0x80},
                                  {32, 0x100},   {64, 0x200},    {128, 0x400}, {256, 0x1000},
                                  {512, 0x8000}, {1024, 0x2000}, {2048, 0x800}};
// A dimension's text always carries 0x4010; its options count from 4 up.
constexpr FlagBit kDimTextFlags[] = {{4, 0x20},      {8, 0x40},    {16, 0x80},    {32, 0x100},
                                     {64, 0x200},    {128, 0x400}, {256, 0x1000}, {512, 0x8000},
                                     {1024, 0x2000}, {2048, 0x800}};

constexpr uint16_t kDimensionFlag = 0x2000;
constexpr uint16_t kDimTextFlag = 0x4010;
constexpr uint16_t kDimPointFlag = 0x40;

// ---- geometry ----

struct Vec {
  double x = 0, y = 0;
};

Vec Rotate(Vec v, double deg) {
  const double a = deg * kDegToRad;
  const double c = std::cos(a), s = std::sin(a);
  return {v.x * c - v.y * s, v.x * s + v.y * c};
}

// Angle of a vector in radians; 0 for a vector too short to have one.
double VectorAngle(double dx, double dy) {
  if (std::fabs(dx) < 1e-14 && std::fabs(dy) < 1e-14) return 0;
  return std::atan2(dy, dx);
}

double ScaleOrOne(double s) { return s < kTinyScale ? 1.0 : s; }

// ---- texts ----

struct TextSize {
  int32_t ms;
  double pw, ph, pd;
  int32_t co;
};

// Text type ms mod 10000 in 1..10 supplies size, spacing and colour; any
// other type keeps the given values and drops the type digits.
TextSize ApplyTextType(const TJwwData& doc, TextSize t) {
  const int32_t type = t.ms % 10000;
  if (type >= 1 && type <= 10) {
    if (static_cast<size_t>(type) <= doc.EntMoj.size()) {
      const TEntJwwMojiType& m = doc.EntMoj[type - 1];
      t.pw = m.adMojiX;
      t.ph = m.adMojiY;
      t.pd = m.adMojiD;
      t.co = m.anMojiCol;
    }
  } else {
    t.ms -= type;
  }
  return t;
}

bool IsHalfWidth(char32_t c) { return (c >= 0x20 && c <= 0x7E) || (c >= 0xFF61 && c <= 0xFF9F); }

// The printable characters of a text; a surrogate pair is one character.
std::vector<char32_t> PrintableChars(const std::u16string& s) {
  std::vector<char32_t> chars;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c >= 0x20) chars.push_back(c);
  }
  return chars;
}

struct TextExtent {
  double length;  // along the text line
  double cross;   // across it
};

TextExtent MeasureText(const std::u16string& s, const TextSize& t, bool vertical) {
  const std::vector<char32_t> chars = PrintableChars(s);
  const double n = static_cast<double>(chars.size());
  if (vertical) {
    return {n * t.ph + std::max(n - 1, 0.0) * t.pd, t.pw};
  }
  double length = 0;
  for (size_t i = 0; i < chars.size(); ++i) {
    const bool half = IsHalfWidth(chars[i]);
    length += half ? t.pw / 2 : t.pw;
    if (i > 0) length += IsHalfWidth(chars[i - 1]) ? t.pd / 2 : t.pd;
  }
  return {length, t.ph};
}

struct TextLine {
  Vec start, end;
};

// Start and end of a text whose base point `code` (1..9: left, centre, right
// along the line; bottom, middle, top across it) lies at `ref`.
TextLine PlaceText(Vec ref, int32_t code, TextExtent e, double angleDeg) {
  const int col = (code - 1) % 3;
  const int row = (code - 1) / 3;
  const Vec offset = Rotate({-col * e.length / 2, -row * e.cross / 2}, angleDeg);
  const Vec start{ref.x + offset.x, ref.y + offset.y};
  const Vec along = Rotate({e.length, 0}, angleDeg);
  Vec end{start.x + along.x, start.y + along.y};
  if (code == 3) end = ref;  // right-aligned texts end exactly at their point
  return {start, end};
}

int32_t TextStyle(int32_t tp) { return (tp >= 1 && tp <= 9) ? tp : 1; }

struct TextArgs {
  TEntJwwAttr att;  // group and layers; colour, style and width are set here
  int32_t co, tp, wd;
  uint16_t flags;
  TextSize size;
  double pa;
  const std::u16string& pf;
  const std::u16string& ps;
};

TEntJwwMoji MakeText(const TJwwData& doc, TextArgs a, Vec start, Vec end) {
  const TextSize t = ApplyTextType(doc, a.size);
  TEntJwwMoji m;
  m.att = a.att;
  m.att.nPenColor = ValidColor(t.co);
  m.att.nPenStyle = static_cast<uint8_t>(TextStyle(a.tp));
  m.att.nPenWidth = Width(a.wd);
  m.att.sFlg = a.flags;
  m.start_x = start.x;
  m.start_y = start.y;
  m.end_x = end.x;
  m.end_y = end.y;
  m.nMojiShu = static_cast<uint32_t>(t.ms);
  m.dSizeX = t.pw;
  m.dSizeY = t.ph;
  m.dKankaku = t.pd;
  m.degKakudo = a.pa;
  m.strFontName = a.pf;
  m.str = a.ps;
  return m;
}

// Text placed by its base point; the code is the text's style as well.
TEntJwwMoji MakeTextAt(const TJwwData& doc, TextArgs a, Vec ref, bool vertical) {
  a.tp = TextStyle(a.tp);
  a.size = ApplyTextType(doc, a.size);
  const TextLine line = PlaceText(ref, a.tp, MeasureText(a.ps, a.size, vertical), a.pa);
  return MakeText(doc, a, line.start, line.end);
}

TextArgs EntityTextArgs(const Common& c, int32_t ms, double pw, double ph, double pd, double pa,
                        const std::u16string& pf, const std::u16string& ps) {
  return TextArgs{PlacedAttr(c),
                  c.co,
                  c.tp,
                  c.wd,
                  TranslateFlags(c.fl, kTextFlags),
                  TextSize{ms, pw, ph, pd, c.co},
                  pa,
                  pf,
                  ps};
}

// ---- records ----

TEntJwwLine MakeLine(const Common& c, double px1, double py1, double px2, double py2) {
  TEntJwwLine l;
  l.att = ValidatedAttr(c);
  l.att.sFlg = TranslateFlags(c.fl, kLineFlags);
  l.start_x = px1;
  l.start_y = py1;
  l.end_x = px2;
  l.end_y = py2;
  return l;
}

TEntJwwEnko MakeArc(const Common& c, double px, double py, double pr, double ph, double psa,
                    double pda, double pka) {
  TEntJwwEnko e;
  e.att = ValidatedAttr(c);
  e.att.sFlg = TranslateFlags(c.fl, kArcPointFlags);
  const bool full = (c.fl & 8) != 0;
  if (full) {
    psa = 0;
    pda = 360;
  }
  e.start_x = px;
  e.start_y = py;
  e.dHankei = pr;
  e.dHenpeiRitsu = ph;
  e.radKaishiKaku = psa * kDegToRad;
  e.radEnkoKaku = pda * kDegToRad;
  e.radKatamukiKaku = pka * kDegToRad;
  e.bZenEnFlg = full ? 1 : 0;
  return e;
}

int32_t PointCode(int32_t code, int32_t lowest, int32_t highest) {
  return (code >= lowest && code <= highest) ? code : 0;
}

TEntJwwTen MakePoint(const Common& c, double px, double py, double pa, double pb) {
  const bool temporary = (c.fl & 8) != 0;
  const int32_t code = temporary ? 0 : PointCode(c.tp, -7, 11);
  TEntJwwTen t;
  t.att = PlacedAttr(c);
  t.att.nPenColor = ValidColor(c.co);
  t.att.nPenStyle = code != 0 ? 100 : 1;
  t.att.sFlg = TranslateFlags(c.fl, kArcPointFlags);
  t.start_x = px;
  t.start_y = py;
  t.bKariten = temporary ? 1 : 0;
  t.nCode = static_cast<uint32_t>(code);
  t.radKaitenKaku = pa * kDegToRad;
  t.dBairitsu = ScaleOrOne(pb);
  return t;
}

// ---- dimensions ----

struct DimTextArgs {
  int32_t co2, tp2, wd2, fl2, ms;
  double pw, ph, pd, pa;
  const std::u16string& pf;
  const std::u16string& ps;
};

TextArgs DimensionTextArgs(const Common& c, const DimTextArgs& t) {
  return TextArgs{PlacedAttr(c),
                  t.co2,
                  t.tp2,
                  t.wd2,
                  static_cast<uint16_t>(kDimTextFlag | TranslateFlags(t.fl2, kDimTextFlags)),
                  TextSize{t.ms, t.pw, t.ph, t.pd, t.co2},
                  t.pa,
                  t.pf,
                  t.ps};
}

// A part that is not there: the dimension's attribute with style 0 and
// nothing else.
TEntJwwAttr AbsentPartAttr(const TEntJwwAttr& dim) {
  TEntJwwAttr a = dim;
  a.nPenStyle = 0;
  return a;
}

TEntJwwLine MakeAuxLine(const Common& c, const TEntJwwAttr& dim, const Part& p) {
  TEntJwwLine l;
  if (p.ex == 0) {
    l.att = AbsentPartAttr(dim);
    return l;
  }
  l.att = PlacedAttr(c);
  l.att.nPenColor = ValidColor(p.co);
  l.att.nPenStyle = ValidStyle(p.tp);
  l.att.nPenWidth = Width(p.wd);
  l.att.sFlg = kDimensionFlag | TranslateFlags(p.fl, kDimLineFlags);
  l.start_x = p.x1;
  l.start_y = p.y1;
  l.end_x = p.x2;
  l.end_y = p.y2;
  return l;
}

TEntJwwTen MakeDimPoint(const Common& c, const TEntJwwAttr& dim, const Part& p, Vec at,
                        int32_t lowest, int32_t highest) {
  TEntJwwTen t;
  if (p.ex == 0) {
    t.att = AbsentPartAttr(dim);
    return t;
  }
  const int32_t code = (p.fl & 8) ? 0 : PointCode(p.tp, lowest, highest);
  t.att = PlacedAttr(c);
  t.att.nPenColor = ValidColor(p.co);
  t.att.nPenStyle = code != 0 ? 100 : 1;
  t.att.nPenWidth = Width(p.wd);
  t.att.sFlg = kDimPointFlag | TranslateFlags(p.fl, kDimPointFlags);
  t.start_x = at.x;
  t.start_y = at.y;
  t.nCode = static_cast<uint32_t>(code);
  t.dBairitsu = ScaleOrOne(p.pb);
  return t;
}

TEntJwwSunpo MakeDimension(const Common& c, Vec p1, Vec p2, TEntJwwMoji text, const SxfParts* sxf) {
  TEntJwwSunpo d;
  d.att = ValidatedAttr(c);
  d.att.sFlg = kDimensionFlag;
  d.Sen.att = d.att;
  d.Sen.att.sFlg = kDimensionFlag | TranslateFlags(c.fl, kDimLineFlags);
  d.Sen.start_x = p1.x;
  d.Sen.start_y = p1.y;
  d.Sen.end_x = p2.x;
  d.Sen.end_y = p2.y;
  d.Moji = std::move(text);

  if (sxf == nullptr) {
    for (TEntJwwLine* l : {&d.Ho1, &d.Ho2}) l->att = d.att;
    for (TEntJwwTen* t : {&d.Te1, &d.Te2, &d.Kt1, &d.Kt2}) t->att = d.att;
    return d;
  }

  const Part* parts[] = {&sxf->ho1, &sxf->ho2, &sxf->te1, &sxf->te2, &sxf->kt1, &sxf->kt2};
  d.bSxfMode =
      std::any_of(std::begin(parts), std::end(parts), [](const Part* p) { return p->ex != 0; }) ? 1
                                                                                                : 0;
  d.Ho1 = MakeAuxLine(c, d.att, sxf->ho1);
  d.Ho2 = MakeAuxLine(c, d.att, sxf->ho2);

  const double along = VectorAngle(p2.x - p1.x, p2.y - p1.y);
  d.Te1 = MakeDimPoint(c, d.att, sxf->te1, p1, -7, 11);
  d.Te2 = MakeDimPoint(c, d.att, sxf->te2, p2, -7, 11);
  for (auto [point, part] : {std::pair{&d.Te1, &sxf->te1}, std::pair{&d.Te2, &sxf->te2}}) {
    if (part->ex != 0) point->radKaitenKaku = part->ex == 2 ? along + std::numbers::pi : along;
  }

  d.Kt1 = MakeDimPoint(c, d.att, sxf->kt1, {sxf->kt1.x1, sxf->kt1.y1}, -7, 0);
  d.Kt2 = MakeDimPoint(c, d.att, sxf->kt2, {sxf->kt2.x1, sxf->kt2.y1}, -7, 0);
  for (auto [point, part] : {std::pair{&d.Kt1, &sxf->kt1}, std::pair{&d.Kt2, &sxf->kt2}}) {
    if (part->ex != 0) point->bKariten = 1;
  }
  return d;
}

// Auxiliary line from reference point k towards dimension end p: from d1
// after k to d2 beyond p.
void SetAuxLineByDistance(Part& aux, Vec k, Vec p, double d1, double d2) {
  const double dx = p.x - k.x, dy = p.y - k.y;
  const double dist = std::hypot(dx, dy);
  const double a = VectorAngle(dx, dy);
  const Vec u{std::cos(a), std::sin(a)};
  aux.x1 = k.x + d1 * u.x;
  aux.y1 = k.y + d1 * u.y;
  aux.x2 = k.x + (dist + d2) * u.x;
  aux.y2 = k.y + (dist + d2) * u.y;
}

// ---- solids ----

uint32_t SolidColor(int32_t fc, uint16_t co) {
  const bool rgb = fc >= 0 && fc <= 0xFFFFFF;
  return (co == 10 && rgb) ? static_cast<uint32_t>(fc) : 0;
}

TEntJwwSolid MakeSolid(const Common& c, int32_t fc, Vec p1, Vec p2, Vec p3, Vec p4) {
  TEntJwwSolid s;
  s.att = PlacedAttr(c);
  s.att.nPenColor = ValidColor(c.co);
  // Style codes above 100 name the arc solids and are kept as they are.
  s.att.nPenStyle = (c.tp > 100 && c.tp <= 0xFF) ? static_cast<uint8_t>(c.tp) : ValidStyle(c.tp);
  s.att.sFlg = TranslateFlags(c.fl, kSolidFlags);
  s.Color = SolidColor(fc, s.att.nPenColor);
  s.start_x = p1.x;
  s.start_y = p1.y;
  s.end_x = p2.x;
  s.end_y = p2.y;
  s.DPoint2_x = p3.x;
  s.DPoint2_y = p3.y;
  s.DPoint3_x = p4.x;
  s.DPoint3_y = p4.y;
  return s;
}

struct ArcSolid {
  uint8_t style;
  double px, py, pr, ph, pka, psa, pda, kind;
};

// Arc solids: centre, radius and flattening, tilt, start and swept angle in
// radians, and the kind value in the last field.
TEntJwwSolid MakeArcSolid(const Common& c, int32_t fc, const ArcSolid& a) {
  TEntJwwSolid s;
  s.att = PlacedAttr(c);
  s.att.nPenColor = ValidColor(c.co);
  s.att.nPenStyle = a.style;
  s.att.sFlg = TranslateFlags(c.fl, kSolidFlags);
  s.Color = SolidColor(fc, s.att.nPenColor);
  s.start_x = a.px;
  s.start_y = a.py;
  s.end_x = a.pr;
  s.end_y = a.ph;
  s.DPoint2_x = a.pka * kDegToRad;
  s.DPoint2_y = a.psa * kDegToRad;
  s.DPoint3_x = a.pda * kDegToRad;
  s.DPoint3_y = a.kind;
  return s;
}

ArcSolid SolidCArgs(int32_t tp, double px, double py, double pr, double ph, double pka, double psa,
                    double pda) {
  double kind = 100;
  switch (tp) {
    case 1:
      kind = 0;
      break;
    case 2:
      kind = 5;
      break;
    case 3:
      kind = -1;
      break;
    default:
      psa = 0;
      pda = 360;
  }
  return {kSolidArc, px, py, pr, ph, pka, psa, pda, kind};
}

// ---- block insertions and definitions ----

int32_t DefinitionCount(const TJwwData& doc) {
  return std::clamp(doc.EntBlockDefN, 0, static_cast<int32_t>(doc.EntBlockDef.size()));
}

int32_t FindDefinition(const TJwwData& doc, uint32_t number) {
  for (int32_t i = 0; i < DefinitionCount(doc); ++i) {
    if (doc.EntBlockDef[i].nNumber == number) return i;
  }
  return -1;
}

bool IsDefinitionIndex(const TJwwData& doc, int32_t i) {
  return i >= 0 && i < DefinitionCount(doc);
}

// True when definition `from` places definition `target`, directly or through
// other definitions.
bool Contains(const TJwwData& doc, int32_t from, int32_t target) {
  std::vector<bool> seen(static_cast<size_t>(DefinitionCount(doc)), false);
  std::vector<int32_t> pending{from};
  while (!pending.empty()) {
    const int32_t i = pending.back();
    pending.pop_back();
    if (i == target) return true;
    if (seen[i]) continue;
    seen[i] = true;
    const TEntJwwBlockDef& def = doc.EntBlockDef[i];
    for (int32_t b = 0; b < def.mBlockN && static_cast<size_t>(b) < def.mBlock.size(); ++b) {
      const int32_t inner = FindDefinition(doc, def.mBlock[b].nNumber);
      if (inner >= 0) pending.push_back(inner);
    }
  }
  return false;
}

TEntJwwBlock MakeInsertion(const TJwwData& doc, const Common& c, int32_t bn, double px, double py,
                           double pbx, double pby, double pa) {
  TEntJwwBlock b;
  b.att = ValidatedAttr(c);
  b.att.sFlg = TranslateFlags(c.fl, kSolidFlags);
  if (c.fl & 16) b.att.nPenStyle |= 0x40;
  b.DPKijunTen_x = px;
  b.DPKijunTen_y = py;
  b.dBairitsuX = std::fabs(pbx) < kTinyScale ? 1.0 : pbx;
  b.dBairitsuY = std::fabs(pby) < kTinyScale ? 1.0 : pby;
  b.radKaitenKaku = pa * kDegToRad;
  // Insertions refer to a definition by its number, which equals its index
  // only in drawings built from scratch.
  b.nNumber = doc.EntBlockDef[bn].nNumber;
  return b;
}

bool HasSfigMarker(const std::u16string& name) {
  return util::StrUpper(name).find(u"@@SFIG") != std::u16string::npos;
}

// ---- appending ----

// The lists one call appends to, the drawing's own or one definition's,
// with the step their arrays grow by.
struct Lists : EntityLists {
  int32_t step;
};

Lists TopLists(TJwwData& d) { return {DrawingLists(d), kTopLevelStep}; }

Lists DefinitionLists(TEntJwwBlockDef& b) { return {MemberLists(b), kDefinitionStep}; }

template <typename Rec>
struct Target {
  std::vector<Rec>& array;
  int32_t& count;
  int32_t kind;
};

Target<TEntJwwLine> TargetFor(Lists& l, const TEntJwwLine&) { return {l.line, l.lineN, kLine}; }
Target<TEntJwwEnko> TargetFor(Lists& l, const TEntJwwEnko&) { return {l.enko, l.enkoN, kEnko}; }
Target<TEntJwwTen> TargetFor(Lists& l, const TEntJwwTen&) { return {l.ten, l.tenN, kTen}; }
Target<TEntJwwMoji> TargetFor(Lists& l, const TEntJwwMoji&) { return {l.moji, l.mojiN, kMoji}; }
Target<TEntJwwSunpo> TargetFor(Lists& l, const TEntJwwSunpo&) {
  return {l.sunpo, l.sunpoN, kSunpo};
}
Target<TEntJwwSolid> TargetFor(Lists& l, const TEntJwwSolid&) {
  return {l.solid, l.solidN, kSolid};
}
Target<TEntJwwBlock> TargetFor(Lists& l, const TEntJwwBlock&) {
  return {l.block, l.blockN, kBlock};
}

// Makes room for element newCount - 1: the array grows by a whole step each
// time a count passes a multiple of the step, and whenever it is shorter than
// its count (after a trim, for instance).
template <typename T>
void GrowForCount(std::vector<T>& a, int32_t newCount, int32_t step) {
  const size_t needed = static_cast<size_t>(newCount);
  if (newCount % step == 1 || needed > a.size()) {
    a.resize(std::max(a.size(), needed + static_cast<size_t>(step) - 1));
  }
}

// Appends one record and its draw-order entry, or nothing at all.
template <typename Rec>
bool Append(Lists lists, Rec&& rec) {
  Target<std::decay_t<Rec>> t = TargetFor(lists, rec);
  const int32_t count = t.count;
  const int32_t orderCount = lists.noN;
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  if (count < 0 || orderCount < 0 || count == kMax || orderCount == kMax) return false;
  try {
    GrowForCount(t.array, count + 1, lists.step);
    t.array[count] = std::forward<Rec>(rec);
    t.count = count + 1;
    GrowForCount(lists.no, orderCount + 1, lists.step);
    lists.no[orderCount] = TEntJwwNo{t.kind, count};
    lists.noN = orderCount + 1;
    return true;
  } catch (const std::exception&) {
    t.count = count;
    lists.noN = orderCount;
    return false;
  }
}

// Makes the record and appends it; a record that cannot be made (out of
// memory copying its strings) adds nothing.
template <typename Make>
bool AppendMade(Lists lists, Make&& make) {
  try {
    return Append(lists, make());
  } catch (const std::exception&) {
    return false;
  }
}

template <typename Make>
bool AppendToDefinition(TJwwData& doc, int32_t bdn, Make&& make) {
  if (!IsDefinitionIndex(doc, bdn)) return false;
  return AppendMade(DefinitionLists(doc.EntBlockDef[bdn]), std::forward<Make>(make));
}

template <typename T>
void ResizeTo(std::vector<T>& a, int32_t count) {
  a.resize(static_cast<size_t>(std::max(count, 0)));
}

void ResizeLists(Lists l, int32_t extra) {
  ResizeTo(l.no, l.noN + extra);
  ResizeTo(l.line, l.lineN + extra);
  ResizeTo(l.enko, l.enkoN + extra);
  ResizeTo(l.ten, l.tenN + extra);
  ResizeTo(l.moji, l.mojiN + extra);
  ResizeTo(l.sunpo, l.sunpoN + extra);
  ResizeTo(l.solid, l.solidN + extra);
  ResizeTo(l.block, l.blockN + extra);
}

bool ResizeAllLists(TJwwData& doc, int32_t topExtra, int32_t definitionExtra) {
  try {
    ResizeLists(TopLists(doc), topExtra);
    for (int32_t i = 0; i < DefinitionCount(doc); ++i) {
      ResizeLists(DefinitionLists(doc.EntBlockDef[i]), definitionExtra);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

// ---- series ----

bool TJwwData::AddEntPre() { return ResizeAllLists(*this, kTopLevelStep, kDefinitionStep); }

bool TJwwData::AddEntPost() {
  const bool trimmed = ResizeAllLists(*this, 0, 0);
  MakeBlockTree();
  return trimmed;
}

// ---- the entity kinds, at top level and in definitions ----

bool TJwwData::AddEntLine(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                          int32_t fl, double px1, double py1, double px2, double py2) {
  return AppendMade(TopLists(*this), [&] {
    return MakeLine(Common{cn, lg, ly, co, tp, wd, fl}, px1, py1, px2, py2);
  });
}
bool TJwwData::AddBlkLine(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                          int32_t wd, int32_t fl, double px1, double py1, double px2, double py2) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeLine(Common{cn, lg, ly, co, tp, wd, fl}, px1, py1, px2, py2);
  });
}

bool TJwwData::AddEntArc(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                         int32_t fl, double px, double py, double pr, double ph, double psa,
                         double pda, double pka) {
  return AppendMade(TopLists(*this), [&] {
    return MakeArc(Common{cn, lg, ly, co, tp, wd, fl}, px, py, pr, ph, psa, pda, pka);
  });
}
bool TJwwData::AddBlkArc(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                         int32_t wd, int32_t fl, double px, double py, double pr, double ph,
                         double psa, double pda, double pka) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeArc(Common{cn, lg, ly, co, tp, wd, fl}, px, py, pr, ph, psa, pda, pka);
  });
}

bool TJwwData::AddEntTen(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                         int32_t fl, double px, double py, double pa, double pb) {
  return AppendMade(TopLists(*this), [&] {
    return MakePoint(Common{cn, lg, ly, co, tp, wd, fl}, px, py, pa, pb);
  });
}
bool TJwwData::AddBlkTen(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                         int32_t wd, int32_t fl, double px, double py, double pa, double pb) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakePoint(Common{cn, lg, ly, co, tp, wd, fl}, px, py, pa, pb);
  });
}

bool TJwwData::AddEntMoji(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                          int32_t fl, int32_t ms, double px1, double py1, double px2, double py2,
                          double pw, double ph, double pd, double pa, const std::u16string& pf,
                          const std::u16string& ps) {
  return AppendMade(TopLists(*this), [&] {
    return MakeText(*this,
                    EntityTextArgs(Common{cn, lg, ly, co, tp, wd, fl}, ms, pw, ph, pd, pa, pf, ps),
                    {px1, py1}, {px2, py2});
  });
}
bool TJwwData::AddBlkMoji(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                          int32_t wd, int32_t fl, int32_t ms, double px1, double py1, double px2,
                          double py2, double pw, double ph, double pd, double pa,
                          const std::u16string& pf, const std::u16string& ps) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeText(*this,
                    EntityTextArgs(Common{cn, lg, ly, co, tp, wd, fl}, ms, pw, ph, pd, pa, pf, ps),
                    {px1, py1}, {px2, py2});
  });
}

bool TJwwData::AddEntMojiAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                            int32_t fl, int32_t ms, double px, double py, double pw, double ph,
                            double pd, double pa, const std::u16string& pf,
                            const std::u16string& ps) {
  return AppendMade(TopLists(*this), [&] {
    return MakeTextAt(
        *this, EntityTextArgs(Common{cn, lg, ly, co, tp, wd, fl}, ms, pw, ph, pd, pa, pf, ps),
        {px, py}, (fl & 4) != 0);
  });
}
bool TJwwData::AddBlkMojiAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                            int32_t wd, int32_t fl, int32_t ms, double px, double py, double pw,
                            double ph, double pd, double pa, const std::u16string& pf,
                            const std::u16string& ps) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeTextAt(
        *this, EntityTextArgs(Common{cn, lg, ly, co, tp, wd, fl}, ms, pw, ph, pd, pa, pf, ps),
        {px, py}, (fl & 4) != 0);
  });
}

// ---- dimensions ----

namespace {

TEntJwwSunpo DimensionByEnds(const TJwwData& doc, const Common& c, const DimTextArgs& t, Vec p1,
                             Vec p2, Vec textStart, Vec textEnd, const SxfParts* sxf) {
  return MakeDimension(c, p1, p2, MakeText(doc, DimensionTextArgs(c, t), textStart, textEnd), sxf);
}

TEntJwwSunpo DimensionAt(const TJwwData& doc, const Common& c, const DimTextArgs& t, Vec p1, Vec p2,
                         Vec ref, const SxfParts* sxf) {
  return MakeDimension(c, p1, p2, MakeTextAt(doc, DimensionTextArgs(c, t), ref, (t.fl2 & 4) != 0),
                       sxf);
}

SxfParts WithAuxLinesByDistance(SxfParts sxf, Vec p1, Vec p2, double d1, double d2) {
  SetAuxLineByDistance(sxf.ho1, {sxf.kt1.x1, sxf.kt1.y1}, p1, d1, d2);
  SetAuxLineByDistance(sxf.ho2, {sxf.kt2.x1, sxf.kt2.y1}, p2, d1, d2);
  return sxf;
}

}  // namespace

bool TJwwData::AddEntSunpo(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                           int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                           int32_t ms, double px1, double py1, double px2, double py2, double px3,
                           double py3, double px4, double py4, double pw, double ph, double pd,
                           double pa, const std::u16string& pf, const std::u16string& ps) {
  return AppendMade(TopLists(*this), [&] {
    return DimensionByEnds(*this, Common{cn, lg, ly, co, tp, wd, fl},
                           DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                           {px2, py2}, {px3, py3}, {px4, py4}, nullptr);
  });
}
bool TJwwData::AddBlkSunpo(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                           int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2,
                           int32_t fl2, int32_t ms, double px1, double py1, double px2, double py2,
                           double px3, double py3, double px4, double py4, double pw, double ph,
                           double pd, double pa, const std::u16string& pf,
                           const std::u16string& ps) {
  return AppendToDefinition(*this, bdn, [&] {
    return DimensionByEnds(*this, Common{cn, lg, ly, co, tp, wd, fl},
                           DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                           {px2, py2}, {px3, py3}, {px4, py4}, nullptr);
  });
}

bool TJwwData::AddEntSunpoAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                             int32_t fl, int32_t co2, int32_t tp2, int32_t wd2, int32_t fl2,
                             int32_t ms, double px1, double py1, double px2, double py2, double px,
                             double py, double pw, double ph, double pd, double pa,
                             const std::u16string& pf, const std::u16string& ps) {
  return AppendMade(TopLists(*this), [&] {
    return DimensionAt(*this, Common{cn, lg, ly, co, tp, wd, fl},
                       DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                       {px2, py2}, {px, py}, nullptr);
  });
}
bool TJwwData::AddBlkSunpoAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co,
                             int32_t tp, int32_t wd, int32_t fl, int32_t co2, int32_t tp2,
                             int32_t wd2, int32_t fl2, int32_t ms, double px1, double py1,
                             double px2, double py2, double px, double py, double pw, double ph,
                             double pd, double pa, const std::u16string& pf,
                             const std::u16string& ps) {
  return AppendToDefinition(*this, bdn, [&] {
    return DimensionAt(*this, Common{cn, lg, ly, co, tp, wd, fl},
                       DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                       {px2, py2}, {px, py}, nullptr);
  });
}

bool TJwwData::AddEntSunpoSxf(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                              int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2,
                              int32_t fl2, int32_t ms, double px1, double py1, double px2,
                              double py2, double px3, double py3, double px4, double py4, double pw,
                              double ph, double pd, double pa, const std::u16string& pf,
                              const std::u16string& ps, const TSunpoSxfParts& sxf) {
  return AppendMade(TopLists(*this), [&] {
    return DimensionByEnds(*this, Common{cn, lg, ly, co, tp, wd, fl},
                           DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                           {px2, py2}, {px3, py3}, {px4, py4}, &sxf);
  });
}
bool TJwwData::AddBlkSunpoSxf(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co,
                              int32_t tp, int32_t wd, int32_t fl, int32_t co2, int32_t tp2,
                              int32_t wd2, int32_t fl2, int32_t ms, double px1, double py1,
                              double px2, double py2, double px3, double py3, double px4,
                              double py4, double pw, double ph, double pd, double pa,
                              const std::u16string& pf, const std::u16string& ps,
                              const TSunpoSxfParts& sxf) {
  return AppendToDefinition(*this, bdn, [&] {
    return DimensionByEnds(*this, Common{cn, lg, ly, co, tp, wd, fl},
                           DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                           {px2, py2}, {px3, py3}, {px4, py4}, &sxf);
  });
}

bool TJwwData::AddEntSunpoSxfAt(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                                int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2,
                                int32_t fl2, int32_t ms, double px1, double py1, double px2,
                                double py2, double px, double py, double pw, double ph, double pd,
                                double pa, const std::u16string& pf, const std::u16string& ps,
                                const TSunpoSxfParts& sxf) {
  return AppendMade(TopLists(*this), [&] {
    return DimensionAt(*this, Common{cn, lg, ly, co, tp, wd, fl},
                       DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                       {px2, py2}, {px, py}, &sxf);
  });
}
bool TJwwData::AddBlkSunpoSxfAt(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co,
                                int32_t tp, int32_t wd, int32_t fl, int32_t co2, int32_t tp2,
                                int32_t wd2, int32_t fl2, int32_t ms, double px1, double py1,
                                double px2, double py2, double px, double py, double pw, double ph,
                                double pd, double pa, const std::u16string& pf,
                                const std::u16string& ps, const TSunpoSxfParts& sxf) {
  return AppendToDefinition(*this, bdn, [&] {
    return DimensionAt(*this, Common{cn, lg, ly, co, tp, wd, fl},
                       DimTextArgs{co2, tp2, wd2, fl2, ms, pw, ph, pd, pa, pf, ps}, {px1, py1},
                       {px2, py2}, {px, py}, &sxf);
  });
}

bool TJwwData::AddEntSunpoSxfAtDist(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                                    int32_t wd, int32_t fl, int32_t co2, int32_t tp2, int32_t wd2,
                                    int32_t fl2, int32_t ms, double px1, double py1, double px2,
                                    double py2, double px, double py, double pw, double ph,
                                    double pd, double pa, const std::u16string& pf,
                                    const std::u16string& ps, const TSunpoSxfParts& sxf, double d1,
                                    double d2) {
  const SxfParts parts = WithAuxLinesByDistance(sxf, {px1, py1}, {px2, py2}, d1, d2);
  return AddEntSunpoSxfAt(cn, lg, ly, co, tp, wd, fl, co2, tp2, wd2, fl2, ms, px1, py1, px2, py2,
                          px, py, pw, ph, pd, pa, pf, ps, parts);
}
bool TJwwData::AddBlkSunpoSxfAtDist(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co,
                                    int32_t tp, int32_t wd, int32_t fl, int32_t co2, int32_t tp2,
                                    int32_t wd2, int32_t fl2, int32_t ms, double px1, double py1,
                                    double px2, double py2, double px, double py, double pw,
                                    double ph, double pd, double pa, const std::u16string& pf,
                                    const std::u16string& ps, const TSunpoSxfParts& sxf, double d1,
                                    double d2) {
  const SxfParts parts = WithAuxLinesByDistance(sxf, {px1, py1}, {px2, py2}, d1, d2);
  return AddBlkSunpoSxfAt(bdn, cn, lg, ly, co, tp, wd, fl, co2, tp2, wd2, fl2, ms, px1, py1, px2,
                          py2, px, py, pw, ph, pd, pa, pf, ps, parts);
}

// ---- solids ----

bool TJwwData::AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                           int32_t fl, int32_t fc, double px1, double py1, double px2, double py2,
                           double px3, double py3, double px4, double py4) {
  return AppendMade(TopLists(*this), [&] {
    return MakeSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc, {px1, py1}, {px2, py2}, {px3, py3},
                     {px4, py4});
  });
}
bool TJwwData::AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                           int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                           double py2, double px3, double py3, double px4, double py4) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc, {px1, py1}, {px2, py2}, {px3, py3},
                     {px4, py4});
  });
}

bool TJwwData::AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                           int32_t fl, int32_t fc, double px1, double py1, double px2, double py2) {
  return AddEntSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px2, py2, px2, py2);
}
bool TJwwData::AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                           int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                           double py2) {
  return AddBlkSolid(bdn, cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px2, py2, px2, py2);
}

bool TJwwData::AddEntSolid(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                           int32_t fl, int32_t fc, double px1, double py1, double px2, double py2,
                           double px3, double py3) {
  return AddEntSolid(cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px1, py1);
}
bool TJwwData::AddBlkSolid(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                           int32_t wd, int32_t fl, int32_t fc, double px1, double py1, double px2,
                           double py2, double px3, double py3) {
  return AddBlkSolid(bdn, cn, lg, ly, co, tp, wd, fl, fc, px1, py1, px2, py2, px3, py3, px1, py1);
}

namespace {
constexpr uint8_t kSolidEllipse = 111;
constexpr uint8_t kSolidRing = 105;
constexpr uint8_t kSolidRingOther = 106;

ArcSolid WholeEllipse(double px, double py, double pr, double ph, double pka) {
  ArcSolid a{kSolidEllipse, px, py, pr, ph, pka, 0, 360, 100};
  return a;
}
ArcSolid EllipticSector(double px, double py, double pr, double ph, double pka, double psa,
                        double pda) {
  return {kSolidEllipse, px, py, pr, ph, pka, psa, pda, 0};
}
ArcSolid Ring(int32_t tp, double px, double py, double pr, double pri, double ph, double pka,
              double psa, double pda) {
  return {tp == 2 ? kSolidRingOther : kSolidRing, px, py, pr, ph, pka, psa, pda, pri};
}
}  // namespace

bool TJwwData::AddEntSolidA(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd, int32_t fl,
                            int32_t fc, double px, double py, double pr, double ph, double pka) {
  return AppendMade(TopLists(*this), [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, 0, wd, fl}, fc, WholeEllipse(px, py, pr, ph, pka));
  });
}
bool TJwwData::AddBlkSolidA(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd,
                            int32_t fl, int32_t fc, double px, double py, double pr, double ph,
                            double pka) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, 0, wd, fl}, fc, WholeEllipse(px, py, pr, ph, pka));
  });
}

bool TJwwData::AddEntSolidA(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd, int32_t fl,
                            int32_t fc, double px, double py, double pr, double ph, double pka,
                            double psa, double pda) {
  return AppendMade(TopLists(*this), [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, 0, wd, fl}, fc,
                        EllipticSector(px, py, pr, ph, pka, psa, pda));
  });
}
bool TJwwData::AddBlkSolidA(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t wd,
                            int32_t fl, int32_t fc, double px, double py, double pr, double ph,
                            double pka, double psa, double pda) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, 0, wd, fl}, fc,
                        EllipticSector(px, py, pr, ph, pka, psa, pda));
  });
}

bool TJwwData::AddEntSolidC(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                            int32_t fl, int32_t fc, double px, double py, double pr, double ph,
                            double pka, double psa, double pda) {
  return AppendMade(TopLists(*this), [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc,
                        SolidCArgs(tp, px, py, pr, ph, pka, psa, pda));
  });
}
bool TJwwData::AddBlkSolidC(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                            int32_t wd, int32_t fl, int32_t fc, double px, double py, double pr,
                            double ph, double pka, double psa, double pda) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc,
                        SolidCArgs(tp, px, py, pr, ph, pka, psa, pda));
  });
}

bool TJwwData::AddEntSolidD(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                            int32_t fl, int32_t fc, double px, double py, double pr, double pri,
                            double ph, double pka, double psa, double pda) {
  return AppendMade(TopLists(*this), [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc,
                        Ring(tp, px, py, pr, pri, ph, pka, psa, pda));
  });
}
bool TJwwData::AddBlkSolidD(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                            int32_t wd, int32_t fl, int32_t fc, double px, double py, double pr,
                            double pri, double ph, double pka, double psa, double pda) {
  return AppendToDefinition(*this, bdn, [&] {
    return MakeArcSolid(Common{cn, lg, ly, co, tp, wd, fl}, fc,
                        Ring(tp, px, py, pr, pri, ph, pka, psa, pda));
  });
}

// ---- block insertions ----

bool TJwwData::AddEntBlock(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                           int32_t fl, int32_t bn, double px, double py, double pbx, double pby,
                           double pa) {
  if (!IsDefinitionIndex(*this, bn)) return false;
  return AppendMade(TopLists(*this), [&] {
    return MakeInsertion(*this, Common{cn, lg, ly, co, tp, wd, fl}, bn, px, py, pbx, pby, pa);
  });
}
bool TJwwData::AddBlkBlock(int32_t bdn, int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp,
                           int32_t wd, int32_t fl, int32_t bn, double px, double py, double pbx,
                           double pby, double pa) {
  if (!IsDefinitionIndex(*this, bn) || !IsDefinitionIndex(*this, bdn)) return false;
  if (Contains(*this, bn, bdn)) return false;
  return AppendToDefinition(*this, bdn, [&] {
    return MakeInsertion(*this, Common{cn, lg, ly, co, tp, wd, fl}, bn, px, py, pbx, pby, pa);
  });
}

// ---- block definitions ----

bool TJwwData::AddBlkDef(int32_t cn, int32_t lg, int32_t ly, int32_t co, int32_t tp, int32_t wd,
                         int32_t fl, int32_t bf, const std::u16string& ps) {
  if (EntBlockDefN < 0 || static_cast<size_t>(EntBlockDefN) > EntBlockDef.size()) return false;
  if (bf < 1 || bf > 4) bf = 4;

  uint32_t number = 0;
  if (EntBlockDefN > 0) {
    uint32_t highest = 0;
    for (int32_t i = 0; i < EntBlockDefN; ++i) highest = std::max(highest, EntBlockDef[i].nNumber);
    // The next number would wrap round onto a number in use.
    if (highest == std::numeric_limits<uint32_t>::max()) return false;
    number = highest + 1;
  }

  const int32_t defCount = EntBlockDefN;
  const int32_t headerCount = Enthd.n2;
  try {
    std::u16string name = ps;
    if (!HasSfigMarker(name)) name += u"@@SfigorgFlag@@" + util::IntToText(bf);
    name = GetBlkName(name);

    TEntJwwBlockDef def;
    def.att = ValidatedAttr(Common{cn, lg, ly, co, tp, wd, fl});
    def.att.sFlg = TranslateFlags(fl, kSolidFlags);
    def.nNumber = number;
    def.strName = std::move(name);
    def.ref_flag = false;
    def.ref_no = -1;

    EntBlockDef.resize(static_cast<size_t>(defCount) + 1);
    EntBlockDef[defCount] = std::move(def);
    EntBlockDefN = defCount + 1;
    Enthd.n2 = headerCount + 1;
    return true;
  } catch (const std::exception&) {
    EntBlockDefN = defCount;
    Enthd.n2 = headerCount;
    return false;
  }
}

void TJwwData::AddBlkDefPost(int32_t bdn) {
  if (!IsDefinitionIndex(*this, bdn)) return;
  try {
    ResizeLists(DefinitionLists(EntBlockDef[bdn]), 0);
  } catch (const std::exception&) {
    // Trimming only gives memory back; the definition stays valid.
  }
}

}  // namespace jww
