// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the output-folder choice, the link that opens the file
// dialog, the settings page with the style chooser and the log page. The
// controls carry the names the settings and the driver know them by.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <string>
#include <thread>

#include "app/driver.h"
#include "app/gui/dialogs.h"
#include "app/gui/window_platform.h"
#include "app/settings.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;

namespace app::gui {

class PreviewPage;    // preview_page.h
class PreviewWindow;  // preview_window.h

// Window texts, exactly as the user sees them (the caption is
// app::ProgramCaption(), made of the version).
inline constexpr const char* kStatusText =
    "※保存先フォルダに同じ名前のファイルが存在する場合は名前に枝番が付きます";
inline constexpr const char* kOpenDialogTitle = "変換元ファイルを指定";
inline constexpr const char* kBrowseCaption = "変換後のファイルを保存するフォルダを指定して下さい";
inline constexpr const char* kDefaultStyle = "Windows";
inline constexpr int kClientWidth = 464;
inline constexpr int kClientHeight = 442;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  struct Options {
    std::string settingsPath;          // the settings file shared with brindle
    std::string imageFolder;           // working folder for images carried in drawings
    QStringList files;                 // the command line: a batch at once when any is kept
    std::shared_ptr<Dialogs> dialogs;  // the toolkit's dialogs when empty
  };

  explicit TForm1(Options options, QWidget* parent = nullptr);
  ~TForm1() override;

  // Handlers, named after their control and event.
  void FormCreate();
  void FormShow();
  void FormClose();
  void OpenDatFile(const std::string& path);
  bool SaveDatFile(const std::string& path);
  void RadioButtonFl1Click();
  void BrowseForFolder1Accept(const QString& folder);
  void BrowseForFolder2Accept(const QString& folder);
  void ComboBoxSc1Select(int index);
  void Label3Click();

  // One road into a batch (command line, drop, open dialog): keeps the
  // existing ".jww" files among `paths` and runs them. False when refused
  // because a batch is running.
  bool OfferFiles(const QStringList& paths);
  bool BatchRunning() const { return running_; }
  // Asks the running batch to stop before its next file.
  void RequestStop();

  // Adds a page to PageControl1 after the settings and log pages.
  int AddPage(QWidget* page, const QString& caption);
  // Adds the page "プレビュー": the drawing selected in the log, or dropped
  // with Shift held (shown, not converted), before and after conversion.
  void AddPreviewPage();
  // Opens (or raises) the preview window on `path`: a double-click on a log
  // line or on the page プレビュー, or a Shift drop.
  void ShowPreviewWindow(const QString& path);
  PreviewWindow* previewWindow() const { return previewWindow_.get(); }
  static constexpr int kSettingsPage = 0;
  static constexpr int kLogPage = 1;

  // State the settings file keeps.
  Settings CurrentSettings() const;
  const std::string& gstyle() const { return gstyle_; }
  int Fidx() const { return fidx_; }
  QString PreFolder() const;
  QString StatusText() const;
  QStringList LogLines() const;

  // The controls, by the names the settings and the driver use.
  QGroupBox* GroupBoxFold = nullptr;
  std::array<QRadioButton*, 5> RadioButtonFl{};
  QLineEdit* EditFl1 = nullptr;
  QPushButton* ButtonFl1 = nullptr;
  QLabel* LabelPreFolder = nullptr;
  QFrame* Panel1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QLabel* Label7 = nullptr;
  QComboBox* ComboBoxSc1 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label4 = nullptr;
  QListWidget* ListBox1 = nullptr;
  PreviewPage* Preview = nullptr;  // the page "プレビュー", once added
  QStatusBar* StatusBar1 = nullptr;
  QAction* BrowseForFolder1 = nullptr;
  QAction* BrowseForFolder2 = nullptr;

 signals:
  // After each file of a batch, on the window's thread, while the batch
  // waits for the handler.
  void fileConverted(int done, int total);
  void batchFinished(app::BatchStatus status);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildFolderGroup(QWidget* parent);
  void BuildLinkPanel(QWidget* parent);
  void BuildPages(QWidget* parent);
  void ShowSettings(const Settings& s);
  void ApplyStyle();
  void SetPreFolder(const QString& folder);
  void SetStatus(const QString& text);
  void RunProc();
  void BatchDone(BatchOutcome outcome);
  FolderAnswer AskOutputFolder(const std::string& start);
  void OnFileDone(const FileRecord& record);
  void RunBrowseForFolder1();
  void Refuse();
  // The log of a new batch: emptied, then the offered names that were not
  // taken, each with its reason.
  void StartLog();
  void AddLog(const QString& line);

  Options options_;
  std::shared_ptr<Dialogs> dialogs_;
  std::string startFolder_;
  std::string gstyle_ = kDefaultStyle;
  int fidx_ = 1;
  QString preFolder_;
  QPoint placement_;  // where the settings place the window
  std::unique_ptr<PreviewWindow> previewWindow_;
  QLabel* statusLabel_ = nullptr;
  bool shown_ = false;
  bool closed_ = false;
  bool closePending_ = false;

  // The batch: the driver keeps the list of files, the worker thread runs it
  // with the settings copied from the controls when it started.
  Settings batchSettings_;
  WindowPlatform platform_;
  BatchDriver driver_;
  std::thread worker_;
  bool running_ = false;
  QStringList skipped_;  // log lines of the names the last offer did not take
  int batchTotal_ = 0;
  int batchDone_ = 0;
};

}  // namespace app::gui
