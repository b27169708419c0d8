// SPDX-License-Identifier: GPL-3.0-or-later
// The window, driven the way a user drives it: controls, settings, drops,
// the open dialog, Escape, and the window staying alive during a batch.
// Runs headless (-platform offscreen); the "screenshots" case runs on a real
// X server (xvfb-run) and saves pictures of both pages.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/driver.h"
#include "app/gui/form1.h"
#include "app/gui/language.h"
#include "app/gui/preview_page.h"
#include "app/gui/preview_window.h"
#include "app/i18n.h"
#include "app/settings.h"
#include "jww/queries.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"
#include "tools/sample_sfc.h"

namespace fs = std::filesystem;
using app::gui::TForm1;

namespace {

struct FakeDialogs : app::gui::Dialogs {
  struct OpenCall {
    QString title, folder;
    QStringList filters;
    int filterIndex = 0;
  };
  std::vector<OpenCall> opens;
  app::gui::OpenFilesAnswer openAnswer;
  std::vector<QString> browseCaptions, browseStarts;
  QStringList folders;  // answers of the folder browser in turn; "" cancels
  QStringList messages;

  app::gui::OpenFilesAnswer OpenFiles(QWidget*, const QString& title, const QString& folder,
                                      const QStringList& filters, int filterIndex) override {
    opens.push_back({title, folder, filters, filterIndex});
    return openAnswer;
  }
  std::optional<QString> BrowseFolder(QWidget*, const QString& caption,
                                      const QString& start) override {
    browseCaptions.push_back(caption);
    browseStarts.push_back(start);
    const QString f = folders.isEmpty() ? QString() : folders.takeFirst();
    if (f.isEmpty()) return std::nullopt;
    return f;
  }
  void Message(QWidget*, const QString& text) override { messages << text; }
};

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The 14 settings lines, CR LF ended.
std::string SettingsLines(std::initializer_list<std::string> lines) {
  std::string t;
  for (const std::string& l : lines) t += l + "\r\n";
  return t;
}

std::vector<std::string> FileLines(const fs::path& p) {
  std::vector<std::string> lines;
  std::string text = ReadAll(p);
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Drops `paths` on `target` as a file manager would.
bool Drop(QWidget* target, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
  mime.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

class GuiTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<testjww::TempDir> tmp_;
  fs::path root_, home_, desktop_, src_, caseDir_;
  std::shared_ptr<FakeDialogs> dialogs_;
  int case_ = 0;
  bool qtTranslated_ = false;

  fs::path SettingsPath() const { return caseDir_ / "brindle.dat"; }

  std::unique_ptr<TForm1> MakeForm(const QStringList& files = {}) {
    TForm1::Options o;
    o.settingsPath = SettingsPath().string();
    o.imageFolder = (caseDir_ / "TEMP").string() + "/";
    o.files = files;
    o.dialogs = dialogs_;
    return std::make_unique<TForm1>(o);
  }

  void WriteSettings(const std::string& text) {
    std::ofstream(SettingsPath(), std::ios::binary) << text;
  }

  fs::path Drawing(const std::string& name) {
    fs::path p = src_ / name;
    fs::copy_file(
        fs::path(qEnvironmentVariable("BRINDLE_SOURCE_DIR").toStdString()) / "samples" / "plan.jww",
        p, fs::copy_options::overwrite_existing);
    return p;
  }

  static void WaitForBatch(TForm1& form) { QTRY_VERIFY_WITH_TIMEOUT(!form.BatchRunning(), 300000); }

  static QStringList ResultLines(const fs::path& src, const fs::path& dst, bool ok = true) {
    return {Q(src), "→ " + Q(dst), QString("　…… ") + (ok ? "変換完了" : "変換失敗")};
  }

 private slots:
  void initTestCase() {
    tmp_ = std::make_unique<testjww::TempDir>("brindle-gui");
    root_ = tmp_->path();
    home_ = root_ / "home";
    desktop_ = home_ / "Desktop";
    src_ = root_ / "src";
    fs::create_directories(desktop_);
    fs::create_directories(src_);
    // Never the user's own folders or settings.
    qputenv("HOME", home_.string().c_str());
    qputenv("XDG_CONFIG_HOME", (root_ / "config").string().c_str());
    QVERIFY(!qEnvironmentVariable("BRINDLE_SOURCE_DIR").isEmpty());
    // The window speaks Japanese even under LANG=C, as brindle-gui starts it.
    qputenv("LANG", "C");
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) qunsetenv(v);
    qtTranslated_ = app::gui::SpeakJapanese(*qApp, "test_gui");
  }

  void init() {
    caseDir_ = root_ / ("case" + std::to_string(++case_));
    fs::create_directories(caseDir_);
    for (const auto& e : fs::directory_iterator(desktop_)) fs::remove_all(e.path());
    dialogs_ = std::make_shared<FakeDialogs>();
  }

  void cleanup() { QApplication::setStyle(app::gui::kDefaultStyle); }

  void controlsCarryTheirNamesAndCaptions() {
    auto form = MakeForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(form->windowTitle(), QString("Brindle Ver.") + QString(BRINDLE_VERSION).section('.', 0, 1));
    QCOMPARE(form->size(), QSize(464, 442));
    QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));

    auto text = [&](const char* name) -> QString {
      QObject* o = form->findChild<QObject*>(name);
      if (o == nullptr) return "<missing " + QString(name) + ">";
      if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
      if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
      if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
      if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
      return o->objectName();
    };
    QCOMPARE(text("GroupBoxFold"), QString("保存先(&F)"));
    QCOMPARE(text("RadioButtonFl1"), QString("デスクトップ"));
    QCOMPARE(text("RadioButtonFl2"), QString("マイドキュメント"));
    QCOMPARE(text("RadioButtonFl3"), QString("元ファイルのフォルダ"));
    QCOMPARE(text("RadioButtonFl4"), QString("指定フォルダ"));
    QCOMPARE(text("EditFl1"), QString());
    QCOMPARE(text("ButtonFl1"), QString("参照"));
    QCOMPARE(text("RadioButtonFl5"), QString("毎回指定"));
    QCOMPARE(text("Panel1"), QString("Panel1"));
    QCOMPARE(text("Label2"), QString("エクスプローラ等からドラッグ＆ドロップするか、または、"));
    QCOMPARE(text("Label3"), QString("ここをクリックして変換するファイルを選択して下さい。"));
    QCOMPARE(text("Label7"), QString("画面スタイル："));
    QCOMPARE(text("Label8"), QString("※次回起動時に有効"));
    QCOMPARE(text("Label4"), QString("※変換対象は JWWのみ"));
    QCOMPARE(form->StatusText(), QString(app::gui::kStatusText));
    QVERIFY(form->findChild<QStatusBar*>("StatusBar1") != nullptr);
    QVERIFY(form->findChild<QListWidget*>("ListBox1") != nullptr);
    QCOMPARE(form->findChild<QAction*>("BrowseForFolder1")->text(),
             QString("変換後のファイルを保存するフォルダを指定して下さい"));
    QVERIFY(form->findChild<QAction*>("BrowseForFolder2") != nullptr);

    // Controls of the folder group sit inside it, top to bottom as designed.
    QCOMPARE(form->RadioButtonFl[4]->parentWidget(), form->GroupBoxFold);
    QVERIFY(form->RadioButtonFl[0]->y() < form->RadioButtonFl[3]->y());
    QVERIFY(form->RadioButtonFl[3]->y() < form->RadioButtonFl[4]->y());
    QVERIFY(form->GroupBoxFold->geometry().bottom() < form->Panel1->geometry().top());
    QVERIFY(form->Panel1->geometry().bottom() < form->PageControl1->geometry().top());
    QCOMPARE(form->Label3->parentWidget(), form->Panel1);
    QVERIFY(form->Label3->font().underline());
    QCOMPARE(form->Label3->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(!form->Label1->isVisibleTo(form.get()));

    QTabWidget* pages = form->PageControl1;
    QCOMPARE(pages->tabPosition(), QTabWidget::South);
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->tabText(0), QString("設定(&S)"));
    QCOMPARE(pages->tabText(1), QString("ログ(&L)"));
    QCOMPARE(pages->currentIndex(), TForm1::kSettingsPage);
    QVERIFY(pages->widget(0)->isAncestorOf(form->ComboBoxSc1));
    QVERIFY(pages->widget(1)->isAncestorOf(form->ListBox1));
    // A further page goes after the two, and the log page keeps its index.
    QCOMPARE(form->AddPage(new QWidget, "プレビュー"), 2);
    QCOMPARE(pages->tabText(TForm1::kLogPage), QString("ログ(&L)"));

    // A Japanese font that renders the captions, at the designed sizes.
    QVERIFY(QFontInfo(form->font()).family().contains("IPA"));
    QCOMPARE(form->font().pixelSize(), 13);
    QCOMPARE(form->ListBox1->font().pixelSize(), 12);
    QVERIFY(QFontMetrics(form->font()).inFont(QChar(u'変')));
    // Every caption fits its control.
    for (QRadioButton* b : form->RadioButtonFl)
      QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->objectName()));
    for (QLabel* l : form->findChildren<QLabel*>()) {
      if (l == form->Label1 || l == form->LabelPreFolder) continue;
      QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
               qPrintable(l->objectName() + " " + QString::number(l->width())));
    }
  }

  void radioButtonsEnableTheFixedFolder() {
    auto form = MakeForm();
    form->show();
    QVERIFY(form->RadioButtonFl[0]->isChecked());
    for (int i = 0; i < 5; ++i) {
      QTest::mouseClick(form->RadioButtonFl[i], Qt::LeftButton, {}, QPoint(8, 10));
      QVERIFY(form->RadioButtonFl[i]->isChecked());
      QCOMPARE(form->EditFl1->isEnabled(), i == 3);
      QCOMPARE(form->ButtonFl1->isEnabled(), i == 3);
    }
    // The browser of the fixed folder starts in the home folder (the settings
    // are not beside the program) while the box names no folder, and appends
    // the separator.
    QTest::mouseClick(form->RadioButtonFl[3], Qt::LeftButton, {}, QPoint(8, 10));
    dialogs_->folders = {Q(root_ / "out"), QString()};
    QTest::mouseClick(form->ButtonFl1, Qt::LeftButton);
    QCOMPARE(form->EditFl1->text(), Q(root_ / "out") + "/");
    QCOMPARE(dialogs_->browseCaptions.at(0),
             QString("変換後のファイルを保存するフォルダを指定して下さい"));
    QCOMPARE(dialogs_->browseStarts.at(0), Q(home_) + "/");
    form->EditFl1->setText(Q(src_));
    QTest::mouseClick(form->ButtonFl1, Qt::LeftButton);  // cancelled
    QCOMPARE(form->EditFl1->text(), Q(src_));
    QCOMPARE(dialogs_->browseStarts.at(1), Q(src_));
  }

  void settingsThroughTheWindow() {
    // No file: the defaults.
    {
      auto form = MakeForm();
      QVERIFY(form->RadioButtonFl[0]->isChecked());
      QCOMPARE(form->PreFolder(), Q(home_) + "/");
      QCOMPARE(form->Fidx(), 1);
      QCOMPARE(form->gstyle(), std::string("Windows"));
      QCOMPARE(form->pos(), QPoint(50, 50));
    }
    // Several flags set: the last checked one wins; "On" counts, "yes" not.
    WriteSettings(SettingsLines(
        {"10", "20", "480", "480", "1", "0", "1", "On", "yes", "", "", "", "2", "Windows"}));
    {
      auto form = MakeForm();
      QVERIFY(form->RadioButtonFl[3]->isChecked());
      QVERIFY(!form->RadioButtonFl[0]->isChecked() && !form->RadioButtonFl[2]->isChecked());
      QVERIFY(!form->RadioButtonFl[4]->isChecked());
      QVERIFY(form->EditFl1->isEnabled());
      QCOMPARE(form->Fidx(), 2);
      QCOMPARE(form->pos(), QPoint(10, 20));
    }
    // A non-ASCII fixed folder survives a save and a load, as hex of UTF-8.
    {
      auto form = MakeForm();
      form->EditFl1->setText("/tmp/図面 フォルダ/");
      form->close();
    }
    QCOMPARE(FileLines(SettingsPath()).size(), size_t(14));
    QCOMPARE(FileLines(SettingsPath())[7], std::string("1"));
    QCOMPARE(FileLines(SettingsPath())[9].substr(0, 10), std::string("2F746D702F"));
    {
      auto form = MakeForm();
      QCOMPARE(form->EditFl1->text(), QString("/tmp/図面 フォルダ/"));
    }
    // A short file with sizes that are not numbers: what was read stays,
    // the rest is empty; no flag set, empty style -> "Windows"; the window
    // keeps its designed size.
    WriteSettings(SettingsLines({"30", "40", "abc", "4.5"}));
    {
      auto form = MakeForm();
      for (QRadioButton* b : form->RadioButtonFl) QVERIFY(!b->isChecked());
      QCOMPARE(form->pos(), QPoint(30, 40));
      QCOMPARE(form->size(), QSize(464, 442));
      QCOMPARE(form->gstyle(), std::string("Windows"));
      QCOMPARE(form->PreFolder(), QString());
      QVERIFY(!form->EditFl1->isEnabled());

      // With no button checked a batch asks for the folder every time; a
      // cancel keeps the folder of the time before.
      fs::path a = Drawing("ask.jww");
      dialogs_->folders = {Q(desktop_)};
      QVERIFY(Drop(form.get(), {Q(a)}));
      WaitForBatch(*form);
      QCOMPARE(dialogs_->browseCaptions.size(), size_t(1));
      QCOMPARE(form->PreFolder(), Q(desktop_) + "/");
      QCOMPARE(form->LogLines(), ResultLines(a, desktop_ / "ask.jww"));
      QVERIFY(Drop(form.get(), {Q(a)}));  // the browser is cancelled this time
      WaitForBatch(*form);
      QCOMPARE(dialogs_->browseStarts.at(1), Q(desktop_) + "/");
      QCOMPARE(form->LogLines(), ResultLines(a, desktop_ / "ask~1.jww"));
    }
  }

  void dropOfAnSfcDrawingWritesItsJww() {
    const std::string text = tools::MakeSampleSfc();
    std::ofstream(src_ / "sheet.SFC", std::ios::binary) << text;
    auto form = MakeForm();
    form->show();
    QVERIFY(Drop(form.get(), {Q(src_ / "sheet.SFC")}));
    WaitForBatch(*form);
    QCOMPARE(form->LogLines(), ResultLines(src_ / "sheet.SFC", desktop_ / "sheet.jww"));
    QVERIFY(fs::exists(desktop_ / "sheet.jww"));
  }

  void dropConvertsOnlyTheDrawings() {
    fs::path a = Drawing("A.jww"), b = Drawing("B.JWW");
    fs::create_directories(src_ / "folder.jww");
    std::ofstream(src_ / "notes.txt") << "not a drawing";
    auto form = MakeForm();
    form->show();
    QVERIFY(Drop(form.get(), {Q(src_ / "folder.jww"), Q(src_ / "notes.txt"), Q(a), Q(b)}));
    QVERIFY(form->BatchRunning() || !form->LogLines().isEmpty());
    WaitForBatch(*form);
    // What was not taken is said first, each with its reason.
    QCOMPARE(
        form->LogLines(),
        QStringList(
            {"　※ " + Q(src_ / "folder.jww") + " を飛ばしました: 図面ではなくフォルダです",
             "　※ " + Q(src_ / "notes.txt") + " を飛ばしました: .jww ファイルではありません"}) +
            ResultLines(a, desktop_ / "A.jww") + ResultLines(b, desktop_ / "B.JWW"));
    QCOMPARE(form->PageControl1->currentIndex(), TForm1::kLogPage);
    QCOMPARE(form->StatusText(), QString(app::gui::kStatusText));
    QVERIFY(fs::exists(desktop_ / "A.jww") && fs::exists(desktop_ / "B.JWW"));
    QCOMPARE(std::distance(fs::directory_iterator(desktop_), fs::directory_iterator()), 2);
    QVERIFY(fs::exists(SettingsPath()));  // saved when the batch started

    // The same drop again: new names with branch numbers, a fresh log.
    QVERIFY(Drop(form.get(), {Q(a), Q(b)}));
    WaitForBatch(*form);
    QCOMPARE(form->LogLines(),
             ResultLines(a, desktop_ / "A~1.jww") + ResultLines(b, desktop_ / "B~1.jww"));
  }

  void warningLinesAppearInTheLog() {
    jww::TJwwData many = tools::MakeSxfBenchDrawing(17, 2, 200, 3);
    many.SetFileOutOption(0);
    const fs::path p = src_ / "many.jww";
    QVERIFY(many.FileOut(p.string(), 700));
    auto form = MakeForm();
    QVERIFY(Drop(form.get(), {Q(p)}));
    WaitForBatch(*form);
    const QStringList log = form->LogLines();
    QCOMPARE(log.size(), 4);
    QCOMPARE(log.mid(0, 2), ResultLines(p, desktop_ / "many.jww").mid(0, 2));
    QVERIFY2(log[2].startsWith("　※ ") && log[2].contains("17"), qPrintable(log[2]));
    QCOMPARE(log[3], QString("　…… 変換完了"));
  }

  // A failed file's reason on the line below it, the note of a drawing
  // without SXF figures, and the log following its newest line.
  void logSaysWhatHappened() {
    const fs::path bad = src_ / "bad.jww";
    std::ofstream(bad) << "JwwData.garbage";
    const fs::path plain = src_ / "plain.jww";
    jww::TJwwData d;
    d.DataDefaultSet();
    QVERIFY(d.AddEntPre() && d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1000, 0) && d.AddEntPost());
    QVERIFY(d.FileOut(plain.string(), 700));
    QStringList offered{Q(bad), Q(plain)};
    for (int i = 0; i < 30; ++i) offered << Q(src_ / ("gone" + std::to_string(i) + ".jww"));
    auto form = MakeForm();
    form->show();
    QVERIFY(Drop(form.get(), offered));
    WaitForBatch(*form);
    const QStringList log = form->LogLines();
    QCOMPARE(log.size(), 30 + 4 + 4);
    QCOMPARE(log.mid(30, 3), ResultLines(bad, desktop_ / "bad.jww", false));
    QVERIFY2(log[33].startsWith("　※ ") && log[33].size() > 4, qPrintable(log[33]));
    QCOMPARE(log.mid(34, 2), ResultLines(plain, desktop_ / "plain.jww").mid(0, 2));
    QCOMPARE(log[36], QString("　※ SXF図形はありません: レイヤの状態を戻して書き直しました"));
    QCOMPARE(log[37], QString("　…… 変換完了"));
    QScrollBar* bar = form->ListBox1->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
  }

  void openDialogAndCommandLineRoads() {
    fs::path a = Drawing("dialog.jww");
    std::ofstream(src_ / "notes.txt") << "x";
    dialogs_->openAnswer = {true, {Q(a), Q(src_ / "notes.txt")}, 2};
    auto form = MakeForm();
    form->show();
    form->Label1->setText(Q(root_) + "/");
    QTest::mouseClick(form->Label3, Qt::LeftButton);
    QCOMPARE(dialogs_->opens.size(), size_t(1));
    QCOMPARE(dialogs_->opens[0].title, QString("変換元ファイルを指定"));
    QCOMPARE(dialogs_->opens[0].folder, Q(root_) + "/");
    QCOMPARE(dialogs_->opens[0].filterIndex, 1);
    QCOMPARE(dialogs_->opens[0].filters.size(), 4);
    QVERIFY(dialogs_->opens[0].filters[0].startsWith("Jw_cad 図面ファイル (*.jww"));
    QVERIFY(dialogs_->opens[0].filters[1].startsWith("全てのファイル(*.*)"));
    QCOMPARE(dialogs_->opens[0].filters[2], QString("SXF 図面 (*.sfc;*.SFC)"));
    QCOMPARE(dialogs_->opens[0].filters[3], QString("SXF 図面 (*.p21;*.P21)"));
    WaitForBatch(*form);
    QCOMPARE(form->LogLines(), QStringList("　※ " + Q(src_ / "notes.txt") +
                                           " を飛ばしました: .jww ファイルではありません") +
                                   ResultLines(a, desktop_ / "dialog.jww"));
    QCOMPARE(form->Label1->text(), Q(src_) + "/");
    QCOMPARE(form->Fidx(), 2);
    form->close();
    QCOMPARE(FileLines(SettingsPath()).at(12), std::string("2"));

    // File names on the command line start a batch when the window shows.
    auto second = MakeForm({Q(a), Q(src_ / "missing.jww")});
    QVERIFY(second->LogLines().isEmpty());
    second->show();
    WaitForBatch(*second);
    QCOMPARE(second->LogLines(), QStringList("　※ " + Q(src_ / "missing.jww") +
                                             " を飛ばしました: そのようなファイルはありません") +
                                     ResultLines(a, desktop_ / "dialog~1.jww"));
    // Nothing taken at all: no batch, but the log says why.
    QVERIFY(Drop(second.get(), {Q(src_ / "notes.txt")}));
    QVERIFY(!second->BatchRunning());
    QCOMPARE(second->LogLines().size(), 1);
    QVERIFY(second->LogLines()[0].contains("notes.txt"));
  }

  void escapeStopsBeforeTheNextFile() {
    fs::path a = Drawing("e1.jww"), b = Drawing("e2.jww"), c = Drawing("e3.jww");
    auto form = MakeForm();
    form->show();
    QStringList linesAtFirstFile;
    std::vector<std::string> savedAtFirstFile;
    QMetaObject::Connection hook;
    hook = connect(form.get(), &TForm1::fileConverted, this, [&](int done, int total) {
      QCOMPARE(total, 3);
      if (done != 1) return;
      disconnect(hook);
      // The lines are on the page as they are produced, and the settings of
      // the batch were saved before its first file.
      linesAtFirstFile = form->LogLines();
      savedAtFirstFile = FileLines(SettingsPath());
      QTest::keyClick(form.get(), Qt::Key_Escape);
    });
    QVERIFY(Drop(form.get(), {Q(a), Q(b), Q(c)}));
    WaitForBatch(*form);
    QCOMPARE(linesAtFirstFile, ResultLines(a, desktop_ / "e1.jww"));
    QCOMPARE(savedAtFirstFile.size(), size_t(14));
    QCOMPARE(form->LogLines(), ResultLines(a, desktop_ / "e1.jww") +
                                   QStringList{"[ESC]を押しましたので中断します。"});
    QVERIFY(!fs::exists(desktop_ / "e2.jww"));
    QCOMPARE(form->PageControl1->currentIndex(), TForm1::kLogPage);
    QCOMPARE(form->StatusText(), QString(app::gui::kStatusText));
    // Escape outside a batch is harmless and the next batch runs in full.
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QVERIFY(Drop(form.get(), {Q(b)}));
    WaitForBatch(*form);
    QCOMPARE(form->LogLines(), ResultLines(b, desktop_ / "e2.jww"));
  }

  void windowStaysAliveDuringABatchOfLargeDrawings() {
    jww::TJwwData big = tools::MakeBenchDrawing(300000, 7);
    big.SetFileOutOption(0);
    QVERIFY(big.FileOut((src_ / "big1.jww").string(), 700));
    QStringList files{Q(src_ / "big1.jww")};
    for (int i = 2; i <= 4; ++i) {
      fs::path p = src_ / ("big" + std::to_string(i) + ".jww");
      fs::copy_file(src_ / "big1.jww", p, fs::copy_options::overwrite_existing);
      files << Q(p);
    }
    auto form = MakeForm();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    PaintCounter counter;
    form->ListBox1->viewport()->installEventFilter(&counter);
    form->installEventFilter(&counter);
    // Escape after the first file, while the window waits for its report,
    // so that the stop falls between the first and the second file.
    connect(form.get(), &TForm1::fileConverted, this, [&](int done, int) {
      if (done == 1) QTest::keyClick(form.get(), Qt::Key_Escape);
    });

    QVERIFY(Drop(form.get(), files));
    QVERIFY(form->BatchRunning());
    // Repaints and input while the first drawing converts.
    const int before = counter.paints;
    form->update();
    form->ListBox1->viewport()->update();
    QTRY_VERIFY(counter.paints > before);
    QTest::mouseClick(form->RadioButtonFl[2], Qt::LeftButton, {}, QPoint(8, 10));
    QVERIFY(form->RadioButtonFl[2]->isChecked());
    QTest::keyClicks(form->ComboBoxSc1, "");  // the list takes focus and keys
    // Another batch is refused while this one runs.
    QVERIFY(!Drop(form.get(), {Q(src_ / "big1.jww")}));
    QVERIFY(!form->OfferFiles({Q(src_ / "big1.jww")}));
    QTest::mouseClick(form->Label3, Qt::LeftButton);
    QVERIFY(dialogs_->opens.empty());
    QVERIFY(form->StatusText() != QString(app::gui::kStatusText));
    const bool stillRunning = form->BatchRunning();
    WaitForBatch(*form);
    QVERIFY2(stillRunning, "the batch ended before the checks were done");
    const QStringList log = form->LogLines();
    QCOMPARE(log.back(), QString("[ESC]を押しましたので中断します。"));
    QCOMPARE(log, ResultLines(src_ / "big1.jww", desktop_ / "big1.jww") + QStringList{log.back()});
    // The mode chosen during the batch is the one in force now; the batch
    // itself wrote where it started.
    QVERIFY(form->RadioButtonFl[2]->isChecked());
    QCOMPARE(FileLines(SettingsPath()).at(4), std::string("1"));
  }

  void closingDuringABatchWaitsForTheCurrentFile() {
    fs::path a = Drawing("c1.jww"), b = Drawing("c2.jww");
    auto form = MakeForm();
    form->show();
    bool closeAsked = false;
    connect(form.get(), &TForm1::fileConverted, this, [&](int done, int) {
      if (done == 1 && !closeAsked) {
        closeAsked = true;
        QVERIFY(!form->close());  // refused for now
      }
    });
    QVERIFY(Drop(form.get(), {Q(a), Q(b)}));
    WaitForBatch(*form);
    QVERIFY(closeAsked);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(fs::exists(desktop_ / "c1.jww"));
    QVERIFY(!fs::exists(desktop_ / "c2.jww"));
  }

  void missingFoldersShowTheMessageAndStartNothing() {
    fs::path a = Drawing("m.jww");
    WriteSettings(SettingsLines({"50", "50", "480", "480", "0", "0", "0", "1", "0",
                                 "2F6E6F77686572652F", "", "", "1", "Windows"}));  // /nowhere/
    fs::remove(SettingsPath().string() + ".unused");
    const std::string before = ReadAll(SettingsPath());
    auto form = MakeForm();
    form->show();
    form->ListBox1->addItem("old line");
    QVERIFY(Drop(form.get(), {Q(a)}));
    WaitForBatch(*form);
    QCOMPARE(dialogs_->messages, QStringList{"指定したフォルダが見つかりません。\r\n/nowhere/"});
    QCOMPARE(form->LogLines(), QStringList{"old line"});
    // An empty folder box names no folder at all: said so, the log stays.
    form->EditFl1->clear();
    QVERIFY(Drop(form.get(), {Q(a)}));
    WaitForBatch(*form);
    QCOMPARE(dialogs_->messages.size(), 2);
    QVERIFY2(dialogs_->messages[1].contains("指定されていません"),
             qPrintable(dialogs_->messages[1]));
    QCOMPARE(form->LogLines(), QStringList{"old line"});
    dialogs_->messages.removeLast();
    QCOMPARE(form->PageControl1->currentIndex(), TForm1::kSettingsPage);
    QCOMPARE(ReadAll(SettingsPath()), before);  // not saved

    // The desktop of mode 1 missing: said once, naming it.
    QTest::mouseClick(form->RadioButtonFl[0], Qt::LeftButton, {}, QPoint(8, 10));
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", (root_ / "empty-home").string().c_str());
    QVERIFY(Drop(form.get(), {Q(a), Q(a)}));
    WaitForBatch(*form);
    qputenv("HOME", home);
    QCOMPARE(dialogs_->messages.size(), 2);
    QVERIFY(dialogs_->messages[1].contains(Q(root_ / "empty-home" / "Desktop")));
    QVERIFY2(dialogs_->messages[1].contains("がありません"), qPrintable(dialogs_->messages[1]));
    QCOMPARE(form->LogLines(), QStringList{"old line"});
    QCOMPARE(ReadAll(SettingsPath()), before);
  }

  void unknownStyleFallsBackToWindows() {
    WriteSettings(SettingsLines(
        {"50", "50", "480", "480", "1", "0", "0", "0", "0", "", "", "", "1", "NoSuchStyle"}));
    {
      auto form = MakeForm();
      QCOMPARE(form->gstyle(), std::string("Windows"));
      QCOMPARE(form->ComboBoxSc1->currentText(), QString("Windows"));
      QCOMPARE(QApplication::style()->name().toLower(), QString("windows"));
      QStringList items;
      for (int i = 0; i < form->ComboBoxSc1->count(); ++i) items << form->ComboBoxSc1->itemText(i);
      QCOMPARE(items, QStyleFactory::keys());
      // A choice takes effect at the next start.
      const int fusion = form->ComboBoxSc1->findText("Fusion");
      if (fusion < 0) QSKIP("this Qt carries no Fusion style");
      form->ComboBoxSc1Select(fusion);
      QCOMPARE(form->gstyle(), std::string("Fusion"));
      QCOMPARE(QApplication::style()->name().toLower(), QString("windows"));
      form->close();
    }
    QCOMPARE(FileLines(SettingsPath()).at(13), std::string("Fusion"));
    auto form = MakeForm();
    QCOMPARE(QApplication::style()->name().toLower(), QString("fusion"));
    QCOMPARE(form->ComboBoxSc1->currentText(), QString("Fusion"));
  }

  // The page プレビュー: a Shift drop shows a drawing without converting it,
  // a log line naming a drawing shows it, the wheel zooms and dragging pans.
  void previewShowsShiftDropsAndTheLogSelection() {
    fs::path a = Drawing("preview.jww");
    auto form = MakeForm();
    form->AddPreviewPage();
    form->show();
    QTabWidget* pages = form->PageControl1;
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(2), QString("プレビュー"));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(a))});
    const QPointF at(form->width() / 2.0, form->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(form.get(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(form.get(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(pages->currentWidget(), static_cast<QWidget*>(form->Preview));
    QVERIFY(!form->BatchRunning());
    QCOMPARE(form->ListBox1->count(), 0);  // shown, not converted
    app::gui::DrawingView* after = form->Preview->after();
    QVERIFY(after->viewport().pxPerMm > 0);
    QVERIFY(form->Preview->before()->viewport().pxPerMm > 0);
    // Both sides fit the plan as it lies on the sheet: its lines (as the
    // reader has them, millimetres on the sheet) fill most of the view (the
    // rest is the detail beside the plan), before and after alike, whatever
    // the scales of the groups.
    {
      jww::TJwwData plan;
      QVERIFY(plan.FileIn(a.string()));
      double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
      for (int32_t i = 0; i < plan.EntLineN; ++i) {
        const jww::TEntJwwLine& l = plan.EntLine[i];
        x0 = std::min({x0, l.start_x, l.end_x});
        x1 = std::max({x1, l.start_x, l.end_x});
        y0 = std::min({y0, l.start_y, l.end_y});
        y1 = std::max({y1, l.start_y, l.end_y});
      }
      const double fits = std::min(after->width() / (x1 - x0), after->height() / (y1 - y0));
      for (app::gui::DrawingView* view : {form->Preview->before(), after}) {
        QVERIFY(view->viewport().pxPerMm <= fits);
        QVERIFY(view->viewport().pxPerMm > 0.5 * fits);
      }
    }

    // The wheel zooms in about the mouse; dragging moves the sheet along.
    const double k = after->viewport().pxPerMm;
    const QPointF mid(after->width() / 2.0, after->height() / 2.0);
    QWheelEvent wheel(mid, after->mapToGlobal(mid), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(after, &wheel);
    QVERIFY(after->viewport().pxPerMm > k * 1.5);
    const double left = after->viewport().left;
    QTest::mousePress(after, Qt::LeftButton, Qt::NoModifier, mid.toPoint());
    QTest::mouseMove(after, mid.toPoint() + QPoint(30, 0));
    QTest::mouseRelease(after, Qt::LeftButton, Qt::NoModifier, mid.toPoint() + QPoint(30, 0));
    QVERIFY(after->viewport().left < left);

    // A log line that names a drawing shows that drawing.
    fs::path b = Drawing("logged.jww");
    form->ListBox1->addItem(Q(b));
    form->ListBox1->setCurrentRow(0);
    QVERIFY(after->viewport().pxPerMm > 0);
    QVERIFY(form->Preview->findChild<QLabel*>("LabelPreview")->text().contains("logged.jww"));

    // The Shift drop opened the preview window; a double-click on the page
    // shows the page's drawing there.
    QVERIFY(form->previewWindow() != nullptr);
    QVERIFY(form->previewWindow()->windowTitle().contains("preview.jww"));
    QTest::mouseDClick(after, Qt::LeftButton, {}, mid.toPoint());
    QVERIFY(form->previewWindow()->windowTitle().contains("logged.jww"));
  }

  // The preview window on a real drawing, in Japanese: opened by a
  // double-click on a log line, fitted to the lines the reader gives, zoomed
  // under the mouse with the other side following, panned, fitted again by
  // F, a group hidden and shown, laid over, and its size kept. Under
  // xvfb-run it saves the README's screenshots.
  void previewWindowOnARealDrawing() {
    const QString corpus = qEnvironmentVariable("BRINDLE_CORPUS");
    if (corpus.isEmpty()) QSKIP("BRINDLE_CORPUS is not set");
    const fs::path file = fs::path(corpus.toStdString()) / "ezjww-Test1.jww";
    QVERIFY2(fs::is_regular_file(file), file.c_str());
    app::InitMessages(nullptr);
    QVERIFY(std::setlocale(LC_MESSAGES, "ja_JP.UTF-8") != nullptr);
    struct English {
      ~English() { std::setlocale(LC_MESSAGES, "C.UTF-8"); }
    } restore;

    auto form = MakeForm();
    form->AddPreviewPage();
    form->show();
    form->ListBox1->addItem(Q(file));
    QListWidgetItem* line = form->ListBox1->item(0);
    const QPoint at = form->ListBox1->visualItemRect(line).center();
    QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(form->ListBox1->viewport(), Qt::LeftButton, {}, at);
    app::gui::PreviewWindow* w = form->previewWindow();
    QVERIFY(w != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    jww::TJwwData doc;
    QVERIFY(doc.FileIn(file.string()));
    QVERIFY(w->windowTitle().contains(Q(file)));
    QVERIFY(w->windowTitle().contains(QString::fromStdString(jww::PaperName(doc.Enthd.nZumen))));

    // No English caption in the Japanese window (nor on the page); names of
    // keys stay as the keyboard has them.
    const QRegularExpression english("[A-Za-z]{3,}");
    const QRegularExpression keys("\\b(Home|Shift)\\b");
    QStringList captions;
    for (QLabel* l : w->findChildren<QLabel*>()) captions << l->text();
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) captions << b->text();
    for (int c = 0; c < w->groups()->columnCount(); ++c)
      captions << w->groups()->headerItem()->text(c);
    captions << form->Preview->findChild<QLabel*>("LabelPreview")->text().remove(Q(file));
    for (const QString& c : captions)
      QVERIFY2(!english.match(QString(c).remove(keys)).hasMatch(), qPrintable(c));

    // Fitted: every line as the reader has it (sheet millimetres) lies in
    // both views, and the lines take most of the width or the height.
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int32_t i = 0; i < doc.EntLineN; ++i) {
      const jww::TEntJwwLine& l = doc.EntLine[i];
      x0 = std::min({x0, l.start_x, l.end_x});
      x1 = std::max({x1, l.start_x, l.end_x});
      y0 = std::min({y0, l.start_y, l.end_y});
      y1 = std::max({y1, l.start_y, l.end_y});
    }
    app::gui::DrawingView* after = w->after();
    app::gui::DrawingView* before = w->before();
    auto inside = [](const app::gui::DrawingView* v, double x, double y) {
      const util::DPoint d = v->viewport().ToDevice({x, y});
      return d.x >= -0.5 && d.y >= -0.5 && d.x <= v->width() + 0.5 && d.y <= v->height() + 0.5;
    };
    for (app::gui::DrawingView* v : {before, after}) {
      QVERIFY(inside(v, x0, y0) && inside(v, x1, y1));
      const double k = v->viewport().pxPerMm;
      QVERIFY(std::max((x1 - x0) * k / v->width(), (y1 - y0) * k / v->height()) > 0.8);
    }
    const render::Viewport fitted = after->viewport();

    // The wheel zooms about the mouse; the other side follows.
    const QPointF mouse(after->width() * 0.3, after->height() * 0.6);
    const util::DPoint under = after->viewport().ToSheet({mouse.x(), mouse.y()});
    QWheelEvent wheel(mouse, after->mapToGlobal(mouse), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(after, &wheel);
    QCOMPARE(after->viewport().pxPerMm, fitted.pxPerMm * 1.25 * 1.25);
    const util::DPoint still = after->viewport().ToSheet({mouse.x(), mouse.y()});
    QVERIFY(std::abs(still.x - under.x) < 1e-6 && std::abs(still.y - under.y) < 1e-6);
    QCOMPARE(before->viewport().pxPerMm, after->viewport().pxPerMm);
    QVERIFY(std::abs(before->centre().x - after->centre().x) < 1e-6);
    // Dragging 40 pixels to the right moves the sheet 40 pixels along.
    const double cx = after->centre().x, k = after->viewport().pxPerMm;
    const QPoint mid = after->rect().center();
    QTest::mousePress(after, Qt::LeftButton, {}, mid);
    QTest::mouseMove(after, mid + QPoint(40, 0));
    QTest::mouseRelease(after, Qt::LeftButton, {}, mid + QPoint(40, 0));
    QVERIFY(std::abs(after->centre().x - (cx - 40 / k)) < 1e-6);
    QVERIFY(std::abs(before->centre().x - after->centre().x) < 1e-6);
    // F fits again.
    QTest::keyClick(w, Qt::Key_F);
    QCOMPARE(after->viewport().pxPerMm, fitted.pxPerMm);
    QCOMPARE(after->viewport().left, fitted.left);
    QCOMPARE(after->viewport().top, fitted.top);

    // The groups' list: names and scales of the drawing, and hiding group 0
    // (where every entity of this drawing lies, on shown layers) hides
    // exactly its entities, counted from the records.
    QCOMPARE(w->groups()->topLevelItemCount(), 16);
    const QString scale = "1/" + QString::number(doc.EntLgrp[0].adScale);
    QVERIFY(w->groups()->topLevelItem(0)->text(1).contains(scale));
    int64_t inGroup0 = 0;
    auto count = [&](const auto& list, int32_t n) {
      for (int32_t i = 0; i < n; ++i) inGroup0 += list[i].att.nGLayer == 0;
    };
    count(doc.EntLine, doc.EntLineN);
    count(doc.EntEnko, doc.EntEnkoN);
    count(doc.EntTen, doc.EntTenN);
    count(doc.EntMoji, doc.EntMojiN);
    count(doc.EntSunpo, doc.EntSunpoN);
    count(doc.EntSolid, doc.EntSolidN);
    QVERIFY(inGroup0 > 1000);
    const QImage shown = after->grab().toImage();
    QCOMPARE(after->lastStats().hidden, 0);
    w->groups()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(w->shownGroups(), uint16_t(0xFFFE));
    after->repaint();
    const QImage hidden = after->grab().toImage();
    QCOMPARE(after->lastStats().hidden, inGroup0);
    QVERIFY(hidden != shown);
    w->groups()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QVERIFY(after->grab().toImage() == shown);

    const QString shots = qEnvironmentVariable("BRINDLE_SCREENSHOTS");
    if (!shots.isEmpty()) {
      fs::create_directories(shots.toStdString());
      QTest::qWait(200);
      QVERIFY(w->grab().save(shots + "/preview-window.png"));
    }
    // Laid over each other, at the same place and zoom.
    w->overlaySwitch()->click();
    QVERIFY(w->overlaid());
    QVERIFY(w->overlay()->isFitted());
    if (!shots.isEmpty()) {
      QTest::qWait(200);
      QVERIFY(w->grab().save(shots + "/preview-window-overlay.png"));
    }

    // Its size is kept for the next window.
    w->setWindowState(Qt::WindowNoState);
    w->resize(900, 600);
    QTRY_COMPARE(w->size(), QSize(900, 600));
    w->close();
    const std::string kept = app::PreviewPlacementPath(SettingsPath().string());
    QCOMPARE(app::ReadPreviewPlacement(kept), (app::PreviewPlacement{900, 600, false}));
    app::gui::PreviewWindow again(kept);
    QCOMPARE(again.size(), QSize(900, 600));
  }

  // brindle diff --gui: two revisions and, in the third view, what changed.
  void previewComparesTwoRevisions() {
    const fs::path a = Drawing("old.jww"), b = src_ / "new.jww";
    jww::TJwwData edited;
    QVERIFY(edited.FileIn(a.string()));
    edited.EntLine[0].start_x += 20;
    edited.EntLine[0].end_x += 20;
    QVERIFY(edited.FileOut(b.string(), 700));
    auto form = MakeForm();
    form->AddPreviewPage();
    form->show();
    form->PageControl1->setCurrentWidget(form->Preview);
    form->Preview->changes()->resize(600, 600);  // room to tell the two lines apart
    QVERIFY(form->Preview->ShowComparison(Q(a), Q(b)));
    QVERIFY(form->Preview->findChild<QLabel*>("LabelPreview")->text().contains(
        "削除 1、追加 1、変更 0"));  // the window speaks Japanese
    const QImage shot = form->Preview->changes()->grab().toImage();
    bool red = false, blue = false;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QRgb c = shot.pixel(x, y);
        red = red || (qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80);
        blue = blue || (qBlue(c) > 180 && qRed(c) < 80 && qGreen(c) < 140);
      }
    QVERIFY(red);
    QVERIFY(blue);
  }

  // Qt's own file and folder dialogs, as QtDialogs opens them, in Japanese.
  void dialogsSpeakJapanese() {
    QVERIFY2(qtTranslated_, "Qt's Japanese translations (qt6-translations-l10n) are missing");
    auto form = MakeForm();
    form->show();
    QStringList seen;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) seen << b->text();
      for (QLabel* l : dialog->findChildren<QLabel*>()) seen << l->text();
      const QString shots = qEnvironmentVariable("BRINDLE_SCREENSHOTS");
      if (!shots.isEmpty()) dialog->grab().save(shots + "/gui-open-dialog.png");
      dialog->reject();
    });
    app::gui::QtDialogs().OpenFiles(form.get(), "変換元ファイルを指定", Q(src_),
                                    {"Jw_cad 図面ファイル (*.jww)"}, 1);
    const QString all = seen.join("|");
    QVERIFY2(seen.contains("キャンセル") && all.contains("ファイル名"), qPrintable(all));
    for (const char* english : {"Cancel", "Look in:", "File name:", "&Open", "Open"})
      QVERIFY2(!seen.contains(english), qPrintable(all));
  }

  // On a real X server: the pictures the README shows.
  void screenshots() {
    const QString out = qEnvironmentVariable("BRINDLE_SCREENSHOTS");
    if (out.isEmpty()) QSKIP("BRINDLE_SCREENSHOTS is not set (run under xvfb-run)");
    fs::create_directories(out.toStdString());
    fs::path a = Drawing("plan.jww");
    auto form = MakeForm();
    form->EditFl1->setText("/home/u/図面/変換後/");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto shoot = [&](const QString& name) {
      QTest::qWait(200);
      QPixmap shot = form->windowHandle()->screen()->grabWindow(form->winId());
      if (shot.isNull()) shot = form->grab();
      QVERIFY(shot.save(out + "/" + name));
      QCOMPARE(shot.size(), QSize(464, 442) * shot.devicePixelRatio());
    };
    shoot("gui-settings.png");
    QVERIFY(Drop(form.get(), {Q(a)}));
    WaitForBatch(*form);
    QCOMPARE(form->LogLines(), ResultLines(a, desktop_ / "plan.jww"));
    shoot("gui-log.png");
  }
};

QTEST_MAIN(GuiTest)
#include "test_gui.moc"
