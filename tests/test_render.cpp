// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of drawings: pixels where the geometry puts them (through the walk
// and the sheet-to-device mapping), the drawing's own line types, layer
// states, mirrored placements and Japanese glyphs; SVG, PDF and PNG output
// read back by other programs; brindle draw's refusal to replace files.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/steps.h"
#include "jww/attr_store.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "jww/walk.h"
#include "render/frontend.h"
#include "render/output.h"
#include "render/painter_backend.h"
#include "render/view_cache.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"
#include "util/geometry.h"

namespace fs = std::filesystem;
using jww::TJwwData;
using render::DPoint;
using render::RenderOptions;
using render::Viewport;

namespace {

constexpr double kPi = std::numbers::pi;

// Fonts need a GUI application: one for the whole test program, made before
// the first test and gone before the program's static objects are.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[12] = "test_render";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};
// gtest owns the environment.
[[maybe_unused]] ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

TJwwData Fresh() {
  TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  return d;
}

void Finish(TJwwData& d) { ASSERT_TRUE(d.AddEntPost()); }

// A 100 × 100 mm window on the sheet around the origin, 4 px per mm.
Viewport View(double pxPerMm = 4) { return Viewport::Covering({-50, -50, 50, 50}, pxPerMm); }

RenderOptions Plain() {
  RenderOptions o;
  o.sheetFrame = false;
  return o;
}

QImage Draw(const TJwwData& d, const Viewport& v = View(), RenderOptions o = Plain()) {
  return render::RenderImage(d, o, v);
}

bool IsInk(const QImage& img, int x, int y) {
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return false;
  return (img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
}

// Any non-background pixel within `r` pixels of `p`.
bool InkNear(const QImage& img, DPoint p, int r = 1) {
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx)
      if (IsInk(img, static_cast<int>(std::floor(p.x)) + dx,
                static_cast<int>(std::floor(p.y)) + dy))
        return true;
  return false;
}

int InkCount(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += IsInk(img, x, y);
  return n;
}

// Where the walk puts a definition point, in device pixels: the placement's
// composed transform, then the viewport (layer-group scale 1).
DPoint PlacedOnDevice(const TJwwData& d, const Viewport& v, double u, double w) {
  util::Affine t;
  jww::WalkPlacedDrawing(d, [&](const jww::PlacedEntity& e) {
    if (!e.TopLevel() && e.placement != nullptr) t = *e.placement;
  });
  return v.ToDevice(util::TransPoint(t, u, w));
}

// Saves picture bytes through the programs' own save step.
bool Save(const QByteArray& bytes, const std::string& path, bool replace, std::string* error) {
  return !app::SaveText(path, bytes.toStdString(),
                        replace ? app::NameRule::kReplace : app::NameRule::kExact, error)
              .empty();
}

}  // namespace

// ---- geometry to pixels ----

TEST(RenderPixels, LineColoursItsImageAndNothingFarFromIt) {
  TJwwData d = Fresh();
  const DPoint a{-30, -20}, b{35, 25};
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 2, 1, 0, 0, a.x, a.y, b.x, b.y));
  Finish(d);
  const Viewport v = View();
  const QImage img = Draw(d, v);
  const DPoint da = v.ToDevice(a), db = v.ToDevice(b);
  for (double t = 0.02; t < 1; t += 0.04) {
    const DPoint p{da.x + t * (db.x - da.x), da.y + t * (db.y - da.y)};
    EXPECT_TRUE(InkNear(img, p)) << "t=" << t;
  }
  // Every ink pixel lies within a few pixels of the segment's image.
  const double len = std::hypot(db.x - da.x, db.y - da.y);
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (!IsInk(img, x, y)) continue;
      const double dist =
          std::fabs((db.x - da.x) * (da.y - y - 0.5) - (da.x - x - 0.5) * (db.y - da.y)) / len;
      ASSERT_LT(dist, 3.0) << x << "," << y;
    }
  }
}

TEST(RenderPixels, CircleAtItsRadiusAndNotInside) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntArc(0, 0, 0, 2, 1, 0, 8, 5, -5, 30, 1, 0, 360, 0));
  Finish(d);
  const Viewport v = View();
  const QImage img = Draw(d, v);
  for (int i = 0; i < 36; ++i) {
    const double th = i * kPi / 18;
    EXPECT_TRUE(InkNear(img, v.ToDevice({5 + 30 * std::cos(th), -5 + 30 * std::sin(th)})))
        << "angle " << i * 10;
    EXPECT_FALSE(InkNear(img, v.ToDevice({5 + 26 * std::cos(th), -5 + 26 * std::sin(th)}), 2));
    EXPECT_FALSE(InkNear(img, v.ToDevice({5 + 34 * std::cos(th), -5 + 34 * std::sin(th)}), 2));
  }
  EXPECT_FALSE(InkNear(img, v.ToDevice({5, -5}), 10));
}

TEST(RenderPixels, SolidsAreFilledWithTheirColour) {
  TJwwData d = Fresh();
  // Colour 10: the solid's own RGB (0x00BBGGRR), here pure red.
  ASSERT_TRUE(
      d.AddEntSolid(0, 0, 0, 10, 1, 0, 0, 0x0000FF, -40, -40, -10, -40, -10, -10, -40, -10));
  // A whole disc (an arc solid) in pen 2, black.
  ASSERT_TRUE(d.AddEntSolidA(0, 0, 0, 2, 0, 0, 0, 20, 20, 10, 1, 0));
  Finish(d);
  const Viewport v = View();
  const QImage img = Draw(d, v);
  const DPoint inside = v.ToDevice({-25, -25});
  EXPECT_EQ(img.pixel(inside.x, inside.y) & 0xFFFFFF, 0xFF0000u);
  const DPoint disc = v.ToDevice({20 + 7, 20});
  EXPECT_EQ(img.pixel(disc.x, disc.y) & 0xFFFFFF, 0x000000u);
  EXPECT_FALSE(InkNear(img, v.ToDevice({20 + 12, 20}), 2));
  EXPECT_FALSE(InkNear(img, v.ToDevice({-5, -25}), 2));
}

TEST(RenderPixels, HiddenLayersAndGroupsLeaveNothingUnlessAllAreAskedFor) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddEntLine(0, 1, 0, 2, 1, 0, 0, -30, 0, 30, 0));  // group 1
  ASSERT_TRUE(d.AddEntLine(0, 2, 4, 2, 1, 0, 0, 0, -30, 0, 30));  // group 2, layer 4
  ASSERT_TRUE(d.AddEntArc(0, 1, 3, 2, 1, 0, 8, 0, 0, 20, 1, 0, 360, 0));
  Finish(d);
  d.EntLgrp[1].anGLay = 0;          // group 1 hidden
  d.EntLay[2 * 16 + 4].aanLay = 0;  // layer 4 of group 2 hidden
  EXPECT_EQ(InkCount(Draw(d)), 0);

  RenderOptions all = Plain();
  all.allGroups = true;
  const QImage shown = Draw(d, View(), all);
  EXPECT_TRUE(InkNear(shown, View().ToDevice({25, 0})));
  EXPECT_TRUE(InkNear(shown, View().ToDevice({0, 25})));
  EXPECT_TRUE(InkNear(shown, View().ToDevice({20, 0})));

  d.EntLgrp[1].anGLay = 2;
  const QImage one = Draw(d);
  EXPECT_TRUE(InkNear(one, View().ToDevice({25, 0})));
  EXPECT_FALSE(InkNear(one, View().ToDevice({0, 25}), 2));
}

TEST(RenderPixels, MirroredPlacementDrawsItsArcMirrored) {
  TJwwData d = Fresh();
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 2, 1, 0, 0, 1, u"quarter"));
  const int32_t def = d.EntBlockDefN - 1;
  // A quarter arc from (10, 0) to (0, 10) about the definition's origin.
  ASSERT_TRUE(d.AddBlkArc(def, 0, 0, 0, 2, 1, 0, 0, 0, 0, 10, 1, 0, 90, 0));
  d.AddBlkDefPost(def);
  // Placed at (5, 5), mirrored in x and doubled.
  ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, def, 5, 5, -2, 2, 0));
  Finish(d);
  const Viewport v = View();
  const QImage img = Draw(d, v);
  const double c = std::cos(kPi / 4) * 10, s = std::sin(kPi / 4) * 10;
  const DPoint mirrored = PlacedOnDevice(d, v, c, s);
  EXPECT_NEAR(mirrored.x, v.ToDevice({5 - 2 * c, 0}).x, 1e-9);  // the walk mirrors it
  EXPECT_TRUE(InkNear(img, mirrored));
  EXPECT_TRUE(InkNear(img, PlacedOnDevice(d, v, 10, 0)));
  EXPECT_TRUE(InkNear(img, PlacedOnDevice(d, v, 0, 10)));
  // Nothing where the unmirrored arc would be, nor in the arc's missing quarters.
  EXPECT_FALSE(InkNear(img, v.ToDevice({5 + 2 * c, 5 + 2 * s}), 3));
  EXPECT_FALSE(InkNear(img, PlacedOnDevice(d, v, -c, -s), 3));
  EXPECT_FALSE(InkNear(img, PlacedOnDevice(d, v, c, -s), 3));
}

// Line type 3 of the default tables: pattern 0xC3C3C3C3, on 2, off 4, on 2
// bits, repeating; its dash list in millimetres on the print.
std::vector<double> LineType3Dashes() {
  TJwwData d = Fresh();
  jww::DrawAttrStore print;
  print.setLineTypeMode(jww::DrawAttrStore::OutputMode::kPrinter);
  d.FileLtypeSet(print);
  return print.lineType(2).segments;  // line type 3 is slot 2
}

TEST(RenderPixels, DashedLineTypeLeavesGapsWhereItsDashListSays) {
  const std::vector<double> dashes = LineType3Dashes();
  ASSERT_EQ(dashes.size(), 3u);
  double period = 0;
  for (double s : dashes) period += std::fabs(s);
  // Whether the dash list draws at distance `mm` from the line's start, and
  // how far the nearest change of state is.
  auto drawnAt = [&](double mm, double& margin) {
    double pos = std::fmod(mm, period), acc = 0;
    for (double s : dashes) {
      const double len = std::fabs(s);
      if (pos < acc + len) {
        margin = std::min(pos - acc, acc + len - pos);
        return s > 0;
      }
      acc += len;
    }
    margin = 0;
    return false;
  };
  struct Case {
    const char* name;
    DPoint a, b;    // sheet millimetres, the view is ±50 mm
    int32_t width;  // 1/100 mm, 20 pixels per millimetre
  };
  // Long hairlines are drawn sharp, by a stroker that counts its pattern in
  // pixels along the major axis: the diagonal ones catch a pattern left in
  // those units, the one from off the picture a pattern that restarts where
  // the picture cuts the line. Two pixels wide is two hairlines in step,
  // five pixels a filled outline per dash.
  const Case cases[] = {
      {"across", {-45, 0}, {45, 0}, 1},
      {"down", {3, 45}, {3, -45}, 1},
      {"diagonal", {-40, -40}, {40, 40}, 1},
      {"steep, right to left", {30, -44}, {-10, 44}, 1},
      {"from off the picture", {-80, -7}, {45, -7}, 1},
      {"from off the picture, diagonal", {-90, -60}, {40, 45}, 1},
      {"two pixels wide", {-45, 12}, {45, 30}, 10},
      {"five pixels wide", {-45, -30}, {40, -12}, 25},
  };
  // The picture as PNG, and as SVG drawn again by librsvg, whose dashes are
  // lengths along the line (Qt's own SVG reader would draw them with the
  // same hairline stroker and hide a pattern meant for it alone).
  const bool haveRsvg = std::system("command -v rsvg-convert > /dev/null 2>&1") == 0;
  const testjww::TempDir dir;
  const auto svgPicture = [&](const TJwwData& d, const Viewport& v) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(v.width, v.height));
    svg.setViewBox(QRectF(0, 0, v.width, v.height));
    {
      QPainter painter(&svg);
      render::PainterBackend backend(painter);
      render::Frontend(d, Plain()).Paint(backend, v);
    }
    const fs::path in = dir.path() / "line.svg", out = dir.path() / "line.png";
    std::ofstream(in, std::ios::binary).write(bytes.constData(), bytes.size());
    fs::remove(out);
    const std::string size = " -w " + std::to_string(v.width) + " -h " + std::to_string(v.height);
    EXPECT_EQ(
        std::system(
            ("rsvg-convert -b white" + size + " -o " + out.string() + " " + in.string()).c_str()),
        0);
    return QImage(QString::fromStdString(out.string())).convertToFormat(QImage::Format_RGB32);
  };
  // And as a window at two device pixels per pixel paints it, where the
  // stroker's pixels are half of the picture's.
  const auto scaledPicture = [](const TJwwData& d, const Viewport& v) {
    QImage img(2 * v.width, 2 * v.height, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(2);
    QPainter painter(&img);
    render::PainterBackend backend(painter);
    render::Frontend(d, Plain()).Paint(backend, v);
    return img;
  };
  enum class Output { kPng, kSvg, kScaled };
  for (const Case& c : cases) {
    for (const Output output : {Output::kPng, Output::kSvg, Output::kScaled}) {
      if (output == Output::kSvg && !haveRsvg) continue;
      const char* names[] = {", PNG", ", SVG", ", two device pixels per pixel"};
      SCOPED_TRACE(std::string(c.name) + names[static_cast<int>(output)]);
      TJwwData d = Fresh();
      ASSERT_TRUE(d.AddEntLine(0, 0, 0, 2, 3, c.width, 0, c.a.x, c.a.y, c.b.x, c.b.y));
      Finish(d);
      const Viewport v = View(20);
      const QImage img = output == Output::kSvg      ? svgPicture(d, v)
                         : output == Output::kScaled ? scaledPicture(d, v)
                                                     : Draw(d, v);
      const double scale = output == Output::kScaled ? 2 : 1;
      const double length = std::hypot(c.b.x - c.a.x, c.b.y - c.a.y);
      const DPoint dir{(c.b.x - c.a.x) / length, (c.b.y - c.a.y) / length};
      int drawn = 0, gaps = 0;
      for (double mm = 0.05; mm < length - 0.1; mm += 0.05) {
        double margin;
        const bool on = drawnAt(mm, margin);
        if (margin * v.pxPerMm < 4) continue;  // stay clear of the dash ends
        const DPoint p = v.ToDevice({c.a.x + mm * dir.x, c.a.y + mm * dir.y});
        if (p.x < 2 || p.y < 2 || p.x > v.width - 2 || p.y > v.height - 2) continue;
        ASSERT_EQ(InkNear(img, {p.x * scale, p.y * scale}, static_cast<int>(scale)), on)
            << "at " << mm << " mm";
        (on ? drawn : gaps)++;
      }
      EXPECT_GT(drawn, 100);
      EXPECT_GT(gaps, 100);
    }
  }
}

// A picture taller than a band is painted in bands on several threads, each
// band told as it is done; it comes out as one painter makes it, but for the ends of dashes, which
// may move by a pixel along lines that a band's edge cuts.
TEST(RenderPixels, PictureInBandsMatchesOnePainter) {
  TJwwData d = Fresh();
  for (int i = 0; i < 24; ++i) {
    const double x = -45 + 3.7 * i;
    // One, two and five pixels wide at 25 pixels per millimetre.
    const int32_t type = 1 + i % 4, width = std::array<int32_t, 3>{4, 8, 20}[i % 3];
    ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1 + i % 8, type, width, 0, x, -48, 40 - x, 47));
  }
  // Long enough to be drawn sharp, though each band holds less of it.
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 2, 2, 4, 0, 10, -14, 13, -22));
  ASSERT_TRUE(d.AddEntArc(0, 0, 0, 2, 2, 0, 0, 0, 0, 30, 1, 0, 360, 0));
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 3, 1, 0, 0, 0, -40, -1, 0, 0, 6, 8, 1, 0, u"", u"帯の境目"));
  Finish(d);
  const Viewport v = View(25);  // 2500 rows: three bands
  ASSERT_GT(v.height, 2048);
  std::vector<std::pair<int, int>> told;
  const QImage banded = render::RenderImage(
      d, Plain(), v, [&](int done, int total) { told.emplace_back(done, total); });
  EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
  QImage one(v.width, v.height, QImage::Format_ARGB32_Premultiplied);
  {
    QPainter painter(&one);
    render::PainterBackend backend(painter);
    render::Frontend(d, Plain()).Paint(backend, v);
  }
  int ink = 0, differ = 0;
  for (int y = 0; y < v.height; ++y) {
    for (int x = 0; x < v.width; ++x) {
      ink += IsInk(one, x, y);
      const QRgb c = banded.pixel(x, y);
      if (c == one.pixel(x, y)) continue;
      ++differ;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
        for (int dx = -1; dx <= 1 && !near; ++dx)
          near = x + dx >= 0 && y + dy >= 0 && x + dx < v.width && y + dy < v.height &&
                 one.pixel(x + dx, y + dy) == c;
      ASSERT_TRUE(near) << "pixel " << x << "," << y << " has no match within a pixel";
    }
  }
  EXPECT_GT(ink, 100000);
  EXPECT_LT(differ, ink / 100);
}

TEST(RenderPixels, TextLiesInTheCellsMojiWidthGivesIt) {
  TJwwData d = Fresh();
  // "ＡｂＣ": full, half, full width; size 6 × 8 mm, spacing 1 mm, at (-40, 0).
  const std::u16string text = u"Ａb Ｃ";
  ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 2, 1, 0, 0, 0, -40, 0, 0, 0, 6, 8, 1, 0, u"", text));
  Finish(d);
  const Viewport v = View(10);
  const QImage img = Draw(d, v);
  const std::vector<util::MojiCell> cells = util::MojiLayout(text, 6, 1);
  ASSERT_EQ(cells.size(), 4u);
  const double end = cells.back().offset + cells.back().width;
  EXPECT_DOUBLE_EQ(end, util::MojiWidth(text, 6, 1));
  // Each visible character leaves ink inside its cell; none beyond the line's
  // end, below its baseline or above its height.
  for (size_t i : {0u, 1u, 3u}) {
    int ink = 0;
    for (double x = cells[i].offset; x < cells[i].offset + cells[i].width; x += 0.1)
      for (double y = 0; y < 8; y += 0.1) {
        const DPoint p = v.ToDevice({-40 + x, y});
        ink += IsInk(img, static_cast<int>(p.x), static_cast<int>(p.y));
      }
    EXPECT_GT(ink, 20) << "cell " << i;
  }
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (!IsInk(img, x, y)) continue;
      const DPoint s = v.ToSheet({x + 0.5, y + 0.5});
      ASSERT_GE(s.x, -40 - 0.3);
      ASSERT_LE(s.x, -40 + end + 0.3);
      ASSERT_GE(s.y, -0.3);
      ASSERT_LE(s.y, 8.3);
    }
  }
}

TEST(RenderPixels, JapaneseTextDrawsGlyphsNotMissingGlyphBoxes) {
  // Each character alone at the same place: the pictures of 日, 本 and 語 all
  // differ from each other and from a character no font has.
  auto picture = [](const std::u16string& s) {
    TJwwData d = Fresh();
    EXPECT_TRUE(
        d.AddEntMoji(0, 0, 0, 2, 1, 0, 0, 0, -20, -20, 0, 0, 40, 40, 0, 0, u"ＭＳ ゴシック", s));
    Finish(d);
    return Draw(d, View(4));
  };
  const QImage missing = picture(u"\U000F0000");  // private use plane: no glyph anywhere
  std::vector<QImage> glyphs{picture(u"日"), picture(u"本"), picture(u"語")};
  auto differing = [](const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) n += IsInk(a, x, y) != IsInk(b, x, y);
    return n;
  };
  for (size_t i = 0; i < glyphs.size(); ++i) {
    EXPECT_GT(InkCount(glyphs[i]), 300) << i;
    EXPECT_GT(differing(glyphs[i], missing), 300) << i;
    for (size_t j = i + 1; j < glyphs.size(); ++j)
      EXPECT_GT(differing(glyphs[i], glyphs[j]), 300) << i << " " << j;
  }
}

// The end marks of SXF-mode dimensions, one dimension per code, each from
// (-20, 0) to (20, 0) with its marks pointing outwards: ink where the
// mark's shape is, none where another code's shape would be. The shapes in
// millimetres on the sheet: arrows 3 long with sides at 15° to the line,
// dots of radius 0.5, ticks 3 long at 45°.
TEST(RenderPixels, DimensionEndsAsTheirCodesSay) {
  const double barbY = 2 * std::tan(15 * kPi / 180);  // half-width 2 mm behind the tip
  const DPoint inArrow{18, 0.3}, onSide{18, barbY}, onBase{17.02, 0.4};
  const DPoint onDot{20, 0.35}, offDot{20, 0.8}, onCircle{20, 0.5}, tickUp{21, 1}, tickDown{21, -1};
  struct Case {
    int32_t code;
    std::vector<DPoint> ink, clear;
  };
  const Case cases[] = {
      {0, {}, {onSide, onCircle, tickUp}},
      {1, {onSide, {18, -barbY}}, {inArrow, onBase, onCircle}},  // open arrow
      {2, {onSide, onBase}, {inArrow, onCircle}},                // hollow arrow
      {3, {onSide, inArrow, onBase}, {onCircle, tickUp}},        // filled arrow
      {4, {onCircle}, {{20, 0.22}, offDot, onSide}},             // hollow dot
      {5, {onDot, {20, -0.35}}, {offDot, onSide}},               // filled dot
      {6, {tickUp, {19, -1}}, {tickDown, onSide, onCircle}},     // tick
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("code " + std::to_string(c.code));
    TJwwData d = Fresh();
    TJwwData::TSunpoSxfParts sxf;
    sxf.te1 = {2, 2, c.code};
    sxf.te2 = {1, 2, c.code};
    ASSERT_TRUE(d.AddEntSunpoSxfAt(0, 0, 0, 2, 1, 0, 0, 2, 1, 0, 0, 0, -20, 0, 20, 0, 0, 5, 2, 2,
                                   0.5, 0, u"", u"", sxf));
    Finish(d);
    const Viewport v = View(20);
    const QImage img = Draw(d, v);
    for (const DPoint& p : c.ink) {
      EXPECT_TRUE(InkNear(img, v.ToDevice(p))) << p.x << "," << p.y;
      // The first end's mark is the second's turned round.
      EXPECT_TRUE(InkNear(img, v.ToDevice({-p.x, -p.y}))) << -p.x << "," << -p.y;
    }
    for (const DPoint& p : c.clear) EXPECT_FALSE(InkNear(img, v.ToDevice(p))) << p.x << "," << p.y;
  }
}

// Random lines (line types 11–15) swing to both sides of the line, and of
// the circle; the others stay on them.
TEST(RenderPixels, RandomLinesAreWavy) {
  // How far the ink strays to both sides: off the x axis, or off the radius
  // of 30 mm about the origin.
  const auto swing = [](int32_t type, bool circle) {
    TJwwData d = Fresh();
    EXPECT_TRUE(circle ? d.AddEntArc(0, 0, 0, 2, type, 0, 8, 0, 0, 30, 1, 0, 360, 0)
                       : d.AddEntLine(0, 0, 0, 2, type, 0, 0, -45, 0, 45, 0));
    Finish(d);
    const Viewport v = View(20);
    const QImage img = Draw(d, v);
    double out = 0, in = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (IsInk(img, x, y)) {
          const DPoint p = v.ToSheet({x + 0.5, y + 0.5});
          const double off = circle ? std::hypot(p.x, p.y) - 30 : p.y;
          out = std::max(out, off);
          in = std::max(in, -off);
        }
    return std::min(out, in);
  };
  for (const bool circle : {false, true}) {
    SCOPED_TRACE(circle ? "circle" : "line");
    EXPECT_LT(swing(1, circle), 0.1);
    EXPECT_LT(swing(16, circle), 0.1);  // a double-length line type, dashed
    for (int32_t type : {13, 15}) {
      EXPECT_GT(swing(type, circle), 0.5) << "line type " << type;
      EXPECT_LT(swing(type, circle), 2.5) << "line type " << type;
    }
  }
}

// ---- the view ----

TEST(RenderView, ZoomKeepsThePointUnderTheMouseAndPanMovesBySheetLength) {
  Viewport v = Viewport::Covering({-100, -50, 100, 50}, 3);
  EXPECT_EQ(v.width, 600);
  EXPECT_EQ(v.height, 300);
  const DPoint at{123, 77};
  const DPoint before = v.ToSheet(at);
  v.ZoomAt(at, 2.5);
  const DPoint after = v.ToSheet(at);
  EXPECT_NEAR(before.x, after.x, 1e-9);
  EXPECT_NEAR(before.y, after.y, 1e-9);
  EXPECT_DOUBLE_EQ(v.pxPerMm, 7.5);
  v.PanBy(15, -30);
  EXPECT_NEAR(v.ToSheet({at.x + 15, at.y - 30}).x, after.x, 1e-9);
  EXPECT_NEAR(v.ToSheet({at.x + 15, at.y - 30}).y, after.y, 1e-9);
}

TEST(RenderView, ViewsCullWhatTheyDoNotShow) {
  TJwwData d = Fresh();
  for (int i = 0; i < 100; ++i)
    ASSERT_TRUE(d.AddEntLine(0, 0, 0, 2, 1, 0, 0, i * 10, 0, i * 10 + 5, 5));
  Finish(d);
  QImage img(100, 100, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&img);
  render::PainterBackend backend(painter);
  Viewport v = Viewport::Covering({0, 0, 50, 50}, 2);
  const render::PaintStats stats = render::Frontend(d, Plain()).Paint(backend, v);
  painter.end();
  EXPECT_LE(stats.primitives, 6);
  EXPECT_GE(stats.culled, 94);
}

// A frame cut from the view cache is the picture a direct paint of the
// panned view gives, and the cache paints again only for a new zoom or a pan
// beyond its margin.
TEST(RenderView, PanFramesFromTheCacheMatchADirectPaint) {
  const TJwwData plan = tools::MakeSamplePlan();
  const render::Frontend frontend(plan, Plain());
  const auto paint = [&](QPainter& p, const Viewport& v) {
    render::PainterBackend backend(p);
    frontend.Paint(backend, v);
  };
  Viewport view = Viewport::Covering({-150, -100, 150, 100}, 1.5);
  render::ViewCache cache;
  QImage frame(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
  const struct {
    double dx, dy, zoom;
    bool paints;
  } steps[] = {{0, 0, 1, true},
               {8, 0, 1, false},
               {-20, 13, 1, false},
               {0, 0, 1.25, true},
               {400, 0, 1, true}};
  for (const auto& step : steps) {
    view.PanBy(step.dx, step.dy);
    view.ZoomAt({100, 100}, step.zoom);
    frame.fill(Qt::white);
    QPainter p(&frame);
    EXPECT_EQ(cache.Draw(p, view, paint), step.paints) << step.dx << " " << step.zoom;
    p.end();
    QImage direct(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
    direct.fill(Qt::white);
    QPainter q(&direct);
    paint(q, view);
    q.end();
    // Lines cut to another rectangle start their pixels elsewhere and edges
    // blend a shade apart, so a few pixels differ; a frame one pixel off
    // would differ in many more.
    const auto apart = [](QRgb a, QRgb b) {
      return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                 std::abs(qBlue(a) - qBlue(b)) >
             96;
    };
    int64_t differ = 0, shifted = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 1; x < frame.width(); ++x) {
        differ += apart(frame.pixel(x, y), direct.pixel(x, y));
        shifted += apart(frame.pixel(x, y), direct.pixel(x - 1, y));
      }
    EXPECT_LT(differ * 5, shifted) << step.dx << " " << step.zoom;
  }
}

// ---- files ----

class RenderFiles : public ::testing::Test {
 protected:
  void SetUp() override { plan_ = tools::MakeSamplePlan(); }
  TJwwData plan_;
  testjww::TempDir dir_{"brindle-render"};
};

TEST_F(RenderFiles, SvgIsXmlThatAnotherReaderParses) {
  const QByteArray svg = render::RenderBytes(plan_, {}, render::Format::kSvg, {800, 0});
  ASSERT_FALSE(svg.isEmpty());
  const std::string path = dir_ / "plan.svg";
  std::string error;
  ASSERT_TRUE(Save(svg, path, false, &error)) << error;
  const std::string cmd =
      "python3 -c \"import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); "
      "sys.exit(0 if r.tag.endswith('svg') and len(list(r.iter())) > 100 else 1)\" " +
      path;
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  if (std::system("command -v rsvg-convert > /dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("rsvg-convert -o " + (dir_ / "svg.png") + " " + path).c_str()), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(dir_ / "svg.png")).isNull());
  }
}

TEST_F(RenderFiles, PdfReadBackMatchesThePng) {
  if (std::system("command -v pdftoppm > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftoppm missing";
  RenderOptions o;
  o.fitToContents = true;
  const double dpi = 60;
  const QByteArray pdf = render::RenderBytes(plan_, o, render::Format::kPdf, {0, dpi});
  const QByteArray png = render::RenderBytes(plan_, o, render::Format::kPng, {0, dpi});
  ASSERT_FALSE(pdf.isEmpty());
  ASSERT_FALSE(png.isEmpty());
  std::string error;
  ASSERT_TRUE(Save(pdf, dir_ / "plan.pdf", false, &error)) << error;
  ASSERT_EQ(
      std::system(("pdftoppm -r 60 -png -singlefile " + (dir_ / "plan.pdf") + " " + (dir_ / "back"))
                      .c_str()),
      0);
  const QImage fromPdf =
      QImage(QString::fromStdString(dir_ / "back.png")).convertToFormat(QImage::Format_RGB32);
  const QImage direct = QImage::fromData(png).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(fromPdf.isNull());
  EXPECT_NEAR(fromPdf.width(), direct.width(), 2);
  EXPECT_NEAR(fromPdf.height(), direct.height(), 2);
  // Grey levels blurred over 4 × 4 blocks agree within a tolerance: the
  // same things in the same places, rasterised by two different programs.
  const int w = std::min(fromPdf.width(), direct.width()) / 4;
  const int h = std::min(fromPdf.height(), direct.height()) / 4;
  double diff = 0;
  int inked = 0;
  for (int by = 0; by < h; ++by) {
    for (int bx = 0; bx < w; ++bx) {
      double a = 0, b = 0;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
          a += qGray(fromPdf.pixel(bx * 4 + x, by * 4 + y));
          b += qGray(direct.pixel(bx * 4 + x, by * 4 + y));
        }
      diff += std::fabs(a - b) / 16;
      inked += b < 16 * 250;
    }
  }
  EXPECT_GT(inked, 200);
  EXPECT_LT(diff / (w * h), 6.0);  // mean grey difference per block, of 255
}

// The pictures of the README, made here so that they always show the
// renderer as it is.
TEST_F(RenderFiles, SamplePlanBeforeAndAfterForTheReadme) {
  RenderOptions o;
  o.fitToContents = true;
  TJwwData after = plan_;
  jww::DataTransJWW(after);
  const QByteArray before = render::RenderBytes(plan_, o, render::Format::kPng, {1200, 0});
  const QByteArray converted = render::RenderBytes(after, o, render::Format::kPng, {1200, 0});
  ASSERT_FALSE(before.isEmpty());
  ASSERT_FALSE(converted.isEmpty());
  const QImage b = QImage::fromData(before), a = QImage::fromData(converted);
  EXPECT_EQ(b.width(), 1200);
  EXPECT_GT(InkCount(b), 20000);
  EXPECT_GT(InkCount(a), 20000);
  const char* source = std::getenv("BRINDLE_SOURCE_DIR");
  if (source == nullptr) return;
  const fs::path images = fs::path(source) / "docs" / "images";
  std::error_code ec;
  fs::create_directories(images, ec);
  std::string error;
  EXPECT_TRUE(Save(before, (images / "plan-before.png").string(), true, &error)) << error;
  EXPECT_TRUE(Save(converted, (images / "plan-after.png").string(), true, &error)) << error;
}

TEST_F(RenderFiles, EveryCorpusDrawingDrawsSomething) {
  std::optional<fs::path> corpus = CorpusDir();
  if (!corpus) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int drawn = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(*corpus)) {
    if (e.path().extension() != ".jww") continue;
    TJwwData d;
    d.BindImageFolder = dir_.folder();
    d.BindImageExp = true;
    d.BindImageExr = true;
    if (!d.FileIn(e.path().string())) continue;
    d.BindImageExplode();
    RenderOptions o;
    o.fitToContents = true;
    const QByteArray png = render::RenderBytes(d, o, render::Format::kPng, {600, 0});
    ASSERT_FALSE(png.isEmpty()) << e.path();
    EXPECT_GT(InkCount(QImage::fromData(png)), 50) << e.path();
    ++drawn;
  }
  EXPECT_GT(drawn, 5);
}

// The sheets of the paper codes the corpus uses (A0 to A4, landscape),
// millimetres.
std::optional<std::pair<double, double>> SheetMm(int32_t code) {
  static const std::pair<double, double> kSheets[] = {
      {1189, 841}, {841, 594}, {594, 420}, {420, 297}, {297, 210}};
  if (code < 0 || code > 4) return std::nullopt;
  return kSheets[code];
}

// Every real drawing drawn onto its sheet, 2400 pixels across: the two ends
// of each solid line of the drawing's own list (as the reader has them),
// put onto the picture by the sheet's arithmetic (origin at the sheet's
// centre, millimetres, y up), fall on ink. A renderer that took the layer
// group's scale into the mapping would miss nearly all of them.
TEST_F(RenderFiles, CorpusLineEndsFallOnInk) {
  std::optional<fs::path> corpus = CorpusDir();
  if (!corpus) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int drawings = 0;
  long ends = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(*corpus)) {
    if (e.path().extension() != ".jww") continue;
    SCOPED_TRACE(e.path().filename().string());
    TJwwData d;
    d.BindImageFolder = dir_.folder();
    ASSERT_TRUE(d.FileIn(e.path().string()));
    const auto sheet = SheetMm(d.Enthd.nZumen);
    ASSERT_TRUE(sheet);
    const auto [w, h] = *sheet;
    const int widthPx = 2400;
    const double k = widthPx / w;
    Viewport v;
    v.pxPerMm = k;
    v.left = -w / 2;
    v.top = h / 2;
    v.width = widthPx;
    v.height = static_cast<int>(std::lround(h * k));
    RenderOptions o = Plain();
    o.allGroups = true;
    const QImage img = render::RenderImage(d, o, v);
    ASSERT_FALSE(img.isNull());
    int here = 0, missed = 0;
    for (int32_t i = 0; i < d.Enthd.n1; ++i) {
      if (d.EntNo[i].EntType != jww::kLine) continue;
      const jww::TEntJwwLine& l = d.EntLine[d.EntNo[i].EntNo];
      if (l.att.nPenStyle != 1) continue;  // dashes may leave an end in a gap
      const DPoint a{(l.start_x + w / 2) * k, (h / 2 - l.start_y) * k};
      const DPoint b{(l.end_x + w / 2) * k, (h / 2 - l.end_y) * k};
      if (std::hypot(a.x - b.x, a.y - b.y) < 3) continue;
      for (const DPoint& p : {a, b}) {
        if (p.x < 2 || p.y < 2 || p.x > v.width - 2 || p.y > v.height - 2) continue;
        ++here;
        if (!InkNear(img, p)) {
          if (++missed <= 3) ADD_FAILURE() << "no ink at the end " << p.x << "," << p.y;
        }
      }
    }
    EXPECT_EQ(missed, 0) << "of " << here;
    ends += here;
    ++drawings;
  }
  EXPECT_GE(drawings, 10);
  EXPECT_GT(ends, 5000);
}

// SXF drawings look the same before and after the conversion (all groups,
// the same picture): the copies land where the placements put the figures,
// whatever scale their groups get. The figures are drawn at full size and
// placed at 1/50 and 1/20, mirrored, rotated, unequally scaled and one inside
// another; they differ only where arcs are flattened anew or text sizes are
// rounded, a few pixels in every thousand inked.
TEST_F(RenderFiles, SxfDrawingsLookTheSameAfterConversion) {
  const auto figures = [] {
    TJwwData d = Fresh();
    EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 2, 1, 0, 0, 1, u"扉"));
    const int32_t door = d.EntBlockDefN - 1;
    EXPECT_TRUE(d.AddBlkLine(door, 0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 800));
    EXPECT_TRUE(d.AddBlkArc(door, 0, 0, 1, 2, 2, 0, 0, 0, 0, 800, 1, 0, 90, 0));
    // A text's end is where its characters end, as Jw_cad stores it.
    const double end = 100 + util::MojiWidth(u"WD1", 150, 25);
    EXPECT_TRUE(d.AddBlkMoji(door, 0, 0, 1, 3, 1, 0, 0, 0, 100, -250, end, -250, 150, 150, 25, 0,
                             u"", u"WD1"));
    EXPECT_TRUE(
        d.AddBlkSolid(door, 0, 0, 1, 10, 1, 0, 0, 0x4080C0, 0, 0, 300, 0, 300, 300, 0, 300));
    EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 2, 1, 0, 0, 2, u"部屋"));
    const int32_t room = d.EntBlockDefN - 1;
    EXPECT_TRUE(d.AddBlkLine(room, 0, 0, 2, 2, 1, 0, 0, 0, 0, 3000, 0));
    EXPECT_TRUE(d.AddBlkLine(room, 0, 0, 2, 2, 1, 0, 0, 3000, 0, 3000, 2000));
    EXPECT_TRUE(d.AddBlkArc(room, 0, 0, 2, 4, 1, 0, 0, 1500, 1000, 600, 0.5, 0, 360, 30));
    EXPECT_TRUE(d.AddBlkBlock(room, 0, 0, 2, 2, 1, 0, 0, door, 1000, 0, 1, 1, 0));  // nested
    d.AddBlkDefPost(door);
    d.AddBlkDefPost(room);
    const double s = 1.0 / 50;
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, room, -100, -60, s, s, 0));
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, room, 40, -60, -s, s, 0));  // mirrored
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, room, -60, 20, s, s, 30));  // similar
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, door, 60, 40, 1.0 / 20, 1.0 / 20, 0));
    EXPECT_TRUE(d.AddEntBlock(0, 0, 0, 2, 1, 0, 0, door, 120, 40, 1.5 * s, -s, 90));  // unequal
    Finish(d);
    return d;
  };
  struct Drawing {
    const char* name;
    TJwwData doc;
  };
  Drawing drawings[] = {{"sample plan", tools::MakeSamplePlan()}, {"figures", figures()}};
  for (Drawing& dr : drawings) {
    SCOPED_TRACE(dr.name);
    TJwwData after = dr.doc;
    jww::DataTransJWW(after);
    RenderOptions o;
    o.allGroups = true;
    const render::PictureSize size{1600, 0};
    const QImage a = QImage::fromData(render::RenderBytes(dr.doc, o, render::Format::kPng, size));
    const QImage b = QImage::fromData(render::RenderBytes(after, o, render::Format::kPng, size));
    ASSERT_EQ(a.size(), b.size());
    int ink = 0, differ = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        ink += IsInk(a, x, y);
        differ += IsInk(a, x, y) != IsInk(b, x, y);
      }
    EXPECT_GT(ink, 5000);
    EXPECT_LE(differ, ink / 200) << differ << " of " << ink << " inked pixels differ";
  }
}

// ---- brindle draw ----

class DrawCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("BRINDLE_BIN_DIR");
    if (bin == nullptr) GTEST_SKIP() << "BRINDLE_BIN_DIR is not set";
    brindle_ = (fs::path(bin) / "brindle").string();
    plan_ = dir_ / "plan.jww";
    TJwwData doc = tools::MakeSamplePlan();
    ASSERT_TRUE(doc.FileOut(plan_, 700));
  }
  // `prefix` goes before the program, e.g. "env -u NAME ".
  int Run(const std::string& args, const std::string& prefix = "") {
    return std::system((prefix + brindle_ + " draw " + args + " 2> " + (dir_ / "err.txt")).c_str());
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string brindle_, plan_;
  testjww::TempDir dir_{"brindle-draw"};
};

TEST_F(DrawCommand, WritesTheFormatOfTheNameAndNeverReplacesWithoutForce) {
  const std::string png = dir_ / "p.png";
  // Where no runtime folder is set (a server, a root shell), Qt's remark
  // about it is not the user's business.
  ASSERT_EQ(Run(plan_ + " -o " + png + " --width 300", "env -u XDG_RUNTIME_DIR "), 0);
  EXPECT_EQ(ReadText(dir_ / "err.txt"), "");
  EXPECT_EQ(QImage(QString::fromStdString(png)).width(), 300);
  const auto size = fs::file_size(png);
  // An existing picture is kept…
  EXPECT_NE(Run(plan_ + " -o " + png + " --width 200"), 0);
  EXPECT_EQ(fs::file_size(png), size);
  // …unless --force says otherwise.
  EXPECT_EQ(Run(plan_ + " -o " + png + " --width 200 --force"), 0);
  EXPECT_EQ(QImage(QString::fromStdString(png)).width(), 200);

  EXPECT_EQ(Run(plan_ + " --after --dark -o " + (dir_ / "a.svg") + " --dpi 20"), 0);
  std::ifstream svg(dir_ / "a.svg");
  std::string head(200, '\0');
  svg.read(head.data(), 200);
  EXPECT_NE(head.find("<svg"), std::string::npos);
  EXPECT_EQ(Run(plan_ + " -o " + (dir_ / "a.pdf") + " --dpi 20 --all-groups"), 0);
  std::ifstream pdf(dir_ / "a.pdf");
  std::string magic(5, '\0');
  pdf.read(magic.data(), 5);
  EXPECT_EQ(magic, "%PDF-");

  // A name without a known picture extension, or both sizes: usage errors.
  EXPECT_EQ(WEXITSTATUS(Run(plan_ + " -o " + (dir_ / "x.bmp"))), 2);
  EXPECT_EQ(WEXITSTATUS(Run(plan_ + " -o " + (dir_ / "y.png") + " --width 10 --dpi 10")), 2);
  EXPECT_FALSE(fs::exists(dir_ / "x.bmp"));
  EXPECT_FALSE(fs::exists(dir_ / "y.png"));
}

// The width asked for is the width made, whatever the box's millimetres
// come to (a real drawing gave one pixel more).
TEST_F(DrawCommand, TheWidthAskedForIsTheWidthMade) {
  std::vector<std::string> drawings{plan_};
  if (std::optional<fs::path> corpus = CorpusDir())
    drawings.push_back((*corpus / "ezjww-Test4.jww").string());
  for (const std::string& in : drawings) {
    for (const int width : {1200, 999}) {
      for (const char* fit : {"", " --fit"}) {
        const std::string png = dir_ / ("w" + std::to_string(width) + ".png");
        ASSERT_EQ(Run(in + " -o " + png + fit + " --force --width " + std::to_string(width)), 0);
        EXPECT_EQ(QImage(QString::fromStdString(png)).width(), width) << in << fit;
      }
    }
  }
}

// A drawing reaching far beyond its sheet still gets its picture at the
// default resolution, its long side cut to the limit, and stderr says so;
// an explicit size beyond the limit is refused with the size it would have.
TEST_F(DrawCommand, LargePicturesAreCutOrRefused) {
  TJwwData far = Fresh();
  far.Enthd.nZumen = 4;  // A4
  ASSERT_TRUE(far.AddEntLine(0, 0, 0, 2, 1, 0, 0, -2e6, 0, 2e6, 0));
  Finish(far);
  const std::string farPath = dir_ / "far.jww";
  ASSERT_TRUE(far.FileOut(farPath, 700));
  const std::string png = dir_ / "far.png";
  ASSERT_EQ(Run(farPath + " -o " + png), 0) << ReadText(dir_ / "err.txt");
  const QImage img(QString::fromStdString(png));
  EXPECT_EQ(std::max(img.width(), img.height()), 16384);
  EXPECT_NE(ReadText(dir_ / "err.txt").find("16384"), std::string::npos)
      << ReadText(dir_ / "err.txt");

  // A0 is 1189 mm wide: at 1200 dpi 56,173 pixels, plus the 1 % around it.
  struct Refused {
    std::string args, size;
  };
  const Refused refused[] = {{" --width 20000", "20000 × "}, {" --dpi 1200", "× "}};
  TJwwData a0 = Fresh();
  ASSERT_TRUE(a0.AddEntLine(0, 0, 0, 2, 1, 0, 0, -100, 0, 100, 0));
  Finish(a0);
  const std::string a0Path = dir_ / "a0.jww";
  ASSERT_TRUE(a0.FileOut(a0Path, 700));
  for (const Refused& r : refused) {
    const std::string out = dir_ / "big.png";
    EXPECT_EQ(WEXITSTATUS(Run(a0Path + " -o " + out + r.args)), 2) << r.args;
    const std::string err = ReadText(dir_ / "err.txt");
    EXPECT_NE(err.find(r.size), std::string::npos) << err;
    EXPECT_NE(err.find("16384"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(out));
  }
}
