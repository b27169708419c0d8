// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/driver.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "app/i18n.h"
#include "app/xdg.h"
#include "app/sfc_source.h"
#include "util/path.h"

namespace app {
namespace fs = std::filesystem;

std::string MissingFolderMessage(const std::string& folder) {
  return std::string(kMissingFolder) + folder;
}

std::string NoFolderChosenMessage() {
  return Tr(
      "No output folder is chosen: type one into the box of 指定フォルダ, or choose one "
      "with 参照.");
}

namespace {
bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && fs::equivalent(a, b, ec);
}
}  // namespace

std::string AskStartFolder(const std::string& last, const std::string& desktop,
                           const std::string& programFolder, bool portable) {
  std::error_code ec;
  auto isFolder = [&](const std::string& f) { return !f.empty() && fs::is_directory(f, ec); };
  const bool programs =
      isFolder(last) && isFolder(programFolder) && fs::equivalent(last, programFolder, ec);
  if (isFolder(last) && (portable || !programs)) return util::AddPathDelim(last);
  if (isFolder(desktop)) return util::AddPathDelim(desktop);
  const fs::path here = fs::current_path(ec);
  return ec ? std::string() : util::AddPathDelim(here.string());
}

std::string SkipReason(const std::string& fn) {
  std::error_code ec;
  const fs::file_status st = fn.empty() ? fs::file_status() : fs::status(fn, ec);
  if (fn.empty() || !fs::exists(st)) return Tr("no such file");
  if (fs::is_directory(st)) return Tr("is a folder, not a drawing");
  if (util::LowerFileExt(fn) != ".jww") return Tr("not a .jww file");
  if (!fs::is_regular_file(st)) return Tr("not a regular file");
  return {};
}

std::string MissingStandardFolderMessage(const std::string& folder) {
  return TrFormat("The output folder {} does not exist. Nothing was converted.", {folder});
}

// The desktop or documents folder of a new account or a server may not
// exist: said once for the batch instead of failing every file.
bool BatchDriver::StandardFolder(const std::string& resolved, std::string& folder) {
  std::error_code ec;
  if (resolved.empty() || !fs::is_directory(resolved, ec)) {
    platform_.MessageBox(MissingStandardFolderMessage(resolved));
    return false;
  }
  folder = util::AddPathDelim(resolved);
  return true;
}

void BatchDriver::ClearFList() {
  FList.clear();
  FListN = 0;
}

bool BatchDriver::PickupFile(const std::string& fn) {
  if (fn.empty() || (util::LowerFileExt(fn) != ".jww" && !IsSfcFile(fn)) ||
      !util::FileExistsCheck(fn))
    return false;
  FList.push_back(fn);
  FListN = static_cast<int>(FList.size());
  return true;
}

bool BatchDriver::ResolveOutputFolder(std::string& folder) {
  switch (settings_.Mode()) {
    case OutputMode::kDesktop:
      return StandardFolder(platform_.DesktopFolder(), folder);
    case OutputMode::kDocuments:
      return StandardFolder(platform_.DocumentsFolder(), folder);
    case OutputMode::kBeside:
      folder.clear();
      return true;
    case OutputMode::kFixed: {
      // An empty folder text would name the root of the file system; that is
      // never the folder a user meant, so it counts as not found.
      std::error_code ec;
      if (settings_.EditFl1.empty()) {
        platform_.MessageBox(NoFolderChosenMessage());
        return false;
      }
      if (!fs::is_directory(settings_.EditFl1, ec) && !fixedFolderWillBeMade_) {
        platform_.MessageBox(MissingFolderMessage(settings_.EditFl1));
        return false;
      }
      folder = util::AddPathDelim(settings_.EditFl1);
      return true;
    }
    case OutputMode::kAsk: {
      // Outside a portable install the settings start from the home folder,
      // so a "last time" there was never chosen either.
      const bool portable = PortableInstall();
      const std::string& last =
          !portable && SameFolder(settings_.LabelPreFolder, HomeFolder()) ? std::string()
                                                                          : settings_.LabelPreFolder;
      const std::string start =
          AskStartFolder(last, platform_.DesktopFolder(), ProgramFolder(), portable);
      FolderAnswer answer = platform_.AskFolder(start);
      if (answer.kind == FolderAnswer::Kind::kUnavailable) return false;
      // Not answered (Enter at the terminal, the browser cancelled): the
      // folder offered.
      const std::string& chosen =
          answer.kind == FolderAnswer::Kind::kChosen ? answer.folder : start;
      if (!chosen.empty()) settings_.LabelPreFolder = util::AddPathDelim(chosen);
      folder = settings_.LabelPreFolder;
      return true;
    }
  }
  return false;
}

std::string BatchDriver::WantedTarget(const std::string& src, const std::string& folder) const {
  if (job_.target) return job_.target(src, settings_.Mode() == OutputMode::kBeside ? "" : folder);
  const std::string name =
      settings_.Mode() == OutputMode::kBeside ? src : folder + util::FileNameOnly(src);
  // An SFC drawing becomes FILE.jww.
  return IsSfcFile(src) ? SfcTargetName(name) : name;
}

FileRecord BatchDriver::ConvertOne(size_t index, const std::string& folder) const {
  FileRecord rec;
  rec.index = index;
  rec.source = FList[index];
  std::string wanted = WantedTarget(rec.source, folder);
  rec.result = job_.run ? job_.run(rec.source, wanted) : ConvertFile(rec.source, wanted, options_);
  if (!rec.result.output.empty()) {
    rec.target = rec.result.output;
  } else if (job_.run) {
    rec.target = wanted;
  } else {
    // Nothing was written: show the name the file would have had.
    std::optional<std::string> free = util::MakeBranchFileName(wanted);
    rec.target = free ? *free : wanted;
  }
  return rec;
}

void BatchDriver::Emit(const FileRecord& rec, BatchOutcome& outcome) {
  platform_.Log(rec.source);
  platform_.Log(kLogArrow + rec.target);
  for (const std::string& w : rec.result.warnings) platform_.Log(kLogWarningPrefix + w);
  // (An SFC source is not written again: it becomes a drawing, layers as it says.)
  if (noteNoFigures_ && rec.result.ok && rec.result.figures == 0 && !options_.allBlocks &&
      !IsSfcFile(rec.source))
    platform_.Log(
        kLogWarningPrefix +
        std::string(Tr("no SXF figure found: written again with the layer states reset")));
  platform_.Log(std::string(kLogResultPrefix) + (rec.result.ok ? kLogDone : kLogFailed));
  if (logFailureReasons_ && !rec.result.ok && !rec.result.error.empty())
    platform_.Log(kLogWarningPrefix + rec.result.error);
  if (rec.result.ok)
    ++outcome.converted;
  else
    ++outcome.failed;
  platform_.FileDone(rec);
}

bool BatchDriver::RunSequential(const std::string& folder, BatchOutcome& outcome) {
  for (size_t i = 0; i < FList.size(); ++i) {
    if (platform_.StopRequested()) return true;
    Emit(ConvertOne(i, folder), outcome);
  }
  return false;
}

// Workers take the files in order; the log is written by this thread in the
// same order, each file as soon as it and all before it are done. A stop
// request keeps workers from taking further files; files already taken are
// finished and logged.
bool BatchDriver::RunParallel(const std::string& folder, BatchOutcome& outcome) {
  const size_t n = FList.size();
  std::vector<std::optional<FileRecord>> done(n);
  std::mutex m;
  std::condition_variable cv;
  size_t next = 0;
  bool stopped = false;
  int running = 0;

  auto worker = [&] {
    for (;;) {
      size_t idx;
      {
        std::lock_guard lock(m);
        if (stopped || next >= n) break;
        if (platform_.StopRequested()) {
          stopped = true;
          break;
        }
        idx = next++;
      }
      FileRecord rec = ConvertOne(idx, folder);
      {
        std::lock_guard lock(m);
        done[idx] = std::move(rec);
      }
      cv.notify_all();
    }
    {
      std::lock_guard lock(m);
      --running;
    }
    cv.notify_all();
  };

  std::vector<std::thread> threads;
  const size_t workers = std::min(n, static_cast<size_t>(jobs_));
  for (size_t w = 0; w < workers; ++w) {
    {
      std::lock_guard lock(m);
      ++running;
    }
    try {
      threads.emplace_back(worker);
    } catch (const std::system_error&) {
      std::lock_guard lock(m);
      --running;
      break;  // go on with the workers there are
    }
  }
  if (threads.empty()) return RunSequential(folder, outcome);

  for (size_t i = 0; i < n; ++i) {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done[i].has_value() || running == 0; });
    if (!done[i]) break;  // never taken: the batch was stopped before it
    FileRecord rec = std::move(*done[i]);
    done[i].reset();
    lock.unlock();
    Emit(rec, outcome);
  }
  for (std::thread& t : threads) t.join();
  return stopped;
}

BatchStatus BatchDriver::PlanProc(std::vector<FileRecord>& planned, bool fixedFolderWillBeMade) {
  planned.clear();
  if (FListN == 0 || FList.empty()) return BatchStatus::kNoFiles;
  std::string folder;
  fixedFolderWillBeMade_ = fixedFolderWillBeMade;
  const bool resolved = ResolveOutputFolder(folder);
  fixedFolderWillBeMade_ = false;
  if (!resolved) return BatchStatus::kNotStarted;
  for (size_t i = 0; i < FList.size(); ++i) {
    FileRecord rec;
    rec.index = i;
    rec.source = FList[i];
    const std::string wanted = WantedTarget(rec.source, folder);
    std::optional<std::string> free = util::MakeBranchFileName(wanted);
    rec.target = free && !job_.run ? *free : wanted;
    planned.push_back(std::move(rec));
  }
  return BatchStatus::kCompleted;
}

BatchOutcome BatchDriver::RunProc() {
  BatchOutcome outcome;
  if (FListN == 0 || FList.empty()) return outcome;
  std::string folder;
  if (!ResolveOutputFolder(folder)) {
    outcome.status = BatchStatus::kNotStarted;
    return outcome;
  }
  platform_.SaveSettings();
  platform_.ClearLog();

  bool stopped =
      jobs_ > 1 && FList.size() > 1 ? RunParallel(folder, outcome) : RunSequential(folder, outcome);
  if (stopped) platform_.Log(kLogStopped);
  outcome.status = stopped ? BatchStatus::kStopped : BatchStatus::kCompleted;
  platform_.ShowLogPage();
  return outcome;
}

}  // namespace app
