// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's side of the batch driver: log lines on stdout, JSON
// records, a progress line and the batch's summary on stderr, the folder
// question on the terminal and Ctrl-C as the stop key.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

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

// The "result" of a JSON record: stable ASCII codes that scripts compare
// (never rename one); the log line's own words go under "log".
inline constexpr const char* kResultConverted = "converted";
inline constexpr const char* kResultFailed = "failed";
inline constexpr const char* kResultSkipped = "skipped";
inline constexpr const char* kResultNotConverted = "not-converted";
inline constexpr const char* kResultDryRun = "dry-run";
// brindle export's own codes.
inline constexpr const char* kResultExported = "exported";
inline constexpr const char* kResultNotExported = "not-exported";

// One JSON object (one line, valid UTF-8) for a finished file, a file given
// but not taken into the batch, and a file of the batch that a stop left
// unconverted.
// `exported`: the record of brindle export, which speaks of entities and
// pictures written instead of figures and copies.
std::string JsonRecord(const FileRecord& rec, bool exported = false);
std::string JsonSkipped(const std::string& name, const std::string& reason, bool refused = true);
std::string JsonNotConverted(const std::string& name, bool exported = false);

// An argument that did not become part of the batch.
struct SkippedInput {
  size_t position = 0;  // among the arguments
  std::string name;
  std::string reason;  // in the user's language
  // A file given twice is a notice (it is converted once), not a refusal.
  bool refused = true;
};

class TerminalPlatform : public Platform {
 public:
  struct Options {
    bool json = false;
    bool quiet = false;      // only failed files are logged
    bool saveMode = false;   // --save: the mode chosen for this run is stored
    bool dryRun = false;     // nothing is written, settings included
    bool exporting = false;  // the batch exports DXF files: its summary says so
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

  // The arguments' positions of the batch's files (FList order) and the
  // arguments that were skipped, for the JSON records in argument order.
  void SetInputs(std::vector<std::string> batch, std::vector<size_t> batchPositions,
                 std::vector<SkippedInput> skipped);
  // `progress`: show "[done/files]" on stderr while the batch runs.
  void SetProgress(bool progress) { progress_ = progress; }
  // After the batch: the JSON records still owed (skipped arguments, files
  // a stop left unconverted) and, unless quiet, the summary line.
  void FinishBatch();

  int Converted() const { return converted_; }
  int Failed() const { return failed_; }
  // The settings file could not be written (a full disk): the run fails.
  bool SettingsFailed() const { return settingsFailed_; }

 private:
  void ClearProgress();
  void DrawProgress();
  void EmitSkippedBefore(size_t position);

  Options options_;
  Settings& current_;
  Settings loaded_;
  std::vector<std::string> batch_;
  std::vector<size_t> positions_;
  std::vector<SkippedInput> skipped_;
  size_t nextSkipped_ = 0;
  std::vector<std::string> pending_;  // log lines of the file in hand
  bool progress_ = false;
  size_t done_ = 0;
  bool progressShown_ = false;
  int converted_ = 0, failed_ = 0, figures_ = 0, blocks_ = 0, copies_ = 0;
  int64_t entities_ = 0, pictures_ = 0;
  bool settingsFailed_ = false;
};

}  // namespace app::cli
