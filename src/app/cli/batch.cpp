// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/cli/commands.h"
#include "app/cli/output.h"
#include "app/i18n.h"
#include "app/reasons.h"

namespace fs = std::filesystem;

namespace app::cli {

void PickFiles(const std::vector<std::string>& files, BatchDriver& driver,
               std::vector<size_t>& positions, std::vector<SkippedInput>& skipped) {
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& f = files[i];
    // The batch works with full paths, as a drop or the open dialog gives them.
    std::error_code ec;
    const fs::path full = f.empty() ? fs::path() : fs::absolute(f, ec).lexically_normal();
    std::string reason;
    bool refused = true;
    if (f.empty() || ec || !fs::exists(full, ec)) {
      reason = Tr("no such file");
    } else if (fs::is_directory(full, ec)) {
      reason = Tr("is a folder, not a drawing");
    } else if (!fs::is_regular_file(full, ec)) {
      reason = Tr("not a regular file (a pipe, a device or a socket)");
    } else {
      for (const std::string& taken : driver.FList) {
        if (fs::equivalent(taken, full, ec)) {
          // A file given twice is a notice, not a failure.
          reason = TrFormat("the same file as {}, which is converted once", {taken});
          refused = false;
          break;
        }
      }
      if (reason.empty() && !driver.PickupFile(full.string()))
        reason = Tr("not a .jww, .sfc or .p21 file");
    }
    if (reason.empty()) {
      positions.push_back(i);
      continue;
    }
    Error(TrFormat("skipped {}: {}", {f, reason}));
    skipped.push_back({i, f, reason, refused});
  }
}

std::string MakeFolderFailure(const std::string& folder) {
  std::error_code ec, again;
  if (fs::is_directory(folder, ec)) return {};
  // The reason is the creation's own: a second look would only say "missing".
  if (fs::create_directories(folder, ec) || fs::is_directory(folder, again)) return {};
  return TrFormat("the folder {} could not be made: {}", {folder, Reason(ec)});
}

bool AnyRefused(const std::vector<SkippedInput>& skipped) {
  return std::any_of(skipped.begin(), skipped.end(),
                     [](const SkippedInput& s) { return s.refused; });
}

int ExitStatus(const BatchOutcome& outcome, const TerminalPlatform& platform, bool skippedAny) {
  // A stop during the last file still ends as interrupted.
  if (outcome.status == BatchStatus::kStopped || InterruptRequested()) return kExitInterrupted;
  if (outcome.status != BatchStatus::kCompleted) return kExitFailed;
  return platform.Failed() > 0 || skippedAny || platform.SettingsFailed() ? kExitFailed : kExitOk;
}

int RunPickedBatch(BatchDriver& driver, TerminalPlatform& platform, bool skippedAny) {
  platform.SetProgress(::isatty(STDERR_FILENO) && driver.FListN > 1);
  BatchOutcome outcome = driver.RunProc();
  if (outcome.status == BatchStatus::kNotStarted && InterruptRequested())
    platform.Log(kLogStopped);  // stopped at the folder question
  if (outcome.status != BatchStatus::kNotStarted || InterruptRequested()) platform.FinishBatch();
  return FinishOut(ExitStatus(outcome, platform, skippedAny));
}

}  // namespace app::cli
