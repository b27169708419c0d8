// SPDX-License-Identifier: GPL-3.0-or-later
// brindle: explodes the SXF figures of Jw_cad drawings from the command line.
//
//   brindle [convert] [options] FILE…     convert a batch
//   brindle COMMAND ARGS…                 any command of the table (brindle --help)
//
// Exit status: 0 every file converted, 1 a file failed or was refused,
// 2 a usage error, 130 interrupted.

#include <iostream>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/memory.h"
#include "app/cli/terminal.h"
#include "app/i18n.h"

int main(int argc, char** argv) {
  using namespace app::cli;
  TuneAllocator();
  app::InitMessages(argv[0]);
  int skip = 0;
  const Command* command = ChooseCommand(argc, argv, skip);
  if (!command) {
    std::cerr << app::TrFormat("brindle: \"{}\" is neither a command nor an existing file",
                               {argv[1]})
              << "\n"
              << CommandList();
    return kExitUsage;
  }
  InstallInterruptHandling(command->stopsGently);
  return command->run(argc - skip, argv + skip);
}
