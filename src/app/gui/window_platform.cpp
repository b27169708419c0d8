// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/window_platform.h"

#include <QMetaObject>
#include <QThread>

#include "app/xdg.h"

namespace app::gui {

void WindowPlatform::OnUi(const std::function<void()>& f) {
  if (!f) return;
  if (QThread::currentThread() == ui_->thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(ui_, f, Qt::BlockingQueuedConnection);
}

std::string WindowPlatform::DesktopFolder() { return app::DesktopFolder(); }
std::string WindowPlatform::DocumentsFolder() { return app::DocumentsFolder(); }

FolderAnswer WindowPlatform::AskFolder(const std::string& start) {
  FolderAnswer answer;
  if (hooks_.askFolder) OnUi([&] { answer = hooks_.askFolder(start); });
  return answer;
}

void WindowPlatform::MessageBox(const std::string& text) {
  if (hooks_.message) OnUi([&] { hooks_.message(text); });
}

void WindowPlatform::SaveSettings() {
  // Like the settings file's own rule, a failed save leaves the old file and
  // the batch goes on: the conversion matters more than the remembered choice.
  saved_ = settings_ != nullptr && SaveDatFile(*settings_, settingsPath_);
}

void WindowPlatform::FileDone(const FileRecord& record) {
  // Waiting here keeps the worker from polling the stop request before the
  // window has seen this file's lines and any Escape pressed meanwhile.
  if (hooks_.fileDone) OnUi([&] { hooks_.fileDone(record); });
}

}  // namespace app::gui
