// SPDX-License-Identifier: GPL-3.0-or-later
// Painting speed: a generated drawing onto a 4000-pixel-wide picture, split
// by primitive (strokes, fills, glyphs) to show where the time goes; one
// frame of the sample plan in a window-sized view (zoomed in and panned, as
// the preview redraws it); and the PNG encoding of a large picture.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/frontend.h"
#include "render/output.h"
#include "render/painter_backend.h"
#include "render/view_cache.h"
#include "tools/sample_drawings.h"

namespace {

// Hands one kind of primitive to the painter and drops the others.
class OnlyBackend final : public render::Backend {
 public:
  enum Kind { kAll, kStrokes, kFills, kGlyphs };
  OnlyBackend(render::Backend& inner, Kind kind) : inner_(inner), kind_(kind) {}
  void Begin(int w, int h, uint32_t bg) override { inner_.Begin(w, h, bg); }
  void Polyline(std::span<const render::DPoint> p, bool closed, const render::Stroke& s) override {
    if (kind_ == kAll || kind_ == kStrokes) inner_.Polyline(p, closed, s);
  }
  void FillPolygon(std::span<const render::DPoint> p, uint32_t argb) override {
    if (kind_ == kAll || kind_ == kFills) inner_.FillPolygon(p, argb);
  }
  void DrawGlyph(const render::Glyph& g) override {
    if (kind_ == kAll || kind_ == kGlyphs) inner_.DrawGlyph(g);
  }
  bool DrawImage(const render::ImagePlacement& i) override { return inner_.DrawImage(i); }
  void End() override { inner_.End(); }

 private:
  render::Backend& inner_;
  Kind kind_;
};

void BM_PaintBenchDrawing(benchmark::State& state) {
  const jww::TJwwData doc = tools::MakeBenchDrawing(static_cast<int>(state.range(0)), 20240601);
  const render::RenderOptions options;
  const render::SheetBox box = render::DrawingBox(doc, options);
  const render::Viewport view = render::Viewport::Covering(box, 4000 / box.width());
  QImage image(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
  const render::Frontend frontend(doc, options);
  for (auto _ : state) {
    QPainter painter(&image);
    render::PainterBackend backend(painter);
    OnlyBackend only(backend, static_cast<OnlyBackend::Kind>(state.range(1)));
    benchmark::DoNotOptimize(frontend.Paint(only, view));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Arguments: entities, then 0 all, 1 strokes only, 2 fills only, 3 glyphs only.
BENCHMARK(BM_PaintBenchDrawing)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({10000, 2})
    ->Args({10000, 3})
    ->Unit(benchmark::kMillisecond);

void BM_PlanFrame(benchmark::State& state) {
  const jww::TJwwData doc = tools::MakeSamplePlan();
  render::RenderOptions options;
  options.fitToContents = true;
  const render::SheetBox box = render::DrawingBox(doc, options);
  render::Viewport view = render::Viewport::Covering(box, 1200 / box.width());
  view.height = 800;
  view.ZoomAt({600, 400}, static_cast<double>(state.range(0)));
  QImage image(1200, 800, QImage::Format_ARGB32_Premultiplied);
  const render::Frontend frontend(doc, options);
  int step = 0;
  for (auto _ : state) {
    view.PanBy((step++ % 2) ? 7 : -7, 3);
    QPainter painter(&image);
    render::PainterBackend backend(painter);
    benchmark::DoNotOptimize(frontend.Paint(backend, view));
  }
}
// Argument: zoom factor of the 1200 × 800 view against the whole plan.
BENCHMARK(BM_PlanFrame)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

// Keeps the strokes the front end hands over, as segments with widths.
class SegmentRecorder final : public render::Backend {
 public:
  struct Segment {
    render::DPoint a, b;
    int copies;
  };
  std::vector<Segment> segments;
  void Begin(int, int, uint32_t) override {}
  void Polyline(std::span<const render::DPoint> p, bool closed, const render::Stroke& s) override {
    const int copies = std::max(1, static_cast<int>(std::lround(s.widthPx)));
    for (size_t i = 1; i < p.size() + (closed ? 1 : 0); ++i)
      segments.push_back({p[i - 1], p[i % p.size()], copies});
  }
  void FillPolygon(std::span<const render::DPoint>, uint32_t) override {}
  void DrawGlyph(const render::Glyph&) override {}
  bool DrawImage(const render::ImagePlacement&) override { return true; }
  void End() override {}
};

// The least any painter must do for the strokes of the generated drawing at
// 4000 pixels: store one word in every pixel each stroke crosses, a pixel per
// step along its major axis, as many times as it is pixels wide, without
// dashes, antialiasing or blending. Not a renderer: a floor to hold the
// painting figures against.
void BM_StrokePixelsFloor(benchmark::State& state) {
  const jww::TJwwData doc = tools::MakeBenchDrawing(static_cast<int>(state.range(0)), 20240601);
  const render::RenderOptions options;
  const render::SheetBox box = render::DrawingBox(doc, options);
  const render::Viewport view = render::Viewport::Covering(box, 4000 / box.width());
  SegmentRecorder recorder;
  render::Frontend(doc, options).Paint(recorder, view);
  std::vector<uint32_t> pixels(static_cast<size_t>(view.width) * view.height);
  int64_t written = 0;
  for (auto _ : state) {
    written = 0;
    for (const SegmentRecorder::Segment& g : recorder.segments) {
      // Fixed point, 16 bits of fraction, one add per pixel.
      const double dx = g.b.x - g.a.x, dy = g.b.y - g.a.y;
      const int steps = static_cast<int>(std::max(std::fabs(dx), std::fabs(dy)));
      const bool flat = std::fabs(dx) >= std::fabs(dy);
      const int64_t xinc = steps > 0 ? std::llround(dx / steps * 65536) : 0;
      const int64_t yinc = steps > 0 ? std::llround(dy / steps * 65536) : 0;
      for (int c = 0; c < g.copies; ++c) {
        int64_t x = std::llround((g.a.x + (flat ? 0 : c)) * 65536);
        int64_t y = std::llround((g.a.y + (flat ? c : 0)) * 65536);
        for (int i = 0; i <= steps; ++i, x += xinc, y += yinc) {
          const int64_t px = x >> 16, py = y >> 16;
          if (px < 0 || py < 0 || px >= view.width || py >= view.height) continue;
          pixels[static_cast<size_t>(py) * view.width + px] = 0xFF000000u;
          ++written;
        }
      }
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["Mpixels"] = static_cast<double>(written) / 1e6;
}
BENCHMARK(BM_StrokePixelsFloor)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Panning the 1M-entity plan-like drawing zoomed out to the whole of it in
// a 1200 × 800 view, as the preview window does: each frame moves the view
// by 8 pixels and is cut from the view cache (range 1), or the drawing is
// painted anew for every frame (range 0). The first frame, painting the cache,
// is reported apart ("paint_ms").
void BM_PanPlanBench(benchmark::State& state) {
  static const jww::TJwwData doc = tools::MakePlanBenchDrawing(1000000, 20240601);
  render::RenderOptions options;
  options.fitToContents = true;
  const render::SheetBox box = render::DrawingBox(doc, options);
  render::Viewport view =
      render::Viewport::Covering(box, std::min(1200 / box.width(), 800 / box.height()));
  view.width = 1200;
  view.height = 800;
  const render::Frontend frontend(doc, render::RenderOptions{});
  const auto paint = [&](QPainter& p, const render::Viewport& v) {
    render::PainterBackend backend(p);
    frontend.Paint(backend, v);
  };
  QImage frame(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
  render::ViewCache cache;
  const bool cached = state.range(0) == 1;
  double paintMs = 0;
  if (cached) {
    QPainter p(&frame);
    const auto t0 = std::chrono::steady_clock::now();
    cache.Draw(p, view, paint);
    paintMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  int step = 0;
  int64_t repaints = 0;
  for (auto _ : state) {
    // Back and forth over 25 frames, 200 pixels either way.
    view.PanBy((step++ / 25) % 2 ? -8 : 8, 0);
    QPainter p(&frame);
    if (cached) {
      repaints += cache.Draw(p, view, paint);
    } else {
      paint(p, view);
    }
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["paint_ms"] = paintMs;
  state.counters["repaints"] = static_cast<double>(repaints);
}
BENCHMARK(BM_PanPlanBench)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngEncode(benchmark::State& state) {
  QImage image(4000, 3000, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    for (int i = 0; i < 2000; ++i) p.drawLine(i * 2, 0, 4000 - i, 3000);
  }
  for (auto _ : state) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(bytes.size());
    state.counters["MB"] = bytes.size() / 1e6;
  }
}
// Qt's default level, then the quality brindle draw uses (zlib's level 1).
BENCHMARK(BM_PngEncode)->Arg(-1)->Arg(85)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
