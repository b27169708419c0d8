// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <future>
#include <map>
#include <numbers>
#include <set>
#include <system_error>

#include "jww/attr_store.h"
#include "jww/document.h"
#include "jww/extents.h"
#include "jww/queries.h"
#include "jww/walk.h"
#include "util/encoding.h"
#include "util/geometry.h"

namespace dxf {
namespace {

using jww::DrawAttrStore;
using jww::TEntJwwAttr;
using jww::TJwwData;

constexpr double kPi = std::numbers::pi;
constexpr double kRadToDeg = 180 / kPi;
constexpr std::u16string_view kImagePrefix = u"^@BM";
// Pen 9 is Jw_cad's auxiliary colour: drawn grey, as the renderer does.
constexpr uint32_t kAuxiliaryRgb = 0x808080;
// Arc solids are filled through a boundary whose chords stray at most this
// share of the radius from the curve.
constexpr double kArcTolerance = 1e-4;
// Hexadecimal digits of $HANDSEED, which is mended once the last handle is known.
constexpr size_t kHandSeedWidth = 16;

// Every standard lineweight (hundredths of a millimetre).
constexpr std::array<int, 24> kLineweights{0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                                           53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};

struct Rgb {
  int r, g, b;
};

// The AutoCAD colour index palette: 1 … 9 fixed, 10 … 249 24 hues in five
// shades, full and half saturated, 250 … 255 greys.
std::array<Rgb, 256> MakeAciPalette() {
  std::array<Rgb, 256> p{};
  const std::array<Rgb, 10> fixed{{{0, 0, 0},
                                   {255, 0, 0},
                                   {255, 255, 0},
                                   {0, 255, 0},
                                   {0, 255, 255},
                                   {0, 0, 255},
                                   {255, 0, 255},
                                   {0, 0, 0},  // 7: black on paper (white on a dark screen)
                                   {128, 128, 128},
                                   {192, 192, 192}}};
  for (int i = 0; i < 10; ++i) p[i] = fixed[i];
  const std::array<double, 5> shade{1.0, 0.8, 0.6, 0.5, 0.3};
  for (int i = 10; i < 250; ++i) {
    const int hue = (i - 10) / 10, k = (i - 10) % 10;
    const double v = shade[k / 2], s = k % 2 == 0 ? 1.0 : 0.5;
    const double h = hue * 15.0 / 60.0;
    const int sector = static_cast<int>(h) % 6;
    const double f = h - std::floor(h);
    const double pv = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = 0, g = 0, b = 0;
    switch (sector) {
      case 0:
        r = v, g = t, b = pv;
        break;
      case 1:
        r = q, g = v, b = pv;
        break;
      case 2:
        r = pv, g = v, b = t;
        break;
      case 3:
        r = pv, g = q, b = v;
        break;
      case 4:
        r = t, g = pv, b = v;
        break;
      default:
        r = v, g = pv, b = q;
        break;
    }
    p[i] = {static_cast<int>(std::lround(r * 255)), static_cast<int>(std::lround(g * 255)),
            static_cast<int>(std::lround(b * 255))};
  }
  const std::array<int, 6> greys{51, 80, 105, 130, 190, 255};
  for (int i = 0; i < 6; ++i) p[250 + i] = {greys[i], greys[i], greys[i]};
  return p;
}

// Characters a layer, style or block name may not hold.
std::u16string CleanName(std::u16string_view name) {
  std::u16string r;
  for (char16_t c : name) {
    if (c < 0x20 || std::u16string_view(u"<>/\\\":;?*|=`,").find(c) != std::u16string_view::npos)
      r.push_back(u'_');
    else
      r.push_back(c);
  }
  while (!r.empty() && r.back() == u' ') r.pop_back();
  return r;
}

std::u16string HexDigit(int n) { return std::u16string(1, u"0123456789ABCDEF"[n & 15]); }

double NormalDegrees(double deg) {
  double d = std::fmod(deg, 360.0);
  if (d < 0) d += 360;
  if (d >= 360) d = 0;
  return d;
}

int LineTypeNumberOf(int style) {
  if ((style >= 2 && style <= 9) || (style >= 11 && style <= 19) || (style >= 31 && style <= 62))
    return style;
  return 0;
}

int LineTypeSlot(int style) {
  if (style >= 2 && style <= 9) return style - 1;
  if (style >= 11 && style <= 19) return style - 2;
  if (style >= 31 && style <= 62) return style - 13;
  return 0;
}

struct Color {
  int aci = 7;
  uint32_t rgb = 0;
};

struct Handles {
  uint64_t next = 0x20;
  uint64_t New() { return next++; }
};

class Exporter {
 public:
  Exporter(const TJwwData& doc, const ExportOptions& o, ExportStats& st, std::FILE* sink)
      : doc_(doc), o_(o), st_(st), w_(o.version, sink), palette_(MakeAciPalette()) {}

  // Writes the whole file; false when the sink failed.
  bool Run();
  std::string& data() { return w_.data(); }

 private:
  struct Style {
    std::u16string font;
    bool vertical = false;
    std::string name;  // encoded
  };
  // Where entities go: the writer, the owner's handle, the scale from the
  // record's coordinates, the layer of members placed on their INSERT's layer.
  struct Target {
    GroupWriter* w = nullptr;
    uint64_t owner = 0;
    double k = 1;
    bool onLayerZero = false;
  };

  void Prepare();
  void PrepareBlocks();
  void WriteTables(GroupWriter& w);
  void WriteHeader(GroupWriter& w);
  void WriteClasses(GroupWriter& w);
  void WriteObjects();
  void WriteBlockBegin(GroupWriter& w, uint64_t record, const std::string& name, int flags);
  void WriteBlockEnd(GroupWriter& w, uint64_t record);
  void WriteDefinitions();
  struct Block;
  void WriteDefinition(const jww::TEntJwwBlockDef& d, const Block& b, int variant);
  void WriteModelSpace();
  void WritePaperSpace();
  // A paper-space VIEWPORT of the sheet's centre; id 1 is the layout's own.
  void Viewport(int id, double width, double height, double viewHeight);

  void Entity(const Target& t, const jww::PlacedEntity& e, size_t definition = SIZE_MAX);
  void Common(const Target& t, std::string_view type, const TEntJwwAttr& a, bool lineType,
              const Color* color = nullptr);
  void Line(const Target& t, const jww::TEntJwwLine& l);
  void Point(const Target& t, const jww::TEntJwwTen& p);
  void Arc(const Target& t, const jww::TEntJwwEnko& e);
  void Text(const Target& t, const jww::TEntJwwMoji& m);
  void Image(const Target& t, const jww::TEntJwwMoji& m);
  void WritePictureObjects();
  void Dimension(const Target& t, size_t id, const jww::TEntJwwSunpo& d);
  void DimensionBlock(size_t id, const jww::TEntJwwSunpo& d, double k, bool onLayerZero);
  void PlanDimensionsAndStyles();
  void WriteModelDimensionBlocks();
  void Solid(const Target& t, const jww::TEntJwwSolid& s);
  void ArcSolid(const Target& t, const jww::TEntJwwSolid& s);
  bool ArcSolidEdges(const Target& t, const jww::TEntJwwSolid& s);
  void HatchHead(const Target& t, const jww::TEntJwwSolid& s, int pathFlags);
  // `layer`: the attributes whose layer the INSERT stands on.
  // `rule`: the attributes of the placing node (the insertion's own at the top
  // level, the holding definition's inside one): the layer the INSERT stands
  // on and whether the members keep their layers.
  void Insert(const Target& t, const jww::TEntJwwBlock& b, const TEntJwwAttr& rule);
  static int Keeps(const TEntJwwAttr& rule) { return (rule.nPenStyle & jww::kKeepLayerBit) != 0; }

  Color ColorOf(const TEntJwwAttr& a) const;
  int LineweightOf(const TEntJwwAttr& a) const;
  const Style& StyleOf(const std::u16string& font, bool vertical);
  int LayerSlot(const TEntJwwAttr& a) const {
    return std::min<int>(a.nGLayer, 15) * 16 + std::min<int>(a.nLayer, 15);
  }
  double MostCommonScale(const std::array<int64_t, 16>& drawn) const;
  double GroupScale(int group) const { return o_.sheet ? 1.0 : scale_[group & 15]; }

  const TJwwData& doc_;
  const ExportOptions& o_;
  ExportStats& st_;
  Handles h_;
  GroupWriter w_;
  std::array<Rgb, 256> palette_;
  DrawAttrStore screen_, print_;
  std::array<double, 16> scale_{};
  std::array<std::string, 256> layerNames_;
  // An entity's subclass and layer groups, by layer: one copy each.
  std::array<std::string, 256> layerHeads_;
  std::string layerZeroHead_ = "100\nAcDbEntity\n8\n0\n";
  std::array<Color, 9 + 256> penColors_{};
  std::array<int, 9 + 256> penWeights_{};
  std::array<std::string, 63> lineTypeNames_{};  // by line-type number; empty: solid
  std::vector<Style> styles_;
  std::map<std::pair<std::u16string, bool>, size_t> styleIndex_;

  // Block definitions: DXF name, record handle, members keep their layers.
  // A definition is written once per layer rule it is placed with: variant 0
  // with its members on layer "0" (the INSERT's layer), variant 1 with their
  // own layers. A variant no placement uses is not written.
  struct Block {
    std::array<std::string, 2> name;
    std::array<uint64_t, 2> record{};  // 0: not written
    std::array<bool, 2> used{};
    std::vector<bool> cyclicMember;  // by position in mNo: an insertion closing a cycle
  };
  std::vector<Block> blocks_info_;
  // Dimension blocks "*D<id+1>": the model space's first in the walk's order,
  // then each written definition variant's; the record handle of each.
  std::vector<uint64_t> dimRecords_;
  // The drawing's own dimensions in the walk's order, with their layer groups.
  std::vector<std::pair<const jww::TEntJwwSunpo*, int>> modelDimList_;
  size_t nextModelDim_ = 0;
  std::vector<std::array<size_t, 2>> firstDefDim_;  // by definition and variant
  uint64_t handSeedOffset_ = 0;
  // Pictures: an IMAGEDEF handle each (0 while no IMAGE shows it), and every
  // IMAGE with its reactor.
  bool pictures_ = false;
  std::vector<uint64_t> imageDefs_;
  struct ImageRef {
    uint64_t image, reactor;
    size_t picture;
  };
  std::vector<ImageRef> imageRefs_;
  uint64_t hImageDict_ = 0, hImageVars_ = 0;
  std::future<jww::GroupExtents> extents_;

  // Fixed handles.
  uint64_t hVportTable_ = 0, hLtypeTable_ = 0, hLayerTable_ = 0, hStyleTable_ = 0, hViewTable_ = 0,
           hUcsTable_ = 0, hAppidTable_ = 0, hDimstyleTable_ = 0, hBlockTable_ = 0;
  uint64_t hModelRecord_ = 0, hPaperRecord_ = 0, hModelLayout_ = 0, hPaperLayout_ = 0;
  uint64_t hRootDict_ = 0, hGroupDict_ = 0, hLayoutDict_ = 0, hPlotStyleDict_ = 0,
           hPlaceholder_ = 0;
  uint64_t hStandardStyle_ = 0, hOverallViewport_ = 0;
  double px_ = 0, py_ = 0;
  // Model units per sheet millimetre in views of the whole sheet: 1 with
  // --sheet, else the scale most of the drawing is drawn at.
  double viewScale_ = 1;
};

int Exporter_NearestAci(const std::array<Rgb, 256>& p, uint32_t rgb) {
  const int r = static_cast<int>((rgb >> 16) & 0xFF), g = static_cast<int>((rgb >> 8) & 0xFF),
            b = static_cast<int>(rgb & 0xFF);
  // Black and white are the foreground, 7.
  if ((r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255)) return 7;
  int best = 1;
  long bestD = -1;
  for (int i = 1; i < 256; ++i) {
    if (i == 7) continue;
    const long dr = p[i].r - r, dg = p[i].g - g, db = p[i].b - b;
    const long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

double Exporter::MostCommonScale(const std::array<int64_t, 16>& drawn) const {
  // Ties and an empty drawing go to the lowest group's scale.
  double best = scale_[0];
  int64_t bestCount = 0;
  for (int g = 0; g < 16; ++g) {
    int64_t count = 0;
    for (int h = 0; h < 16; ++h)
      if (scale_[h] == scale_[g]) count += drawn[h];
    if (count > bestCount) {
      best = scale_[g];
      bestCount = count;
    }
  }
  return best;
}

void Exporter::Prepare() {
  doc_.FileColorSet(screen_);
  doc_.SetGAttLayer(screen_);
  print_.setColorMode(DrawAttrStore::OutputMode::kPrinter);
  print_.setLineTypeMode(DrawAttrStore::OutputMode::kPrinter);
  doc_.FileColorSet(print_);
  doc_.FileLtypeSet(print_);

  for (int g = 0; g < 16; ++g) {
    const double s = g < static_cast<int>(doc_.EntLgrp.size()) ? doc_.EntLgrp[g].adScale : 1.0;
    scale_[g] = s > 0 && std::isfinite(s) ? s : 1.0;
  }
  GroupWriter enc(o_.version);
  for (int i = 0; i < 256; ++i) {
    std::u16string name = HexDigit(i / 16) + u"-" + HexDigit(i % 16);
    if (i < static_cast<int>(doc_.EntLay.size())) {
      const std::u16string own = CleanName(doc_.EntLay[i].aStrLayName);
      if (!own.empty()) name += u" " + own;
    }
    layerNames_[i] = enc.Encode(name);
    layerHeads_[i] = "100\nAcDbEntity\n8\n" + layerNames_[i] + "\n";
  }
  for (int n = 1; n <= 356; ++n) {
    if (!DrawAttrStore::IsPenNumber(n)) continue;
    const int idx = n <= 9 ? n - 1 : n - 101 + 9;
    uint32_t rgb = n == 9 ? kAuxiliaryRgb : screen_.pen(n).argb & 0xFFFFFF;
    // A pen as light as the paper is drawn in the foreground, as on screen.
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    if (r > 0xCF && g > 0xCF && b > 0xCF) rgb = 0;
    penColors_[idx] = {Exporter_NearestAci(palette_, rgb), rgb};
    penWeights_[idx] = NearestLineweight(print_.pen(n).widthMm);
  }
  for (int n = 1; n <= 62; ++n) {
    const int slot = LineTypeSlot(n);
    if (slot <= 0) continue;
    if (util::DashRuns(print_.lineType(slot).segments).empty()) continue;
    lineTypeNames_[n] = "JWW-" + std::to_string(n);
  }
  const jww::PaperSize sheet = jww::GetPaperSize(doc_);
  px_ = sheet.px;
  py_ = sheet.py;

  hVportTable_ = h_.New();
  hLtypeTable_ = h_.New();
  hLayerTable_ = h_.New();
  hStyleTable_ = h_.New();
  hViewTable_ = h_.New();
  hUcsTable_ = h_.New();
  hAppidTable_ = h_.New();
  hDimstyleTable_ = h_.New();
  hBlockTable_ = h_.New();
  hModelRecord_ = h_.New();
  hPaperRecord_ = h_.New();
  hModelLayout_ = h_.New();
  hPaperLayout_ = h_.New();
  hRootDict_ = h_.New();
  hGroupDict_ = h_.New();
  hLayoutDict_ = h_.New();
  hPlotStyleDict_ = h_.New();
  hPlaceholder_ = h_.New();
  hStandardStyle_ = h_.New();
  hOverallViewport_ = h_.New();
  pictures_ = o_.pictures && !o_.pictures->pictures.empty();
  if (pictures_) {
    imageDefs_.assign(o_.pictures->pictures.size(), 0);
    hImageDict_ = h_.New();
    hImageVars_ = h_.New();
  }
}

Color Exporter::ColorOf(const TEntJwwAttr& a) const {
  const int n = a.nPenColor;
  if (!DrawAttrStore::IsPenNumber(n)) return {7, 0};
  return penColors_[n <= 9 ? n - 1 : n - 101 + 9];
}

int Exporter::LineweightOf(const TEntJwwAttr& a) const {
  if (a.nPenWidth > 0) return NearestLineweight(a.nPenWidth / 100.0);
  const int n = a.nPenColor;
  if (!DrawAttrStore::IsPenNumber(n)) return -1;
  return penWeights_[n <= 9 ? n - 1 : n - 101 + 9];
}

const Exporter::Style& Exporter::StyleOf(const std::u16string& font, bool vertical) {
  auto key = std::make_pair(font, vertical);
  auto it = styleIndex_.find(key);
  if (it != styleIndex_.end()) return styles_[it->second];
  std::u16string name = CleanName(font);
  if (name.empty()) name = u"JWW";
  if (vertical) name = u"@" + name;
  Style s{font, vertical, w_.Encode(name)};
  // Two fonts whose names clean to the same text get two styles.
  for (const Style& other : styles_)
    if (other.name == s.name) s.name += "_" + std::to_string(styles_.size());
  styleIndex_[key] = styles_.size();
  styles_.push_back(std::move(s));
  return styles_.back();
}

// ---------------------------------------------------------------- entities

void Exporter::Common(const Target& t, std::string_view type, const TEntJwwAttr& a, bool lineType,
                      const Color* color) {
  GroupWriter& w = *t.w;
  w.Raw(0, type);
  w.Handle(5, h_.New());
  w.Handle(330, t.owner);
  w.Groups(t.onLayerZero ? layerZeroHead_ : layerHeads_[LayerSlot(a)]);
  const int lt = lineType ? LineTypeNumberOf(a.nPenStyle) : 0;
  const bool dashed = lt > 0 && !lineTypeNames_[lt].empty();
  // A solid line says nothing: every layer's line type is Continuous.
  if (dashed) w.Raw(6, lineTypeNames_[lt]);
  const Color c = color ? *color : ColorOf(a);
  w.Int(62, c.aci);
  const int lw = LineweightOf(a);
  if (lw >= 0) w.Int(370, lw);
  if (dashed && t.k != 1) w.Real(48, t.k);
  // The true colour, unless the index says it exactly (7 does not: it is
  // black or white by the background).
  const Rgb& exact = palette_[c.aci];
  if (c.aci == 7 || static_cast<uint32_t>((exact.r << 16) | (exact.g << 8) | exact.b) != c.rgb)
    w.Int(420, c.rgb);
  ++st_.entities;
}

void Exporter::Line(const Target& t, const jww::TEntJwwLine& l) {
  Common(t, "LINE", l.att, true);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbLine");
  w.Xy(10, l.start_x * t.k, l.start_y * t.k);
  w.Xy(11, l.end_x * t.k, l.end_y * t.k);
}

void Exporter::Point(const Target& t, const jww::TEntJwwTen& p) {
  Common(t, "POINT", p.att, false);
  t.w->Raw(100, "AcDbPoint");
  t.w->Xy(10, p.start_x * t.k, p.start_y * t.k);
}

void Exporter::Arc(const Target& t, const jww::TEntJwwEnko& e) {
  GroupWriter& w = *t.w;
  const double r = std::fabs(e.dHankei) * t.k;
  const double flat = std::fabs(e.dHenpeiRitsu);
  const bool full = e.bZenEnFlg != 0;
  double start = e.radKaishiKaku, sweep = e.radEnkoKaku;
  if (sweep < 0) {
    start += sweep;
    sweep = -sweep;
  }
  const double cx = e.start_x * t.k, cy = e.start_y * t.k;
  if (std::fabs(flat - 1) <= 1e-12) {
    if (full) {
      Common(t, "CIRCLE", e.att, true);
      w.Raw(100, "AcDbCircle");
      w.Xy(10, cx, cy);
      w.Real(40, r);
      return;
    }
    Common(t, "ARC", e.att, true);
    w.Raw(100, "AcDbCircle");
    w.Xy(10, cx, cy);
    w.Real(40, r);
    w.Raw(100, "AcDbArc");
    const double a0 = NormalDegrees((start + e.radKatamukiKaku) * kRadToDeg);
    w.Real(50, a0);
    w.Real(51, NormalDegrees(a0 + sweep * kRadToDeg));
    return;
  }
  // An ellipse: the major axis along the tilt when the flattening is below
  // one, else across it (the parameters turn a quarter with it).
  double tilt = e.radKatamukiKaku, major = r, ratio = flat;
  if (flat > 1) {
    tilt += kPi / 2;
    major = r * flat;
    ratio = 1 / flat;
    start -= kPi / 2;
  }
  if (!(ratio > 0)) ratio = 1e-6;
  Common(t, "ELLIPSE", e.att, true);
  w.Raw(100, "AcDbEllipse");
  w.Xyz(10, cx, cy, 0);
  w.Xyz(11, major * std::cos(tilt), major * std::sin(tilt), 0);
  w.Real(40, ratio);
  if (full) {
    w.Real(41, 0);
    w.Real(42, 2 * kPi);
  } else {
    double s = std::fmod(start, 2 * kPi);
    if (s < 0) s += 2 * kPi;
    w.Real(41, s);
    w.Real(42, s + sweep);
  }
}

void Exporter::Text(const Target& t, const jww::TEntJwwMoji& m) {
  if (m.str.starts_with(kImagePrefix) && m.str.find(u',') != std::u16string::npos) {
    Image(t, m);
    return;
  }
  if (m.str.empty()) return;
  const bool vertical = (m.att.sFlg & 0x20) != 0;
  const double sx = std::isfinite(m.dSizeX) ? std::fabs(m.dSizeX) : 0;
  double sy = std::isfinite(m.dSizeY) ? std::fabs(m.dSizeY) : 0;
  if (!(sy > 0)) sy = sx > 0 ? sx : 1;
  const double angle = std::isfinite(m.degKakudo) ? m.degKakudo : 0;
  const double rad = angle / kRadToDeg;
  const util::DPoint along{std::cos(rad), std::sin(rad)};
  double x = m.start_x, y = m.start_y;
  double rotation = angle;
  if (vertical) {
    // The first character hangs below the start point along the line.
    x += sy * along.x;
    y += sy * along.y;
    rotation = angle + 90;
  }
  const Style& style = StyleOf(m.strFontName, vertical);
  Common(t, "TEXT", m.att, false);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbText");
  w.Xy(10, x * t.k, y * t.k);
  w.Real(40, sy * t.k);
  w.Str(1, m.str);
  w.Real(50, NormalDegrees(rotation));
  if (sx > 0) w.Real(41, sx / sy);
  w.Encoded(7, style.name);
  const double gap = std::isfinite(m.dKankaku) ? m.dKankaku : 0;
  if (gap != 0 && !vertical) {
    // DXF texts have no spacing: the text is fitted between its ends.
    const std::vector<util::MojiCell> cells = util::MojiLayout(m.str, sx, gap);
    const double length = cells.empty() ? 0 : cells.back().offset + cells.back().width;
    if (length > 0) {
      w.Int(72, 5);
      w.Xy(11, (m.start_x + length * along.x) * t.k, (m.start_y + length * along.y) * t.k);
    }
  }
  w.Raw(100, "AcDbText");
}

void Exporter::Image(const Target& t, const jww::TEntJwwMoji& m) {
  jww::TImageMojiInfo info;
  jww::GetImageMojiInfo(m.str, info);
  size_t index = 0;
  const Picture* p = o_.pictures ? o_.pictures->Find(info.fileName, &index) : nullptr;
  if (!p || !(info.d1 > 0) || !(info.d2 > 0) || !std::isfinite(info.d1 + info.d2 + info.d6)) {
    ++st_.images;
    return;
  }
  if (imageDefs_[index] == 0) imageDefs_[index] = h_.New();
  const uint64_t self = h_.next;  // the handle Common gives the IMAGE
  Common(t, "IMAGE", m.att, false);
  const uint64_t reactor = h_.New();
  imageRefs_.push_back({self, reactor, index});
  // The picture is stretched over the text's width and height from its
  // start point, turned by the text's last value (degrees): u and v are one
  // pixel's steps along its bottom and up its left side.
  const double rad = info.d6 / kRadToDeg, c = std::cos(rad), s = std::sin(rad);
  const double du = info.d1 * t.k / p->width, dv = info.d2 * t.k / p->height;
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbRasterImage");
  w.Int(90, 0);
  w.Xyz(10, m.start_x * t.k, m.start_y * t.k, 0);
  w.Xyz(11, du * c, du * s, 0);
  w.Xyz(12, -dv * s, dv * c, 0);
  w.Xy(13, p->width, p->height);
  w.Handle(340, imageDefs_[index]);
  w.Int(70, 3);  // shown, also when turned
  w.Int(280, 0);
  w.Int(281, 50);
  w.Int(282, 50);
  w.Int(283, 0);
  w.Handle(360, reactor);
  w.Int(71, 1);
  w.Int(91, 2);
  w.Xy(14, -0.5, -0.5);
  w.Xy(14, p->width - 0.5, p->height - 0.5);
  if (o_.version == Version::kR2018) w.Int(290, 0);
}

std::string DimBlockName(size_t id) { return "*D" + std::to_string(id + 1); }

void Exporter::DimensionBlock(size_t id, const jww::TEntJwwSunpo& d, double k, bool onLayerZero) {
  // The dimension's geometry, drawn exactly as the drawing has it, in an
  // anonymous block of its own; the DIMENSION keeps its measured points and
  // its text as an override.
  const uint64_t record = dimRecords_[id];
  WriteBlockBegin(w_, record, DimBlockName(id), 1);
  const int64_t before = st_.entities;  // the block's members are not counted
  Target inner{&w_, record, k, onLayerZero};
  Line(inner, d.Sen);
  if (d.bSxfMode != 0) {
    Line(inner, d.Ho1);
    Line(inner, d.Ho2);
    Point(inner, d.Te1);
    Point(inner, d.Te2);
  }
  Text(inner, d.Moji);
  WriteBlockEnd(w_, record);
  st_.entities = before;
}

void Exporter::Dimension(const Target& t, size_t id, const jww::TEntJwwSunpo& d) {
  Common(t, "DIMENSION", d.att, false);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbDimension");
  w.Raw(2, DimBlockName(id));
  w.Xyz(10, d.Sen.end_x * t.k, d.Sen.end_y * t.k, 0);
  const double rad = d.Moji.degKakudo / kRadToDeg;
  const double length = std::hypot(d.Moji.end_x - d.Moji.start_x, d.Moji.end_y - d.Moji.start_y);
  const double mx = d.Moji.start_x + length / 2 * std::cos(rad) - d.Moji.dSizeY / 2 * std::sin(rad);
  const double my = d.Moji.start_y + length / 2 * std::sin(rad) + d.Moji.dSizeY / 2 * std::cos(rad);
  w.Xyz(11, mx * t.k, my * t.k, 0);
  w.Int(70, 32);
  w.Str(1, d.Moji.str);
  w.Raw(3, "Standard");
  w.Raw(100, "AcDbAlignedDimension");
  w.Xyz(13, d.Sen.start_x * t.k, d.Sen.start_y * t.k, 0);
  w.Xyz(14, d.Sen.end_x * t.k, d.Sen.end_y * t.k, 0);
  w.Real(50,
         NormalDegrees(util::VecAngle(d.Sen.end_x - d.Sen.start_x, d.Sen.end_y - d.Sen.start_y) *
                       kRadToDeg));
  w.Raw(100, "AcDbRotatedDimension");
}

Color SolidColor(const jww::TEntJwwSolid& s, const Color& pen,
                 const std::array<Rgb, 256>& palette) {
  if (s.att.nPenColor != 10) return pen;
  const uint32_t c = s.Color & 0xFFFFFF;  // COLORREF: 0x00BBGGRR
  const uint32_t rgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  return {Exporter_NearestAci(palette, rgb), rgb};
}

void Exporter::Solid(const Target& t, const jww::TEntJwwSolid& s) {
  if (s.att.nPenStyle >= 101) {
    ArcSolid(t, s);
    return;
  }
  // Colour 10: the solid's own colour replaces the pen's.
  const Color c = SolidColor(s, ColorOf(s.att), palette_);
  Common(t, "SOLID", s.att, false, &c);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbTrace");
  // SOLID's third and fourth corners are crossed: its outline runs 1, 2, 4, 3.
  w.Xyz(10, s.start_x * t.k, s.start_y * t.k, 0);
  w.Xyz(11, s.end_x * t.k, s.end_y * t.k, 0);
  w.Xyz(12, s.DPoint3_x * t.k, s.DPoint3_y * t.k, 0);
  w.Xyz(13, s.DPoint2_x * t.k, s.DPoint2_y * t.k, 0);
}

void AppendArc(std::vector<util::DPoint>& out, util::DPoint c, double r, double rb, double tilt,
               double start, double sweep) {
  const double reach = std::max(std::fabs(r), std::fabs(rb));
  const double step = reach > 0 ? 2 * std::acos(1 - kArcTolerance) : kPi / 2;
  const int n = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / step)), 8, 20000);
  const double ct = std::cos(tilt), st = std::sin(tilt);
  for (int i = 0; i <= n; ++i) {
    const double th = start + sweep * i / n;
    const double u = r * std::cos(th), v = rb * std::sin(th);
    out.push_back({c.x + ct * u - st * v, c.y + st * u + ct * v});
  }
}

void Exporter::HatchHead(const Target& t, const jww::TEntJwwSolid& s, int pathFlags) {
  const Color col = SolidColor(s, ColorOf(s.att), palette_);
  Common(t, "HATCH", s.att, false, &col);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbHatch");
  w.Xyz(10, 0, 0, 0);
  w.Xyz(210, 0, 0, 1);
  w.Raw(2, "SOLID");
  w.Int(70, 1);
  w.Int(71, 0);
  w.Int(91, 1);
  w.Int(92, pathFlags);
}

void HatchTail(GroupWriter& w) {
  w.Int(97, 0);
  w.Int(75, 0);
  w.Int(76, 1);
  w.Int(98, 0);
}

bool Exporter::ArcSolidEdges(const Target& t, const jww::TEntJwwSolid& s) {
  // A whole ellipse, a sector or a piece cut off by the chord: the curve
  // itself as one counter-clockwise edge (exact, and a few groups instead of
  // hundreds of chords), closed by lines.
  const int style = s.att.nPenStyle;
  const double r = std::fabs(s.end_x) * t.k, flat = std::fabs(s.end_y), tilt = s.DPoint2_x;
  const double kind = s.DPoint3_y;
  const bool whole = (style == 101 || style == 111) && std::fabs(kind - 100) <= 1e-12;
  const bool sector = !whole && style == 101 && std::fabs(kind) <= 1e-12;
  if (style == 105 || style == 106 || (style == 101 && std::fabs(kind + 1) <= 1e-12) || !(r > 0) ||
      !(flat > 0))
    return false;
  double start = whole ? 0 : s.DPoint2_y, sweep = whole ? 2 * kPi : s.DPoint3_x;
  if (sweep < 0) {
    start += sweep;
    sweep = -sweep;
  }
  // A negative flattening mirrors the curve across its axis, a negative
  // radius turns it half round: the same points over other parameters.
  if (s.end_y < 0) start = -(start + sweep);
  if (s.end_x < 0) start += kPi;
  const bool full = sweep >= 2 * kPi - 1e-12;
  const util::DPoint c{s.start_x * t.k, s.start_y * t.k};
  const double ct = std::cos(tilt), st = std::sin(tilt);
  auto at = [&](double th) {
    const double u = r * std::cos(th), v = r * flat * std::sin(th);
    return util::DPoint{c.x + ct * u - st * v, c.y + st * u + ct * v};
  };
  const util::DPoint p0 = at(start), p1 = at(start + sweep);
  HatchHead(t, s, 1);  // external, edges
  GroupWriter& w = *t.w;
  w.Int(93, full ? 1 : sector ? 3 : 2);
  if (std::fabs(flat - 1) <= 1e-12) {
    w.Int(72, 2);
    w.Xy(10, c.x, c.y);
    w.Real(40, r);
    const double a0 = full ? 0 : NormalDegrees((start + tilt) * kRadToDeg);
    w.Real(50, a0);
    w.Real(51, full ? 360 : a0 + sweep * kRadToDeg);
  } else {
    // The major axis along the tilt, or across it when the flattening is
    // above one; the edge's ends are angles seen from the centre, in degrees
    // from that axis.
    double axis = tilt, major = r, ratio = flat, t0 = start;
    if (flat > 1) {
      axis += kPi / 2;
      major = r * flat;
      ratio = 1 / flat;
      t0 -= kPi / 2;
    }
    w.Int(72, 3);
    w.Xy(10, c.x, c.y);
    w.Xy(11, major * std::cos(axis), major * std::sin(axis));
    w.Real(40, ratio);
    const auto angle = [ratio](double th) {
      return std::atan2(ratio * std::sin(th), std::cos(th)) * kRadToDeg;
    };
    const double a0 = full ? 0 : NormalDegrees(angle(t0));
    double a1 = full ? 360 : NormalDegrees(angle(t0 + sweep));
    while (!full && a1 <= a0) a1 += 360;
    w.Real(50, a0);
    w.Real(51, a1);
  }
  w.Int(73, 1);
  auto line = [&w](util::DPoint a, util::DPoint b) {
    w.Int(72, 1);
    w.Xy(10, a.x, a.y);
    w.Xy(11, b.x, b.y);
  };
  if (sector) {
    line(p1, c);
    line(c, p0);
  } else if (!full) {
    line(p1, p0);
  }
  HatchTail(w);
  return true;
}

void Exporter::ArcSolid(const Target& t, const jww::TEntJwwSolid& s) {
  if (!std::isfinite(s.end_x + s.end_y + s.DPoint2_x + s.DPoint2_y + s.DPoint3_x + s.DPoint3_y))
    return;
  if (ArcSolidEdges(t, s)) return;
  // The rest as the renderer fills it: a ring piece, or the piece between an
  // arc and its end tangents, through a boundary of chords.
  const util::DPoint c{s.start_x, s.start_y};
  const double r = s.end_x, flat = s.end_y, tilt = s.DPoint2_x;
  const double start = s.DPoint2_y, sweep = s.DPoint3_x, kind = s.DPoint3_y;
  const int style = s.att.nPenStyle;
  std::vector<util::DPoint> pts;
  const bool whole = (style == 101 || style == 111) && std::fabs(kind - 100) <= 1e-12;
  if (style == 105 || style == 106) {
    AppendArc(pts, c, r, r * flat, tilt, start, sweep);
    AppendArc(pts, c, kind, kind * flat, tilt, start + sweep, -sweep);
  } else {
    AppendArc(pts, c, r, r * flat, tilt, whole ? 0 : start, whole ? 2 * kPi : sweep);
    if (!whole && style == 101 && std::fabs(kind) <= 1e-12) {
      pts.push_back(c);
    } else if (!whole && style == 101 && std::fabs(kind + 1) <= 1e-12) {
      pts.push_back(jww::GetEnkoTangentCross(c.x, c.y, r, flat, start, sweep, tilt).cross);
    }
  }
  HatchHead(t, s, 3);  // external, polyline
  GroupWriter& w = *t.w;
  w.Int(72, 0);
  w.Int(73, 1);
  w.Int(93, static_cast<int64_t>(pts.size()));
  for (const util::DPoint& p : pts) w.Xy(10, p.x * t.k, p.y * t.k);
  HatchTail(w);
}

void Exporter::Insert(const Target& t, const jww::TEntJwwBlock& b, const TEntJwwAttr& rule) {
  const int32_t def = doc_.ChangeBlockNo(b.nNumber);
  if (def < 0 || def >= static_cast<int32_t>(blocks_info_.size())) return;
  Common(t, "INSERT", rule, false);
  GroupWriter& w = *t.w;
  w.Raw(100, "AcDbBlockReference");
  w.Encoded(2, blocks_info_[def].name[Keeps(rule)]);
  w.Xy(10, b.DPKijunTen_x * t.k, b.DPKijunTen_y * t.k);
  w.Real(41, b.dBairitsuX * t.k);
  w.Real(42, b.dBairitsuY * t.k);
  w.Real(43, t.k);
  w.Real(50, NormalDegrees(b.radKaitenKaku * kRadToDeg));
}

void Exporter::Entity(const Target& t, const jww::PlacedEntity& e, size_t) {
  if (auto* r = e.Get<jww::TEntJwwLine>()) Line(t, *r);
  if (auto* r = e.Get<jww::TEntJwwEnko>()) Arc(t, *r);
  if (auto* r = e.Get<jww::TEntJwwTen>()) Point(t, *r);
  if (auto* r = e.Get<jww::TEntJwwMoji>()) Text(t, *r);
  if (auto* r = e.Get<jww::TEntJwwSunpo>()) Dimension(t, nextModelDim_++, *r);
  if (auto* r = e.Get<jww::TEntJwwSolid>()) Solid(t, *r);
  if (auto* r = e.Get<jww::TEntJwwBlock>()) Insert(t, *r, r->att);
}

// ---------------------------------------------------------------- blocks

void Exporter::PrepareBlocks() {
  const int32_t n =
      std::min<int32_t>(doc_.EntBlockDefN, static_cast<int32_t>(doc_.EntBlockDef.size()));
  blocks_info_.resize(static_cast<size_t>(n));
  std::set<std::string> taken;
  for (int32_t i = 0; i < n; ++i) {
    const jww::TEntJwwBlockDef& d = doc_.EntBlockDef[i];
    std::u16string name = CleanName(d.strName);
    while (!name.empty() && name.front() == u'*') name.erase(name.begin());
    if (name.empty()) name = u"JWW_BLOCK_" + util::FromUtf8(std::to_string(d.nNumber));
    std::string encoded = w_.Encode(name);
    for (int k = 2; taken.count(encoded) != 0; ++k)
      encoded = w_.Encode(name) + "~" + std::to_string(k);
    taken.insert(encoded);
    blocks_info_[i].name = {encoded, encoded + "$OWN_LAYERS"};
    blocks_info_[i].cyclicMember.assign(d.mNo.size(), false);
  }
  // The layer rule of a placement is the top-level insertion's own; a nested
  // placement takes it from the definition that holds it.
  auto keep = [&](const jww::TEntJwwBlock& b, const TEntJwwAttr& rule) {
    const int32_t def = doc_.ChangeBlockNo(b.nNumber);
    if (def >= 0 && def < n) blocks_info_[def].used[Keeps(rule)] = true;
  };
  for (int32_t i = 0;
       i < std::min<int32_t>(doc_.EntBlockN, static_cast<int32_t>(doc_.EntBlock.size())); ++i)
    keep(doc_.EntBlock[i], doc_.EntBlock[i].att);
  for (int32_t i = 0; i < n; ++i)
    for (const jww::TEntJwwBlock& b : doc_.EntBlockDef[i].mBlock) keep(b, doc_.EntBlockDef[i].att);
  for (Block& b : blocks_info_) {
    if (!b.used[0] && !b.used[1]) b.used[0] = true;  // never placed: kept all the same
    if (!b.used[0]) b.name[1] = b.name[0];           // one variant: the plain name
    for (int v = 0; v < 2; ++v)
      if (b.used[v]) b.record[v] = h_.New();
  }

  // A definition may not place itself, directly or through others: such
  // placements (depth-first back edges) are left out.
  std::vector<uint8_t> state(static_cast<size_t>(n), 0);  // 0 new, 1 on the path, 2 done
  struct Frame {
    int32_t def;
    size_t next;
  };
  for (int32_t root = 0; root < n; ++root) {
    if (state[root] != 0) continue;
    std::vector<Frame> stack{{root, 0}};
    state[root] = 1;
    while (!stack.empty()) {
      Frame& f = stack.back();
      const jww::TEntJwwBlockDef& d = doc_.EntBlockDef[f.def];
      if (f.next >= d.mNo.size()) {
        state[f.def] = 2;
        stack.pop_back();
        continue;
      }
      const size_t pos = f.next++;
      const jww::TEntJwwNo& no = d.mNo[pos];
      if (no.EntType != jww::kBlock || no.EntNo < 0 ||
          no.EntNo >= static_cast<int32_t>(d.mBlock.size()))
        continue;
      const int32_t child = doc_.ChangeBlockNo(d.mBlock[no.EntNo].nNumber);
      if (child < 0 || child >= n) continue;
      if (state[child] == 1) {
        blocks_info_[f.def].cyclicMember[pos] = true;
        ++st_.cycles;
      } else if (state[child] == 0) {
        state[child] = 1;
        stack.push_back({child, 0});
      }
    }
  }
}

void Exporter::WriteBlockBegin(GroupWriter& w, uint64_t record, const std::string& name,
                               int flags) {
  w.Raw(0, "BLOCK");
  w.Handle(5, h_.New());
  w.Handle(330, record);
  w.Raw(100, "AcDbEntity");
  w.Raw(8, "0");
  w.Raw(100, "AcDbBlockBegin");
  w.Encoded(2, name);
  w.Int(70, flags);
  w.Xyz(10, 0, 0, 0);
  w.Encoded(3, name);
  w.Raw(1, "");
}

void Exporter::WriteBlockEnd(GroupWriter& w, uint64_t record) {
  w.Raw(0, "ENDBLK");
  w.Handle(5, h_.New());
  w.Handle(330, record);
  w.Raw(100, "AcDbEntity");
  w.Raw(8, "0");
  w.Raw(100, "AcDbBlockEnd");
}

void Exporter::WriteDefinitions() {
  WriteBlockBegin(w_, hModelRecord_, "*Model_Space", 0);
  WriteBlockEnd(w_, hModelRecord_);
  WriteBlockBegin(w_, hPaperRecord_, "*Paper_Space", 0);
  WriteBlockEnd(w_, hPaperRecord_);
  for (size_t i = 0; i < blocks_info_.size(); ++i) {
    const jww::TEntJwwBlockDef& d = doc_.EntBlockDef[i];
    const Block& b = blocks_info_[i];
    for (int v = 0; v < 2; ++v)
      if (b.used[v]) WriteDefinition(d, b, v);
  }
  st_.blocks = static_cast<int64_t>(blocks_info_.size());
}

void Exporter::WriteDefinition(const jww::TEntJwwBlockDef& d, const Block& b, int v) {
  const size_t index = static_cast<size_t>(&d - doc_.EntBlockDef.data());
  WriteBlockBegin(w_, b.record[v], b.name[v], 0);
  // Members show on their INSERT's layer (layer "0" inherits it) unless a
  // placement keeps their own layers.
  Target t{&w_, b.record[v], 1.0, v == 0};
  size_t dim = firstDefDim_[index][v];
  std::vector<std::pair<size_t, const jww::TEntJwwSunpo*>> dims;
  for (size_t pos = 0; pos < d.mNo.size(); ++pos) {
    const jww::TEntJwwNo& no = d.mNo[pos];
    const int32_t k = no.EntNo;
    auto in = [&](const auto& list) { return k >= 0 && k < static_cast<int32_t>(list.size()); };
    switch (no.EntType) {
      case jww::kLine:
        if (in(d.mLine)) Line(t, d.mLine[k]);
        break;
      case jww::kEnko:
        if (in(d.mEnko)) Arc(t, d.mEnko[k]);
        break;
      case jww::kTen:
        if (in(d.mTen)) Point(t, d.mTen[k]);
        break;
      case jww::kMoji:
        if (in(d.mMoji)) Text(t, d.mMoji[k]);
        break;
      case jww::kSunpo:
        if (in(d.mSunpo)) {
          Dimension(t, dim, d.mSunpo[k]);
          dims.emplace_back(dim++, &d.mSunpo[k]);
        }
        break;
      case jww::kSolid:
        if (in(d.mSolid)) Solid(t, d.mSolid[k]);
        break;
      case jww::kBlock:
        // A nested placement shows its members on the layer of the
        // definition holding it: its INSERT stands there.
        if (in(d.mBlock) && !b.cyclicMember[pos])
          Insert({&w_, b.record[v], 1.0, false}, d.mBlock[k], d.att);
        break;
      default:
        break;
    }
  }
  WriteBlockEnd(w_, b.record[v]);
  // Blocks do not nest: the dimensions' blocks follow.
  for (const auto& [id, sunpo] : dims) DimensionBlock(id, *sunpo, 1.0, v == 0);
}

void Exporter::WriteModelSpace() {
  nextModelDim_ = 0;
  jww::WalkPlacedDrawing(doc_, [&](const jww::PlacedEntity& e) {
    // Members of placements stay in their BLOCKs; the drawing's own list is
    // the model space.
    if (!e.TopLevel()) return;
    Target t{&w_, hModelRecord_, GroupScale(e.gLayer), false};
    Entity(t, e);
  });
}

void Exporter::WriteModelDimensionBlocks() {
  for (size_t id = 0; id < modelDimList_.size(); ++id)
    DimensionBlock(id, *modelDimList_[id].first, GroupScale(modelDimList_[id].second), false);
}

// Before anything is written: the text styles every text needs and the
// dimension blocks' numbers and record handles, so that the tables can come
// first.
void Exporter::PlanDimensionsAndStyles() {
  auto style = [&](const jww::TEntJwwMoji& m) {
    if (!m.str.empty()) StyleOf(m.strFontName, (m.att.sFlg & 0x20) != 0);
  };
  std::array<int64_t, 16> drawn{};
  jww::WalkPlacedDrawing(doc_, [&](const jww::PlacedEntity& e) {
    if (!e.TopLevel()) return;
    ++drawn[e.gLayer & 15];
    if (auto* m = e.Get<jww::TEntJwwMoji>()) style(*m);
    if (auto* d = e.Get<jww::TEntJwwSunpo>()) {
      style(d->Moji);
      modelDimList_.emplace_back(d, e.gLayer);
    }
  });
  viewScale_ = o_.sheet ? 1.0 : MostCommonScale(drawn);
  size_t dims = modelDimList_.size();
  firstDefDim_.assign(blocks_info_.size(), {0, 0});
  for (size_t i = 0; i < blocks_info_.size(); ++i) {
    const jww::TEntJwwBlockDef& d = doc_.EntBlockDef[i];
    for (const jww::TEntJwwMoji& m : d.mMoji) style(m);
    size_t here = 0;
    for (const jww::TEntJwwNo& no : d.mNo) {
      if (no.EntType == jww::kSunpo && no.EntNo >= 0 &&
          no.EntNo < static_cast<int32_t>(d.mSunpo.size())) {
        style(d.mSunpo[no.EntNo].Moji);
        ++here;
      }
    }
    for (int v = 0; v < 2; ++v) {
      firstDefDim_[i][v] = dims;
      if (blocks_info_[i].used[v]) dims += here;
    }
  }
  dimRecords_.resize(dims);
  for (uint64_t& h : dimRecords_) h = h_.New();
}

// A view's snap base and spacing, grid, direction (from above) and target.
void SnapGridAndDirection(GroupWriter& w) {
  w.Xy(13, 0, 0);
  w.Xy(14, 10, 10);
  w.Xy(15, 10, 10);
  w.Xyz(16, 0, 0, 1);
  w.Xyz(17, 0, 0, 0);
}

// A plan view's lens length and its (unused) front and back clipping planes.
void LensAndClipping(GroupWriter& w) {
  w.Real(42, 50);
  w.Real(43, 0);
  w.Real(44, 0);
}

void Exporter::Viewport(int id, double width, double height, double viewHeight) {
  GroupWriter& w = w_;
  w.Raw(0, "VIEWPORT");
  w.Handle(5, id == 1 ? hOverallViewport_ : h_.New());
  w.Handle(330, hPaperRecord_);
  w.Raw(100, "AcDbEntity");
  w.Int(67, 1);
  w.Raw(8, "0");
  w.Raw(100, "AcDbViewport");
  w.Xyz(10, 0, 0, 0);  // the sheet's centre, as in the model
  w.Real(40, width);
  w.Real(41, height);
  w.Int(68, id);  // stacking order: the overall viewport is the active one
  w.Int(69, id);
  w.Xy(12, 0, 0);
  SnapGridAndDirection(w);
  LensAndClipping(w);
  w.Real(45, viewHeight);
  w.Real(50, 0);
  w.Real(51, 0);
  w.Int(72, 1000);
  w.Int(90, 0);
  w.Raw(1, "");
  w.Int(281, 0);
  w.Int(71, 1);
  w.Int(74, 0);
  w.Xyz(110, 0, 0, 0);
  w.Xyz(111, 1, 0, 0);
  w.Xyz(112, 0, 1, 0);
  w.Int(79, 0);
  w.Real(146, 0);
}

void Exporter::WritePaperSpace() {
  // The layout's own viewport, then one onto the model that shows it as the
  // sheet does: model units per sheet millimetre are the view's scale.
  Viewport(1, px_ * 1.05, py_ * 1.05, py_ * 1.05);
  Viewport(2, px_, py_, py_ * viewScale_);
  // The sheet's frame in the layout of the sheet's size.
  GroupWriter& w = w_;
  w.Raw(0, "LWPOLYLINE");
  w.Handle(5, h_.New());
  w.Handle(330, hPaperRecord_);
  w.Raw(100, "AcDbEntity");
  w.Int(67, 1);
  w.Raw(8, "0");
  w.Raw(100, "AcDbPolyline");
  w.Int(90, 4);
  w.Int(70, 1);
  w.Xy(10, -px_ / 2, -py_ / 2);
  w.Xy(10, px_ / 2, -py_ / 2);
  w.Xy(10, px_ / 2, py_ / 2);
  w.Xy(10, -px_ / 2, py_ / 2);
}

// ---------------------------------------------------------------- tables, objects

void TableHead(GroupWriter& w, std::string_view name, uint64_t handle, int64_t count) {
  w.Raw(0, "TABLE");
  w.Raw(2, name);
  w.Handle(5, handle);
  w.Handle(330, 0);
  w.Raw(100, "AcDbSymbolTable");
  w.Int(70, count);
}

void RecordHead(GroupWriter& w, std::string_view type, uint64_t handle, uint64_t table,
                std::string_view subclass) {
  w.Raw(0, type);
  w.Handle(type == "DIMSTYLE" ? 105 : 5, handle);
  w.Handle(330, table);
  w.Raw(100, "AcDbSymbolTableRecord");
  w.Raw(100, subclass);
}

void Exporter::WriteTables(GroupWriter& w) {
  w.Raw(0, "SECTION");
  w.Raw(2, "TABLES");

  TableHead(w, "VPORT", hVportTable_, 1);
  RecordHead(w, "VPORT", h_.New(), hVportTable_, "AcDbViewportTableRecord");
  w.Raw(2, "*Active");
  w.Int(70, 0);
  w.Xy(10, 0, 0);
  w.Xy(11, 1, 1);
  const double k = viewScale_;
  w.Xy(12, 0, 0);
  SnapGridAndDirection(w);
  w.Real(40, py_ * k * 1.05);
  w.Real(41, px_ / py_);
  LensAndClipping(w);
  w.Real(50, 0);
  w.Real(51, 0);
  w.Int(71, 0);
  w.Int(72, 1000);
  w.Int(73, 1);
  w.Int(74, 3);
  w.Int(75, 0);
  w.Int(76, 0);
  w.Int(77, 0);
  w.Int(78, 0);
  w.Raw(0, "ENDTAB");

  int64_t lineTypes = 3;
  for (const std::string& n : lineTypeNames_) lineTypes += !n.empty();
  TableHead(w, "LTYPE", hLtypeTable_, lineTypes);
  for (std::string_view name : {"ByBlock", "ByLayer", "Continuous"}) {
    RecordHead(w, "LTYPE", h_.New(), hLtypeTable_, "AcDbLinetypeTableRecord");
    w.Raw(2, name);
    w.Int(70, 0);
    w.Raw(3, name == "Continuous" ? "Solid line" : "");
    w.Int(72, 65);
    w.Int(73, 0);
    w.Real(40, 0);
  }
  for (int n = 1; n <= 62; ++n) {
    if (lineTypeNames_[n].empty()) continue;
    const std::vector<double> runs = util::DashRuns(print_.lineType(LineTypeSlot(n)).segments);
    // A pattern starts with a dash in DXF: a leading gap moves to the end.
    std::vector<double> pattern = runs;
    if (!pattern.empty() && pattern.front() < 0)
      std::rotate(pattern.begin(), pattern.begin() + 1, pattern.end());
    double total = 0;
    for (double r : pattern) total += std::fabs(r);
    RecordHead(w, "LTYPE", h_.New(), hLtypeTable_, "AcDbLinetypeTableRecord");
    w.Raw(2, lineTypeNames_[n]);
    w.Int(70, 0);
    w.Raw(3, "Jw_cad line type " + std::to_string(n));
    w.Int(72, 65);
    w.Int(73, static_cast<int64_t>(pattern.size()));
    w.Real(40, total);
    for (double r : pattern) {
      w.Real(49, r);
      w.Int(74, 0);
    }
  }
  w.Raw(0, "ENDTAB");

  TableHead(w, "LAYER", hLayerTable_, 257);
  RecordHead(w, "LAYER", h_.New(), hLayerTable_, "AcDbLayerTableRecord");
  w.Raw(2, "0");
  w.Int(70, 0);
  w.Int(62, 7);
  w.Raw(6, "Continuous");
  w.Int(370, -3);
  w.Handle(390, hPlaceholder_);
  for (int i = 0; i < 256; ++i) {
    const int g = i / 16;
    const bool hidden = screen_.layer(i).state == DrawAttrStore::kLayerHidden;
    bool locked = false;
    if (g < static_cast<int>(doc_.EntLgrp.size()) && i < static_cast<int>(doc_.EntLay.size()))
      locked = doc_.EntLgrp[g].anGLayProtect != 0 || doc_.EntLay[i].aanLayProtect != 0;
    RecordHead(w, "LAYER", h_.New(), hLayerTable_, "AcDbLayerTableRecord");
    w.Encoded(2, layerNames_[i]);
    w.Int(70, locked ? 4 : 0);
    w.Int(62, hidden ? -7 : 7);  // a negative colour switches the layer off
    w.Raw(6, "Continuous");
    w.Int(370, -3);
    w.Handle(390, hPlaceholder_);
  }
  w.Raw(0, "ENDTAB");

  TableHead(w, "STYLE", hStyleTable_, 1 + static_cast<int64_t>(styles_.size()));
  RecordHead(w, "STYLE", hStandardStyle_, hStyleTable_, "AcDbTextStyleTableRecord");
  w.Raw(2, "Standard");
  w.Int(70, 0);
  w.Real(40, 0);
  w.Real(41, 1);
  w.Real(50, 0);
  w.Int(71, 0);
  w.Real(42, 2.5);
  w.Raw(3, "txt");
  w.Raw(4, "");
  for (const Style& s : styles_) {
    RecordHead(w, "STYLE", h_.New(), hStyleTable_, "AcDbTextStyleTableRecord");
    w.Encoded(2, s.name);
    w.Int(70, s.vertical ? 4 : 0);
    w.Real(40, 0);
    w.Real(41, 1);
    w.Real(50, 0);
    w.Int(71, 0);
    w.Real(42, 2.5);
    // The font by its family name: CAD programs find the TrueType font by it.
    std::u16string file = s.font;
    if (file.find(u"ゴシック") != std::u16string::npos &&
        file.find(u"ＭＳ") != std::u16string::npos)
      file = u"msgothic.ttc";
    else if (file.find(u"明朝") != std::u16string::npos &&
             file.find(u"ＭＳ") != std::u16string::npos)
      file = u"msmincho.ttc";
    w.Str(3, file);
    w.Raw(4, "");
    w.Raw(1001, "ACAD");
    w.Str(1000, s.font);
    w.Int(1071, 0);
  }
  w.Raw(0, "ENDTAB");

  TableHead(w, "VIEW", hViewTable_, 0);
  w.Raw(0, "ENDTAB");
  TableHead(w, "UCS", hUcsTable_, 0);
  w.Raw(0, "ENDTAB");

  TableHead(w, "APPID", hAppidTable_, 1);
  RecordHead(w, "APPID", h_.New(), hAppidTable_, "AcDbRegAppTableRecord");
  w.Raw(2, "ACAD");
  w.Int(70, 0);
  w.Raw(0, "ENDTAB");

  TableHead(w, "DIMSTYLE", hDimstyleTable_, 1);
  w.Raw(100, "AcDbDimStyleTable");
  RecordHead(w, "DIMSTYLE", h_.New(), hDimstyleTable_, "AcDbDimStyleTableRecord");
  w.Raw(2, "Standard");
  w.Int(70, 0);
  w.Real(41, 2.5);
  w.Real(140, 2.5);
  w.Handle(340, hStandardStyle_);
  w.Raw(0, "ENDTAB");

  int64_t records = 2 + static_cast<int64_t>(dimRecords_.size());
  for (const Block& b : blocks_info_) records += b.used[0] + b.used[1];
  TableHead(w, "BLOCK_RECORD", hBlockTable_, records);
  auto record = [&](uint64_t handle, const std::string& name, uint64_t layout) {
    RecordHead(w, "BLOCK_RECORD", handle, hBlockTable_, "AcDbBlockTableRecord");
    w.Encoded(2, name);
    w.Handle(340, layout);
    if (o_.version == Version::kR2018) {
      w.Int(70, 4);  // insert units: millimetres
      w.Int(280, 1);
      w.Int(281, 0);
    }
  };
  record(hModelRecord_, "*Model_Space", hModelLayout_);
  record(hPaperRecord_, "*Paper_Space", hPaperLayout_);
  for (const Block& b : blocks_info_)
    for (int v = 0; v < 2; ++v)
      if (b.used[v]) record(b.record[v], b.name[v], 0);
  for (size_t id = 0; id < dimRecords_.size(); ++id) record(dimRecords_[id], DimBlockName(id), 0);
  w.Raw(0, "ENDTAB");

  w.Raw(0, "ENDSEC");
}

// `entries`: encoded names and the objects' handles.
void Dictionary(GroupWriter& w, uint64_t handle, uint64_t owner,
                const std::vector<std::pair<std::string, uint64_t>>& entries) {
  w.Raw(0, "DICTIONARY");
  w.Handle(5, handle);
  w.Handle(330, owner);
  w.Raw(100, "AcDbDictionary");
  w.Int(281, 1);
  for (const auto& [name, h] : entries) {
    w.Encoded(3, name);
    w.Handle(350, h);
  }
}

void Reactors(GroupWriter& w, std::initializer_list<uint64_t> owners) {
  w.Raw(102, "{ACAD_REACTORS");
  for (uint64_t h : owners) w.Handle(330, h);
  w.Raw(102, "}");
}

void Exporter::WritePictureObjects() {
  GroupWriter& w = w_;
  const std::vector<Picture>& pictures = o_.pictures->pictures;
  std::vector<std::pair<std::string, uint64_t>> names;
  for (size_t i = 0; i < pictures.size(); ++i)
    if (imageDefs_[i] != 0)
      names.emplace_back(w.Encode(util::FromUtf8(pictures[i].name)), imageDefs_[i]);
  Dictionary(w, hImageDict_, hRootDict_, names);
  w.Raw(0, "RASTERVARIABLES");
  w.Handle(5, hImageVars_);
  Reactors(w, {hRootDict_});
  w.Handle(330, hRootDict_);
  w.Raw(100, "AcDbRasterVariables");
  w.Int(90, 0);
  w.Int(70, 0);  // no frame
  w.Int(71, 1);  // high quality
  w.Int(72, 1);  // millimetres
  const std::string folder = o_.pictureFolder.empty() ? std::string() : o_.pictureFolder + "/";
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (imageDefs_[i] == 0) continue;
    w.Raw(0, "IMAGEDEF");
    w.Handle(5, imageDefs_[i]);
    w.Raw(102, "{ACAD_REACTORS");
    w.Handle(330, hImageDict_);
    for (const ImageRef& r : imageRefs_)
      if (r.picture == i) w.Handle(330, r.reactor);
    w.Raw(102, "}");
    w.Handle(330, hImageDict_);
    w.Raw(100, "AcDbRasterImageDef");
    w.Int(90, 0);
    // Relative to the DXF, so that the folder travels with it.
    w.Str(1, util::FromUtf8(folder + pictures[i].name));
    w.Xy(10, pictures[i].width, pictures[i].height);
    w.Xy(11, 1, 1);
    w.Int(280, 1);
    w.Int(281, 0);
  }
  for (const ImageRef& r : imageRefs_) {
    w.Raw(0, "IMAGEDEF_REACTOR");
    w.Handle(5, r.reactor);
    w.Handle(330, r.image);
    w.Raw(100, "AcDbRasterImageDefReactor");
    w.Int(90, 2);
    w.Handle(330, r.image);
  }
}

void Exporter::WriteObjects() {
  GroupWriter& w = w_;
  w.Raw(0, "SECTION");
  w.Raw(2, "OBJECTS");
  std::vector<std::pair<std::string, uint64_t>> root{{"ACAD_GROUP", hGroupDict_}};
  if (pictures_) {
    root.emplace_back("ACAD_IMAGE_DICT", hImageDict_);
    root.emplace_back("ACAD_IMAGE_VARS", hImageVars_);
  }
  root.emplace_back("ACAD_LAYOUT", hLayoutDict_);
  root.emplace_back("ACAD_PLOTSTYLENAME", hPlotStyleDict_);
  Dictionary(w, hRootDict_, 0, root);
  Dictionary(w, hGroupDict_, hRootDict_, {});
  Dictionary(w, hLayoutDict_, hRootDict_, {{"Model", hModelLayout_}, {"Layout1", hPaperLayout_}});
  w.Raw(0, "ACDBDICTIONARYWDFLT");
  w.Handle(5, hPlotStyleDict_);
  w.Handle(330, hRootDict_);
  w.Raw(100, "AcDbDictionary");
  w.Int(281, 1);
  w.Raw(3, "Normal");
  w.Handle(350, hPlaceholder_);
  w.Raw(100, "AcDbDictionaryWithDefault");
  w.Handle(340, hPlaceholder_);
  w.Raw(0, "ACDBPLACEHOLDER");
  w.Handle(5, hPlaceholder_);
  w.Handle(330, hPlotStyleDict_);

  auto layout = [&](uint64_t handle, std::string_view name, int tab, uint64_t record, bool paper) {
    w.Raw(0, "LAYOUT");
    w.Handle(5, handle);
    w.Handle(330, hLayoutDict_);
    w.Raw(100, "AcDbPlotSettings");
    w.Raw(1, "");
    w.Raw(2, "none_device");
    w.Raw(4, "");
    w.Raw(6, "");
    for (int c : {40, 41, 42, 43}) w.Real(c, 0);
    w.Real(44, px_);
    w.Real(45, py_);
    for (int c : {46, 47, 48, 49, 140, 141}) w.Real(c, 0);
    w.Real(142, 1);
    w.Real(143, 1);
    w.Int(70, paper ? 0 : 1024);
    w.Int(72, 1);  // paper units: millimetres
    w.Int(73, 0);
    w.Int(74, 5);
    w.Raw(7, "");
    w.Int(75, 0);
    w.Real(147, 1);
    w.Xy(148, 0, 0);
    w.Raw(100, "AcDbLayout");
    w.Raw(1, name);
    w.Int(70, 1);
    w.Int(71, tab);
    w.Xy(10, paper ? -px_ / 2 : 0, paper ? -py_ / 2 : 0);
    w.Xy(11, paper ? px_ / 2 : px_, paper ? py_ / 2 : py_);
    w.Xyz(12, 0, 0, 0);
    w.Xyz(14, paper ? -px_ / 2 : 1e20, paper ? -py_ / 2 : 1e20, 0);
    w.Xyz(15, paper ? px_ / 2 : -1e20, paper ? py_ / 2 : -1e20, 0);
    w.Real(146, 0);
    w.Xyz(13, 0, 0, 0);
    w.Xyz(16, 1, 0, 0);
    w.Xyz(17, 0, 1, 0);
    w.Int(76, 1);
    w.Handle(330, record);
    if (paper) w.Handle(331, hOverallViewport_);
  };
  layout(hModelLayout_, "Model", 0, hModelRecord_, false);
  layout(hPaperLayout_, "Layout1", 1, hPaperRecord_, true);
  if (pictures_) WritePictureObjects();
  w.Raw(0, "ENDSEC");
}

void Exporter::WriteClasses(GroupWriter& w) {
  w.Raw(0, "SECTION");
  w.Raw(2, "CLASSES");
  struct Class {
    const char *dxfName, *cppName, *application;
    int proxyFlags;
    bool entity;
  };
  constexpr std::string_view kObjectDbx = "ObjectDBX Classes", kIsm = "ISM";
  std::vector<Class> classes{
      {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", kObjectDbx.data(), 0, false},
      {"LAYOUT", "AcDbLayout", kObjectDbx.data(), 0, false},
      {"ACDBPLACEHOLDER", "AcDbPlaceHolder", kObjectDbx.data(), 0, false}};
  if (pictures_) {
    classes.push_back({"IMAGE", "AcDbRasterImage", kIsm.data(), 2175, true});
    classes.push_back({"IMAGEDEF", "AcDbRasterImageDef", kIsm.data(), 0, false});
    classes.push_back({"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", kIsm.data(), 1, false});
    classes.push_back({"RASTERVARIABLES", "AcDbRasterVariables", kIsm.data(), 0, false});
  }
  for (const Class& c : classes) {
    w.Raw(0, "CLASS");
    w.Raw(1, c.dxfName);
    w.Raw(2, c.cppName);
    w.Raw(3, c.application);
    w.Int(90, c.proxyFlags);
    if (o_.version == Version::kR2018) w.Int(91, 0);
    w.Int(280, 0);
    w.Int(281, c.entity ? 1 : 0);
  }
  w.Raw(0, "ENDSEC");
}

void Exporter::WriteHeader(GroupWriter& w) {
  w.Raw(0, "SECTION");
  w.Raw(2, "HEADER");
  auto var = [&](std::string_view name) { w.Raw(9, name); };
  var("$ACADVER");
  w.Raw(1, AcadVersion(o_.version));
  var("$DWGCODEPAGE");
  w.Raw(3, "ANSI_932");
  // Extents: every layer group's box at its own scale.
  const jww::GroupExtents groups = extents_.get();
  double x0 = 1e20, y0 = 1e20, x1 = -1e20, y1 = -1e20;
  for (int g = 0; g < 16; ++g) {
    if (!groups[g].seeded) continue;
    const double s = GroupScale(g);
    x0 = std::min(x0, groups[g].minX * s);
    y0 = std::min(y0, groups[g].minY * s);
    x1 = std::max(x1, groups[g].maxX * s);
    y1 = std::max(y1, groups[g].maxY * s);
  }
  if (x0 > x1 || y0 > y1) x0 = y0 = x1 = y1 = 0;  // nothing drawn
  const double k = viewScale_;
  var("$INSBASE");
  w.Xyz(10, 0, 0, 0);
  var("$EXTMIN");
  w.Xyz(10, x0, y0, 0);
  var("$EXTMAX");
  w.Xyz(10, x1, y1, 0);
  var("$LIMMIN");
  w.Xy(10, -px_ / 2 * k, -py_ / 2 * k);
  var("$LIMMAX");
  w.Xy(10, px_ / 2 * k, py_ / 2 * k);
  var("$LTSCALE");
  w.Real(40, 1);
  var("$TEXTSTYLE");
  w.Raw(7, "Standard");
  var("$CLAYER");
  w.Raw(8, "0");
  var("$DIMSTYLE");
  w.Raw(2, "Standard");
  var("$LUNITS");
  w.Int(70, 2);
  var("$HANDSEED");
  // Known at the end only: written as a fixed-width placeholder, mended then.
  handSeedOffset_ = w.Placeholder(5, kHandSeedWidth);
  var("$TILEMODE");
  w.Int(70, 1);
  var("$PLIMMIN");
  w.Xy(10, -px_ / 2, -py_ / 2);
  var("$PLIMMAX");
  w.Xy(10, px_ / 2, py_ / 2);
  var("$PSLTSCALE");
  w.Int(70, 0);
  var("$MEASUREMENT");
  w.Int(70, 1);
  var("$LWDISPLAY");
  w.Int(290, 1);
  var("$INSUNITS");
  w.Int(70, 4);  // millimetres
  w.Raw(0, "ENDSEC");
}

bool Exporter::Run() {
  // The header's extents are measured on another thread while the blocks,
  // styles and dimensions are planned: both only read the drawing.
  const auto measure = [this] {
    jww::GroupExtents groups{};
    jww::MeasureExtents(doc_, &groups);
    return groups;
  };
  try {
    extents_ = std::async(std::launch::async, measure);
  } catch (const std::system_error&) {  // no thread to be had: measured when needed
    extents_ = std::async(std::launch::deferred, measure);
  }
  Prepare();
  PrepareBlocks();
  PlanDimensionsAndStyles();
  WriteHeader(w_);
  WriteClasses(w_);
  WriteTables(w_);
  w_.Raw(0, "SECTION");
  w_.Raw(2, "BLOCKS");
  WriteDefinitions();
  WriteModelDimensionBlocks();
  w_.Raw(0, "ENDSEC");
  w_.Raw(0, "SECTION");
  w_.Raw(2, "ENTITIES");
  WriteModelSpace();
  WritePaperSpace();
  w_.Raw(0, "ENDSEC");
  WriteObjects();
  w_.Raw(0, "EOF");
  char seed[kHandSeedWidth + 1];
  std::snprintf(seed, sizeof seed, "%0*llX", static_cast<int>(kHandSeedWidth),
                static_cast<unsigned long long>(h_.next));
  if (st_.images > 0)
    st_.warnings.push_back(std::to_string(st_.images) + " image texts were not exported");
  if (st_.cycles > 0)
    st_.warnings.push_back(std::to_string(st_.cycles) +
                           " placements that would place a block inside itself were left out");
  // The placeholder may still be in the buffer: mend it before the last flush.
  return w_.Patch(handSeedOffset_, std::string_view(seed, kHandSeedWidth)) && w_.Flush();
}

}  // namespace

int NearestAci(uint32_t rgb) {
  static const std::array<Rgb, 256> palette = MakeAciPalette();
  return Exporter_NearestAci(palette, rgb & 0xFFFFFF);
}

int NearestLineweight(double mm) {
  if (!(mm > 0)) return 0;
  const double v = mm * 100;
  int best = kLineweights[0];
  for (int w : kLineweights)
    if (std::fabs(w - v) < std::fabs(best - v)) best = w;
  return best;
}

std::string WriteDxf(const TJwwData& doc, const ExportOptions& options, ExportStats* stats) {
  ExportStats local;
  Exporter e(doc, options, stats ? *stats : local, nullptr);
  e.Run();
  return std::move(e.data());
}

bool WriteDxf(const TJwwData& doc, const ExportOptions& options, std::FILE* out,
              ExportStats* stats) {
  ExportStats local;
  Exporter e(doc, options, stats ? *stats : local, out);
  return e.Run();
}

}  // namespace dxf
