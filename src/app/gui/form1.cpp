// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "app/gui/preview_page.h"
#include "app/gui/preview_window.h"
#include "app/i18n.h"
#include "app/version.h"
#include "util/path.h"

namespace app::gui {
namespace fs = std::filesystem;
namespace {

// The drawing's own font family is a Windows one; IPA Gothic (Debian's
// fonts-ipafont-gothic) has the same fixed-width Japanese design.
QFont JapaneseFont(int pixelSize) {
  QFont f;
  f.setFamilies({"IPAGothic", "IPAゴシック", "Noto Sans CJK JP", "VL Gothic"});
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixelSize);
  return f;
}

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString Shown(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

QString WithDelim(const QString& folder) { return Shown(util::AddPathDelim(Local(folder))); }

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

const QStringList& OpenFilters() {
  // Qt matches patterns case-sensitively on this system; "*.JWW" keeps
  // upper-case names from Windows archives visible.
  // The SXF filter comes last so that the filter index kept in the settings
  // file still names the filters it named before.
  static const QStringList filters{"Jw_cad 図面ファイル (*.jww *.JWW)", "全てのファイル(*.*) (*)",
                                   "SXF 図面 (*.sfc;*.SFC)", "SXF 図面 (*.p21;*.P21)"};
  return filters;
}

// A drawing the window can show: JWW, or SXF (SFC, P21) read straight.
bool IsDrawingFile(const QString& path) {
  return (path.endsWith(".jww", Qt::CaseInsensitive) || path.endsWith(".sfc", Qt::CaseInsensitive) ||
          path.endsWith(".p21", Qt::CaseInsensitive)) &&
         QFileInfo(path).isFile();
}

}  // namespace

TForm1::TForm1(Options options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<QtDialogs>()),
      startFolder_(WorkFoldersFor(options_.settingsPath, ProgramFolder()).start),
      platform_(this, {[this](const std::string& start) { return AskOutputFolder(start); },
                       [this](const std::string& text) {
                         dialogs_->Message(this, QString::fromStdString(text));
                       },
                       [this](const FileRecord& record) { OnFileDone(record); }}),
      driver_(platform_, batchSettings_) {
  ConvertOptions convert;
  convert.imageFolder = options_.imageFolder;
  driver_.SetConvertOptions(convert);
  driver_.SetNoteNoFigures(true);
  driver_.SetLogFailureReasons(true);
  BuildControls();
  connect(&platform_, &WindowPlatform::logLine, this, [this](const QString& line) { AddLog(line); });
  connect(&platform_, &WindowPlatform::logCleared, this, [this] { StartLog(); });
  connect(&platform_, &WindowPlatform::logPageWanted, this,
          [this] { PageControl1->setCurrentIndex(kLogPage); });
  qApp->installEventFilter(this);
  FormCreate();
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  if (worker_.joinable()) {
    // Only reached when the window is destroyed without being closed: the
    // worker may wait for this thread, so it cannot simply be joined.
    platform_.RequestStop();
    while (running_) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (worker_.joinable()) worker_.join();
  }
  if (!closed_) FormClose();
}

// ------------------------------------------------------------------ layout

void TForm1::BuildControls() {
  setObjectName("Form1");
  setWindowTitle(ProgramCaption());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(JapaneseFont(13));
  setAcceptDrops(true);

  auto* client = new QWidget(this);
  client->setObjectName("ClientArea");
  setCentralWidget(client);
  BuildFolderGroup(client);
  BuildLinkPanel(client);
  BuildPages(client);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  statusLabel_ = new QLabel(kStatusText, StatusBar1);
  statusLabel_->setObjectName("StatusBar1Panel");
  // A smaller size than the form's, as the system's status font is, so that
  // the whole sentence fits the window's width.
  statusLabel_->setFont(JapaneseFont(12));
  StatusBar1->addWidget(statusLabel_, 1);
  setStatusBar(StatusBar1);

  // The layout is in pixels, as designed: the window is not scaled.
  setFixedSize(kClientWidth, kClientHeight);
}

void TForm1::BuildFolderGroup(QWidget* parent) {
  GroupBoxFold = new QGroupBox("保存先(&F)", parent);
  GroupBoxFold->setObjectName("GroupBoxFold");
  GroupBoxFold->setGeometry(8, 4, 448, 128);

  const char* names[5] = {"RadioButtonFl1", "RadioButtonFl2", "RadioButtonFl3", "RadioButtonFl4",
                          "RadioButtonFl5"};
  const char* captions[5] = {"デスクトップ", "マイドキュメント", "元ファイルのフォルダ",
                             "指定フォルダ", "毎回指定"};
  const QRect places[5] = {{12, 22, 124, 22},
                           {140, 22, 144, 22},
                           {288, 22, 156, 22},
                           {12, 52, 110, 22},
                           {12, 86, 110, 22}};
  for (int i = 0; i < 5; ++i) {
    RadioButtonFl[i] = new QRadioButton(captions[i], GroupBoxFold);
    RadioButtonFl[i]->setObjectName(names[i]);
    RadioButtonFl[i]->setGeometry(places[i]);
    connect(RadioButtonFl[i], &QRadioButton::toggled, this, [this] { RadioButtonFl1Click(); });
  }
  RadioButtonFl[0]->setChecked(true);

  EditFl1 = new QLineEdit(GroupBoxFold);
  EditFl1->setObjectName("EditFl1");
  EditFl1->setGeometry(124, 50, 246, 24);

  BrowseForFolder1 = new QAction(kBrowseCaption, this);
  BrowseForFolder1->setObjectName("BrowseForFolder1");
  connect(BrowseForFolder1, &QAction::triggered, this, [this] { RunBrowseForFolder1(); });
  BrowseForFolder2 = new QAction(kBrowseCaption, this);
  BrowseForFolder2->setObjectName("BrowseForFolder2");

  ButtonFl1 = new QPushButton("参照", GroupBoxFold);
  ButtonFl1->setObjectName("ButtonFl1");
  ButtonFl1->setGeometry(376, 49, 60, 26);
  connect(ButtonFl1, &QPushButton::clicked, BrowseForFolder1, &QAction::trigger);

  LabelPreFolder = MakeLabel(GroupBoxFold, "LabelPreFolder", {}, {124, 82, 312, 30});
  LabelPreFolder->setFrameShape(QFrame::StyledPanel);
  LabelPreFolder->setFrameShadow(QFrame::Sunken);
  RadioButtonFl1Click();
}

void TForm1::BuildLinkPanel(QWidget* parent) {
  Panel1 = new QFrame(parent);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(8, 138, 448, 58);
  Panel1->setFrameShape(QFrame::StyledPanel);
  Panel1->setFrameShadow(QFrame::Raised);
  Label2 = MakeLabel(Panel1, "Label2", "エクスプローラ等からドラッグ＆ドロップするか、または、",
                     {8, 8, 432, 18});
  Label3 = MakeLabel(Panel1, "Label3", "ここをクリックして変換するファイルを選択して下さい。",
                     {8, 32, 432, 18});
  Label3->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  QFont link = Label3->font();
  link.setUnderline(true);
  Label3->setFont(link);
  QPalette blue = Label3->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label3->setPalette(blue);
  Label3->setCursor(Qt::PointingHandCursor);
  Label3->installEventFilter(this);

  Label1 = MakeLabel(parent, "Label1", {}, {0, 0, 0, 0});
  Label1->setVisible(false);
}

void TForm1::BuildPages(QWidget* parent) {
  PageControl1 = new QTabWidget(parent);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(8, 202, 448, 214);
  PageControl1->setTabPosition(QTabWidget::South);

  auto* settingsPage = new QWidget;
  settingsPage->setObjectName("TabSheet1");
  Label7 = MakeLabel(settingsPage, "Label7", "画面スタイル：", {12, 16, 100, 20});
  ComboBoxSc1 = new QComboBox(settingsPage);
  ComboBoxSc1->setObjectName("ComboBoxSc1");
  ComboBoxSc1->setGeometry(112, 13, 160, 24);
  connect(ComboBoxSc1, &QComboBox::activated, this, [this](int i) { ComboBoxSc1Select(i); });
  Label8 = MakeLabel(settingsPage, "Label8", "※次回起動時に有効", {282, 16, 150, 20});
  Label4 = MakeLabel(settingsPage, "Label4", "※変換対象は JWWのみ", {12, 56, 300, 20});
  PageControl1->addTab(settingsPage, "設定(&S)");

  auto* logPage = new QWidget;
  logPage->setObjectName("TabSheet2");
  auto* logLayout = new QVBoxLayout(logPage);
  logLayout->setContentsMargins(4, 4, 4, 4);
  ListBox1 = new QListWidget(logPage);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setFont(JapaneseFont(12));
  ListBox1->setUniformItemSizes(true);
  logLayout->addWidget(ListBox1);
  PageControl1->addTab(logPage, "ログ(&L)");
  PageControl1->setCurrentIndex(kSettingsPage);
}

int TForm1::AddPage(QWidget* page, const QString& caption) {
  return PageControl1->addTab(page, caption);
}

void TForm1::AddPreviewPage() {
  if (Preview != nullptr) return;
  Preview = new PreviewPage;
  AddPage(Preview, "プレビュー");
  // A log line that names a drawing (its source or its output) shows it.
  connect(ListBox1, &QListWidget::currentTextChanged, this, [this](const QString& line) {
    const QString path = line.trimmed();
    if (IsDrawingFile(path)) Preview->ShowFile(path);
  });
  // A double-click on such a line, or on the page, opens the window.
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const QString path = item->text().trimmed();
    if (path.endsWith(".jww", Qt::CaseInsensitive) && QFileInfo(path).isFile())
      ShowPreviewWindow(path);
  });
  connect(Preview, &PreviewPage::windowWanted, this, &TForm1::ShowPreviewWindow);
}

void TForm1::ShowPreviewWindow(const QString& path) {
  if (!previewWindow_) {
    const std::string placement =
        options_.settingsPath.empty() ? std::string() : PreviewPlacementPath(options_.settingsPath);
    previewWindow_ = std::make_unique<PreviewWindow>(placement);
    previewWindow_->setFont(font());
  }
  previewWindow_->ShowFile(path);
  previewWindow_->show();
  previewWindow_->raise();
  previewWindow_->activateWindow();
}

// ------------------------------------------------------- start and shut-down

void TForm1::FormCreate() {
  if (!options_.imageFolder.empty()) util::MakeDirectory(options_.imageFolder);
  OpenDatFile(options_.settingsPath);
  ApplyStyle();
  move(placement_);
}

void TForm1::ApplyStyle() {
  const QStringList keys = QStyleFactory::keys();
  ComboBoxSc1->clear();
  ComboBoxSc1->addItems(keys);
  if (!keys.contains(QString::fromStdString(gstyle_))) gstyle_ = kDefaultStyle;
  if (QApplication::setStyle(QString::fromStdString(gstyle_)) == nullptr) {
    gstyle_ = kDefaultStyle;
    QApplication::setStyle(kDefaultStyle);
  }
  ComboBoxSc1->setCurrentIndex(ComboBoxSc1->findText(QString::fromStdString(gstyle_)));
}

void TForm1::FormShow() {
  driver_.ClearFList();
  if (!options_.files.isEmpty()) OfferFiles(options_.files);
}

void TForm1::FormClose() {
  closed_ = true;
  if (previewWindow_) previewWindow_->close();  // keeps its size
  if (!options_.imageFolder.empty()) util::DeleteDirectory(options_.imageFolder);
  driver_.ClearFList();
  SaveDatFile(options_.settingsPath);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The file being converted is finished first; the window closes when
    // the batch has stopped.
    closePending_ = true;
    RequestStop();
    event->ignore();
    return;
  }
  if (!closed_) FormClose();
  event->accept();
}

// ----------------------------------------------------------------- settings

void TForm1::OpenDatFile(const std::string& path) {
  Settings s;
  app::OpenDatFile(s, path, startFolder_);
  ShowSettings(s);
}

void TForm1::ShowSettings(const Settings& s) {
  placement_ = QPoint(s.Fm1x, s.Fm1y);
  // Exclusive buttons cannot all be unchecked; a settings file may ask for
  // exactly that, and then a batch asks for the folder.
  for (QRadioButton* b : RadioButtonFl) b->setAutoExclusive(false);
  for (int i = 0; i < 5; ++i) RadioButtonFl[i]->setChecked(s.RadioButtonFl[i]);
  for (QRadioButton* b : RadioButtonFl) b->setAutoExclusive(true);
  RadioButtonFl1Click();
  EditFl1->setText(Shown(s.EditFl1));
  Label1->setText(Shown(s.Label1));
  SetPreFolder(Shown(s.LabelPreFolder));
  fidx_ = s.Fidx;
  gstyle_ = s.gstyle;
}

Settings TForm1::CurrentSettings() const {
  Settings s;
  const QRect frame = frameGeometry();
  s.Fm1x = frame.x();
  s.Fm1y = frame.y();
  s.Fm1w = frame.width();
  s.Fm1h = frame.height();
  for (int i = 0; i < 5; ++i) s.RadioButtonFl[i] = RadioButtonFl[i]->isChecked();
  s.EditFl1 = Local(EditFl1->text());
  s.Label1 = Local(Label1->text());
  s.LabelPreFolder = Local(preFolder_);
  s.Fidx = fidx_;
  s.gstyle = gstyle_;
  return s;
}

bool TForm1::SaveDatFile(const std::string& path) {
  return !path.empty() && app::SaveDatFile(CurrentSettings(), path);
}

// ---------------------------------------------------------- folder controls

void TForm1::RadioButtonFl1Click() {
  if (ButtonFl1 == nullptr) return;  // still being built
  const bool fixed = RadioButtonFl[3]->isChecked();
  EditFl1->setEnabled(fixed);
  ButtonFl1->setEnabled(fixed);
  BrowseForFolder1->setEnabled(fixed);
}

void TForm1::RunBrowseForFolder1() {
  const std::string text = Local(EditFl1->text());
  const QString start = Shown(IsFolder(text) ? text : startFolder_);
  if (std::optional<QString> folder = dialogs_->BrowseFolder(this, kBrowseCaption, start))
    BrowseForFolder1Accept(*folder);
}

void TForm1::BrowseForFolder1Accept(const QString& folder) { EditFl1->setText(WithDelim(folder)); }

void TForm1::BrowseForFolder2Accept(const QString& folder) { SetPreFolder(WithDelim(folder)); }

void TForm1::SetPreFolder(const QString& folder) {
  preFolder_ = folder;
  // A long folder is shown shortened in the middle; the whole one is kept.
  const int room = LabelPreFolder->contentsRect().width() - 6;
  LabelPreFolder->setText(LabelPreFolder->fontMetrics().elidedText(folder, Qt::ElideMiddle, room));
  LabelPreFolder->setToolTip(folder);
}

QString TForm1::PreFolder() const { return preFolder_; }

void TForm1::ComboBoxSc1Select(int index) {
  if (index < 0) return;
  gstyle_ = Local(ComboBoxSc1->itemText(index));
}

// ------------------------------------------------------------------- roads

void TForm1::Label3Click() {
  if (running_) {
    Refuse();
    return;
  }
  OpenFilesAnswer answer =
      dialogs_->OpenFiles(this, kOpenDialogTitle, Label1->text(), OpenFilters(), fidx_);
  if (!answer.accepted) return;
  if (!answer.files.isEmpty())
    Label1->setText(WithDelim(QFileInfo(answer.files.front()).absolutePath()));
  fidx_ = answer.filterIndex;
  OfferFiles(answer.files);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  // With Shift held a drawing is only shown, not converted.
  if (Preview != nullptr && (event->modifiers() & Qt::ShiftModifier)) {
    for (const QString& p : paths) {
      if (IsDrawingFile(p)) {
        PageControl1->setCurrentWidget(Preview);
        Preview->ShowFile(p);
        ShowPreviewWindow(p);
        event->acceptProposedAction();
        return;
      }
    }
    return;
  }
  if (OfferFiles(paths)) event->acceptProposedAction();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Label3 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Label3Click();
    return true;
  }
  if (running_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    RequestStop();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TForm1::OfferFiles(const QStringList& paths) {
  if (running_) {
    Refuse();
    return false;
  }
  driver_.ClearFList();
  skipped_.clear();
  for (const QString& p : paths) {
    if (driver_.PickupFile(Local(p))) continue;
    const std::string reason = SkipReason(Local(p));
    skipped_ << QString::fromStdString(
        kLogWarningPrefix +
        TrFormat("skipped {}: {}", {p.toStdString(), reason.empty() ? "?" : reason}));
  }
  // Nothing to convert: no batch, but the log says what became of each.
  if (driver_.FListN == 0 && !skipped_.isEmpty()) StartLog();
  RunProc();
  return true;
}

void TForm1::StartLog() {
  ListBox1->clear();
  for (const QString& line : skipped_) AddLog(line);
  skipped_.clear();
  PageControl1->setCurrentIndex(kLogPage);
}

void TForm1::AddLog(const QString& line) {
  ListBox1->addItem(line);
  ListBox1->scrollToBottom();
}

void TForm1::Refuse() {
  SetStatus(Tr("A batch is running: wait for it to end, or press Esc to stop it."));
}

void TForm1::RequestStop() {
  if (!running_) return;
  platform_.RequestStop();
  SetStatus(Tr("Stopping after the current file…"));
}

// ------------------------------------------------------------------- batch

void TForm1::RunProc() {
  if (driver_.FListN == 0) return;
  // The worker owns these until the batch ends; the controls stay free.
  batchSettings_ = CurrentSettings();
  platform_.SetSettings(&batchSettings_, options_.settingsPath);
  platform_.ResetStop();
  running_ = true;
  batchTotal_ = driver_.FListN;
  batchDone_ = 0;
  SetStatus(TrPlural("Converting {} file… (Esc stops after the current file)",
                     "Converting {} files… (Esc stops after the current file)",
                     static_cast<unsigned long>(batchTotal_), {std::to_string(batchTotal_)})
                .c_str());
  try {
    worker_ = std::thread([this] {
      BatchOutcome outcome = driver_.RunProc();
      QMetaObject::invokeMethod(
          this, [this, outcome] { BatchDone(outcome); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: run here, as the window did before it had one.
    BatchDone(driver_.RunProc());
  }
}

void TForm1::BatchDone(BatchOutcome outcome) {
  if (worker_.joinable()) worker_.join();
  running_ = false;
  // Mode 5 may have asked for a new folder; the rest the user may have
  // changed meanwhile stays as the controls have it.
  SetPreFolder(Shown(batchSettings_.LabelPreFolder));
  SetStatus(kStatusText);
  emit batchFinished(outcome.status);
  if (closePending_) close();
}

FolderAnswer TForm1::AskOutputFolder(const std::string& start) {
  if (!BrowseForFolder2->isEnabled()) return {FolderAnswer::Kind::kUnavailable, {}};
  const QString from = Shown(start);  // an existing folder, never the program's own
  std::optional<QString> folder = dialogs_->BrowseFolder(this, kBrowseCaption, from);
  if (!folder) return {FolderAnswer::Kind::kCancelled, {}};
  BrowseForFolder2Accept(*folder);
  return {FolderAnswer::Kind::kChosen, Local(*folder)};
}

void TForm1::OnFileDone(const FileRecord& /*record*/) {
  ++batchDone_;
  if (!platform_.StopRequested())
    SetStatus(TrPlural("{} of {} file done (Esc stops after the current file)",
                       "{} of {} files done (Esc stops after the current file)",
                       static_cast<unsigned long>(batchTotal_),
                       {std::to_string(batchDone_), std::to_string(batchTotal_)})
                  .c_str());
  emit fileConverted(batchDone_, batchTotal_);
}

// ---------------------------------------------------------------- queries

void TForm1::SetStatus(const QString& text) { statusLabel_->setText(text); }
QString TForm1::StatusText() const { return statusLabel_->text(); }

QStringList TForm1::LogLines() const {
  QStringList lines;
  for (int i = 0; i < ListBox1->count(); ++i) lines << ListBox1->item(i)->text();
  return lines;
}

}  // namespace app::gui
