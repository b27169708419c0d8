// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-gui: the window of Brindle. Drawings dropped on it, chosen through
// its link or named on the command line are converted like `brindle` does,
// with the same settings file.
#include <QApplication>
#include <QFile>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/gui/form1.h"
#include "app/gui/preview_page.h"
#include "app/gui/language.h"
#include "app/i18n.h"
#include "app/settings.h"
#include "app/version.h"
#include "app/xdg.h"

namespace {

// --help and --version are answered before anything of Qt starts, so that
// they work without a display.
bool AnsweredOnTheTerminal(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") return false;
    if (a == "-h" || a == "--help") {
      app::InitMessages(argv[0]);
      std::printf("%s\n%s\n\n%s\n%s\n%s\n%s\n",
                  app::Tr("Usage: brindle-gui [--settings FILE] [--] [FILE...]"),
                  app::Tr("The window of brindle: drawings dropped on it, chosen in its dialog or "
                          "named here are converted into new files."),
                  app::Tr("  --settings FILE  use this settings file"),
                  app::Tr("  --compare OLD NEW  show two revisions of a drawing and what changed"),
                  app::Tr("  --               every argument after it is a drawing"),
                  app::Tr("  -h, --help       print this help and exit; --version prints the "
                          "version"));
      return true;
    }
    if (a == "--version") {
      std::printf("brindle-gui %s\n", app::Version());
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredOnTheTerminal(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
  // The window is laid out in pixels at 96 dpi and is not scaled, unless
  // the user asks Qt for scaling.
  if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING") &&
      qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  // Qt takes the whole locale from the environment; numbers the program
  // computes with stay those of "C", as they are in brindle.
  std::setlocale(LC_NUMERIC, "C");
  app::gui::SpeakJapanese(application, argv[0]);
  QApplication::setApplicationName("Brindle");
  // The desktop entry's name, by which desktops match the window to its menu
  // entry and icon.
  QGuiApplication::setDesktopFileName("io.github.brindle_jww.Brindle");

  // Whatever Qt did not take for itself is a file to convert, but for
  // "--settings FILE" (as brindle has it) and "--" before names that start
  // with dashes.
  app::gui::TForm1::Options options;
  std::string settingsFile;
  QStringList compare;  // "--compare OLD NEW": two revisions on the preview page
  const QStringList args = QApplication::arguments();
  bool names = false;
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (!names && args[i] == "--") {
      names = true;
    } else if (!names && args[i] == "--compare" && i + 2 < args.size()) {
      compare = {args[i + 1], args[i + 2]};
      i += 2;
    } else if (!names && args[i] == "--settings" && i + 1 < args.size()) {
      settingsFile = QFile::encodeName(args[++i]).toStdString();
    } else if (!names && args[i].startsWith("--settings=")) {
      settingsFile = QFile::encodeName(args[i].mid(11)).toStdString();
    } else {
      options.files << args[i];
    }
  }

  // The same settings file as brindle's: named after the command line
  // program that sits in the same folder.
  namespace fs = std::filesystem;
  const std::string exe = app::ExecutablePath();
  const std::string sibling =
      exe.empty() ? std::string() : (fs::path(exe).parent_path() / "brindle").string();
  options.settingsPath = app::SettingsFilePath(sibling, settingsFile);
  options.imageFolder = app::WorkFoldersFor(options.settingsPath, app::ProgramFolder()).images;

  app::gui::TForm1 form(options);
  form.AddPreviewPage();
  if (!compare.isEmpty()) {
    form.Preview->ShowComparison(compare[0], compare[1]);
    form.PageControl1->setCurrentWidget(form.Preview);
  }
  form.show();
  return QApplication::exec();
}
