// SPDX-License-Identifier: GPL-3.0-or-later
// The preview window: a drawing as read and as converted, large enough to
// judge it by. Side by side (panned and zoomed together) or laid over each
// other, opened fitted to what is drawn; the wheel zooms under the mouse,
// dragging pans, F (or Home) fits again. The list beside names every layer
// group with its scale before and after and shows or hides it. The window
// remembers its size in a file of its own beside the settings.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "app/gui/preview_page.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace app::gui {

class PreviewWindow : public QWidget {
  Q_OBJECT

 public:
  // `placementPath` is where the size is kept; empty keeps nothing.
  explicit PreviewWindow(std::string placementPath, QWidget* parent = nullptr);
  ~PreviewWindow() override;

  // Reads and converts `path` and shows both, fitted. False (and the reason
  // in the window) when it cannot be read.
  bool ShowFile(const QString& path);
  // Fits what is drawn (before and after together) into the views.
  void FitAll();
  // Side by side (false) or laid over each other (true).
  void SetOverlaid(bool overlaid);
  bool overlaid() const;
  // Shows or hides layer group `group` (0..15) in every view.
  void SetGroupShown(int group, bool shown);
  uint16_t shownGroups() const { return shownGroups_; }

  DrawingView* before() const { return before_; }
  DrawingView* after() const { return after_; }
  DrawingView* overlay() const { return overlay_; }
  QTreeWidget* groups() const { return groups_; }
  QCheckBox* overlaySwitch() const { return overlaySwitch_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FillGroups();
  void FollowView(DrawingView* leader);
  void SavePlacement() const;

  std::string placementPath_;
  QLabel* status_ = nullptr;
  QCheckBox* overlaySwitch_ = nullptr;
  QPushButton* fitButton_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  DrawingView* before_ = nullptr;
  DrawingView* after_ = nullptr;
  DrawingView* overlay_ = nullptr;
  QTreeWidget* groups_ = nullptr;
  std::optional<PreviewDrawings> drawings_;
  uint16_t shownGroups_ = 0xFFFF;
  bool fitPending_ = true;
  bool following_ = false;
};

}  // namespace app::gui
