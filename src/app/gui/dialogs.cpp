// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace app::gui {

OpenFilesAnswer QtDialogs::OpenFiles(QWidget* parent, const QString& title, const QString& folder,
                                     const QStringList& filters, int filterIndex) {
  QFileDialog dialog(parent, title, folder);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size())
    dialog.selectNameFilter(filters[filterIndex - 1]);
  OpenFilesAnswer answer;
  if (dialog.exec() != QDialog::Accepted) return answer;
  answer.accepted = true;
  answer.files = dialog.selectedFiles();
  const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
  answer.filterIndex = chosen < 0 ? 1 : static_cast<int>(chosen) + 1;
  return answer;
}

std::optional<QString> QtDialogs::BrowseFolder(QWidget* parent, const QString& caption,
                                               const QString& start) {
  QString dir = QFileDialog::getExistingDirectory(parent, caption, start);
  if (dir.isEmpty()) return std::nullopt;
  return dir;
}

void QtDialogs::Message(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationName(), text);
}

}  // namespace app::gui
