// brindle: explodes the SXF figures of Jw_cad drawings from the command line.
//
//   brindle [convert] [options] FILE…     convert a batch
//   brindle COMMAND ARGS…                 any command of the table (brindle --help)
//
// Exit status: 0 every file converted, 1 a file failed or was refused,
// 2 a usage error, 130 interrupted.

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/terminal.h"
#include "app/i18n.h"

namespace {

// A large drawing lives in a few arrays of hundreds of megabytes; with 4 KB
// pages most of a conversion goes into page faults (a 1M-entity drawing
// rewrites three times faster on huge pages). glibc takes its allocator
// settings only from the environment at start-up, so the program starts
// itself once more with them, unless the user has chosen settings of their own.
void PreferLargePages(char** argv) {
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
  if (::setenv("GLIBC_TUNABLES",
               "glibc.malloc.hugetlb=1:glibc.malloc.trim_threshold=268435456:"
               "glibc.malloc.top_pad=67108864",
               1) != 0) {
    return;
  }
  ::execv("/proc/self/exe", argv);
  ::unsetenv("GLIBC_TUNABLES");  // could not restart: carry on as we are
}

}  // namespace

int main(int argc, char** argv) {
  PreferLargePages(argv);
  using namespace app::cli;
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
