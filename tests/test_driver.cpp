// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/convert.h"
#include "app/driver.h"
#include "jww/document.h"
#include "support/temp_dir.h"
#include "util/path.h"

namespace fs = std::filesystem;
using app::BatchDriver;
using app::BatchStatus;
using app::FolderAnswer;
using app::OutputMode;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary);
  out << data;
}

// A small drawing: two lines and a Japanese text, in format `version`.
void WriteDrawing(const fs::path& p, int version, bool utf16 = false) {
  jww::TJwwData d;
  d.Enthd.jwVer = version;
  jww::TEntJwwLine a;
  a.end_x = 100;
  jww::TEntJwwLine b;
  b.end_y = 50;
  d.EntLine = {a, b};
  d.EntLineN = 2;
  jww::TEntJwwMoji t;
  t.dSizeX = t.dSizeY = 3.5;
  t.str = u"平面図";
  t.strFontName = u"ＭＳ ゴシック";
  d.EntMoji = {t};
  d.EntMojiN = 1;
  d.EntNo = {{1, 0}, {4, 0}, {1, 1}};
  d.Enthd.n1 = 3;
  d.SetFileOutOption(utf16 ? 32 : 0);
  ASSERT_TRUE(d.FileOut(p.string(), version)) << d.LastWriteError;
}

struct FakePlatform : app::Platform {
  std::string desktop, documents;
  FolderAnswer answer;
  std::string askedStart;
  int stopAtPoll = -1;  // StopRequested is true from this poll on (0 = the first)
  int polls = 0;
  int saves = 0;
  int logPages = 0;
  std::vector<std::string> messages;
  std::vector<std::string> lines;
  std::vector<app::FileRecord> records;

  std::string DesktopFolder() override { return desktop; }
  std::string DocumentsFolder() override { return documents; }
  FolderAnswer AskFolder(const std::string& start) override {
    askedStart = start;
    return answer;
  }
  void MessageBox(const std::string& text) override { messages.push_back(text); }
  bool StopRequested() override { return stopAtPoll >= 0 && polls++ >= stopAtPoll; }
  void Log(const std::string& line) override { lines.push_back(line); }
  void ClearLog() override { lines.clear(); }
  void ShowLogPage() override { ++logPages; }
  void SaveSettings() override { ++saves; }
  void FileDone(const app::FileRecord& r) override { records.push_back(r); }

  std::string Log() const {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
  }
};

const std::string kDone = "　…… 変換完了\n";
const std::string kFailed = "　…… 変換失敗\n";

class Driver : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-driver"};
  void SetUp() override {
    root_ = tmp_.path();
    src_ = root_ / "src";
    out_ = root_ / "desk";
    fs::create_directories(src_);
    fs::create_directories(out_);
    fs::create_directories(root_ / "docs");
    fs::create_directories(root_ / "images");
    platform_.desktop = out_.string();
    platform_.documents = (root_ / "docs").string();
    settings_.SetDefaults("/opt/brindle/");
    app::ConvertOptions options;
    options.imageFolder = (root_ / "images").string();
    driver_.SetConvertOptions(options);
  }
  void TearDown() override {
    // No conversion leaves a working image folder behind.
    EXPECT_TRUE(fs::is_empty(root_ / "images"));
  }
  std::string S(const fs::path& p) const { return p.string(); }
  std::set<std::string> Names(const fs::path& dir) const {
    std::set<std::string> n;
    for (const auto& e : fs::directory_iterator(dir)) n.insert(e.path().filename().string());
    return n;
  }

  fs::path root_, src_, out_;
  FakePlatform platform_;
  app::Settings settings_;
  BatchDriver driver_{platform_, settings_};
};

TEST_F(Driver, OnlyExistingJwwFilesAreKept) {
  WriteDrawing(src_ / "A.JWW", 600);
  WriteAll(src_ / "notes.txt", "x");
  fs::create_directories(src_ / "folder.jww");
  EXPECT_FALSE(driver_.PickupFile(S(src_ / "folder.jww")));
  EXPECT_FALSE(driver_.PickupFile(S(src_ / "notes.txt")));
  EXPECT_FALSE(driver_.PickupFile(""));
  EXPECT_FALSE(driver_.PickupFile(S(src_ / "missing.jww")));
  EXPECT_TRUE(driver_.PickupFile(S(src_ / "A.JWW")));
  EXPECT_EQ(driver_.FListN, 1);

  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.status, BatchStatus::kCompleted);
  EXPECT_EQ(outcome.converted, 1);
  EXPECT_EQ(platform_.Log(), S(src_ / "A.JWW") + "\n→ " + S(out_ / "A.JWW") + "\n" + kDone);
  EXPECT_EQ(platform_.saves, 1);
  EXPECT_EQ(platform_.logPages, 1);

  // Again: the name is taken now, so the branch name has a lower-case extension.
  outcome = driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "A.JWW") + "\n→ " + S(out_ / "A~1.jww") + "\n" + kDone);
  EXPECT_EQ(Names(out_), (std::set<std::string>{"A.JWW", "A~1.jww"}));
}

TEST_F(Driver, NoAcceptableFileMeansNoBatch) {
  WriteAll(src_ / "notes.txt", "x");
  driver_.PickupFile(S(src_ / "notes.txt"));
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNoFiles);
  EXPECT_EQ(platform_.saves, 0);
  EXPECT_EQ(platform_.logPages, 0);
}

TEST_F(Driver, BesideTheSourceAlwaysBranchesAndNeverTouchesTheSource) {
  WriteDrawing(src_ / "x.jww", 700);
  const std::string original = ReadAll(src_ / "x.jww");
  settings_.SetMode(OutputMode::kBeside);
  driver_.PickupFile(S(src_ / "x.jww"));
  driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "x.jww") + "\n→ " + S(src_ / "x~1.jww") + "\n" + kDone);
  driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "x.jww") + "\n→ " + S(src_ / "x~2.jww") + "\n" + kDone);
  EXPECT_EQ(ReadAll(src_ / "x.jww"), original);
}

TEST_F(Driver, OnlyTheLastExtensionIsSplitOff) {
  WriteDrawing(src_ / "Plan.rev.jww", 600);
  WriteAll(out_ / "Plan.rev.jww", "someone else's file");
  driver_.PickupFile(S(src_ / "Plan.rev.jww"));
  driver_.RunProc();
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(out_ / "Plan.rev~1.jww"));
  EXPECT_EQ(ReadAll(out_ / "Plan.rev.jww"), "someone else's file");
}

TEST_F(Driver, TheSameFileTwiceGetsTheNextBranchNumber) {
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  driver_.PickupFile(S(src_ / "A.jww"));
  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.converted, 2);
  const std::string s = S(src_ / "A.jww");
  EXPECT_EQ(platform_.Log(), s + "\n→ " + S(out_ / "A.jww") + "\n" + kDone + s + "\n→ " +
                                 S(out_ / "A~1.jww") + "\n" + kDone);
}

TEST_F(Driver, AVersionOutsideTheRangeFails) {
  WriteDrawing(src_ / "Bad.jww", 600);
  std::string bytes = ReadAll(src_ / "Bad.jww");
  bytes[8] = static_cast<char>(0x20);  // version 800 (0x320)
  bytes[9] = static_cast<char>(0x03);
  WriteAll(src_ / "Bad.jww", bytes);
  WriteDrawing(src_ / "Plan.jww", 600);
  WriteAll(out_ / "Plan.jww", "taken");
  driver_.PickupFile(S(src_ / "Plan.jww"));
  driver_.PickupFile(S(src_ / "Bad.jww"));
  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.converted, 1);
  EXPECT_EQ(outcome.failed, 1);
  EXPECT_EQ(platform_.Log(), S(src_ / "Plan.jww") + "\n→ " + S(out_ / "Plan~1.jww") + "\n" + kDone +
                                 S(src_ / "Bad.jww") + "\n→ " + S(out_ / "Bad.jww") + "\n" +
                                 kFailed);
  EXPECT_FALSE(fs::exists(out_ / "Bad.jww"));
  EXPECT_FALSE(platform_.records.at(1).result.error.empty());
}

TEST_F(Driver, ADrawingCutShortIsNotWritten) {
  WriteDrawing(src_ / "Cut.jww", 600);
  std::string bytes = ReadAll(src_ / "Cut.jww");
  WriteAll(src_ / "Cut.jww", bytes.substr(0, bytes.size() - 40));
  driver_.PickupFile(S(src_ / "Cut.jww"));
  driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "Cut.jww") + "\n→ " + S(out_ / "Cut.jww") + "\n" + kFailed);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Driver, StopBeforeTheFirstFile) {
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  platform_.stopAtPoll = 0;
  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.status, BatchStatus::kStopped);
  EXPECT_EQ(platform_.Log(), "[ESC]を押しましたので中断します。\n");
  EXPECT_EQ(platform_.saves, 1);
  EXPECT_EQ(platform_.logPages, 1);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Driver, StopAfterTheFirstFileFinishesIt) {
  WriteDrawing(src_ / "A.jww", 600);
  WriteDrawing(src_ / "B.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  driver_.PickupFile(S(src_ / "B.jww"));
  platform_.stopAtPoll = 1;
  driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "A.jww") + "\n→ " + S(out_ / "A.jww") + "\n" + kDone +
                                 "[ESC]を押しましたので中断します。\n");
  EXPECT_EQ(Names(out_), std::set<std::string>{"A.jww"});
}

TEST_F(Driver, MissingFixedFolderStopsBeforeAnything) {
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  settings_.SetMode(OutputMode::kFixed);
  settings_.EditFl1 = S(root_ / "nowhere");
  platform_.lines = {"old log line"};
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNotStarted);
  EXPECT_EQ(platform_.messages, std::vector<std::string>{"指定したフォルダが見つかりません。\r\n" +
                                                         S(root_ / "nowhere")});
  EXPECT_EQ(platform_.lines, std::vector<std::string>{"old log line"});
  EXPECT_EQ(platform_.saves, 0);
  EXPECT_EQ(platform_.logPages, 0);
  EXPECT_EQ(driver_.FListN, 1);
}

TEST_F(Driver, EmptyFixedFolderSaysNoneIsChosen) {
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  settings_.SetMode(OutputMode::kFixed);
  settings_.EditFl1.clear();
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNotStarted);
  EXPECT_EQ(platform_.messages, std::vector<std::string>{app::NoFolderChosenMessage()});
  EXPECT_EQ(platform_.saves, 0);
}

TEST_F(Driver, MissingDesktopOrDocumentsFolderIsSaidOnceAndStartsNothing) {
  WriteDrawing(src_ / "A.jww", 600);
  WriteDrawing(src_ / "B.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  driver_.PickupFile(S(src_ / "B.jww"));
  platform_.lines = {"old log line"};
  platform_.desktop = S(root_ / "no-desktop");
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNotStarted);
  ASSERT_EQ(platform_.messages.size(), 1u);
  EXPECT_EQ(platform_.messages[0], app::MissingStandardFolderMessage(S(root_ / "no-desktop")));
  EXPECT_NE(platform_.messages[0].find(S(root_ / "no-desktop")), std::string::npos);

  settings_.SetMode(OutputMode::kDocuments);
  platform_.documents.clear();  // the system could not say where it is
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNotStarted);
  EXPECT_EQ(platform_.messages.size(), 2u);
  EXPECT_EQ(platform_.lines, std::vector<std::string>{"old log line"});
  EXPECT_EQ(platform_.saves, 0);
  EXPECT_EQ(platform_.logPages, 0);
  EXPECT_EQ(driver_.FListN, 2);
  EXPECT_FALSE(fs::exists(root_ / "no-desktop"));
}

TEST_F(Driver, FixedFolderAndDocumentsFolder) {
  WriteDrawing(src_ / "A.jww", 230);
  driver_.PickupFile(S(src_ / "A.jww"));
  settings_.SetMode(OutputMode::kFixed);
  settings_.EditFl1 = S(root_ / "docs");  // without a trailing separator
  driver_.RunProc();
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(root_ / "docs" / "A.jww"));
  settings_.SetMode(OutputMode::kDocuments);
  driver_.RunProc();
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(root_ / "docs" / "A~1.jww"));
}

TEST_F(Driver, AskModeUsesTheAnswerOrThePreviousFolder) {
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  settings_.SetMode(OutputMode::kAsk);
  settings_.LabelPreFolder = S(out_) + "/";

  platform_.answer = {FolderAnswer::Kind::kChosen, S(root_ / "docs")};
  driver_.RunProc();
  EXPECT_EQ(platform_.askedStart, S(out_) + "/");
  EXPECT_EQ(settings_.LabelPreFolder, S(root_ / "docs") + "/");
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(root_ / "docs" / "A.jww"));

  platform_.answer = {FolderAnswer::Kind::kCancelled, {}};
  driver_.RunProc();
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(root_ / "docs" / "A~1.jww"));

  platform_.answer = {FolderAnswer::Kind::kUnavailable, {}};
  int saves = platform_.saves;
  EXPECT_EQ(driver_.RunProc().status, BatchStatus::kNotStarted);
  EXPECT_EQ(platform_.saves, saves);
}

// The question of mode 5 offers the folder of last time, else the desktop,
// else the current folder; the program's folder only to a portable install.
TEST_F(Driver, AskOffersNeverTheProgramsFolderUnlessPortable) {
  const std::string programs = S(root_ / "bin"), desk = S(out_), here = S(fs::current_path()) + "/";
  fs::create_directories(programs);
  struct Case {
    std::string last, desktop;
    bool portable;
    std::string offered;
  } cases[] = {
      {S(src_), desk, false, S(src_) + "/"},        {programs + "/", desk, false, desk + "/"},
      {programs, desk, true, programs + "/"},       {programs, S(root_ / "none"), false, here},
      {S(root_ / "gone"), desk, false, desk + "/"}, {"", "", false, here},
  };
  for (const Case& c : cases)
    EXPECT_EQ(app::AskStartFolder(c.last, c.desktop, programs, c.portable), c.offered) << c.last;

  // The settings' default (the program's folder) is not where an unanswered
  // question writes.
  WriteDrawing(src_ / "A.jww", 600);
  driver_.PickupFile(S(src_ / "A.jww"));
  settings_.SetMode(OutputMode::kAsk);
  settings_.LabelPreFolder = app::ProgramFolder();
  platform_.answer = {FolderAnswer::Kind::kCancelled, {}};
  driver_.RunProc();
  EXPECT_EQ(platform_.askedStart, desk + "/");
  EXPECT_EQ(platform_.lines.at(1), "→ " + S(out_ / "A.jww"));
  EXPECT_EQ(settings_.LabelPreFolder, desk + "/");
}

TEST_F(Driver, OutputKeepsVersionAndStringEncoding) {
  WriteDrawing(src_ / "old.jww", 230);
  WriteDrawing(src_ / "wide.jww", 700, /*utf16=*/true);
  WriteDrawing(src_ / "ansi.jww", 700, /*utf16=*/false);
  for (const char* n : {"old.jww", "wide.jww", "ansi.jww"}) driver_.PickupFile(S(src_ / n));
  EXPECT_EQ(driver_.RunProc().converted, 3);
  for (const auto& [name, version, wide] :
       {std::tuple{"old.jww", 230, false}, {"wide.jww", 700, true}, {"ansi.jww", 700, false}}) {
    jww::TJwwData d;
    ASSERT_TRUE(d.FileIn(S(out_ / name))) << name;
    EXPECT_EQ(d.Enthd.jwVer, version) << name;
    EXPECT_EQ(d.MojiEncode, wide) << name;
    EXPECT_EQ(d.EntLineN, 2) << name;
    ASSERT_EQ(d.EntMojiN, 1) << name;
    EXPECT_EQ(d.EntMoji[0].str, u"平面図") << name;
  }
  EXPECT_EQ(platform_.records.at(0).result.entitiesWritten, 3);
}

TEST_F(Driver, ParallelWorkersLogInInputOrder) {
  std::vector<std::string> inputs;
  for (int i = 0; i < 12; ++i) {
    fs::path p = src_ / ("f" + std::to_string(i) + ".jww");
    WriteDrawing(p, i % 2 ? 700 : 600);
    inputs.push_back(S(p));
  }
  inputs.push_back(inputs[3]);  // twice: must branch
  for (const std::string& in : inputs) driver_.PickupFile(in);
  driver_.SetJobs(4);
  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.converted, 13);
  std::string expected;
  for (size_t i = 0; i < inputs.size(); ++i) {
    ASSERT_EQ(platform_.records.at(i).index, i);
    expected += inputs[i] + "\n→ " + platform_.records[i].result.output + "\n" + kDone;
  }
  EXPECT_EQ(platform_.Log(), expected);
  std::set<std::string> outputs;
  for (const auto& r : platform_.records) outputs.insert(r.result.output);
  EXPECT_EQ(outputs.size(), 13u);
  EXPECT_EQ(Names(out_).size(), 13u);
  EXPECT_TRUE(fs::exists(out_ / "f3.jww"));
  EXPECT_TRUE(fs::exists(out_ / "f3~1.jww"));
}

TEST_F(Driver, ParallelStopFinishesWhatWasTakenAndKeepsOrder) {
  for (int i = 0; i < 6; ++i) {
    WriteDrawing(src_ / ("f" + std::to_string(i) + ".jww"), 600);
    driver_.PickupFile(S(src_ / ("f" + std::to_string(i) + ".jww")));
  }
  platform_.stopAtPoll = 3;  // three files are taken, then the stop is seen
  driver_.SetJobs(3);
  auto outcome = driver_.RunProc();
  EXPECT_EQ(outcome.status, BatchStatus::kStopped);
  EXPECT_EQ(outcome.converted, 3);
  ASSERT_EQ(platform_.lines.size(), 10u);
  EXPECT_EQ(platform_.lines[0], S(src_ / "f0.jww"));
  EXPECT_EQ(platform_.lines[6], S(src_ / "f2.jww"));
  EXPECT_EQ(platform_.lines[9], "[ESC]を押しましたので中断します。");
  EXPECT_EQ(Names(out_).size(), 3u);
}

TEST_F(Driver, ExplosionWarningsBecomeLogLines) {
  jww::TJwwData d;
  d.DataDefaultSet();
  ASSERT_TRUE(d.AddEntPre());
  for (int i = 0; i < 17; ++i) {
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"F" + std::u16string(1, u'A' + i)));
    ASSERT_TRUE(d.AddBlkLine(i, 0, 0, 0, 1, 1, 0, 0, 0, 0, 10, 0));
    d.AddBlkDefPost(i);
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, i, 100.0 * i, 0, 1, 1, 0));
  }
  ASSERT_TRUE(d.AddEntPost());
  ASSERT_TRUE(d.FileOut(S(src_ / "many.jww"), 700));
  driver_.PickupFile(S(src_ / "many.jww"));
  driver_.RunProc();
  EXPECT_EQ(platform_.Log(), S(src_ / "many.jww") + "\n→ " + S(out_ / "many.jww") +
                                 "\n　※ 17 SXF figures found; only the first 15 were exploded\n" +
                                 kDone);
  EXPECT_EQ(platform_.records.at(0).result.figures, 15);
  EXPECT_EQ(platform_.records.at(0).result.copies, 15);
}

// ---- one conversion ----

class Convert : public Driver {};

TEST_F(Convert, BranchNamesKeepOnlyTheLastExtensionLowerCased) {
  EXPECT_EQ(util::BranchFileName("/d/Plan.JWW", 1), "/d/Plan~1.jww");
  EXPECT_EQ(util::BranchFileName("/d/Plan.rev.Jww", 12), "/d/Plan.rev~12.jww");
  EXPECT_EQ(util::BranchFileName("/d.x/noext", 3), "/d.x/noext~3");
}

TEST_F(Convert, NeverReplacesAndGivesUpAfterTheLastBranchNumber) {
  EXPECT_EQ(util::kMaxBranchNumber, 99999);
  jww::TJwwData d;
  d.Enthd.jwVer = 600;
  const std::string dst = S(out_ / "P.jww");
  WriteAll(dst, "mine");
  for (int n = 1; n <= 3; ++n) WriteAll(util::BranchFileName(dst, n), "x");
  std::string error;
  EXPECT_EQ(app::WriteDocument(d, dst, 600, app::NameRule::kBranch, &error, 3), "");
  EXPECT_NE(error.find("~3 is taken"), std::string::npos) << error;
  EXPECT_EQ(ReadAll(dst), "mine");
  EXPECT_EQ(ReadAll(util::BranchFileName(dst, 3)), "x");
  // Nothing else (no temporary file) was left in the folder.
  EXPECT_EQ(Names(out_).size(), 4u);
  EXPECT_EQ(app::WriteDocument(d, dst, 600, app::NameRule::kBranch, &error, 4),
            S(out_ / "P~4.jww"));
}

TEST_F(Convert, WriteDocumentRules) {
  jww::TJwwData d;
  d.Enthd.jwVer = 600;
  std::string error;
  const std::string dst = S(out_ / "D.jww");
  EXPECT_EQ(app::WriteDocument(d, dst, 600, app::NameRule::kExact, &error), dst);
  EXPECT_EQ(app::WriteDocument(d, dst, 600, app::NameRule::kExact, &error), "");
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(app::WriteDocument(d, dst, 600, app::NameRule::kBranch, &error), S(out_ / "D~1.jww"));
  WriteAll(dst, "old");
  EXPECT_EQ(app::WriteDocument(d, dst, 420, app::NameRule::kReplace, &error), dst);
  jww::TJwwData back;
  EXPECT_TRUE(back.FileIn(dst));
  EXPECT_EQ(back.Enthd.jwVer, 420);
  EXPECT_EQ(
      app::WriteDocument(d, S(root_ / "nowhere" / "D.jww"), 600, app::NameRule::kBranch, &error),
      "");
  EXPECT_EQ(Names(out_), (std::set<std::string>{"D.jww", "D~1.jww"}));
}

}  // namespace
