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

}  // namespace

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(80, 60);
  setMouseTracking(false);
  setCursor(Qt::OpenHandCursor);
}

DrawingView::~DrawingView() = default;

void DrawingView::SetDrawing(std::shared_ptr<const jww::TJwwData> doc,
                             render::RenderOptions options, std::shared_ptr<const void> keep) {
  frontend_.reset();
  doc_ = std::move(doc);
  keep_ = std::move(keep);
  if (doc_) frontend_.emplace(*doc_, std::move(options));
  fitted_ = false;
  Fit();
  update();
}

void DrawingView::Fit() {
  if (!doc_ || width() <= 0 || height() <= 0) return;
  render::RenderOptions options;
  options.fitToContents = true;
  const render::SheetBox box = render::DrawingBox(*doc_, options);
  const double k = std::min(width() / box.width(), height() / box.height());
  view_ = render::Viewport::Covering(box, k);
  // Centre the box in the view.
  view_.left -= (width() / k - box.width()) / 2;
  view_.top += (height() / k - box.height()) / 2;
  view_.width = width();
  view_.height = height();
  fitted_ = true;
}

void DrawingView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!frontend_) {
    painter.fillRect(rect(), palette().window());
    return;
  }
  QElapsedTimer timer;
  timer.start();
  render::PainterBackend backend(painter);
  frontend_->Paint(backend, view_);
  lastPaintMs_ = timer.nsecsElapsed() / 1e6;
}

void DrawingView::resizeEvent(QResizeEvent*) {
  if (!fitted_) {
    Fit();
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
  update();
  event->accept();
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
  dragFrom_ = now;
  update();
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
  auto images = std::make_unique<ScopedImageFolder>();
  auto doc = std::make_shared<jww::TJwwData>();
  std::string error;
  if (!ReadDrawing(*doc, file, images.get(), &error)) {
    caption_->setText(QString::fromStdString(file + ": " + error));
    return false;
  }
  doc->BindImageExplode();
  auto converted = std::make_shared<jww::TJwwData>(*doc);
  jww::DataTransJWW(*converted);
  before_->SetDrawing(doc);
  after_->SetDrawing(converted);
  ShowChanges(*changes_, doc, converted, true);
  images_ = std::move(images);  // the pictures of both stay until the next file
  imagesBefore_.reset();
  caption_->setText(TrFormat("{} — before and after conversion", {file}).c_str());
  return true;
}

bool PreviewPage::ShowComparison(const QString& beforePath, const QString& afterPath) {
  auto images = std::make_unique<ScopedImageFolder>();
  auto imagesBefore = std::make_unique<ScopedImageFolder>();
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
  return true;
}

}  // namespace app::gui
