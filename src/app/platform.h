// SPDX-License-Identifier: GPL-3.0-or-later
// What the batch driver needs from the system around it. The command line,
// the window and the tests each supply their own.
#pragma once

#include <string>

namespace app {

struct FileRecord;  // driver.h

// The answer of the folder question of mode 5.
struct FolderAnswer {
  enum class Kind {
    kChosen,      // `folder` is the folder picked
    kCancelled,   // asked, but nothing picked: the previous folder applies
    kUnavailable  // the question could not be asked at all: no batch
  };
  Kind kind = Kind::kUnavailable;
  std::string folder;
};

class Platform {
 public:
  virtual ~Platform() = default;

  virtual std::string DesktopFolder() = 0;
  virtual std::string DocumentsFolder() = 0;
  // Mode 5: ask for the output folder, starting in `start`.
  virtual FolderAnswer AskFolder(const std::string& start) = 0;
  virtual void MessageBox(const std::string& text) = 0;
  // Polled before each file; true stops the batch there.
  virtual bool StopRequested() = 0;
  // One call per log line (UTF-8, no line end).
  virtual void Log(const std::string& line) = 0;
  virtual void ClearLog() {}
  virtual void ShowLogPage() {}
  // Called once per batch, after the folder is resolved and before the
  // first file, so that the choices in force for the batch persist.
  virtual void SaveSettings() {}
  // Called for every file in input order, after its log lines.
  virtual void FileDone(const FileRecord& /*record*/) {}
};

}  // namespace app
