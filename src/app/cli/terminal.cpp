// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/terminal.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/cli/json.h"
#include "app/cli/output.h"
#include "app/convert.h"
#include "app/i18n.h"
#include "app/xdg.h"
#include "util/path.h"

namespace app::cli {
namespace {

std::atomic<bool> g_stopRequested{false};
// The folder question is on the terminal: Ctrl-C ends it at once.
std::atomic<bool> g_asking{false};

void WriteStderr(const char* text) {
  size_t len = 0;
  while (text[len]) ++len;
  ssize_t ignored = ::write(STDERR_FILENO, text, len);
  (void)ignored;
}

[[noreturn]] void HardStop(int sig) {
  TempRegistry::RemoveAll();
  std::fflush(stdout);
  ::_exit(sig == SIGINT ? 130 : 128 + sig);
}

void WatchSignals(sigset_t set, bool gentle, std::string stopping) {
  for (;;) {
    int sig = 0;
    if (::sigwait(&set, &sig) != 0) continue;
    if (sig == SIGINT && gentle && !g_stopRequested.exchange(true)) {
      WriteStderr(g_asking ? "\n" : stopping.c_str());
      continue;
    }
    HardStop(sig);
  }
}

std::string ExpandTilde(const std::string& path) {
  if (path == "~") return HomeFolder();
  if (path.rfind("~/", 0) == 0) return HomeFolder() + path.substr(1);
  return path;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

// Waits for a line on standard input; false at its end or on Ctrl-C. Reads
// the descriptor itself, so that no line waits in a stream's buffer while
// poll() waits for more.
bool ReadAnswer(std::string& line) {
  static std::string buffered;
  for (;;) {
    if (size_t nl = buffered.find('\n'); nl != std::string::npos) {
      line = buffered.substr(0, nl);
      buffered.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (InterruptRequested()) return false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int ready = ::poll(&p, 1, 50);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char chunk[512];
    ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffered.append(chunk, static_cast<size_t>(n));
  }
}

}  // namespace

void InstallInterruptHandling(bool gentle) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  // A closed output pipe ends the program like a hard stop, so that its
  // temporary files go with it.
  sigaddset(&set, SIGPIPE);
  // Blocked before any worker starts, so every thread inherits the mask and
  // only the watcher ever sees these signals.
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::string stopping =
      "\nbrindle: " +
      std::string(Tr("stopping after the current file (Ctrl-C again to stop now)")) + "\n";
  std::thread(WatchSignals, set, gentle, std::move(stopping)).detach();
}

bool InterruptRequested() { return g_stopRequested.load(); }

std::string JsonRecord(const FileRecord& rec, bool exported) {
  const ConvertResult& r = rec.result;
  Json j;
  PutName(j, "source", rec.source);
  if (r.output.empty())
    j["output"] = nullptr;
  else
    PutName(j, "output", r.output);
  // Scripts compare the ASCII code; the log line's words stand beside it.
  j["result"] = r.ok ? (exported ? kResultExported : kResultConverted) : kResultFailed;
  j["log"] = r.ok ? kLogDone : kLogFailed;
  j["ok"] = r.ok;
  if (exported) {
    j["entities"] = r.entitiesWritten;
    j["blocks"] = r.blocks;
    j["pictures"] = r.picturesWritten;
  } else {
    j["figures"] = r.figures;
    j["blocks"] = r.blocks;
    j["copies"] = r.copies;
    j["entitiesWritten"] = r.entitiesWritten;
  }
  j["warnings"] = r.warnings;
  if (!r.error.empty()) j["error"] = r.error;
  j["milliseconds"] = static_cast<double>(static_cast<long long>(r.milliseconds * 1000)) / 1000;
  return Dump(j);
}

std::string JsonSkipped(const std::string& name, const std::string& reason, bool refused) {
  Json j;
  PutName(j, "source", name);
  j["output"] = nullptr;
  j["result"] = kResultSkipped;
  // A file given twice is converted once: its second mention fails nothing.
  j["ok"] = !refused;
  j["reason"] = reason;
  return Dump(j);
}

std::string JsonNotConverted(const std::string& name, bool exported) {
  Json j;
  PutName(j, "source", name);
  j["output"] = nullptr;
  j["result"] = exported ? kResultNotExported : kResultNotConverted;
  j["ok"] = false;
  j["reason"] = Tr("the batch was stopped before this file");
  return Dump(j);
}

std::string TerminalPlatform::DesktopFolder() { return app::DesktopFolder(); }
std::string TerminalPlatform::DocumentsFolder() { return app::DocumentsFolder(); }

FolderAnswer TerminalPlatform::AskFolder(const std::string& start) {
  // A remembered folder that has gone away is not offered again.
  const bool offer = IsFolder(start);
  g_asking = true;
  for (;;) {
    std::cerr << Tr("Folder to save the converted files in");
    if (offer) std::cerr << " [" << start << "]";
    std::cerr << ": " << std::flush;
    std::string line;
    if (!ReadAnswer(line)) {
      g_asking = false;
      if (!InterruptRequested())
        std::cerr << "\n"
                  << "brindle: " << Tr("no folder was given") << "\n";
      return {FolderAnswer::Kind::kUnavailable, {}};
    }
    if (line.empty() && offer) {
      g_asking = false;
      return {FolderAnswer::Kind::kCancelled, {}};
    }
    const std::string folder = ExpandTilde(line);
    if (IsFolder(folder)) {
      g_asking = false;
      return {FolderAnswer::Kind::kChosen, folder};
    }
    Error(line.empty() ? std::string(Tr("a folder is needed"))
                       : TrFormat("{}: no such folder", {folder}));
  }
}

void TerminalPlatform::MessageBox(const std::string& text) {
  std::string t = text;
  for (size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
  ClearProgress();
  std::cerr << t << "\n";
  // A missing desktop or documents folder (a server, a new account): the
  // command line has its own ways out.
  const OutputMode mode = current_.Mode();
  if ((mode == OutputMode::kDesktop && text == MissingStandardFolderMessage(DesktopFolder())) ||
      (mode == OutputMode::kDocuments && text == MissingStandardFolderMessage(DocumentsFolder())))
    std::cerr << Tr("Choose a folder with -o DIR (it is made when missing), or write beside "
                    "each drawing with --beside.")
              << "\n";
  std::cerr << std::flush;
}

bool TerminalPlatform::StopRequested() { return InterruptRequested(); }

void TerminalPlatform::Log(const std::string& line) {
  if (line == kLogStopped) {
    // Not a file's line: shown at once, on stderr beside the JSON records.
    ClearProgress();
    if (options_.json)
      std::cerr << line << "\n";
    else
      WriteOutLine(line);
    // The log line speaks of Escape, as the window's does; at a terminal the
    // key was Ctrl-C, and the user learns what became of the rest.
    FlushOut();
    const size_t left = batch_.size() - std::min(done_, batch_.size());
    std::cerr << "brindle: "
              << (options_.exporting
                      ? TrFormat("Ctrl-C was pressed: {} of {} files were left unexported",
                                 {std::to_string(left), std::to_string(batch_.size())})
                      : TrFormat("Ctrl-C was pressed: {} of {} files were left unconverted",
                                 {std::to_string(left), std::to_string(batch_.size())}))
              << "\n"
              << std::flush;
    return;
  }
  if (!options_.json) pending_.push_back(line);
}

void TerminalPlatform::ClearLog() {
  if (progress_) DrawProgress();
}

void TerminalPlatform::SaveSettings() {
  if (options_.dryRun) return;
  Settings toSave;
  if (options_.saveMode) {
    toSave = current_;
  } else if (current_.LabelPreFolder != loaded_.LabelPreFolder) {
    // Remember the folder the user was asked for, but not the mode chosen
    // for this run only.
    toSave = loaded_;
    toSave.LabelPreFolder = current_.LabelPreFolder;
  } else {
    return;
  }
  std::string why;
  if (SaveDatFile(toSave, options_.settingsPath, &why)) return;
  settingsFailed_ = true;
  Error(TrFormat("the settings could not be saved to {}: {}", {options_.settingsPath, why}));
}

void TerminalPlatform::SetInputs(std::vector<std::string> batch, std::vector<size_t> positions,
                                 std::vector<SkippedInput> skipped) {
  batch_ = std::move(batch);
  positions_ = std::move(positions);
  skipped_ = std::move(skipped);
  nextSkipped_ = 0;
}

void TerminalPlatform::EmitSkippedBefore(size_t position) {
  for (; nextSkipped_ < skipped_.size() && skipped_[nextSkipped_].position < position;
       ++nextSkipped_) {
    if (options_.json)
      WriteOutLine(JsonSkipped(skipped_[nextSkipped_].name, skipped_[nextSkipped_].reason,
                               skipped_[nextSkipped_].refused));
  }
}

void TerminalPlatform::FileDone(const FileRecord& rec) {
  ClearProgress();
  if (rec.index < positions_.size()) EmitSkippedBefore(positions_[rec.index]);
  if (options_.json) WriteOutLine(JsonRecord(rec, options_.exporting));
  if (!options_.quiet || !rec.result.ok)
    for (const std::string& line : pending_) WriteOutLine(line);
  pending_.clear();
  FlushOut();
  if (rec.result.ok) {
    ++converted_;
    figures_ += rec.result.figures;
    blocks_ += rec.result.blocks;
    copies_ += rec.result.copies;
    entities_ += rec.result.entitiesWritten;
    pictures_ += rec.result.picturesWritten;
  } else {
    ++failed_;
    Error(rec.source + ": " + rec.result.error);
  }
  ++done_;
  if (progress_) DrawProgress();
}

void TerminalPlatform::FinishBatch() {
  ClearProgress();
  if (options_.json) {
    // Files of the batch a stop left unconverted, then the skipped rest,
    // all in argument order.
    for (size_t i = done_; i < batch_.size(); ++i) {
      if (i < positions_.size()) EmitSkippedBefore(positions_[i]);
      WriteOutLine(JsonNotConverted(batch_[i], options_.exporting));
    }
    EmitSkippedBefore(static_cast<size_t>(-1));
  }
  FlushOut();
  if (options_.quiet || options_.dryRun) return;
  const int notConverted = static_cast<int>(batch_.size() - std::min(done_, batch_.size()));
  const std::string skipped = std::to_string(skipped_.size() + notConverted);
  if (options_.exporting) {
    const std::string summary =
        TrFormat("{} exported, {} failed, {} skipped; {} entities and {} pictures written",
                 {std::to_string(converted_), std::to_string(failed_), skipped,
                  std::to_string(entities_), std::to_string(pictures_)});
    std::cerr << "brindle: " << summary << "\n" << std::flush;
    return;
  }
  std::string summary =
      blocks_ == 0
          ? TrFormat("{} converted, {} failed, {} skipped; {} figures exploded into {} copies",
                     {std::to_string(converted_), std::to_string(failed_), skipped,
                      std::to_string(figures_), std::to_string(copies_)})
          : TrFormat(
                "{} converted, {} failed, {} skipped; {} figures and {} other blocks "
                "exploded into {} copies",
                {std::to_string(converted_), std::to_string(failed_), skipped,
                 std::to_string(figures_), std::to_string(blocks_), std::to_string(copies_)});
  std::cerr << "brindle: " << summary << "\n" << std::flush;
}

void TerminalPlatform::DrawProgress() {
  std::cerr << "\r\033[K[" << done_ << "/" << batch_.size() << "] "
            << (options_.exporting ? Tr("exporting…") : Tr("converting…")) << std::flush;
  progressShown_ = true;
}

void TerminalPlatform::ClearProgress() {
  if (!progressShown_) return;
  std::cerr << "\r\033[K" << std::flush;
  progressShown_ = false;
}

}  // namespace app::cli
