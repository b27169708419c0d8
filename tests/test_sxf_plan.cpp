// SPDX-License-Identifier: GPL-3.0-or-later
// The SXF explosion plan against the explosion itself: for every drawing the
// plan's figures, groups, placements and copies must be what DataTransJWW
// then does. Also the ASCII marker test, in the Turkish locale where
// linguistic upper-casing turns "i" into "İ".
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "jww/sxf_explode.h"
#include "jww/sxf_plan.h"
#include "support/block_drawings.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"

using namespace jww;
using namespace testjww;
namespace fs = std::filesystem;

namespace {

// Records the conversion appended, by the layer group they went to. Counted
// in the arrays, since a re-placed nested figure placement leaves the draw
// order again when its own figure is exploded.
std::map<int, int64_t> AppendedByGroup(const TJwwData& before, const TJwwData& after) {
  std::map<int, int64_t> groups;
  auto count = [&](const auto& records, int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i) ++groups[records[i].att.nGLayer];
  };
  count(after.EntLine, before.EntLineN, after.EntLineN);
  count(after.EntEnko, before.EntEnkoN, after.EntEnkoN);
  count(after.EntTen, before.EntTenN, after.EntTenN);
  count(after.EntMoji, before.EntMojiN, after.EntMojiN);
  count(after.EntSunpo, before.EntSunpoN, after.EntSunpoN);
  count(after.EntSolid, before.EntSolidN, after.EntSolidN);
  count(after.EntBlock, before.EntBlockN, after.EntBlockN);
  return groups;
}

// Plans `doc`, converts a copy, and checks that the two agree in every count.
SxfPlan ExpectPlanMatchesConversion(const TJwwData& doc, const std::string& what) {
  SCOPED_TRACE(what);
  const SxfPlan plan = PlanSxfExplosion(doc);
  TJwwData converted = doc;
  const ExplodeReport report = DataTransJWW(converted);
  EXPECT_EQ(plan.exploded, report.figures);
  EXPECT_EQ(plan.figuresLeft, report.figuresLeft);
  EXPECT_EQ(plan.placements, report.placements);
  EXPECT_EQ(plan.copies, report.copies);

  std::map<int, int64_t> planned;
  for (const SxfFigurePlan& f : plan.figures) {
    if (f.group > 0 && f.copies > 0) planned[f.group] += f.copies;
    // A figure's definition keeps its members exactly when the plan says so.
    const TEntJwwBlockDef& def = converted.EntBlockDef[f.definition];
    if (f.group > 0 && doc.EntBlockN > 0) {
      EXPECT_EQ(def.N != 0, f.kept) << "figure " << f.group;
    }
  }
  EXPECT_EQ(planned, AppendedByGroup(doc, converted));
  return plan;
}

// A figure of `lines` line members, named as an SXF figure.
int AddFigure(TJwwData& doc, uint32_t number, const std::u16string& name, int lines) {
  const int d = AddDefinition(doc, number, name + u"@@SFIGORGFLAG@@1");
  for (int i = 0; i < lines; ++i) AddMemberLine(doc, d, i, 0, i, 1);
  return d;
}

}  // namespace

TEST(SxfMarker, FoundInAnyAsciiCaseButNotOtherwise) {
  EXPECT_TRUE(IsSxfFigureName(u"door@@SFIGORGFLAG@@1"));
  EXPECT_TRUE(IsSxfFigureName(u"FIG1@@SfigOrgFlag@@2"));
  EXPECT_TRUE(IsSxfFigureName(u"@@sfigorgflag@@1tail"));
  EXPECT_FALSE(IsSxfFigureName(u"door@@SFIGORGFLAG@@3"));
  EXPECT_FALSE(IsSxfFigureName(u"door@@SFIG12"));
  EXPECT_FALSE(IsSxfFigureName(u"@@SFIGORGFLAG@@"));
  // Only ASCII letters fold: a dotted capital İ or a full-width letter is not
  // the marker's "i".
  EXPECT_FALSE(IsSxfFigureName(u"x@@SF\u0130GORGFLAG@@1"));
  EXPECT_FALSE(IsSxfFigureName(u"x@@\uFF33FIGORGFLAG@@1"));
}

TEST(SxfPlan, EmptyAndFigureLessDrawingsPlanNothing) {
  TJwwData doc = NewDrawing();
  SxfPlan plan = ExpectPlanMatchesConversion(doc, "empty");
  EXPECT_TRUE(plan.figures.empty());

  const int user = AddDefinition(doc, 1, u"north");
  AddMemberLine(doc, user, 0, 0, 1, 1);
  AddTopLevel(doc, Insertion(1));
  doc.MakeBlockTree();
  plan = ExpectPlanMatchesConversion(doc, "user block only");
  EXPECT_TRUE(plan.figures.empty());
  EXPECT_EQ(plan.copies, 0);
}

TEST(SxfPlan, FiguresWithoutPlacementsOrWithoutInsertionsAtAll) {
  TJwwData doc = NewDrawing();
  AddFigure(doc, 1, u"A", 3);
  AddDefinition(doc, 2, u"E@@SFIGORGFLAG@@1");  // no members: takes no group
  AddFigure(doc, 3, u"B", 2);
  doc.MakeBlockTree();
  // No insertion anywhere: the explosion leaves the drawing alone.
  SxfPlan plan = ExpectPlanMatchesConversion(doc, "no insertions");
  ASSERT_EQ(plan.figures.size(), 2u);
  EXPECT_EQ(plan.figures[0].group, 1);
  EXPECT_EQ(plan.figures[1].group, 2);
  EXPECT_EQ(plan.figures[1].name, u"B@@SFIGORGFLAG@@1");

  AddTopLevel(doc, Insertion(3, 5, 5));
  AddTopLevel(doc, Insertion(3, 9, 9, 2, 2));
  doc.MakeBlockTree();
  plan = ExpectPlanMatchesConversion(doc, "B placed twice");
  EXPECT_EQ(plan.figures[0].placements, 0);
  EXPECT_EQ(plan.figures[1].placements, 2);
  EXPECT_EQ(plan.figures[1].treePlacements, 2);
  EXPECT_EQ(plan.figures[1].copies, 4);
  EXPECT_EQ(plan.copies, 4);
}

TEST(SxfPlan, NestedFiguresInEitherDefinitionOrder) {
  // Three deep: outer places middle twice, middle places inner once.
  for (bool innerFirst : {false, true}) {
    TJwwData doc = NewDrawing();
    int inner = -1;
    if (innerFirst) inner = AddFigure(doc, 3, u"inner", 2);
    const int middle = AddFigure(doc, 2, u"middle", 1);
    const int outer = AddFigure(doc, 1, u"outer", 1);
    if (!innerFirst) inner = AddFigure(doc, 3, u"inner", 2);
    AddMemberInsertion(doc, middle, Insertion(3, 1, 0));
    AddMemberInsertion(doc, outer, Insertion(2, 0, 1, 1, -1));
    AddMemberInsertion(doc, outer, Insertion(2, 0, 2, 2, 2, 0.5));
    AddTopLevel(doc, Insertion(1, 10, 10));
    AddTopLevel(doc, Insertion(1, 20, 10, 1, 1, 1.0));
    doc.MakeBlockTree();
    const SxfPlan plan =
        ExpectPlanMatchesConversion(doc, innerFirst ? "inner first" : "outer first");
    const SxfFigurePlan* in = nullptr;
    for (const SxfFigurePlan& f : plan.figures) {
      if (f.definition == inner) in = &f;
    }
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->treePlacements, 4);  // 2 outer × 2 middle × 1 inner
    EXPECT_EQ(in->placements, 4);
    EXPECT_EQ(in->copies, 8);
    EXPECT_FALSE(in->kept);
  }
}

TEST(SxfPlan, FigureInsideAUserBlockIsKept) {
  TJwwData doc = NewDrawing();
  const int fig = AddFigure(doc, 1, u"door", 2);
  const int user = AddDefinition(doc, 2, u"room");
  AddMemberLine(doc, user, 0, 0, 5, 0);
  AddMemberInsertion(doc, user, Insertion(1, 1, 1));
  AddTopLevel(doc, Insertion(2));
  AddTopLevel(doc, Insertion(1, 3, 3));
  doc.MakeBlockTree();
  const SxfPlan plan = ExpectPlanMatchesConversion(doc, "figure in user block");
  ASSERT_EQ(plan.figures.size(), 1u);
  EXPECT_EQ(plan.figures[0].definition, fig);
  EXPECT_EQ(plan.figures[0].treePlacements, 2);
  EXPECT_EQ(plan.figures[0].placements, 1);  // the nested one stays a placement
  EXPECT_TRUE(plan.figures[0].kept);
}

TEST(SxfPlan, MoreThanFifteenFiguresLeaveTheRestAsBlocks) {
  TJwwData doc = NewDrawing();
  for (uint32_t n = 1; n <= 18; ++n) {
    AddFigure(doc, n, u"F" + std::u16string(1, static_cast<char16_t>(u'a' + n)), 1 + n % 3);
    AddTopLevel(doc, Insertion(n, n, 0));
  }
  // The 17th figure is also placed inside the first one.
  AddMemberInsertion(doc, 0, Insertion(17, 0, 0));
  doc.MakeBlockTree();
  const SxfPlan plan = ExpectPlanMatchesConversion(doc, "18 figures");
  EXPECT_EQ(plan.exploded, 15);
  EXPECT_EQ(plan.figuresLeft, 3);
  ASSERT_EQ(plan.figures.size(), 18u);
  EXPECT_EQ(plan.figures[16].group, 0);
  EXPECT_EQ(plan.figures[16].placements, 0);
  EXPECT_TRUE(plan.figures[16].kept);

  const TJwwData generated = tools::MakeSxfBenchDrawing(20, 6, 200, 7);
  ExpectPlanMatchesConversion(generated, "generated, 20 figures");
}

TEST(SxfPlan, FiguresPlacingThemselvesSettleAsTheExplosionDoes) {
  TJwwData doc = NewDrawing();
  const int a = AddFigure(doc, 1, u"a", 1);
  const int b = AddFigure(doc, 2, u"b", 2);
  AddMemberInsertion(doc, a, Insertion(1, 1, 0));  // a places itself
  AddMemberInsertion(doc, b, Insertion(1, 0, 1));  // and b places a
  AddTopLevel(doc, Insertion(2));
  AddTopLevel(doc, Insertion(1));
  doc.MakeBlockTree();
  const SxfPlan plan = ExpectPlanMatchesConversion(doc, "self-placing figure");
  EXPECT_TRUE(plan.figures[0].kept);
  EXPECT_GT(plan.figures[0].placements, 2);
}

TEST(SxfPlan, SamplePlanAndCorpusDrawings) {
  ExpectPlanMatchesConversion(tools::MakeSamplePlan(), "sample plan");
  const auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  int drawings = 0;
  for (const auto& e : fs::recursive_directory_iterator(*dir)) {
    if (e.path().extension() != ".jww" || drawings >= 40) continue;
    TJwwData doc;
    if (!doc.FileCheck(e.path().string()) || !doc.FileIn(e.path().string())) continue;
    ExpectPlanMatchesConversion(doc, e.path().filename().string());
    ++drawings;
  }
  EXPECT_GT(drawings, 0);
}

// Linguistic upper-casing under a Turkish locale makes "@@SfigorgFlag@@"
// "@@SFİGORGFLAG@@": the command line must still find every figure.
TEST(SxfMarker, TurkishLocaleStillFindsTheSampleFigures) {
  const char* bin = std::getenv("BRINDLE_BIN_DIR");
  const char* source = std::getenv("BRINDLE_SOURCE_DIR");
  if (bin == nullptr || source == nullptr) GTEST_SKIP() << "run through ctest";
  TempDir tmp("brindle-tr");
  const fs::path locales = tmp.path() / "locales";
  fs::create_directories(locales);
  const std::string make =
      "localedef -i tr_TR -f UTF-8 " + (locales / "tr_TR.UTF-8").string() + " >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0 || !fs::exists(locales / "tr_TR.UTF-8")) {
    GTEST_SKIP() << "localedef cannot make tr_TR.UTF-8 here (package locales missing?)";
  }
  for (const char* d : {"home", "config", "out"}) fs::create_directories(tmp.path() / d);
  const fs::path out = tmp.path() / "stdout";
  const std::string cmd =
      "env -i LOCPATH=" + locales.string() + " LANG=tr_TR.UTF-8" +
      " LC_ALL=tr_TR.UTF-8 HOME=" + (tmp.path() / "home").string() +
      " XDG_CONFIG_HOME=" + (tmp.path() / "config").string() + " " +
      (fs::path(bin) / "brindle").string() + " --json -o " + (tmp.path() / "out").string() + " " +
      (fs::path(source) / "samples" / "plan.jww").string() + " >" + out.string() + " 2>/dev/null";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << cmd;
  EXPECT_EQ(WEXITSTATUS(status), 0) << cmd;
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  const std::string json = text.str();
  const size_t at = json.find("\"figures\":");
  ASSERT_NE(at, std::string::npos) << json;
  EXPECT_GT(std::atoi(json.c_str() + at + 10), 0) << json;

  // The same figures as the plan finds in the drawing itself.
  TJwwData doc;
  ASSERT_TRUE(doc.FileIn((fs::path(source) / "samples" / "plan.jww").string()));
  EXPECT_EQ(std::atoi(json.c_str() + at + 10), PlanSxfExplosion(doc).exploded);
}
