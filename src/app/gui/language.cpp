// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "app/i18n.h"

namespace app::gui {

bool SpeakJapanese(QCoreApplication& application, const char* argv0) {
  InitMessages(argv0, "ja");
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // qtbase carries the dialogs' texts; the application owns the translator.
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"), folder)) return false;
  translator->setParent(&application);
  QCoreApplication::installTranslator(translator.release());
  return true;
}

}  // namespace app::gui
