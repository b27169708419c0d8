// SPDX-License-Identifier: GPL-3.0-or-later
// The page "プレビュー": a drawing before and after conversion side by side,
// zoomed under the mouse wheel and panned by dragging. Nothing is written:
// the conversion is made on a copy in memory.
#pragma once

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>

#include "jww/document.h"
#include "render/frontend.h"
#include "render/view_cache.h"

class QLabel;
class QPainter;

namespace app {
class ScopedImageFolder;
}

namespace app::gui {

// A drawing as read and as converted (in memory, nothing written), with the
// working folder its pictures were extracted into.
struct PreviewDrawings {
  std::shared_ptr<const jww::TJwwData> before, after;
  std::shared_ptr<ScopedImageFolder> images;
};
// Reads and converts `path`; on failure the reader's text in `error`.
std::optional<PreviewDrawings> LoadPreviewDrawings(const std::string& path, std::string* error);

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
  // Lays `top` over the drawing: both in one colour each (`argb`, `topArgb`)
  // on the background, so that what differs stands out; null ends it.
  void SetOverlay(std::shared_ptr<const jww::TJwwData> top, uint32_t argb, uint32_t topArgb);
  // Layer groups shown (bit n for group n), over the drawing's own states.
  void SetShownGroups(uint16_t groups);
  // Fits `box` (sheet millimetres) into the view, centred.
  void FitTo(const render::SheetBox& box);
  // Shows the sheet point `centre` in the middle of the view at `pxPerMm`.
  void ShowAt(render::DPoint centre, double pxPerMm);
  render::DPoint centre() const;
  // Fitted, and not moved since.
  bool isFitted() const { return fitBox_.has_value(); }
  const render::Viewport& viewport() const { return view_; }
  // Milliseconds the last paint took, and what it painted.
  double lastPaintMs() const { return lastPaintMs_; }
  const render::PaintStats& lastStats() const { return lastStats_; }

 signals:
  // The user zoomed or panned (not sent for ShowAt or fits).
  void viewMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Left to the page: a double-click there opens the preview window.
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->ignore(); }

 private:
  void Fit();
  void Rebuild();
  void PaintDrawing(QPainter& painter, const render::Viewport& view);

  std::shared_ptr<const jww::TJwwData> doc_, top_;
  render::RenderOptions options_;     // as SetDrawing gave them
  std::shared_ptr<const void> keep_;  // what the options point to beside doc_
  std::optional<render::Frontend> frontend_, topFrontend_;
  uint32_t tint_ = 0, topTint_ = 0;
  uint16_t shownGroups_ = 0xFFFF;
  render::Viewport view_;
  bool fitted_ = false;
  std::optional<QPoint> dragFrom_;
  // The box the view was last fitted to, kept fitted when the view is
  // resized until the user moves it.
  std::optional<render::SheetBox> fitBox_;
  render::ViewCache cache_;
  double lastPaintMs_ = 0;
  render::PaintStats lastStats_;
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
  // The drawing shown, empty before the first.
  const QString& path() const { return path_; }

  DrawingView* before() const { return before_; }
  DrawingView* after() const { return after_; }
  DrawingView* changes() const { return changes_; }

 signals:
  // A double-click on the page asks for the preview window.
  void windowWanted(const QString& path);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QLabel* caption_ = nullptr;
  DrawingView* before_ = nullptr;
  DrawingView* after_ = nullptr;
  DrawingView* changes_ = nullptr;  // the differences of before and after
  std::shared_ptr<ScopedImageFolder> images_;
  std::shared_ptr<ScopedImageFolder> imagesBefore_;  // of the older revision compared
  QString path_;
};

}  // namespace app::gui
