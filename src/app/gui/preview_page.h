// SPDX-License-Identifier: GPL-3.0-or-later
// The page "プレビュー": a drawing before and after conversion side by side,
// zoomed under the mouse wheel and panned by dragging. Nothing is written:
// the conversion is made on a copy in memory.
#pragma once

#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>

#include "jww/document.h"
#include "render/frontend.h"

class QLabel;

namespace app {
class ScopedImageFolder;
}

namespace app::gui {

// One drawing in a view of its own.
class DrawingView : public QWidget {
  Q_OBJECT

 public:
  explicit DrawingView(QWidget* parent = nullptr);
  ~DrawingView() override;
  // Shows `doc` (kept alive by the pointer) fitted to the view; null clears.
  // `options` may mark entities and paint an overlay that `keep` holds.
  void SetDrawing(std::shared_ptr<const jww::TJwwData> doc, render::RenderOptions options = {},
                  std::shared_ptr<const void> keep = {});
  const render::Viewport& viewport() const { return view_; }
  // Milliseconds the last paint took.
  double lastPaintMs() const { return lastPaintMs_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Fit();

  std::shared_ptr<const jww::TJwwData> doc_;
  std::shared_ptr<const void> keep_;  // what the options point to beside doc_
  std::optional<render::Frontend> frontend_;
  render::Viewport view_;
  bool fitted_ = false;
  std::optional<QPoint> dragFrom_;
  double lastPaintMs_ = 0;
};

class PreviewPage : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewPage(QWidget* parent = nullptr);
  ~PreviewPage() override;
  // Reads `path` and shows it as read and as converted. False (and a note
  // on the page) when it cannot be read.
  bool ShowFile(const QString& path);
  // Shows two revisions of a drawing, the older and the newer, and in the
  // third view what changed between them (brindle diff --gui).
  bool ShowComparison(const QString& before, const QString& after);

  DrawingView* before() const { return before_; }
  DrawingView* after() const { return after_; }
  DrawingView* changes() const { return changes_; }

 private:
  QLabel* caption_ = nullptr;
  DrawingView* before_ = nullptr;
  DrawingView* after_ = nullptr;
  DrawingView* changes_ = nullptr;  // the differences of before and after
  std::unique_ptr<ScopedImageFolder> images_;
  std::unique_ptr<ScopedImageFolder> imagesBefore_;  // of the older revision compared
};

}  // namespace app::gui
