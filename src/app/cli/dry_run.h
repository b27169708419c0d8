// SPDX-License-Identifier: GPL-3.0-or-later
// brindle convert --dry-run: the batch as it would run, writing nothing.
#pragma once

#include "app/driver.h"

namespace app::cli {

class TerminalPlatform;

// Resolves the output folder as the batch would (asking in mode 5), then
// reads each file and shows its output name and what its conversion would
// do. Writes no file, no settings and no image folder. Returns the exit
// status: 0 when every file would convert, 1 when one could not be read,
// 130 when stopped.
// `folderWillBeMade`: -o names a folder the real run would make.
int DryRun(BatchDriver& driver, TerminalPlatform& platform, bool json, bool folderWillBeMade);

}  // namespace app::cli
