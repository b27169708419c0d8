// The command line's side of the batch driver: log lines on stdout, JSON
// records, a progress line on stderr, the folder question on the terminal
// and Ctrl-C as the stop key.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "app/driver.h"
#include "app/platform.h"
#include "app/settings.h"

namespace app::cli {

// Blocks SIGINT, SIGTERM, SIGHUP and SIGPIPE in every thread and watches
// them on a thread of its own. The first Ctrl-C asks the batch to stop after
// the file being converted (StopRequested); a second one, or any of the
// others, removes the temporary files the program owns and ends the process
// (130 for Ctrl-C, 128 + the signal number otherwise). With `gentle` false
// the first Ctrl-C already ends the process.
void InstallInterruptHandling(bool gentle);
bool InterruptRequested();

// "a\"b" -> "\"a\\\"b\"", for the JSON records.
std::string JsonString(const std::string& s);
// One line of JSON for a finished file.
std::string JsonRecord(const FileRecord& rec);

class TerminalPlatform : public Platform {
 public:
  struct Options {
    bool json = false;
    bool saveMode = false;  // --save: the mode chosen for this run is stored
    std::string settingsPath;
  };

  TerminalPlatform(const Options& options, Settings& current, const Settings& loaded)
      : options_(options), current_(current), loaded_(loaded) {}

  std::string DesktopFolder() override;
  std::string DocumentsFolder() override;
  FolderAnswer AskFolder(const std::string& start) override;
  void MessageBox(const std::string& text) override;
  bool StopRequested() override;
  void Log(const std::string& line) override;
  void ClearLog() override;
  void SaveSettings() override;
  void FileDone(const FileRecord& record) override;

  // `progress`: show "[done/files]" on stderr while the batch runs.
  void SetBatchSize(size_t files, bool progress) {
    files_ = files;
    progress_ = progress;
  }
  // Ends the progress line, if one is shown.
  void FinishProgress();

 private:
  void ClearProgress();
  void DrawProgress();

  Options options_;
  Settings& current_;
  Settings loaded_;
  size_t files_ = 0;
  bool progress_ = false;
  size_t done_ = 0;
  bool progressShown_ = false;
};

}  // namespace app::cli
