// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "jww/output_file.h"
#include "support/temp_dir.h"
#include "util/path.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> n;
  for (const auto& e : fs::directory_iterator(dir)) n.insert(e.path().filename().string());
  return n;
}

jww::FileContents Text(const std::string& text) {
  return [text](std::FILE* f, std::string*) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
  };
}

class Saving : public ::testing::TestWithParam<bool> {
 protected:
  testjww::TempDir tmp_{"brindle-save"};
  fs::path dir_ = tmp_.path() / "out";
  void SetUp() override { fs::create_directories(dir_); }
  jww::SaveOptions Options(int lastBranch = 0) const {
    jww::SaveOptions o;
    o.lastBranch = lastBranch;
    o.allowAnonymous = GetParam();
    return o;
  }
};

TEST_P(Saving, NewFilesTakeTheFirstFreeBranchNameAndNeverReplace) {
  const std::string plan = (dir_ / "Plan.JWW").string();
  std::string error;
  EXPECT_EQ(jww::SaveAsNewFile(plan, Text("a"), &error, Options()), plan);
  EXPECT_EQ(jww::SaveAsNewFile(plan, Text("b"), &error, Options()), "");
  EXPECT_EQ(error, jww::kNameTaken);
  EXPECT_EQ(jww::SaveAsNewFile(plan, Text("c"), &error, Options(5)),
            (dir_ / "Plan~1.jww").string());
  EXPECT_EQ(jww::SaveAsNewFile(plan, Text("d"), &error, Options(1)), "");
  EXPECT_NE(error.find("~1 is taken"), std::string::npos) << error;
  EXPECT_EQ(ReadAll(plan), "a");
  EXPECT_EQ(ReadAll(dir_ / "Plan~1.jww"), "c");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"Plan.JWW", "Plan~1.jww"}));
}

TEST_P(Saving, ReplacingPutsTheWholeFileInPlaceOrKeepsTheOld) {
  const std::string file = (dir_ / "notes.txt").string();
  std::string error;
  ASSERT_TRUE(jww::SaveReplacingFile(file, Text("old"), &error, Options())) << error;
  ASSERT_TRUE(jww::SaveReplacingFile(file, Text("new"), &error, Options())) << error;
  EXPECT_EQ(ReadAll(file), "new");
  auto failing = [](std::FILE* f, std::string* why) {
    std::fputs("half", f);
    *why = "gave up";
    return false;
  };
  EXPECT_FALSE(jww::SaveReplacingFile(file, failing, &error, Options()));
  EXPECT_EQ(error, "gave up");
  EXPECT_EQ(jww::SaveAsNewFile((dir_ / "x").string(), failing, &error, Options()), "");
  EXPECT_EQ(ReadAll(file), "new");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"notes.txt"}));
}

TEST_P(Saving, MissingFolderOrNameFailsWithTheReason) {
  std::string error;
  EXPECT_EQ(jww::SaveAsNewFile((dir_ / "no" / "a.jww").string(), Text("x"), &error, Options()), "");
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_EQ(jww::SaveAsNewFile((dir_ / "").string(), Text("x"), &error, Options()), "");
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_empty(dir_));
}

// The folder is renamed while the file is being written: the temporary file
// moves with it, and is named or removed there, never left behind.
TEST_P(Saving, AFolderRenamedMidWriteKeepsNoTemporaryFile) {
  const fs::path moved = tmp_.path() / "moved";
  auto renaming = [&](bool succeed) {
    return [&, succeed](std::FILE* f, std::string*) {
      std::fputs("first half ", f);
      std::fflush(f);
      fs::rename(dir_, moved);
      std::fputs("second half", f);
      return succeed;
    };
  };
  std::string error;
  std::string named =
      jww::SaveAsNewFile((dir_ / "a.jww").string(), renaming(true), &error, Options());
  EXPECT_EQ(named, (dir_ / "a.jww").string()) << error;
  EXPECT_EQ(Names(moved), (std::set<std::string>{"a.jww"}));
  EXPECT_EQ(ReadAll(moved / "a.jww"), "first half second half");

  fs::rename(moved, dir_);
  EXPECT_EQ(jww::SaveAsNewFile((dir_ / "b.jww").string(), renaming(false), &error, Options()), "");
  EXPECT_EQ(Names(moved), (std::set<std::string>{"a.jww"}));

  fs::rename(moved, dir_);
  EXPECT_FALSE(jww::SaveReplacingFile((dir_ / "a.jww").string(), renaming(false), &error));
  EXPECT_EQ(Names(moved), (std::set<std::string>{"a.jww"}));
  EXPECT_EQ(ReadAll(moved / "a.jww"), "first half second half");
  EXPECT_FALSE(fs::exists(dir_));
}

INSTANTIATE_TEST_SUITE_P(TemporaryFile, Saving, ::testing::Values(true, false),
                         [](const auto& info) {
                           return std::string(info.param ? "Anonymous" : "NamedFallback");
                         });

TEST(BranchNames, OneRuleForEveryOutputName) {
  EXPECT_EQ(util::BranchFileName("/d/Plan.JWW", 1), "/d/Plan~1.jww");
  EXPECT_EQ(util::BranchFileName("c:Plan", 2), "c:Plan~2");
  EXPECT_EQ(util::BranchFileName("/d.x/a.b.TXT", 99999), "/d.x/a.b~99999.txt");
}

}  // namespace
