// SPDX-License-Identifier: GPL-3.0-or-later
// brindle diff: drawings against themselves, their rewrites and conversions,
// and copies with edits the tests make and therefore know.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "jww/diff.h"
#include "jww/document.h"
#include "jww/sxf_explode.h"
#include "support/brindle_run.h"
#include "support/corpus.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"

namespace {

namespace fs = std::filesystem;
using jww::EntityChange;
using jww::TJwwData;

TJwwData ReadBack(TJwwData& doc, const fs::path& path, int32_t version) {
  EXPECT_TRUE(doc.FileOut(path.string(), version)) << path;
  TJwwData back;
  EXPECT_TRUE(back.FileIn(path.string())) << path;
  return back;
}

TJwwData Read(const fs::path& path) {
  TJwwData doc;
  EXPECT_TRUE(doc.FileIn(path.string())) << path;
  return doc;
}

std::vector<fs::path> Drawings() {
  std::vector<fs::path> out;
  if (auto dir = CorpusDir())
    for (const char* name : {"jww-diff-jww-1.jww", "ezjww-Test1.jww", "ezjww-block-2blocks.jww",
                             "ezjww-block-copy-block.jww"})
      out.push_back(*dir / name);
  return out;
}

using KindChange = std::pair<EntityChange, int32_t>;

// (change, kind) of every entity reported, sorted.
std::multiset<KindChange> Changes(const jww::DrawingDiff& d) {
  std::multiset<KindChange> s;
  for (const jww::EntityDiff& e : d.entities) s.insert({e.change, e.kind});
  return s;
}

class Diff : public ::testing::Test {
 protected:
  testjww::TempDir tmp_{"brindle-diff"};
  fs::path P(const std::string& name) const { return tmp_.path() / name; }
};

TEST_F(Diff, DrawingAgainstItselfAndItsRewrites) {
  TJwwData plan = tools::MakeSamplePlan();
  std::vector<std::pair<fs::path, TJwwData>> docs;
  docs.emplace_back("plan", ReadBack(plan, P("plan.jww"), 700));
  for (const fs::path& p : Drawings()) docs.emplace_back(p, Read(p));
  for (auto& [name, doc] : docs) {
    SCOPED_TRACE(name.string());
    for (bool placed : {false, true})
      EXPECT_TRUE(jww::DiffDrawings(doc, doc, {1e-6, placed}).Same());
    // The plan has SXF colours, widths and SXF dimensions, which versions
    // before 600 cannot carry; the real drawings have none of these.
    const std::vector<int32_t> versions =
        name == "plan" ? std::vector<int32_t>{600, 700} : std::vector<int32_t>{230, 420, 600, 700};
    for (int32_t version : versions) {
      SCOPED_TRACE(version);
      TJwwData other = ReadBack(doc, P("v.jww"), version);
      const jww::DrawingDiff d = jww::DiffDrawings(doc, other);
      EXPECT_FALSE(d.DrawingDiffers());
      EXPECT_EQ(d.counts.same,
                d.counts.same + d.counts.removed + d.counts.added + d.counts.changed);
      // Only the version and fields it cannot store, each said to be such.
      for (const jww::HeaderDiff& h : d.header)
        EXPECT_TRUE(h.field == jww::HeaderField::kVersion || h.notCarried) << h.name;
      EXPECT_EQ(d.versionAfter, version);
    }
  }
}

// The sample plan with edits made here: two lines moved, a text changed, a
// layer renamed, a block placement removed.
struct PlanEdits {
  TJwwData before = tools::MakeSamplePlan(), after = tools::MakeSamplePlan();
  std::u16string oldText;
  PlanEdits() {
    for (int i : {0, 1}) {
      after.EntLine[i].start_x += 0.5;
      after.EntLine[i].end_x += 0.5;
      after.EntLine[i].start_y -= 0.25;
      after.EntLine[i].end_y -= 0.25;
    }
    oldText = after.EntMoji[0].str;
    after.EntMoji[0].str = u"書斎";
    after.EntLay[3].aStrLayName = u"改名";
    auto insertion = std::find_if(after.EntNo.begin(), after.EntNo.end(),
                                  [](const jww::TEntJwwNo& n) { return n.EntType == jww::kBlock; });
    *insertion = {0, 0};
  }
};

TEST_F(Diff, SamplePlanWithKnownEdits) {
  PlanEdits e;
  TJwwData before = ReadBack(e.before, P("old.jww"), 700);
  TJwwData after = ReadBack(e.after, P("new.jww"), 700);
  const jww::DrawingDiff d = jww::DiffDrawings(before, after);
  EXPECT_EQ(Changes(d), (std::multiset<KindChange>{{EntityChange::kRemoved, jww::kLine},
                                                   {EntityChange::kRemoved, jww::kLine},
                                                   {EntityChange::kRemoved, jww::kBlock},
                                                   {EntityChange::kAdded, jww::kLine},
                                                   {EntityChange::kAdded, jww::kLine},
                                                   {EntityChange::kChanged, jww::kMoji}}));
  ASSERT_EQ(d.header.size(), 1u);
  EXPECT_EQ(d.header[0].field, jww::HeaderField::kLayerName);
  EXPECT_EQ(d.header[0].group * 16 + d.header[0].layer, 3);
  EXPECT_EQ(d.header[0].after, "改名");
  EXPECT_TRUE(d.blocks.empty());
  EXPECT_TRUE(d.images.empty());

  // The command says the same, in text and in JSON.
  const auto text = testjww::RunBrindle({"diff", P("old.jww"), P("new.jww")}, tmp_.path());
  EXPECT_EQ(text.rc, 1) << text.err;
  for (const char* line : {"3 removed, 2 added, 1 changed", "name of layer 0-3: 設備 → 改名",
                           "~ text", "text 居間・食堂 → 書斎", "- block insertion"})
    EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
  const auto json =
      testjww::RunBrindle({"diff", "--json", P("old.jww"), P("new.jww")}, tmp_.path());
  EXPECT_EQ(json.rc, 1);
  const nlohmann::json j = nlohmann::json::parse(json.out);
  EXPECT_EQ(j["counts"]["removed"], 3);
  EXPECT_EQ(j["counts"]["added"], 2);
  EXPECT_EQ(j["counts"]["changed"], 1);
  EXPECT_EQ(j["header"][0]["field"], "layerName");
  const auto text_change =
      nlohmann::json::parse(R"([{"field":"text","before":"居間・食堂","after":"書斎"}])");
  for (const auto& x : j["entities"]) {
    if (x["change"] == "changed") {
      EXPECT_EQ(x["fields"], text_change);
    }
  }
}

TEST_F(Diff, ConversionChangesOnlyLayerGroupsWhenPlaced) {
  TJwwData source = tools::MakeSamplePlan();
  source = ReadBack(source, P("plan.jww"), 700);
  TJwwData converted = source;
  ASSERT_GT(jww::DataTransJWW(converted).copies, 0);
  const jww::DrawingDiff d = jww::DiffDrawings(source, converted, {1e-6, true});
  EXPECT_EQ(d.counts.removed, 0);
  EXPECT_EQ(d.counts.added, 0);
  EXPECT_GT(d.counts.changed, 0);
  for (const jww::EntityDiff& e : d.entities)
    for (const jww::FieldChange& f : e.fields)
      EXPECT_TRUE(f.field == "layer group" || f.field == "layer") << f.field;
  for (const jww::HeaderDiff& h : d.header)
    EXPECT_TRUE(h.group >= 0) << h.name;  // states, names and scales of groups and layers
}

// A real drawing with entities moved and one added through the builders;
// the picture of the differences has the ink of exactly those kinds.
TEST_F(Diff, CorpusDrawingWithMovedAndAddedEntities) {
  const auto dir = CorpusDir();
  if (!dir) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  const fs::path source = *dir / "jww-diff-jww-1.jww";
  TJwwData doc = Read(source);
  for (int i : {0, 4}) {
    doc.EntLine[i].start_x += 10;
    doc.EntLine[i].end_x += 10;
  }
  ASSERT_TRUE(doc.AddEntPre());
  ASSERT_TRUE(doc.AddEntArc(0, 0, 2, 5, 1, 0, 0, 20, 20, 10, 1, 0, 360, 0));
  ASSERT_TRUE(doc.AddEntPost());
  ASSERT_TRUE(doc.FileOut(P("edited.jww").string(), 700));
  const jww::DrawingDiff d = jww::DiffDrawings(Read(source), Read(P("edited.jww")));
  EXPECT_EQ(Changes(d), (std::multiset<KindChange>{{EntityChange::kRemoved, jww::kLine},
                                                   {EntityChange::kRemoved, jww::kLine},
                                                   {EntityChange::kAdded, jww::kLine},
                                                   {EntityChange::kAdded, jww::kLine},
                                                   {EntityChange::kAdded, jww::kEnko}}));
  for (const jww::HeaderDiff& h : d.header) EXPECT_TRUE(h.notCarried) << h.name;
  EXPECT_EQ(d.counts.same, 6);

  // The legend names every colour once; strokes of a colour come on top.
  auto count = [](const std::string& svg, const std::string& colour) {
    size_t n = 0;
    for (size_t at = svg.find(colour); at != svg.npos; at = svg.find(colour, at + 1)) ++n;
    return n;
  };
  const fs::path self = P("self.svg"), changes = P("changes.svg");
  EXPECT_EQ(testjww::RunBrindle({"diff", source, source, "-o", self}, tmp_.path()).rc, 0);
  EXPECT_EQ(testjww::RunBrindle({"diff", source, P("edited.jww"), "-o", changes}, tmp_.path()).rc,
            1);
  const std::string a = testjww::ReadWholeFile(self), b = testjww::ReadWholeFile(changes);
  EXPECT_GT(count(b, "#d62020"), count(a, "#d62020"));  // removed
  EXPECT_GT(count(b, "#1f5fe0"), count(a, "#1f5fe0"));  // added
  EXPECT_EQ(count(b, "#f08a00"), count(a, "#f08a00"));  // nothing changed in place
}

// One drawing of a few entities against another: what the matching makes
// of small differences.
TEST(DiffMatching, SmallDifferences) {
  using Build = std::function<void(TJwwData&)>;
  const Build line = [](TJwwData& d) { d.AddEntLine(0, 0, 1, 2, 1, 0, 0, 10, 10, 50, 20); };
  const Build circle = [](TJwwData& d) {
    d.AddEntArc(0, 0, 1, 2, 1, 0, 8, 5, 5, 3, 0.5, 0, 360, 30);
  };
  const Build arc = [](TJwwData& d) { d.AddEntArc(0, 0, 1, 2, 1, 0, 0, 5, 5, 3, 1, 10, 80, 0); };
  const Build text = [](TJwwData& d) {
    d.AddEntMoji(0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 30, 0, 3, 3, 0, 0, u"ＭＳ ゴシック", u"平面図");
  };
  struct Case {
    const char* what;
    Build before, after;
    jww::DiffCounts expected;  // same, removed, added, changed
    const char* field = nullptr;
  };
  const std::vector<Case> cases = {
      {"line the other way round",
       line,
       [](TJwwData& d) { d.AddEntLine(0, 0, 1, 2, 1, 0, 0, 50, 20, 10, 10); },
       {1, 0, 0, 0}},
      {"within the tolerance",
       line,
       [](TJwwData& d) { d.AddEntLine(0, 0, 1, 2, 1, 0, 0, 10 + 5e-7, 10, 50, 20); },
       {1, 0, 0, 0}},
      {"beyond it",
       line,
       [](TJwwData& d) { d.AddEntLine(0, 0, 1, 2, 1, 0, 0, 10 + 2e-6, 10, 50, 20); },
       {0, 1, 1, 0}},
      {"on another layer",
       line,
       [](TJwwData& d) { d.AddEntLine(0, 0, 4, 2, 1, 0, 0, 10, 10, 50, 20); },
       {0, 0, 0, 1},
       "layer"},
      {"another colour",
       line,
       [](TJwwData& d) { d.AddEntLine(0, 0, 1, 5, 1, 0, 0, 10, 10, 50, 20); },
       {0, 0, 0, 1},
       "colour"},
      {"one twice", line, [&](TJwwData& d) { line(d), line(d); }, {1, 0, 1, 0}},
      {"ellipse tilted half a turn more",
       circle,
       [](TJwwData& d) { d.AddEntArc(0, 0, 1, 2, 1, 0, 8, 5, 5, 3, 0.5, 0, 360, 210); },
       {1, 0, 0, 0}},
      {"arc drawn the other way",
       arc,
       [](TJwwData& d) { d.AddEntArc(0, 0, 1, 2, 1, 0, 0, 5, 5, 3, 1, 90, -80, 0); },
       {1, 0, 0, 0}},
      {"text changed",
       text,
       [](TJwwData& d) {
         d.AddEntMoji(0, 0, 1, 2, 1, 0, 0, 0, 0, 0, 30, 0, 3, 3, 0, 0, u"ＭＳ ゴシック", u"立面図");
       },
       {0, 0, 0, 1},
       "text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TJwwData a, b;
    for (auto [doc, build] : {std::pair{&a, &c.before}, std::pair{&b, &c.after}}) {
      doc->DataDefaultSet();
      ASSERT_TRUE(doc->AddEntPre());
      (*build)(*doc);
      ASSERT_TRUE(doc->AddEntPost());
    }
    const jww::DrawingDiff d = jww::DiffDrawings(a, b);
    EXPECT_EQ(d.counts.same, c.expected.same);
    EXPECT_EQ(d.counts.removed, c.expected.removed);
    EXPECT_EQ(d.counts.added, c.expected.added);
    EXPECT_EQ(d.counts.changed, c.expected.changed);
    if (c.field != nullptr) {
      ASSERT_EQ(d.entities.size(), 1u);
      ASSERT_EQ(d.entities[0].fields.size(), 1u);
      EXPECT_EQ(d.entities[0].fields[0].field, c.field);
    }
  }
}

TEST_F(Diff, ToleranceAndExitStatus) {
  TJwwData before = tools::MakeSamplePlan(), after = tools::MakeSamplePlan();
  after.EntLine[0].end_x += 1e-4;  // 0.1 µm on the sheet
  before = ReadBack(before, P("a.jww"), 700);
  after = ReadBack(after, P("b.jww"), 700);
  struct Case {
    std::vector<std::string> args;
    int rc;
  };
  const std::vector<Case> cases = {
      {{"diff", P("a.jww"), P("a.jww")}, 0},
      {{"diff", P("a.jww"), P("b.jww")}, 1},
      {{"diff", "--tolerance", "0.001", P("a.jww"), P("b.jww")}, 0},
      {{"diff", P("a.jww"), P("missing.jww")}, 2},
      {{"diff", P("a.jww")}, 2},
      {{"diff", "--tolerance", "-1", P("a.jww"), P("b.jww")}, 2},
      // git's external diff: differences are no failure there.
      {{"diff", "plan.jww", P("a.jww"), "1", "100644", P("b.jww"), "2", "100644"}, 0},
  };
  for (const Case& c : cases) {
    const auto r = testjww::RunBrindle(c.args, tmp_.path());
    EXPECT_EQ(r.rc, c.rc) << c.args.back() << "\n" << r.err;
  }
}

// The lines the README gives (the window's left out), in a repository with
// two commits of a drawing.
TEST_F(Diff, GitTextconvAndExternalDiff) {
  if (std::system("git --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no git";
  PlanEdits e;
  const fs::path repo = P("repo");
  fs::create_directories(repo);
  const char* bin = std::getenv("BRINDLE_BIN_DIR");
  const auto git = [&](const std::string& commands) {
    const std::string sh = "cd '" + repo.string() + "' && export PATH='" + (bin ? bin : ".") +
                           "':\"$PATH\" HOME='" + repo.string() + "' GIT_CONFIG_NOSYSTEM=1 && " +
                           commands;
    return std::system(sh.c_str());
  };
  ASSERT_TRUE(e.before.FileOut((repo / "plan.jww").string(), 700));
  ASSERT_EQ(git("git init -q && git config user.email t@example.org && git config user.name t && "
                "echo '*.jww diff=jww' > .gitattributes && "
                "git config diff.jww.textconv 'brindle dump' && "
                "git config difftool.jww.cmd 'brindle diff \"$LOCAL\" \"$REMOTE\"' && "
                "git add . && git commit -qm one"),
            0);
  ASSERT_TRUE(e.after.FileOut((repo / "plan.jww").string(), 700));
  ASSERT_EQ(git("git commit -qam two && git log -p -1 > textconv.out && "
                "GIT_EXTERNAL_DIFF='brindle diff' git diff HEAD~1 HEAD > external.out && "
                "git difftool -y -x 'brindle diff' HEAD~1 HEAD > difftool.out && "
                "git difftool -y -t jww HEAD~1 HEAD > tool.out && "
                "git -c diff.jww.command='brindle diff' diff HEAD~1 HEAD > command.out"),
            0);
  const std::string log = testjww::ReadWholeFile(repo / "textconv.out");
  EXPECT_NE(log.find("+EntLay[3]"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("改名"), std::string::npos);
  for (const char* out : {"external.out", "difftool.out", "tool.out", "command.out"}) {
    const std::string text = testjww::ReadWholeFile(repo / out);
    EXPECT_NE(text.find("3 removed, 2 added, 1 changed"), std::string::npos) << out << "\n" << text;
  }
}

}  // namespace
