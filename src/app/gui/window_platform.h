// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the batch driver. The batch runs on a worker thread;
// log lines reach the window as queued signals, in the order they were
// written, and the questions and the per-file report run on the window's
// thread while the worker waits for them.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <string>

#include "app/driver.h"
#include "app/platform.h"
#include "app/settings.h"

namespace app::gui {

class WindowPlatform : public QObject, public Platform {
  Q_OBJECT

 public:
  // Each runs on the thread of the `ui` object.
  struct Hooks {
    std::function<FolderAnswer(const std::string& start)> askFolder;
    std::function<void(const std::string& text)> message;
    std::function<void(const FileRecord& record)> fileDone;
  };

  WindowPlatform(QObject* ui, Hooks hooks) : ui_(ui), hooks_(std::move(hooks)) {}

  // The settings a batch saves when it starts, and where.
  void SetSettings(const Settings* settings, std::string path) {
    settings_ = settings;
    settingsPath_ = std::move(path);
  }
  void RequestStop() { stop_ = true; }
  void ResetStop() { stop_ = false; }
  bool SettingsSaved() const { return saved_; }

  std::string DesktopFolder() override;
  std::string DocumentsFolder() override;
  FolderAnswer AskFolder(const std::string& start) override;
  void MessageBox(const std::string& text) override;
  bool StopRequested() override { return stop_; }
  void Log(const std::string& line) override { emit logLine(QString::fromStdString(line)); }
  void ClearLog() override { emit logCleared(); }
  void ShowLogPage() override { emit logPageWanted(); }
  void SaveSettings() override;
  void FileDone(const FileRecord& record) override;

 signals:
  void logLine(const QString& line);
  void logCleared();
  void logPageWanted();

 private:
  // Runs `f` on the window's thread and waits for it.
  void OnUi(const std::function<void()>& f);

  QObject* ui_;
  Hooks hooks_;
  const Settings* settings_ = nullptr;
  std::string settingsPath_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> saved_{false};
};

}  // namespace app::gui
