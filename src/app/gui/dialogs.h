// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs the window opens. The window asks through this interface so
// that tests can answer in place of a user and never block on a modal box.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace app::gui {

struct OpenFilesAnswer {
  bool accepted = false;
  QStringList files;    // full paths, in the dialog's order
  int filterIndex = 1;  // 1-based, as the settings keep it
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Several existing files; `filterIndex` (1-based) selects the filter shown.
  virtual OpenFilesAnswer OpenFiles(QWidget* parent, const QString& title, const QString& folder,
                                    const QStringList& filters, int filterIndex) = 0;
  // A folder, or nullopt when the user cancelled.
  virtual std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                              const QString& start) = 0;
  virtual void Message(QWidget* parent, const QString& text) = 0;
};

// The toolkit's own dialogs.
class QtDialogs : public Dialogs {
 public:
  OpenFilesAnswer OpenFiles(QWidget* parent, const QString& title, const QString& folder,
                            const QStringList& filters, int filterIndex) override;
  std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                      const QString& start) override;
  void Message(QWidget* parent, const QString& text) override;
};

}  // namespace app::gui
