// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/headless_qt.h"

#include <cstdlib>
#include <iostream>

namespace app::cli {
namespace {

// Fonts need a GUI application; without a display the offscreen platform
// serves, which is all a picture needs.
void ChooseQtPlatform() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Qt's own remarks are for developers: a user on a server would otherwise
// read about a runtime folder that a picture never needs. Warnings that
// concern the picture still reach stderr.
void QtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  if (text.startsWith(QStringLiteral("QStandardPaths:"))) return;
  std::cerr << "brindle: " << text.toStdString() << "\n";
}

}  // namespace

HeadlessQt::HeadlessQt(char* argv0) : argv_{argv0, nullptr} {
  ChooseQtPlatform();
  qInstallMessageHandler(QtMessage);
  app_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

HeadlessQt::~HeadlessQt() = default;

}  // namespace app::cli
