// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end tests of the `brindle` command: each runs the built binary in a
// home folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/reasons.h"
#include "jww/document.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary);
  out << data;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// A drawing with one line and the SXF figure DOOR (two lines) placed twice,
// the second time rotated by 90° and scaled by 2.
void WriteFigureDrawing(const fs::path& p, int version = 700) {
  jww::TJwwData d;
  d.DataDefaultSet();
  ASSERT_TRUE(d.AddEntPre());
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1000, 0));
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"DOOR"));
  ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 900, 0));
  ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 900));
  d.AddBlkDefPost(0);
  ASSERT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 100, 100, 1, 1, 0));
  ASSERT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 500, 100, 2, 2, 90));
  ASSERT_TRUE(d.AddEntPost());
  d.Enthd.jwVer = version;
  ASSERT_TRUE(d.FileOut(p.string(), version)) << d.LastWriteError;
}

// One line and no block at all.
void WritePlainDrawing(const fs::path& p) {
  jww::TJwwData d;
  d.DataDefaultSet();
  ASSERT_TRUE(d.AddEntPre());
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1000, 0));
  ASSERT_TRUE(d.AddEntPost());
  ASSERT_TRUE(d.FileOut(p.string(), 700)) << d.LastWriteError;
}

struct Outcome {
  int rc = -1;
  std::string out, err;
};

class Process {
 public:
  // Starts `brindle args…` with `env` and stdout/stderr into files in `dir`.
  // `stdoutTo`, when given, receives standard output instead (e.g. /dev/full).
  Process(const std::vector<std::string>& args, const std::vector<std::string>& env,
          const fs::path& dir, bool pipeStdin, const fs::path& cwd = {},
          const fs::path& stdoutTo = {}, const std::string& program = "brindle") {
    static int counter = 0;
    int id = counter++;
    outPath_ = dir / ("out" + std::to_string(id));
    stdoutTo_ = stdoutTo;
    errPath_ = dir / ("err" + std::to_string(id));
    std::string bin = (fs::path(std::getenv("BRINDLE_BIN_DIR")) / program).string();
    std::vector<std::string> argv{bin};
    argv.insert(argv.end(), args.begin(), args.end());
    int in[2] = {-1, -1};
    if (pipeStdin && ::pipe(in) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      int o = ::open((stdoutTo_.empty() ? outPath_ : stdoutTo_).c_str(),
                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int i = pipeStdin ? in[0] : ::open("/dev/null", O_RDONLY);
      ::dup2(o, 1);
      ::dup2(e, 2);
      ::dup2(i, 0);
      if (pipeStdin) ::close(in[1]);
      if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
      std::vector<char*> a, en;
      for (auto& s : argv) a.push_back(s.data());
      a.push_back(nullptr);
      std::vector<std::string> envCopy = env;
      for (auto& s : envCopy) en.push_back(s.data());
      en.push_back(nullptr);
      ::execve(bin.c_str(), a.data(), en.data());
      ::_exit(127);
    }
    if (pipeStdin) {
      ::close(in[0]);
      stdin_ = in[1];
    }
  }
  ~Process() {
    if (stdin_ >= 0) ::close(stdin_);
    if (pid_ > 0 && !waited_) Wait();
  }

  void Send(const std::string& text) {
    ssize_t n = ::write(stdin_, text.data(), text.size());
    (void)n;
  }
  void CloseStdin() {
    ::close(stdin_);
    stdin_ = -1;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  std::string Err() const { return ReadAll(errPath_); }
  bool WaitForErr(const std::string& text) const { return WaitFor(errPath_, text); }
  bool WaitForOut(const std::string& text) const { return WaitFor(outPath_, text); }
  Outcome Wait() {
    Outcome o;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    o.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.out = ReadAll(outPath_);
    o.err = ReadAll(errPath_);
    return o;
  }

 private:
  static bool WaitFor(const fs::path& file, const std::string& text) {
    for (int i = 0; i < 2000; ++i) {
      if (ReadAll(file).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  bool waited_ = false;
  fs::path outPath_, errPath_, stdoutTo_;
};

class Cli : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-cli"};
  void SetUp() override {
    ASSERT_NE(std::getenv("BRINDLE_BIN_DIR"), nullptr) << "run through ctest";
    root_ = tmp_.path();
    home_ = root_ / "home";
    config_ = root_ / "config";
    src_ = root_ / "src";
    out_ = root_ / "out";
    for (const fs::path& d : {home_, config_, src_, out_, root_ / "run", home_ / "机"})
      fs::create_directories(d);
    WriteAll(config_ / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/机\"\n");
    settings_ = (config_ / "brindle" / "brindle.dat").string();
  }

  std::vector<std::string> Env() const {
    return {"HOME=" + home_.string(), "XDG_CONFIG_HOME=" + config_.string(), "LANG=C.UTF-8",
            "PATH=/usr/bin:/bin"};
  }
  // Runs brindle with the test's settings file unless the arguments name one.
  Outcome Run(std::vector<std::string> args, bool withSettings = true) {
    if (withSettings && (args.empty() || (args[0] != "dump" && args[0] != "rewrite")))
      args.insert(args.begin(), {"--settings", settings_});
    Process p(args, Env(), root_ / "run", false);
    return p.Wait();
  }
  std::string S(const fs::path& p) const { return p.string(); }

  fs::path root_, home_, config_, src_, out_;
  std::string settings_;
};

const std::string kDone = "　…… 変換完了";
const std::string kFailed = "　…… 変換失敗";

TEST_F(Cli, VersionHelpAndUsageErrors) {
  Outcome v = Run({"--version"});
  EXPECT_EQ(v.rc, 0);
  EXPECT_NE(v.out.find("brindle " BRINDLE_VERSION), std::string::npos) << v.out;
  EXPECT_EQ(Run({"--help"}).rc, 0);
  EXPECT_EQ(Run({"--no-such-option"}).rc, 2);
  EXPECT_EQ(Run({"--desktop", "--beside", "x.jww"}).rc, 2);
  EXPECT_EQ(Run({}).rc, 2);
  EXPECT_EQ(Run({"-j", "-1", "x.jww"}).rc, 2);
  EXPECT_EQ(Run({"rewrite", "a.jww"}).rc, 2);
  // A range said plainly, not the limits of the type.
  Outcome m = Run({"--max-copies", "0", "x.jww"});
  EXPECT_EQ(m.rc, 2);
  EXPECT_NE(m.err.find("1 or more"), std::string::npos) << m.err;
  EXPECT_EQ(m.err.find("9223372036854775807"), std::string::npos) << m.err;
}

TEST_F(Cli, CommandsComeFromOneTable) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.rc, 0);
  for (const char* line :
       {"  brindle convert ", "  brindle dump FILE ", "  brindle rewrite IN OUT "})
    EXPECT_NE(help.out.find(line), std::string::npos) << line << "\n" << help.out;
  // A mistyped command is not taken for a drawing.
  WriteFigureDrawing(out_ / "x.jww");
  Process p({"dumb", "x.jww"}, Env(), root_ / "run", false, out_);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("\"dumb\""), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("brindle rewrite"), std::string::npos) << o.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(out_), fs::directory_iterator()), 1);
  // A first word that is neither a command nor an existing file is a usage
  // error, however much it looks like a drawing's name.
  o = Run({S(src_ / "missing.jww")}, false);
  EXPECT_EQ(o.rc, 2);
  EXPECT_NE(o.err.find("neither a command nor an existing file"), std::string::npos) << o.err;
  // An existing file whose name is not a drawing's, first: converted (refused).
  WriteAll(src_ / "notes", "x");
  Process q({"notes"}, Env(), root_ / "run", false, src_);
  EXPECT_EQ(q.Wait().rc, 1);
}

TEST_F(Cli, ConvertsToTheXdgDesktopByDefault) {
  WriteFigureDrawing(src_ / "Plan.JWW");
  Outcome o = Run({S(src_ / "Plan.JWW")});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.out,
            S(src_ / "Plan.JWW") + "\n→ " + S(home_ / "机" / "Plan.JWW") + "\n" + kDone + "\n");
  jww::TJwwData d;
  ASSERT_TRUE(d.FileIn(S(home_ / "机" / "Plan.JWW")));
  EXPECT_EQ(d.EntLineN, 1 + 4);  // the line and two copies of the two-line figure
  // No settings file was written: the run chose nothing to keep.
  EXPECT_FALSE(fs::exists(settings_));
  // The convert keyword is optional.
  o = Run({"convert", "--settings", settings_, S(src_ / "Plan.JWW")}, false);
  EXPECT_EQ(Lines(o.out).at(1), "→ " + S(home_ / "机" / "Plan~1.jww"));
}

TEST_F(Cli, RelativeNamesAreShownAsFullPaths) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteFigureDrawing(src_ / "b.jww");
  Process p({"--settings", settings_, "--beside", "a.jww", "./sub/../b.jww"}, Env(), root_ / "run",
            false, src_);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.out, S(src_ / "a.jww") + "\n→ " + S(src_ / "a~1.jww") + "\n" + kDone + "\n" +
                       S(src_ / "b.jww") + "\n→ " + S(src_ / "b~1.jww") + "\n" + kDone + "\n");
}

TEST_F(Cli, RefusedArgumentsFailTheRunButTheRestIsConverted) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteAll(src_ / "b.txt", "x");
  Outcome o = Run({"-o", S(out_), S(src_ / "b.txt"), S(src_ / "a.jww"), S(src_)});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.out, S(src_ / "a.jww") + "\n→ " + S(out_ / "a.jww") + "\n" + kDone + "\n");
  EXPECT_NE(o.err.find(S(src_ / "b.txt")), std::string::npos);
}

TEST_F(Cli, BadDrawingIsReportedOnStderrAndFails) {
  WriteAll(src_ / "bad.jww", "JwwData.garbage");
  Outcome o = Run({"-o", S(out_), S(src_ / "bad.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(Lines(o.out).at(2), kFailed);
  EXPECT_NE(o.err.find("bad.jww"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Cli, MissingOutputFolderIsAMessageWithoutCarriageReturn) {
  WriteFigureDrawing(src_ / "a.jww");
  // A fixed folder saved earlier that has gone away keeps the window's message.
  fs::create_directories(root_ / "nowhere");
  ASSERT_EQ(Run({"-o", S(root_ / "nowhere"), "--save"}).rc, 0);
  fs::remove(root_ / "nowhere");
  Outcome o = Run({S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("指定したフォルダが見つかりません。\n" + S(root_ / "nowhere")),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.err.find('\r'), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "nowhere"));
}

TEST_F(Cli, SaveKeepsTheModeForLaterRuns) {
  WriteFigureDrawing(src_ / "a.jww");
  Outcome o = Run({"--beside", "--save", S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_TRUE(fs::exists(src_ / "a~1.jww"));
  std::vector<std::string> lines = Lines(ReadAll(settings_));
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[6], "1\r");
  o = Run({S(src_ / "a.jww")});
  EXPECT_EQ(Lines(o.out).at(1), "→ " + S(src_ / "a~2.jww"));
  // A mode given without --save applies to its run only.
  o = Run({"-o", S(out_), S(src_ / "a.jww")});
  EXPECT_EQ(Lines(o.out).at(1), "→ " + S(out_ / "a.jww"));
  EXPECT_EQ(Lines(ReadAll(settings_))[6], "1\r");
}

TEST_F(Cli, AskReadsTheFolderFromTheTerminal) {
  WriteFigureDrawing(src_ / "a.jww");
  {
    Process p({"--settings", settings_, "--ask", S(src_ / "a.jww")}, Env(), root_ / "run", true);
    p.Send(S(out_) + "\n");
    Outcome o = p.Wait();
    EXPECT_EQ(o.rc, 0) << o.err;
    EXPECT_EQ(Lines(o.out).at(1), "→ " + S(out_ / "a.jww"));
  }
  // The folder is remembered, the mode of the run is not.
  std::vector<std::string> lines = Lines(ReadAll(settings_));
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[4], "1\r");
  EXPECT_EQ(lines[8], "0\r");
  {
    Process p({"--settings", settings_, "--ask", S(src_ / "a.jww")}, Env(), root_ / "run", true);
    ASSERT_TRUE(p.WaitForErr("[" + S(out_) + "/]"));
    p.Send("\n");  // keep the folder of last time
    Outcome o = p.Wait();
    EXPECT_EQ(Lines(o.out).at(1), "→ " + S(out_ / "a~1.jww"));
  }
  // Nothing to read: no batch.
  Outcome o = Run({"--ask", S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.out, "");
}

bool HasLocale(const char* name);

// A first --ask offers the desktop, not the folder brindle is installed in
// (the settings' default), and asks in the user's language.
TEST_F(Cli, AskOffersTheDesktopInTheUsersLanguage) {
  WriteFigureDrawing(src_ / "a.jww");
  const fs::path desktop = home_ / "机";  // the fixture's user-dirs.dirs
  {
    Process p({"--settings", settings_, "--ask", S(src_ / "a.jww")}, Env(), root_ / "run", true);
    ASSERT_TRUE(p.WaitForErr("Folder to save the converted files in [" + S(desktop) + "/]: "))
        << p.Err();
    p.Send("\n");
    Outcome o = p.Wait();
    EXPECT_EQ(o.rc, 0) << o.err;
    EXPECT_EQ(Lines(o.out).at(1), "→ " + S(desktop / "a.jww"));
  }
  if (!HasLocale("ja_JP.UTF-8")) GTEST_SKIP() << "ja_JP.UTF-8 is not generated (localedef)";
  std::vector<std::string> env = Env();
  env[2] = "LANG=ja_JP.UTF-8";
  Process p({"--settings", settings_, "--ask", S(src_ / "a.jww")}, env, root_ / "run", true);
  ASSERT_TRUE(
      p.WaitForErr("変換後のファイルを保存するフォルダを指定して下さい [" + S(desktop) + "/]: "));
  p.Send("\n");
  EXPECT_EQ(p.Wait().rc, 0);
}

TEST_F(Cli, JsonRecordsInsteadOfLogLines) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteAll(src_ / "bad.jww", "nope");
  Outcome o = Run({"--json", "-o", S(out_), S(src_ / "a.jww"), S(src_ / "bad.jww")});
  EXPECT_EQ(o.rc, 1);
  std::vector<std::string> lines = Lines(o.out);
  ASSERT_EQ(lines.size(), 2u) << o.out;
  EXPECT_EQ(lines[0].rfind("{\"source\":\"" + S(src_ / "a.jww") + "\",\"output\":\"" +
                               S(out_ / "a.jww") + "\",\"result\":\"converted\",\"log\":\"変換完了\",\"ok\":true," +
                               "\"figures\":1,\"blocks\":0,\"copies\":4,\"entitiesWritten\":5,\"warnings\":[]",
                           0),
            0u)
      << lines[0];
  EXPECT_NE(lines[1].find("\"output\":null,\"result\":\"failed\",\"log\":\"変換失敗\",\"ok\":false"),
            std::string::npos)
      << lines[1];
  EXPECT_NE(lines[1].find("\"error\":"), std::string::npos);
  EXPECT_NE(lines[1].find("\"milliseconds\":"), std::string::npos);
}

TEST_F(Cli, AllBlocksExplodesEveryPlacement) {
  WriteFigureDrawing(src_ / "a.jww");
  Outcome o = Run({"--json", "--all-blocks", "-o", S(out_), S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  jww::TJwwData d;
  ASSERT_TRUE(d.FileIn(S(out_ / "a.jww")));
  EXPECT_EQ(d.EntLineN, 5);
  EXPECT_EQ(d.EntBlockDefN, 0);
}

// One SXF figure of two lines placed twice and one ordinary block of one
// line placed once: the figure and the block are counted apart, and a dry
// run counts as the run does.
TEST_F(Cli, AllBlocksCountsFiguresAndOtherBlocksApart) {
  {
    jww::TJwwData d;
    d.DataDefaultSet();
    ASSERT_TRUE(d.AddEntPre());
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"DOOR"));
    ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 900, 0));
    ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 900));
    d.AddBlkDefPost(0);
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 4, u"TABLE"));
    ASSERT_TRUE(d.AddBlkLine(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 50, 0));
    d.AddBlkDefPost(1);
    ASSERT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 100, 100, 1, 1, 0));
    ASSERT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 500, 100, 1, 1, 0));
    ASSERT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0));
    ASSERT_TRUE(d.AddEntPost());
    ASSERT_TRUE(d.FileOut(S(src_ / "mix.jww"), 700)) << d.LastWriteError;
  }
  const std::string counts = "\"figures\":1,\"blocks\":1,\"copies\":5";
  Outcome run = Run({"--json", "--all-blocks", "-o", S(out_), S(src_ / "mix.jww")});
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find(counts), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("1 figures and 1 other blocks exploded into 5 copies"), std::string::npos)
      << run.err;
  Outcome dry = Run({"-n", "--json", "--all-blocks", "-o", S(out_), S(src_ / "mix.jww")});
  EXPECT_EQ(dry.rc, 0) << dry.err;
  EXPECT_NE(dry.out.find("\"result\":\"dry-run\""), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("\"copies\":5"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("\"blocks\":1"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("\"figuresExploded\":1"), std::string::npos) << dry.out;
  dry = Run({"-n", "--all-blocks", "-o", S(out_), S(src_ / "mix.jww")});
  EXPECT_NE(dry.out.find("1 figures and 1 other blocks exploded into 5 copies"), std::string::npos)
      << dry.out;
}

TEST_F(Cli, DumpPrintsTheDocumentAndRefusesToOverwrite) {
  WriteFigureDrawing(src_ / "a.jww");
  Outcome o = Run({"dump", S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  jww::TJwwData d;
  ASSERT_TRUE(d.FileIn(S(src_ / "a.jww")));
  EXPECT_FALSE(o.out.empty());

  WriteAll(out_ / "dump.txt", "keep");
  o = Run({"dump", S(src_ / "a.jww"), "-o", S(out_ / "dump.txt")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(ReadAll(out_ / "dump.txt"), "keep");
  o = Run({"dump", S(src_ / "a.jww"), "-o", S(out_ / "dump.txt"), "--force"});
  EXPECT_EQ(o.rc, 0) << o.err;
  std::string first = Run({"dump", S(src_ / "a.jww")}).out;
  EXPECT_EQ(ReadAll(out_ / "dump.txt"), first);

  o = Run({"dump", S(src_ / "missing.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("missing.jww"), std::string::npos);
}

TEST_F(Cli, RewriteChangesVersionAndEncodingButNeverTheInput) {
  WriteFigureDrawing(src_ / "a.jww");
  const std::string original = ReadAll(src_ / "a.jww");
  Outcome o = Run({"rewrite", S(src_ / "a.jww"), S(out_ / "b.jww"), "--version", "420"});
  EXPECT_EQ(o.rc, 0) << o.err;
  jww::TJwwData d;
  ASSERT_TRUE(d.FileIn(S(out_ / "b.jww")));
  EXPECT_EQ(d.Enthd.jwVer, 420);
  EXPECT_EQ(d.EntBlockDefN, 1);  // nothing exploded
  EXPECT_FALSE(d.MojiEncode);

  o = Run({"rewrite", S(src_ / "a.jww"), S(out_ / "b.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("--force"), std::string::npos);
  o = Run({"rewrite", S(src_ / "a.jww"), S(out_ / "b.jww"), "--force", "--utf16"});
  EXPECT_EQ(o.rc, 0) << o.err;
  jww::TJwwData e;
  ASSERT_TRUE(e.FileIn(S(out_ / "b.jww")));
  EXPECT_EQ(e.Enthd.jwVer, 700);
  EXPECT_TRUE(e.MojiEncode);

  // Saving for an older Jw_cad writes code page 932 unless --utf16 is given.
  ASSERT_EQ(Run({"rewrite", S(out_ / "b.jww"), S(out_ / "600.jww"), "--version", "600"}).rc, 0);
  ASSERT_EQ(Run({"rewrite", S(out_ / "b.jww"), S(out_ / "600w.jww"), "--version", "600",
                 "--utf16"})
                .rc,
            0);
  for (const auto& [name, wide] : {std::pair{"600.jww", false}, std::pair{"600w.jww", true}}) {
    jww::TJwwData r;
    ASSERT_TRUE(r.FileIn(S(out_ / name)));
    EXPECT_EQ(r.Enthd.jwVer, 600);
    EXPECT_EQ(r.MojiEncode, wide) << name;
  }
  EXPECT_EQ(Run({"rewrite", S(src_ / "a.jww"), S(src_ / "a.jww"), "--force"}).rc, 1);
  EXPECT_EQ(Run({"rewrite", S(src_ / "a.jww"), S(out_ / "c.jww"), "--version", "800"}).rc, 2);
  EXPECT_EQ(Run({"rewrite", S(src_ / "a.jww"), S(out_ / "c.jww"), "--utf16", "--cp932"}).rc, 2);
  EXPECT_EQ(ReadAll(src_ / "a.jww"), original);
  EXPECT_FALSE(fs::exists(out_ / "c.jww"));
}

// Many workers and a second process convert files of the same name into the
// same folder: every name they log is distinct and exists, nothing is lost.
TEST_F(Cli, RaceForTheSameNamesLosesNothing) {
  std::vector<std::string> args{"--settings", settings_, "-j", "8", "-o", S(out_)};
  for (int i = 0; i < 24; ++i) {
    fs::create_directories(src_ / std::to_string(i));
    WriteFigureDrawing(src_ / std::to_string(i) / "same.jww");
    args.push_back(S(src_ / std::to_string(i) / "same.jww"));
  }
  Process a(args, Env(), root_ / "run", false);
  Process b(args, Env(), root_ / "run", false);
  Outcome oa = a.Wait();
  Outcome ob = b.Wait();
  ASSERT_EQ(oa.rc, 0) << oa.err;
  ASSERT_EQ(ob.rc, 0) << ob.err;
  std::set<std::string> named;
  for (const Outcome* o : {&oa, &ob}) {
    std::vector<std::string> lines = Lines(o->out);
    ASSERT_EQ(lines.size(), 72u);
    for (size_t i = 1; i < lines.size(); i += 3) {
      ASSERT_EQ(lines[i].rfind("→ ", 0), 0u);
      named.insert(lines[i].substr(std::string("→ ").size()));
      EXPECT_EQ(lines[i + 1], kDone);
    }
  }
  EXPECT_EQ(named.size(), 48u);
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(out_)) {
    ++files;
    EXPECT_TRUE(named.count(e.path().string())) << e.path();
    jww::TJwwData d;
    EXPECT_TRUE(d.FileIn(e.path().string())) << e.path();
    EXPECT_EQ(d.EntLineN, 5) << e.path();
  }
  EXPECT_EQ(files, 48u);
}

TEST_F(Cli, CtrlCAtTheFolderQuestionStopsAtOnce) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteFigureDrawing(src_ / "b.jww");
  Process p({"--settings", settings_, "--ask", S(src_ / "a.jww"), S(src_ / "b.jww")}, Env(),
            root_ / "run", true);
  ASSERT_TRUE(p.WaitForErr("]: "));
  p.Signal(SIGINT);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 130);
  EXPECT_EQ(o.out, "[ESC]を押しましたので中断します。\n");
  EXPECT_EQ(o.err.find("Ctrl-C again"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("Ctrl-C was pressed: 2 of 2 files were left unconverted"),
            std::string::npos)
      << o.err;
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Cli, TheWindowAnswersHelpAndVersionWithoutADisplay) {
  if (!fs::exists(fs::path(std::getenv("BRINDLE_BIN_DIR")) / "brindle-gui"))
    GTEST_SKIP() << "brindle-gui is not built";
  // No DISPLAY and no QT_QPA_PLATFORM: Qt would stop for want of a display.
  Process help({"--help"}, Env(), root_ / "run", false, {}, {}, "brindle-gui");
  Outcome o = help.Wait();
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.out.rfind("Usage: brindle-gui", 0), 0u) << o.out;
  Process version({"--version"}, Env(), root_ / "run", false, {}, {}, "brindle-gui");
  o = version.Wait();
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.out.rfind("brindle-gui ", 0), 0u) << o.out;
}

TEST_F(Cli, CtrlCDuringTheLastFileEndsAsInterrupted) {
  // The small file's log lines appear once it is done; the second, with half
  // a million copies to make, is then being converted when Ctrl-C lands.
  WriteFigureDrawing(src_ / "a.jww");
  jww::TJwwData big = tools::MakeSxfBenchDrawing(15, 50, 10000, 7);
  ASSERT_TRUE(big.FileOut(S(src_ / "big.jww"), 700)) << big.LastWriteError;
  Process p({"--settings", settings_, "-o", S(out_), S(src_ / "a.jww"), S(src_ / "big.jww")}, Env(),
            root_ / "run", false);
  ASSERT_TRUE(p.WaitForOut(kDone));
  p.Signal(SIGINT);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 130) << o.err;
  EXPECT_NE(o.err.find("stopping after the current file"), std::string::npos) << o.err;
  // The file under way is finished, not cut off.
  jww::TJwwData d;
  EXPECT_TRUE(d.FileIn(S(out_ / "big.jww")));
}

TEST_F(Cli, CorpusDrawingsConvertInParallel) {
  std::optional<fs::path> corpus = CorpusDir();
  if (!corpus) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  std::vector<std::string> args{"--settings", settings_, "--json", "-j", "2", "-o", S(out_)};
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(*corpus))
    if (e.path().extension() == ".jww") args.push_back(e.path().string()), ++n;
  Outcome o = Run(args, false);
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(Lines(o.out).size(), n);
  for (const std::string& line : Lines(o.out))
    EXPECT_NE(line.find("\"ok\":true"), std::string::npos) << line;
  // The sources are untouched: the corpus folder still matches its manifest
  // by name count, and every output reads back.
  for (const auto& e : fs::directory_iterator(out_)) {
    jww::TJwwData d;
    EXPECT_TRUE(d.FileIn(e.path().string())) << e.path();
  }
}

TEST_F(Cli, FailedWritesToStandardOutputFailTheCommand) {
  WriteFigureDrawing(src_ / "a.jww");
  const std::vector<std::vector<std::string>> commands{
      {"dump", S(src_ / "a.jww")},
      {"info", S(src_ / "a.jww")},
      {"--settings", settings_, "-o", S(out_), S(src_ / "a.jww")},
      {"--settings", settings_, "--json", "-o", S(out_), S(src_ / "a.jww")},
      {"--settings", settings_, "--dry-run", "-o", S(out_), S(src_ / "a.jww")}};
  for (const auto& args : commands) {
    Process p(args, Env(), root_ / "run", false, {}, "/dev/full");
    Outcome o = p.Wait();
    EXPECT_EQ(o.rc, 1) << args[0] << " " << args.back();
    EXPECT_NE(o.err.find("standard output could not be written: no space left on the device"),
              std::string::npos)
        << o.err;
  }
}

// `brindle dump x.jww | head`: the reader has gone, which is no news to the
// user, but the status still says that the output is incomplete.
TEST_F(Cli, AClosedPipeFailsQuietly) {
  WriteFigureDrawing(src_ / "a.jww");
  for (const char* command : {"dump", "info"}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // nobody will read
    const std::string bin = (fs::path(std::getenv("BRINDLE_BIN_DIR")) / "brindle").string();
    const std::string in = S(src_ / "a.jww");
    const std::string errPath = S(root_ / "run" / "pipe-err");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(fds[1], 1);
      const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(e, 2);
      ::execl(bin.c_str(), bin.c_str(), command, in.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    EXPECT_NE(rc, 0) << command;
    EXPECT_NE(rc, 127) << command;
    EXPECT_EQ(ReadAll(errPath), "") << command;
  }
}

TEST_F(Cli, EveryArgumentIsAccountedFor) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteFigureDrawing(src_ / "b.jww");
  fs::create_directories(src_ / "folder.jww");
  Outcome o = Run({"--json", "-o", S(out_), S(src_ / "a.jww"), S(src_ / "folder.jww"),
                   S(src_ / "." / "a.jww"), S(src_ / "gone.jww"), S(src_ / "b.jww")});
  EXPECT_EQ(o.rc, 1);
  std::vector<std::string> lines = Lines(o.out);
  ASSERT_EQ(lines.size(), 5u) << o.out;
  EXPECT_EQ(lines[0].rfind("{\"source\":\"" + S(src_ / "a.jww") + "\"", 0), 0u) << lines[0];
  EXPECT_NE(lines[1].find("\"result\":\"skipped\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("is a folder"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("the same file as " + S(src_ / "a.jww")), std::string::npos);
  EXPECT_NE(lines[2].find("\"ok\":true"), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("no such file"), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find("\"ok\":true"), std::string::npos) << lines[4];
  // The same drawing twice is converted once.
  EXPECT_EQ(std::distance(fs::directory_iterator(out_), fs::directory_iterator()), 2);
  // A file given twice alone is a notice: the run succeeds.
  EXPECT_EQ(Run({"-o", S(out_), S(src_ / "b.jww"), S(src_ / "." / "b.jww")}).rc, 0);
  EXPECT_NE(o.err.find("brindle: 2 converted, 0 failed, 3 skipped; 2 figures exploded into 8 "
                       "copies"),
            std::string::npos)
      << o.err;
}

// Each failure says the system's reason: a folder that cannot be made, a
// full disk under the settings file, trailing bytes, a pipe for a drawing.
TEST_F(Cli, FailuresSayTheirReasons) {
  WriteFigureDrawing(src_ / "a.jww");
  const std::string original = ReadAll(src_ / "a.jww");
  WriteAll(src_ / "tail.jww", original + "abc");
  Outcome o = Run({"-o", S(out_), S(src_ / "tail.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("3 bytes after its end, from byte " + std::to_string(original.size())),
            std::string::npos)
      << o.err;
  ASSERT_EQ(::mkfifo(S(src_ / "pipe.jww").c_str(), 0600), 0);
  o = Run({"-o", S(out_), S(src_ / "a.jww"), S(src_ / "pipe.jww")});
  EXPECT_NE(o.err.find("not a regular file"), std::string::npos) << o.err;

  const fs::path ro = root_ / "ro", full = root_ / "full";
  fs::create_directories(ro);
  fs::create_directories(full);
  if (::mount("tmpfs", ro.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  o = Run({"--json", "-o", S(ro / "sub"), S(src_ / "a.jww")});
  ::umount(ro.c_str());
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find(app::SystemReason(EROFS)), std::string::npos) << o.err;
  EXPECT_NE(o.out.find("\"result\":\"failed\""), std::string::npos) << o.out;

  ASSERT_EQ(::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=16k"), 0);
  WriteAll(full / "filler", std::string(64 * 1024, 'x'));  // cut at the size: full
  o = Run({"--settings", S(full / "brindle.dat"), "--save", "-o", S(out_), S(src_ / "a.jww")},
          false);
  const bool canDraw = Run({"--help"}).out.find("brindle draw") != std::string::npos;
  Outcome pic = canDraw ? Run({"draw", S(src_ / "a.jww"), "-o", S(full / "a.png")}, false) : o;
  ::umount(full.c_str());
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find(app::SystemReason(ENOSPC)), std::string::npos) << o.err;
  EXPECT_EQ(pic.rc, 1);
  EXPECT_NE(pic.err.find(app::SystemReason(ENOSPC)), std::string::npos) << pic.err;
}

TEST_F(Cli, JsonCarriesTheExactBytesOfNamesThatAreNotUtf8) {
  const std::string sjis = "\x83\x76\x83\x89\x83\x93";  // プラン in code page 932
  WriteFigureDrawing(src_ / (sjis + ".jww"));
  Outcome o = Run({"--json", "-o", S(out_), S(src_ / (sjis + ".jww"))});
  EXPECT_EQ(o.rc, 0) << o.err;
  std::string hex;
  for (unsigned char c : S(src_ / (sjis + ".jww"))) {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", c);
    hex += b;
  }
  EXPECT_NE(o.out.find("\"sourceBytes\":\"" + hex + "\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\\\\x83"), std::string::npos) << o.out;  // the text shows "\x83"
  EXPECT_EQ(o.out.find(sjis), std::string::npos);
}

TEST_F(Cli, LogSaysWhenNoFigureWasFoundAndQuietKeepsOnlyFailures) {
  WritePlainDrawing(src_ / "plain.jww");
  WriteAll(src_ / "bad.jww", "JwwData.garbage");
  Outcome o = Run({"-o", S(out_), S(src_ / "plain.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(Lines(o.out).at(2),
            "　※ no SXF figure found: written again with the layer states reset");
  EXPECT_EQ(Lines(o.out).at(3), kDone);
  EXPECT_NE(o.err.find("1 converted, 0 failed, 0 skipped"), std::string::npos) << o.err;

  o = Run({"--quiet", "-o", S(out_), S(src_ / "plain.jww"), S(src_ / "bad.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.out, S(src_ / "bad.jww") + "\n→ " + S(out_ / "bad.jww") + "\n" + kFailed + "\n");
  EXPECT_NE(o.err.find("bad.jww"), std::string::npos);
  EXPECT_EQ(o.err.find("converted,"), std::string::npos) << o.err;
}

TEST_F(Cli, SmallTrapsOfTheOptions) {
  WriteFigureDrawing(src_ / "a.jww");
  Outcome o = Run({"--settings", S(config_), S(src_ / "a.jww")}, false);
  EXPECT_EQ(o.rc, 2);
  EXPECT_NE(o.err.find("is a folder"), std::string::npos) << o.err;

  o = Run({"--save", S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_NE(o.err.find("nothing to save"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(settings_));
  EXPECT_EQ(Run({"--save"}).rc, 2);

  // -o names the folder the user wants: it is made.
  o = Run({"-o", S(root_ / "new" / "sub"), S(src_ / "a.jww")});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_TRUE(fs::exists(root_ / "new" / "sub" / "a.jww"));

  o = Run({"dump", "--version"});
  EXPECT_EQ(o.rc, 0);
  EXPECT_NE(o.out.find("brindle " BRINDLE_VERSION), std::string::npos) << o.out;
}

TEST_F(Cli, RewriteTakesTheVersionsJwCadWritesAndSaysWhatItRounds) {
  WriteFigureDrawing(src_ / "a.jww");
  Outcome o = Run({"rewrite", S(src_ / "a.jww"), S(out_ / "b.jww"), "--version", "351"});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_EQ(o.err, "");
  o = Run({"rewrite", S(src_ / "a.jww"), S(out_ / "c.jww"), "--version", "450"});
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_NE(o.err.find("no Jw_cad writes version 450; writing version 420"), std::string::npos)
      << o.err;
  jww::TJwwData d;
  ASSERT_TRUE(d.FileIn(S(out_ / "c.jww")));
  EXPECT_EQ(d.Enthd.jwVer, 420);
}

TEST_F(Cli, MissingDesktopIsSaidOnceWithTheWayOut) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteFigureDrawing(src_ / "b.jww");
  fs::remove(home_ / "机");
  Outcome o = Run({S(src_ / "a.jww"), S(src_ / "b.jww")});
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.out, "");
  const std::string folder = S(home_ / "机");
  size_t at = o.err.find(folder);
  ASSERT_NE(at, std::string::npos) << o.err;
  EXPECT_EQ(o.err.find(folder, at + 1), std::string::npos) << o.err;  // said once
  EXPECT_NE(o.err.find("-o DIR"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("--beside"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(home_ / "机"));
}

TEST_F(Cli, AskRefusesAFolderThatDoesNotExist) {
  WriteFigureDrawing(src_ / "a.jww");
  Process p({"--settings", settings_, "--ask", S(src_ / "a.jww")}, Env(), root_ / "run", true);
  p.Send(S(root_ / "nowhere") + "\n" + S(out_) + "\n");
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 0) << o.err;
  EXPECT_NE(o.err.find(S(root_ / "nowhere") + ": no such folder"), std::string::npos) << o.err;
  EXPECT_EQ(Lines(o.out).at(1), "→ " + S(out_ / "a.jww"));
  // A remembered folder that has gone away is not offered again: the
  // desktop is.
  fs::remove(out_ / "a.jww");
  fs::remove(out_);
  Process q({"--settings", settings_, "--ask", S(src_ / "a.jww")}, Env(), root_ / "run", true);
  ASSERT_TRUE(q.WaitForErr("[" + S(home_ / "机") + "/]: ")) << q.Err();
  EXPECT_EQ(q.Err().find(S(out_)), std::string::npos) << q.Err();
  q.CloseStdin();
  EXPECT_EQ(q.Wait().rc, 1);
}

TEST_F(Cli, DryRunWritesNothingAtAll) {
  WriteFigureDrawing(src_ / "a.jww");
  WriteAll(src_ / "bad.jww", "nope");
  fs::create_directories(root_ / "tmp");
  std::vector<std::string> env = Env();
  env.push_back("TMPDIR=" + S(root_ / "tmp"));
  Process p({"--settings", settings_, "--dry-run", "--save", "-o", S(root_ / "new"),
             S(src_ / "a.jww"), S(src_ / "bad.jww")},
            env, root_ / "run", false);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 1) << o.err;
  std::vector<std::string> lines = Lines(o.out);
  ASSERT_GE(lines.size(), 6u) << o.out;
  EXPECT_EQ(lines[0], S(src_ / "a.jww"));
  EXPECT_EQ(lines[1], "→ " + S(root_ / "new" / "a.jww"));
  EXPECT_NE(lines[2].find("DOOR"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find(": 2 placements → layer group 1, 4 copies"), std::string::npos)
      << lines[2];
  EXPECT_NE(o.out.find("would fail"), std::string::npos) << o.out;
  EXPECT_FALSE(fs::exists(root_ / "new"));
  EXPECT_FALSE(fs::exists(settings_));
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
}

bool HasLocale(const char* name) {
  std::string previous = std::setlocale(LC_MESSAGES, nullptr);
  const bool ok = std::setlocale(LC_MESSAGES, name) != nullptr;
  std::setlocale(LC_MESSAGES, previous.c_str());
  return ok;
}

TEST_F(Cli, MessagesSpeakJapaneseButTheLogLinesStayTheSystems) {
  if (!HasLocale("ja_JP.UTF-8")) GTEST_SKIP() << "ja_JP.UTF-8 is not generated (localedef)";
  ASSERT_TRUE(fs::exists(fs::path(std::getenv("BRINDLE_BIN_DIR")) / "locale" / "ja" /
                         "LC_MESSAGES" / "brindle.mo"));
  WritePlainDrawing(src_ / "a.jww");
  std::vector<std::string> env = Env();
  env[2] = "LANG=ja_JP.UTF-8";
  Process p({"--settings", settings_, "-o", S(out_), S(src_ / "a.jww"), S(src_ / "b.txt")}, env,
            root_ / "run", false);
  Outcome o = p.Wait();
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(Lines(o.out).at(2), "　※ SXF図形はありません: レイヤの状態を戻して書き直しました");
  EXPECT_EQ(Lines(o.out).at(3), kDone);
  EXPECT_NE(o.err.find("そのようなファイルはありません"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("変換 1、失敗 0、飛ばした 1"), std::string::npos) << o.err;
  Process q({"dumb"}, env, root_ / "run", false);
  EXPECT_NE(q.Wait().err.find("はコマンドでも既にあるファイルでもありません"), std::string::npos);
  // Every command's help, and what info shows of a drawing, headings included.
  for (const char* command : {"convert", "dump", "rewrite", "info", "draw"}) {
    Process h({command, "--help"}, env, root_ / "run", false);
    const Outcome help = h.Wait();
    EXPECT_NE(help.out.find("使い方"), std::string::npos) << command << "\n" << help.out;
    EXPECT_EQ(help.out.find("Print this help"), std::string::npos) << command << "\n" << help.out;
  }
  // The reasons are ours too, not the C library's or the core's English.
  WriteAll(src_ / "bad.jww", "JwwData.garbage");
  ASSERT_EQ(::mkfifo(S(src_ / "pipe.jww").c_str(), 0600), 0);
  for (const auto& [args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"rewrite", S(src_ / "a.jww"), S(root_ / "none" / "b.jww")},
            "保存先のフォルダに書けません: そのようなファイルやフォルダはありません"},
           {{"info", S(src_ / "pipe.jww")}, "開けません: 通常のファイルではありません"},
           {{"-o", S(out_), S(src_ / "bad.jww")},
            "バージョン 220〜700 の Jw_cad 図面ではありません"}}) {
    Process e(args, env, root_ / "run", false);
    const std::string err = e.Wait().err;
    EXPECT_NE(err.find(said), std::string::npos) << err;
  }
  // The audit's details too: a drawing cut in half.
  const std::string whole = ReadAll(src_ / "a.jww");
  WriteAll(src_ / "cut.jww", whole.substr(0, whole.size() / 2));
  Process audit({"info", "--audit", S(src_ / "cut.jww")}, env, root_ / "run", false);
  const Outcome cut = audit.Wait();
  EXPECT_NE(cut.out.find("の途中でファイルが終わっています"), std::string::npos) << cut.out;
  EXPECT_EQ(cut.out.find("the file ends inside"), std::string::npos) << cut.out;
  // CLI11's own words, in its help and its errors, are said in Japanese too.
  Process help({"--help"}, env, root_ / "run", false);
  const Outcome h = help.Wait();
  for (const char* english : {"TEXT", "INT", " in [", "POSITIVE", "Excludes"})
    EXPECT_EQ(h.out.find(english), std::string::npos) << english << "\n" << h.out;
  for (const auto& [args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-j", "5000", "a.jww"}, "--jobs: 5000 は 0〜1024 の範囲外です"},
           {{"--nosuch", "a.jww"}, "このコマンドのオプションではありません: --nosuch"},
           {{"--desktop", "--beside", "a.jww"}, "--desktop と --beside は同時に指定できません"},
           {{"rewrite", "a.jww"}, "OUT を指定して下さい"},
           {{"-j"}, "--jobs には値が必要です"}}) {
    Process e(args, env, root_ / "run", false);
    const Outcome bad = e.Wait();
    EXPECT_EQ(bad.rc, 2) << args[0];
    EXPECT_NE(bad.err.find(said), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("詳しくは --help"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find("Run with"), std::string::npos) << bad.err;
  }
  Process i({"info", S(src_ / "a.jww")}, env, root_ / "run", false);
  const Outcome info = i.Wait();
  EXPECT_NE(info.out.find("\n要素\n"), std::string::npos) << info.out;
  EXPECT_EQ(info.out.find("\nEntities\n"), std::string::npos) << info.out;
}

// Every message of the programs has its Japanese: each text passed through
// the catalogue (Tr, TrFormat, TrNoop, TrPlural) has a translation, and no
// English sentence of the programs' sources bypasses the catalogue. A
// literal that is English but no message (a code, a pattern to match, a
// text of a drawing) says so in a comment "Not a message: …" above it.
TEST(Catalogue, JapaneseIsComplete) {
  const fs::path source = std::getenv("BRINDLE_SOURCE_DIR");
  const std::string po = ReadAll(source / "po" / "ja.po");
  ASSERT_FALSE(po.empty());
  EXPECT_EQ(po.find("#, fuzzy"), std::string::npos);
  EXPECT_EQ(po.find("msgstr \"\"\n\n"), std::string::npos) << "an untranslated message";
  EXPECT_NE(po.find("Plural-Forms: nplurals=1; plural=0;"), std::string::npos);
  if (std::system("xgettext --version >/dev/null 2>&1 && msgcmp --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xgettext or msgcmp is not installed";
  testjww::TempDir tmp{"brindle-pot"};
  const std::string pot = (tmp.path() / "all.pot").string();
  const std::string literals = (tmp.path() / "literals.pot").string();
  // The programs' sources; brindle-fuzz-seeds is a developer's tool.
  const std::string sources =
      " $(find src/app tools -path tools/fuzz_seeds -prune -o \\( -name '*.cpp' -o -name '*.h' "
      "\\) -print | sort)";
  const std::string cd = "cd '" + source.string() + "' && ";
  ASSERT_EQ(std::system((cd +
                         "xgettext --from-code=UTF-8 -C --keyword=Tr --keyword=TrFormat "
                         "--keyword=TrNoop --keyword=TrPlural:1,2 --no-wrap -o '" +
                         pot + "'" + sources)
                            .c_str()),
            0);
  // msgcmp fails on any message of the sources that ja.po does not translate.
  const std::string missing = (tmp.path() / "missing.txt").string();
  EXPECT_EQ(std::system(("msgcmp '" + (source / "po" / "ja.po").string() + "' '" + pot + "' 2>'" +
                         missing + "'")
                            .c_str()),
            0)
      << ReadAll(missing);

  // Every literal of the sources, with the comments above it.
  ASSERT_EQ(std::system((cd +
                         "xgettext --from-code=UTF-8 -C -a --add-comments='Not a message' "
                         "--no-wrap -o '" +
                         literals + "'" + sources + " 2>/dev/null")
                            .c_str()),
            0);
  auto entries = [](const std::string& text) {
    std::map<std::string, std::string> ids;  // text -> its entry
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\n\n", at);
      if (end == std::string::npos) end = text.size();
      const std::string entry = text.substr(at, end - at);
      at = end + 2;
      for (const char* key : {"\nmsgid \"", "\nmsgid_plural \""}) {
        const size_t k = ("\n" + entry).find(key);
        if (k == std::string::npos) continue;
        std::string id;
        // The text may run over several quoted lines.
        for (size_t q = k + std::strlen(key) - 2; q < entry.size() && entry[q] == '"';) {
          const size_t close = entry.find("\"\n", q + 1);
          const size_t stop = close == std::string::npos ? entry.size() - 1 : close;
          id += entry.substr(q + 1, stop - q - 1);
          q = stop + 2;
        }
        ids[id] = entry;
      }
    }
    return ids;
  };
  const auto translated = entries(ReadAll(pot));
  static const std::regex prose(R"([A-Za-z]{2,}[ ,:;]+[a-z]{2,})");
  // Command names and patterns to match (a group or an escape of a regex).
  static const std::regex notProse(R"(^brindle[a-z-]* [a-z]+$|\\\\[Sd(]|\(\.[*+]\??\)|\(\?:)");
  for (const auto& [id, entry] : entries(ReadAll(literals))) {
    if (id.empty() || translated.count(id)) continue;
    if (!std::regex_search(id, prose) || std::regex_search(id, notProse)) continue;
    // Its first place, and the comment lines right above it.
    const size_t where = entry.find("#: ") + 3;
    const std::string place = entry.substr(where, entry.find_first_of(" \n", where) - where);
    const size_t colon = place.rfind(':');
    std::vector<std::string> lines = Lines(ReadAll(source / place.substr(0, colon)));
    bool exempt = false;
    for (int n = std::stoi(place.substr(colon + 1)) - 2;
         n >= 0 && lines[n].find("//") != std::string::npos && !exempt; --n)
      exempt = lines[n].find("Not a message") != std::string::npos;
    if (!exempt) ADD_FAILURE() << "a message outside the catalogue: \"" << id << "\" at " << place;
  }
}

}  // namespace
