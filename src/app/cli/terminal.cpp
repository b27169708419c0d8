#include "app/cli/terminal.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <thread>

#include "app/convert.h"
#include "app/xdg.h"
#include "util/path.h"

namespace app::cli {
namespace {

std::atomic<bool> g_stopRequested{false};

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

void WatchSignals(sigset_t set, bool gentle) {
  for (;;) {
    int sig = 0;
    if (::sigwait(&set, &sig) != 0) continue;
    if (sig == SIGINT && gentle && !g_stopRequested.exchange(true)) {
      WriteStderr("\nbrindle: stopping after the current file (Ctrl-C again to stop now)\n");
      continue;
    }
    HardStop(sig);
  }
}

std::string Escaped(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 2);
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

std::string ExpandTilde(const std::string& path) {
  if (path == "~") return HomeFolder();
  if (path.rfind("~/", 0) == 0) return HomeFolder() + path.substr(1);
  return path;
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
  std::thread(WatchSignals, set, gentle).detach();
}

bool InterruptRequested() { return g_stopRequested.load(); }

std::string JsonString(const std::string& s) { return "\"" + Escaped(s) + "\""; }

std::string JsonRecord(const FileRecord& rec) {
  const ConvertResult& r = rec.result;
  std::string j = "{\"source\":" + JsonString(rec.source);
  j += ",\"output\":" + (r.output.empty() ? std::string("null") : JsonString(r.output));
  j += ",\"result\":" + JsonString(r.ok ? kLogDone : kLogFailed);
  j += ",\"ok\":" + std::string(r.ok ? "true" : "false");
  j += ",\"figures\":" + std::to_string(r.figures);
  j += ",\"copies\":" + std::to_string(r.copies);
  j += ",\"entitiesWritten\":" + std::to_string(r.entitiesWritten);
  j += ",\"warnings\":[";
  for (size_t i = 0; i < r.warnings.size(); ++i) j += (i ? "," : "") + JsonString(r.warnings[i]);
  j += "]";
  if (!r.error.empty()) j += ",\"error\":" + JsonString(r.error);
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.3f", r.milliseconds);
  j += ",\"milliseconds\":" + std::string(ms) + "}";
  return j;
}

std::string TerminalPlatform::DesktopFolder() { return app::DesktopFolder(); }
std::string TerminalPlatform::DocumentsFolder() { return app::DocumentsFolder(); }

FolderAnswer TerminalPlatform::AskFolder(const std::string& start) {
  std::cerr << "変換後のファイルを保存するフォルダを指定して下さい [" << start
            << "]: " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::cerr << "\nbrindle: no folder was given\n";
    return {FolderAnswer::Kind::kUnavailable, {}};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return {FolderAnswer::Kind::kCancelled, {}};
  return {FolderAnswer::Kind::kChosen, ExpandTilde(line)};
}

void TerminalPlatform::MessageBox(const std::string& text) {
  std::string t = text;
  for (size_t p; (p = t.find("\r\n")) != std::string::npos;) t.erase(p, 1);
  ClearProgress();
  std::cerr << t << "\n" << std::flush;
}

bool TerminalPlatform::StopRequested() { return InterruptRequested(); }

void TerminalPlatform::Log(const std::string& line) {
  if (options_.json) {
    if (line == kLogStopped) std::cerr << line << "\n";
    return;
  }
  ClearProgress();
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void TerminalPlatform::ClearLog() {
  if (progress_) DrawProgress();
}

void TerminalPlatform::SaveSettings() {
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
  if (!SaveDatFile(toSave, options_.settingsPath))
    std::cerr << "brindle: the settings could not be saved to " << options_.settingsPath << "\n";
}

void TerminalPlatform::FileDone(const FileRecord& rec) {
  if (options_.json) {
    std::string j = JsonRecord(rec);
    std::fwrite(j.data(), 1, j.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  if (!rec.result.ok) {
    ClearProgress();
    std::cerr << "brindle: " << rec.source << ": " << rec.result.error << "\n";
  }
  ++done_;
  if (progress_) DrawProgress();
}

void TerminalPlatform::DrawProgress() {
  std::cerr << "\r\033[K[" << done_ << "/" << files_ << "] converting…" << std::flush;
  progressShown_ = true;
}

void TerminalPlatform::ClearProgress() {
  if (!progressShown_) return;
  std::cerr << "\r\033[K" << std::flush;
  progressShown_ = false;
}

void TerminalPlatform::FinishProgress() { ClearProgress(); }

}  // namespace app::cli
