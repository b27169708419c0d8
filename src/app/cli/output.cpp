// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/output.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/cli/commands.h"
#include "app/i18n.h"
#include "app/reasons.h"

namespace app::cli {
namespace {

// errno of the first failed write to standard output; 0 while none failed.
std::atomic<int> g_outError{0};

void NoteOutResult(bool ok) {
  if (ok) return;
  int expected = 0;
  g_outError.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
}

}  // namespace

void WriteOut(std::string_view text) {
  errno = 0;
  NoteOutResult(std::fwrite(text.data(), 1, text.size(), stdout) == text.size());
}

void WriteOutLine(std::string_view line) {
  WriteOut(line);
  WriteOut("\n");
}

void FlushOut() {
  errno = 0;
  NoteOutResult(std::fflush(stdout) == 0);
}

bool OutFailed() { return g_outError.load() != 0; }

int FinishOut(int rc) {
  FlushOut();
  errno = 0;
  NoteOutResult(!std::ferror(stdout));
  const int err = g_outError.load();
  if (err == 0) return rc;
  if (err != EPIPE)
    Error(TrFormat("standard output could not be written: {}", {SystemReason(err)}));
  return rc == kExitOk ? kExitFailed : rc;
}

void Error(const std::string& text) { std::cerr << "brindle: " << text << "\n" << std::flush; }

}  // namespace app::cli
