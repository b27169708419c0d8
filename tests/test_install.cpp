// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install` into a fresh prefix: the programs run from there, each has
// a man page that renders, and bash completes brindle's commands and options.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Standard output of a shell command and its exit status.
struct ShellRun {
  std::string out;
  int status = -1;
};

ShellRun Shell(const std::string& command) {
  ShellRun r;
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p.get())) > 0) r.out.append(buf, n);
  r.status = pclose(p.release());
  return r;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("BRINDLE_BIN_DIR");
    const char* cmake = std::getenv("BRINDLE_CMAKE");
    if (bin == nullptr || cmake == nullptr) GTEST_SKIP() << "run through ctest";
    for (const char* program : {"brindle", "brindle-samples"})
      ASSERT_TRUE(fs::exists(fs::path(bin) / program))
          << program << " is not built: build everything (ninja -C build) before this test";
    const ShellRun r = Shell(std::string("'") + cmake + "' --install '" + bin + "' --prefix " +
                             Quote(prefix_.path()) + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
  }
  testjww::TempDir prefix_{"brindle-install"};
};

TEST_F(Install, ProgramsRunFromThePrefix) {
  const fs::path bin = prefix_.path() / "bin";
  // Every program prints the one version of the build (CMake's project version).
  for (const char* program : {"brindle", "brindle-gui", "brindle-samples"}) {
    if (!fs::exists(bin / program)) continue;  // a build without Qt has no window
    const ShellRun version = Shell(Quote(bin / program) + " --version 2>&1");
    EXPECT_EQ(version.status, 0) << version.out;
    EXPECT_EQ(version.out, std::string(program) + " " BRINDLE_VERSION "\n");
  }
  const ShellRun samples =
      Shell(Quote(bin / "brindle-samples") + " " + Quote(prefix_.path() / "s"));
  EXPECT_EQ(samples.status, 0) << samples.out;
  EXPECT_TRUE(fs::exists(prefix_.path() / "s" / "plan.jww"));
}

// The menu entry, its icon and the MIME type of .jww land where desktops look,
// and the install brings the prefix's MIME database up to date.
TEST_F(Install, DesktopFilesAndTheMimeDatabase) {
  const fs::path share = prefix_.path() / "share";
  EXPECT_TRUE(fs::exists(share / "mime/packages/brindle.xml"));
  EXPECT_TRUE(fs::exists(share / "icons/hicolor/scalable/apps/io.github.brindle_jww.Brindle.svg"));
  if (fs::exists(prefix_.path() / "bin/brindle-gui")) {
    EXPECT_TRUE(fs::exists(share / "applications/io.github.brindle_jww.Brindle.desktop"));
    EXPECT_TRUE(fs::exists(share / "metainfo/io.github.brindle_jww.Brindle.metainfo.xml"));
  }
  if (Shell("command -v update-mime-database >/dev/null 2>&1").status == 0) {
    std::ifstream types(share / "mime/types");
    std::string all((std::istreambuf_iterator<char>(types)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("application/x-jww"), std::string::npos) << all;
  }
}

TEST_F(Install, EveryProgramHasAManPageThatRenders) {
  const char* man = std::getenv("BRINDLE_MAN");
  if (man == nullptr || std::string(man) != "1")
    GTEST_SKIP() << "scdoc was not found when the build was configured";
  if (Shell("command -v man >/dev/null 2>&1").status != 0) GTEST_SKIP() << "man is not installed";
  for (const char* page : {"brindle", "brindle-gui", "brindle-samples"}) {
    SCOPED_TRACE(page);
    const fs::path file = prefix_.path() / "share/man/man1" / (std::string(page) + ".1");
    ASSERT_TRUE(fs::exists(file));
    const ShellRun r = Shell("MANWIDTH=80 man -l " + Quote(file) + " 2>&1 | col -b");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("NAME"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(page) + " - "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("warning"), std::string::npos) << r.out;
  }
}

TEST_F(Install, BashCompletesCommandsOptionsAndDrawings) {
  if (Shell("command -v bash >/dev/null 2>&1").status != 0) GTEST_SKIP() << "bash is missing";
  const fs::path script = prefix_.path() / "share/bash-completion/completions/brindle";
  ASSERT_TRUE(fs::exists(script));
  std::ofstream(prefix_.path() / "plan.jww") << "x";
  std::ofstream(prefix_.path() / "notes.txt") << "x";
  // Completes the words after `brindle`, one reply per line.
  auto complete = [&](const std::string& words) {
    const fs::path file = prefix_.path() / "complete.sh";
    std::ofstream(file) << "cd " << Quote(prefix_.path()) << "\n"
                        << "PATH=" << Quote(prefix_.path() / "bin") << ":$PATH\n"
                        << "source " << Quote(script) << "\n"
                        << "COMP_WORDS=(brindle " << words << ")\n"
                        << "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                        << "_brindle\n"
                        << "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    return Shell("bash " + Quote(file) + " 2>&1").out;
  };
  EXPECT_EQ(complete("re"), "rewrite\n");
  EXPECT_EQ(complete("--all"), "--all-blocks\n");
  EXPECT_EQ(complete("rewrite --u"), "--utf16\n");
  EXPECT_EQ(complete("dump --f"), "--force\n");
  EXPECT_EQ(complete("draw --d"), "--dpi\n--dark\n");
  EXPECT_EQ(complete("info --a"), "--audit\n");
  EXPECT_EQ(complete("diff --t"), "--tolerance\n");
  EXPECT_EQ(complete("rewrite --version 4"), "420\n");
  EXPECT_EQ(complete("-o out p"), "plan.jww\n");
}

}  // namespace
