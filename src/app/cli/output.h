// SPDX-License-Identifier: GPL-3.0-or-later
// Standard output and standard error of the commands. Every write to
// standard output goes through WriteOut, so that a failing one (a full disk,
// /dev/full) turns into a message and exit status 1 instead of being lost.
#pragma once

#include <string>
#include <string_view>

namespace app::cli {

// Writes `text` to standard output (buffered); remembers the first failure.
void WriteOut(std::string_view text);
// WriteOut of `line` and a line end.
void WriteOutLine(std::string_view line);

// Hands what is buffered for standard output to the system.
void FlushOut();

// True once a write to standard output has failed.
bool OutFailed();

// Flushes standard output. When any write to it failed, says so on stderr
// and returns kExitFailed in place of a successful `rc`; else `rc`. A reader
// that went away (`brindle dump x.jww | head`) is not worth a message, but
// the status still says the output is incomplete.
int FinishOut(int rc);

// "brindle: " + `text` on standard error, a line of its own.
void Error(const std::string& text);

}  // namespace app::cli
