// SPDX-License-Identifier: GPL-3.0-or-later
// The batch driver: collects the drawings offered by a front end, resolves
// the output folder once per batch, converts the files (one after the other
// or with several workers) and writes three log lines per file, in the
// order the files were offered.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/convert.h"
#include "app/platform.h"
#include "app/settings.h"

namespace app {

// Log texts, exactly as the user sees them.
inline constexpr const char* kLogDone = "変換完了";
inline constexpr const char* kLogFailed = "変換失敗";
inline constexpr const char* kLogArrow = "→ ";
inline constexpr const char* kLogResultPrefix = "　…… ";  // U+3000, two U+2026, space
inline constexpr const char* kLogStopped = "[ESC]を押しましたので中断します。";
inline constexpr const char* kLogWarningPrefix = "　※ ";
inline constexpr const char* kMissingFolder = "指定したフォルダが見つかりません。\r\n";

// What became of one offered file.
struct FileRecord {
  size_t index = 0;  // position in the batch
  std::string source;
  std::string target;  // the name shown after "→ "
  ConvertResult result;
};

enum class BatchStatus {
  kNoFiles,     // nothing to convert: nothing saved, log untouched
  kNotStarted,  // the output folder could not be resolved
  kCompleted,   // every file was tried
  kStopped,     // a stop request ended the batch early
};

struct BatchOutcome {
  BatchStatus status = BatchStatus::kNoFiles;
  int converted = 0;
  int failed = 0;
};

// What a batch does with each file, when it is not the conversion (brindle
// export): `run` turns `src` into the file `wanted` and says how it went;
// `target` names the output of `src` in the output folder (`folder` is empty
// in the beside-the-source mode).
struct FileJob {
  std::function<ConvertResult(const std::string& src, const std::string& wanted)> run;
  std::function<std::string(const std::string& src, const std::string& folder)> target;
};

class BatchDriver {
 public:
  BatchDriver(Platform& platform, Settings& settings) : platform_(platform), settings_(settings) {}

  void SetJobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  void SetConvertOptions(const ConvertOptions& options) { options_ = options; }
  const ConvertOptions& convertOptions() const { return options_; }
  // Adds a log line to each conversion that found no SXF figure (it still
  // writes a new drawing, with the layer states reset).
  void SetNoteNoFigures(bool note) { noteNoFigures_ = note; }
  // Adds the reason of each failed file as a log line below its result
  // (the window's log; the command line says it on stderr).
  void SetLogFailureReasons(bool log) { logFailureReasons_ = log; }
  // Runs `job` on each file instead of the conversion; a file that failed is
  // shown under the name it was to have (no branch name is looked for).
  void SetFileJob(FileJob job) { job_ = std::move(job); }

  // The pending batch, in the order the names were offered.
  std::vector<std::string> FList;
  int FListN = 0;
  // Empties the pending batch (each road into a batch starts with it).
  void ClearFList();

  // Keeps `fn` when it names an existing file (not a folder) with the
  // extension ".jww" in any letter case; returns whether it was kept.
  bool PickupFile(const std::string& fn);

  // Runs the pending batch.
  BatchOutcome RunProc();

  // The batch as RunProc would run it, writing nothing: the output folder is
  // resolved (the question of mode 5 is asked) but no settings are saved,
  // and `planned` gets each file's source and the name its output would
  // have now. kNotStarted when the folder could not be resolved.
  // `fixedFolderWillBeMade`: a missing fixed folder is one the front end
  // makes before the batch (the command line's -o DIR).
  BatchStatus PlanProc(std::vector<FileRecord>& planned, bool fixedFolderWillBeMade = false);

 private:
  // The output folder with its separator; empty in the beside-the-source
  // mode; nullopt when no batch may run.
  bool ResolveOutputFolder(std::string& folder);
  bool StandardFolder(const std::string& resolved, std::string& folder);
  std::string WantedTarget(const std::string& src, const std::string& folder) const;
  FileRecord ConvertOne(size_t index, const std::string& folder) const;
  void Emit(const FileRecord& record, BatchOutcome& outcome);
  bool RunSequential(const std::string& folder, BatchOutcome& outcome);
  bool RunParallel(const std::string& folder, BatchOutcome& outcome);

  Platform& platform_;
  Settings& settings_;
  ConvertOptions options_;
  int jobs_ = 1;
  bool noteNoFigures_ = false;
  bool logFailureReasons_ = false;
  bool fixedFolderWillBeMade_ = false;
  FileJob job_;
};

// Text of the message shown when the fixed folder does not exist.
std::string MissingFolderMessage(const std::string& folder);
// Text of the message shown when the fixed folder's text is empty.
std::string NoFolderChosenMessage();
// The folder the question of mode 5 offers: the one chosen last time, else
// the desktop, else the current folder, each with its separator and only
// when it exists. The program's own folder (the settings' default, and after
// an install a folder of programs) is offered only by a portable install.
std::string AskStartFolder(const std::string& last, const std::string& desktop,
                           const std::string& programFolder, bool portable);

// Why PickupFile would not keep `fn` (in the user's language); empty when
// it would.
std::string SkipReason(const std::string& fn);
// Text of the message shown when the desktop or documents folder of modes 1
// and 2 does not exist.
std::string MissingStandardFolderMessage(const std::string& folder);

}  // namespace app
