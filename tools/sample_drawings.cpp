// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sample_drawings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "util/text.h"

namespace tools {

namespace {

using jww::TJwwData;
using SxfParts = TJwwData::TSunpoSxfParts;

constexpr int32_t kTopLevel = -1;

// Codes of the end marks of an SXF-mode dimension, stored as the code of its
// arrow points.
constexpr int32_t kDimensionOpenArrow = 1, kDimensionFilledArrow = 3, kDimensionDot = 5,
                  kDimensionTick = 6;

// Attribute values of an entity, in builder order.
struct Pen {
  int32_t lg = 0, ly = 0, co = 2, tp = 1, wd = 0, fl = 0;
  int32_t cn = 0;
};

// Where a sketch's coordinates go: the drawing's are millimetres on the
// sheet, moved by (x, y); a sub-drawing's are given as they will show on the
// sheet at 1:k and stored at full size (times k), text sizes included, as
// Jw_cad's SXF import stores a sub-drawing.
struct Frame {
  double k = 1, x = 0, y = 0;
};

// Adds entities either to the drawing (definition kTopLevel) or to one block
// definition, so that the figures and the plan are drawn with the same
// calls. The first failing builder clears the shared success flag.
class Sketch {
 public:
  Sketch(TJwwData& doc, bool& ok, int32_t definition = kTopLevel, Frame frame = {})
      : doc_(doc), ok_(ok), def_(definition), f_(frame) {}

  void Line(const Pen& p, double x1, double y1, double x2, double y2) {
    x1 = X(x1), y1 = Y(y1), x2 = X(x2), y2 = Y(y2);
    Note(Top() ? doc_.AddEntLine(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x1, y1, x2, y2)
               : doc_.AddBlkLine(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x1, y1, x2, y2));
  }
  void Polyline(const Pen& p, std::initializer_list<std::pair<double, double>> points,
                bool closed = false) {
    const std::vector<std::pair<double, double>> v(points);
    for (size_t i = 1; i < v.size(); ++i) {
      Line(p, v[i - 1].first, v[i - 1].second, v[i].first, v[i].second);
    }
    if (closed && v.size() > 2) Line(p, v.back().first, v.back().second, v[0].first, v[0].second);
  }
  void Rect(const Pen& p, double x1, double y1, double x2, double y2) {
    Polyline(p, {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}}, true);
  }
  // Angles in degrees; flat is the minor/major radius ratio.
  void Arc(const Pen& p, double x, double y, double r, double flat, double start, double sweep,
           double tilt) {
    x = X(x), y = Y(y), r = L(r);
    Note(Top() ? doc_.AddEntArc(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x, y, r, flat, start,
                                sweep, tilt)
               : doc_.AddBlkArc(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x, y, r, flat,
                                start, sweep, tilt));
  }
  void Ellipse(Pen p, double x, double y, double r, double flat, double tilt) {
    p.fl |= 8;
    Arc(p, x, y, r, flat, 0, 360, tilt);
  }
  void Circle(const Pen& p, double x, double y, double r) { Ellipse(p, x, y, r, 1.0, 0); }
  // p.tp is the point code.
  void Point(const Pen& p, double x, double y, double angle = 0, double scale = 1) {
    x = X(x), y = Y(y);
    Note(Top()
             ? doc_.AddEntTen(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x, y, angle, scale)
             : doc_.AddBlkTen(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, x, y, angle, scale));
  }
  // p.tp is the base-point code; text type ms supplies the size (a
  // sub-drawing's texts are of free size: the text type's, at full size).
  void Text(const Pen& p, int32_t ms, double x, double y, double angle, const std::u16string& s) {
    const TextSize size = SizeOf(ms);
    const double w = L(size.w), h = L(size.h), d = L(size.d);
    if (f_.k != 1) ms = 0;
    x = X(x), y = Y(y);
    Note(Top() ? doc_.AddEntMojiAt(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, ms, x, y, w, h, d,
                                   angle, kFont, s)
               : doc_.AddBlkMojiAt(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, ms, x, y, w, h,
                                   d, angle, kFont, s));
  }
  // Text of free size from its start to its end point.
  void TextBetween(const Pen& p, double x1, double y1, double x2, double y2, double w, double h,
                   double angle, const std::u16string& s) {
    x1 = X(x1), y1 = Y(y1), x2 = X(x2), y2 = Y(y2), w = L(w), h = L(h);
    const double d = L(0.5);
    Note(Top() ? doc_.AddEntMoji(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, 0, x1, y1, x2, y2, w, h,
                                 d, angle, kFont, s)
               : doc_.AddBlkMoji(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, 0, x1, y1, x2, y2,
                                 w, h, d, angle, kFont, s));
  }
  void Solid(const Pen& p, int32_t rgb, std::array<double, 8> c) {
    for (size_t i = 0; i < c.size(); i += 2) c[i] = X(c[i]), c[i + 1] = Y(c[i + 1]);
    Note(Top() ? doc_.AddEntSolid(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, c[0], c[1], c[2],
                                  c[3], c[4], c[5], c[6], c[7])
               : doc_.AddBlkSolid(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, c[0], c[1],
                                  c[2], c[3], c[4], c[5], c[6], c[7]));
  }
  void Triangle(const Pen& p, int32_t rgb, std::array<double, 6> c) {
    for (size_t i = 0; i < c.size(); i += 2) c[i] = X(c[i]), c[i + 1] = Y(c[i + 1]);
    Note(Top() ? doc_.AddEntSolid(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, c[0], c[1], c[2],
                                  c[3], c[4], c[5])
               : doc_.AddBlkSolid(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, c[0], c[1],
                                  c[2], c[3], c[4], c[5]));
  }
  void Disc(const Pen& p, int32_t rgb, double x, double y, double r, double flat, double tilt) {
    x = X(x), y = Y(y), r = L(r);
    Note(Top() ? doc_.AddEntSolidA(p.cn, p.lg, p.ly, p.co, p.wd, p.fl, rgb, x, y, r, flat, tilt)
               : doc_.AddBlkSolidA(def_, p.cn, p.lg, p.ly, p.co, p.wd, p.fl, rgb, x, y, r, flat,
                                   tilt));
  }
  void Sector(const Pen& p, int32_t rgb, double x, double y, double r, double flat, double tilt,
              double start, double sweep) {
    x = X(x), y = Y(y), r = L(r);
    Note(Top() ? doc_.AddEntSolidA(p.cn, p.lg, p.ly, p.co, p.wd, p.fl, rgb, x, y, r, flat, tilt,
                                   start, sweep)
               : doc_.AddBlkSolidA(def_, p.cn, p.lg, p.ly, p.co, p.wd, p.fl, rgb, x, y, r, flat,
                                   tilt, start, sweep));
  }
  // p.tp chooses the figure (1 sector, 2 and 3 the other arc figures).
  void ArcFigure(const Pen& p, int32_t rgb, double x, double y, double r, double flat, double tilt,
                 double start, double sweep) {
    x = X(x), y = Y(y), r = L(r);
    Note(Top() ? doc_.AddEntSolidC(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, x, y, r, flat,
                                   tilt, start, sweep)
               : doc_.AddBlkSolidC(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, x, y, r,
                                   flat, tilt, start, sweep));
  }
  void Ring(const Pen& p, int32_t rgb, double x, double y, double r, double inner, double flat,
            double tilt, double start, double sweep) {
    x = X(x), y = Y(y), r = L(r), inner = L(inner);
    Note(Top() ? doc_.AddEntSolidD(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, x, y, r, inner,
                                   flat, tilt, start, sweep)
               : doc_.AddBlkSolidD(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, rgb, x, y, r,
                                   inner, flat, tilt, start, sweep));
  }
  // A placement at (x, y) with the scales as stored: 1/50 places a
  // sub-drawing drawn at full size onto a sheet at 1:50.
  void Insert(const Pen& p, int32_t definition, double x, double y, double sx, double sy,
              double angle) {
    x = X(x), y = Y(y);
    Note(Top() ? doc_.AddEntBlock(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, definition, x, y, sx,
                                  sy, angle)
               : doc_.AddBlkBlock(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, definition, x, y,
                                  sx, sy, angle));
  }
  // SXF-mode dimension between the measured points k1 and k2, its line
  // `offset` to the left of k1→k2; the value text sits on the line. On the
  // drawing only (its sizes are the sheet's).
  void Dimension(const Pen& p, double k1x, double k1y, double k2x, double k2y, double offset,
                 const std::u16string& value) {
    k1x = X(k1x), k1y = Y(k1y), k2x = X(k2x), k2y = Y(k2y);
    const double len = std::hypot(k2x - k1x, k2y - k1y);
    const double nx = -(k2y - k1y) / len, ny = (k2x - k1x) / len;
    const double x1 = k1x + nx * offset, y1 = k1y + ny * offset;
    const double x2 = k2x + nx * offset, y2 = k2y + ny * offset;
    const double angle = ReadableAngle(k2x - k1x, k2y - k1y);
    // The text stands just off the line on the side its letters grow to.
    const double a = angle * std::numbers::pi / 180;
    const double tx = (x1 + x2) / 2 - std::sin(a) * 0.5, ty = (y1 + y2) / 2 + std::cos(a) * 0.5;

    SxfParts sxf;
    sxf.ho1 = {1, p.co, 1, 0, 0};
    sxf.ho2 = {1, p.co, 1, 0, 0};
    // Each dimension's ends as its own settings say: filled arrows, or the
    // other kinds of ends by the code given.
    sxf.te1 = {2, p.co, endCode_, 0, 0, 0, 0, 0, 0, 1.0};  // arrow heads point outwards
    sxf.te2 = {1, p.co, endCode_, 0, 0, 0, 0, 0, 0, 1.0};
    sxf.kt1 = {1, p.co, -1, 0, 0, k1x, k1y};
    sxf.kt2 = {1, p.co, -1, 0, 0, k2x, k2y};
    const TextSize size = SizeOf(kDimensionText);
    // Text base point 2: the middle of its lower edge.
    Note(Top() ? doc_.AddEntSunpoSxfAtDist(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, p.co, 2, 0, 0,
                                           kDimensionText, x1, y1, x2, y2, tx, ty, size.w, size.h,
                                           size.d, angle, kFont, value, sxf, 1.0, 1.0)
               : doc_.AddBlkSunpoSxfAtDist(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, p.co, 2,
                                           0, 0, kDimensionText, x1, y1, x2, y2, tx, ty, size.w,
                                           size.h, size.d, angle, kFont, value, sxf, 1.0, 1.0));
  }
  // The code of the ends of the dimensions that follow.
  void DimensionEnds(int32_t code) { endCode_ = code; }
  // Plain dimension of older drawings: line and text only.
  void PlainDimension(const Pen& p, double x1, double y1, double x2, double y2,
                      const std::u16string& value) {
    x1 = X(x1), y1 = Y(y1), x2 = X(x2), y2 = Y(y2);
    const TextSize size = SizeOf(kDimensionText);
    const double angle = ReadableAngle(x2 - x1, y2 - y1);
    Note(Top() ? doc_.AddEntSunpoAt(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, p.co, 2, 0, 0,
                                    kDimensionText, x1, y1, x2, y2, (x1 + x2) / 2, (y1 + y2) / 2,
                                    size.w, size.h, size.d, angle, kFont, value)
               : doc_.AddBlkSunpoAt(def_, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, p.co, 2, 0, 0,
                                    kDimensionText, x1, y1, x2, y2, (x1 + x2) / 2, (y1 + y2) / 2,
                                    size.w, size.h, size.d, angle, kFont, value));
  }

 private:
  struct TextSize {
    double w, h, d;
  };
  static constexpr int32_t kDimensionText = 2;
  static constexpr const char16_t* kFont = u"ＭＳ ゴシック";

  bool Top() const { return def_ == kTopLevel; }
  // Direction of a dimension text in degrees, turned so that it never reads
  // upside down: within (-90, 90].
  static double ReadableAngle(double dx, double dy) {
    double a = std::atan2(dy, dx) * 180 / std::numbers::pi;
    if (a > 90) a -= 180;
    if (a <= -90) a += 180;
    return a;
  }
  void Note(bool added) { ok_ = ok_ && added; }
  TextSize SizeOf(int32_t ms) const {
    const int32_t t = ms % 10000;
    if (t < 1 || t > static_cast<int32_t>(doc_.EntMoj.size())) return {3, 3, 0.5};
    const auto& m = doc_.EntMoj[t - 1];
    return {m.adMojiX, m.adMojiY, m.adMojiD};
  }

  double X(double x) const { return f_.x + f_.k * x; }
  double Y(double y) const { return f_.y + f_.k * y; }
  double L(double v) const { return f_.k * v; }

  TJwwData& doc_;
  bool& ok_;
  int32_t def_;
  Frame f_;
  int32_t endCode_ = kDimensionFilledArrow;
};

// A new block definition, or -1 when it cannot be added. Names without the
// SXF marker become SXF figures with flag bf; a plain block is renamed after.
int32_t NewDefinition(TJwwData& doc, bool& ok, const Pen& p, int32_t bf,
                      const std::u16string& name) {
  const bool added = doc.AddBlkDef(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, bf, name);
  ok = ok && added;
  return added ? doc.EntBlockDefN - 1 : -1;
}

int32_t NewPlainBlock(TJwwData& doc, bool& ok, const Pen& p, const std::u16string& name) {
  const int32_t i = NewDefinition(doc, ok, p, 4, name);
  if (i >= 0) doc.EntBlockDef[i].strName = name;
  return i;
}

void FinishDefinitions(TJwwData& doc) {
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) doc.AddBlkDefPost(i);
}

// ---- the plan ----

// One module of 910 mm drawn at 1:50, in paper millimetres.
constexpr double M = 18.2;
constexpr double kWall = 3.0;  // 150 mm

enum PlanLayer { kGrid = 0, kWalls = 1, kFittings = 2, kEquipment = 3, kTexts = 4, kDims = 5 };

void NameLayers(TJwwData& doc) {
  doc.EntLgrp[0].aStrGLayName = u"1階平面図";
  const char16_t* names[] = {u"通り芯", u"壁", u"建具", u"設備", u"文字", u"寸法", u"仕上"};
  for (int i = 0; i < 7; ++i) doc.EntLay[i].aStrLayName = names[i];
  doc.Enthd.strMemo = u"Brindle サンプル図面\r\nSXF 図形の展開を試すための平面図";
}

// Hinged door, hinge at the origin, opening along +x, leaf along +y.
void DrawDoor(Sketch s) {
  const Pen leaf{0, kFittings, 2, 1};
  const Pen swing{0, kFittings, 2, 2};
  s.Line(leaf, 0, 0, 0, 0.8 * M);
  s.Arc(swing, 0, 0, 0.8 * M, 1.0, 0, 90, 0);
  s.Line(leaf, 0, 0, 0.8 * M, 0);
  s.Text(Pen{0, kTexts, 3, 5}, 1, 0.4 * M, -2.0, 0, u"WD1");
}

// Sliding window in a wall of thickness kWall, centred on the wall line.
void DrawWindow(Sketch s) {
  const Pen frame{0, kFittings, 2, 1};
  const Pen sash{0, kFittings, 5, 1};
  s.Rect(frame, 0, -kWall / 2, 1.8 * M, kWall / 2);
  s.Line(sash, 0, -0.4, 1.0 * M, -0.4);
  s.Line(sash, 0.8 * M, 0.4, 1.8 * M, 0.4);
  s.Ellipse(Pen{0, kFittings, 4, 1}, 0.9 * M, 0, 1.0, 0.5, 0);
  s.Text(Pen{0, kTexts, 3, 2}, 1, 0.9 * M, kWall, 0, u"AW1");
}

// Column 300 mm square: a filled square with its outline and a centre point.
void DrawColumn(Sketch s) {
  const double h = 3.0;
  s.Solid(Pen{0, kWalls, 10, 1}, 0x808080, {-h, -h, h, -h, h, h, -h, h});
  s.Rect(Pen{0, kWalls, 2, 1}, -h, -h, h, h);
  s.Point(Pen{0, kWalls, 2, 0}, 0, 0);
}

// Section of a larger column, 600 mm square with twelve main bars and a hoop,
// for a detail at 1:20: in millimetres on a sheet at 1:20.
void DrawColumnDetail(Sketch s) {
  const double h = 15.0;  // 300 mm
  s.Rect(Pen{0, kWalls, 2, 1, 50}, -h, -h, h, h);
  s.Rect(Pen{0, kWalls, 3, 2}, -h + 2.0, -h + 2.0, h - 2.0, h - 2.0);  // hoop, 40 mm cover
  const double bar = 1.1 / 2, at = h - 3.0;
  for (int i = 0; i < 4; ++i) {
    const double t = -at + i * (2 * at / 3);
    for (const auto& [x, y] : {std::pair{t, -at}, std::pair{t, at}}) {
      s.Disc(Pen{0, kWalls, 2}, 0, x, y, bar, 1.0, 0);
      if (i > 0 && i < 3) s.Disc(Pen{0, kWalls, 2}, 0, y, x, bar, 1.0, 0);
    }
  }
  s.Line(Pen{0, kTexts, 2, 1}, at, at, h + 6.0, h + 6.0);
  s.Text(Pen{0, kTexts, 2, 1}, 2, h + 6.5, h + 6.0, 0, u"主筋 12-D22");
  s.Text(Pen{0, kTexts, 2, 1}, 2, h + 6.5, h + 2.0, 0, u"帯筋 D13@100");
}

// Wash-basin counter with its own door: a figure that places another figure.
void DrawWashUnit(Sketch s, int32_t door) {
  const Pen counter{0, kEquipment, 3, 1};
  s.Rect(counter, 0, 0, 1.6 * M, 0.6 * M);
  s.Ellipse(Pen{0, kEquipment, 4, 1}, 0.8 * M, 0.3 * M, 4.0, 0.6, 0);
  s.Arc(Pen{0, kEquipment, 4, 1}, 0.8 * M, 0.3 * M, 5.0, 0.6, 200, 140, 0);
  s.Sector(Pen{0, kEquipment, 10}, 0xE0E0F0, 0.8 * M, 0.3 * M, 3.0, 0.6, 0, 0, 180);
  s.Point(Pen{0, kEquipment, 4, 2}, 0.8 * M, 0.45 * M);
  s.Text(Pen{0, kTexts, 2, 5}, 2, 0.8 * M, 0.8 * M, 0, u"洗面台");
  s.Insert(Pen{0, kFittings, 2, 1}, door, 1.6 * M + 2.0, 0.0, 1.0, 1.0, 0);
}

// North arrow: a plain user block, not an SXF figure.
void DrawNorthArrow(Sketch s) {
  const Pen p{0, kTexts, 2, 1};
  s.Circle(p, 0, 0, 6.0);
  s.Line(p, 0, -6.0, 0, 6.0);
  s.Triangle(Pen{0, kTexts, 2, 1}, 0, {0, 6.0, -2.5, -1.0, 2.5, -1.0});
  s.Text(Pen{0, kTexts, 2, 2}, 3, 0, 7.0, 0, u"N");
}

void DrawWalls(Sketch s) {
  const Pen grid{0, kGrid, 1, 7};
  for (double x : {0.0, 6 * M, 10 * M}) s.Line(grid, x, -1.2 * M, x, 9.2 * M);
  for (double y : {0.0, 4 * M, 8 * M}) s.Line(grid, -1.2 * M, y, 11.2 * M, y);

  const Pen wall{0, kWalls, 2, 1, 35};
  const double h = kWall / 2;
  s.Rect(wall, -h, -h, 10 * M + h, 8 * M + h);
  s.Rect(wall, h, h, 10 * M - h, 8 * M - h);
  s.Polyline(wall, {{6 * M - h, h}, {6 * M - h, 8 * M - h}});
  s.Polyline(wall, {{6 * M + h, h}, {6 * M + h, 4 * M - h}});
  s.Polyline(wall, {{6 * M + h, 4 * M + h}, {6 * M + h, 8 * M - h}});
  s.Polyline(wall, {{6 * M + h, 4 * M - h}, {10 * M - h, 4 * M - h}});
  s.Polyline(wall, {{6 * M + h, 4 * M + h}, {10 * M - h, 4 * M + h}});

  // Entrance floor: SXF colour and SXF line type (dashed).
  const Pen hatch{0, kFittings, 104, 32};
  for (int i = 1; i < 6; ++i) s.Line(hatch, 1.5 * M + i * 3.0, h, 1.5 * M + i * 3.0, 1.2 * M);
}

void DrawFurniture(Sketch s) {
  const Pen furniture{0, kEquipment, 3, 1};
  s.Circle(furniture, 2.5 * M, 5.0 * M, 8.0);
  for (double a : {0.0, 90.0, 180.0, 270.0}) {
    const double r = a * std::numbers::pi / 180;
    s.Circle(furniture, 2.5 * M + 11.0 * std::cos(r), 5.0 * M + 11.0 * std::sin(r), 2.5);
  }
  s.Ellipse(Pen{0, kEquipment, 6, 1}, 3.5 * M, 2.0 * M, 14.0, 0.5, 20);
  // Bay window bulging out of the living room's west wall.
  s.Arc(Pen{0, kWalls, 2, 1, 35}, 0, 6.0 * M, 0.8 * M, 1.0, 90, 180, 0);
  s.Arc(Pen{0, kWalls, 2, 1, 35}, 0, 6.0 * M, 0.8 * M + kWall, 1.0, 90, 180, 0);

  // Bed, rug and plants: solids and the arc solids.
  s.Solid(Pen{0, 6, 10, 1}, 0x80C080,
          {8 * M, 4.6 * M, 9.6 * M, 4.6 * M, 9.6 * M, 6.8 * M, 8 * M, 6.8 * M});
  s.Disc(Pen{0, kEquipment, 3}, 0, 0.6 * M, 7.4 * M, 3.0, 1.0, 0);
  s.Disc(Pen{0, kEquipment, 10}, 0x2080C0, 5.4 * M, 0.6 * M, 3.0, 0.7, 30);
  s.ArcFigure(Pen{0, kEquipment, 5, 1}, 0, 5.4 * M, 7.4 * M, 3.0, 1.0, 0, 180, 270);
  s.Ring(Pen{0, kEquipment, 8, 1}, 0, 9.3 * M, 0.7 * M, 4.0, 2.5, 1.0, 0, 0, 360);

  s.Point(Pen{0, kGrid, 1, 0, 0, 8}, 0, 0);  // temporary point at the origin
  // A hedge along the garden: random lines (line types 11 and 15).
  s.Line(Pen{0, kEquipment, 3, 15}, 0.5 * M, 9.0 * M, 5.5 * M, 9.0 * M);
  s.Line(Pen{0, kEquipment, 3, 11}, 0.5 * M, 9.3 * M, 5.5 * M, 9.3 * M);
}

void DrawTexts(Sketch s) {
  const Pen centre{0, kTexts, 2, 5};
  s.Text(centre, 5, 3 * M, 3 * M, 0, u"居間・食堂");
  s.Text(centre, 4, 7 * M, 6 * M, 0, u"寝室");
  s.Text(centre, 4, 8 * M, 2.6 * M, 0, u"洗面所");
  s.Text(centre, 3, 2 * M, 0.7 * M, 0, u"玄関");
  s.Text(Pen{0, kTexts, 2, 1}, 6, 0, -3.2 * M, 0, u"平面図　Ｓ＝１：５０");
  // Not a message: a text of the sample drawing.
  s.Text(Pen{0, kTexts, 2, 9}, 2, 10 * M, -3.2 * M, 0, u"Brindle sample plan");
  s.Text(Pen{0, kTexts, 2, 7, 0, 4}, 3, -2.2 * M, 8 * M, 0, u"縦書き");
  s.TextBetween(Pen{0, kTexts, 2, 1}, 6.3 * M, 1.6 * M, 6.3 * M + 24, 1.6 * M, 2.5, 2.5, 0,
                u"PS 600×600");
}

void DrawDimensions(Sketch s) {
  const Pen dim{0, kDims, 1, 1};
  s.Dimension(dim, 10 * M, 0, 0, 0, 1.8 * M, u"9,100");
  s.DimensionEnds(kDimensionTick);
  s.Dimension(dim, 0, 0, 0, 8 * M, 1.8 * M, u"7,280");
  s.DimensionEnds(kDimensionDot);
  s.Dimension(dim, 10 * M, 8 * M, 10 * M, 0, 1.8 * M, u"7,280");
  s.DimensionEnds(kDimensionOpenArrow);
  s.Dimension(dim, 10 * M, 0, 6 * M, 0, 1.2 * M, u"3,640");
  s.PlainDimension(dim, 0, -1.2 * M, 6 * M, -1.2 * M, u"5,460");
}

// Where the plan's origin (the corner of the grid) and the detail's centre
// are on the A3 sheet, millimetres from its centre.
constexpr Frame kPlanOnSheet{1, -150, -62};
constexpr Frame kDetailOnSheet{1, 130, 40};
// Sub-drawings are drawn at full size and placed at 1/50 (the plan) and 1/20
// (the detail), as Jw_cad's SXF import makes them.
constexpr double kPlanScale = 50, kDetailScale = 20;
constexpr double kPlan = 1 / kPlanScale;

bool BuildSamplePlan(TJwwData& doc) {
  bool ok = true;
  doc.DataDefaultSet();
  doc.Enthd.jwVer = 700;
  doc.Enthd.nZumen = 3;  // A3
  doc.EntLgrp[0].adScale = kPlanScale;
  NameLayers(doc);
  ok = doc.AddEntPre();

  // The wash unit comes first so that the door it places is exploded too.
  const Pen defPen{0, 0, 2, 1};
  const int32_t washUnit = NewDefinition(doc, ok, defPen, 1, u"洗面ユニット");
  const int32_t door = NewDefinition(doc, ok, defPen, 1, u"片開き戸");
  const int32_t window = NewDefinition(doc, ok, defPen, 2, u"引違い窓");
  const int32_t column = NewDefinition(doc, ok, defPen, 1, u"柱");
  const int32_t detail = NewDefinition(doc, ok, defPen, 1, u"柱詳細");
  const int32_t north = NewPlainBlock(doc, ok, defPen, u"方位記号");
  if (!ok) return false;
  const Frame fullSize{kPlanScale}, detailFullSize{kDetailScale};
  DrawDoor(Sketch(doc, ok, door, fullSize));
  DrawWindow(Sketch(doc, ok, window, fullSize));
  DrawColumn(Sketch(doc, ok, column, fullSize));
  DrawColumnDetail(Sketch(doc, ok, detail, detailFullSize));
  DrawWashUnit(Sketch(doc, ok, washUnit, fullSize), door);
  DrawNorthArrow(Sketch(doc, ok, north));  // a symbol on the sheet, not a sub-drawing
  FinishDefinitions(doc);

  Sketch top(doc, ok, kTopLevel, kPlanOnSheet);
  DrawWalls(top);
  const Pen fitting{0, kFittings, 2, 1};
  const Pen keepOwnLayers{0, kFittings, 2, 1, 0, 16};
  // The last placement of a figure decides its group's scale: each figure's
  // last one is at 1/50 exactly.
  top.Insert(fitting, door, 1.2 * M, 0, kPlan, kPlan, 0);                     // entrance
  top.Insert(fitting, door, 6 * M, 6.2 * M, kPlan, kPlan, 90);                // bedroom
  top.Insert(fitting, door, 6 * M, 2.8 * M, -kPlan, kPlan, 270);              // wash room, mirrored
  top.Insert(keepOwnLayers, door, 4.0 * M, 8 * M, 1.25 * kPlan, kPlan, 180);  // wide, to the garden
  top.Insert(fitting, window, 2.6 * M, 8 * M, 1.2 * kPlan, kPlan, 180);
  top.Insert(fitting, window, 0, 3.0 * M, 0.8 * kPlan, kPlan, 90);
  top.Insert(fitting, window, 10 * M, 7.0 * M, 1.2 * kPlan, -kPlan, 270);
  top.Insert(fitting, window, 3.5 * M, 0, kPlan, kPlan, 0);
  const Pen structure{0, kWalls, 2, 1};
  for (double x : {0.0, 6 * M, 10 * M}) {
    for (double y : {0.0, 4 * M, 8 * M}) top.Insert(structure, column, x, y, kPlan, kPlan, 0);
  }
  top.Insert(structure, column, 3 * M, 8 * M, 1.5 * kPlan, 0.75 * kPlan, 0);
  top.Insert(structure, column, 3 * M, 0, kPlan, kPlan, 45);
  const Pen equipment{0, kEquipment, 2, 1};
  top.Insert(equipment, washUnit, 6.6 * M, 0.2 * M, kPlan, kPlan, 0);
  top.Insert(equipment, washUnit, 9.8 * M, 3.2 * M, kPlan, -kPlan, 180);
  top.Insert(Pen{0, kTexts, 2, 1}, north, 11.5 * M, 9.0 * M, 1.0, 1.0, 15);
  DrawFurniture(top);
  DrawTexts(top);
  DrawDimensions(top);

  Sketch sheet(doc, ok, kTopLevel, kDetailOnSheet);
  sheet.Insert(structure, detail, 0, 0, 1 / kDetailScale, 1 / kDetailScale, 0);
  sheet.Text(Pen{0, kTexts, 2, 2}, 5, 0, -24.0, 0, u"柱詳細　Ｓ＝１：２０");

  return doc.AddEntPost() && ok;
}

// ---- generated drawings ----

class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  // Uniform in [lo, hi); portable, unlike the standard distributions.
  double Real(double lo, double hi) { return lo + (hi - lo) * (engine_() / 4294967296.0); }
  int32_t Int(int32_t n) { return static_cast<int32_t>(engine_() % static_cast<uint32_t>(n)); }
  bool Chance(int percent) { return Int(100) < percent; }

 private:
  std::mt19937 engine_;
};

const std::u16string kJapaneseTexts[] = {
    u"居間",
    u"寝室",
    u"台所",
    u"玄関ホール",
    u"洗面脱衣室",
    u"図面番号 A-101",
    u"鉄筋コンクリート造",
    u"ｶﾀｶﾅ半角",
    u"延床面積 120.5㎡",
    u"特記なき限り ±0",
};

Pen RandomPen(Random& r, int32_t groups) {
  Pen p;
  p.lg = r.Int(groups);
  p.ly = r.Int(16);
  p.co = r.Chance(90) ? 1 + r.Int(9) : 101 + r.Int(16);
  p.tp = r.Chance(90) ? 1 + r.Int(9) : 31 + r.Int(16);
  p.wd = r.Chance(80) ? 0 : 13 + r.Int(60);
  return p;
}

// Shares out of 100 picks: lines below 80, texts below 90, arcs below 92,
// points below 94, solids below 96, dimensions below 98, insertions above.
constexpr int kInsertionPick = 98;

// One member or entity of the kind `pick` stands for, around the origin
// within `extent`.
void RandomEntity(Sketch& s, Random& r, int pick, double extent, int32_t groups) {
  Pen p = RandomPen(r, groups);
  const auto coord = [&] { return r.Real(-extent, extent); };
  if (pick < 80) {
    s.Line(p, coord(), coord(), coord(), coord());
  } else if (pick < 90) {
    p.tp = 1 + r.Int(9);
    const auto& text = kJapaneseTexts[r.Int(static_cast<int32_t>(std::size(kJapaneseTexts)))];
    s.Text(p, 1 + r.Int(10), coord(), coord(), r.Real(0, 360), text);
  } else if (pick < 92) {
    if (r.Chance(50)) {
      s.Arc(p, coord(), coord(), r.Real(1, extent / 4), 1.0, r.Real(0, 360), r.Real(10, 350), 0);
    } else {
      s.Ellipse(p, coord(), coord(), r.Real(1, extent / 4), r.Real(0.2, 1), r.Real(0, 180));
    }
  } else if (pick < 94) {
    p.tp = r.Int(12);
    s.Point(p, coord(), coord(), r.Real(0, 360), r.Real(0.5, 2));
  } else if (pick < 96) {
    const double x = coord(), y = coord(), w = r.Real(1, extent / 8), h = r.Real(1, extent / 8);
    if (r.Chance(70)) {
      s.Solid(p, 0, {x, y, x + w, y, x + w, y + h, x, y + h});
    } else {
      s.Disc(Pen{p.lg, p.ly, 10}, 0x40A0E0, x, y, w, r.Real(0.3, 1), r.Real(0, 180));
    }
  } else {
    const double x = coord(), y = coord();
    s.Dimension(p, x, y, x + r.Real(5, extent / 2), y + r.Real(-5, 5), r.Real(2, 6), u"1,234");
  }
}

}  // namespace

jww::TJwwData MakeSamplePlan() {
  TJwwData doc;
  BuildSamplePlan(doc);
  return doc;
}

SampleWrite WriteNewDrawing(jww::TJwwData& doc, const std::string& path, int32_t version,
                            std::string* error) {
  if (doc.FileOutNew(path, version)) return SampleWrite::kWritten;
  std::error_code ec;
  // The writer says "exists" when the name is taken; a file (not a folder of
  // that name) is what the tools promise to keep.
  if (std::filesystem::is_regular_file(path, ec)) return SampleWrite::kKept;
  // Not a message: said again in the user's language by app::TranslateCoreError.
  if (error) *error = "cannot write " + path + ": " + doc.LastWriteError;
  return SampleWrite::kFailed;
}

bool WriteSamplePlans(const std::string& dir, std::string* error, std::vector<std::string>* kept) {
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  // Not a message: said again in the user's language by app::TranslateCoreError.
  if (!std::filesystem::is_directory(dir)) return fail("cannot create folder " + dir);

  TJwwData doc;
  // Not a message: said again in the user's language by app::TranslateCoreError.
  if (!BuildSamplePlan(doc)) return fail("cannot build the sample plan");

  struct Output {
    const char* name;
    int32_t version;
    int32_t options;
  };
  const Output outputs[] = {
      {"plan.jww", 700, 0},     {"plan-230.jww", 230, 0}, {"plan-420.jww", 420, 0},
      {"plan-600.jww", 600, 0}, {"plan-700.jww", 700, 0}, {"plan-utf16.jww", 700, 32},
  };
  for (const Output& o : outputs) {
    const std::string path = (std::filesystem::path(dir) / o.name).string();
    doc.SetFileOutOption(o.options);
    const SampleWrite w = WriteNewDrawing(doc, path, o.version, error);
    if (w == SampleWrite::kFailed) return false;
    if (w == SampleWrite::kKept && kept) kept->push_back(path);
  }
  doc.SetFileOutOption(0);
  return true;
}

namespace {

// A 24-bit BMP of width × height pixels in four colours.
std::string SmallBmp(int width, int height) {
  const int row = (width * 3 + 3) / 4 * 4, size = 54 + row * height;
  std::string b(static_cast<size_t>(size), '\0');
  auto put = [&b](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  b[0] = 'B', b[1] = 'M';
  put(2, static_cast<uint32_t>(size), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, static_cast<uint32_t>(row * height), 4);
  put(38, 2835, 4);  // 72 dots per inch
  put(42, 2835, 4);
  constexpr uint32_t kColours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(54 + y * row + x * 3, kColours[(x + y) % 4], 3);
  return b;
}

}  // namespace

bool WritePictureDrawing(const std::string& dir, std::string* error) {
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::string bmp = (std::filesystem::path(dir) / "site.bmp").string();
  if (!std::filesystem::exists(bmp, ec)) {
    std::FILE* f = std::fopen(bmp.c_str(), "wbe");
    const std::string bytes = SmallBmp(4, 3);
    const bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    // Not a message: said again in the user's language by app::TranslateCoreError.
    if (!f || std::fclose(f) != 0 || !written) return fail("cannot write " + bmp);
  }
  TJwwData doc;
  bool ok = true;
  doc.DataDefaultSet();
  doc.Enthd.jwVer = 700;
  doc.EntLgrp[1].adScale = 50;
  doc.AddEntPre();
  const int32_t part = NewPlainBlock(doc, ok, Pen{}, u"写真枠");
  const auto picture = [&](int32_t def, const Pen& p, double x, double y, const std::u16string& s) {
    const bool added = def < 0 ? doc.AddEntMoji(p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, 0, x, y,
                                                x + 10, y, 2.5, 2.5, 0, 0, u"ＭＳ ゴシック", s)
                               : doc.AddBlkMoji(def, p.cn, p.lg, p.ly, p.co, p.tp, p.wd, p.fl, 0, x,
                                                y, x + 10, y, 2.5, 2.5, 0, 0, u"ＭＳ ゴシック", s);
    ok = ok && added;
  };
  picture(part, Pen{}, 0, 0, u"^@BM%temp%site.bmp,20,15");
  FinishDefinitions(doc);
  picture(kTopLevel, Pen{}, -150.5, 40.25, u"^@BM%temp%site.bmp,60,45");
  picture(kTopLevel, Pen{1, 2}, 30, -60, u"^@BM%temp%site.bmp,30,20,0,0,1,30");
  picture(kTopLevel, Pen{0, 3}, 100, 80, u"^@BMsite.bmp,40,30");
  Sketch top(doc, ok);
  top.Line(Pen{}, -200, -140, 200, 140);
  top.Insert(Pen{}, part, 120, -100, 2, 2, 0);
  doc.AddEntPost();
  doc.BindImageFolder = (std::filesystem::path(dir) / "").string();
  doc.BindImageExr = true;
  doc.BindImage = {{u"site.bmp", static_cast<int32_t>(std::filesystem::file_size(bmp, ec)), false}};
  doc.BindImageN = 1;
  // Not a message: said again in the user's language by app::TranslateCoreError.
  if (!ok) return fail("cannot build the picture drawing");
  const std::string path = (std::filesystem::path(dir) / "pictures.jww").string();
  return WriteNewDrawing(doc, path, 700, error) != SampleWrite::kFailed;
}

jww::TJwwData MakeBenchDrawing(int entities, uint32_t seed) {
  TJwwData doc;
  bool ok = true;
  Random r(seed);
  doc.DataDefaultSet();
  doc.Enthd.jwVer = 700;
  doc.AddEntPre();

  // A few definitions: two plain parts and two SXF figures.
  const Pen defPen;
  std::vector<int32_t> defs = {
      NewPlainBlock(doc, ok, defPen, u"部品A"),
      NewPlainBlock(doc, ok, defPen, u"部品B"),
      NewDefinition(doc, ok, defPen, 1, u"記号1"),
      NewDefinition(doc, ok, defPen, 2, u"記号2"),
  };
  for (int32_t d : defs) {
    Sketch s(doc, ok, d);
    for (int i = 0; i < 12; ++i) RandomEntity(s, r, r.Int(100), 20.0, 1);
  }
  FinishDefinitions(doc);

  Sketch top(doc, ok);
  for (int i = 0; i < entities; ++i) {
    const int pick = r.Int(100);
    if (pick < kInsertionPick) {
      RandomEntity(top, r, pick, 500.0, 4);
    } else {
      const int32_t d = defs[r.Int(static_cast<int32_t>(defs.size()))];
      top.Insert(RandomPen(r, 4), d, r.Real(-500, 500), r.Real(-500, 500), r.Real(0.5, 2),
                 r.Real(0.5, 2), r.Real(0, 360));
    }
  }
  doc.AddEntPost();
  return doc;
}

jww::TJwwData MakeSxfBenchDrawing(int figures, int membersPerFigure, int placements,
                                  uint32_t seed) {
  TJwwData doc;
  bool ok = true;
  Random r(seed);
  doc.DataDefaultSet();
  doc.Enthd.jwVer = 700;
  doc.AddEntPre();

  std::vector<int32_t> defs;
  for (int f = 0; f < figures; ++f) {
    const int32_t d = NewDefinition(doc, ok, Pen{}, 1 + f % 2, u"図形" + util::IntToText(f + 1));
    if (d >= 0) defs.push_back(d);
  }
  // Members cycle through every kind so that each figure holds arcs, texts,
  // points, solids, arc solids and dimensions as well as lines.
  static constexpr int kKindPicks[] = {0, 85, 91, 93, 94, 95, 0, 96, 50, 10};
  for (int32_t d : defs) {
    Sketch s(doc, ok, d);
    for (int m = 0; m < membersPerFigure; ++m) {
      RandomEntity(s, r, kKindPicks[m % static_cast<int>(std::size(kKindPicks))], 50.0, 1);
    }
  }
  FinishDefinitions(doc);

  Sketch top(doc, ok);
  for (int i = 0; i < placements && !defs.empty(); ++i) {
    const double sx = r.Real(0.5, 2.0) * (r.Chance(25) ? -1 : 1);
    const double sy = r.Real(0.5, 2.0) * (r.Chance(25) ? -1 : 1);
    top.Insert(RandomPen(r, 1), defs[r.Int(static_cast<int32_t>(defs.size()))], r.Real(0, 5000),
               r.Real(0, 5000), sx, sy, r.Real(0, 360));
  }
  doc.AddEntPost();
  return doc;
}

namespace {

template <typename T>
void Shift(T& r, double dx, double dy) {
  r.start_x += dx;
  r.start_y += dy;
}
void ShiftEnd(double& x, double& y, double dx, double dy) {
  x += dx;
  y += dy;
}

const std::u16string kPlanTexts[] = {
    u"居間",
    u"寝室",
    u"台所",
    u"洗面所",
    u"玄関",
    u"道路中心線",
    u"５ｍライン",
    u"ＧＬ±０",
    u"押入",
    u"敷地境界線",
    u"隣地境界線より 500",
    u"北側斜線制限",
    u"測定面の高さ４ｍ　測定時間　２，３時間",
    u"鉄筋コンクリート造　地上２階",
    u"特記なき限り寸法はmm",
    u"日影規制をクリアーした。",
    u"WC",
    u"UP",
    u"収納",
    u"敷地線を複線で５ｍ（5000mm）の位置に平行複写（オフセット）する。",
    u"各線の出隅になる２線に対する５ｍの面取（丸面）を行なう。",
    u"北西の隅のパラペットを一部カットして、",
    u"10ｍラインの線・円を５ｍでオフセットする。",
};

// A length on the sheet (mm) drawn from the shares measured in the corpus:
// 52 % under 0.5, 19 % 0.5–2, 9 % 2–5, 9.5 % 5–20, 8.8 % 20–100, 2.6 % 100–170.
double PlanLineLength(Random& r) {
  const int pick = r.Int(1000);
  if (pick < 517) return r.Real(0.1, 0.5);
  if (pick < 703) return r.Real(0.5, 2);
  if (pick < 791) return r.Real(2, 5);
  if (pick < 886) return r.Real(5, 20);
  if (pick < 974) return r.Real(20, 100);
  return r.Real(100, 170);
}

// One A3-sized cell (420 × 297 mm) of a plan with its lower-left corner at
// (x0, y0), about `entities` entities.
void PlanCell(Sketch& s, Random& r, int entities, double x0, double y0, int32_t fixture) {
  constexpr double kW = 420, kH = 297;
  Pen wall;
  wall.co = 2;
  double cx = x0 + r.Real(0, kW), cy = y0 + r.Real(0, kH), heading = r.Real(0, 360);
  for (int i = 0; i < entities; ++i) {
    const int pick = r.Int(1000);
    if (pick < 898) {
      const double len = PlanLineLength(r);
      Pen p = wall;
      p.ly = r.Int(8);
      if (len < 2) {
        // Curves: chains of short segments turning a little at each step.
        if (r.Chance(3)) cx = x0 + r.Real(0, kW), cy = y0 + r.Real(0, kH);
        heading += r.Real(-20, 20);
        const double a = heading * std::numbers::pi / 180;
        const double nx = std::clamp(cx + len * std::cos(a), x0, x0 + kW);
        const double ny = std::clamp(cy + len * std::sin(a), y0, y0 + kH);
        p.co = 1;
        s.Line(p, cx, cy, nx, ny);
        cx = nx, cy = ny;
      } else {
        // Walls, axes and fixtures: mostly square to the sheet.
        const double x = x0 + r.Real(0, kW - std::min(len, kW)), y = y0 + r.Real(0, kH);
        p.tp = r.Chance(80) ? 1 : 2 + r.Int(8);
        p.co = 1 + r.Int(9);
        if (r.Chance(45)) {
          s.Line(p, x, y, x + len, y);
        } else if (r.Chance(80)) {
          const double yy = y0 + r.Real(0, kH - std::min(len, kH));
          s.Line(p, x, yy, x, yy + len);
        } else {
          // Turned lines stay in their cell, from its middle outwards.
          const double a = r.Real(0, 2 * std::numbers::pi), l = std::min(len, kH / 2);
          const double mx = x0 + kW / 2 + r.Real(-40, 40), my = y0 + kH / 2 + r.Real(-40, 40);
          s.Line(p, mx, my, mx + l * std::cos(a), my + l * std::sin(a));
        }
      }
    } else if (pick < 973) {
      Pen p;
      p.co = 5 + r.Int(2);
      p.ly = 4;
      p.tp = 1;
      const auto& text = kPlanTexts[r.Int(static_cast<int32_t>(std::size(kPlanTexts)))];
      // Three quarters of one text type (2.5 mm), the rest 2, 3 and 4 mm.
      const int32_t sizes[] = {2, 2, 2, 2, 2, 2, 1, 3, 4};
      const int32_t ms = sizes[r.Int(static_cast<int32_t>(std::size(sizes)))];
      const double angle = r.Chance(75) ? 0 : 90;
      s.Text(p, ms, x0 + r.Real(0, kW - 60), y0 + r.Real(0, kH - 10), angle, text);
    } else if (pick < 984) {
      s.Arc(wall, x0 + r.Real(0, kW), y0 + r.Real(0, kH), r.Real(2, 40), 1.0, r.Real(0, 360),
            r.Real(30, 360), 0);
    } else if (pick < 999 || fixture < 0) {
      Pen p;
      p.tp = 1;
      s.Point(p, x0 + r.Real(0, kW), y0 + r.Real(0, kH));
    } else {
      s.Insert(wall, fixture, x0 + r.Real(10, kW - 10), y0 + r.Real(10, kH - 10), 1, 1,
               r.Chance(50) ? 0 : 90);
    }
  }
}

}  // namespace

int64_t MoveEveryNth(TJwwData& doc, int every, double dx, double dy) {
  int64_t moved = 0;
  const int32_t n = std::min<int32_t>(doc.Enthd.n1, static_cast<int32_t>(doc.EntNo.size()));
  for (int32_t k = 0; k < n; k += std::max(every, 1)) {
    const int32_t i = doc.EntNo[k].EntNo;
    switch (doc.EntNo[k].EntType) {
      case jww::kLine:
        Shift(doc.EntLine[i], dx, dy);
        ShiftEnd(doc.EntLine[i].end_x, doc.EntLine[i].end_y, dx, dy);
        break;
      case jww::kEnko:
        Shift(doc.EntEnko[i], dx, dy);
        break;
      case jww::kTen:
        Shift(doc.EntTen[i], dx, dy);
        break;
      case jww::kMoji:
        Shift(doc.EntMoji[i], dx, dy);
        ShiftEnd(doc.EntMoji[i].end_x, doc.EntMoji[i].end_y, dx, dy);
        break;
      case jww::kSunpo: {
        jww::TEntJwwSunpo& d = doc.EntSunpo[i];
        for (jww::TEntJwwLine* l : {&d.Sen, &d.Ho1, &d.Ho2}) {
          Shift(*l, dx, dy);
          ShiftEnd(l->end_x, l->end_y, dx, dy);
        }
        Shift(d.Moji, dx, dy);
        ShiftEnd(d.Moji.end_x, d.Moji.end_y, dx, dy);
        for (jww::TEntJwwTen* t : {&d.Te1, &d.Te2, &d.Kt1, &d.Kt2}) Shift(*t, dx, dy);
        break;
      }
      case jww::kSolid: {
        jww::TEntJwwSolid& s = doc.EntSolid[i];
        Shift(s, dx, dy);
        if (s.att.nPenStyle < 101) {  // an arc solid keeps its radius and angles there
          ShiftEnd(s.end_x, s.end_y, dx, dy);
          ShiftEnd(s.DPoint2_x, s.DPoint2_y, dx, dy);
          ShiftEnd(s.DPoint3_x, s.DPoint3_y, dx, dy);
        }
        break;
      }
      case jww::kBlock:
        ShiftEnd(doc.EntBlock[i].DPKijunTen_x, doc.EntBlock[i].DPKijunTen_y, dx, dy);
        break;
      default:
        continue;
    }
    ++moved;
  }
  doc.MakeBlockTree();
  return moved;
}

jww::TJwwData MakePlanBenchDrawing(int entities, uint32_t seed) {
  TJwwData doc;
  bool ok = true;
  Random r(seed);
  doc.DataDefaultSet();
  doc.Enthd.jwVer = 700;
  doc.AddEntPre();
  // A wash basin: a small plain block placed now and then.
  const int32_t fixture = NewPlainBlock(doc, ok, Pen{}, u"洗面器");
  {
    Sketch f(doc, ok, fixture);
    f.Rect(Pen{}, -4, -3, 4, 3);
    f.Ellipse(Pen{}, 0, 0, 3, 0.7, 0);
    f.Point(Pen{}, 0, 2);
  }
  FinishDefinitions(doc);
  constexpr int kPerCell = 1000;
  const int cells = std::max(1, (entities + kPerCell - 1) / kPerCell);
  const int cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(cells * 297.0 / 420.0))));
  const int rows = (cells + cols - 1) / cols;
  Sketch top(doc, ok);
  int left = entities;
  for (int c = 0; c < cells; ++c) {
    const int n = std::min(kPerCell, left);
    left -= n;
    const double x0 = (c % cols - cols / 2.0) * 420, y0 = (rows / 2.0 - 1 - c / cols) * 297;
    PlanCell(top, r, n, x0, y0, fixture);
  }
  doc.AddEntPost();
  return doc;
}

}  // namespace tools
