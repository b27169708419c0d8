// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of a batch command that `convert` and `export` share: taking the
// arguments into the batch, running it with the terminal's platform and the
// exit status.
#pragma once

#include <string>
#include <vector>

#include "app/cli/terminal.h"
#include "app/driver.h"

namespace app::cli {

// The arguments as the batch takes them: full paths of existing drawings,
// each file once. The rest is said on stderr and kept for the JSON records.
void PickFiles(const std::vector<std::string>& files, BatchDriver& driver,
               std::vector<size_t>& positions, std::vector<SkippedInput>& skipped);

// Makes the output folder `folder` when it is missing; when it cannot be,
// the message that says why (the creation's own reason), else empty.
std::string MakeFolderFailure(const std::string& folder);

// Whether any argument was refused (a file given twice is only a notice).
bool AnyRefused(const std::vector<SkippedInput>& skipped);

int ExitStatus(const BatchOutcome& outcome, const TerminalPlatform& platform, bool skippedAny);

// Runs the batch that PickFiles filled (the platform knows its inputs) and
// ends it: the JSON records still owed, the summary, the exit status.
int RunPickedBatch(BatchDriver& driver, TerminalPlatform& platform, bool skippedAny);

}  // namespace app::cli
