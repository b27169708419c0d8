// SPDX-License-Identifier: GPL-3.0-or-later
// The read and write steps the commands share.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/steps.h"
#include "jww/document.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

jww::TJwwData TextDrawing(const std::u16string& text) {
  jww::TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  EXPECT_TRUE(
      d.AddEntMoji(0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 10, 0, 3, 3, 0, 0, u"ＭＳ ゴシック", text));
  EXPECT_TRUE(d.AddEntPost());
  return d;
}

TEST(RewriteNotes, CountsCharactersCodePage932CannotHold) {
  // "é" and "😀" have no code page 932 form; the Japanese text has.
  jww::TJwwData d = TextDrawing(u"平面図 café 😀😀 é");
  d.SetFileOutOption(0);
  app::RewriteNotes n = app::CheckRewrite(d, 600);
  EXPECT_EQ(n.lostCharacters, 4);
  EXPECT_EQ(n.lostSample, u"é😀");
  EXPECT_FALSE(n.utf16BelowVersion700);
  ASSERT_EQ(app::RewriteWarnings(n).size(), 1u);
  EXPECT_NE(app::RewriteWarnings(n)[0].find("4 characters"), std::string::npos);

  d.SetFileOutOption(32);  // UTF-16 holds everything, but not in version 600
  n = app::CheckRewrite(d, 600);
  EXPECT_EQ(n.lostCharacters, 0);
  EXPECT_TRUE(n.utf16BelowVersion700);
  EXPECT_FALSE(app::CheckRewrite(d, 700).utf16BelowVersion700);
}

TEST(RewriteNotes, ImagesDroppedBelowVersion700AreCounted) {
  jww::TJwwData d = TextDrawing(u"^@BM%temp%a.png,10,10,0,0,1,0");
  d.BindImage = {{u"a.png", 10, false}, {u"b.png", 20, false}, {u"empty.png", 0, false}};
  d.BindImageN = 3;
  EXPECT_EQ(app::CheckRewrite(d, 600).droppedImages, 2);
  EXPECT_EQ(app::CheckRewrite(d, 700).droppedImages, 0);
  EXPECT_TRUE(app::RewriteWarnings(app::CheckRewrite(d, 700)).empty());
}

// English counts agree with their nouns (ngettext), one or many.
TEST(RewriteNotes, WarningsAgreeWithTheirCounts) {
  struct Case {
    int lost, dropped;
    const char* said;
  } cases[] = {{1, 0, "1 character cannot be written in code page 932 and becomes"},
               {2, 0, "2 characters cannot be written in code page 932 and become"},
               {0, 1, "1 embedded image is dropped"},
               {0, 3, "3 embedded images are dropped"}};
  for (const Case& c : cases) {
    app::RewriteNotes n;
    n.lostCharacters = c.lost;
    n.lostSample = u"é";
    n.droppedImages = c.dropped;
    const std::vector<std::string> w = app::RewriteWarnings(n);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].rfind(c.said, 0), 0u) << w[0];
  }
}

TEST(ReadDrawing, SaysWhyAFileCannotBeRead) {
  testjww::TempDir tmp{"brindle-steps"};
  jww::TJwwData d;
  std::string error;
  EXPECT_FALSE(app::ReadDrawing(d, tmp / "missing.jww", nullptr, &error));
  EXPECT_NE(error.find("no such file or folder"), std::string::npos) << error;
  std::ofstream(tmp / "text.jww") << "not a drawing at all";
  EXPECT_FALSE(app::ReadDrawing(d, tmp / "text.jww", nullptr, &error));
  EXPECT_NE(error.find("not a Jw_cad drawing"), std::string::npos) << error;

  jww::TJwwData good = TextDrawing(u"x");
  ASSERT_TRUE(good.FileOut(tmp / "good.jww", 600)) << good.LastWriteError;
  EXPECT_TRUE(app::ReadDrawing(d, tmp / "good.jww", nullptr, &error)) << error;
  EXPECT_EQ(d.EntMojiN, 1);
  // A drawing without images makes no working folder.
  app::ScopedImageFolder images((tmp.path() / "no-such-parent").string());
  EXPECT_TRUE(app::ReadDrawing(d, tmp / "good.jww", &images, &error)) << error;
  EXPECT_FALSE(images.ok());
}

TEST(SaveText, NamesFilesByTheRuleAsked) {
  testjww::TempDir tmp{"brindle-steps"};
  const std::string file = tmp / "out.txt";
  std::string error;
  EXPECT_EQ(app::SaveText(file, "one", app::NameRule::kExact, &error), file);
  EXPECT_EQ(app::SaveText(file, "two", app::NameRule::kExact, &error), "");
  EXPECT_EQ(app::SaveText(file, "three", app::NameRule::kBranch, &error), tmp / "out~1.txt");
  EXPECT_EQ(app::SaveText(file, "four", app::NameRule::kReplace, &error), file);
  std::ifstream in(file);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "four");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);
}

}  // namespace
