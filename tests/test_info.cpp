// SPDX-License-Identifier: GPL-3.0-or-later
// brindle info: the description of a drawing, its text layout and JSON,
// checked against `dump`, the walk and the sample drawings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/info.h"
#include "app/json_names.h"
#include "jww/document.h"
#include "jww/extents.h"
#include "jww/walk.h"
#include "support/block_drawings.h"
#include "support/brindle_run.h"
#include "support/corpus.h"
#include "support/jww_bytes.h"
#include "support/temp_dir.h"
#include "tools/sample_drawings.h"
#include "util/encoding.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testjww::RunBrindle;
using testjww::TempDir;

namespace {

fs::path SourceDir() {
  const char* s = std::getenv("BRINDLE_SOURCE_DIR");
  return s ? fs::path(s) : fs::path(".");
}

// Entity counts by dump's kind names: the drawing's own, and per definition.
struct DumpCounts {
  std::map<std::string, int> top;
  std::vector<std::map<std::string, int>> members;
};

std::string KindOf(const std::string& line) {
  std::istringstream in(line);
  std::string ordinal, kind;
  in >> ordinal >> kind;
  if (kind == "Ten" && line.find(" bKariten=1 ") != std::string::npos) return "TempTen";
  return kind;
}

DumpCounts ParseDump(const std::string& text) {
  DumpCounts c;
  std::istringstream in(text);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("[")) {
      section = line;
    } else if (section == "[entities]" && line.starts_with("#")) {
      ++c.top[KindOf(line)];
    } else if (section == "[blockdefs]" && line.starts_with("BlockDef[")) {
      c.members.emplace_back();
    } else if (section == "[blockdefs]" && line.starts_with("  #") && !c.members.empty()) {
      ++c.members.back()[KindOf(line.substr(2))];
    }
  }
  return c;
}

const std::vector<std::pair<std::string, std::string>> kKinds{
    {"lines", "Line"}, {"arcs", "Enko"},        {"points", "Ten"},  {"temporaryPoints", "TempTen"},
    {"texts", "Moji"}, {"dimensions", "Sunpo"}, {"solids", "Solid"}};

// info --json of `file` runs, agrees with dump, and its extents hold every
// placed line end.
void CheckAgainstDump(const fs::path& file, const TempDir& tmp) {
  SCOPED_TRACE(file.string());
  const testjww::BrindleRun info = RunBrindle({"info", "--json", file.string()}, tmp.path());
  ASSERT_EQ(info.rc, 0) << info.err;
  const json j = json::parse(info.out);
  const testjww::BrindleRun dump = RunBrindle({"dump", file.string()}, tmp.path());
  ASSERT_EQ(dump.rc, 0) << dump.err;
  const DumpCounts d = ParseDump(dump.out);

  const json& top = j["entities"]["topLevel"];
  for (const auto& [key, kind] : kKinds)
    EXPECT_EQ(top[key], d.top.count(kind) ? d.top.at(kind) : 0) << key;
  EXPECT_EQ(top["blockInsertions"], d.top.count("Block") ? d.top.at("Block") : 0);

  ASSERT_EQ(j["blocks"].size(), d.members.size());
  std::map<std::string, int> inBlocks;
  for (size_t i = 0; i < d.members.size(); ++i) {
    const int placed = j["blocks"][i]["placements"];
    for (const auto& [kind, n] : d.members[i]) inBlocks[kind] += placed * n;
  }
  const json& placed = j["entities"]["inPlacedBlocks"];
  for (const auto& [key, kind] : kKinds) EXPECT_EQ(placed[key], inBlocks[kind]) << key;

  jww::TJwwData doc;
  ASSERT_TRUE(doc.FileIn(file.string()));
  const json& box = j["extents"];
  jww::WalkPlacedDrawing(doc, [&](const jww::PlacedEntity& e) {
    const jww::TEntJwwLine* l = e.Get<jww::TEntJwwLine>();
    if (l == nullptr) return;
    for (auto [x, y] : {std::pair{l->start_x, l->start_y}, std::pair{l->end_x, l->end_y}}) {
      const util::DPoint p = util::TransPoint(*e.placement, x, y);
      if (std::fabs(p.x) > 1e8 || std::fabs(p.y) > 1e8) continue;  // beyond the measured range
      ASSERT_FALSE(box.is_null());
      EXPECT_GE(p.x, box["minX"].get<double>() - 1e-9);
      EXPECT_LE(p.x, box["maxX"].get<double>() + 1e-9);
      EXPECT_GE(p.y, box["minY"].get<double>() - 1e-9);
      EXPECT_LE(p.y, box["maxY"].get<double>() + 1e-9);
    }
  });
}

app::DrawingInfo DescribeFile(const fs::path& file, const std::string& shownName) {
  jww::TJwwData doc;
  EXPECT_TRUE(doc.FileIn(file.string()));
  return app::DescribeDrawing(doc, shownName, false);
}

}  // namespace

TEST(DisplayWidth, WideCharactersTakeTwoColumns) {
  EXPECT_EQ(app::DisplayWidth("abc"), 3);
  EXPECT_EQ(app::DisplayWidth("壁"), 2);
  EXPECT_EQ(app::DisplayWidth("ＭＳ ゴシック"), 13);
  EXPECT_EQ(app::DisplayWidth("ｱｲ"), 2);       // half-width katakana
  EXPECT_EQ(app::DisplayWidth("e\u0301"), 1);  // combining accent
  EXPECT_EQ(app::DisplayWidth("\xff"), 1);
}

TEST(JsonNames, InvalidUtf8KeepsItsBytesBeside) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  app::PutJsonName(j, "file", "図面.jww");
  EXPECT_EQ(j["file"], "図面.jww");
  EXPECT_FALSE(j.contains("fileBytes"));
  app::PutJsonName(j, "file", "a\xff\xe5\x9b.jww");
  EXPECT_EQ(j["file"], "a\\xff\\xe5\\x9b.jww");
  EXPECT_EQ(j["fileBytes"], "61ffe59b2e6a7777");
  EXPECT_FALSE(app::IsValidUtf8("\xed\xa0\x80"));  // a surrogate
  EXPECT_FALSE(app::IsValidUtf8("\xc0\xaf"));      // overlong
  EXPECT_TRUE(app::IsValidUtf8("壁"));
}

// The text layout of the demo plan, so that every change of it shows in
// review. To accept a change: brindle info samples/plan.jww > tests/data/info_plan.txt
TEST(InfoText, LayoutOfTheSamplePlan) {
  const fs::path plan = SourceDir() / "samples" / "plan.jww";
  ASSERT_TRUE(fs::exists(plan)) << plan;
  const std::string text = app::InfoText(DescribeFile(plan, "samples/plan.jww"));
  const std::string expected = testjww::ReadWholeFile(SourceDir() / "tests/data/info_plan.txt");
  EXPECT_EQ(text, expected);
}

TEST(InfoText, NamesAndColumnsLineUpWithWideCharacters) {
  const fs::path plan = SourceDir() / "samples" / "plan.jww";
  const std::string text = app::InfoText(DescribeFile(plan, "plan.jww"));
  // In the block table every member count ends in the same column.
  std::istringstream in(text.substr(text.find("Block definitions")));
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  const int end = app::DisplayWidth(line.substr(0, line.find("members") + 7));
  auto dropLastColumn = [](std::string t) {
    t = t.substr(0, t.rfind("  "));
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  };
  for (int i = 0; i < 5 && std::getline(in, line); ++i) {
    // Without the kind and the placement count the line ends in the members column.
    const std::string kind = line.ends_with("SXF figure") ? "  SXF figure" : "  block";
    const std::string head = dropLastColumn(line.substr(0, line.size() - kind.size()));
    EXPECT_EQ(app::DisplayWidth(head), end) << line;
  }
}

// The two columns of a layer group, checked against a real drawing: Jw_cad's
// sample office plan, 1:100 on A3. Its lines (as the reader has them) lie
// inside the group's extents on the sheet, which lie inside the A3 sheet
// (420 × 297 mm about its centre); full size is a hundred times that.
TEST(InfoJson, SheetAndFullSizeOfARealDrawing) {
  std::optional<fs::path> corpus = CorpusDir();
  if (!corpus) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  const fs::path file = *corpus / "ezjww-sample.jww";
  const nlohmann::ordered_json j = app::InfoJson(DescribeFile(file, "sample.jww"));
  ASSERT_EQ(j["layerGroups"].size(), 1u);
  const auto& g = j["layerGroups"][0];
  EXPECT_EQ(g["scale"].get<double>(), 100);
  const auto& box = g["sheetExtents"];
  ASSERT_FALSE(box.is_null());
  const double minX = box["minX"], minY = box["minY"], maxX = box["maxX"], maxY = box["maxY"];
  EXPECT_GE(minX, -210);
  EXPECT_LE(maxX, 210);
  EXPECT_GE(minY, -148.5);
  EXPECT_LE(maxY, 148.5);
  EXPECT_NEAR(g["fullSize"]["width"].get<double>(), (maxX - minX) * 100, 1e-6);
  EXPECT_NEAR(g["fullSize"]["height"].get<double>(), (maxY - minY) * 100, 1e-6);

  jww::TJwwData doc;
  ASSERT_TRUE(doc.FileIn(file.string()));
  double lx0 = INFINITY, lx1 = -INFINITY;
  for (int32_t i = 0; i < doc.EntLineN; ++i) {
    const jww::TEntJwwLine& l = doc.EntLine[i];
    for (const double x : {l.start_x, l.end_x}) {
      lx0 = std::min(lx0, x);
      lx1 = std::max(lx1, x);
    }
    for (const double y : {l.start_y, l.end_y}) {
      EXPECT_GE(y, minY - 1e-9);
      EXPECT_LE(y, maxY + 1e-9);
    }
  }
  EXPECT_GE(lx0, minX - 1e-9);
  EXPECT_LE(lx1, maxX + 1e-9);
  // The lines make most of the extents: they are not a hundredth of them.
  EXPECT_GT(lx1 - lx0, 0.9 * (maxX - minX));
}

TEST(InfoJson, DescribesTheSamplePlan) {
  const fs::path plan = SourceDir() / "samples" / "plan.jww";
  const nlohmann::ordered_json j = app::InfoJson(DescribeFile(plan, "plan.jww"));
  EXPECT_EQ(j["version"], 700);
  EXPECT_EQ(j["paper"]["code"], 3);
  EXPECT_EQ(j["paper"]["name"], "A3 横");
  EXPECT_EQ(j["fonts"].size(), 1u);
  ASSERT_EQ(j["blocks"].size(), 6u);
  // The door figure is placed four times at the top and twice by the wash room.
  int doors = 0;
  for (const auto& b : j["blocks"]) {
    if (b["name"].get<std::string>().starts_with("片開き戸")) doors = b["placements"];
  }
  EXPECT_EQ(doors, 6);
  ASSERT_EQ(j["layerGroups"].size(), 1u);
  EXPECT_FALSE(j["layerGroups"][0]["sheetExtents"].is_null());
  EXPECT_FALSE(j.contains("findings"));
}

TEST(InfoCommand, JsonIsValidForAFileNameThatIsNotUtf8) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  const fs::path odd = tmp.path() / "\xff\xfe.jww";
  fs::copy_file(tmp.path() / "plan.jww", odd);
  const testjww::BrindleRun r = RunBrindle({"info", "--json", odd.string()}, tmp.path());
  ASSERT_EQ(r.rc, 0) << r.err;
  const json j = json::parse(r.out);  // throws on invalid UTF-8
  EXPECT_TRUE(j["file"].get<std::string>().ends_with("\\xff\\xfe.jww"));
  EXPECT_TRUE(j["fileBytes"].get<std::string>().ends_with("fffe2e6a7777"));
}

TEST(InfoCommand, OneObjectPerFileAndFailuresReported) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  tmp.File("broken.jww", {'J', 'w', 'w'});
  const testjww::BrindleRun r = RunBrindle(
      {"info", "--json", tmp / "plan.jww", tmp / "broken.jww", tmp / "plan-230.jww"}, tmp.path());
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("broken.jww"), std::string::npos);
  std::istringstream lines(r.out);
  int objects = 0;
  for (std::string line; std::getline(lines, line); ++objects) EXPECT_NO_THROW(json::parse(line));
  EXPECT_EQ(objects, 2);
}

TEST(InfoCommand, AFullOutputIsAFailure) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  const testjww::BrindleRun r = RunBrindle({"info", tmp / "plan.jww"}, tmp.path(), "/dev/full");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
}

TEST(InfoChecks, SamplePlansAgreeWithDump) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  for (const auto& entry : fs::directory_iterator(tmp.path())) {
    if (entry.path().extension() == ".jww") CheckAgainstDump(entry.path(), tmp);
  }
}

TEST(InfoChecks, CorpusDrawingsAgreeWithDump) {
  const auto corpus = CorpusDir();
  if (!corpus) GTEST_SKIP() << "BRINDLE_CORPUS is not set";
  TempDir tmp;
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(*corpus)) {
    if (entry.path().extension() != ".jww") continue;
    CheckAgainstDump(entry.path(), tmp);
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

// ---------------------------------------------------------------- audit

namespace {

using testjww::Insertion;
using testjww::JwwBytes;
using testjww::MakeAttr;
using testjww::MakeLine;

jww::TEntJwwBlockDef Definition(uint32_t number, std::u16string name) {
  jww::TEntJwwBlockDef d;
  d.att = MakeAttr(1, 1);
  d.nNumber = number;
  d.strName = std::move(name);
  return d;
}

struct Faulty {
  std::string code;
  std::vector<uint8_t> bytes;
  bool readable;
};

// One drawing per finding the reader records, with that fault in it.
std::vector<Faulty> FaultyDrawings() {
  std::vector<Faulty> all;
  {
    JwwBytes f(300);  // lines of version 300 have no width
    f.Count(1);
    f.Line(MakeLine(0, 0, 1, 1));
    f.Count(0);
    all.push_back({"filled-for-version", f.bytes(), true});
  }
  {
    JwwBytes f(600);
    f.Count(1);
    f.Line(MakeLine(0, std::numeric_limits<double>::quiet_NaN(), 1, 1));
    f.Count(0);
    all.push_back({"out-of-range", f.bytes(), false});
  }
  {
    JwwBytes f(600);  // a text whose size is no number is repaired
    f.Count(1);
    jww::TEntJwwMoji m;
    m.att = MakeAttr(1, 1);
    m.dSizeX = std::numeric_limits<double>::quiet_NaN();
    m.str = u"t";
    f.Moji(m);
    f.Count(0);
    all.push_back({"non-finite-value", f.bytes(), true});
  }
  {
    JwwBytes f(600);
    f.Count(1);
    f.Tag("CDataUnknown");
    f.raw().fill(0, 40);
    f.Count(0);
    all.push_back({"entity-dropped", f.bytes(), false});
  }
  {
    JwwBytes f(600);  // cut inside a block definition's name
    f.Count(0);
    f.Count(1);
    f.BlockDef(Definition(1, u"a long definition name"), 0);
    std::vector<uint8_t> b = f.bytes();
    b.resize(b.size() - 6);
    all.push_back({"truncated", b, false});
  }
  {
    JwwBytes f(700);
    f.Count(0);
    f.Count(0);
    f.raw().i32(-2);
    all.push_back({"bad-count", f.bytes(), false});
  }
  {
    JwwBytes f(600);
    f.Count(1);
    f.Block(Insertion(99));
    f.Count(0);
    all.push_back({"unknown-block-number", f.bytes(), true});
  }
  {
    JwwBytes f(600);
    f.Count(1);
    f.Block(Insertion(1));
    f.Count(2);
    f.BlockDef(Definition(1, u"outer"), 1);
    f.Block(Insertion(2));
    f.BlockDef(Definition(2, u"inner"), 1);
    f.Block(Insertion(1));
    all.push_back({"cyclic-definition", f.bytes(), true});
  }
  {
    JwwBytes f(600);
    f.Count(1);
    f.Line(MakeLine(0, 0, 1, 1));
    f.Count(0);
    std::vector<uint8_t> b = f.bytes();
    b.insert(b.end(), {1, 2, 3});
    all.push_back({"bytes-after-end", b, false});
  }
  {
    JwwBytes f(700);
    f.Count(0);
    f.Count(0);
    f.raw().i32(1);
    f.Image(u"../escape.png", std::vector<uint8_t>(10, 1));
    all.push_back({"unsafe-image-name", f.bytes(), true});
  }
  return all;
}

}  // namespace

TEST(InfoAudit, EveryReaderFindingIsListedWithItsCodeAndPlace) {
  TempDir tmp;
  for (const Faulty& f : FaultyDrawings()) {
    SCOPED_TRACE(f.code);
    const fs::path file = tmp.File(f.code + ".jww", f.bytes);
    const testjww::BrindleRun r =
        RunBrindle({"info", "--audit", "--json", file.string()}, tmp.path());
    EXPECT_EQ(r.rc, f.readable ? 0 : 1) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["readable"], f.readable);
    bool found = false;
    for (const json& x : j["findings"]) {
      if (x["code"] == f.code) {
        found = true;
        EXPECT_FALSE(x["section"].get<std::string>().empty());
        EXPECT_FALSE(x["detail"].get<std::string>().empty());
      }
    }
    EXPECT_TRUE(found) << r.out;

    const testjww::BrindleRun text =
        RunBrindle({"info", "--fail-on-issues", file.string()}, tmp.path());
    EXPECT_EQ(text.rc, 1);
    EXPECT_NE(text.out.find(f.code), std::string::npos) << text.out;
  }
}

TEST(InfoAudit, ACleanDrawingPassesAndWithoutAuditNothingIsListed) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  const testjww::BrindleRun clean =
      RunBrindle({"info", "--fail-on-issues", tmp / "plan.jww"}, tmp.path());
  EXPECT_EQ(clean.rc, 0) << clean.err;
  EXPECT_NE(clean.out.find("Audit\n  none\n"), std::string::npos);
  const fs::path faulty = tmp.File("old.jww", FaultyDrawings()[0].bytes);
  const testjww::BrindleRun plain = RunBrindle({"info", "--json", faulty.string()}, tmp.path());
  EXPECT_EQ(plain.rc, 0);
  EXPECT_FALSE(json::parse(plain.out).contains("findings"));
}

// ------------------------------------------------- the plan against convert

namespace {

// A figure placed at the top and inside a user block that stays: its
// definition is kept, its top-level placements are exploded all the same.
jww::TJwwData FigureInsideAUserBlock() {
  jww::TJwwData d;
  d.DataDefaultSet();
  EXPECT_TRUE(d.AddEntPre());
  EXPECT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 100, 0));
  EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"DOOR"));
  EXPECT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 9, 0));
  EXPECT_TRUE(d.AddBlkArc(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 9, 1, 0, 90, 0));
  d.AddBlkDefPost(0);
  EXPECT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 4, u"ROOM"));
  EXPECT_TRUE(d.AddBlkLine(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 50, 0));
  EXPECT_TRUE(d.AddBlkBlock(1, 0, 0, 0, 1, 1, 0, 0, 0, 10, 10, 1, 1, 0));
  d.AddBlkDefPost(1);
  EXPECT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 30, 30, 1, 1, 0));
  EXPECT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 0, 60, 30, 2, 2, 45));
  EXPECT_TRUE(d.AddEntBlock(0, 0, 2, 1, 1, 0, 0, 1, 0, 60, 1, 1, 0));
  EXPECT_TRUE(d.AddEntPost());
  return d;
}

using GroupCounts = std::map<int, int>;

// Visible top-level entities per layer group, skipping insertions of the
// definitions numbered in `skip`.
GroupCounts TopLevelByGroup(const jww::TJwwData& doc, const std::set<uint32_t>& skip) {
  GroupCounts c;
  jww::WalkPlacedDrawing(doc, [&](const jww::PlacedEntity& e) {
    if (!e.TopLevel()) return;
    if (const auto* b = e.Get<jww::TEntJwwBlock>(); b && skip.count(b->nNumber)) return;
    ++c[e.gLayer];
  });
  return c;
}

const jww::TEntJwwBlockDef* DefinitionNamed(const jww::TJwwData& doc, const std::string& name) {
  for (int32_t i = 0; i < doc.EntBlockDefN; ++i) {
    if (util::ToUtf8(doc.EntBlockDef[i].strName) == name) return &doc.EntBlockDef[i];
  }
  return nullptr;
}

// What info plans for `src` is what convert does: the same totals, and in
// every layer group of the result the copies the plan gives it.
void CheckPlanAgainstConversion(const fs::path& src, const TempDir& tmp) {
  SCOPED_TRACE(src.string());
  const testjww::BrindleRun info = RunBrindle({"info", "--json", src.string()}, tmp.path());
  ASSERT_EQ(info.rc, 0) << info.err;
  const json plan = json::parse(info.out)["sxfPlan"];
  const fs::path out = tmp.path() / ("out-" + src.stem().string());
  fs::create_directories(out);
  const testjww::BrindleRun conv = RunBrindle(
      {"convert", "--settings", tmp / "settings.dat", "-o", out.string(), "--json", src.string()},
      tmp.path());
  ASSERT_EQ(conv.rc, 0) << conv.err << conv.out;
  const json rec = json::parse(conv.out);
  EXPECT_EQ(rec["figures"], plan["figures"].size());
  EXPECT_EQ(rec["copies"], plan["copies"]);

  jww::TJwwData before, after;
  ASSERT_TRUE(before.FileIn(src.string()));
  ASSERT_TRUE(after.FileIn(rec["output"].get<std::string>()));
  std::set<uint32_t> exploded;
  for (const json& f : plan["figures"])
    exploded.insert(DefinitionNamed(before, f["name"])->nNumber);
  GroupCounts expected = TopLevelByGroup(before, exploded);
  for (const json& f : plan["figures"]) {
    const jww::TEntJwwBlockDef& d = *DefinitionNamed(before, f["name"]);
    // Re-placed insertions of figures are exploded in turn and vanish.
    int stay = d.N;
    for (int32_t b = 0; b < d.mBlockN; ++b) stay -= exploded.count(d.mBlock[b].nNumber);
    expected[f["layerGroup"].get<int>()] += f["placements"].get<int>() * stay;
  }
  EXPECT_EQ(TopLevelByGroup(after, {}), expected);
  for (const json& name : plan["figuresLeft"])
    EXPECT_NE(DefinitionNamed(after, name), nullptr) << name;
}

}  // namespace

TEST(InfoPlan, IsWhatTheConversionDoes) {
  TempDir tmp;
  ASSERT_TRUE(tools::WriteSamplePlans(tmp.path().string(), nullptr));
  CheckPlanAgainstConversion(tmp.path() / "plan.jww", tmp);  // nested figures

  jww::TJwwData many = tools::MakeSxfBenchDrawing(18, 4, 60, 7);  // past the fifteenth
  ASSERT_TRUE(many.FileOut(tmp / "many.jww", 700)) << many.LastWriteError;
  CheckPlanAgainstConversion(tmp.path() / "many.jww", tmp);
  const testjww::BrindleRun info = RunBrindle({"info", "--json", tmp / "many.jww"}, tmp.path());
  EXPECT_EQ(json::parse(info.out)["sxfPlan"]["figuresLeft"].size(), 3u);

  jww::TJwwData kept = FigureInsideAUserBlock();
  ASSERT_TRUE(kept.FileOut(tmp / "kept.jww", 700)) << kept.LastWriteError;
  CheckPlanAgainstConversion(tmp.path() / "kept.jww", tmp);
  const testjww::BrindleRun keptInfo = RunBrindle({"info", "--json", tmp / "kept.jww"}, tmp.path());
  const json figures = json::parse(keptInfo.out)["sxfPlan"]["figures"];
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0]["placements"], 2);
  EXPECT_EQ(figures[0]["definitionKept"], true);
}

TEST(GroupExtents, EachGroupHoldsThePointsShownOnIt) {
  jww::TJwwData d;
  d.DataDefaultSet();
  ASSERT_TRUE(d.AddEntPre());
  ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 10, 0));
  ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"F"));
  ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
  d.AddBlkDefPost(0);
  ASSERT_TRUE(d.AddEntBlock(0, 2, 0, 1, 1, 0, 0, 0, 100, 100, 1, 1, 0));
  ASSERT_TRUE(d.AddEntBlock(0, 2, 0, 1, 1, 0, 16, 0, -50, -50, 2, 2, 0));  // keeps group 0
  ASSERT_TRUE(d.AddEntPost());
  jww::GroupExtents groups{};
  const jww::MinMaxBox all = jww::MeasureExtents(d, &groups);
  const jww::MinMaxBox plain = jww::MeasureExtents(d);
  EXPECT_EQ(all.minX, plain.minX);
  EXPECT_EQ(all.maxY, plain.maxY);
  ASSERT_TRUE(groups[2].seeded);
  EXPECT_EQ(groups[2].minX, 100);
  EXPECT_EQ(groups[2].maxY, 101);
  ASSERT_TRUE(groups[0].seeded);
  EXPECT_EQ(groups[0].minX, -50);
  EXPECT_EQ(groups[0].maxX, 10);
  EXPECT_EQ(groups[0].minY, -50);
  EXPECT_EQ(groups[0].maxY, 0);  // the line at y = 0
  EXPECT_FALSE(groups[1].seeded);
}
