// Painting speed: a generated drawing onto a 4000-pixel-wide picture, split
// by primitive (strokes, fills, glyphs) to show where the time goes; one
// frame of the sample plan in a window-sized view (zoomed in and panned, as
// the preview redraws it); and the PNG encoding of a large picture.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "render/frontend.h"
#include "render/output.h"
#include "render/painter_backend.h"
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
