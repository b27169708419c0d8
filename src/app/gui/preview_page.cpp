// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/preview_page.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <tuple>

#include "app/i18n.h"
#include "app/steps.h"
#include "jww/sxf_explode.h"
#include "render/diff_overlay.h"
#include "render/painter_backend.h"
#include "util/encoding.h"

namespace app::gui {

namespace {

// One notch of the wheel zooms by this factor.
constexpr double kZoomPerNotch = 1.25;

// The differences of `before` and `after` in `view`: unchanged ink grey,
// removed red, added blue, changed orange.
jww::DrawingDiff ShowChanges(DrawingView& view, const std::shared_ptr<const jww::TJwwData>& before,
                             const std::shared_ptr<const jww::TJwwData>& after, bool placed) {
  auto diff =
      std::make_shared<jww::DrawingDiff>(jww::DiffDrawings(*before, *after, {1e-6, placed}));
  render::RenderOptions options;
  options.allGroups = true;
  render::MarkChanges(*diff, *before, *after, placed, options,
                      {util::FromUtf8(Tr("unchanged")), util::FromUtf8(Tr("removed")),
                       util::FromUtf8(Tr("added")), util::FromUtf8(Tr("changed"))});
  // The overlay and the marks point into the older drawing and the diff.
  auto keep = std::make_shared<
      std::pair<std::shared_ptr<const jww::TJwwData>, std::shared_ptr<const jww::DrawingDiff>>>(
      before, diff);
  view.SetDrawing(after, std::move(options), keep);
  return *diff;
}

// Paints what it is handed in one colour, on no background of its own: one
// of the two drawings laid over each other.
class TintBackend : public render::Backend {
 public:
  TintBackend(render::Backend& out, uint32_t argb) : out_(out), argb_(argb) {}
  void Begin(int width, int height, uint32_t) override { out_.Begin(width, height, 0); }
  void Polyline(std::span<const render::DPoint> points, bool closed,
                const render::Stroke& stroke) override {
    render::Stroke s = stroke;
    s.argb = argb_;
    out_.Polyline(points, closed, s);
  }
  void FillPolygon(std::span<const render::DPoint> points, uint32_t) override {
    out_.FillPolygon(points, argb_);
  }
  void DrawGlyph(const render::Glyph& glyph) override {
    render::Glyph g = glyph;
    g.argb = argb_;
    out_.DrawGlyph(g);
  }
  bool DrawImage(const render::ImagePlacement& image) override { return out_.DrawImage(image); }
  void End() override { out_.End(); }

 private:
  render::Backend& out_;
  uint32_t argb_;
};

}  // namespace

std::optional<PreviewDrawings> LoadPreviewDrawings(const std::string& path, std::string* error) {
  auto images = std::make_shared<ScopedImageFolder>();
  auto doc = std::make_shared<jww::TJwwData>();
  if (!ReadDrawing(*doc, path, images.get(), error)) return std::nullopt;
  doc->BindImageExplode();
  auto converted = std::make_shared<jww::TJwwData>(*doc);
  jww::DataTransJWW(*converted);
  return PreviewDrawings{std::move(doc), std::move(converted), std::move(images)};
}

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(80, 60);
  setMouseTracking(false);
  setCursor(Qt::OpenHandCursor);
}

DrawingView::~DrawingView() = default;

void DrawingView::SetDrawing(std::shared_ptr<const jww::TJwwData> doc,
                             render::RenderOptions options, std::shared_ptr<const void> keep) {
  doc_ = std::move(doc);
  options_ = std::move(options);
  keep_ = std::move(keep);
  Rebuild();
  fitted_ = false;
  Fit();
  update();
}

void DrawingView::SetOverlay(std::shared_ptr<const jww::TJwwData> top, uint32_t argb,
                             uint32_t topArgb) {
  top_ = std::move(top);
  tint_ = top_ ? argb : 0;
  topTint_ = topArgb;
  Rebuild();
  update();
}

void DrawingView::SetShownGroups(uint16_t groups) {
  shownGroups_ = groups;
  Rebuild();
  update();
}

void DrawingView::Rebuild() {
  frontend_.reset();
  topFrontend_.reset();
  render::RenderOptions options = options_;
  options.shownGroups = shownGroups_;
  if (doc_) frontend_.emplace(*doc_, options);
  render::RenderOptions plain;
  plain.shownGroups = shownGroups_;
  if (top_) topFrontend_.emplace(*top_, plain);
  cache_.Invalidate();
}

void DrawingView::Fit() {
  if (!doc_ || width() <= 0 || height() <= 0) return;
  render::RenderOptions options;
  options.fitToContents = true;
  FitTo(render::DrawingBox(*doc_, options));
}

void DrawingView::FitTo(const render::SheetBox& box) {
  if (width() <= 0 || height() <= 0 || !(box.width() > 0) || !(box.height() > 0)) return;
  const double k = std::min(width() / box.width(), height() / box.height());
  view_ = render::Viewport::Covering(box, k);
  // Centre the box in the view.
  view_.left -= (width() / k - box.width()) / 2;
  view_.top += (height() / k - box.height()) / 2;
  view_.width = width();
  view_.height = height();
  fitted_ = true;
  fitBox_ = box;
  update();
}

void DrawingView::ShowAt(render::DPoint centre, double pxPerMm) {
  if (!(pxPerMm > 0)) return;
  fitBox_.reset();
  view_.pxPerMm = pxPerMm;
  view_.width = width();
  view_.height = height();
  view_.left = centre.x - width() / 2.0 / pxPerMm;
  view_.top = centre.y + height() / 2.0 / pxPerMm;
  fitted_ = true;
  update();
}

render::DPoint DrawingView::centre() const {
  return view_.ToSheet({view_.width / 2.0, view_.height / 2.0});
}

void DrawingView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!frontend_) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  QElapsedTimer timer;
  timer.start();
  // Panning reuses the picture painted around the view; only a new zoom, a
  // pan beyond it or a change of what is shown paints the drawing again. On
  // a screen of several device pixels a pixel that picture would be blurred,
  // so it is painted directly there.
  if (devicePixelRatioF() == 1.0) {
    cache_.Draw(painter, view_,
                [this](QPainter& p, const render::Viewport& v) { PaintDrawing(p, v); });
  } else {
    PaintDrawing(painter, view_);
  }
  lastPaintMs_ = timer.nsecsElapsed() / 1e6;
}

void DrawingView::PaintDrawing(QPainter& painter, const render::Viewport& view) {
  render::PainterBackend backend(painter);
  if (topFrontend_) {
    painter.fillRect(QRect(0, 0, view.width, view.height), Qt::white);
    TintBackend under(backend, tint_);
    lastStats_ = frontend_->Paint(under, view);
    TintBackend over(backend, topTint_);
    topFrontend_->Paint(over, view);
  } else {
    lastStats_ = frontend_->Paint(backend, view);
  }
}

void DrawingView::resizeEvent(QResizeEvent*) {
  if (!fitted_) {
    Fit();
  } else if (fitBox_) {
    FitTo(*fitBox_);
  } else {
    view_.width = width();
    view_.height = height();
  }
}

void DrawingView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0 || !doc_) return;
  const QPointF at = event->position();
  view_.ZoomAt({at.x(), at.y()}, std::pow(kZoomPerNotch, notches));
  fitBox_.reset();
  update();
  event->accept();
  emit viewMoved();
}

void DrawingView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragFrom_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
}

void DrawingView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) return;
  const QPoint now = event->position().toPoint();
  view_.PanBy(now.x() - dragFrom_->x(), now.y() - dragFrom_->y());
  fitBox_.reset();
  dragFrom_ = now;
  update();
  emit viewMoved();
}

void DrawingView::mouseReleaseEvent(QMouseEvent*) {
  dragFrom_.reset();
  setCursor(Qt::OpenHandCursor);
}

PreviewPage::PreviewPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheetPreview");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  caption_ = new QLabel(Tr("Select a file in the log, or drop one with Shift held."), this);
  caption_->setObjectName("LabelPreview");
  layout->addWidget(caption_);
  auto* row = new QHBoxLayout;
  before_ = new DrawingView(this);
  before_->setObjectName("PreviewBefore");
  after_ = new DrawingView(this);
  after_->setObjectName("PreviewAfter");
  changes_ = new DrawingView(this);
  changes_->setObjectName("PreviewChanges");
  row->addWidget(before_);
  row->addWidget(after_);
  row->addWidget(changes_);
  layout->addLayout(row, 1);
}

PreviewPage::~PreviewPage() = default;

bool PreviewPage::ShowFile(const QString& path) {
  const std::string file = path.toStdString();
  std::string error;
  std::optional<PreviewDrawings> drawings = LoadPreviewDrawings(file, &error);
  if (!drawings) {
    caption_->setText(QString::fromStdString(file + ": " + error));
    return false;
  }
  before_->SetDrawing(drawings->before);
  after_->SetDrawing(drawings->after);
  ShowChanges(*changes_, drawings->before, drawings->after, true);
  images_ = std::move(drawings->images);  // the pictures of both stay until the next file
  imagesBefore_.reset();
  path_ = path;
  caption_->setText(TrFormat("{} — before and after conversion", {file}).c_str());
  return true;
}

bool PreviewPage::ShowComparison(const QString& beforePath, const QString& afterPath) {
  auto images = std::make_shared<ScopedImageFolder>();
  auto imagesBefore = std::make_shared<ScopedImageFolder>();
  auto before = std::make_shared<jww::TJwwData>();
  auto after = std::make_shared<jww::TJwwData>();
  std::string error;
  for (auto [doc, path, folder] : {std::tuple{before.get(), beforePath, imagesBefore.get()},
                                   std::tuple{after.get(), afterPath, images.get()}}) {
    if (!ReadDrawing(*doc, path.toStdString(), folder, &error)) {
      caption_->setText(QString::fromStdString(path.toStdString() + ": " + error));
      return false;
    }
    doc->BindImageExplode();
  }
  before_->SetDrawing(before);
  after_->SetDrawing(after);
  const jww::DrawingDiff d = ShowChanges(*changes_, before, after, false);
  images_ = std::move(images);
  imagesBefore_ = std::move(imagesBefore);
  caption_->setText(
      TrFormat("{} → {}: {} removed, {} added, {} changed",
               {beforePath.toStdString(), afterPath.toStdString(), std::to_string(d.counts.removed),
                std::to_string(d.counts.added), std::to_string(d.counts.changed)})
          .c_str());
  path_.clear();  // two revisions: the window shows one drawing
  return true;
}

void PreviewPage::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !path_.isEmpty()) emit windowWanted(path_);
}

}  // namespace app::gui
