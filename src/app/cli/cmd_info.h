// The `info` command of brindle.
#pragma once

namespace app::cli {

// argv[0] is "info"; returns the exit status.
int RunInfo(int argc, char** argv);

}  // namespace app::cli
