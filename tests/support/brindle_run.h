// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built `brindle` with arguments (no shell), its standard output
// into a file of the caller's choice (/dev/full, say) or captured.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testjww {

struct BrindleRun {
  int rc = -1;
  std::string out, err;
};

inline std::string ReadWholeFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `dir` takes the captured streams; `stdoutTo` replaces the captured
// standard output when given.
inline BrindleRun RunBrindle(const std::vector<std::string>& args, const std::filesystem::path& dir,
                             const std::string& stdoutTo = {}) {
  const char* binDir = std::getenv("BRINDLE_BIN_DIR");
  const std::string bin = (std::filesystem::path(binDir ? binDir : ".") / "brindle").string();
  const std::filesystem::path outPath = dir / "brindle.out", errPath = dir / "brindle.err";
  std::vector<std::string> argv{bin};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string o = stdoutTo.empty() ? outPath.string() : stdoutTo;
    const int out = ::open(o.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> a;
    for (std::string& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    ::execv(bin.c_str(), a.data());
    ::_exit(127);
  }
  BrindleRun r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (stdoutTo.empty()) r.out = ReadWholeFile(outPath);
  r.err = ReadWholeFile(errPath);
  return r;
}

}  // namespace testjww
