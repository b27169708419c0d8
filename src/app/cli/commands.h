// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of `brindle`, one entry each in one table.
//
// Adding a command: write `int RunName(int argc, char** argv)` in a file of
// its own (cmd_name.cpp), declare it below and add one row to the table in
// commands.cpp. Its argv[0] is the command's own name.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

namespace app::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

using RunFn = int (*)(int argc, char** argv);

struct Command {
  const char* name;
  const char* usage;  // the arguments, e.g. "IN OUT"
  const char* help;   // one line, English; shown through Tr()
  RunFn run;
  // Ctrl-C first asks the command to stop after the file in hand (a batch);
  // otherwise the first Ctrl-C ends the process.
  bool stopsGently = false;
};

// Every command, `convert` first.
std::span<const Command> Commands();
const Command* FindCommand(const std::string& name);

// "Commands:" and one aligned line per command, for --help and usage errors.
std::string CommandList();

// What `brindle ARGS…` runs: the named command, or `convert` when the first
// word is an option, an existing path or a drawing's name; nullptr when it
// is none of these (a usage error).
const Command* ChooseCommand(int argc, char** argv, int& skip);

// A parser for one command with its texts in the user's language.
void TranslateParser(CLI::App& app);

// The help of `app` with its option types in the user's language.
void PrintHelp(CLI::App& app, std::ostream& out);

// CLI11's own handling of --help; its parse errors said in the user's
// language; mapped to our statuses.
int ParseFailure(CLI::App& app, const CLI::ParseError& e);

int RunConvert(int argc, char** argv);
int RunDump(int argc, char** argv);
int RunRewrite(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunDiff(int argc, char** argv);
int RunExport(int argc, char** argv);
#ifdef BRINDLE_HAVE_RENDER
int RunDraw(int argc, char** argv);
#endif

}  // namespace app::cli
