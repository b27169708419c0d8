// SPDX-License-Identifier: GPL-3.0-or-later
// The window speaks Japanese in every locale: its own messages through the
// catalogue, and Qt's dialogs (file and folder choosers, message boxes)
// through Qt's own Japanese translations.
#pragma once

class QCoreApplication;

namespace app::gui {

// Binds the Japanese catalogue and installs Qt's Japanese translators into
// `application`. Returns whether Qt's translations were found (Debian's
// qt6-translations-l10n); without them Qt's dialogs stay English.
bool SpeakJapanese(QCoreApplication& application, const char* argv0);

}  // namespace app::gui
