// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/preview_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/i18n.h"
#include "app/settings.h"
#include "jww/queries.h"
#include "util/encoding.h"

namespace app::gui {

namespace {

// Laid over each other: the drawing as read in blue, as converted in a
// translucent red on top, so that only what moved shows in two colours.
constexpr uint32_t kBeforeTint = 0xFF2060C0;
constexpr uint32_t kAfterTint = 0xA0D02020;

QString Q(const char* text) { return QString::fromUtf8(text); }

// "1/50", "1/2.5"; an unset scale reads as 1.
QString ScaleText(double scale) {
  if (!(scale > 0)) scale = 1;
  return "1/" + QString::number(scale, 'g', 6);
}

// Jw_cad names its groups 0–9 and A–F.
QString GroupKey(int group) { return QString::number(group, 16).toUpper(); }

QString GroupText(const jww::TJwwData& doc, int group) {
  if (group >= static_cast<int>(doc.EntLgrp.size())) return {};
  const jww::TEntJwwLayerGroup& g = doc.EntLgrp[group];
  const QString name = QString::fromStdU16String(g.aStrGLayName);
  return name.isEmpty() ? ScaleText(g.adScale) : name + "  " + ScaleText(g.adScale);
}

// What is drawn before and after together: the frame both views fit.
render::SheetBox ContentsOf(const PreviewDrawings& d) {
  render::RenderOptions options;
  options.fitToContents = true;
  const render::SheetBox a = render::DrawingBox(*d.before, options);
  const render::SheetBox b = render::DrawingBox(*d.after, options);
  return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
          std::max(a.maxY, b.maxY)};
}

QWidget* Captioned(QWidget* parent, const char* caption, DrawingView* view) {
  auto* box = new QWidget(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* label = new QLabel(Q(caption), box);
  label->setObjectName(view->objectName() + "Caption");
  layout->addWidget(label);
  layout->addWidget(view, 1);
  return box;
}

}  // namespace

PreviewWindow::PreviewWindow(std::string placementPath, QWidget* parent)
    : QWidget(parent, Qt::Window), placementPath_(std::move(placementPath)) {
  setObjectName("PreviewWindow");
  setWindowTitle(Q(Tr("Preview")));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);

  auto* bar = new QHBoxLayout;
  overlaySwitch_ = new QCheckBox(Q(Tr("Lay one over the other")), this);
  overlaySwitch_->setObjectName("PreviewOverlaySwitch");
  fitButton_ = new QPushButton(Q(Tr("Fit (F)")), this);
  fitButton_->setObjectName("PreviewFit");
  fitButton_->setFocusPolicy(Qt::NoFocus);
  auto* hint = new QLabel(Q(Tr("Wheel: zoom at the mouse   Drag: pan")), this);
  hint->setObjectName("PreviewHint");
  bar->addWidget(overlaySwitch_);
  bar->addWidget(fitButton_);
  bar->addSpacing(12);
  bar->addWidget(hint);
  bar->addStretch(1);
  layout->addLayout(bar);

  auto* split = new QSplitter(Qt::Horizontal, this);
  stack_ = new QStackedWidget(split);
  auto* sides = new QWidget(stack_);
  auto* row = new QHBoxLayout(sides);
  row->setContentsMargins(0, 0, 0, 0);
  before_ = new DrawingView(sides);
  before_->setObjectName("PreviewWindowBefore");
  after_ = new DrawingView(sides);
  after_->setObjectName("PreviewWindowAfter");
  row->addWidget(Captioned(sides, Tr("Before conversion"), before_));
  row->addWidget(Captioned(sides, Tr("After conversion"), after_));
  overlay_ = new DrawingView(stack_);
  overlay_->setObjectName("PreviewWindowOverlay");
  stack_->addWidget(sides);
  stack_->addWidget(Captioned(stack_, Tr("Before in blue, after in red"), overlay_));
  split->addWidget(stack_);

  groups_ = new QTreeWidget(split);
  groups_->setObjectName("PreviewGroups");
  groups_->setColumnCount(3);
  groups_->setHeaderLabels({Q(Tr("Group")), Q(Tr("Before conversion")), Q(Tr("After conversion"))});
  groups_->setRootIsDecorated(false);
  groups_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  split->addWidget(groups_);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 0);
  split->setSizes({700, 240});
  layout->addWidget(split, 1);

  status_ = new QLabel(this);
  status_->setObjectName("PreviewStatus");
  layout->addWidget(status_);

  connect(overlaySwitch_, &QCheckBox::toggled, this, [this](bool on) { SetOverlaid(on); });
  connect(fitButton_, &QPushButton::clicked, this, [this] { FitAll(); });
  for (DrawingView* v : {before_, after_, overlay_})
    connect(v, &DrawingView::viewMoved, this, [this, v] { FollowView(v); });
  connect(groups_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (column != 0) return;
    const int group = item->data(0, Qt::UserRole).toInt();
    const bool shown = item->checkState(0) == Qt::Checked;
    if (((shownGroups_ >> group) & 1) != shown) SetGroupShown(group, shown);
  });

  const PreviewPlacement placement = ReadPreviewPlacement(placementPath_);
  resize(placement.width, placement.height);
  if (placement.maximised) setWindowState(windowState() | Qt::WindowMaximized);
}

PreviewWindow::~PreviewWindow() = default;

bool PreviewWindow::ShowFile(const QString& path) {
  std::string error;
  std::optional<PreviewDrawings> drawings = LoadPreviewDrawings(path.toStdString(), &error);
  if (!drawings) {
    status_->setText(path + ": " + QString::fromStdString(error));
    return false;
  }
  drawings_ = std::move(drawings);
  before_->SetDrawing(drawings_->before);
  after_->SetDrawing(drawings_->after);
  overlay_->SetDrawing(drawings_->before);
  overlay_->SetOverlay(drawings_->after, kBeforeTint, kAfterTint);
  shownGroups_ = 0xFFFF;
  for (DrawingView* v : {before_, after_, overlay_}) v->SetShownGroups(shownGroups_);
  FillGroups();
  const std::string sheet = jww::PaperName(drawings_->before->Enthd.nZumen);
  setWindowTitle(
      QString::fromStdString(TrFormat("{} — {} — Brindle preview", {sheet, path.toStdString()})));
  status_->setText(
      Q(Tr("F or Home fits the drawing again; the groups' boxes show and hide them.")));
  fitPending_ = !isVisible();
  FitAll();
  return true;
}

void PreviewWindow::FillGroups() {
  const QSignalBlocker quiet(groups_);
  groups_->clear();
  for (int g = 0; g < 16; ++g) {
    auto* item = new QTreeWidgetItem(groups_);
    item->setData(0, Qt::UserRole, g);
    item->setText(0, GroupKey(g));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, (shownGroups_ >> g) & 1 ? Qt::Checked : Qt::Unchecked);
    if (drawings_) {
      item->setText(1, GroupText(*drawings_->before, g));
      item->setText(2, GroupText(*drawings_->after, g));
    }
  }
}

void PreviewWindow::FitAll() {
  if (!drawings_) return;
  const render::SheetBox box = ContentsOf(*drawings_);
  for (DrawingView* v : {before_, after_, overlay_}) v->FitTo(box);
}

void PreviewWindow::SetOverlaid(bool overlaid) {
  DrawingView* from = overlaid ? before_ : overlay_;
  DrawingView* to = overlaid ? overlay_ : before_;
  stack_->setCurrentIndex(overlaid ? 1 : 0);
  if (overlaySwitch_->isChecked() != overlaid) {
    const QSignalBlocker quiet(overlaySwitch_);
    overlaySwitch_->setChecked(overlaid);
  }
  // The view shown keeps the place and zoom of the one it replaces, or is
  // fitted when that one was.
  if (from->isFitted()) {
    FitAll();
  } else if (from->viewport().pxPerMm > 0) {
    to->ShowAt(from->centre(), from->viewport().pxPerMm);
    FollowView(to);
  }
}

bool PreviewWindow::overlaid() const { return stack_->currentIndex() == 1; }

void PreviewWindow::SetGroupShown(int group, bool shown) {
  if (group < 0 || group > 15) return;
  const uint16_t bit = static_cast<uint16_t>(1u << group);
  shownGroups_ = shown ? (shownGroups_ | bit) : (shownGroups_ & ~bit);
  for (DrawingView* v : {before_, after_, overlay_}) v->SetShownGroups(shownGroups_);
  if (QTreeWidgetItem* item = groups_->topLevelItem(group)) {
    const QSignalBlocker quiet(groups_);
    item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
  }
}

// Every view shows the same place at the same zoom as the one moved.
void PreviewWindow::FollowView(DrawingView* leader) {
  if (following_) return;
  following_ = true;
  for (DrawingView* v : {before_, after_, overlay_})
    if (v != leader) v->ShowAt(leader->centre(), leader->viewport().pxPerMm);
  following_ = false;
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F || event->key() == Qt::Key_Home) {
    FitAll();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void PreviewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The views have their sizes only now.
  if (fitPending_) {
    fitPending_ = false;
    FitAll();
  }
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
  SavePlacement();
  QWidget::closeEvent(event);
}

void PreviewWindow::SavePlacement() const {
  if (placementPath_.empty()) return;
  PreviewPlacement p;
  const QRect normal = isMaximized() ? normalGeometry() : geometry();
  p.width = normal.width();
  p.height = normal.height();
  p.maximised = isMaximized();
  SavePreviewPlacement(p, placementPath_);
}

}  // namespace app::gui
