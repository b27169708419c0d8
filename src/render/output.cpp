// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/output.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "render/painter_backend.h"

namespace render {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kDefaultDpi = 150;
// A side computed from millimetres is rounded up to take in the box, but not
// for what floating point adds to a whole number of pixels.
int SidePx(double px) { return std::max(1, static_cast<int>(std::ceil(px - 1e-6))); }

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

PaintStats PaintInto(QPainter& painter, const jww::TJwwData& doc, const RenderOptions& options,
                     const Viewport& view) {
  PainterBackend backend(painter);
  return Frontend(doc, options).Paint(backend, view);
}

// Pictures are painted in horizontal bands of one height, about this many
// rows each (a small picture is one band), shared among threads with one
// painter each: every band walks the whole drawing and paints what crosses
// it. The bands depend on the picture's height alone, so a picture comes out
// the same on every machine.
constexpr int kBandRows = 1024;

int BandCount(const Viewport& view) {
  return std::max(1, (view.height + kBandRows - 1) / kBandRows);
}

int PaintThreads() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

// The rows [top, top + rows) of `view`, as a view of their own.
Viewport BandOf(const Viewport& view, int top, int rows) {
  Viewport band = view;
  band.top = view.top - top / view.pxPerMm;
  band.height = rows;
  return band;
}

bool PaintBands(QImage& image, const jww::TJwwData& doc, const RenderOptions& options,
                const Viewport& view, int bands, const PaintProgress& progress) {
  const Frontend frontend(doc, options);
  const int rows = (view.height + bands - 1) / bands;
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::mutex told;
  int done = 0;
  const auto work = [&] {
    try {
      for (int b = next++; b < bands; b = next++) {
        const int top = b * rows, height = std::min(rows, view.height - top);
        if (height <= 0) continue;
        // Shares the picture's rows, no copy.
        QImage band(image.scanLine(top), image.width(), height, image.bytesPerLine(),
                    image.format());
        QPainter painter(&band);
        PainterBackend backend(painter);
        frontend.Paint(backend, BandOf(view, top, height));
        if (progress) {
          const std::lock_guard<std::mutex> lock(told);
          progress(++done, bands);
        }
      }
    } catch (...) {
      failed = true;
    }
  };
  const int threads = std::min(bands, PaintThreads());
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < threads; ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones there are take the bands.
  }
  work();
  for (std::thread& t : helpers) t.join();
  return !failed;
}

}  // namespace

std::optional<Format> FormatOfPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".png") return Format::kPng;
  if (ext == ".svg") return Format::kSvg;
  if (ext == ".pdf") return Format::kPdf;
  return std::nullopt;
}

SheetBox PictureBox(const jww::TJwwData& doc, const RenderOptions& options) {
  SheetBox box = DrawingBox(doc, options);
  if (options.overlay != nullptr) {
    const SheetBox o = DrawingBox(*options.overlay, options);
    box = {std::min(box.minX, o.minX), std::min(box.minY, o.minY), std::max(box.maxX, o.maxX),
           std::max(box.maxY, o.maxY)};
  }
  return box;
}

PictureLayout LayoutPicture(const SheetBox& box, const PictureSize& size) {
  PictureLayout layout;
  double k = (size.dpi > 0 ? size.dpi : kDefaultDpi) / kMmPerInch;
  if (size.widthPx > 0 && box.width() > 0) k = size.widthPx / box.width();
  double w = size.widthPx > 0 ? size.widthPx : box.width() * k, h = box.height() * k;
  const bool explicitSize = size.widthPx > 0 || size.dpi > 0;
  if (std::max(w, h) > kMaxPictureSidePx + 1e-6) {
    if (explicitSize || !(std::max(box.width(), box.height()) > 0)) {
      layout.tooLarge = true;
      layout.wouldBeWidthPx = std::ceil(w - 1e-6);
      layout.wouldBeHeightPx = std::ceil(h - 1e-6);
      return layout;
    }
    k = kMaxPictureSidePx / std::max(box.width(), box.height());
    w = box.width() * k;
    h = box.height() * k;
    layout.capped = true;
  }
  Viewport& v = layout.view;
  v.pxPerMm = k;
  v.left = box.minX;
  v.top = box.maxY;
  v.width = size.widthPx > 0 ? size.widthPx : std::min(SidePx(w), kMaxPictureSidePx);
  v.height = std::min(SidePx(h), kMaxPictureSidePx);
  return layout;
}

QImage RenderImage(const jww::TJwwData& doc, const RenderOptions& options, const Viewport& view,
                   const PaintProgress& progress) {
  QImage image(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  if (!PaintBands(image, doc, options, view, BandCount(view), progress)) return {};
  return image;
}

constexpr int kPngQuality = 85;

QByteArray RenderBytes(const jww::TJwwData& doc, const RenderOptions& options, Format format,
                       const PictureSize& size, PaintStats* stats, const PaintProgress& progress) {
  const SheetBox box = PictureBox(doc, options);
  const PictureLayout layout = LayoutPicture(box, size);
  if (layout.tooLarge) return {};
  const Viewport& view = layout.view;
  const double k = view.pxPerMm;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  PaintStats s;
  switch (format) {
    case Format::kPng: {
      QImage image = RenderImage(doc, options, view, progress);
      if (image.isNull()) return {};
      image.setDotsPerMeterX(static_cast<int>(std::lround(k * 1000)));
      image.setDotsPerMeterY(static_cast<int>(std::lround(k * 1000)));
      // Opaque pixels: converted where they are, not into a second picture
      // of the same size.
      image.convertTo(QImage::Format_RGB32);
      // Qt turns quality 85 into zlib's level 1: a large drawing's picture is
      // mostly fine lines, which the default level takes several times as
      // long to pack for a file only a few per cent smaller.
      if (!image.save(&buffer, "PNG", kPngQuality)) return {};
      break;
    }
    case Format::kSvg: {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      svg.setSize(QSize(view.width, view.height));
      svg.setViewBox(QRectF(0, 0, view.width, view.height));
      svg.setResolution(static_cast<int>(std::lround(k * kMmPerInch)));
      svg.setTitle(QStringLiteral("Jw_cad drawing"));
      QPainter painter;
      if (!painter.begin(&svg)) return {};
      s = PaintInto(painter, doc, options, view);
      painter.end();
      break;
    }
    case Format::kPdf: {
      QPdfWriter pdf(&buffer);
      pdf.setCreator(QStringLiteral("brindle"));
      // One page the size of the drawing's box, the painter's unit a pixel.
      pdf.setPageLayout(
          QPageLayout(QPageSize(QSizeF(box.width(), box.height()), QPageSize::Millimeter),
                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
      pdf.setResolution(static_cast<int>(std::lround(k * kMmPerInch)));
      QPainter painter;
      if (!painter.begin(&pdf)) return {};
      // The page's own resolution is whole dots per inch: scale the rest.
      const double scale = pdf.resolution() / (k * kMmPerInch);
      painter.scale(scale, scale);
      s = PaintInto(painter, doc, options, view);
      painter.end();
      break;
    }
  }
  if (format != Format::kPng && progress) progress(1, 1);
  if (stats != nullptr) *stats = s;
  return bytes;
}

}  // namespace render
